// Compression method 2 decoder: adaptive Huffman symbols, LZSS copies.
//
// Why it is fast without changing a bit of output:
// - the bit reader keeps up to 64 bits and refills once per symbol, so the
//   tree walk and the distance field read from a register;
// - the window is the output itself: a copy reads output bytes already
//   written, and only a copy reaching before the output start reads the
//   untouched initial ring (spaces, then zeros from 4036);
// - copies that cannot overlap what they read move 8 bytes at a time;
// - the walk down the tree counts the symbol on its way, so the update only
//   climbs back up (a chain of dependent loads) when a node must trade
//   places, which is rare for frequent symbols.
//
// Why no stream can make it index outside its tables: the input only picks
// which symbol is counted next; the tree's shape comes from the update and
// rebuild steps alone, which keep it a consistent sibling-ordered tree (each
// inner node's children are a pair of nodes 2m, 2m + 1 below it, parents
// linked back, weights never decreasing along the node order, the root at
// 624). So the walk only ever steps from a pair index 0..622 to child[n] or
// child[n + 1], the update's search stops at the 0xFFFF sentinel because no
// weight exceeds 0x8000, and a leaf code is always 625..937. With the root
// weight capped at 0x8000 such a tree is at most 22 levels deep (a leaf at
// depth d needs a root weight of at least Fib(d + 2)), so one refill of 57
// bits covers a symbol (22) and its distance field (14). tests/unit
// cmp2-tree-test.cpp checks these invariants over long random update runs.
#include <string.h>

#include "ffs-cmp2.h"
#include "ffs-stream.h"
#include "vantor-core.h"

// Bits of the stream not yet used, aligned at the top of a 64-bit word.
struct Cmp2Bits {
  const unsigned char *input;
  int inputLength;  // reading at or beyond it yields zero bytes
  int inputPos;     // next byte to read; starts at 8
  uint64_t bitBuffer;
  int bitCount;     // valid bits in bitBuffer
};

struct Cmp2State {
  Cmp2Bits bits;
  unsigned char *output;
  int outputSize;
  int outputPos;
  Cmp2Tree tree;
  unsigned char *ring;                  // initial window content
  unsigned char distUpper[256];         // upper 6 bits of p, by the next 8 bits
  unsigned char distLength[256];        // length of that prefix code
};

#define WEIGHT_ENTRIES (CMP2_NODES + 1)
#define CHILD_ENTRIES CMP2_NODES
#define PARENT_ENTRIES (CMP2_NODES + CMP2_SYMBOLS)

static Cmp2State *state;
// MEM_ALLOC blocks are 4-byte aligned; the record holds 64-bit fields, so it
// is placed at the first 8-byte boundary of a block 8 bytes larger.
static void *stateBlock;
#define STATE_BLOCK_SIZE ((int)sizeof(Cmp2State) + 8)

// Distance prefix code lengths: how many of the 64 upper values have a code
// of 3, 4, ... 8 bits. Codes are consecutive binary numbers in value order.
static const unsigned char distCounts[6] = {1, 3, 8, 12, 24, 16};

int Cmp2DistanceCode(int upper, unsigned *code) {
  ASSERT(code != NULL, POINTER_IS_NULL);
  unsigned next = 0;
  int value = 0;
  for (int length = 3; length <= 8; length++) {
    for (int i = 0; i < distCounts[length - 3]; i++, value++, next++)
      if (value == upper) {
        *code = next;
        return length;
      }
    next <<= 1;
  }
  *code = 0;
  return 0;
}

static void DistanceTables(Cmp2State *s) {
  for (int upper = 0; upper < 64; upper++) {
    unsigned code;
    int length = Cmp2DistanceCode(upper, &code);
    int first = (int)(code << (8 - length));
    for (int b = first; b < first + (1 << (8 - length)); b++) {
      s->distUpper[b] = (unsigned char)upper;
      s->distLength[b] = (unsigned char)length;
    }
  }
}

// ---- The adaptive tree -----------------------------------------------------

void HuffStart(Cmp2Tree *tree) {
  ASSERT(tree != NULL, POINTER_IS_NULL);
  uint16_t *weight = tree->weight, *child = tree->child, *parent = tree->parent;
  for (int i = 0; i < CMP2_SYMBOLS; i++) {
    weight[i] = 1;
    child[i] = (uint16_t)(i + CMP2_NODES);
    parent[i + CMP2_NODES] = (uint16_t)i;
  }
  for (int i = 0, j = CMP2_SYMBOLS; j <= CMP2_ROOT; i += 2, j++) {
    weight[j] = (uint16_t)(weight[i] + weight[i + 1]);
    child[j] = (uint16_t)i;
    parent[i] = parent[i + 1] = (uint16_t)j;
  }
  weight[CMP2_NODES] = 0xFFFF;
  parent[CMP2_ROOT] = 0;
}

void HuffRebuild(Cmp2Tree *tree) {
  ASSERT(tree != NULL, POINTER_IS_NULL);
  uint16_t *weight = tree->weight, *child = tree->child, *parent = tree->parent;
  int j = 0;
  for (int i = 0; i < CMP2_NODES; i++)
    if (child[i] >= CMP2_NODES) {
      weight[j] = (uint16_t)((weight[i] + 1) / 2);
      child[j] = child[i];
      j++;
    }
  for (int i = 0, j = CMP2_SYMBOLS; j < CMP2_NODES; i += 2, j++) {
    unsigned f = (unsigned)weight[i] + weight[i + 1];
    weight[j] = (uint16_t)f;
    int k = j - 1;
    while (f < weight[k]) k--;
    k++;
    memmove(&weight[k + 1], &weight[k], (size_t)(j - k) * sizeof(uint16_t));
    memmove(&child[k + 1], &child[k], (size_t)(j - k) * sizeof(uint16_t));
    weight[k] = (uint16_t)f;
    child[k] = (uint16_t)i;
  }
  for (int i = 0; i < CMP2_NODES; i++) {
    unsigned k = child[i];
    parent[k] = (uint16_t)i;
    if (k < CMP2_NODES) parent[k + 1] = (uint16_t)i;
  }
}

// Node n has just reached weight k, above its right neighbour's: it trades
// places with the last node l whose weight is still below k (the 0xFFFF
// sentinel ends the search), children and parent links included. Writing
// parent[i + (i < NODES)] sets the second child's parent of an inner pair
// and, for a leaf, simply rewrites its own entry. Returns l.
static inline unsigned TreeExchange(uint16_t *weight, uint16_t *child, uint16_t *parent, unsigned n,
                                    unsigned k) {
  unsigned l = n + 1;
  while (k > weight[l + 1]) l++;
  weight[n] = weight[l];
  weight[l] = (uint16_t)k;
  unsigned i = child[n];
  parent[i] = (uint16_t)l;
  parent[i + (i < CMP2_NODES)] = (uint16_t)l;
  unsigned j = child[l];
  child[l] = (uint16_t)i;
  parent[j] = (uint16_t)n;
  parent[j + (j < CMP2_NODES)] = (uint16_t)n;
  child[n] = (uint16_t)j;
  return l;
}

// Counts node n and every node above it, up to and including the root.
static inline void TreeClimb(uint16_t *weight, uint16_t *child, uint16_t *parent, unsigned n) {
  do {
    unsigned k = ++weight[n];
    if (k > weight[n + 1]) n = TreeExchange(weight, child, parent, n, k);
    n = parent[n];
  } while (n != 0);
}

void HuffUpdate(Cmp2Tree *tree, int symbol) {
  ASSERT(tree != NULL, POINTER_IS_NULL);
  if (tree->weight[CMP2_ROOT] == CMP2_REBUILD) HuffRebuild(tree);
  TreeClimb(tree->weight, tree->child, tree->parent, tree->parent[symbol + CMP2_NODES]);
}

// ---- Bit reader --------------------------------------------------------------

static inline uint64_t Load64BigEndian(const unsigned char *p) {
  uint64_t v;
  memcpy(&v, p, 8);
#if defined(__GNUC__)
  return __builtin_bswap64(v);
#else
  return ((uint64_t)p[0] << 56) | ((uint64_t)p[1] << 48) | ((uint64_t)p[2] << 40) |
         ((uint64_t)p[3] << 32) | ((uint64_t)p[4] << 24) | ((uint64_t)p[5] << 16) |
         ((uint64_t)p[6] << 8) | p[7];
#endif
}

// Tops the buffer up to at least 57 valid bits. Whole bytes are taken; the
// bits of a partly taken byte that land below bitCount are its true bits,
// so the next refill ORs the same values over them.
static inline void BitRefill(Cmp2Bits *b) {
  if (b->bitCount > 56) return;
  if (b->inputLength - b->inputPos >= 8) {
    b->bitBuffer |= Load64BigEndian(b->input + b->inputPos) >> b->bitCount;
    int bytes = (63 - b->bitCount) >> 3;
    b->inputPos += bytes;
    b->bitCount += bytes * 8;
    return;
  }
  while (b->bitCount <= 56) {
    unsigned byte = 0;
    if (b->inputPos < b->inputLength) byte = b->input[b->inputPos++];
    b->bitBuffer |= (uint64_t)byte << (56 - b->bitCount);
    b->bitCount += 8;
  }
}

// The takers below assume a refill since the symbol began (57 bits).
static inline unsigned BitGetBit(Cmp2Bits *b) {
  unsigned bit = (unsigned)(b->bitBuffer >> 63);
  b->bitBuffer <<= 1;
  b->bitCount -= 1;
  return bit;
}

static inline unsigned BitGetByte(Cmp2Bits *b) {
  unsigned byte = (unsigned)(b->bitBuffer >> 56);
  b->bitBuffer <<= 8;
  b->bitCount -= 8;
  return byte;
}

// count from 1 to 8.
static inline unsigned BitGetBits(Cmp2Bits *b, int count) {
  unsigned bits = (unsigned)(b->bitBuffer >> (64 - count));
  b->bitBuffer <<= count;
  b->bitCount -= count;
  return bits;
}

// ---- Symbols and distances ----------------------------------------------------

// Walks from the root to a leaf and counts the symbol on the way down.
// Counting a node needs no exchange unless it weighs as much as its right
// neighbour (the neighbour's own count, if it lies on the path, is its
// parent's and never equal), so when no node on the path does, the counts
// can be made in any order and the walk makes them. Otherwise the deepest
// such node is where the bottom-up update makes its first exchange: the
// counts above it are taken back and the update goes on from there.
static inline int HuffDecodeSymbol(Cmp2Bits *b, Cmp2Tree *tree, uint16_t *weight, uint16_t *child,
                                   uint16_t *parent) {
  BitRefill(b);
  unsigned n = child[CMP2_ROOT];
  if (weight[CMP2_ROOT] == CMP2_REBUILD) {
    while (n < CMP2_NODES) n = child[n + BitGetBit(b)];
    HuffRebuild(tree);
    TreeClimb(weight, child, parent, parent[n]);
    return (int)(n - CMP2_NODES);
  }
  unsigned deepest = CMP2_NODES;  // none
  while (n < CMP2_NODES) {
    n += BitGetBit(b);
    unsigned w = weight[n];
    deepest = w == weight[n + 1] ? n : deepest;
    weight[n] = (uint16_t)(w + 1);
    n = child[n];
  }
  weight[CMP2_ROOT]++;
  if (deepest != CMP2_NODES) {
    unsigned m = parent[deepest];
    do {
      weight[m]--;
      m = parent[m];
    } while (m != 0);
    m = TreeExchange(weight, child, parent, deepest, weight[deepest]);
    TreeClimb(weight, child, parent, parent[m]);
  }
  return (int)(n - CMP2_NODES);
}

// The byte read first selects the upper part and its code length; the
// remaining length - 2 bits complete the lower 6 bits.
static inline int DecodeDistance(Cmp2Bits *b, const unsigned char *distUpper,
                                 const unsigned char *distLength) {
  unsigned byte = BitGetByte(b);
  int length = distLength[byte];
  unsigned low = (byte << (length - 2)) | BitGetBits(b, length - 2);
  return (int)((unsigned)distUpper[byte] << 6 | (low & 63));
}

// ---- Life cycle -----------------------------------------------------------------

static void Cmp2Reset(void) {
  for (int i = 0; i < WEIGHT_ENTRIES; i++) state->tree.weight[i] = CMP2_WINDOW;
  for (int i = 0; i < CHILD_ENTRIES; i++) state->tree.child[i] = CMP2_WINDOW;
  for (int i = 0; i < PARENT_ENTRIES; i++) state->tree.parent[i] = CMP2_WINDOW;
  memset(state->ring, 0, CMP2_RING_SIZE);
  memset(&state->bits, 0, sizeof(state->bits));
  state->output = NULL;
  state->outputSize = 0;
  state->outputPos = 0;
}

int Cmp2Init(void) {
  if (state != NULL) return 1;
  stateBlock = MEM_ALLOC(STATE_BLOCK_SIZE);
  state = (Cmp2State *)(((uintptr_t)stateBlock + 7) & ~(uintptr_t)7);
  state->tree.weight = (uint16_t *)MEM_ALLOC(WEIGHT_ENTRIES * (int)sizeof(uint16_t));
  state->tree.child = (uint16_t *)MEM_ALLOC(CHILD_ENTRIES * (int)sizeof(uint16_t));
  state->tree.parent = (uint16_t *)MEM_ALLOC(PARENT_ENTRIES * (int)sizeof(uint16_t));
  state->ring = (unsigned char *)MEM_ALLOC(CMP2_RING_SIZE);
  DistanceTables(state);
  Cmp2Reset();
  return 1;
}

int Cmp2Remove(void) {
  if (state == NULL) return 1;
  MEM_FREE(state->ring, CMP2_RING_SIZE);
  MEM_FREE(state->tree.parent, PARENT_ENTRIES * (int)sizeof(uint16_t));
  MEM_FREE(state->tree.child, CHILD_ENTRIES * (int)sizeof(uint16_t));
  MEM_FREE(state->tree.weight, WEIGHT_ENTRIES * (int)sizeof(uint16_t));
  MEM_FREE(stateBlock, STATE_BLOCK_SIZE);
  state = NULL;
  return 1;
}

int Cmp2IsPacked(const void *data) {
  ASSERT(data != NULL, POINTER_IS_NULL);
  return memcmp(data, CMP2_SIGNATURE, 4) == 0 ? 1 : 0;
}

int Cmp2GetSize(const void *data, uint32_t *size) {
  ASSERT(size != NULL, POINTER_IS_NULL);
  if (data == NULL) return 0;
  const unsigned char *p = (const unsigned char *)data + 4;
  uint32_t stored = (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
  *size = ~stored;
  return 1;
}

// ---- Decoding -----------------------------------------------------------------------

// One match of length bytes starting distance bytes back. Bytes before the
// output start come from the initial ring: output position x < 0 is ring
// position (4036 + x) mod 4096. Bytes that would land at or past the output
// size are dropped.
static inline int CopyMatch(unsigned char *out, int pos, int size, int distance, int length,
                            const unsigned char *ring) {
  int from = pos - distance;
  if (from >= 0 && distance >= 8 && size - pos >= CMP2_LONGEST + 8) {
    // Each 8-byte step reads only bytes already final; the few written past
    // the match lie below size and are overwritten by what follows.
    for (int k = 0; k < length; k += 8) memcpy(out + pos + k, out + from + k, 8);
    return pos + length;
  }
  for (int k = 0; k < length && pos < size; k++, from++)
    out[pos++] = from >= 0 ? out[from] : ring[(CMP2_RING_START + from) & (CMP2_WINDOW - 1)];
  return pos;
}

int Cmp2Decompress(const void *data, int length, void *output, int outputSize) {
  ASSERT(data != NULL, POINTER_IS_NULL);
  ASSERT(output != NULL, POINTER_IS_NULL);
  if (length < 0 || outputSize < 0) return 0;
  FfsInput in;
  FfsWindow window;
  FfsInputMemory(&in, data, (uint32_t)length);
  FfsWindowMemory(&window, output, (uint32_t)outputSize);
  return Cmp2Decode(&in, &window, (uint32_t)outputSize);
}

// Input bytes a symbol and its distance field take at most, with room for
// the 8-byte refill.
#define STEP_INPUT 16

int Cmp2Decode(FfsInput *input, FfsWindow *window, uint32_t size) {
  ASSERT(input != NULL, POINTER_IS_NULL);
  ASSERT(window != NULL, POINTER_IS_NULL);
  ASSERT(state != NULL, POINTER_IS_NULL);
  if (!FfsInputFill(input, CMP2_HEAD_SIZE) || input->end - input->next < CMP2_HEAD_SIZE || !Cmp2IsPacked(input->next))
    return 0;
  uint32_t contentSize = 0;
  Cmp2GetSize(input->next, &contentSize);
  if (contentSize == 0 || (contentSize & 0x80000000u) != 0 || contentSize != size) return 0;

  Cmp2Reset();
  state->bits.input = input->next;
  state->bits.inputLength = (int)(input->end - input->next);
  state->bits.inputPos = CMP2_HEAD_SIZE;
  state->output = window->buffer;
  state->outputSize = (int)size;
  HuffStart(&state->tree);
  memset(state->ring, ' ', CMP2_RING_START);

  // Locals, so the loop keeps them in registers despite the byte stores.
  Cmp2Bits bits = state->bits;
  Cmp2Tree *tree = &state->tree;
  uint16_t *weight = tree->weight, *child = tree->child, *parent = tree->parent;
  const unsigned char *distUpper = state->distUpper, *distLength = state->distLength;
  const unsigned char *ring = state->ring;
  unsigned char *out = window->buffer;
  int pos = (int)window->pos;
  int result = 1;
  for (;;) {
    // Up to the content's end, or to where a slide makes room: the window
    // keeps 4,096 bytes, as far as a match reaches back.
    int outputSize = (int)FfsWindowEnd(window, size);
    uint32_t slideAt = FfsWindowSlidePoint(window, size, CMP2_LONGEST + 8);
    int stop = slideAt < (uint32_t)outputSize ? (int)slideAt + 1 : outputSize;
    while (pos < stop) {
      if (bits.inputLength - bits.inputPos < STEP_INPUT && input->left > 0) {
        input->next = bits.input + bits.inputPos;
        if (!FfsInputFill(input, STEP_INPUT)) {
          result = 0;
          break;
        }
        bits.input = input->next;
        bits.inputPos = 0;
        bits.inputLength = (int)(input->end - input->next);
      }
      int symbol = HuffDecodeSymbol(&bits, tree, weight, child, parent);
      if (symbol < 256) {
        out[pos++] = (unsigned char)symbol;
        continue;
      }
      int p = DecodeDistance(&bits, distUpper, distLength);
      pos = CopyMatch(out, pos, outputSize, p + 1, symbol - (256 - CMP2_THRESHOLD - 1), ring);
    }
    // Without a slide point the content's end was reached.
    if (!result || slideAt == 0xFFFFFFFFu) break;
    window->pos = (uint32_t)pos;
    // A window without room for a step past what it keeps cannot go on.
    if (!FfsWindowSlide(window) || window->pos > FfsWindowSlidePoint(window, size, CMP2_LONGEST + 8)) {
      result = 0;
      break;
    }
    pos = (int)window->pos;
  }
  input->next = bits.input + bits.inputPos;
  state->bits = bits;
  state->outputPos = pos;
  window->pos = (uint32_t)pos;
  return result;
}

// Compression method 4 decoder: zstd frames (RFC 8878), block by block into
// the window. The literals of a block are decoded into the module's own
// buffer, then the sequences copy literals and matches into the window. The
// entropy tables (Huffman for literals, FSE for the sequence codes) live in
// fixed tables of the module and are kept from block to block of a frame,
// as the repeat modes need. Every input byte is taken through one bounded
// reader (whole blocks are made present first, and the bit readers never
// look outside their stream), every table index is masked by construction
// or checked, and every copy is checked against the literals, the block,
// the window and the frame's start before it is made.
#include <string.h>

#include "ffs-cmp4.h"
#include "ffs-stream.h"
#include "vantor-core.h"

#define LL_MAX_SYMBOL 35
#define ML_MAX_SYMBOL 52
#define OF_MAX_SYMBOL 31
#define LL_MAX_LOG 9
#define ML_MAX_LOG 9
#define OF_MAX_LOG 8
#define HUF_MAX_BITS 11
#define HUF_WEIGHT_LOG 6
#define FRAME_HEADER_MAX 18

static uint32_t ReadLe(const unsigned char *p, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; i--) v = (v << 8) | p[i];
  return v;
}

static inline int HighBit(uint32_t x) { return 31 - __builtin_clz(x); }

// ---- XXH64, from its published description (seed 0 only) ----

#define P1 0x9E3779B185EBCA87ull
#define P2 0xC2B2AE3D27D4EB4Full
#define P3 0x165667B19E3779F9ull
#define P4 0x85EBCA77C2B2AE63ull
#define P5 0x27D4EB2F165667C5ull

static inline uint64_t Rotl(uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }
// Whole words are loaded as they lie: the runtime's processors are
// little-endian, as the format is.
#if __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the word loads below take the bytes in little-endian order"
#endif
#define ALWAYS_INLINE inline __attribute__((always_inline))
static ALWAYS_INLINE uint32_t Read32(const unsigned char *p) {
  uint32_t v;
  memcpy(&v, p, 4);
  return v;
}
static ALWAYS_INLINE uint64_t Read64(const unsigned char *p) {
  uint64_t v;
  memcpy(&v, p, 8);
  return v;
}
static inline uint64_t Round(uint64_t acc, uint64_t input) { return Rotl(acc + input * P2, 31) * P1; }

void Cmp4HashStart(Cmp4Hash *h) {
  memset(h, 0, sizeof *h);
  h->v[0] = P1 + P2;
  h->v[1] = P2;
  h->v[3] = 0 - P1;
}

void Cmp4HashUpdate(Cmp4Hash *h, const unsigned char *data, uint32_t n) {
  h->total += n;
  while (n > 0) {
    if (h->buffered == 0 && n >= 32) {
      for (int i = 0; i < 4; i++) h->v[i] = Round(h->v[i], Read64(data + 8 * i));
      data += 32;
      n -= 32;
      continue;
    }
    uint32_t take = 32 - h->buffered < n ? 32 - h->buffered : n;
    memcpy(h->buffer + h->buffered, data, take);
    h->buffered += take;
    data += take;
    n -= take;
    if (h->buffered == 32) {
      for (int i = 0; i < 4; i++) h->v[i] = Round(h->v[i], Read64(h->buffer + 8 * i));
      h->buffered = 0;
    }
  }
}

uint64_t Cmp4HashDigest(const Cmp4Hash *h) {
  uint64_t x;
  if (h->total >= 32) {
    x = Rotl(h->v[0], 1) + Rotl(h->v[1], 7) + Rotl(h->v[2], 12) + Rotl(h->v[3], 18);
    for (int i = 0; i < 4; i++) x = (x ^ Round(0, h->v[i])) * P1 + P4;
  } else {
    x = P5;
  }
  x += h->total;
  const unsigned char *p = h->buffer;
  uint32_t n = h->buffered;
  for (; n >= 8; p += 8, n -= 8) x = Rotl(x ^ Round(0, Read64(p)), 27) * P1 + P4;
  if (n >= 4) {
    x = Rotl(x ^ ((uint64_t)Read32(p) * P1), 23) * P2 + P3;
    p += 4;
    n -= 4;
  }
  for (; n > 0; p++, n--) x = Rotl(x ^ (*p * P5), 11) * P1;
  x ^= x >> 33;
  x *= P2;
  x ^= x >> 29;
  x *= P3;
  return x ^ (x >> 32);
}

// ---- bit readers ----

// n bits (at most 25) at bit pos of a forward stream of len bytes; bits past
// the end read as 0.
static uint32_t ForwardBits(const unsigned char *src, uint32_t len, uint32_t pos, int n) {
  uint32_t v = 0;
  for (int i = 0; i < n; i++, pos++)
    if ((pos >> 3) < len && ((src[pos >> 3] >> (pos & 7)) & 1)) v |= 1u << i;
  return v;
}

// A stream read backwards from its last byte's highest set bit; pos counts
// the bits left. Bits before the start read as 0 and drive pos below 0.
struct Back {
  const unsigned char *data;
  uint32_t length;
  int32_t pos;
};

static int BackInit(Back *b, const unsigned char *data, uint32_t length) {
  if (length == 0 || data[length - 1] == 0) return 0;
  b->data = data;
  b->length = length;
  b->pos = (int32_t)(length - 1) * 8 + HighBit(data[length - 1]);
  return 1;
}

// The n bits (at most 32) below pos, without taking them.
static __attribute__((noinline)) uint32_t BackPeekEdge(const Back *b, int n);
static ALWAYS_INLINE uint32_t BackPeek(const Back *b, int n) {
  // Most reads lie wholly inside the stream and take at most 25 bits: one
  // word holds them.
  int32_t lo = b->pos - n;
  if (n <= 25 && lo >= 0 && ((uint32_t)lo >> 3) + 4 <= b->length)
    return (Read32(b->data + ((uint32_t)lo >> 3)) >> (lo & 7)) & ((1u << n) - 1);
  return BackPeekEdge(b, n);
}

// The same near the stream's ends and for more than 25 bits.
static __attribute__((noinline)) uint32_t BackPeekEdge(const Back *b, int n) {
  if (n == 0 || b->pos <= 0) return 0;
  int32_t lo = b->pos - n;
  uint32_t at = lo > 0 ? (uint32_t)lo >> 3 : 0;
  int32_t shift = lo > 0 ? (lo & 7) : lo;
  uint64_t word = 0;
  if (at + 8 <= b->length) {
    word = Read64(b->data + at);
  } else {
    for (uint32_t i = 0; at + i < b->length; i++) word |= (uint64_t)b->data[at + i] << (8 * i);
  }
  word = shift >= 0 ? word >> shift : word << -shift;
  return (uint32_t)(word & ((1ull << n) - 1));
}

static inline uint32_t BackRead(Back *b, int n) {
  uint32_t v = BackPeek(b, n);
  b->pos -= n;
  return v;
}

// ---- FSE tables ----

struct FseCell {
  uint16_t base;
  uint8_t symbol;
  uint8_t bits;
};

// Reads a table description (counts of up to maxSymbol + 1 symbols,
// accuracy at most maxLog) from len bytes; *used bytes taken.
static int FseReadCounts(const unsigned char *src, uint32_t len, int16_t *norm, int maxSymbol, int maxLog, int *log,
                         int *symbols, uint32_t *used) {
  int al = (int)ForwardBits(src, len, 0, 4) + 5;
  if (al > maxLog) return 0;
  uint32_t pos = 4;
  int32_t remaining = (1 << al) + 1, threshold = 1 << al;
  int bits = al + 1, s = 0;
  while (remaining > 1) {
    if (s > maxSymbol) return 0;
    int32_t max = 2 * threshold - 1 - remaining;
    int32_t value = (int32_t)ForwardBits(src, len, pos, bits);
    if ((value & (threshold - 1)) < max) {
      value &= threshold - 1;
      pos += bits - 1;
    } else {
      value &= 2 * threshold - 1;
      if (value >= threshold) value -= max;
      pos += bits;
    }
    int count = value - 1;
    remaining -= count < 0 ? -count : count;
    norm[s++] = (int16_t)count;
    if (count == 0) {
      for (;;) {
        uint32_t repeat = ForwardBits(src, len, pos, 2);
        pos += 2;
        for (uint32_t i = 0; i < repeat; i++) {
          if (s > maxSymbol) return 0;
          norm[s++] = 0;
        }
        if (repeat != 3) break;
      }
    }
    while (remaining < threshold) {
      bits--;
      threshold >>= 1;
    }
  }
  *used = (pos + 7) / 8;
  if (remaining != 1 || *used > len) return 0;
  *log = al;
  *symbols = s;
  return 1;
}

// Spreads the counts (which fill 2^log exactly; -1 is a count of one at
// the table's top) into decoding cells.
static int FseBuild(FseCell *table, const int16_t *norm, int symbols, int log) {
  uint32_t size = 1u << log, high = size - 1, mask = size - 1;
  uint32_t step = (size >> 1) + (size >> 3) + 3, pos = 0;
  uint16_t next[64];
  for (int s = 0; s < symbols; s++) {
    if (norm[s] == -1) {
      table[high--].symbol = (uint8_t)s;
      next[s] = 1;
    } else {
      next[s] = (uint16_t)norm[s];
    }
  }
  for (int s = 0; s < symbols; s++) {
    for (int i = 0; i < norm[s]; i++) {
      table[pos].symbol = (uint8_t)s;
      do pos = (pos + step) & mask;
      while (pos > high);
    }
  }
  if (pos != 0) return 0;
  for (uint32_t u = 0; u < size; u++) {
    uint32_t x = next[table[u].symbol]++;
    int bits = log - HighBit(x);
    table[u].bits = (uint8_t)bits;
    table[u].base = (uint16_t)((x << bits) - size);
  }
  return 1;
}

// ---- the frame's state ----

static const int16_t llDefault[36] = {4, 3, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1, 1, 1, 2, 2,
                                      2, 2, 2, 2, 2, 2, 2, 3, 2, 1, 1, 1, 1, 1, -1, -1, -1, -1};
static const int16_t mlDefault[53] = {1, 4, 3, 2, 2, 2, 2, 2, 2, 1, 1, 1, 1, 1, 1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1, 1,  1,
                                      1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, -1, -1, -1, -1, -1, -1, -1};
static const int16_t ofDefault[29] = {1, 1, 1, 1, 1, 1, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, -1, -1, -1, -1, -1};
static const uint8_t llExtra[36] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1,
                                    1, 1, 2, 2, 3, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
static const uint8_t mlExtra[53] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                    0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 3, 3, 4, 4, 5, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

// A code's baseline: below 16 (literal lengths) or 32 (match lengths, less
// 3) the code itself, then each code starts where the one before ends.
static uint32_t Baseline(const uint8_t *extra, uint32_t direct, uint32_t code) {
  if (code < direct) return code;
  uint32_t b = direct;
  for (uint32_t c = direct; c < code; c++) b += 1u << extra[c];
  return b;
}

struct SeqTable {
  FseCell cells[1 << LL_MAX_LOG];
  int log;
  int ready;  // may be repeated
};

struct HufCell {
  uint8_t symbol;
  uint8_t bits;
};

static SeqTable llTable, ofTable, mlTable;
static FseCell weightTable[1 << HUF_WEIGHT_LOG];
static HufCell huf[1 << HUF_MAX_BITS];
static int hufBits;  // 0: no table yet in this frame
static uint32_t llBase[36], mlBase[53];
static unsigned char literals[CMP4_BLOCK_MAX + 8];  // 8 bytes to spare for CopySteps

// ---- literals ----

// The Huffman table from its description; *used bytes taken.
static int ReadHuffman(const unsigned char *src, uint32_t len, uint32_t *used) {
  unsigned char weights[258];
  int n = 0;
  if (len < 1) return 0;
  uint32_t header = src[0];
  if (header >= 128) {
    n = (int)header - 127;
    *used = 1 + ((uint32_t)n + 1) / 2;
    if (*used > len) return 0;
    for (int i = 0; i < n; i++) weights[i] = (unsigned char)(i & 1 ? src[1 + i / 2] & 15 : src[1 + i / 2] >> 4);
  } else {
    *used = 1 + header;
    if (*used > len) return 0;
    int16_t norm[16];
    int log, symbols;
    uint32_t taken;
    Back b;
    if (!FseReadCounts(src + 1, header, norm, 12, HUF_WEIGHT_LOG, &log, &symbols, &taken) ||
        !FseBuild(weightTable, norm, symbols, log) || !BackInit(&b, src + 1 + taken, header - taken))
      return 0;
    uint32_t state[2];
    state[0] = BackRead(&b, log);
    state[1] = BackRead(&b, log);
    // The two states take turns; once a state's update runs past the
    // stream's start, the other's symbol is the last weight.
    for (int turn = 0;; turn ^= 1) {
      if (n >= 255) return 0;
      const FseCell *c = &weightTable[state[turn]];
      weights[n++] = c->symbol;
      state[turn] = c->base + BackRead(&b, c->bits);
      if (b.pos < 0) {
        weights[n++] = weightTable[state[turn ^ 1]].symbol;
        break;
      }
    }
  }
  uint32_t sum = 0;
  if (n > 255) return 0;
  for (int i = 0; i < n; i++) {
    if (weights[i] > HUF_MAX_BITS) return 0;
    if (weights[i] > 0) sum += 1u << (weights[i] - 1);
  }
  if (sum == 0) return 0;
  int bits = HighBit(sum) + 1;
  uint32_t rest = (1u << bits) - sum;
  if (bits > HUF_MAX_BITS || (rest & (rest - 1)) != 0) return 0;
  weights[n++] = (unsigned char)(HighBit(rest) + 1);
  uint32_t pos = 0;
  for (int w = 1; w <= bits; w++) {
    for (int s = 0; s < n; s++) {
      if (weights[s] != w) continue;
      for (uint32_t k = 0; k < 1u << (w - 1); k++) {
        huf[pos].symbol = (uint8_t)s;
        huf[pos++].bits = (uint8_t)(bits + 1 - w);
      }
    }
  }
  hufBits = bits;
  return 1;
}

// One Huffman stream of len bytes into count literals; it must end exactly.
static int DecodeStream(const unsigned char *src, uint32_t len, unsigned char *out, uint32_t count) {
  Back b;
  if (!BackInit(&b, src, len)) return 0;
  for (uint32_t i = 0; i < count; i++) {
    const HufCell *c = &huf[BackPeek(&b, hufBits)];
    out[i] = c->symbol;
    b.pos -= c->bits;
  }
  return b.pos == 0;
}

// The literals section of len bytes into the buffer: *used bytes taken,
// *count literals.
static int ReadLiterals(const unsigned char *src, uint32_t len, uint32_t *used, uint32_t *count) {
  if (len < 1) return 0;
  unsigned type = src[0] & 3, format = (src[0] >> 2) & 3;
  if (type < 2) {
    uint32_t head = format == 1 ? 2 : format == 3 ? 3 : 1;
    if (head > len) return 0;
    uint32_t n = head == 1 ? src[0] >> 3 : ReadLe(src, (int)head) >> 4;
    *used = head + (type == 0 ? n : 1);
    if (n > CMP4_BLOCK_MAX || *used > len) return 0;
    if (type == 0) memcpy(literals, src + head, n);
    else memset(literals, src[head], n);
    *count = n;
    return 1;
  }
  uint32_t head = format < 2 ? 3 : format + 2, sizeBits = format < 2 ? 10 : format * 4 + 6;
  if (head > len) return 0;
  uint64_t h = ReadLe(src, head < 4 ? (int)head : 4) | (head == 5 ? (uint64_t)src[4] << 32 : 0);
  uint32_t mask = (1u << sizeBits) - 1;
  uint32_t n = (uint32_t)(h >> 4) & mask, packed = (uint32_t)(h >> (4 + sizeBits)) & mask;
  *used = head + packed;
  if (n > CMP4_BLOCK_MAX || *used > len) return 0;
  const unsigned char *p = src + head;
  if (type == 2) {
    uint32_t tree;
    if (!ReadHuffman(p, packed, &tree)) return 0;
    p += tree;
    packed -= tree;
  } else if (hufBits == 0) {
    return 0;
  }
  *count = n;
  if (format == 0) return DecodeStream(p, packed, literals, n);
  if (packed < 6) return 0;
  uint32_t sizes[4], total = 0, quarter = (n + 3) / 4;
  for (int i = 0; i < 3; i++) total += sizes[i] = ReadLe(p + 2 * i, 2);
  if (total > packed - 6 || 3 * quarter > n) return 0;
  sizes[3] = packed - 6 - total;
  p += 6;
  for (int i = 0; i < 4; i++) {
    uint32_t count = i < 3 ? quarter : n - 3 * quarter;
    if (!DecodeStream(p, sizes[i], literals + i * quarter, count)) return 0;
    p += sizes[i];
  }
  return 1;
}

// ---- sequences ----

// One of the three code tables by its mode; *used bytes taken.
static int ReadTable(SeqTable *t, unsigned mode, const int16_t *predefined, int predefinedSymbols, int predefinedLog,
                     int maxSymbol, int maxLog, const unsigned char *src, uint32_t len, uint32_t *used) {
  *used = 0;
  if (mode == 0) {
    t->log = predefinedLog;
    FseBuild(t->cells, predefined, predefinedSymbols, predefinedLog);
  } else if (mode == 1) {
    if (len < 1 || src[0] > maxSymbol) return 0;
    t->cells[0].symbol = src[0];
    t->cells[0].bits = 0;
    t->cells[0].base = 0;
    t->log = 0;
    *used = 1;
  } else if (mode == 2) {
    int16_t norm[ML_MAX_SYMBOL + 1];
    int symbols;
    if (!FseReadCounts(src, len, norm, maxSymbol, maxLog, &t->log, &symbols, used) ||
        !FseBuild(t->cells, norm, symbols, t->log))
      return 0;
  } else if (!t->ready) {
    return 0;
  }
  t->ready = 1;
  return 1;
}

struct Frame {
  uint64_t window;
  uint64_t contentSize;
  int hasSize;
  int checksum;
  uint32_t rep[3];
};

struct Output {
  unsigned char *out;
  uint32_t pos;    // the next byte to write
  uint32_t limit;  // the block may write up to here
  uint32_t reach;  // bytes of this frame before pos
  uint32_t window;
};

// A short copy in steps of 8 bytes, for one that may write up to 7 bytes
// past its end (bytes the block writes later) and read as far past its
// source's end, whose source lies 8 bytes or more behind it or elsewhere.
// A copy that is neither short nor in the 8 bytes the limit leaves is made
// as one piece (or byte by byte where it overlaps itself).
#define COPY_SHORT 64
static ALWAYS_INLINE int CopyWide(const Output *o, uint32_t offset, uint32_t length) {
  return offset >= 8 && o->limit - o->pos - length >= 8 && length <= COPY_SHORT;
}

static ALWAYS_INLINE void CopySteps(unsigned char *to, const unsigned char *from, uint32_t length) {
  for (uint32_t k = 0; k < length; k += 8) memcpy(to + k, from + k, 8);
}

static int CopyMatch(Output *o, uint32_t offset, uint32_t length) {
  if (offset == 0 || offset > o->reach || offset > o->window || offset > o->pos || length > o->limit - o->pos) return 0;
  unsigned char *to = o->out + o->pos;
  const unsigned char *from = to - offset;
  int wide = CopyWide(o, offset, length);
  o->pos += length;
  o->reach += length;
  if (wide) {
    CopySteps(to, from, length);
  } else if (offset >= length) {
    memcpy(to, from, length);
  } else {
    while (length-- > 0) *to++ = *from++;
  }
  return 1;
}

// Literals from the block's buffer (which has 8 bytes to spare past any
// literal) or from the input (padded 0).
static int CopyLiterals(Output *o, const unsigned char *from, uint32_t length, int padded) {
  if (length > o->limit - o->pos) return 0;
  if (padded && CopyWide(o, 8, length)) CopySteps(o->out + o->pos, from, length);
  else memcpy(o->out + o->pos, from, length);
  o->pos += length;
  o->reach += length;
  return 1;
}

// The sequences section of len bytes: decodes and carries out every
// sequence, then the literals left.
static int DoSequences(Frame *f, Output *o, const unsigned char *src, uint32_t len, uint32_t count) {
  if (len < 1) return 0;
  uint32_t n = src[0], at = 1;
  if (n == 255) {
    if (len < 3) return 0;
    n = ReadLe(src + 1, 2) + 0x7F00;
    at = 3;
  } else if (n >= 128) {
    if (len < 2) return 0;
    n = ((n - 128) << 8) + src[1];
    at = 2;
  }
  uint32_t lit = 0;
  if (n > 0) {
    if (at >= len || (src[at] & 3) != 0) return 0;
    unsigned modes = src[at++];
    uint32_t used;
    if (!ReadTable(&llTable, modes >> 6, llDefault, 36, 6, LL_MAX_SYMBOL, LL_MAX_LOG, src + at, len - at, &used)) return 0;
    at += used;
    if (!ReadTable(&ofTable, (modes >> 4) & 3, ofDefault, 29, 5, OF_MAX_SYMBOL, OF_MAX_LOG, src + at, len - at, &used))
      return 0;
    at += used;
    if (!ReadTable(&mlTable, (modes >> 2) & 3, mlDefault, 53, 6, ML_MAX_SYMBOL, ML_MAX_LOG, src + at, len - at, &used))
      return 0;
    at += used;
    Back b;
    if (!BackInit(&b, src + at, len - at)) return 0;
    uint32_t ll = BackRead(&b, llTable.log), of = BackRead(&b, ofTable.log), ml = BackRead(&b, mlTable.log);
    for (uint32_t i = 0; i < n; i++) {
      const FseCell *lc = &llTable.cells[ll], *oc = &ofTable.cells[of], *mc = &mlTable.cells[ml];
      uint32_t value = (1u << oc->symbol) + BackRead(&b, oc->symbol);
      uint32_t matchLength = mlBase[mc->symbol] + BackRead(&b, mlExtra[mc->symbol]);
      uint32_t literalLength = llBase[lc->symbol] + BackRead(&b, llExtra[lc->symbol]);
      uint32_t offset;
      if (value > 3) {
        offset = value - 3;
        f->rep[2] = f->rep[1];
        f->rep[1] = f->rep[0];
      } else {
        uint32_t which = value - 1 + (literalLength == 0 ? 1 : 0);
        offset = which == 3 ? f->rep[0] - 1 : f->rep[which];
        if (which > 1) f->rep[2] = f->rep[1];
        if (which > 0) f->rep[1] = f->rep[0];
      }
      f->rep[0] = offset;
      if (literalLength > count - lit || !CopyLiterals(o, literals + lit, literalLength, 1) ||
          !CopyMatch(o, offset, matchLength))
        return 0;
      lit += literalLength;
      if (i + 1 < n) {
        ll = lc->base + BackRead(&b, lc->bits);
        ml = mc->base + BackRead(&b, mc->bits);
        of = oc->base + BackRead(&b, oc->bits);
      }
    }
    if (b.pos != 0) return 0;
  } else if (at != len) {
    return 0;
  }
  return CopyLiterals(o, literals + lit, count - lit, 1);
}

// ---- frames ----

// The frame header at p (len bytes present): its length, or 0.
static uint32_t ReadFrameHeader(const unsigned char *p, uint32_t len, Frame *f) {
  if (len < 5 || Read32(p) != CMP4_MAGIC) return 0;
  unsigned d = p[4];
  static const unsigned char dictSizes[4] = {0, 1, 2, 4}, sizeSizes[4] = {0, 2, 4, 8};
  unsigned single = (d >> 5) & 1, dictSize = dictSizes[d & 3], sizeSize = sizeSizes[d >> 6];
  if (single && sizeSize == 0) sizeSize = 1;
  uint32_t at = 5;
  if ((d & 8) != 0 || at + !single + dictSize + sizeSize > len) return 0;
  if (!single) {
    unsigned w = p[at++];
    uint64_t base = 1ull << (10 + (w >> 3));
    f->window = base + (base / 8) * (w & 7);
  }
  if (dictSize > 0 && ReadLe(p + at, (int)dictSize) != 0) {
    DebugPrintf("FFS: Frame needs a dictionary\n");
    return 0;
  }
  at += dictSize;
  f->hasSize = sizeSize > 0;
  f->contentSize = sizeSize == 8 ? Read64(p + at) : sizeSize > 0 ? ReadLe(p + at, (int)sizeSize) : 0;
  if (sizeSize == 2) f->contentSize += 256;
  if (single) f->window = f->contentSize;
  f->checksum = (d >> 2) & 1;
  return at + sizeSize;
}

int Cmp4IsPacked(const void *data) {
  ASSERT(data != NULL, POINTER_IS_NULL);
  return memcmp(data, CMP4_SIGNATURE, 4) == 0 ? 1 : 0;
}

int Cmp4GetSize(const void *data, uint32_t *size) {
  ASSERT(size != NULL, POINTER_IS_NULL);
  if (data == NULL) return 0;
  *size = Read32((const unsigned char *)data + 4);
  return 1;
}

int Cmp4ReadHead(const void *data, int length, Cmp4Head *head) {
  ASSERT(head != NULL, POINTER_IS_NULL);
  if (data == NULL || length < CMP4_HEAD_SIZE || !Cmp4IsPacked(data)) return 0;
  const unsigned char *p = (const unsigned char *)data;
  head->size = Read32(p + 4);
  head->window = Read32(p + 8);
  return head->size > 0 && head->size <= 0x7FFFFFFFu && head->window > 0 && head->window <= CMP4_MAX_WINDOW ? 1 : 0;
}

int Cmp4FrameWindow(const void *data, int length, uint64_t *window) {
  ASSERT(window != NULL, POINTER_IS_NULL);
  Frame f;
  if (data == NULL || length < 0 || ReadFrameHeader((const unsigned char *)data, (uint32_t)length, &f) == 0) return 0;
  *window = f.window;
  return 1;
}

int Cmp4Decompress(const void *data, int length, void *output, int outputSize) {
  ASSERT(output != NULL, POINTER_IS_NULL);
  if (data == NULL || length < 0 || outputSize <= 0) return 0;
  FfsInput in;
  FfsWindow window;
  FfsInputMemory(&in, data, (uint32_t)length);
  FfsWindowMemory(&window, output, (uint32_t)outputSize);
  return Cmp4Decode(&in, &window, (uint32_t)outputSize);
}

// Makes n bytes present at the input's next: 0 when the entry has fewer.
static int Need(FfsInput *in, uint32_t n, int *failed) {
  if (!FfsInputFill(in, n)) {
    *failed = 1;
    return 0;
  }
  return (uint32_t)(in->end - in->next) >= n;
}

// One zstd frame from its first byte; pos is the window position, kept up
// to date.
static int DecodeFrame(FfsInput *in, FfsWindow *window, uint32_t size, uint32_t limit, int *failed) {
  Frame f;
  uint32_t header;
  Need(in, FRAME_HEADER_MAX, failed);
  if (*failed || (header = ReadFrameHeader(in->next, (uint32_t)(in->end - in->next), &f)) == 0) return 0;
  in->next += header;
  if (f.window > limit) {
    DebugPrintf("FFS: Frame window exceeds %u bytes\n", (unsigned)limit);
    return 0;
  }
  Cmp4Hash hash;
  Cmp4HashStart(&hash);
  llTable.ready = ofTable.ready = mlTable.ready = 0;
  hufBits = 0;
  f.rep[0] = 1;
  f.rep[1] = 4;
  f.rep[2] = 8;
  uint32_t blockMax = f.window < CMP4_BLOCK_MAX ? (uint32_t)f.window : CMP4_BLOCK_MAX;
  uint64_t produced = 0;
  Output o;
  o.out = window->buffer;
  o.reach = 0;
  o.window = (uint32_t)f.window;
  for (int last = 0; !last;) {
    if (window->pos > FfsWindowSlidePoint(window, size, CMP4_BLOCK_MAX) && !FfsWindowSlide(window)) {
      *failed = 1;
      return 0;
    }
    if (!Need(in, 3, failed)) return 0;
    uint32_t block = ReadLe(in->next, 3);
    in->next += 3;
    last = block & 1;
    unsigned type = (block >> 1) & 3;
    uint32_t n = block >> 3, stored = type == 1 ? 1 : n;
    if (type == 3 || n > blockMax || !Need(in, stored, failed)) return 0;
    uint32_t start = window->pos;
    o.pos = start;
    o.limit = FfsWindowEnd(window, size);
    if (o.limit - start > blockMax) o.limit = start + blockMax;
    if (type == 0) {
      if (!CopyLiterals(&o, in->next, n, 0)) return 0;
    } else if (type == 1) {
      if (n > o.limit - start) return 0;
      memset(o.out + start, in->next[0], n);
      o.pos += n;
      o.reach += n;
    } else {
      uint32_t used, count;
      if (!ReadLiterals(in->next, n, &used, &count) || !DoSequences(&f, &o, in->next + used, n - used, count)) return 0;
    }
    in->next += stored;
    window->pos = o.pos;
    produced += o.pos - start;
    if (f.checksum) Cmp4HashUpdate(&hash, o.out + start, o.pos - start);
  }
  if (f.hasSize && produced != f.contentSize) return 0;
  if (!f.checksum) return 1;
  if (!Need(in, 4, failed)) return 0;
  uint32_t check = Read32(in->next);
  in->next += 4;
  return check == (uint32_t)Cmp4HashDigest(&hash);
}

int Cmp4Decode(FfsInput *input, FfsWindow *window, uint32_t size) {
  ASSERT(input != NULL, POINTER_IS_NULL);
  ASSERT(window != NULL, POINTER_IS_NULL);
  Cmp4Head head;
  if (!FfsInputFill(input, CMP4_HEAD_SIZE) || !Cmp4ReadHead(input->next, (int)(input->end - input->next), &head) ||
      size == 0 || head.size != size)
    return 0;
  input->next += CMP4_HEAD_SIZE;
  if (llBase[35] == 0) {
    for (uint32_t c = 0; c < 36; c++) llBase[c] = Baseline(llExtra, 16, c);
    for (uint32_t c = 0; c < 53; c++) mlBase[c] = Baseline(mlExtra, 32, c) + 3;
  }
  int failed = 0;
  for (;;) {
    if (!Need(input, 4, &failed)) {
      // The entry ends here: well only with no byte left.
      if (failed || input->next != input->end) return 0;
      break;
    }
    uint32_t magic = Read32(input->next);
    if ((magic & 0xFFFFFFF0u) == CMP4_SKIPPABLE_MAGIC) {
      if (!Need(input, 8, &failed)) return 0;
      uint32_t skip = Read32(input->next + 4);
      input->next += 8;
      for (;;) {
        uint32_t present = (uint32_t)(input->end - input->next);
        uint32_t n = present < skip ? present : skip;
        input->next += n;
        skip -= n;
        if (skip == 0) break;
        if (input->left == 0 || !FfsInputFill(input, 1)) return 0;
      }
    } else if (!DecodeFrame(input, window, size, head.window, &failed)) {
      return 0;
    }
  }
  return window->before + window->pos == size && input->left == 0 ? 1 : 0;
}

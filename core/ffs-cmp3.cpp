// Compression method 3 decoder: a range decoder over the whole entry in
// memory, writing into the caller's buffer, which is also the window. The
// probabilities live in one fixed table of the module, sized for the largest
// lc + lp the format allows. Every input byte is taken through one bounded
// reader, every match is checked against the bytes produced, D and S before
// it is copied; every failure leaves through one exit.
#include <string.h>

#include "ffs-cmp3.h"
#include "ffs-stream.h"
#include "vantor-core.h"

// Probability model: 11-bit probabilities, adapted by 1/32 of the distance.
#define PROB_BITS 11
#define PROB_ONE (1u << PROB_BITS)
#define PROB_MOVE 5
#define TOP (1u << 24)

#define STATES 12
#define POS_STATES_MAX 16  // 1 << largest pb
#define LEN_STATES 4       // distance slots are chosen by the length (2, 3, 4, 5+)
#define END_POS_MODEL 14   // slots from here on code their middle bits directly
#define FULL_DISTANCES 128
#define ALIGN_BITS 4

// Length coder: a choice, a second choice, 3-bit trees per position state
// for 2..9 and 10..17, an 8-bit tree for 18..273.
#define LEN_CHOICE 0
#define LEN_CHOICE2 1
#define LEN_LOW 2
#define LEN_MID (LEN_LOW + POS_STATES_MAX * 8)
#define LEN_HIGH (LEN_MID + POS_STATES_MAX * 8)
#define LEN_PROBS (LEN_HIGH + 256)

// Offsets of the groups in the one table.
#define IS_MATCH 0
#define IS_REP (IS_MATCH + STATES * POS_STATES_MAX)
#define IS_REP_G0 (IS_REP + STATES)
#define IS_REP_G1 (IS_REP_G0 + STATES)
#define IS_REP_G2 (IS_REP_G1 + STATES)
#define IS_REP0_LONG (IS_REP_G2 + STATES)
#define POS_SLOT (IS_REP0_LONG + STATES * POS_STATES_MAX)
#define SPEC_POS (POS_SLOT + LEN_STATES * 64)
#define ALIGN (SPEC_POS + 1 + FULL_DISTANCES - END_POS_MODEL)
#define LEN_CODER (ALIGN + (1 << ALIGN_BITS))
#define REP_LEN_CODER (LEN_CODER + LEN_PROBS)
#define LITERAL (REP_LEN_CODER + LEN_PROBS)
#define PROBS (LITERAL + (0x300 << CMP3_MAX_LITERAL_BITS))

static uint16_t probs[PROBS];

struct RangeDecoder {
  const unsigned char *in;
  const unsigned char *end;
  uint32_t range;
  uint32_t code;
  int overrun;  // the stream wanted bytes past its end
};

static uint32_t ReadLe32(const unsigned char *p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

static inline unsigned NextByte(RangeDecoder *rc) {
  if (rc->in < rc->end) return *rc->in++;
  rc->overrun = 1;
  return 0;
}

static inline void Normalize(RangeDecoder *rc) {
  if (rc->range < TOP) {
    rc->range <<= 8;
    rc->code = (rc->code << 8) | NextByte(rc);
  }
}

static inline unsigned DecodeBit(RangeDecoder *rc, uint16_t *p) {
  uint32_t bound = (rc->range >> PROB_BITS) * *p;
  unsigned bit;
  if (rc->code < bound) {
    rc->range = bound;
    *p = (uint16_t)(*p + ((PROB_ONE - *p) >> PROB_MOVE));
    bit = 0;
  } else {
    rc->range -= bound;
    rc->code -= bound;
    *p = (uint16_t)(*p - (*p >> PROB_MOVE));
    bit = 1;
  }
  Normalize(rc);
  return bit;
}

// Bits of equal probability, most significant first.
static uint32_t DecodeDirect(RangeDecoder *rc, int bits) {
  uint32_t result = 0;
  while (bits-- > 0) {
    rc->range >>= 1;
    uint32_t bit = rc->code >= rc->range ? 1 : 0;
    if (bit) rc->code -= rc->range;
    result = (result << 1) | bit;
    Normalize(rc);
  }
  return result;
}

// A binary tree of 2^bits - 1 probabilities at tree[1..], most significant
// bit first.
static unsigned DecodeTree(RangeDecoder *rc, uint16_t *tree, int bits) {
  unsigned m = 1;
  for (int i = 0; i < bits; i++) m = (m << 1) | DecodeBit(rc, tree + m);
  return m - (1u << bits);
}

// The same tree read least significant bit first.
static unsigned DecodeReverse(RangeDecoder *rc, uint16_t *tree, int bits) {
  unsigned m = 1, symbol = 0;
  for (int i = 0; i < bits; i++) {
    unsigned bit = DecodeBit(rc, tree + m);
    m = (m << 1) | bit;
    symbol |= bit << i;
  }
  return symbol;
}

// Match length minus 2 (0..271).
static unsigned DecodeLength(RangeDecoder *rc, uint16_t *coder, unsigned posState) {
  if (!DecodeBit(rc, coder + LEN_CHOICE)) return DecodeTree(rc, coder + LEN_LOW + posState * 8, 3);
  if (!DecodeBit(rc, coder + LEN_CHOICE2)) return 8 + DecodeTree(rc, coder + LEN_MID + posState * 8, 3);
  return 16 + DecodeTree(rc, coder + LEN_HIGH, 8);
}

// Distance minus 1 of a new match of length len + 2; 0xFFFFFFFF is the end
// marker.
static uint32_t DecodeDistance(RangeDecoder *rc, unsigned len) {
  unsigned lenState = len < LEN_STATES - 1 ? len : LEN_STATES - 1;
  unsigned slot = DecodeTree(rc, probs + POS_SLOT + lenState * 64, 6);
  if (slot < 4) return slot;
  int direct = (int)(slot >> 1) - 1;
  uint32_t distance = (2u | (slot & 1)) << direct;
  if (slot < END_POS_MODEL) return distance + DecodeReverse(rc, probs + SPEC_POS + distance - slot, direct);
  distance += DecodeDirect(rc, direct - ALIGN_BITS) << ALIGN_BITS;
  return distance + DecodeReverse(rc, probs + ALIGN, ALIGN_BITS);
}

int Cmp3IsPacked(const void *data) {
  ASSERT(data != NULL, POINTER_IS_NULL);
  return memcmp(data, CMP3_SIGNATURE, 4) == 0 ? 1 : 0;
}

int Cmp3GetSize(const void *data, uint32_t *size) {
  ASSERT(size != NULL, POINTER_IS_NULL);
  if (data == NULL) return 0;
  *size = ReadLe32((const unsigned char *)data + 4);
  return 1;
}

int Cmp3ReadHead(const void *data, int length, Cmp3Head *head) {
  ASSERT(head != NULL, POINTER_IS_NULL);
  if (data == NULL || length < CMP3_HEAD_SIZE || !Cmp3IsPacked(data)) return 0;
  const unsigned char *p = (const unsigned char *)data;
  unsigned d = p[8];
  if (d >= 9 * 5 * 5) return 0;
  head->size = ReadLe32(p + 4);
  head->lc = (int)(d % 9);
  head->lp = (int)(d / 9 % 5);
  head->pb = (int)(d / 45);
  head->dictionary = ReadLe32(p + 9);
  if (head->size == 0 || head->size > 0x7FFFFFFFu) return 0;
  if (head->lc + head->lp > CMP3_MAX_LITERAL_BITS) return 0;
  return head->dictionary >= CMP3_MIN_DICTIONARY && head->dictionary <= CMP3_MAX_DICTIONARY ? 1 : 0;
}

int Cmp3Decompress(const void *data, int length, void *output, int outputSize) {
  ASSERT(output != NULL, POINTER_IS_NULL);
  if (data == NULL || length < 0 || outputSize <= 0) return 0;
  FfsInput in;
  FfsWindow window;
  FfsInputMemory(&in, data, (uint32_t)length);
  FfsWindowMemory(&window, output, (uint32_t)outputSize);
  return Cmp3Decode(&in, &window, (uint32_t)outputSize);
}

// Input bytes one literal or match takes at most: one per decoded bit.
#define STEP_INPUT 128
// Output bytes one step writes at most: the longest match.
#define STEP_OUTPUT 273

// Every helper is inlined here (flatten), so the decoder's state stays in
// registers rather than behind a pointer; the code also comes out smaller.
__attribute__((flatten)) int Cmp3Decode(FfsInput *input, FfsWindow *window, uint32_t size) {
  ASSERT(input != NULL, POINTER_IS_NULL);
  ASSERT(window != NULL, POINTER_IS_NULL);
  Cmp3Head head;
  if (!FfsInputFill(input, CMP3_HEAD_SIZE) || !Cmp3ReadHead(input->next, (int)(input->end - input->next), &head) ||
      size == 0 || head.size != size)
    return 0;
  unsigned char *out = window->buffer;
  const unsigned lc = (unsigned)head.lc;
  const uint32_t lpMask = (1u << head.lp) - 1;
  const uint32_t pbMask = (1u << head.pb) - 1;
  const uint32_t literals = LITERAL + (0x300u << (head.lc + head.lp));
  for (uint32_t i = 0; i < literals; i++) probs[i] = PROB_ONE / 2;

  RangeDecoder rc;
  rc.in = input->next + CMP3_HEAD_SIZE;
  rc.end = input->end;
  rc.overrun = 0;
  rc.range = 0xFFFFFFFFu;
  rc.code = 0;
  int failed = 0;
  if (input->left > 0) {
    input->next = rc.in;
    failed = !FfsInputFill(input, STEP_INPUT);
    rc.in = input->next;
    rc.end = input->end;
  }
  if (failed || NextByte(&rc) != 0) return 0;
  for (int i = 0; i < 4; i++) rc.code = (rc.code << 8) | NextByte(&rc);

  // Positions are in the window; produced counts the content before it, so
  // the position bits stay those of the content. The window keeps D bytes,
  // as far as a match may reach back.
  uint32_t pos = window->pos;
  uint32_t end = FfsWindowEnd(window, size);
  uint32_t slideAt = FfsWindowSlidePoint(window, size, STEP_OUTPUT);
  uint32_t rep0 = 0, rep1 = 0, rep2 = 0, rep3 = 0;
  unsigned state = 0;
  while (!rc.overrun) {
    if (pos > slideAt) {
      window->pos = pos;
      if (!FfsWindowSlide(window)) {
        failed = 1;
        break;
      }
      pos = window->pos;
      end = FfsWindowEnd(window, size);
      slideAt = FfsWindowSlidePoint(window, size, STEP_OUTPUT);
    }
    if (pos >= end) break;
    if ((uint32_t)(rc.end - rc.in) < STEP_INPUT && input->left > 0) {
      input->next = rc.in;
      if (!FfsInputFill(input, STEP_INPUT)) {
        failed = 1;
        break;
      }
      rc.in = input->next;
      rc.end = input->end;
    }
    uint32_t produced = window->before + pos;
    unsigned posState = produced & pbMask;
    if (!DecodeBit(&rc, probs + IS_MATCH + state * POS_STATES_MAX + posState)) {
      unsigned previous = produced > 0 ? out[pos - 1] : 0;
      uint16_t *coder = probs + LITERAL + 0x300 * ((((produced & lpMask) << lc) + (previous >> (8 - lc))));
      unsigned symbol = 1;
      if (state >= 7) {
        // After a match the byte at the last distance guides the first bits,
        // until a bit differs from it.
        unsigned match = out[pos - rep0 - 1];
        do {
          unsigned matchBit = (match >> 7) & 1;
          match <<= 1;
          unsigned bit = DecodeBit(&rc, coder + ((1 + matchBit) << 8) + symbol);
          symbol = (symbol << 1) | bit;
          if (bit != matchBit) break;
        } while (symbol < 0x100);
      }
      while (symbol < 0x100) symbol = (symbol << 1) | DecodeBit(&rc, coder + symbol);
      out[pos++] = (unsigned char)symbol;
      state = state < 4 ? 0 : state < 10 ? state - 3 : state - 6;
      continue;
    }
    unsigned len;
    if (DecodeBit(&rc, probs + IS_REP + state)) {
      if (!DecodeBit(&rc, probs + IS_REP_G0 + state)) {
        if (!DecodeBit(&rc, probs + IS_REP0_LONG + state * POS_STATES_MAX + posState)) {
          // Short repeat: one byte from the last distance.
          if (rep0 >= pos) break;
          state = state < 7 ? 9 : 11;
          out[pos] = out[pos - rep0 - 1];
          pos++;
          continue;
        }
      } else {
        uint32_t distance;
        if (!DecodeBit(&rc, probs + IS_REP_G1 + state)) {
          distance = rep1;
        } else {
          if (!DecodeBit(&rc, probs + IS_REP_G2 + state)) {
            distance = rep2;
          } else {
            distance = rep3;
            rep3 = rep2;
          }
          rep2 = rep1;
        }
        rep1 = rep0;
        rep0 = distance;
      }
      len = DecodeLength(&rc, probs + REP_LEN_CODER, posState);
      state = state < 7 ? 8 : 11;
    } else {
      rep3 = rep2;
      rep2 = rep1;
      rep1 = rep0;
      len = DecodeLength(&rc, probs + LEN_CODER, posState);
      state = state < 7 ? 7 : 10;
      rep0 = DecodeDistance(&rc, len);
    }
    // Also refuses the end marker (0xFFFFFFFF): the stream has none.
    len += 2;
    if (rep0 >= pos || rep0 >= head.dictionary || len > end - pos) break;
    const unsigned char *from = out + pos - rep0 - 1;
    unsigned char *to = out + pos;
    pos += len;
    while (len-- > 0) *to++ = *from++;
  }
  window->pos = pos;
  input->next = rc.in;
  return !failed && pos == end && window->before + pos == size && !rc.overrun && rc.code == 0 &&
                 rc.in == rc.end && input->left == 0
             ? 1
             : 0;
}

// Byte-matching helpers shared by the packers (builder side only).
#ifndef BUILDER_PACK_MATCH_H
#define BUILDER_PACK_MATCH_H

#include <stdint.h>
#include <string.h>

inline uint32_t PackLoad32(const uint8_t *p) {
  uint32_t v;
  memcpy(&v, p, 4);
  return v;
}

// Length of the common prefix of a and b, at most limit bytes; compares
// eight bytes at a time.
inline int PackMatchLength(const uint8_t *a, const uint8_t *b, int limit) {
  int n = 0;
  while (n + 8 <= limit) {
    uint64_t x, y;
    memcpy(&x, a + n, 8);
    memcpy(&y, b + n, 8);
    if (x != y) return n + (__builtin_ctzll(x ^ y) >> 3);
    n += 8;
  }
  while (n < limit && a[n] == b[n]) n++;
  return n;
}

// Room reserved for a packer's output of size bytes: the content's size and
// a little, so the output never has to move to a larger block (which holds
// both for a moment). Pages reserved and not written cost no memory.
#define PACK_OUTPUT_ROOM(size) ((size_t)(size) + (size_t)(size) / 32 + 4096)

// Multiplicative hash of the 4 bytes at p, to bits bits.
inline uint32_t PackHash4(const uint8_t *p, int bits) { return (PackLoad32(p) * 2654435761u) >> (32 - bits); }

#endif

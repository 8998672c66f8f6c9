// Property: whatever the stream holds, the method-1 decoder stays inside its
// buffers (AddressSanitizer watches exact-size copies of both) and agrees,
// in result and in every output byte, with the byte-at-a-time model below.
// Input: two bytes giving the content size minus 1, then the operations; the
// head is built here, so every input reaches the operation decoder.
// fuzz-sources: core/ffs-stream.cpp core/ffs-cmp1.cpp core/vantor-core.cpp core/vantor-memory.cpp core/vantor-str.cpp core/utf8.cpp standin/process-standin.cpp
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "ffs-cmp1.h"

// The operations one byte at a time, every bound checked before each step.
static int Model(const uint8_t *in, size_t length, uint8_t *out, int size) {
  size_t at = CMP1_HEAD_SIZE;
  int pos = 0;
  for (;;) {
    if (at >= length) return 0;
    int opcode = in[at] & 15, h = in[at] >> 4;
    if (opcode > 10) return 0;
    if (opcode >= 6) {
      at++;
      if (opcode == 10) {
        if (pos < h + 1 || pos >= size) return 0;
        out[pos] = out[pos - h - 1];
        pos++;
        continue;
      }
      if (pos < 2 || size - pos < 2) return 0;
      unsigned word = opcode == 6 || opcode == 8 ? out[pos - 2] | out[pos - 1] << 8 : out[pos - 2] << 8 | out[pos - 1];
      word = (opcode <= 7 ? word + h : word - h) & 0xFFFF;
      if (opcode == 6 || opcode == 8) {
        out[pos] = (uint8_t)word, out[pos + 1] = (uint8_t)(word >> 8);
      } else {
        out[pos] = (uint8_t)(word >> 8), out[pos + 1] = (uint8_t)word;
      }
      pos += 2;
      continue;
    }
    int n;
    if (h != 0) {
      n = h;
      at += 1;
    } else if (at + 1 < length && in[at + 1] != 0) {
      n = in[at + 1] + 15;
      at += 2;
    } else if (at + 3 < length && in[at + 1] == 0) {
      n = in[at + 2] | in[at + 3] << 8;
      at += 4;
    } else {
      return 0;
    }
    if (opcode == 1 && n == 0) return 1;
    if (n > size - pos) return 0;
    int operands = opcode == 0 ? n : opcode == 3 ? 2 : opcode == 5 ? 1 : 1;
    if (length - at < (size_t)operands) return 0;
    const uint8_t *op = in + at;
    at += operands;
    switch (opcode) {
      case 0:
        for (int i = 0; i < n; i++) out[pos++] = op[i];
        break;
      case 1:
        for (int i = 0; i < n; i++) out[pos++] = op[0];
        break;
      case 2:
      case 3: {
        int d = opcode == 2 ? op[0] : op[0] | op[1] << 8;
        if (n > 0 && (d == 0 || d > pos)) return 0;
        for (int i = 0; i < n; i++, pos++) out[pos] = out[pos - d];
        break;
      }
      case 4:
        if (n > 0 && pos < 1) return 0;
        for (int i = 0; i < n; i++, pos++) out[pos] = (uint8_t)(out[pos - 1] + op[0]);
        break;
      case 5: {
        int k = op[0];
        if (k == 0 || k > 8 || length - at < (size_t)k) return 0;
        const uint8_t *steps = in + at;
        at += k;
        if (n > 0 && pos < k) return 0;
        for (int i = 0; i < n; i++, pos++) out[pos] = (uint8_t)(out[pos - k] + steps[i % k]);
        break;
      }
    }
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 2 || size > (1 << 20)) return 0;
  int outputSize = 1 + (data[0] | data[1] << 8);
  size_t length = size - 2 + CMP1_HEAD_SIZE;
  uint8_t *packed = (uint8_t *)malloc(length);
  memcpy(packed, CMP1_SIGNATURE, 4);
  for (int i = 0; i < 4; i++) packed[4 + i] = (uint8_t)(outputSize >> (8 * i));
  memcpy(packed + CMP1_HEAD_SIZE, data + 2, size - 2);
  uint8_t *fast = (uint8_t *)malloc(outputSize);
  uint8_t *plain = (uint8_t *)malloc(outputSize);
  memset(fast, 0xA5, outputSize);
  memset(plain, 0xA5, outputSize);
  int a = Cmp1Decompress(packed, (int)length, fast, outputSize);
  int b = Model(packed, length, plain, outputSize);
  // On failure the bytes written before it are unspecified; on success
  // every byte must agree.
  if (a != b || (a == 1 && memcmp(fast, plain, outputSize) != 0)) abort();
  free(plain);
  free(fast);
  free(packed);
  return 0;
}

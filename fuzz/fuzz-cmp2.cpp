// Property: whatever the stream holds, the method-2 decoder stays inside its
// buffers (AddressSanitizer watches exact-size copies of both) and produces
// exactly what the plain bit-at-a-time reference decoder produces, whole or
// streamed through small pieces.
// Input: two bytes choosing the content size (see ContentSize), then the bit
// stream; the head is built here, so every input reaches the stream decoder.
// fuzz-sources: core/ffs-stream.cpp core/ffs-cmp2.cpp core/vantor-core.cpp core/vantor-memory.cpp core/vantor-str.cpp core/utf8.cpp standin/process-standin.cpp tests/support/cmp2-reference.cpp
// fuzz-flags: -fno-sanitize-coverage=trace-cmp
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "cmp2-reference.h"
#include "ffs-cmp2.h"
#include "stream-test-support.h"

// Most inputs decode up to 1 KiB, so runs stay quick; the top three bits of
// the second byte ask for 3,000 to 7,095 bytes (the ring wraps) when 6, and
// for more than 32,455 (past the first tree rebuild) when 7.
static int ContentSize(const uint8_t *data) {
  int v = data[0] | (data[1] & 0x1F) << 8;
  switch (data[1] >> 5) {
    case 6: return 3000 + (v & 4095);
    case 7: return 32456 + v;
    default: return 1 + (v & 1023);
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static int ready = Cmp2Init();
  (void)ready;
  if (size < 2 || size > (1 << 20)) return 0;
  int outputSize = ContentSize(data);
  size_t length = size - 2 + CMP2_HEAD_SIZE;
  uint8_t *packed = (uint8_t *)malloc(length);
  memcpy(packed, CMP2_SIGNATURE, 4);
  uint32_t stored = ~(uint32_t)outputSize;
  for (int i = 0; i < 4; i++) packed[4 + i] = (uint8_t)(stored >> (8 * i));
  memcpy(packed + CMP2_HEAD_SIZE, data + 2, size - 2);
  uint8_t *fast = (uint8_t *)malloc(outputSize);
  uint8_t *plain = (uint8_t *)malloc(outputSize);
  memset(fast, 0xA5, outputSize);
  memset(plain, 0xA5, outputSize);
  int a = Cmp2Decompress(packed, (int)length, fast, outputSize);
  int b = Cmp2ReferenceDecompress(packed, (int)length, plain, outputSize);
  if (a != 1 || b != 1 || memcmp(fast, plain, outputSize) != 0) abort();
  // Streamed through small input pieces and a sliding window: the same bytes.
  std::vector<uint8_t> streamed;
  if (StreamDecode(Cmp2Decode, packed, length, (uint32_t)outputSize, CMP2_WINDOW, CMP2_LONGEST + 9 + data[0] % 64,
                   16 + data[1] % 16, &streamed) != 1 ||
      streamed.size() != (size_t)outputSize || memcmp(streamed.data(), fast, outputSize) != 0)
    abort();
  // A size that differs from the head is refused without a write.
  if (outputSize > 1 && Cmp2Decompress(packed, (int)length, fast, outputSize - 1) != 0) abort();
  free(plain);
  free(fast);
  free(packed);
  return 0;
}

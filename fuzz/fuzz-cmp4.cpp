// Property: whatever the frames hold, the method-4 (zstd) decoder stays
// inside its buffers (AddressSanitizer watches exact-size copies of both),
// streams through small pieces to the same answer and bytes, and where
// libzstd is at hand every content it accepts is libzstd's for the same
// frames.
// Input: bytes 0-1 the content size, byte 2 the window's power of two
// (10..23); the rest is the frames.
// fuzz-sources: core/ffs-stream.cpp core/ffs-cmp4.cpp core/vantor-core.cpp core/vantor-memory.cpp core/vantor-str.cpp core/utf8.cpp standin/process-standin.cpp
// fuzz-libs: -lzstd
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "ffs-cmp4.h"
#include "stream-test-support.h"

#if __has_include(<zstd.h>)
#include <zstd.h>
#define WITH_LIBZSTD 1
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 3 || size > (1 << 20)) return 0;
  uint32_t outputSize = 1 + (((uint32_t)data[0] | (uint32_t)data[1] << 8) & 0xFFFF);
  uint32_t window = 1u << (10 + data[2] % 14);
  size_t length = CMP4_HEAD_SIZE + (size - 3);
  uint8_t *packed = (uint8_t *)malloc(length);
  memcpy(packed, CMP4_SIGNATURE, 4);
  for (int i = 0; i < 4; i++) packed[4 + i] = (uint8_t)(outputSize >> (8 * i));
  for (int i = 0; i < 4; i++) packed[8 + i] = (uint8_t)(window >> (8 * i));
  memcpy(packed + CMP4_HEAD_SIZE, data + 3, size - 3);
  uint8_t *out = (uint8_t *)malloc(outputSize);
  int ok = Cmp4Decompress(packed, (int)length, out, (int)outputSize);
#ifdef WITH_LIBZSTD
  if (ok) {
    // What the decoder accepts, libzstd decodes to the same bytes (it may
    // accept more: larger windows, dictionaries it is not given).
    uint8_t *expected = (uint8_t *)malloc(outputSize + 1);
    size_t n = ZSTD_decompress(expected, outputSize + 1, packed + CMP4_HEAD_SIZE, length - CMP4_HEAD_SIZE);
    if (ZSTD_isError(n) || n != outputSize || memcmp(out, expected, outputSize) != 0) abort();
    free(expected);
  }
#endif
  std::vector<uint8_t> streamed;
  int streamedOk = StreamDecode(Cmp4Decode, packed, length, outputSize, window, CMP4_BLOCK_MAX + data[0] % 64,
                                CMP4_BLOCK_MAX + data[1] % 16, &streamed);
  if (streamedOk != ok || (ok && (streamed.size() != outputSize || memcmp(streamed.data(), out, outputSize) != 0)))
    abort();
  if (outputSize > 1 && Cmp4Decompress(packed, (int)length, out, (int)outputSize - 1) != 0) abort();
  free(out);
  free(packed);
  return 0;
}

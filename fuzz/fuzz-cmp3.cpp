// Property: whatever the stream holds, the method-3 decoder stays inside its
// buffers (AddressSanitizer watches exact-size copies of both), streams
// through small pieces to the same answer and bytes, and where
// liblzma is at hand it accepts exactly the streams liblzma's raw decoder
// accepts for the same parameters and size, with the same bytes.
// Input: byte 0 the coder parameters (folded into lc + lp <= 4), bytes 1-2
// the content size, byte 3 the dictionary size; the rest is the stream after
// its leading zero byte, which is supplied here.
// fuzz-sources: core/ffs-stream.cpp core/ffs-cmp3.cpp core/vantor-core.cpp core/vantor-memory.cpp core/vantor-str.cpp core/utf8.cpp standin/process-standin.cpp
// fuzz-libs: -llzma
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "ffs-cmp3.h"
#include "stream-test-support.h"

#if __has_include(<lzma.h>)
#include <lzma.h>
#define WITH_LIBLZMA 1

static int LibraryDecode(const Cmp3Head &head, const uint8_t *stream, size_t length, uint8_t *out) {
  lzma_options_lzma options;
  memset(&options, 0, sizeof options);
  options.dict_size = head.dictionary;
  options.lc = (uint32_t)head.lc;
  options.lp = (uint32_t)head.lp;
  options.pb = (uint32_t)head.pb;
  options.ext_size_low = head.size;
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, NULL}};
  lzma_stream strm = LZMA_STREAM_INIT;
  if (lzma_raw_decoder(&strm, filters) != LZMA_OK) abort();
  strm.next_in = stream;
  strm.avail_in = length;
  strm.next_out = out;
  strm.avail_out = head.size;
  lzma_ret ret = lzma_code(&strm, LZMA_FINISH);
  int ok = ret == LZMA_STREAM_END && strm.total_out == head.size && strm.avail_in == 0;
  lzma_end(&strm);
  return ok;
}
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 4 || size > (1 << 20)) return 0;
  int lc = data[0] % 9, lp = data[0] / 9 % 5, pb = data[0] / 45 % 5;
  if (lc + lp > CMP3_MAX_LITERAL_BITS) lc = CMP3_MAX_LITERAL_BITS - lp;
  uint32_t outputSize = 1 + (((uint32_t)data[1] | (uint32_t)data[2] << 8) & 0x3FFF);
  uint32_t dictionary = CMP3_MIN_DICTIONARY * (1 + (data[3] & 7));
  size_t length = CMP3_HEAD_SIZE + 1 + (size - 4);
  uint8_t *packed = (uint8_t *)malloc(length);
  memcpy(packed, CMP3_SIGNATURE, 4);
  for (int i = 0; i < 4; i++) packed[4 + i] = (uint8_t)(outputSize >> (8 * i));
  packed[8] = (uint8_t)CMP3_PARAMETERS(lc, lp, pb);
  for (int i = 0; i < 4; i++) packed[9 + i] = (uint8_t)(dictionary >> (8 * i));
  packed[CMP3_HEAD_SIZE] = 0;
  memcpy(packed + CMP3_HEAD_SIZE + 1, data + 4, size - 4);
  uint8_t *out = (uint8_t *)malloc(outputSize);
  int ok = Cmp3Decompress(packed, (int)length, out, (int)outputSize);
  (void)ok;  // compared with the library's answer where it is linked
#ifdef WITH_LIBLZMA
  Cmp3Head head;
  if (!Cmp3ReadHead(packed, (int)length, &head)) abort();
  uint8_t *expected = (uint8_t *)malloc(outputSize);
  int libraryOk = LibraryDecode(head, packed + CMP3_HEAD_SIZE, length - CMP3_HEAD_SIZE, expected);
  if (ok != libraryOk || (ok && memcmp(out, expected, outputSize) != 0)) abort();
  free(expected);
#endif
  // Streamed through small input pieces and a sliding window: the same
  // answer and the same bytes.
  std::vector<uint8_t> streamed;
  int streamedOk = StreamDecode(Cmp3Decode, packed, length, outputSize, dictionary, 274 + data[0] % 64,
                                128 + data[1] % 16, &streamed);
  if (streamedOk != ok || (ok && (streamed.size() != outputSize || memcmp(streamed.data(), out, outputSize) != 0)))
    abort();
  // A size that differs from the head is refused.
  if (outputSize > 1 && Cmp3Decompress(packed, (int)length, out, (int)outputSize - 1) != 0) abort();
  free(out);
  free(packed);
  return 0;
}

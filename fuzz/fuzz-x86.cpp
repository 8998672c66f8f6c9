// Property: the branch-call filter for x86 and x64 code is reversed exactly
// on any bytes, its reverse streamed in pieces of any size (the installer's
// FfsX86Sink) as well as whole, and the filter streamed in pieces decides
// as over the whole.
// Input: byte 0 chooses the piece size (1..64); the rest is the content.
// fuzz-sources: core/ffs-x86.cpp
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "ffs-x86.h"

namespace {

int Gather(void *context, const void *data, uint32_t n) {
  std::vector<uint8_t> *out = (std::vector<uint8_t> *)context;
  out->insert(out->end(), (const uint8_t *)data, (const uint8_t *)data + n);
  return 1;
}

FfsX86Sink sink;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1 || size > (1 << 20)) return 0;
  uint32_t piece = 1 + data[0] % 64;
  std::vector<uint8_t> content(data + 1, data + size), whole(content), pieces(content);
  uint32_t n = (uint32_t)content.size();
  FfsX86 filter;
  FfsX86Start(&filter);
  FfsX86Convert(&filter, whole.data(), n, 1);
  FfsX86Start(&filter);
  for (uint32_t at = 0, end = 0; end < n;) {
    end = n - end > piece ? end + piece : n;
    at += FfsX86Convert(&filter, pieces.data() + at, end - at, 1);
  }
  if (pieces != whole) abort();
  std::vector<uint8_t> back;
  FfsX86SinkStart(&sink, n, Gather, &back);
  for (uint32_t at = 0; at < n; at += piece)
    if (!FfsX86Put(&sink, whole.data() + at, n - at < piece ? n - at : piece)) abort();
  if (back != content) abort();
  FfsX86Start(&filter);
  FfsX86Convert(&filter, whole.data(), n, 0);
  if (whole != content) abort();
  return 0;
}

// Property: both packers round-trip any data exactly through the decoders,
// and method 1 never emits a String whose distance is below 4 and below its
// length nor a zero length other than the end mark (checked by walking the
// operations).
// fuzz-sources: core/ffs-stream.cpp core/ffs-cmp1.cpp core/ffs-cmp2.cpp core/vantor-core.cpp core/vantor-memory.cpp core/vantor-str.cpp core/utf8.cpp standin/process-standin.cpp builder/pack1.cpp builder/pack2.cpp
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "ffs-cmp1.h"
#include "ffs-cmp2.h"
#include "pack1.h"
#include "pack2.h"

static void CheckOperations(const std::vector<uint8_t> &p) {
  size_t at = CMP1_HEAD_SIZE;
  for (;;) {
    if (at >= p.size()) abort();
    int opcode = p[at] & 15, h = p[at] >> 4;
    if (opcode > 10) abort();
    if (opcode >= 6) {
      at++;
      continue;
    }
    uint16_t n;
    at += DecodeOpcode(&p[at], &n);
    if (opcode == 1 && n == 0) {
      if (at != p.size() || h != 0) abort();
      return;
    }
    if (n == 0) abort();
    int d = opcode == 2 ? p[at] : opcode == 3 ? p[at] | p[at + 1] << 8 : 0;
    if ((opcode == 2 || opcode == 3) && d < 4 && d < n) abort();
    at += opcode == 0 ? n : opcode == 3 ? 2 : opcode == 5 ? 1 + p[at] : 1;
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static int ready = Cmp2Init();
  (void)ready;
  if (size == 0 || size > (1 << 18)) return 0;
  std::vector<uint8_t> packed, out(size);
  if (!Pack1(data, size, &packed)) abort();
  CheckOperations(packed);
  if (Cmp1Decompress(packed.data(), (int)packed.size(), out.data(), (int)size) != 1 || memcmp(out.data(), data, size) != 0)
    abort();
  for (int parse = 0; parse < 2; parse++) {
    if (!Pack2(data, size, &packed, parse ? PACK2_BEST : PACK2_GREEDY)) abort();
    memset(out.data(), 0, size);
    if (Cmp2Decompress(packed.data(), (int)packed.size(), out.data(), (int)size) != 1 || memcmp(out.data(), data, size) != 0)
      abort();
  }
  return 0;
}

#include "pack-x86.h"

#include <string.h>

#include "ffs-x86.h"
#include "pe-format.h"

namespace {

uint32_t Le16(const uint8_t *p) { return (uint32_t)p[0] | ((uint32_t)p[1] << 8); }

uint32_t Le32(const uint8_t *p) { return Le16(p) | (Le16(p + 2) << 16); }

const uint32_t kPeI386 = 0x14C, kPeAmd64 = 0x8664;
const uint32_t kElfI386 = 3, kElfX86_64 = 62;
const size_t kElfMachineAt = 18, kElfDataAt = 5;

}  // namespace

bool PackX86IsCode(const uint8_t *data, size_t size) {
  if (size >= kElfMachineAt + 2 && memcmp(data, "\x7F" "ELF", 4) == 0) {
    uint32_t machine = Le16(data + kElfMachineAt);
    return data[kElfDataAt] == 1 && (machine == kElfI386 || machine == kElfX86_64);
  }
  if (size < PE_DOS_HEADER_SIZE || memcmp(data, PE_DOS_MAGIC, 2) != 0) return false;
  uint32_t pe = Le32(data + PE_LFANEW_AT);
  if (pe > size || size - pe < PE_SIGNATURE_SIZE + 2 || memcmp(data + pe, PE_SIGNATURE, PE_SIGNATURE_SIZE) != 0)
    return false;
  uint32_t machine = Le16(data + pe + PE_SIGNATURE_SIZE);
  return machine == kPeI386 || machine == kPeAmd64;
}

void PackX86Filter(const uint8_t *data, size_t size, std::vector<uint8_t> *out) {
  out->assign(data, data + size);
  FfsX86 filter;
  FfsX86Start(&filter);
  // Pieces below 4 GiB; each call leaves at most 4 undecided bytes, which
  // the next takes again (the last are the content's tail, left as they are).
  for (size_t at = 0; size - at >= 5;) {
    size_t n = size - at < 0x40000000u ? size - at : 0x40000000u;
    at += FfsX86Convert(&filter, out->data() + at, (uint32_t)n, 1);
    if (n < 0x40000000u) break;
  }
}

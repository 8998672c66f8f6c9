// Symbol-level method-2 encoder for the tests and the generated inputs.
#include "cmp2-test-support.h"

#include <string.h>

#include "ffs-cmp2.h"

namespace {

struct Bits {
  std::vector<uint8_t> *out;
  uint32_t acc = 0;
  int count = 0;
  void Put(uint32_t code, int length) {
    for (int i = length - 1; i >= 0; i--) {
      acc = acc << 1 | ((code >> i) & 1);
      if (++count == 8) {
        out->push_back((uint8_t)acc);
        acc = 0;
        count = 0;
      }
    }
  }
};

uint32_t Next(uint32_t *state) {
  *state = *state * 1664525u + 1013904223u;
  return *state >> 8;
}

}  // namespace

std::vector<uint8_t> Cmp2EncodeSteps(uint32_t s, const std::vector<Cmp2Step> &steps) {
  std::vector<uint8_t> out = {'F', 'F', 'C', '@'};
  for (int i = 0; i < 4; i++) out.push_back((uint8_t)(~s >> (8 * i)));
  std::vector<uint16_t> weight(CMP2_NODES + 1), child(CMP2_NODES), parent(CMP2_NODES + CMP2_SYMBOLS);
  Cmp2Tree tree = {weight.data(), child.data(), parent.data()};
  HuffStart(&tree);
  Bits bits;
  bits.out = &out;
  for (const Cmp2Step &step : steps) {
    uint32_t code = 0;
    int length = 0;
    for (int n = parent[step.symbol + CMP2_NODES]; n != CMP2_ROOT; n = parent[n]) code |= (uint32_t)(n & 1) << length++;
    bits.Put(code, length);
    HuffUpdate(&tree, step.symbol);
    if (step.symbol >= 256) {
      unsigned prefix;
      int prefixLength = Cmp2DistanceCode(step.field >> 6, &prefix);
      bits.Put(prefix, prefixLength);
      bits.Put((uint32_t)step.field & 63, 6);
    }
  }
  if (bits.count > 0) out.push_back((uint8_t)(bits.acc << (8 - bits.count)));
  return out;
}

std::vector<uint8_t> TestText(size_t size, uint32_t seed) {
  static const char *words[] = {"the", "installer", "copies", "files", "to", "a", "directory", "of", "your",
                                "choice", "and", "records", "its", "path", "in", "registry", "program",
                                "group", "with", "icons", "for", "each", "item", "setup", "will", "now"};
  std::vector<uint8_t> out;
  uint32_t state = seed;
  while (out.size() < size) {
    const char *w = words[Next(&state) % (sizeof words / sizeof words[0])];
    out.insert(out.end(), w, w + strlen(w));
    uint32_t r = Next(&state) % 16;
    out.push_back(r == 0 ? '.' : r == 1 ? ',' : ' ');
    if (r == 0) out.push_back(Next(&state) % 4 == 0 ? '\n' : ' ');
  }
  out.resize(size);
  return out;
}

// Instruction-shaped bytes: prologues, moves with small displacements,
// calls with near targets, immediates, padding.
std::vector<uint8_t> TestMachineCode(size_t size, uint32_t seed) {
  std::vector<uint8_t> out;
  uint32_t state = seed;
  while (out.size() < size) {
    switch (Next(&state) % 8) {
      case 0: out.insert(out.end(), {0x55, 0x89, 0xE5, 0x83, 0xEC, (uint8_t)(4 * (Next(&state) % 16))}); break;
      case 1: out.insert(out.end(), {0x8B, 0x45, (uint8_t)(4 * (Next(&state) % 8 + 2))}); break;
      case 2: {
        uint32_t target = Next(&state) % 4096;
        out.insert(out.end(), {0xE8, (uint8_t)target, (uint8_t)(target >> 8), 0, 0});
        break;
      }
      case 3: out.insert(out.end(), {0x89, 0x44, 0x24, (uint8_t)(4 * (Next(&state) % 8))}); break;
      case 4: out.insert(out.end(), {0xC7, 0x04, 0x24, (uint8_t)Next(&state), (uint8_t)Next(&state), 0x40, 0x00}); break;
      case 5: out.insert(out.end(), {0xC9, 0xC3, 0x90, 0x90}); break;
      case 6: out.push_back((uint8_t)Next(&state)); break;
      default: out.insert(out.end(), {0x85, 0xC0, 0x74, (uint8_t)(Next(&state) % 64)}); break;
    }
  }
  out.resize(size);
  return out;
}

std::vector<uint8_t> TestRandom(size_t size, uint32_t seed) {
  std::vector<uint8_t> out(size);
  uint32_t state = seed;
  for (uint8_t &b : out) b = (uint8_t)Next(&state);
  return out;
}

std::vector<uint8_t> TestRuns(size_t size, uint32_t seed) {
  std::vector<uint8_t> out;
  uint32_t state = seed;
  while (out.size() < size) out.insert(out.end(), 1 + Next(&state) % 300, (uint8_t)(Next(&state) % 4 * 0x55));
  out.resize(size);
  return out;
}

std::vector<uint8_t> TestCountingBytes(size_t size) {
  std::vector<uint8_t> out(size);
  for (size_t i = 0; i < size; i++) out[i] = (uint8_t)(i * 3 + 7);
  return out;
}

std::vector<uint8_t> TestCountingWords(size_t size) {
  std::vector<uint8_t> out(size);
  for (size_t i = 0; i < size; i++) out[i] = (uint8_t)((i / 2 + 0x1F0) >> (i % 2 * 8));
  return out;
}

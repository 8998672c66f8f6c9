// Helpers for the method-2 tests: a symbol-level encoder built on the shared
// tree operations, and generated inputs of the kinds installers carry.
#ifndef CMP2_TEST_SUPPORT_H
#define CMP2_TEST_SUPPORT_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

// One coded step: a symbol (0..312) and, for a match, its distance field.
struct Cmp2Step {
  int symbol;
  int field;
};

// A complete method-2 entry for content size s holding exactly these steps.
std::vector<uint8_t> Cmp2EncodeSteps(uint32_t s, const std::vector<Cmp2Step> &steps);

// Deterministic generated inputs.
std::vector<uint8_t> TestText(size_t size, uint32_t seed);
std::vector<uint8_t> TestMachineCode(size_t size, uint32_t seed);
std::vector<uint8_t> TestRandom(size_t size, uint32_t seed);
std::vector<uint8_t> TestRuns(size_t size, uint32_t seed);
std::vector<uint8_t> TestCountingBytes(size_t size);
std::vector<uint8_t> TestCountingWords(size_t size);

#endif

// Unpacking in bounded memory: every method gives the same content through
// small input pieces and a window that slides as through one buffer of the
// whole content, damage part-way fails, and a sink that refuses stops the
// decoder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ffs-cmp1.h"
#include "ffs-cmp2.h"
#include "ffs-cmp3.h"
#include "pack1.h"
#include "pack2.h"
#include "pack3.h"
#include "stream-test-support.h"

namespace {

// About 1.2 MB of lines, counters, noise and runs: every method finds
// matches, and the content is far longer than each window.
std::vector<uint8_t> MixedContent() {
  std::vector<uint8_t> out;
  uint32_t seed = 12345;
  for (int line = 0; out.size() < 1200000; line++) {
    std::string text = "line " + std::to_string(line) + ": the quick brown fox " + std::to_string(line * 37 % 1000);
    out.insert(out.end(), text.begin(), text.end());
    out.push_back('\n');
    for (int i = 0; i < line % 13; i++) {
      seed = seed * 1103515245u + 12345u;
      out.push_back((uint8_t)(seed >> 16));
    }
    if (line % 97 == 0) out.insert(out.end(), 300, (uint8_t)line);
  }
  return out;
}

struct Method {
  const char *name;
  StreamDecoder decode;
  uint32_t keep;
  uint32_t step;  // the most one step writes: a window has room for it
  uint32_t inputSize;
};

TEST(StreamedDecoding, EveryMethodGivesTheWholeContentThroughSmallPieces) {
  static const std::vector<uint8_t> content = MixedContent();
  const uint32_t size = (uint32_t)content.size();
  std::vector<uint8_t> packed1, packed2, packed3;
  ASSERT_TRUE(Pack1(content.data(), size, &packed1));
  ASSERT_TRUE(Pack2(content.data(), size, &packed2, PACK2_GREEDY));
  ASSERT_EQ(1, Cmp2Init());
  // Level 0 keeps a dictionary of 256 KiB, far less than the content.
  bool have3 = Pack3Available() && Pack3(content.data(), size, &packed3, 0);
  Method methods[] = {{"method 1", Cmp1Decode, CMP1_REACH, CMP1_MAX_LENGTH + 2, CMP1_STEP_INPUT},
                      {"method 2", Cmp2Decode, CMP2_WINDOW, CMP2_LONGEST + 8, 16},
                      {"method 3", Cmp3Decode, 256 * 1024, 273, 128}};
  const std::vector<uint8_t> *packs[] = {&packed1, &packed2, &packed3};
  for (int m = 0; m < (have3 ? 3 : 2); m++) {
    SCOPED_TRACE(methods[m].name);
    const std::vector<uint8_t> &packed = *packs[m];
    for (uint32_t extra : {1u, 4099u, 1u << 20}) {
      uint32_t piece = methods[m].step + extra;
      std::vector<uint8_t> out;
      ASSERT_EQ(1, StreamDecode(methods[m].decode, packed.data(), packed.size(), size, methods[m].keep, piece,
                                methods[m].inputSize + (piece & 7), &out))
          << piece;
      ASSERT_TRUE(out == content) << piece;
    }
    // Damage in the last quarter is found after most of the content left,
    // and the content given before it is still right.
    if (m != 1) {  // method 2 has no redundancy to find damage with
      std::vector<uint8_t> damaged(packed);
      damaged[damaged.size() * 7 / 8] ^= 0x5A;
      std::vector<uint8_t> out;
      EXPECT_EQ(0, StreamDecode(methods[m].decode, damaged.data(), damaged.size(), size, methods[m].keep,
                                methods[m].step + 4099, methods[m].inputSize, &out));
      EXPECT_GT(out.size(), size / 2);
      EXPECT_LT(out.size(), size);
    }
    // A sink that refuses stops the decoding at once.
    std::vector<uint8_t> out;
    EXPECT_EQ(0, StreamDecode(methods[m].decode, packed.data(), packed.size(), size, methods[m].keep,
                              methods[m].step + 4099, methods[m].inputSize, &out, 100000));
    EXPECT_LT(out.size(), 100000u + methods[m].step + 4099u + methods[m].keep);
  }
  Cmp2Remove();
}

}  // namespace

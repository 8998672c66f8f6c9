// Method-2 decoder: the format's vectors, head checks, window start, final
// match cut at the content size, rebuild, and agreement with the plain
// reference decoder on packed, truncated, damaged and random streams.
#include <string.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cmp2-reference.h"
#include "cmp2-test-support.h"
#include "ffs-cmp2.h"
#include "pack2.h"
#include "vantor-core.h"

namespace {

class Cmp2Decode : public testing::Test {
 protected:
  void SetUp() override { Cmp2Init(); }
  void TearDown() override { Cmp2Remove(); }

  // Decodes into a buffer with guard bytes behind it; checks that the
  // reference decoder gives the same result and bytes and the guards hold.
  std::vector<uint8_t> Decode(const std::vector<uint8_t> &packed, int size, int *result = NULL) {
    std::vector<uint8_t> out(size + 16, 0xA5), ref(size + 16, 0xA5);
    int r = Cmp2Decompress(packed.data(), (int)packed.size(), out.data(), size);
    int q = Cmp2ReferenceDecompress(packed.data(), (int)packed.size(), ref.data(), size);
    EXPECT_EQ(r, q);
    EXPECT_EQ(out, ref);
    for (int i = size; i < size + 16; i++) EXPECT_EQ(out[i], 0xA5) << "written past the output at " << i;
    if (result != NULL) *result = r;
    out.resize(size);
    return out;
  }
};

const std::vector<uint8_t> kAbc = {0x46, 0x46, 0x43, 0x40, 0xFC, 0xFF, 0xFF, 0xFF, 0xF7, 0xFC, 0x3E, 0x20};
const std::vector<uint8_t> kAbc4 = {0x46, 0x46, 0x43, 0x40, 0xF3, 0xFF, 0xFF, 0xFF, 0xF7, 0xFC, 0x3E, 0x32, 0x60, 0x20};

std::string Text(const std::vector<uint8_t> &v) { return std::string(v.begin(), v.end()); }

TEST_F(Cmp2Decode, FormatVectors) {
  int result;
  EXPECT_EQ(Text(Decode(kAbc, 3, &result)), "abc");
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Text(Decode(kAbc4, 12, &result)), "abcabcabcabc");
  EXPECT_EQ(result, 1);
  uint32_t size = 0;
  EXPECT_EQ(Cmp2GetSize(kAbc4.data(), &size), 1);
  EXPECT_EQ(size, 12u);
  EXPECT_EQ(Cmp2GetSize(NULL, &size), 0);
  EXPECT_EQ(Cmp2IsPacked(kAbc.data()), 1);
  EXPECT_EQ(Cmp2IsPacked("FFC!"), 0);
}

TEST_F(Cmp2Decode, BadHeadsAreRefusedWithoutWriting) {
  std::vector<uint8_t> out(16, 0x11);
  std::vector<uint8_t> wrongTag = kAbc;
  wrongTag[3] = '!';
  EXPECT_EQ(Cmp2Decompress(wrongTag.data(), 12, out.data(), 3), 0);
  std::vector<uint8_t> empty = kAbc;
  empty[4] = empty[5] = empty[6] = empty[7] = 0xFF;  // content size 0
  EXPECT_EQ(Cmp2Decompress(empty.data(), 12, out.data(), 1), 0);
  std::vector<uint8_t> huge = kAbc;
  huge[7] = 0x7F;  // complement has the top bit set
  EXPECT_EQ(Cmp2Decompress(huge.data(), 12, out.data(), 3), 0);
  EXPECT_EQ(Cmp2Decompress(kAbc.data(), 12, out.data(), 4), 0);  // size differs
  EXPECT_EQ(Cmp2Decompress(kAbc.data(), 7, out.data(), 3), 0);   // no room for the head
  EXPECT_EQ(out, std::vector<uint8_t>(16, 0x11));
}

TEST_F(Cmp2Decode, ShortestAndLongestMatchAndNearestDistance) {
  // 'x', then symbol 256 (4 bytes) and 312 (60 bytes), both at p = 0.
  std::vector<uint8_t> packed = Cmp2EncodeSteps(65, {{'x', 0}, {256, 0}, {312, 0}});
  EXPECT_EQ(Text(Decode(packed, 65)), std::string(65, 'x'));
  packed = Cmp2EncodeSteps(5, {{'a', 0}, {'b', 0}, {256, 1}, {'c', 0}});
  EXPECT_EQ(Text(Decode(packed, 5)), "ababa");
}

TEST_F(Cmp2Decode, WindowStartsWithSpacesThenZeros) {
  // p = 59: ring 3976..4035, all spaces.
  EXPECT_EQ(Text(Decode(Cmp2EncodeSteps(60, {{312, 59}}), 60)), std::string(60, ' '));
  // p = 4095: ring 4036..4095, the 60 zero bytes.
  EXPECT_EQ(Decode(Cmp2EncodeSteps(60, {{312, 4095}}), 60), std::vector<uint8_t>(60, 0));
  // p = 4059: ring 4072..4095 (zeros), then wrapping to 0..35 (spaces).
  std::vector<uint8_t> mixed(24, 0);
  mixed.insert(mixed.end(), 36, ' ');
  EXPECT_EQ(Decode(Cmp2EncodeSteps(60, {{312, 4059}}), 60), mixed);
  // A short match reaching into the start while the output is young.
  EXPECT_EQ(Text(Decode(Cmp2EncodeSteps(6, {{'a', 0}, {'b', 0}, {256, 3}}), 6)), "ab  ab");
}

TEST_F(Cmp2Decode, FinalMatchIsCutAtTheContentSize) {
  int result;
  std::vector<uint8_t> out = Decode(Cmp2EncodeSteps(5, {{258, 4095}}), 5, &result);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(out, std::vector<uint8_t>(5, 0));
  // Leftover input after S bytes is ignored.
  std::vector<uint8_t> packed = kAbc;
  packed.insert(packed.end(), 100, 0xFF);
  EXPECT_EQ(Text(Decode(packed, 3)), "abc");
}

TEST_F(Cmp2Decode, TreeRebuildAfter32455Symbols) {
  // Skewed literals, so the halved weights reorder the tree.
  std::vector<Cmp2Step> steps;
  std::vector<uint8_t> expected;
  uint32_t state = 7;
  for (int i = 0; i < 40000; i++) {
    state = state * 1664525u + 1013904223u;
    int symbol = (state >> 24) % 4 == 0 ? (int)(state >> 8) % 256 : (int)(state >> 8) % 7;
    steps.push_back({symbol, 0});
    expected.push_back((uint8_t)symbol);
  }
  EXPECT_EQ(Decode(Cmp2EncodeSteps(40000, steps), 40000), expected);
}

TEST_F(Cmp2Decode, TruncatedAndDamagedStreamsStayInBounds) {
  std::vector<uint8_t> data = TestText(9000, 3);
  std::vector<uint8_t> packed;
  ASSERT_TRUE(Pack2(data.data(), data.size(), &packed));
  ASSERT_EQ(Decode(packed, 9000), data);
  for (size_t cut = 8; cut < packed.size(); cut += packed.size() / 23) {
    std::vector<uint8_t> shorter(packed.begin(), packed.begin() + cut);
    int result;
    Decode(shorter, 9000, &result);
    EXPECT_EQ(result, 1) << "zero bits past the end still give S bytes";
  }
  for (size_t bit = 64; bit < packed.size() * 8; bit += 97) {
    std::vector<uint8_t> damaged = packed;
    damaged[bit / 8] ^= (uint8_t)(0x80 >> (bit % 8));
    Decode(damaged, 9000);
  }
}

TEST_F(Cmp2Decode, RandomStreamsAgreeWithReference) {
  for (int size : {1, 67, 68, 69, 4095, 4096, 4097, 20000}) {
    std::vector<uint8_t> packed = TestRandom((size_t)size / 2 + 9, (uint32_t)size);
    memcpy(packed.data(), CMP2_SIGNATURE, 4);
    for (int i = 0; i < 4; i++) packed[4 + i] = (uint8_t)(~(uint32_t)size >> (8 * i));
    int result;
    Decode(packed, size, &result);
    EXPECT_EQ(result, 1);
  }
}

TEST_F(Cmp2Decode, InitAndRemoveBalanceTheHeap) {
  Cmp2Remove();
  MemoryCounters before, after;
  MemoryGetCounters(&before);
  Cmp2Init();
  Cmp2Remove();
  MemoryGetCounters(&after);
  EXPECT_EQ(before.count, after.count);
  EXPECT_EQ(before.bytes, after.bytes);
  EXPECT_EQ(Cmp2Remove(), 1);  // nothing left to release
}

}  // namespace

// Both packers: the method-2 vectors byte for byte, round trips over every
// kind and size of input through the decoders, the method-1 stream rules,
// and that each method-1 operation is used where it pays.
#include <string.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cmp2-test-support.h"
#include "ffs-cmp1.h"
#include "ffs-cmp2.h"
#include "pack1.h"
#include "pack2.h"

namespace {

std::vector<uint8_t> FromText(const char *s) { return std::vector<uint8_t>(s, s + strlen(s)); }

class Pack : public testing::Test {
 protected:
  void SetUp() override { Cmp2Init(); }
  void TearDown() override { Cmp2Remove(); }

  void RoundTrip(const std::vector<uint8_t> &data, const std::string &what) {
    std::vector<uint8_t> packed, out;
    ASSERT_TRUE(Pack1(data.data(), data.size(), &packed)) << what;
    CheckOperations(packed, what);
    out.assign(data.size(), 0);
    EXPECT_EQ(Cmp1Decompress(packed.data(), (int)packed.size(), out.data(), (int)out.size()), 1) << what;
    EXPECT_TRUE(out == data) << "method 1: " << what;
    for (Pack2Parse parse : {PACK2_GREEDY, PACK2_BEST}) {
      ASSERT_TRUE(Pack2(data.data(), data.size(), &packed, parse)) << what;
      out.assign(data.size(), 0);
      EXPECT_EQ(Cmp2Decompress(packed.data(), (int)packed.size(), out.data(), (int)out.size()), 1) << what;
      EXPECT_TRUE(out == data) << "method 2 (" << (parse == PACK2_BEST ? "best" : "greedy") << "): " << what;
    }
  }

  // Walks a method-1 stream: no zero length but the end mark, which comes
  // last; no String at a distance below 4 and below its length.
  void CheckOperations(const std::vector<uint8_t> &p, const std::string &what) {
    ASSERT_GE(p.size(), 12u);
    ASSERT_EQ(memcmp(p.data(), CMP1_SIGNATURE, 4), 0);
    size_t at = CMP1_HEAD_SIZE;
    for (;;) {
      ASSERT_LT(at, p.size()) << what;
      int opcode = p[at] & 15;
      ASSERT_LE(opcode, 10) << what;
      if (opcode >= CMP1_DELTA_P) {
        at++;
        continue;
      }
      uint16_t n;
      at += DecodeOpcode(&p[at], &n);
      if (opcode == CMP1_RUN && n == 0) break;
      ASSERT_NE(n, 0) << what;
      if (opcode == CMP1_STRING_NEAR || opcode == CMP1_STRING_FAR) {
        int d = opcode == CMP1_STRING_NEAR ? p[at] : p[at] | p[at + 1] << 8;
        ASSERT_FALSE(d < 4 && d < n) << what << ": distance " << d << ", length " << n;
      }
      at += opcode == CMP1_UNIQUE ? n : opcode == CMP1_STRING_FAR ? 2 : opcode == CMP1_DELTA_C ? 1 + p[at] : 1;
    }
    EXPECT_EQ(at, p.size()) << what << ": bytes after the end mark";
  }
};

TEST_F(Pack, Method2Vectors) {
  std::vector<uint8_t> packed;
  for (Pack2Parse parse : {PACK2_GREEDY, PACK2_BEST}) {
    ASSERT_TRUE(Pack2((const uint8_t *)"abc", 3, &packed, parse));
    EXPECT_EQ(packed, std::vector<uint8_t>({0x46, 0x46, 0x43, 0x40, 0xFC, 0xFF, 0xFF, 0xFF, 0xF7, 0xFC, 0x3E, 0x20}));
    ASSERT_TRUE(Pack2((const uint8_t *)"abcabcabcabc", 12, &packed, parse));
    EXPECT_EQ(packed,
              std::vector<uint8_t>({0x46, 0x46, 0x43, 0x40, 0xF3, 0xFF, 0xFF, 0xFF, 0xF7, 0xFC, 0x3E, 0x32, 0x60, 0x20}));
  }
}

TEST_F(Pack, RefusesWhatTheFormatCannotHold) {
  std::vector<uint8_t> packed;
  uint8_t byte = 0;
  EXPECT_FALSE(Pack1(&byte, 0, &packed));
  EXPECT_FALSE(Pack2(&byte, 0, &packed));
  EXPECT_FALSE(Pack1(&byte, 0x80000000u, &packed));
  EXPECT_FALSE(Pack2(&byte, 0x80000000u, &packed));
  std::vector<uint8_t> out;
  EXPECT_FALSE(EncodeOpcode(CMP1_RUN, 0, &out));
  EXPECT_TRUE(out.empty());
}

TEST_F(Pack, RoundTripsEveryKindAndSize) {
  RoundTrip(FromText("x"), "1 byte");
  for (size_t size : {4095, 4096, 4097}) {
    RoundTrip(TestText(size, 1), "text of " + std::to_string(size));
    RoundTrip(TestRandom(size, 2), "random " + std::to_string(size));
  }
  RoundTrip(TestText(70000, 3), "text past 65,535 bytes");
  RoundTrip(TestMachineCode(70000, 4), "machine code");
  RoundTrip(TestRuns(70000, 5), "runs");
  RoundTrip(TestCountingBytes(70000), "counting bytes");
  RoundTrip(TestCountingWords(70000), "counting words");
  RoundTrip(std::vector<uint8_t>(200000, 0), "zeros");
  std::vector<uint8_t> mixed = TestMachineCode(30000, 6);
  std::vector<uint8_t> tail = TestRandom(30000, 7);
  mixed.insert(mixed.end(), tail.begin(), tail.end());
  RoundTrip(mixed, "code then random");
}

TEST_F(Pack, Method2PassesTheFirstTreeRebuild) {
  // Random bytes are coded as literals, one symbol each: 40,000 symbols.
  std::vector<uint8_t> data = TestRandom(40000, 8);
  std::vector<uint8_t> packed, out(data.size());
  ASSERT_TRUE(Pack2(data.data(), data.size(), &packed));
  EXPECT_EQ(Cmp2Decompress(packed.data(), (int)packed.size(), out.data(), (int)out.size()), 1);
  EXPECT_TRUE(out == data);
}

TEST_F(Pack, Method2BestParseBeatsGreedy) {
  std::vector<uint8_t> greedy, best;
  for (const std::vector<uint8_t> &data : {TestText(60000, 9), TestMachineCode(60000, 10)}) {
    ASSERT_TRUE(Pack2(data.data(), data.size(), &greedy, PACK2_GREEDY));
    ASSERT_TRUE(Pack2(data.data(), data.size(), &best, PACK2_BEST));
    EXPECT_LT(best.size(), greedy.size());
  }
}

TEST_F(Pack, Method1UsesEachOperationWhereItPays) {
  std::vector<uint8_t> packed;
  std::vector<uint8_t> zeros(60000, 0);
  ASSERT_TRUE(Pack1(zeros.data(), zeros.size(), &packed));
  EXPECT_EQ(packed.size(), 8u + 5u + 4u);  // one long Run
  std::vector<uint8_t> bytes = TestCountingBytes(1000);
  ASSERT_TRUE(Pack1(bytes.data(), bytes.size(), &packed));
  EXPECT_LE(packed.size(), 8u + 2u + 5u + 4u);  // a byte, then one Delta
  std::vector<uint8_t> words = TestCountingWords(1000);
  ASSERT_TRUE(Pack1(words.data(), words.size(), &packed));
  EXPECT_LE(packed.size(), 60u);  // DeltaC between carries, DeltaP across them
  std::vector<uint8_t> text = TestText(20000, 11);
  ASSERT_TRUE(Pack1(text.data(), text.size(), &packed));
  EXPECT_LT(packed.size(), text.size() / 2);  // near and far strings
  std::vector<uint8_t> random = TestRandom(20000, 12);
  ASSERT_TRUE(Pack1(random.data(), random.size(), &packed));
  EXPECT_LE(packed.size(), random.size() + 8 + 4 + 4);  // one Unique: never much worse than raw
  // Period 2 and 3 patterns (no String may copy them) become DeltaC.
  std::vector<uint8_t> pattern;
  for (int i = 0; i < 3000; i++) pattern.push_back(i % 2 ? 0x12 : 0x34);
  for (int i = 0; i < 3000; i++) pattern.push_back((uint8_t)"xyz"[i % 3]);
  ASSERT_TRUE(Pack1(pattern.data(), pattern.size(), &packed));
  EXPECT_LE(packed.size(), 40u);
  CheckOperations(packed, "patterns");
}

}  // namespace

// Method-1 decoder: the format's vectors, every operation, the length forms,
// and every bound (input end, output end, before the output start, channel
// count, unknown opcodes), with guard bytes behind the output.
#include <string.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "ffs-cmp1.h"
#include "test-support.h"
#include "vantor-core.h"

namespace {

std::vector<uint8_t> Entry(uint32_t size, std::vector<uint8_t> ops) {
  std::vector<uint8_t> out(CMP1_HEAD_SIZE + ops.size());
  memcpy(out.data(), CMP1_SIGNATURE, 4);
  for (int i = 0; i < 4; i++) out[4 + i] = (uint8_t)(size >> (8 * i));
  std::copy(ops.begin(), ops.end(), out.begin() + CMP1_HEAD_SIZE);
  return out;
}

const std::vector<uint8_t> kEnd = {0x01, 0x00, 0x00, 0x00};

std::vector<uint8_t> Ops(std::vector<uint8_t> ops, bool end = true) {
  if (end) ops.insert(ops.end(), kEnd.begin(), kEnd.end());
  return ops;
}

// Decodes into a zero-filled buffer of size bytes followed by guard bytes.
int Decode(const std::vector<uint8_t> &packed, int size, std::vector<uint8_t> *out) {
  out->assign(size + 8, 0);
  for (int i = size; i < size + 8; i++) (*out)[i] = 0xA5;
  int result = Cmp1Decompress(packed.data(), (int)packed.size(), out->data(), size);
  for (int i = size; i < size + 8; i++) EXPECT_EQ((*out)[i], 0xA5) << "written past the output";
  out->resize(size);
  return result;
}

std::vector<uint8_t> Bytes(std::initializer_list<int> v) {
  std::vector<uint8_t> out;
  for (int b : v) out.push_back((uint8_t)b);
  return out;
}

TEST(Cmp1Decode, FormatVectors) {
  std::vector<uint8_t> out;
  EXPECT_EQ(Decode(Entry(6, Ops({0x30, 'a', 'b', 'c', 0x32, 0x03})), 6, &out), 1);
  EXPECT_EQ(std::string(out.begin(), out.end()), "abcabc");
  EXPECT_EQ(Decode(Entry(5, Ops({0x10, 0x01, 0x44, 0x01})), 5, &out), 1);
  EXPECT_EQ(out, Bytes({1, 2, 3, 4, 5}));
  // The end mark alone leaves the buffer untouched.
  EXPECT_EQ(Decode(Entry(7, kEnd), 7, &out), 1);
  EXPECT_EQ(out, std::vector<uint8_t>(7, 0));
  uint32_t size;
  EXPECT_EQ(Cmp1GetSize(Entry(0x12345, kEnd).data(), &size), 1);
  EXPECT_EQ(size, 0x12345u);
  EXPECT_EQ(Cmp1GetSize(NULL, &size), 0);
}

TEST(Cmp1Decode, LengthForms) {
  uint16_t n;
  EXPECT_EQ(DecodeOpcode(Bytes({0xF1}).data(), &n), 1);
  EXPECT_EQ(n, 15);
  EXPECT_EQ(DecodeOpcode(Bytes({0x01, 0x01}).data(), &n), 2);
  EXPECT_EQ(n, 16);
  EXPECT_EQ(DecodeOpcode(Bytes({0x01, 0xFF}).data(), &n), 2);
  EXPECT_EQ(n, 270);
  EXPECT_EQ(DecodeOpcode(Bytes({0x01, 0x00, 0x0F, 0x01}).data(), &n), 4);
  EXPECT_EQ(n, 271);
  std::vector<uint8_t> out;
  // Runs of 15, 16, 270 and 271 bytes in their forms.
  EXPECT_EQ(Decode(Entry(572, Ops({0xF1, 7, 0x01, 0x01, 8, 0x01, 0xFF, 9, 0x01, 0x00, 0x0F, 0x01, 10})), 572, &out), 1);
  std::vector<uint8_t> expected(15, 7);
  expected.insert(expected.end(), 16, 8);
  expected.insert(expected.end(), 270, 9);
  expected.insert(expected.end(), 271, 10);
  EXPECT_EQ(out, expected);
}

TEST(Cmp1Decode, DeltasWrapAndInterleave) {
  std::vector<uint8_t> out;
  EXPECT_EQ(Decode(Entry(4, Ops({0x10, 0xFE, 0x34, 0x01})), 4, &out), 1);
  EXPECT_EQ(out, Bytes({0xFE, 0xFF, 0x00, 0x01}));
  EXPECT_EQ(Decode(Entry(9, Ops({0x30, 10, 20, 30, 0x65, 3, 1, 2, 3})), 9, &out), 1);
  EXPECT_EQ(out, Bytes({10, 20, 30, 11, 22, 33, 12, 24, 36}));
  EXPECT_EQ(Decode(Entry(4, Ops({0x20, 0xFE, 0x00, 0x36})), 4, &out), 1);
  EXPECT_EQ(out, Bytes({0xFE, 0x00, 0x01, 0x01}));
  EXPECT_EQ(Decode(Entry(4, Ops({0x20, 0x00, 0xFE, 0x37})), 4, &out), 1);
  EXPECT_EQ(out, Bytes({0x00, 0xFE, 0x01, 0x01}));
  EXPECT_EQ(Decode(Entry(4, Ops({0x20, 0x01, 0x01, 0x38})), 4, &out), 1);  // DeltaPX: 0x0101 - 3
  EXPECT_EQ(out, Bytes({0x01, 0x01, 0xFE, 0x00}));
  EXPECT_EQ(Decode(Entry(4, Ops({0x20, 0x01, 0x01, 0x39})), 4, &out), 1);  // DeltaNX
  EXPECT_EQ(out, Bytes({0x01, 0x01, 0x00, 0xFE}));
}

TEST(Cmp1Decode, ByteCopyAndOverlappingStrings) {
  std::vector<uint8_t> ops = {0xF0};
  for (int i = 1; i <= 15; i++) ops.push_back((uint8_t)i);
  ops.insert(ops.end(), {0x10, 16, 0x0A, 0xFA});
  std::vector<uint8_t> out;
  EXPECT_EQ(Decode(Entry(18, Ops(ops)), 18, &out), 1);
  EXPECT_EQ(out[16], 16);  // h = 0 repeats the last byte
  EXPECT_EQ(out[17], 2);   // h = 15 copies the byte 16 back
  // Distance 5 under a length of 23: a repeating pattern, copied forwards.
  EXPECT_EQ(Decode(Entry(28, Ops({0x50, 'a', 'b', 'c', 'd', 'e', 0x02, 0x08, 5})), 28, &out), 1);
  EXPECT_EQ(std::string(out.begin(), out.end()), "abcdeabcdeabcdeabcdeabcdeabc");
  // A far string.
  std::vector<uint8_t> far = {0x00, 0x00, 0x2C, 0x01};  // Unique of 300
  for (int i = 0; i < 300; i++) far.push_back((uint8_t)i);
  far.insert(far.end(), {0x43, 0x2C, 0x01});
  EXPECT_EQ(Decode(Entry(304, Ops(far)), 304, &out), 1);
  EXPECT_EQ(out[300], 0);
  EXPECT_EQ(out[303], 3);
}

TEST(Cmp1Decode, HeadsAndBoundsFail) {
  std::vector<uint8_t> out;
  EXPECT_EQ(Decode(Entry(0, kEnd), 0, &out), 0);                     // S of 0
  EXPECT_EQ(Decode(Entry(0x80000001u, kEnd), 1, &out), 0);           // top bit
  EXPECT_EQ(Decode(Entry(5, kEnd), 6, &out), 0);                     // size differs
  std::vector<uint8_t> tag = Entry(3, kEnd);
  tag[3] = '@';
  EXPECT_EQ(Decode(tag, 3, &out), 0);
  EXPECT_EQ(Cmp1Decompress(Entry(3, kEnd).data(), 7, out.data(), 3), 0);  // head cut
  const std::vector<std::vector<uint8_t>> bad = {
      Ops({0x30, 'a', 'b'}, false),        // Unique past the input
      Ops({0x40, 'a', 'b', 'c', 'd'}),     // Unique past the output (size 3)
      Ops({0x31, 'x', 0x11, 'y'}),         // Run past the output
      Ops({0x10, 'a', 0x22, 2}),           // String before the start
      Ops({0x10, 'a', 0x22, 0}),           // String distance 0
      Ops({0x13, 1}),                      // far String cut
      Ops({0x24, 1}),                      // Delta without output
      Ops({0x10, 'a', 0x25, 2, 1, 1}),     // DeltaC k = 2 after 1 byte
      Ops({0x10, 'a', 0x15, 0}),           // DeltaC of no channels
      Ops({0x20, 1, 2, 0x15, 9}),          // DeltaC of 9 channels
      Ops({0x10, 'a', 0x06}),              // DeltaP after one byte
      Ops({0x10, 'a', 0x1A}),              // ByteCopy 2 back after one byte
      Ops({0x01}, false),                  // length field cut
      Ops({0x01, 0x00, 0x00}, false),      // long length field cut
      Ops({0x10, 'a'}, false),             // no end mark
  };
  for (size_t i = 0; i < bad.size(); i++) EXPECT_EQ(Decode(Entry(3, bad[i]), 3, &out), 0) << "case " << i;
  // ByteCopy or a word delta at the output end.
  EXPECT_EQ(Decode(Entry(2, Ops({0x20, 1, 2, 0x0A})), 2, &out), 0);
  EXPECT_EQ(Decode(Entry(3, Ops({0x20, 1, 2, 0x16})), 3, &out), 0);
}

TEST(Cmp1Decode, UnknownOpcodesAreLogged) {
  std::string log = TestStartLog(DEBUG_FILE);
  std::vector<uint8_t> out;
  for (int opcode = 11; opcode <= 15; opcode++) EXPECT_EQ(Decode(Entry(3, Ops({(uint8_t)(0x10 | opcode)})), 3, &out), 0);
  TestStopLog();
  std::string text = TestReadFile(log);
  for (int opcode = 11; opcode <= 15; opcode++)
    EXPECT_NE(text.find("Unknown Opcode (" + std::to_string(opcode) + ")"), std::string::npos) << text;
}

}  // namespace

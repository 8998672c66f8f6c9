// The method-3 decoder on both targets: fixed streams, the head's limits,
// a stream cut at every offset and with every single bit flipped, and the
// archive reader's size query, load and log line for method-3 entries.
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ffs-cmp3.h"
#include "ffs-test-support.h"
#include "ffs.h"

namespace {

// "abcabcabcabc": three literals, then a match of 9 at distance 3.
const uint8_t kAbc[] = {0x46, 0x46, 0x43, 0x23, 0x0C, 0x00, 0x00, 0x00, 0x5D, 0x00, 0x10, 0x00,
                        0x00, 0x00, 0x30, 0x98, 0x88, 0xA7, 0xEA, 0x25, 0x00, 0x00};

const char kLineText[] =
    "Method three packs this line; method three packs this line again, and once more: method three packs this "
    "line.\n";
const uint8_t kLine[] = {
    0x46, 0x46, 0x43, 0x23, 0x6F, 0x00, 0x00, 0x00, 0x5D, 0x00, 0x10, 0x00, 0x00, 0x00, 0x26, 0x99, 0x4A, 0x86, 0x9A,
    0x6F, 0x0B, 0x6D, 0xDE, 0xD6, 0x97, 0x95, 0xE1, 0xE7, 0x18, 0x63, 0xDF, 0x5F, 0x12, 0xDD, 0xB8, 0x50, 0x80, 0xB2,
    0xBC, 0x35, 0xF3, 0xC1, 0xB6, 0x7C, 0x56, 0x1F, 0xA7, 0x83, 0x1C, 0xB7, 0xB6, 0xD6, 0x1B, 0x86, 0x13, 0x72, 0x84,
    0xD8, 0x23, 0xC0, 0xE5, 0x20, 0x97, 0x16, 0xCB, 0xB3, 0x22, 0xB4, 0x32, 0x0C, 0xF7, 0x05, 0xE9, 0xC4, 0x00};

Bytes Of(const uint8_t *p, size_t n) { return Bytes(p, p + n); }

// Decodes packed (an exact-size copy, so a sanitizer sees any overrun) into
// an exact-size buffer of outputSize bytes.
int Decode(const Bytes &packed, int outputSize, Bytes *out) {
  Bytes input(packed);
  out->assign((size_t)outputSize, 0);
  return Cmp3Decompress(input.data(), (int)input.size(), out->empty() ? NULL : out->data(), outputSize);
}

TEST(Cmp3Decode, FixedStreams) {
  Bytes out;
  ASSERT_EQ(1, Decode(Of(kAbc, sizeof kAbc), 12, &out));
  EXPECT_EQ(Text("abcabcabcabc"), out);
  ASSERT_EQ(1, Decode(Of(kLine, sizeof kLine), (int)strlen(kLineText), &out));
  EXPECT_EQ(Text(kLineText), out);
  uint32_t size = 0;
  EXPECT_EQ(1, Cmp3IsPacked(kLine));
  EXPECT_EQ(1, Cmp3GetSize(kLine, &size));
  EXPECT_EQ(strlen(kLineText), size);
  Cmp3Head head;
  ASSERT_EQ(1, Cmp3ReadHead(kLine, sizeof kLine, &head));
  EXPECT_EQ(3, head.lc);
  EXPECT_EQ(0, head.lp);
  EXPECT_EQ(2, head.pb);
  EXPECT_EQ(4096u, head.dictionary);
}

TEST(Cmp3Decode, HeadOutsideTheLimitsIsRefused) {
  const Bytes good = Of(kAbc, sizeof kAbc);
  Bytes out;
  struct Damage {
    size_t at;
    uint32_t value;  // written little-endian over 4 bytes, or 1 byte at offset 8
    const char *what;
  } damages[] = {
      {0, 0x21434646, "method-1 signature"},  {4, 0, "content size 0"},
      {4, 0x80000000u, "size with top bit"},  {8, 225, "parameters 225"},
      {8, CMP3_PARAMETERS(4, 1, 2), "lc + lp = 5"},
      {9, CMP3_MIN_DICTIONARY - 1, "dictionary below 4 KiB"},
      {9, CMP3_MAX_DICTIONARY + 1, "dictionary above the limit"},
  };
  for (const Damage &d : damages) {
    Bytes bad = good;
    if (d.at == 8) {
      bad[8] = (uint8_t)d.value;
    } else {
      SetLe32(&bad, d.at, d.value);
    }
    Cmp3Head head;
    EXPECT_EQ(0, Cmp3ReadHead(bad.data(), (int)bad.size(), &head)) << d.what;
    EXPECT_EQ(0, Decode(bad, 12, &out)) << d.what;
  }
  // The largest parameters and dictionary the limits allow are accepted.
  Bytes edge = good;
  edge[8] = CMP3_PARAMETERS(4, 0, 4);
  SetLe32(&edge, 9, CMP3_MAX_DICTIONARY);
  Cmp3Head head;
  EXPECT_EQ(1, Cmp3ReadHead(edge.data(), (int)edge.size(), &head));
  // A size that differs from the head's, and a head cut short.
  EXPECT_EQ(0, Decode(good, 11, &out));
  EXPECT_EQ(0, Decode(good, 13, &out));
  EXPECT_EQ(0, Cmp3ReadHead(good.data(), CMP3_HEAD_SIZE - 1, &head));
}

TEST(Cmp3Decode, CutAtEveryOffsetFails) {
  const Bytes whole = Of(kLine, sizeof kLine);
  Bytes out;
  for (size_t cut = 0; cut < whole.size(); cut++) {
    Bytes part(whole.begin(), whole.begin() + cut);
    EXPECT_EQ(0, Decode(part, (int)strlen(kLineText), &out)) << "cut at " << cut;
  }
  // Bytes behind the stream's end are damage too.
  Bytes longer = whole;
  longer.push_back(0);
  EXPECT_EQ(0, Decode(longer, (int)strlen(kLineText), &out));
}

TEST(Cmp3Decode, SingleBitFlipsOfTheStream) {
  // The method has no checksum: a flip may leave a stream that still
  // decodes, to other bytes. Most flips break the stream's end (the code
  // must end at 0 with every byte used) or its distances.
  const Bytes whole = Of(kLine, sizeof kLine);
  Bytes out;
  int flips = 0, found = 0;
  for (size_t at = CMP3_HEAD_SIZE; at < whole.size(); at++)
    for (int bit = 0; bit < 8; bit++) {
      Bytes flipped = whole;
      flipped[at] ^= (uint8_t)(1 << bit);
      flips++;
      if (Decode(flipped, (int)strlen(kLineText), &out) == 0) {
        found++;
      } else {
        EXPECT_NE(Text(kLineText), out) << "bit " << bit << " of byte " << at;
      }
    }
  EXPECT_GT(found, flips * 9 / 10) << found << " of " << flips;
}

class Cmp3Archive : public testing::Test {
 protected:
  void TearDown() override { FfsRemove(); }
  void Mount(const Bytes &entry) {
    Bytes archive = MakeArchive({{0x968D9A34u /* A.TXT */, entry}}, 0);
    WriteTestFile("cmp3-archive.bin", archive);
    ASSERT_EQ(1, FfsInit("cmp3-archive.bin"));
  }
};

TEST_F(Cmp3Archive, SizeQueryAndLoad) {
  Mount(Of(kLine, sizeof kLine));
  Bytes content;
  ASSERT_TRUE(LoadByName("a.txt", &content));
  EXPECT_EQ(Text(kLineText), content);
}

TEST_F(Cmp3Archive, DamagedStreamFailsWithTheUsualLineAndStaysMounted) {
  Bytes damaged = Of(kLine, sizeof kLine);
  damaged[30] ^= 0x10;
  Mount(damaged);
  Bytes content;
  std::string log = LogOf([&] { EXPECT_FALSE(LoadByName("a.txt", &content)); });
  EXPECT_EQ("Failed to decompress file\n", log);
  EXPECT_EQ(1, FfsIsMounted());
}

TEST_F(Cmp3Archive, UnreadableHeadFailsTheSizeQuery) {
  Bytes head = Text("FFC#");
  PutLe32(&head, 0);  // content size 0
  head.resize(16, 0);
  Mount(head);
  Bytes content;
  std::string log = LogOf([&] { EXPECT_FALSE(LoadByName("a.txt", &content)); });
  EXPECT_EQ("Unable to get size from compressed data type 3\n", log);
}

}  // namespace

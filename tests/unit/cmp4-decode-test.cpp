// The method-4 (zstd) decoder on both targets: a fixed frame, a frame cut at
// every offset and with every single bit flipped (the frame's checksum
// catches what the structure does not), skippable frames, the head's
// limits, and the archive reader's load, stream and log lines.
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ffs-cmp4.h"
#include "ffs-test-support.h"
#include "ffs.h"

namespace {

const char kLineText[] =
    "Method four packs this line; method four packs this line again, and once more: method four packs this line.\n";
// zstd -19 of the line: single segment, content size 108, checksum.
const uint8_t kFrame[] = {
    0x28, 0xB5, 0x2F, 0xFD, 0x24, 0x6C, 0xDD, 0x01, 0x00, 0x62, 0x03, 0x0C, 0x11, 0xA0, 0xED, 0xDC, 0x59, 0xA9,
    0xE4, 0xB6, 0x55, 0xA3, 0x77, 0xDD, 0x5C, 0x36, 0xFA, 0x3D, 0x38, 0x02, 0x40, 0x8C, 0x85, 0xED, 0xBE, 0x86,
    0xFB, 0x87, 0xF5, 0x81, 0x97, 0x26, 0xBD, 0x3B, 0x59, 0x5E, 0xED, 0x71, 0x29, 0xF9, 0xC8, 0x8C, 0xBE, 0xC3,
    0xD9, 0xE8, 0xA7, 0x95, 0xDC, 0x12, 0x02, 0x00, 0xAA, 0x62, 0x9A, 0xC0, 0x56, 0x4E, 0xE0, 0x3B, 0x0E, 0x76};

Bytes Entry(const Bytes &frames, uint32_t size, uint32_t window) {
  Bytes entry = Text(CMP4_SIGNATURE);
  PutLe32(&entry, size);
  PutLe32(&entry, window);
  entry.insert(entry.end(), frames.begin(), frames.end());
  return entry;
}

Bytes Line() { return Entry(Bytes(kFrame, kFrame + sizeof kFrame), 108, 108); }

// Decodes packed (an exact-size copy, so a sanitizer sees any overrun) into
// an exact-size buffer of outputSize bytes.
int Decode(const Bytes &packed, int outputSize, Bytes *out) {
  Bytes input(packed);
  out->assign((size_t)outputSize, 0);
  return Cmp4Decompress(input.data(), (int)input.size(), out->data(), outputSize);
}

TEST(Cmp4Decode, FixedFrameAndSkippableFrames) {
  Bytes out;
  ASSERT_EQ(1, Decode(Line(), 108, &out));
  EXPECT_EQ(Text(kLineText), out);
  Cmp4Head head;
  ASSERT_EQ(1, Cmp4ReadHead(Line().data(), (int)Line().size(), &head));
  EXPECT_EQ(108u, head.size);
  uint64_t window = 0;
  EXPECT_EQ(1, Cmp4FrameWindow(kFrame, sizeof kFrame, &window));
  EXPECT_EQ(108u, window);
  // Skippable frames before and after are passed over; the frame twice is
  // the line twice.
  Bytes skip = {0x5A, 0x2A, 0x4D, 0x18, 3, 0, 0, 0, 1, 2, 3};
  Bytes frames = skip;
  frames.insert(frames.end(), kFrame, kFrame + sizeof kFrame);
  frames.insert(frames.end(), kFrame, kFrame + sizeof kFrame);
  frames.insert(frames.end(), skip.begin(), skip.end());
  ASSERT_EQ(1, Decode(Entry(frames, 216, 108), 216, &out));
  EXPECT_EQ(Text(std::string(kLineText) + kLineText), out);
  // Sizes other than the head's, a head beyond the limits, stray bytes.
  EXPECT_EQ(0, Decode(Line(), 107, &out));
  EXPECT_EQ(0, Decode(Entry(Bytes(kFrame, kFrame + sizeof kFrame), 109, 108), 109, &out));
  EXPECT_EQ(0, Cmp4ReadHead(Entry({}, 108, CMP4_MAX_WINDOW + 1).data(), CMP4_HEAD_SIZE, &head));
  EXPECT_EQ(0, Cmp4ReadHead(Entry({}, 108, 0).data(), CMP4_HEAD_SIZE, &head));
  Bytes stray = Line();
  stray.push_back(0);
  EXPECT_EQ(0, Decode(stray, 108, &out));
}

TEST(Cmp4Decode, CutsAndBitFlipsAllFail) {
  const Bytes whole = Line();
  Bytes out;
  for (size_t cut = 0; cut < whole.size(); cut++)
    EXPECT_EQ(0, Decode(Bytes(whole.begin(), whole.begin() + cut), 108, &out)) << "cut at " << cut;
  for (size_t at = CMP4_HEAD_SIZE; at < whole.size(); at++)
    for (int bit = 0; bit < 8; bit++) {
      if (at == CMP4_HEAD_SIZE + 4 && bit == 4) continue;  // the header's unused bit
      Bytes flipped = whole;
      flipped[at] ^= (uint8_t)(1 << bit);
      EXPECT_EQ(0, Decode(flipped, 108, &out)) << "bit " << bit << " of byte " << at;
    }
}

class Cmp4Archive : public testing::Test {
 protected:
  void TearDown() override { FfsRemove(); }
  void Mount(const Bytes &entry) {
    Bytes archive = MakeArchive({{0x968D9A34u /* A.TXT */, entry}}, 0);
    WriteTestFile("cmp4-archive.bin", archive);
    ASSERT_EQ(1, FfsInit("cmp4-archive.bin"));
  }
};

int Append(void *context, const void *data, uint32_t n) {
  Bytes *out = (Bytes *)context;
  out->insert(out->end(), (const uint8_t *)data, (const uint8_t *)data + n);
  return 1;
}

TEST_F(Cmp4Archive, LoadAndStream) {
  Mount(Line());
  Bytes content;
  ASSERT_TRUE(LoadByName("a.txt", &content));
  EXPECT_EQ(Text(kLineText), content);
  Bytes streamed;
  ASSERT_EQ(1, FfsStream("a.txt", 108, Append, &streamed));
  EXPECT_EQ(Text(kLineText), streamed);
}

TEST_F(Cmp4Archive, DamageAndLargeWindowsFailWithALogLine) {
  Bytes damaged = Line();
  damaged[30] ^= 0x10;
  Mount(damaged);
  Bytes content;
  std::string log = LogOf([&] { EXPECT_FALSE(LoadByName("a.txt", &content)); });
  EXPECT_EQ("Failed to decompress file\n", log);
  EXPECT_EQ(1, FfsIsMounted());
  // A frame whose window is larger than the head allows is refused.
  Mount(Entry(Bytes(kFrame, kFrame + sizeof kFrame), 108, 64));
  log = LogOf([&] { EXPECT_FALSE(LoadByName("a.txt", &content)); });
  EXPECT_EQ("FFS: Frame window exceeds 64 bytes\nFailed to decompress file\n", log);
  Bytes head = Text("FFZ#");
  PutLe32(&head, 0);
  head.resize(16, 0);
  Mount(head);
  log = LogOf([&] { EXPECT_FALSE(LoadByName("a.txt", &content)); });
  EXPECT_EQ("Unable to get size from compressed data type 4\n", log);
}

}  // namespace

// The method-4 decoder against frames the zstd command-line tool makes at
// test time: levels, window sizes, with and without checksum or content
// size, several frames, decoded whole and streamed in small input pieces
// through the installer's window; a window above the limit is refused.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ffs-cmp4.h"
#include "ffs-test-support.h"
#include "ffs.h"
#include "test-support.h"

namespace {

// Content with literals of every kind, long and near matches: the sources
// of the decoders, some numbers, and noise.
Bytes Sample() {
  std::string text;
  for (const char *name : {"core/ffs-cmp3.cpp", "core/ffs-cmp4.cpp", "core/ffs.cpp"})
    text += TestReadFile(std::string(VANTOR_SOURCE_DIR) + "/" + name);
  for (int i = 0; i < 60000; i++) text += std::to_string(i * 7919 % 100003) + (i % 9 ? " " : "\n");
  uint32_t x = 1;
  for (int i = 0; i < 1200000; i++) text += (char)((x = x * 1103515245 + 12345) >> 24);
  return Text(text + text.substr(0, 200000));
}

// zstd with options on a file holding content; "<" reads it from a pipe,
// so the frame states no content size.
Bytes Zstd(const Bytes &content, const std::string &options) {
  WriteTestFile("cmp4-in.bin", content);
  std::string command = options[0] == '<' ? "zstd -q -c " + options.substr(1) + " < cmp4-in.bin > cmp4-in.zst"
                                          : "zstd -q -f " + options + " cmp4-in.bin -o cmp4-in.zst";
  if (system(command.c_str()) != 0) return Bytes();
  std::string z = TestReadFile("cmp4-in.zst");
  return Bytes(z.begin(), z.end());
}

Bytes Entry(const Bytes &frames, uint32_t size) {
  uint64_t window = 0;
  EXPECT_EQ(1, Cmp4FrameWindow(frames.data(), (int)frames.size(), &window));
  Bytes entry = Text(CMP4_SIGNATURE);
  PutLe32(&entry, size);
  PutLe32(&entry, window > CMP4_MAX_WINDOW ? CMP4_MAX_WINDOW : (uint32_t)window);
  entry.insert(entry.end(), frames.begin(), frames.end());
  return entry;
}

struct Pieces {
  const Bytes *data;
  size_t at;
};

int ReadPiece(void *context, void *buffer, uint32_t n) {
  Pieces *p = (Pieces *)context;
  memcpy(buffer, p->data->data() + p->at, n);
  p->at += n;
  return 1;
}

int Append(void *context, const void *data, uint32_t n) {
  Bytes *out = (Bytes *)context;
  out->insert(out->end(), (const uint8_t *)data, (const uint8_t *)data + n);
  return 1;
}

// Streams the entry as the installer does, through a window of the head's
// reach and an input buffer of 128 KiB + 3 read in pieces.
int Stream(const Bytes &entry, uint32_t size, Bytes *out) {
  Cmp4Head head;
  if (!Cmp4ReadHead(entry.data(), (int)entry.size(), &head)) return 0;
  Pieces pieces = {&entry, 0};
  Bytes inBuffer(CMP4_BLOCK_MAX + 3);
  FfsInput in = {inBuffer.data(), inBuffer.data(), (uint32_t)entry.size(), inBuffer.data(), (uint32_t)inBuffer.size(),
                 ReadPiece, &pieces};
  uint32_t capacity = FfsWindowCapacity(head.window, size);
  Bytes buffer(capacity);
  FfsWindow window;
  FfsWindowMemory(&window, buffer.data(), capacity);
  window.keep = head.window;
  window.sink = Append;
  window.context = out;
  out->clear();
  return Cmp4Decode(&in, &window, size) && FfsWindowFlush(&window);
}

TEST(Cmp4Zstd, ToolFramesDecodeWholeAndStreamed) {
  const Bytes content = Sample();
  const uint32_t size = (uint32_t)content.size();
  for (const char *options : {"-1", "-3 --no-check", "-19", "-19 --zstd=wlog=10", "-9 --long=23 --no-check",
                              "<-5", "<-12 --no-check -B65536", "--ultra -22"}) {
    SCOPED_TRACE(options);
    Bytes entry = Entry(Zstd(content, options), size);
    ASSERT_GT(entry.size(), (size_t)CMP4_HEAD_SIZE);
    Bytes out(size);
    ASSERT_EQ(1, Cmp4Decompress(entry.data(), (int)entry.size(), out.data(), (int)size));
    EXPECT_TRUE(out == content);
    ASSERT_EQ(1, Stream(entry, size, &out));
    EXPECT_TRUE(out == content);
  }
  // Two frames one after the other, the first without checksum.
  Bytes twice = Zstd(content, "-3 --no-check");
  Bytes second = Zstd(content, "-19");
  twice.insert(twice.end(), second.begin(), second.end());
  Bytes doubled = content;
  doubled.insert(doubled.end(), content.begin(), content.end());
  Bytes out(doubled.size());
  EXPECT_EQ(1, Cmp4Decompress(Entry(twice, (uint32_t)doubled.size()).data(), (int)Entry(twice, 0).size(), out.data(),
                              (int)out.size()));
  EXPECT_TRUE(out == doubled);
}

TEST(Cmp4Zstd, WindowAboveTheLimitIsRefused) {
  Bytes frame = Zstd(Sample(), "<-3 --long=24");
  uint64_t window = 0;
  ASSERT_EQ(1, Cmp4FrameWindow(frame.data(), (int)frame.size(), &window));
  ASSERT_GT(window, (uint64_t)CMP4_MAX_WINDOW);
  Bytes entry = Entry(frame, (uint32_t)Sample().size());
  Bytes out;
  std::string log = LogOf([&] { EXPECT_EQ(0, Stream(entry, (uint32_t)Sample().size(), &out)); });
  EXPECT_EQ("FFS: Frame window exceeds 8388608 bytes\n", log);
}

}  // namespace

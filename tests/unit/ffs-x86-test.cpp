// The branch-call filter for x86 and x64 code: its reverse gives back any
// bytes, whole or streamed in odd pieces; it leaves data without calls as
// it is; real programs and libraries are found, pack smaller behind it and
// come back byte for byte through the installer's reader, alone and in a
// solid block; a tag in front of anything but method 3 or 4 is refused.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive-writer.h"
#include "ffs-messages.h"
#include "ffs-test-support.h"
#include "ffs-x86.h"
#include "ffs.h"
#include "pack-x86.h"

namespace {

Bytes Filtered(const Bytes &data) {
  Bytes out;
  PackX86Filter(data.data(), data.size(), &out);
  return out;
}

int Gather(void *context, const void *data, uint32_t n) {
  Bytes *out = (Bytes *)context;
  out->insert(out->end(), (const uint8_t *)data, (const uint8_t *)data + n);
  return 1;
}

// The reverse as the installer streams it, in pieces of piece bytes.
Bytes Reversed(const Bytes &filtered, size_t piece) {
  Bytes out;
  static FfsX86Sink sink;  // 16 KiB: not on the stack
  FfsX86SinkStart(&sink, (uint32_t)filtered.size(), Gather, &out);
  for (size_t at = 0; at < filtered.size(); at += piece) {
    size_t n = filtered.size() - at < piece ? filtered.size() - at : piece;
    if (!FfsX86Put(&sink, filtered.data() + at, (uint32_t)n)) return Bytes();
  }
  return out;
}

// Bytes where E8, E9, 00 and FF are frequent, so every rule is met often.
Bytes Dense(size_t size, uint32_t seed) {
  static const uint8_t pick[] = {0xE8, 0xE9, 0x00, 0xFF, 0xE8, 0x00, 0x12, 0xFE};
  Bytes b(size);
  for (size_t i = 0; i < size; i++) {
    seed = seed * 1103515245u + 12345u;
    b[i] = (seed >> 31) ? pick[(seed >> 16) & 7] : (uint8_t)(seed >> 20);
  }
  return b;
}

Bytes ReadPrefix(const std::string &path, size_t most) {
  Bytes b(most);
  FILE *f = fopen(path.c_str(), "rb");
  if (f == NULL) return Bytes();
  b.resize(fread(b.data(), 1, most, f));
  fclose(f);
  return b;
}

// Programs and libraries every machine of the kind has: the test program
// itself and the C library, or a system library under Windows.
std::vector<Bytes> RealCode() {
#ifdef _WIN32
  const char *paths[] = {"C:\\windows\\system32\\kernel32.dll", "C:\\windows\\system32\\user32.dll"};
#else
  const char *paths[] = {"/proc/self/exe", "/usr/lib/x86_64-linux-gnu/libc.so.6"};
#endif
  std::vector<Bytes> found;
  for (const char *path : paths) {
    Bytes b = ReadPrefix(path, 512 << 10);
    if (b.size() > 100000) found.push_back(b);
  }
  return found;
}

}  // namespace

TEST(BranchFilter, ReverseGivesBackAnyBytesWholeAndInOddPieces) {
  // A call at 0 to the instruction after it becomes absolute 5; one back to
  // position 0 becomes 0; a 4-byte tail is never converted.
  Bytes calls = {0xE8, 0x00, 0x00, 0x00, 0x00, 0xE9, 0xF6, 0xFF, 0xFF, 0xFF, 0xE8, 0x01, 0x02, 0x00};
  Bytes expected = {0xE8, 0x05, 0x00, 0x00, 0x00, 0xE9, 0x00, 0x00, 0x00, 0x00, 0xE8, 0x01, 0x02, 0x00};
  EXPECT_EQ(Filtered(calls), expected);
  for (size_t size : {0, 1, 4, 5, 6, 9, 10, 17, 100, 70001}) {
    for (uint32_t seed : {1u, 2u, 3u}) {
      Bytes data = Dense(size, seed);
      Bytes filtered = Filtered(data);
      if (size > 10000) {
        EXPECT_NE(filtered, data) << size;
      }
      for (size_t piece : {1, 3, 4, 5, 7, 4099, 70001})
        ASSERT_EQ(Reversed(filtered, piece), data) << size << " bytes in pieces of " << piece;
      // The filter streamed in pieces as well decides as over the whole.
      Bytes again(data);
      FfsX86 f;
      FfsX86Start(&f);
      size_t at = 0;
      for (size_t end = 0; end < size;) {
        end = end + 7 < size ? end + 7 : size;
        at += FfsX86Convert(&f, again.data() + at, (uint32_t)(end - at), 1);
      }
      EXPECT_EQ(again, filtered) << size;
    }
  }
}

TEST(BranchFilter, LeavesDataWithoutCallsAsItIs) {
  std::string text = "Plain text has no E8 or E9 bytes: " + std::string(5000, 'x') + " and ends here.";
  Bytes plain = Text(text);
  EXPECT_EQ(Filtered(plain), plain);
  // Operands whose top byte is neither 00 nor FF, and calls within 3 bytes
  // of one left as it was, stay as they are.
  Bytes kept = {0xE8, 0x11, 0x22, 0x33, 0x44, 0x90, 0xE8, 0x01, 0xE8, 0x00, 0x55, 0x00, 0x00, 0x90};
  EXPECT_EQ(Filtered(kept), kept);
  EXPECT_FALSE(PackX86IsCode(plain.data(), plain.size()));
  Bytes arm(64, 0);
  memcpy(arm.data(), "\x7F" "ELF\x02\x01", 6);
  arm[18] = 40;  // an ARM program
  EXPECT_FALSE(PackX86IsCode(arm.data(), arm.size()));
  arm[18] = 62;
  EXPECT_TRUE(PackX86IsCode(arm.data(), arm.size()));
  Bytes dos(128, 0);
  memcpy(dos.data(), "MZ", 2);  // a DOS program without a PE header
  EXPECT_FALSE(PackX86IsCode(dos.data(), dos.size()));
  // The tag in front of a method-1 entry is refused with its log line.
  Bytes bad = Text(FFS_X86_TAG "FFC!");
  PutLe32(&bad, 10);
  PutLe32(&bad, 0);
  WriteTestFile("ffs-x86-bad.bin", MakeArchive({{ArchiveHashName("A"), bad}}, FFS_TURBO));
  uint32_t size = 0;
  std::string log = LogOf([&] {
    ASSERT_EQ(1, FfsInit("ffs-x86-bad.bin"));
    EXPECT_EQ(0, FfsGetSize("A", &size));
    FfsRemove();
  });
  EXPECT_NE(log.find(FFS_LOG_FILTERED), std::string::npos) << log;
}

TEST(BranchFilter, RealProgramsPackSmallerAndLoadBackThroughTheReader) {
  std::vector<Bytes> code = RealCode();
  ASSERT_FALSE(code.empty());
  for (const Bytes &program : code) {
    EXPECT_TRUE(PackX86IsCode(program.data(), program.size()));
    Bytes filtered = Filtered(program);
    EXPECT_NE(filtered, program);
    EXPECT_EQ(Reversed(filtered, 65537), program);
  }
  ArchiveMethod method = Pack4Available() ? ARCHIVE_METHOD4 : Pack3Available() ? ARCHIVE_METHOD3 : ARCHIVE_AUTO;
  if (method == ARCHIVE_AUTO) return;  // the builder here has neither packer
  Bytes notes = Text(std::string(30000, 'n') + " notes");
  std::vector<ArchiveInput> inputs;
  for (size_t i = 0; i < code.size(); i++) {
    inputs.emplace_back();
    inputs.back().name = "prog" + std::to_string(i);
    inputs.back().content = code[i];
    inputs.back().method = method;
    // A second copy of each program's start and the notes join a block.
    inputs.emplace_back();
    inputs.back().name = "small" + std::to_string(i);
    inputs.back().content.assign(code[i].begin(), code[i].begin() + 100000);
    inputs.back().method = method;
  }
  inputs.push_back({"notes.txt", "", notes, method});
  for (bool solid : {false, true}) {
    SCOPED_TRACE(solid ? "solid" : "alone");
    ArchiveWriter plain, writer;
    plain.SetBranchFilter(false);
    std::string error;
    size_t failed;
    for (ArchiveWriter *w : {&plain, &writer}) {
      w->SetSolid(solid);
      ASSERT_TRUE(w->AddAll(inputs, 2, &error, &failed)) << error;
    }
    size_t plainBytes = 0, bytes = 0;
    bool programFiltered = false;  // which programs gain depends on how they were built (a sanitizer's differ)
    for (const ArchiveEntry &e : plain.Entries()) plainBytes += e.data.size();
    for (const ArchiveEntry &e : writer.Entries()) {
      bytes += e.data.size();
      if (e.name == "notes.txt") {
        EXPECT_FALSE(e.filtered);
      }
      if (solid ? e.name == "<solid 1>" : e.name.compare(0, 4, "prog") == 0) programFiltered |= e.filtered;
    }
    EXPECT_TRUE(programFiltered);
    EXPECT_LT(bytes, plainBytes);
    EXPECT_EQ(plain.Flags() & FFS_FLAG_X86, 0u);
    EXPECT_EQ(writer.Flags() & FFS_FLAG_X86, (uint32_t)FFS_FLAG_X86);
    Bytes archive;
    ASSERT_TRUE(writer.Write(0, false, &archive, &error)) << error;
    WriteTestFile("ffs-x86.bin", archive);
    ASSERT_EQ(1, FfsInit("ffs-x86.bin"));
    for (const ArchiveInput &in : inputs) {
      Bytes loaded, streamed;
      EXPECT_TRUE(LoadByName(in.name, &loaded) && loaded == in.content) << in.name;
      EXPECT_EQ(1, FfsStream(in.name.c_str(), (uint32_t)in.content.size(), Gather, &streamed)) << in.name;
      EXPECT_TRUE(streamed == in.content) << in.name;
    }
    FfsRemove();
  }
}

// Damaged archives: an installer and a standalone archive cut at every
// offset of their header and directory and at many offsets of their
// records, and with single bits flipped. Every mount, size query and load
// must either succeed or fail with one of the reader's own lines, never
// crash, and leave no block allocated after the unmount.
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive-writer.h"
#include "ffs-cmp1.h"
#include "ffs-messages.h"
#include "ffs-test-support.h"
#include "ffs.h"
#include "vantor-core.h"

namespace {

const char *const kNames[] = {"install.dat", "readme.txt", "bin\\setup.dll", "data\\zeros.bin", "tiny"};

struct Sample {
  Bytes installer;   // stub + archive + trailer
  Bytes standalone;  // the archive alone
  size_t stubSize;
  size_t recordsAt;  // where the records begin in the archive
};

const Sample &TheSample() {
  static Sample sample;
  if (!sample.installer.empty()) return sample;
  ArchiveWriter writer;
  std::string error;
  std::string text;
  for (int i = 0; i < 12; i++) text += "Line " + std::to_string(i) + " of the readme, with repeats.\n";
  Bytes zeros(600, 0);
  Bytes dll;
  for (int i = 0; i < 300; i++) dll.push_back((uint8_t)(i * 7 + (i >> 3)));
  writer.Add(kNames[0], Text("TITLE Test\nBREAK\nINSTALL readme.txt\n"), ARCHIVE_AUTO, &error);
  writer.Add(kNames[1], Text(text), ARCHIVE_METHOD1, &error);
  writer.Add(kNames[2], dll, ARCHIVE_RAW, &error);
  writer.Add(kNames[3], zeros, ARCHIVE_METHOD2, &error);
  writer.Add(kNames[4], Text("xy"), ARCHIVE_RAW, &error);
  Bytes stub = Text("MZ a stub of some length, standing in for the program");
  sample.stubSize = stub.size();
  ArchiveWriteInstaller(stub, writer, &sample.installer, &error);
  writer.Write(0, false, &sample.standalone, &error);
  sample.recordsAt = FFS_HEADER_SIZE + FFS_DIR_ENTRY_SIZE * writer.Count();
  return sample;
}

// A line the reader logs for a damaged file: it begins with the text one of
// its formats has before the first value.
bool KnownLine(const std::string &line) {
  static const char *const formats[] = {
      FFS_LOG_MOUNTED, FFS_LOG_REMOVED, FFS_LOG_NO_FILE, FFS_LOG_NO_DATA, FFS_LOG_NO_TAG, FFS_LOG_COUNT_CHECK,
      FFS_LOG_EMPTY, FFS_LOG_DIRECTORY, FFS_LOG_POSITION, FFS_LOG_RECORD_LENGTH, FFS_LOG_PEEK, FFS_LOG_PACKED_SIZE,
      FFS_LOG_RAW_SIZE, FFS_LOG_PACKED_CONTENT, FFS_LOG_UNPACK, CMP1_LOG_OPCODE};
  for (const char *f : formats) {
    size_t n = strcspn(f, "%\n");
    if (line.compare(0, n, f, n) == 0) return true;
  }
  return false;
}

// Mounts the damaged file, queries and loads every entry, unmounts; checks
// the log and the allocator. Returns how many entries loaded.
int Exercise(const Bytes &file, const std::string &what) {
  WriteTestFile("ffs-damaged.bin", file);
  FfsRemove();  // the decoders' state too, for a clean baseline
  MemoryCounters before, after;
  MemoryGetCounters(&before);
  int loaded = 0;
  std::string log = LogOf([&] {
    if (FfsInit("ffs-damaged.bin")) {
      for (const char *name : kNames) {
        // A damaged packed head may announce up to 2 GiB; the reader hands
        // that on, and allocating it is the consumer's affair, so such
        // entries are only queried here.
        std::string copy = name;
        uint32_t size = 0;
        if (!FfsGetSize(&copy[0], &size) || size > (1u << 20)) continue;
        Bytes content(size);
        copy = name;
        if (FfsLoad(&copy[0], content.data(), size)) loaded++;
      }
      EXPECT_EQ(1, FfsIsMounted()) << what;
    }
    FfsRemove();
  });
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find('\n', start);
    std::string line = log.substr(start, end - start);
    EXPECT_TRUE(KnownLine(line)) << what << ": " << line;
    start = end == std::string::npos ? log.size() : end + 1;
  }
  MemoryGetCounters(&after);
  EXPECT_EQ(before.count, after.count) << what;
  EXPECT_EQ(before.bytes, after.bytes) << what;
  return loaded;
}

TEST(FfsRobust, IntactSampleLoadsEverything) {
  EXPECT_EQ(5, Exercise(TheSample().installer, "installer"));
  EXPECT_EQ(5, Exercise(TheSample().standalone, "standalone"));
}

TEST(FfsRobust, TruncatedAtEveryOffset) {
  const Sample &s = TheSample();
  for (const Bytes *whole : {&s.installer, &s.standalone}) {
    size_t base = whole == &s.installer ? s.stubSize : 0;
    for (size_t cut = 0; cut < whole->size(); cut++) {
      bool inHead = cut <= base + s.recordsAt + 8;
      if (!inHead && cut % 5 != 0) continue;
      Bytes file(whole->begin(), whole->begin() + cut);
      int loaded = Exercise(file, "cut at " + std::to_string(cut));
      // A standalone archive cut inside its records still serves the entries
      // that lie wholly before the cut.
      if (whole == &s.installer) {
        EXPECT_EQ(0, loaded) << cut;
      }
    }
  }
}

TEST(FfsRobust, SingleBitFlips) {
  const Sample &s = TheSample();
  for (const Bytes *whole : {&s.installer, &s.standalone}) {
    size_t base = whole == &s.installer ? s.stubSize : 0;
    for (size_t at = base; at < whole->size(); at++) {
      bool inHead = at < base + s.recordsAt;
      for (int bit = 0; bit < 8; bit++) {
        // Every bit of the header and directory; one bit of every third
        // byte elsewhere.
        if (!inHead && (at % 3 != 0 || bit != (int)(at / 3 % 8))) continue;
        Bytes file = *whole;
        file[at] ^= (uint8_t)(1 << bit);
        Exercise(file, "bit " + std::to_string(bit) + " of byte " + std::to_string(at));
      }
    }
  }
}

}  // namespace

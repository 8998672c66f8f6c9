// The archive reader: locating the archive, the header checks, the
// directory search, Turbo, size queries and loads, every failure line, and
// the plain-file mode.
#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include <string>

#include <gtest/gtest.h>

#include "archive-writer.h"
#include "ffs-cmp1.h"
#include "ffs-cmp2.h"
#include "ffs-test-support.h"
#include "ffs.h"
#include "test-support.h"
#include "vantor-core.h"

namespace {

const uint32_t kHashATxt = 0x968D9A34;

uint32_t Hash(const char *upper) { return Crc32(upper, (int)strlen(upper)); }

// Mounts for the scope of a test; the log of the mount is kept.
struct Mounted {
  explicit Mounted(const std::string &path) {
    log = LogOf([&] { ok = FfsInit(path.c_str()); });
  }
  ~Mounted() { FfsRemove(); }
  int ok = 0;
  std::string log;
};

std::string MountLog(const Bytes &file) {
  std::string path = WriteTestFile("ffs-mount.bin", file);
  Mounted m(path);
  EXPECT_EQ(0, m.ok);
  EXPECT_EQ(0, FfsIsMounted());
  return m.log;
}

int GetSize(const char *name, uint32_t *size) {
  std::string copy = name;
  return FfsGetSize(&copy[0], size);
}

int Load(const char *name, void *buffer, uint32_t size) {
  std::string copy = name;
  return FfsLoad(&copy[0], buffer, size);
}

TEST(FfsReader, StandaloneVectorQueriesAndLoads) {
  ASSERT_EQ(48u, Vector48().size());
  Mounted m(WriteTestFile("ffs-48.bin", Vector48()));
  ASSERT_EQ(1, m.ok);
  EXPECT_EQ("Flat/Fast File System Initialized...\n", m.log);
  EXPECT_EQ(kHashATxt, Hash("A.TXT"));
  char name[] = "a.txt";
  uint32_t size = 0;
  ASSERT_EQ(1, FfsGetSize(name, &size));
  EXPECT_STREQ("a.txt", name);  // found in any case, left as it is
  EXPECT_EQ(16u, size);
  char buffer[16];
  char again[] = "A.txt";
  ASSERT_EQ(1, FfsLoad(again, buffer, 16));
  EXPECT_STREQ("A.txt", again);
  EXPECT_EQ(0, memcmp(buffer, "0123456789ABCDEF", 16));
}

TEST(FfsReader, InstallDatHashesAndMatchesInAnyCase) {
  EXPECT_EQ(0x69BD3630u, Hash("INSTALL.DAT"));
  EXPECT_EQ(0x69BD3630u, ArchiveHashName("install.dat"));
  Mounted m(WriteTestFile("ffs-dat.bin", MakeArchive({{0x69BD3630u, Text("script text 1234")}}, 0)));
  ASSERT_EQ(1, m.ok);
  uint32_t size = 0;
  EXPECT_EQ(1, GetSize("install.dat", &size));
  EXPECT_EQ(1, GetSize("Install.Dat", &size));
  EXPECT_EQ(1, GetSize("INSTALL.DAT", &size));
  EXPECT_EQ(16u, size);

}

// Only ASCII letters fold: a Latin-1 letter keeps its byte.
TEST(FfsReader, OnlyAsciiLettersMatchInAnyCase) {
  Mounted m(WriteTestFile("ffs-latin.bin", MakeArchive({{Hash("\xe9T\xe9.TXT"), Text("latin text 12345")}}, 0)));
  ASSERT_EQ(1, m.ok);
  uint32_t size = 0;
  EXPECT_EQ(1, GetSize("\xe9t\xe9.txt", &size));
  EXPECT_EQ(0, GetSize("\xc9T\xc9.TXT", &size));
}

TEST(FfsReader, InstallerWithTrailerAndDataCutShort) {
  // A stub, the archive at offset 5, and the trailer.
  Bytes file = Text("MZstb");
  Bytes archive = MakeArchive({{kHashATxt, Text("0123456789ABCDEF")}}, 0, 5);
  file.insert(file.end(), archive.begin(), archive.end());
  PutLe32(&file, 5);
  {
    Mounted m(WriteTestFile("ffs-inst.bin", file));
    ASSERT_EQ(1, m.ok);
    Bytes content;
    ASSERT_TRUE(LoadByName("a.txt", &content));
    EXPECT_EQ(Text("0123456789ABCDEF"), content);
  }
  // Fewer than 16 data bytes before the end of the file: the size query's
  // peek fails, though the load of the right size still works.
  Mounted m(WriteTestFile("ffs-short.bin", MakeArchive({{kHashATxt, Text("0123456789")}}, 0)));
  ASSERT_EQ(1, m.ok);
  uint32_t size = 99;
  std::string log = LogOf([&] { EXPECT_EQ(0, GetSize("a.txt", &size)); });
  EXPECT_EQ("Unable to peek into compressed data\n", log);
  EXPECT_EQ(99u, size);
  char buffer[10];
  EXPECT_EQ(1, Load("a.txt", buffer, 10));
  EXPECT_EQ(0, memcmp(buffer, "0123456789", 10));
}

TEST(FfsReader, MountFailuresLogOneLine) {
  EXPECT_EQ("Couldn't open flat file 'ffs-missing.bin'!\n", LogOf([] { EXPECT_EQ(0, FfsInit("ffs-missing.bin")); }));
  FfsRemove();
  // No tag, trailer 0; trailer equal to or beyond the file size; a file too
  // short for a trailer.
  Bytes plain = Text("just some bytes!");
  SetLe32(&plain, 12, 0);
  EXPECT_EQ("File 'ffs-mount.bin' doesn't contain FFS data!\n", MountLog(plain));
  SetLe32(&plain, 12, 16);
  EXPECT_EQ("File 'ffs-mount.bin' doesn't contain FFS data!\n", MountLog(plain));
  SetLe32(&plain, 12, 0xFFFFFFFF);
  EXPECT_EQ("File 'ffs-mount.bin' doesn't contain FFS data!\n", MountLog(plain));
  EXPECT_EQ("File 'ffs-mount.bin' doesn't contain FFS data!\n", MountLog(Text("FF")));
  EXPECT_EQ("File 'ffs-mount.bin' doesn't contain FFS data!\n", MountLog(Bytes()));
  // Trailer pointing at other bytes: the offset and the file size minus 4.
  SetLe32(&plain, 12, 3);
  EXPECT_EQ("FFS Does not contain proper tag (Read 3 from 12)!!!\n", MountLog(plain));
  // Count and check disagree (for 7 entries the check would be 0xFFFFFFF8).
  Bytes bad = MakeArchive({{1, Text("0123456789ABCDEF")}}, 0);
  SetLe32(&bad, 4, 7);
  SetLe32(&bad, 8, 0xFFFFFFF9);
  EXPECT_EQ("FFS: CMatch Fail 7 != 6\n", MountLog(bad));
  // A header cut short reads as zeros.
  EXPECT_EQ("FFS: CMatch Fail 0 != -1\n", MountLog(Text("FFS!")));
}

TEST(FfsReader, DirectoryThatCannotFitFailsTheMount) {
  // Count 0 passes the check but leaves nothing to search.
  Bytes empty = Text("FFS!");
  PutLe32(&empty, 0);
  PutLe32(&empty, 0xFFFFFFFF);
  PutLe32(&empty, 0);
  EXPECT_EQ("FFS: Empty directory in 'ffs-mount.bin'!\n", MountLog(empty));
  // A count whose directory is larger than the file, or whose size in bytes
  // overflows 32 bits.
  for (uint32_t n : {5u, 1000000u, 0x20000000u, 0xFFFFFFFEu}) {
    Bytes bad = MakeArchive({{1, Text("0123456789ABCDEF")}}, 0);
    SetLe32(&bad, 4, n);
    SetLe32(&bad, 8, ~n);
    EXPECT_EQ("FFS: Directory of " + std::to_string(n) + " entries doesn't fit in 'ffs-mount.bin'!\n",
              MountLog(bad));
  }
  MemoryCounters counters;
  MemoryGetCounters(&counters);
  EXPECT_EQ(0, counters.count);
}

TEST(FfsReader, EntryFailures) {
  uint32_t hb = Hash("B"), hc = Hash("C"), hd = Hash("D"), he = Hash("E");
  std::vector<RawRecord> records = {{hb, Text("0123456789ABCDEF")},
                                    {hc, Text("0123456789ABCDEF")},
                                    {hd, Bytes()},
                                    {he, Text("0123456789ABCDEF")}};
  std::sort(records.begin(), records.end(), [](const RawRecord &a, const RawRecord &b) { return a.hash < b.hash; });
  Bytes file = MakeArchive(records, 0);
  // C's record carries another hash; E's stored length reaches past the file.
  size_t c = 16 + 32, e = 16 + 32;
  for (const RawRecord &r : records) {
    if (r.hash == hc) break;
    c += 8 + r.data.size();
  }
  for (const RawRecord &r : records) {
    if (r.hash == he) break;
    e += 8 + r.data.size();
  }
  SetLe32(&file, c, 0x12345678);
  SetLe32(&file, e + 4, 0x7FFFFFFF);
  file.insert(file.end(), 16, 0);
  Mounted m(WriteTestFile("ffs-entries.bin", file));
  ASSERT_EQ(1, m.ok);
  uint32_t size = 0;
  char buffer[17];
  EXPECT_EQ("", LogOf([&] { EXPECT_EQ(0, GetSize("missing", &size)); }));
  EXPECT_EQ("", LogOf([&] { EXPECT_EQ(0, GetSize("d", &size)); }));  // L = 0 counts as absent
  char expected[64];
  snprintf(expected, sizeof expected, "FFS: Pos Fail %x != 12345678\n", (unsigned)hc);
  EXPECT_EQ(expected, LogOf([&] { EXPECT_EQ(0, GetSize("c", &size)); }));
  EXPECT_EQ(expected, LogOf([&] { EXPECT_EQ(0, Load("c", buffer, 16)); }));
  snprintf(expected, sizeof expected, "FFS: Record %x length 2147483647 exceeds the file (%u)\n", (unsigned)he,
           (unsigned)file.size());
  EXPECT_EQ(expected, LogOf([&] { EXPECT_EQ(0, Load("e", buffer, 16)); }));
  // A wrong size for a raw entry, then the right one: the mount survives.
  EXPECT_EQ("Incompatible sizes (16 != 17)\n", LogOf([&] { EXPECT_EQ(0, Load("b", buffer, 17)); }));
  EXPECT_EQ("Incompatible sizes (16 != 15)\n", LogOf([&] { EXPECT_EQ(0, Load("b", buffer, 15)); }));
  EXPECT_EQ(1, Load("b", buffer, 16));
  EXPECT_EQ(1, FfsIsMounted());
}

TEST(FfsReader, RecordOffsetOutsideTheFile) {
  // No hash can be read there, so the record fails its hash check; an
  // offset beyond the reach of signed 32-bit seeks too.
  for (uint32_t offset : {48u, 0x7FFFFF00u, 0x80000010u, 0xFFFFFFF0u}) {
    Bytes file = MakeArchive({{kHashATxt, Text("0123456789ABCDEF")}}, 0);
    SetLe32(&file, 20, offset);
    Mounted m(WriteTestFile("ffs-offset.bin", file));
    ASSERT_EQ(1, m.ok);
    uint32_t size = 7;
    char buffer[16];
    char expected[80];
    snprintf(expected, sizeof expected, "FFS: Pos Fail %x != 0\n", (unsigned)kHashATxt);
    EXPECT_EQ(expected, LogOf([&] { EXPECT_EQ(0, GetSize("a.txt", &size)); })) << offset;
    EXPECT_EQ(expected, LogOf([&] { EXPECT_EQ(0, Load("a.txt", buffer, 16)); })) << offset;
    EXPECT_EQ(7u, size);
  }
  // A record whose hash is the last thing in the file has no stored length:
  // the entry counts as absent.
  Bytes file = MakeArchive({{kHashATxt, Text("0123456789ABCDEF")}}, 0);
  SetLe32(&file, 20, 44);
  SetLe32(&file, 44, kHashATxt);
  Mounted m(WriteTestFile("ffs-offset.bin", file));
  ASSERT_EQ(1, m.ok);
  uint32_t size;
  EXPECT_EQ("", LogOf([&] { EXPECT_EQ(0, GetSize("a.txt", &size)); }));
}

TEST(FfsReader, PackedEntryFailures) {
  // Sound heads for 5 bytes (the method-1 stream then has an unknown
  // opcode), and heads cut short.
  Bytes m1 = Text("FFC!");
  PutLe32(&m1, 5);
  m1.push_back(0x0B);
  m1.insert(m1.end(), 8, 0);
  Bytes m2 = Text("FFC@");
  PutLe32(&m2, ~5u);
  m2.insert(m2.end(), 9, 0);
  std::vector<RawRecord> records = {{Hash("M1"), m1}, {Hash("M2"), m2}, {Hash("S1"), Text("FFC!ab")},
                                    {Hash("S2"), Text("FFC@ab")}};
  std::sort(records.begin(), records.end(), [](const RawRecord &a, const RawRecord &b) { return a.hash < b.hash; });
  Bytes file = MakeArchive(records, 0);
  file.insert(file.end(), 16, 0);
  Mounted m(WriteTestFile("ffs-packed.bin", file));
  ASSERT_EQ(1, m.ok);
  uint32_t size = 0;
  char buffer[8];
  EXPECT_EQ(1, GetSize("m1", &size));
  EXPECT_EQ(5u, size);
  EXPECT_EQ(1, GetSize("m2", &size));
  EXPECT_EQ(5u, size);
  EXPECT_EQ("Memory size not the same for compressed (5 != 6)\n", LogOf([&] { EXPECT_EQ(0, Load("m1", buffer, 6)); }));
  EXPECT_EQ("Memory size not the same for compressed (5 != 4)\n", LogOf([&] { EXPECT_EQ(0, Load("m2", buffer, 4)); }));
  EXPECT_EQ("Unknown Opcode (11)\nFailed to decompress file\n", LogOf([&] { EXPECT_EQ(0, Load("m1", buffer, 5)); }));
  EXPECT_EQ("Unable to get size from compressed data type 1\n", LogOf([&] { EXPECT_EQ(0, GetSize("s1", &size)); }));
  EXPECT_EQ("Unable to get size from compressed data type 2\n", LogOf([&] { EXPECT_EQ(0, Load("s2", buffer, 6)); }));
}

TEST(FfsReader, ImpossiblePackedSizeFailsTheQuery) {
  // A damaged head must not hand a consumer a size it cannot allocate.
  Bytes m1 = Text("FFC!");
  PutLe32(&m1, 0x80000000u);
  m1.insert(m1.end(), 8, 0);
  Bytes m2 = Text("FFC@");
  PutLe32(&m2, ~0u);  // content size 0
  m2.insert(m2.end(), 8, 0);
  std::vector<RawRecord> records = {{Hash("M1"), m1}, {Hash("M2"), m2}};
  if (records[0].hash > records[1].hash) std::swap(records[0], records[1]);
  Mounted m(WriteTestFile("ffs-huge.bin", MakeArchive(records, 0)));
  ASSERT_EQ(1, m.ok);
  uint32_t size = 0;
  EXPECT_EQ("Unable to get size from compressed data type 1\n", LogOf([&] { EXPECT_EQ(0, GetSize("m1", &size)); }));
  EXPECT_EQ("Unable to get size from compressed data type 2\n", LogOf([&] { EXPECT_EQ(0, GetSize("m2", &size)); }));
}

// Three raw entries written in directory order with the Turbo flag.
Bytes TurboArchive(uint32_t flags) {
  std::vector<RawRecord> records;
  for (const char *n : {"ONE", "TWO", "THREE"}) records.push_back({Hash(n), Text(std::string(n) + " 0123456789abcdef")});
  std::sort(records.begin(), records.end(), [](const RawRecord &a, const RawRecord &b) { return a.hash < b.hash; });
  return MakeArchive(records, flags);
}

std::vector<std::string> StoredOrder() {
  std::vector<std::string> names = {"one", "two", "three"};
  std::sort(names.begin(), names.end(), [](const std::string &a, const std::string &b) {
    return ArchiveHashName(a) < ArchiveHashName(b);
  });
  return names;
}

TEST(FfsReader, TurboStaysOnForLoadsInStoredOrder) {
  Mounted m(WriteTestFile("ffs-turbo.bin", TurboArchive(FFS_TURBO | 6)));
  ASSERT_EQ(1, m.ok);
  for (const std::string &n : StoredOrder()) {
    std::string upper = n;
    for (char &ch : upper) ch = (char)toupper(ch);
    Bytes content(upper.size() + 17);
    ASSERT_EQ(1, Load(n.c_str(), content.data(), (uint32_t)content.size())) << n;
    EXPECT_EQ(Text(upper + " 0123456789abcdef"), content);
    EXPECT_EQ((uint32_t)(FFS_TURBO | 6), FfsFlags());
  }
  // Out of order the probe misses: Turbo goes off for good, the directory
  // finds the entry.
  Bytes content(20);
  ASSERT_EQ(1, Load(StoredOrder()[0].c_str(), content.data(), 20));
  EXPECT_EQ(6u, FfsFlags());
}

TEST(FfsReader, SizeQueriesThenLoadsInStoredOrderKeepTurbo) {
  // A load after the size query of the same name goes on where the query
  // left the file, so size query and load in stored order keep Turbo on.
  Mounted m(WriteTestFile("ffs-turbo.bin", TurboArchive(FFS_TURBO)));
  ASSERT_EQ(1, m.ok);
  Bytes content;
  for (const std::string &n : StoredOrder()) {
    ASSERT_TRUE(LoadByName(n, &content)) << n;
    EXPECT_EQ((uint32_t)FFS_TURBO, FfsFlags() & FFS_TURBO) << n;
  }
  // Out of order Turbo goes off; from then on every entry is found through
  // the directory, with or without a size query before it.
  std::string first = StoredOrder()[0];
  EXPECT_TRUE(LoadByName(first, &content));
  EXPECT_EQ(0u, FfsFlags() & FFS_TURBO);
  for (const std::string &n : StoredOrder()) EXPECT_TRUE(LoadByName(n, &content)) << n;
  Bytes loaded(content.size());
  EXPECT_EQ(1, Load(StoredOrder()[2].c_str(), loaded.data(), (uint32_t)loaded.size()));
  EXPECT_EQ(content, loaded);
}

TEST(FfsReader, WithoutTurboEveryOrderWorks) {
  Mounted m(WriteTestFile("ffs-noturbo.bin", TurboArchive(0)));
  ASSERT_EQ(1, m.ok);
  std::vector<std::string> names = StoredOrder();
  Bytes content;
  for (int round = 0; round < 2; round++)
    for (int i = 2; i >= 0; i--) EXPECT_TRUE(LoadByName(names[i], &content));
  EXPECT_EQ(0u, FfsFlags());
}

TEST(FfsReader, SearchFindsEveryEntryForEveryCount) {
  // The fixed-point search must find every hash of a sorted directory and
  // nothing else, whatever the count.
  std::vector<uint32_t> counts;
  for (uint32_t n = 1; n <= 150; n++) counts.push_back(n);
  for (uint32_t n : {255u, 256u, 257u, 1000u, 1023u, 1024u, 1025u, 4097u}) counts.push_back(n);
  for (uint32_t n : counts) {
    ArchiveWriter writer;
    std::string error;
    for (uint32_t i = 0; i < n; i++) {
      std::string name = "file" + std::to_string(i) + ".bin";
      std::string body = name + " content padding";
      ASSERT_TRUE(writer.Add(name, (const uint8_t *)body.data(), body.size(), ARCHIVE_RAW, &error)) << error;
    }
    writer.SetTurbo(false);
    Bytes archive;
    ASSERT_TRUE(writer.Write(0, false, &archive, &error));
    Mounted m(WriteTestFile("ffs-search.bin", archive));
    ASSERT_EQ(1, m.ok);
    for (uint32_t i = 0; i < n; i++) {
      std::string name = "file" + std::to_string(i) + ".bin";
      Bytes content;
      ASSERT_TRUE(LoadByName(name, &content)) << n << " " << name;
      EXPECT_EQ(Text(name + " content padding"), content);
    }
    uint32_t size;
    EXPECT_EQ(0, GetSize("absent.bin", &size));
  }
}

TEST(FfsReader, TenThousandEntries) {
  ArchiveWriter writer;
  std::string error;
  const int n = 10500;
  for (int i = 0; i < n; i++) {
    std::string name = "dir" + std::to_string(i % 37) + "\\entry" + std::to_string(i) + ".txt";
    ASSERT_TRUE(writer.Add(name, Text("content of " + name), ARCHIVE_RAW, &error)) << error;
  }
  std::vector<uint8_t> installer;
  ASSERT_TRUE(ArchiveWriteInstaller(Text("MZ fake stub"), writer, &installer, &error)) << error;
  Mounted m(WriteTestFile("ffs-many.bin", installer));
  ASSERT_EQ(1, m.ok);
  // Stored order first (Turbo), then a scattered order (directory).
  for (const ArchiveEntry &e : writer.Entries()) {
    Bytes content(e.contentSize);
    ASSERT_EQ(1, Load(e.name.c_str(), content.data(), e.contentSize)) << e.name;
  }
  EXPECT_EQ((uint32_t)FFS_TURBO, FfsFlags() & FFS_TURBO);
  for (int i = 0; i < n; i += 7) {
    std::string name = "DIR" + std::to_string(i % 37) + "\\ENTRY" + std::to_string(i) + ".TXT";
    Bytes content;
    ASSERT_TRUE(LoadByName(name, &content)) << name;
    std::string lower = "dir" + std::to_string(i % 37) + "\\entry" + std::to_string(i) + ".txt";
    EXPECT_EQ(Text("content of " + lower), content);
  }
  EXPECT_EQ(0u, FfsFlags() & FFS_TURBO);
}

TEST(FfsReader, PlainFilesWhenNothingIsMounted) {
  FfsRemove();
  ASSERT_EQ(0, FfsIsMounted());
  WriteTestFile("ffs-plain.txt", Text("plain bytes"));
  char name[] = "ffs-plain.txt";
  uint32_t size = 0;
  ASSERT_EQ(1, FfsGetSize(name, &size));
  EXPECT_EQ(11u, size);
  EXPECT_STREQ("ffs-plain.txt", name);  // unchanged
  char buffer[12] = {0};
  EXPECT_EQ(1, FfsLoad(name, buffer, 11));
  EXPECT_STREQ("plain bytes", buffer);
  EXPECT_EQ("Unable to read from file 'ffs-plain.txt'\n", LogOf([&] { EXPECT_EQ(0, FfsLoad(name, buffer, 12)); }));
  char missing[] = "ffs-no-such-file.txt";
  EXPECT_EQ("", LogOf([&] {
              EXPECT_EQ(0, FfsGetSize(missing, &size));
              EXPECT_EQ(0, FfsLoad(missing, buffer, 1));
            }));
  char directory[] = ".";
  EXPECT_EQ(0, FfsGetSize(directory, &size));
  TestRemoveFile("ffs-plain.txt");
}

TEST(FfsReader, RemoveLogsAndLeavesNothingAllocated) {
  FfsRemove();  // the decoders' state too, for a clean baseline
  MemoryCounters before, after;
  MemoryGetCounters(&before);
  std::string path = WriteTestFile("ffs-48.bin", Vector48());
  EXPECT_EQ(1, FfsInit(path.c_str()));
  EXPECT_EQ(1, FfsInit(path.c_str()));  // a second mount releases the first
  EXPECT_EQ("Flat/Fast File System Removed...\n", LogOf([] { EXPECT_EQ(1, FfsRemove()); }));
  MemoryGetCounters(&after);
  EXPECT_EQ(before.count, after.count);
  EXPECT_EQ(before.bytes, after.bytes);
  EXPECT_EQ(0u, FfsFlags());
}

}  // namespace

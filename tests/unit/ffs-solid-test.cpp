// Solid groups: the writer gathers small files into blocks, the installer's
// reader and the builder's reader give each member back, and damaged
// references fail alone.
#include <string.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "archive-reader.h"
#include "archive-writer.h"
#include "ffs-test-support.h"
#include "ffs.h"
#include "vantor-core.h"

namespace {

Bytes Sample(int i, size_t size) {
  Bytes b;
  for (size_t k = 0; k < size; k++) b.push_back((uint8_t)("abcdefgh"[(k / (i + 1)) % 8] + (k % 97 == 0 ? i : 0)));
  return b;
}

Bytes Member(uint32_t block, uint32_t offset, uint32_t size) {
  Bytes b = Text(FFS_MEMBER_TAG);
  PutLe32(&b, block);
  PutLe32(&b, offset);
  PutLe32(&b, size);
  return b;
}

uint32_t Hash(const std::string &name) { return ArchiveHashName(name); }

// The thread calls a block's unpacking needs, on the standard library;
// threadsStarted counts the threads.
int threadsStarted;
struct Semaphore {
  std::mutex lock;
  std::condition_variable changed;
  int count;
};
const FfsThreads kThreads = {
    [](void (*run)(void *), void *context, void **thread) {
      *thread = new std::thread(run, context);
      threadsStarted++;
      return 1;
    },
    [](void *thread) {
      ((std::thread *)thread)->join();
      delete (std::thread *)thread;
    },
    [](int count) -> void * { return new Semaphore{{}, {}, count}; },
    [](void *semaphore) {
      Semaphore *s = (Semaphore *)semaphore;
      std::unique_lock<std::mutex> held(s->lock);
      s->changed.wait(held, [s] { return s->count > 0; });
      s->count--;
    },
    [](void *semaphore) {
      Semaphore *s = (Semaphore *)semaphore;
      std::lock_guard<std::mutex> held(s->lock);
      s->count++;
      s->changed.notify_one();
    },
    [](void *semaphore) { delete (Semaphore *)semaphore; },
};

// Mounts bytes, loads the named entries in the order given, and returns
// what each gave ("" for a failure) and the log.
std::vector<std::string> LoadAll(const Bytes &archive, const std::vector<std::string> &names, std::string *log) {
  WriteTestFile("ffs-solid.bin", archive);
  std::vector<std::string> got;
  *log = LogOf([&] {
    if (!FfsInit("ffs-solid.bin")) return;
    for (const std::string &name : names) {
      Bytes content;
      got.push_back(LoadByName(name, &content) ? std::string(content.begin(), content.end()) : "");
    }
    FfsRemove();
  });
  return got;
}

}  // namespace

TEST(Solid, SmallFilesShareABlockAndEachLoadsBackWhateverTheThreads) {
  std::vector<ArchiveInput> inputs;
  for (int i = 0; i < 7; i++) {
    ArchiveInput in;
    in.name = "dir\\file" + std::to_string(i);
    in.content = Sample(i, 300 + 211 * i);
    in.method = i == 2 || i == 5 ? ARCHIVE_RAW : ARCHIVE_METHOD2;  // raw is never grouped
    inputs.push_back(in);
  }
  inputs[5].content = Text(FFS_MEMBER_TAG "begins like a member, so it is packed, not stored");
  Bytes expected;
  for (unsigned threads : {1u, 3u}) {
    ArchiveWriter writer;
    writer.SetSolid(true);
    std::string error;
    size_t failed = 99;
    ASSERT_TRUE(writer.AddAll(inputs, threads, &error, &failed)) << error;
    Bytes archive;
    ASSERT_TRUE(writer.Write(0, false, &archive, &error)) << error;
    if (expected.empty()) expected = archive;
    EXPECT_EQ(archive, expected) << threads << " threads";
  }
  ArchiveImage image;
  std::string error;
  ASSERT_TRUE(ArchiveParse(expected, &image, &error)) << error;
  EXPECT_EQ(image.flags & FFS_FLAG_SOLID, (uint32_t)FFS_FLAG_SOLID);
  ASSERT_EQ(image.records.size(), 8u);  // one block, five members, file2 raw, file5 packed alone
  int members = 0;
  ArchiveSolidCache cache;
  for (const ArchiveRecord &r : image.records) {
    members += r.method == ARCHIVE_MEMBER;
    Bytes content;
    EXPECT_TRUE(ArchiveDecode(expected, image, r, &content, &error, &cache)) << error;
  }
  EXPECT_EQ(members, 5);
  EXPECT_EQ(image.records[ArchiveFind(image, Hash("dir\\file2"))].method, ARCHIVE_RAW);
  ArchiveMethod packed = image.records[ArchiveFind(image, Hash("dir\\file5"))].method;
  EXPECT_TRUE(packed != ARCHIVE_RAW && packed != ARCHIVE_MEMBER) << ArchiveMethodName(packed);

  // Members out of order, a raw entry and one packed alone between them,
  // with the block unpacked in the caller's thread or on one of its own.
  std::vector<std::string> names = {"dir\\file6", "DIR\\FILE0", "dir\\file2", "dir\\file5", "dir\\file0",
                                    "dir\\file3"};
  for (const FfsThreads *threads : {(const FfsThreads *)NULL, &kThreads}) {
    FfsUseThreads(threads);
    std::string log;
    std::vector<std::string> got = LoadAll(expected, names, &log);
    FfsUseThreads(NULL);
    EXPECT_EQ(threadsStarted, threads != NULL ? 1 : 0);  // one block, unpacked once
    ASSERT_EQ(got.size(), names.size()) << log;
    for (size_t k = 0; k < names.size(); k++) {
      int i = names[k].back() - '0';
      EXPECT_EQ(got[k], std::string(inputs[i].content.begin(), inputs[i].content.end())) << names[k] << (threads != NULL);
    }
  }
}

TEST(Solid, DamagedReferencesFailAloneWithTheirLineAndTheArchiveStaysUsable) {
  Bytes one = Text("first block: alpha beta gamma"), two = Text("second block: delta");
  std::vector<RawRecord> records = {
      {Hash("<solid 1>"), one},
      {Hash("<solid 2>"), two},
      {Hash("good1"), Member(Hash("<solid 1>"), 13, 5)},
      {Hash("good2"), Member(Hash("<solid 2>"), 14, 5)},
      {Hash("outside"), Member(Hash("<solid 1>"), 27, 5)},
      {Hash("wrapping"), Member(Hash("<solid 1>"), 0xFFFFFFF0u, 0x20)},
      {Hash("noblock"), Member(Hash("<solid 9>"), 0, 3)},
      {Hash("nested"), Member(Hash("good1"), 0, 3)},
      {Hash("long"), Member(Hash("<solid 1>"), 0, 3)},
  };
  records.back().data.push_back(0);  // 17 bytes: not a reference
  std::sort(records.begin(), records.end(), [](const RawRecord &a, const RawRecord &b) { return a.hash < b.hash; });
  Bytes archive = MakeArchive(records, FFS_TURBO | FFS_FLAG_SOLID);

  std::string log;
  std::vector<std::string> got =
      LoadAll(archive, {"good1", "good2", "outside", "wrapping", "noblock", "nested", "long", "good1"}, &log);
  EXPECT_EQ(got, (std::vector<std::string>{"alpha", "delta", "", "", "", "", "", "alpha"})) << log;
  EXPECT_NE(log.find("FFS: Member of 5 bytes at 27 lies outside its block (29)\n"), std::string::npos) << log;
  EXPECT_NE(log.find("FFS: Member of 32 bytes at 4294967280 lies outside its block (29)\n"), std::string::npos);
  EXPECT_NE(log.find("cannot be read\n"), std::string::npos) << log;
  EXPECT_NE(log.find("is itself a member\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Unable to get size from solid member\n"), std::string::npos) << log;

  // The builder's reader refuses the same references.
  ArchiveImage image;
  std::string error;
  ASSERT_TRUE(ArchiveParse(archive, &image, &error)) << error;
  for (const char *name : {"outside", "wrapping", "noblock", "nested", "long"}) {
    Bytes content;
    EXPECT_FALSE(ArchiveDecode(archive, image, image.records[ArchiveFind(image, Hash(name))], &content, &error))
        << name;
  }
}

// Memory accounting: block layout, guards, counters, leak lines, reports.
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "test-support.h"
#include "vantor-core.h"

namespace {

MemoryCounters Counters() {
  MemoryCounters c;
  MemoryGetCounters(&c);
  return c;
}

TEST(Memory, BlockSizesRoundAndZeroFill) {
  TestStopLog();
  MemoryInit(0);
  struct { int size, total; } cases[] = {{1, 12}, {4, 12}, {5, 16}, {8, 16}, {100, 108}};
  for (auto c : cases) {
    int before = Counters().bytes;
    unsigned char *p = (unsigned char *)MEM_ALLOC(c.size);
    EXPECT_EQ(c.total, Counters().bytes - before) << c.size;
    for (int i = 0; i < c.size; i++) ASSERT_EQ(0, p[i]);
    EXPECT_EQ(GUARD_BYTE, p[-1]);
    EXPECT_EQ(GUARD_BYTE, p[c.total - 8]);
    EXPECT_EQ(1, MEM_FREE(p, c.size));
    EXPECT_EQ(NULL, p);
  }
  EXPECT_EQ(0, Counters().bytes);
  EXPECT_EQ(0, Counters().count);
  EXPECT_EQ(1, Counters().maxCount);
  MemoryRemove();
}

TEST(MemoryDeath, GuardCorruption) {
  TestStopLog();
  MemoryInit(0);
  EXPECT_EXIT(
      {
        char *p = (char *)MEM_ALLOC(8);
        p[8] = 1;  // one past a multiple of 4 reaches the trailing guard
        MEM_FREE(p, 8);
      },
      testing::ExitedWithCode(1), "\\) Memory Corrupted After \\(8\\)");
  EXPECT_EXIT(
      {
        char *p = (char *)MEM_ALLOC(8);
        p[-2] = 0;
        MEM_FREE(p, 8);
      },
      testing::ExitedWithCode(1), "\\) Memory Corrupted Before \\(8\\)");
  EXPECT_EXIT(MEM_ALLOC(0), testing::ExitedWithCode(1), "Invalid Memory Size \\(0\\)");
  // One byte past a size of 5 lies in the rounding and goes undetected.
  char *p = (char *)MEM_ALLOC(5);
  p[5] = 1;
  EXPECT_EQ(1, MEM_FREE(p, 5));
  MemoryRemove();
}

TEST(Memory, ReportsAndLeakLines) {
  std::string path = TestStartLog(DEBUG_FILE | DEBUG_REPORT);
  MemoryInit(QUICK_MEMORY_SIZE);
  EXPECT_EQ(1, Counters().count);
  EXPECT_EQ(1024008, Counters().bytes);
  void *a = MEM_ALLOC(100), *b = MEM_ALLOC(100), *c = MEM_ALLOC(100);
  QuickMemoryFrame();
  MemoryRemove();
  TestStopLog();
  std::string rule(79, '=');
  auto section = [](const std::string &name) {
    std::string s = "====[" + name + "]";
    return "\r\n" + s + std::string(79 - s.size(), '=') + "\r\n";
  };
  std::string expect = "Vantor v0.22\r\n" + section("Memory Init") + "Quickmemory Initialized (1000k)\r\n" +
                       rule + "\r\n" + section("Global Memory Init") + rule + "\r\n" +
                       section("Global Memory Remove") + "Maximum Global Memory in use (0 / 0k)\r\n" + rule +
                       "\r\n" + section("Memory Remove") + "Quick Memory size was set to (1000k)\r\n" +
                       "Maximum Quick Memory in use (0k)  Largest Frame (0k)\r\n" +
                       "Maximum Memory in use (4 / 1000k)\r\n" + "Not all memory was free'd (3 / 324b)\r\n" + rule +
                       "\r\n";
  EXPECT_EQ(expect, TestReadFile(path));
  TestRemoveFile(path);
  for (void *block : {a, b, c}) MEM_FREE(block, 100);  // left behind for the report only
}

TEST(Memory, LeakLineKiloFormAndNeedsOnlyActiveLog) {
  std::string path = TestStartLog(DEBUG_FILE);  // no report bit
  MemoryInit(0);
  void *p = MEM_ALLOC(2000);
  MemoryRemove();
  TestStopLog();
  EXPECT_EQ("Not all memory was free'd (1 / 1k)\r\n", TestReadFile(path));
  TestRemoveFile(path);
  MEM_FREE(p, 2000);  // left behind for the leak line only
}

}  // namespace

// The target machine's real side under Wine: free space of a drive that is
// there and of one that is not, a directory chain made below the temporary
// folder, a file that cannot be created, and files written by the file
// queue's thread.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "filequeue.h"
#include "pathdialog.h"
#include "target-sys.h"
#include "target.h"
#include "test-support.h"
#include "winhelpr.h"

namespace {

void NoNote(const char *) {}

TEST(TargetWin32, FreeSpaceOfTheSystemDriveAndOfADriveThatIsNotThere) {
  char system[MAX_PATH + 2];
  ASSERT_EQ(1, QuerySystemDir(system, sizeof system));
  int32_t freeK = -1;
  EXPECT_EQ(1, DiskFreeK(&freeK, system));
  EXPECT_GT(freeK, 0);
  char missing[] = "Q:\\Nowhere\\";
  EXPECT_EQ(0, DiskFreeK(&freeK, missing));
  EXPECT_EQ(0, freeK);
  char network[] = "\\\\server\\share\\";
  EXPECT_EQ(0, DiskFreeK(&freeK, network));
}

// The system itself answers for a root without a drive letter (the current
// drive); the destination's free space refuses such a path all the same.
TEST(TargetWin32, APathWithoutADriveLetterHasNoDrive) {
  ULARGE_INTEGER a, t, f;
  EXPECT_TRUE(GetDiskFreeSpaceExA("\\", &a, &t, &f));
  for (const char *entry : {"\\", ".\\", "..\\x\\", "x\\"}) {
    char path[16];
    strcpy(path, entry);
    int32_t freeK = -1;
    EXPECT_EQ(0, DiskFreeK(&freeK, path)) << entry;
    EXPECT_EQ(0, freeK);
  }
}

TEST(TargetWin32, MakePathBuildsTheChainAndFilesGoInIt) {
  char temp[MAX_PATH + 2];
  ASSERT_EQ(1, QueryTempDir(temp, sizeof temp));
  std::string base = std::string(temp) + "vantor-target-test";
  std::string deep = base + "\\ONE\\TWO\\";
  char path[MAX_PATH * 2];
  snprintf(path, sizeof path, "%s", deep.c_str());
  EXPECT_EQ(1, MakePathNoting(path, NoNote));
  EXPECT_EQ(deep, path);
  EXPECT_EQ(1, TargetSysDirExists(path));

  std::string file = deep + "F.TXT";
  void *handle = NULL;
  ASSERT_EQ(1, TargetSysCreate(file.c_str(), &handle));
  EXPECT_EQ(1, TargetWriteAll(handle, file.c_str(), "abc", 3));
  EXPECT_EQ("abc", TestReadFile(file));
  // A write the system refuses gives its own code and text, not 0.
  uint32_t size = 0;
  ASSERT_EQ(1, TargetSysOpenRead(file.c_str(), &handle, &size));
  EXPECT_EQ(3u, size);
  EXPECT_EQ((uint32_t)ERROR_ACCESS_DENIED, TargetSysWrite(handle, "x", 1));
  char reason[256];
  TargetSysErrorText(ERROR_ACCESS_DENIED, reason, (int)sizeof reason);
  EXPECT_NE(0, reason[0]);
  EXPECT_EQ(0u, TargetSysClose(handle));
  EXPECT_EQ(0, TargetSysDirExists(file.c_str()));  // a file is no directory
  // A directory of the name cannot be created as a file.
  EXPECT_EQ(0, TargetSysCreate((base + "\\ONE").c_str(), &handle));
  EXPECT_EQ(NULL, handle);

  DeleteFileA(file.c_str());
  RemoveDirectoryA((base + "\\ONE\\TWO").c_str());
  RemoveDirectoryA((base + "\\ONE").c_str());
  RemoveDirectoryA(base.c_str());
  EXPECT_EQ(0, TargetSysDirExists(base.c_str()));
}

// The queue's own thread writes files while more are handed over, through
// far more slots' worth of bytes than it holds.
TEST(TargetWin32, TheFileQueueThreadWritesEveryFileWhole) {
  char temp[MAX_PATH + 2];
  ASSERT_EQ(1, QueryTempDir(temp, sizeof temp));
  std::string piece(300000, 0);
  for (size_t i = 0; i < piece.size(); i++) piece[i] = (char)(i * 13);
  FileQueueStart();
  for (int f = 0; f < 6; f++) {
    std::string path = std::string(temp) + "vantor-queue-" + std::to_string(f) + ".bin";
    FileQueueOpen(path.c_str());
    for (int k = 0; k < f; k++) FileQueueWrite(piece.data(), (uint32_t)piece.size());
    FileQueueClose(path.c_str());
  }
  void *unclosed = &unclosed;
  EXPECT_EQ(1, FileQueueFinish(&unclosed));
  EXPECT_EQ(NULL, unclosed);
  for (int f = 0; f < 6; f++) {
    std::string path = std::string(temp) + "vantor-queue-" + std::to_string(f) + ".bin";
    std::string want;
    for (int k = 0; k < f; k++) want += piece;
    EXPECT_TRUE(TestReadFile(path) == want) << f;
    DeleteFileA(path.c_str());
  }
}

}  // namespace

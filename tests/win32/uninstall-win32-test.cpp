// The uninstaller's copy under Wine: a copy whose bytes are no longer the
// program's is not started and goes; one that still is starts with the
// arguments given, and goes once it has ended.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "uninstall-sys.h"
#include "winhelpr.h"

namespace {

std::string ReadAll(const char *path) {
  std::string bytes;
  FILE *f = fopen(path, "rb");
  if (f == NULL) return bytes;
  char piece[4096];
  size_t n;
  while ((n = fread(piece, 1, sizeof piece, f)) > 0) bytes.append(piece, n);
  fclose(f);
  return bytes;
}

bool GoneWithin(const char *path, int milliseconds) {
  for (int waited = 0; GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; waited += 100) {
    if (waited >= milliseconds) return false;
    Sleep(100);
  }
  return true;
}

TEST(UninstallWin32, OnlyACopyThatIsStillTheProgramIsStarted) {
  char program[MAX_PATH], copy[MAX_PATH + 32];
  ASSERT_EQ(1, QuerySystemDir(program, MAX_PATH - 10));
  strcat(program, "cmd.exe");
  ASSERT_EQ(1, QueryTempDir(copy, MAX_PATH));
  strcat(copy, "~uninstall-win32-test.exe");
  std::string bytes = ReadAll(program), swapped = bytes;
  ASSERT_GT(bytes.size(), 0u);
  swapped[swapped.size() / 2] ^= 1;
  uint32_t code = 99;
  ASSERT_TRUE(CopyFileA(program, copy, FALSE));
  EXPECT_EQ(0, UninstallSysStartCopy(copy, swapped.data(), (uint32_t)swapped.size(), "/c exit 7", 1, &code));
  EXPECT_EQ(99u, code);
  EXPECT_TRUE(GoneWithin(copy, 0));
  ASSERT_TRUE(CopyFileA(program, copy, FALSE));
  EXPECT_EQ(1, UninstallSysStartCopy(copy, bytes.data(), (uint32_t)bytes.size(), "/c exit 7", 1, &code));
  EXPECT_EQ(7u, code);
  EXPECT_TRUE(GoneWithin(copy, 10000));
  DeleteFileA(copy);
}

}  // namespace

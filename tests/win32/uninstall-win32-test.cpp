// The uninstaller's copy under Wine: a copy whose bytes are no longer the
// program's is not started, and goes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "uninstall-sys.h"
#include "winhelpr.h"

namespace {

TEST(UninstallWin32, ACopyThatIsNoLongerTheProgramIsNotStarted) {
  char path[MAX_PATH + 32];
  ASSERT_EQ(1, QueryTempDir(path, MAX_PATH));
  strcat(path, "~uninstall-win32-test.exe");
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  DWORD written;
  WriteFile(file, "MZ swapped", 10, &written, NULL);
  CloseHandle(file);
  uint32_t code = 99;
  EXPECT_EQ(0, UninstallSysStartCopy(path, "MZ program", 10, "-uninstall", 1, &code));
  EXPECT_EQ(99u, code);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path));
  DeleteFileA(path);
}

}  // namespace

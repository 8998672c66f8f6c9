// The program's own file under Wine: a first token too long for the path
// buffer gives way to the module's path the system reports.
#include <windows.h>
#undef MEM_FREE

#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "process-sys.h"
#include "vantor-core.h"

namespace {

TEST(ProgramPathWin32, AnOverlongTokenGivesTheRunningModule) {
  char module[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(NULL, module, sizeof module), 0u);
  char out[160];
  ASSERT_EQ(1, SysModulePath(out, sizeof out));
  EXPECT_STREQ(module, out);
  char tiny[4];
  EXPECT_EQ(0, SysModulePath(tiny, sizeof tiny));  // does not fit: nothing
  EXPECT_STREQ("", tiny);

  std::string token = "\"C:\\" + std::string(150, 'd') + "\\setup.exe\" -debug";
  EXPECT_EQ(PROGRAM_PATH_MODULE, ProgramPathFind(token.c_str(), out, sizeof out));
  EXPECT_STREQ(module, out);
  EXPECT_EQ(PROGRAM_PATH_TOKEN, ProgramPathFind("\"C:\\dir\\setup\" -debug", out, sizeof out));
  EXPECT_STREQ("C:\\dir\\setup.exe", out);
}

}  // namespace

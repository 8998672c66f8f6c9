// The process stand-in: the log path follows token 0 of the command line.
#include <gtest/gtest.h>

#include "process-standin.h"
#include "test-support.h"
#include "vantor-core.h"

namespace {

struct CommandLineGuard {
  ~CommandLineGuard() { SysStandInSetCommandLine("unit-tests"); }
};

TEST(StandInDebugInit, LogPathBesideQuotedProgram) {
  CommandLineGuard guard;
  SysStandInSetCommandLine("\"C:\\My Programs\\Setup Dir\\install.exe\" -debug");
  DebugInit("debug.log", 0);
  EXPECT_STREQ("C:\\My Programs\\Setup Dir\\debug.log", DebugLogPath());
  SysStandInSetCommandLine("install -debug");
  DebugInit("x", 0);  // a one-character name means the default
  EXPECT_STREQ("debug.log", DebugLogPath());
  SysStandInSetCommandLine("\\install.exe");  // a backslash only at the first character
  DebugInit("debug.log", 0);
  EXPECT_STREQ("debug.log", DebugLogPath());
}

TEST(StandInDebugInit, OverlongProgramPathIsCutSafely) {
  CommandLineGuard guard;
  std::string dir(2000, 'd');
  SysStandInSetCommandLine(("C:\\" + dir + "\\install.exe").c_str());
  DebugInit("debug.log", 0);
  EXPECT_LT(strlen(DebugLogPath()), (size_t)VANTOR_PATH_SIZE);
  EXPECT_STREQ("debug.log", DebugLogPath());
  // With the module's path known, the log lies beside the running program,
  // as start-up finds it.
  SysStandInSetModulePath("C:\\Setup\\install.exe");
  DebugInit("debug.log", 0);
  EXPECT_STREQ("C:\\Setup\\debug.log", DebugLogPath());
  SysStandInSetModulePath(NULL);
  // A file name too long for the buffer even alone is cut to fit it.
  SysStandInSetCommandLine("C:\\Setup\\install.exe");
  std::string name(1000, 'n');
  DebugInit(name.c_str(), 0);
  EXPECT_EQ(name.substr(0, VANTOR_PATH_SIZE - 1), DebugLogPath());
}

TEST(StandInDebugInitDeath, NoProgramPathIsFatal) {
  CommandLineGuard guard;
  EXPECT_EXIT(
      {
        SysStandInSetCommandLine("   ");
        DebugInit("debug.log", 0);
      },
      testing::ExitedWithCode(1), "No starting path was specified on commandline!");
}

TEST(StandInConsole, WindowSwitchOpensConsoleOnly) {
  std::string path = TestStartLog(DEBUG_CONSOLE);
  EXPECT_TRUE(SysStandInConsoleOpen());
  testing::internal::CaptureStdout();
  DebugPrintf("to the console %d\n", 1);
  EXPECT_EQ("to the console 1\n", testing::internal::GetCapturedStdout());
  TestStopLog();
  EXPECT_FALSE(TestFileExists(path));
}

}  // namespace

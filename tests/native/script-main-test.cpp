// Start-up with the archive and the script: the failure paths of the first
// stretch, run through InstallerMain on the stand-ins.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "script-run.h"
#include "command.h"
#include "commands-test-support.h"
#include "ffs.h"
#include "installer-run-support.h"
#include "mainwindow-standin.h"
#include "interact.h"
#include "pathdialog.h"
#include "script.h"
#include "mainwindow.h"

namespace {

using InstallerMainTest = InstallerRunTest;

TEST_F(InstallerMainTest, MissingArchiveShowsTheDamagedBoxAndEndsWithItsCode) {
  EXPECT_EQ(EXIT_DAMAGED, Run("no-such-installer"));
  EXPECT_STREQ("no-such-installer.exe", InstallerProgramPath());
  EXPECT_EQ(1, TestBoxCount());
  EXPECT_EQ(PROBLEM_CAPTION, TestLastBoxCaption());
  EXPECT_EQ("The installation file has been damaged, please download a new copy.", TestLastBoxText());
  std::string log = Log();
  EXPECT_NE(std::string::npos, log.find("Couldn't open flat file 'no-such-installer.exe'!\r\n"));
  EXPECT_TRUE(EndsWithExit(EXIT_DAMAGED));
  EXPECT_EQ(std::string::npos, log.find("Not all memory was free'd"));
  EXPECT_EQ(nullptr, CommandFirst());
}

TEST_F(InstallerMainTest, DamagedInstallerShowsTheDamagedBoxBeforeTheScriptLoads) {
  std::string bytes = TestReadFile(WriteScript("script-main-damaged", MARK "BREAK:\r\n"));
  bytes[bytes.size() - 30] ^= 0x40;  // in the entry's data or the padding after it
  WriteProgram("script-main-damaged", std::vector<uint8_t>(bytes.begin(), bytes.end()));
  EXPECT_EQ(EXIT_DAMAGED, Run("script-main-damaged"));
  EXPECT_EQ(1, TestBoxCount());
  EXPECT_EQ(PROBLEM_CAPTION, TestLastBoxCaption());
  EXPECT_EQ("The installation file has been damaged, please download a new copy.", TestLastBoxText());
  std::string log = Log();
  size_t line = log.find("FFS: Integrity check failed: bytes 0 to ");
  EXPECT_NE(std::string::npos, line);
  EXPECT_EQ(std::string::npos, log.find("FFS: Integrity", line + 1));
  EXPECT_EQ(std::string::npos, log.find("Break Encountered"));
  EXPECT_TRUE(EndsWithExit(EXIT_DAMAGED));
  EXPECT_EQ(std::string::npos, log.find("Not all memory was free'd"));
}

TEST_F(InstallerMainTest, FirstTokenHoldingExeAnywhereIsUsedUnchanged) {
  EXPECT_EQ(EXIT_DAMAGED, Run("\"no-such.EXE-setup\""));
  EXPECT_STREQ("no-such.EXE-setup", InstallerProgramPath());
  EXPECT_NE(std::string::npos, Log().find("Couldn't open flat file 'no-such.EXE-setup'!\r\n"));
  EXPECT_EQ(EXIT_DAMAGED, Run("\"dir with space\\setup.Exe\""));
  EXPECT_STREQ("dir with space\\setup.Exe", InstallerProgramPath());
}

// A first token that does not fit the path buffer whole (160 characters, or
// 156 without ".exe") is never cut into another file's name: the module's
// path is opened instead, and the log says why.
TEST_F(InstallerMainTest, OverlongFirstTokenOpensTheRunningModule) {
  WriteScript("script-main-module", MARK "BREAK:\r\n");
  SysStandInSetModulePath("script-main-module.exe");
  for (const std::string &token : {std::string(152, 'd') + "\\setup.exe", std::string(156, 's')}) {
    EXPECT_EQ(0, Run("\"" + token + "\""));
    EXPECT_STREQ("script-main-module.exe", InstallerProgramPath());
    std::string log = Log();
    EXPECT_NE(std::string::npos, log.find("Program path too long for 159 characters, using the module's path "
                                          "'script-main-module.exe'\r\n")) << log;
    EXPECT_NE(std::string::npos, log.find("Break Encountered\r\n")) << log;
  }
  SysStandInSetModulePath(NULL);
  EXPECT_EQ(EXIT_DAMAGED, Run("\"" + std::string(156, 's') + "\""));
  EXPECT_STREQ("", InstallerProgramPath());  // nothing fits: nothing but the damaged box
  EXPECT_NE(std::string::npos, Log().find("Program path too long for 159 characters\r\n"));
  EXPECT_EQ("The installation file has been damaged, please download a new copy.", TestLastBoxText());
}

TEST_F(InstallerMainTest, FirstStretchRunsWithoutAWindow) {
  EXPECT_EQ(0, RunScript("script-main-ok", MARK "BREAK:\r\n" MARK "INSTALL:\r\n"));
  EXPECT_EQ(0, TestBoxCount());
  std::string log = Log();
  EXPECT_NE(std::string::npos, log.find("Break Encountered\r\n"));
  // after the BREAK: not in the first stretch, only once the window exists
  EXPECT_TRUE(log.find("'INSTALL'") == std::string::npos || log.find("'INSTALL'") > log.find("Break Encountered"));
  EXPECT_TRUE(EndsWithExit());
  EXPECT_EQ(std::string::npos, log.find("Not all memory was free'd"));
}

TEST_F(InstallerMainTest, UnknownKeywordInTheFirstStretchEndsWithTheBox) {
  EXPECT_EQ(EXIT_COMMAND_FAILED, RunScript("script-main-unknown", MARK "NOPE:x\r\n" MARK "BREAK:\r\n"));
  EXPECT_EQ(1, TestBoxCount());
  EXPECT_EQ("Unknown script keyword...", TestLastBoxCaption());
  EXPECT_EQ("NOPE", TestLastBoxText());
  std::string log = Log();
  EXPECT_NE(std::string::npos, log.find("Unknown command 'NOPE'\r\n"));
  EXPECT_EQ(std::string::npos, log.find("Break Encountered"));
  EXPECT_TRUE(EndsWithExit(EXIT_COMMAND_FAILED));
}

TEST_F(InstallerMainTest, ArchiveWithoutTheScriptIsFatal) {
  WriteInstaller("script-main-noscript", {{"readme.txt", "hello"}});
  EXPECT_EXIT(Run("script-main-noscript"), testing::ExitedWithCode(1), "Couldn't load installation script\\.");
}

// A damaged install.dat: its size can be read, its text cannot be unpacked.
// Loading fails with nothing left allocated, and start-up then stops.
TEST_F(InstallerMainTest, ScriptWhoseSizeReadsButWhichCannotBeLoadedIsFatal) {
  std::vector<uint8_t> bytes = TestInstallerBytes({{"install.dat", std::string(300, MARK[0])}}, "install.dat");
  ASSERT_EQ(1, FfsInit(WriteProgram("script-main-damaged", bytes).c_str()));
  uint32_t size = 0;
  char name[] = "install.dat";
  EXPECT_EQ(1, FfsGetSize(name, &size));
  EXPECT_EQ(300u, size);
  MemoryCounters before, after;
  MemoryGetCounters(&before);
  InstallScript *script = NULL;
  EXPECT_EQ(0, ScriptLoad(&script, "install.dat"));
  EXPECT_EQ(nullptr, script);
  MemoryGetCounters(&after);
  EXPECT_EQ(before.count, after.count);
  EXPECT_EQ(before.bytes, after.bytes);
  FfsRemove();
  EXPECT_EXIT(Run("script-main-damaged"), testing::ExitedWithCode(1), TestFatalBox("Couldn't load installation script."));
}

// The record as loading leaves it, in the reader's plain-file mode.
TEST(ScriptLoadPlain, LoadsTheWholeTextWithATerminator) {
  const char *path = "script-load-plain.dat";
  FILE *f = fopen(path, "wb");
  fwrite(MARK "TEXT:hi\r\n", 1, 10, f);
  fclose(f);
  InstallScript *script = NULL;
  ASSERT_EQ(1, ScriptLoad(&script, path));
  EXPECT_EQ(10, script->textLength);
  EXPECT_EQ(std::string(MARK "TEXT:hi\r\n"), std::string(script->text, 10));
  EXPECT_EQ(0, script->text[10]);
  EXPECT_EQ(script->text, script->cursor);
  EXPECT_EQ(nullptr, script->window);
  EXPECT_EQ(0, script->stringCount);
  ScriptFree(&script);
  EXPECT_EQ(nullptr, script);
  TestRemoveFile(path);
  EXPECT_EQ(0, ScriptLoad(&script, "no-such-script.dat"));
  EXPECT_EQ(nullptr, script);
}

TEST(ScriptRunWindow, EndOfTextTellsTheWindowOnce) {
  CommandsRemove();
  InstallScript *script = TestMakeScript(MARK "REFRESH:\r\n");
  CommandsInit();
  int before = MainWindowStandInDestroyCount();
  void *window = (void *)0x1234;
  MainWindowSetScript(script);
  EXPECT_EQ(1, RunStep(window));
  MainWindowSetScript(NULL);
  EXPECT_EQ(window, script->window);
  EXPECT_EQ(before + 1, MainWindowStandInDestroyCount());
  EXPECT_EQ(window, MainWindowStandInLastDestroyed());
  EXPECT_EQ(SCRIPT_END, ScriptRun(script));  // nothing left: the run itself sends no message
  EXPECT_EQ(before + 1, MainWindowStandInDestroyCount());
  ScriptFree(&script);
  CommandsRemove();
}

}  // namespace

// Start-up with the archive and the script: the failure paths of the first
// stretch, run through InstallerMain on the stand-ins.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "archive-writer.h"
#include "command.h"
#include "commands-test-support.h"
#include "ffs.h"
#include "mainwindow-standin.h"
#include "script-test-support.h"
#include "script.h"
#include "process-standin.h"
#include "test-support.h"
#include "exit-codes.h"
#include "interact.h"
#include "run.h"
#include "switches.h"
#include "mainwindow.h"
#include "program.h"

namespace {

// Writes an installer of a small fake stub and the entries; returns its path.
std::string WriteInstaller(const std::string &name, const std::vector<std::pair<std::string, std::string>> &entries) {
  ArchiveWriter writer;
  std::string error;
  for (const auto &e : entries)
    EXPECT_TRUE(writer.Add(e.first, (const uint8_t *)e.second.data(), e.second.size(), ARCHIVE_RAW, &error)) << error;
  std::vector<uint8_t> stub(64, 'M'), out;
  EXPECT_TRUE(ArchiveWriteInstaller(stub, writer, &out, &error)) << error;
  std::string path = name + ".exe";
  FILE *f = fopen(path.c_str(), "wb");
  fwrite(out.data(), 1, out.size(), f);
  fclose(f);
  return path;
}

class InstallerMainTest : public testing::Test {
 protected:
  void SetUp() override { TestWatchBoxes(); }
  void TearDown() override {
    SysStandInSetCommandLine("unit-tests");
    TestStopLog();
    TestRemoveFile("debug.log");
    for (const std::string &p : files) TestRemoveFile(p);
  }
  // Runs the installer as the program at path (without ".exe") with -debug.
  int Main(const std::string &program) {
    SysStandInSetCommandLine((program + " -debug").c_str());
    return InstallerMain(NULL, "-debug");
  }
  std::string Log() { return TestReadFile("debug.log"); }
  static bool EndsWith(const std::string &s, const std::string &tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
  }
  std::vector<std::string> files;
};

TEST_F(InstallerMainTest, MissingArchiveShowsTheDamagedBoxAndEndsWithItsCode) {
  EXPECT_EQ(EXIT_DAMAGED, Main("no-such-installer"));
  EXPECT_STREQ("no-such-installer.exe", InstallerProgramPath());
  EXPECT_EQ(1, TestBoxCount());
  EXPECT_EQ("Installation Problem...", TestLastBoxCaption());
  EXPECT_EQ("The installation file has been damaged, please download a new copy.", TestLastBoxText());
  std::string log = Log();
  EXPECT_NE(std::string::npos, log.find("Couldn't open flat file 'no-such-installer.exe'!\r\n"));
  EXPECT_TRUE(EndsWith(log, "Exit with code 3...\r\n"));
  EXPECT_EQ(std::string::npos, log.find("Not all memory was free'd"));
  EXPECT_EQ(nullptr, CommandFirst());
}

TEST_F(InstallerMainTest, DamagedInstallerShowsTheDamagedBoxBeforeTheScriptLoads) {
  std::string path = WriteInstaller("script-main-damaged", {{"install.dat", "\x16" "BREAK:\r\n"}});
  files.push_back(path);
  std::string bytes = TestReadFile(path);
  bytes[bytes.size() - 30] ^= 0x40;  // in the entry's data or the padding after it
  FILE *f = fopen(path.c_str(), "wb");
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
  EXPECT_EQ(EXIT_DAMAGED, Main("script-main-damaged"));
  EXPECT_EQ(1, TestBoxCount());
  EXPECT_EQ("Installation Problem...", TestLastBoxCaption());
  EXPECT_EQ("The installation file has been damaged, please download a new copy.", TestLastBoxText());
  std::string log = Log();
  size_t line = log.find("FFS: Integrity check failed: bytes 0 to ");
  EXPECT_NE(std::string::npos, line);
  EXPECT_EQ(std::string::npos, log.find("FFS: Integrity", line + 1));
  EXPECT_EQ(std::string::npos, log.find("Break Encountered"));
  EXPECT_TRUE(EndsWith(log, "Exit with code 3...\r\n"));
  EXPECT_EQ(std::string::npos, log.find("Not all memory was free'd"));
}

TEST_F(InstallerMainTest, FirstTokenHoldingExeAnywhereIsUsedUnchanged) {
  SysStandInSetCommandLine("\"no-such.EXE-setup\" -debug");
  EXPECT_EQ(EXIT_DAMAGED, InstallerMain(NULL, "-debug"));
  EXPECT_STREQ("no-such.EXE-setup", InstallerProgramPath());
  EXPECT_NE(std::string::npos, Log().find("Couldn't open flat file 'no-such.EXE-setup'!\r\n"));
  SysStandInSetCommandLine("\"dir with space\\setup.Exe\" -debug");
  EXPECT_EQ(EXIT_DAMAGED, InstallerMain(NULL, "-debug"));
  EXPECT_STREQ("dir with space\\setup.Exe", InstallerProgramPath());
}

// A first token that does not fit the path buffer whole (160 characters, or
// 156 without ".exe") is never cut into another file's name: the module's
// path is opened instead, and the log says why.
TEST_F(InstallerMainTest, OverlongFirstTokenOpensTheRunningModule) {
  files.push_back(WriteInstaller("script-main-module", {{"install.dat", "\x16" "BREAK:\r\n"}}));
  SysStandInSetModulePath("script-main-module.exe");
  for (const std::string &token : {std::string(152, 'd') + "\\setup.exe", std::string(156, 's')}) {
    SysStandInSetCommandLine(("\"" + token + "\" -debug").c_str());
    EXPECT_EQ(0, InstallerMain(NULL, "-debug"));
    EXPECT_STREQ("script-main-module.exe", InstallerProgramPath());
    std::string log = Log();
    EXPECT_NE(std::string::npos, log.find("Program path too long for 159 characters, using the module's path "
                                          "'script-main-module.exe'\r\n")) << log;
    EXPECT_NE(std::string::npos, log.find("Break Encountered\r\n")) << log;
  }
  SysStandInSetModulePath(NULL);
  SysStandInSetCommandLine(("\"" + std::string(156, 's') + "\" -debug").c_str());
  EXPECT_EQ(EXIT_DAMAGED, InstallerMain(NULL, "-debug"));
  EXPECT_STREQ("", InstallerProgramPath());  // nothing fits: nothing but the damaged box
  EXPECT_NE(std::string::npos, Log().find("Program path too long for 159 characters\r\n"));
  EXPECT_EQ("The installation file has been damaged, please download a new copy.", TestLastBoxText());
}

TEST_F(InstallerMainTest, FirstStretchRunsWithoutAWindow) {
  files.push_back(WriteInstaller("script-main-ok", {{"install.dat", "\x16" "BREAK:\r\n\x16" "INSTALL:\r\n"}}));
  EXPECT_EQ(0, Main("script-main-ok"));
  EXPECT_EQ(0, TestBoxCount());
  std::string log = Log();
  EXPECT_NE(std::string::npos, log.find("Break Encountered\r\n"));
  // after the BREAK: not in the first stretch, only once the window exists
  EXPECT_TRUE(log.find("'INSTALL'") == std::string::npos || log.find("'INSTALL'") > log.find("Break Encountered"));
  EXPECT_TRUE(EndsWith(log, "Successful Exit...\r\n"));
  EXPECT_EQ(std::string::npos, log.find("Not all memory was free'd"));
}

TEST_F(InstallerMainTest, UnknownKeywordInTheFirstStretchEndsWithTheBox) {
  files.push_back(WriteInstaller("script-main-unknown", {{"install.dat", "\x16NOPE:x\r\n\x16" "BREAK:\r\n"}}));
  EXPECT_EQ(EXIT_COMMAND_FAILED, Main("script-main-unknown"));
  EXPECT_EQ(1, TestBoxCount());
  EXPECT_EQ("Unknown script keyword...", TestLastBoxCaption());
  EXPECT_EQ("NOPE", TestLastBoxText());
  std::string log = Log();
  EXPECT_NE(std::string::npos, log.find("Unknown command 'NOPE'\r\n"));
  EXPECT_EQ(std::string::npos, log.find("Break Encountered"));
  EXPECT_TRUE(EndsWith(log, "Exit with code 2...\r\n"));
}

TEST_F(InstallerMainTest, ArchiveWithoutTheScriptIsFatal) {
  files.push_back(WriteInstaller("script-main-noscript", {{"readme.txt", "hello"}}));
  EXPECT_EXIT(Main("script-main-noscript"), testing::ExitedWithCode(1), "Couldn't load installation script\\.");
}

// A damaged install.dat: its size can be read, its text cannot be unpacked.
// Loading fails with nothing left allocated, and start-up then stops.
TEST_F(InstallerMainTest, ScriptWhoseSizeReadsButWhichCannotBeLoadedIsFatal) {
  std::vector<uint8_t> bytes = TestInstallerBytes({{"install.dat", std::string(300, '\x16')}}, "install.dat");
  files.push_back("script-main-damaged.exe");
  FILE *f = fopen(files.back().c_str(), "wb");
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
  ASSERT_EQ(1, FfsInit(files.back().c_str()));
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
  EXPECT_EXIT(Main("script-main-damaged"), testing::ExitedWithCode(1),
              "\\[message box\\] Internal error, program aborting\\.\\.\\.: Couldn't load installation script\\.\n");
}

// The record as loading leaves it, in the reader's plain-file mode.
TEST(ScriptLoadPlain, LoadsTheWholeTextWithATerminator) {
  const char *path = "script-load-plain.dat";
  FILE *f = fopen(path, "wb");
  fwrite("\x16TEXT:hi\r\n", 1, 10, f);
  fclose(f);
  InstallScript *script = NULL;
  ASSERT_EQ(1, ScriptLoad(&script, path));
  EXPECT_EQ(10, script->textLength);
  EXPECT_EQ(std::string("\x16TEXT:hi\r\n"), std::string(script->text, 10));
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
  InstallScript *script = TestMakeScript("\x16REFRESH:\r\n");
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

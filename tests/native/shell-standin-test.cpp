// The shell integration over its stand-in: what Program Manager is sent and
// how the commands step over their arguments, self-registration's outcomes,
// fonts for the run, and the install services' start and stop.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <string>

#include "script-run.h"
#include "command.h"
#include "shell.h"
#include "mainwindow-standin.h"
#include "script.h"
#include "shell-standin.h"
#include "shell-sys.h"
#include "test-support.h"
#include "script-test-support.h"
#include "vantor-core.h"

namespace {

class ShellTest : public testing::Test {
 protected:
  void SetUp() override {
    ShellStandInReset();
    log = TestStartLog(DEBUG_FILE);
    memset(&script, 0, sizeof script);
    strcpy(script.installPath, "C:\\Acme\\");
  }
  void TearDown() override {
    ShellServicesRemove();
    ShellStandInReset();
    TestStopLog();
    TestRemoveFile(log);
  }
  void Start() { ASSERT_EQ(1, ShellServicesInit()); }
  std::string Log() { return TestReadFile(log); }
  // Runs a handler on a copy of text; returns its answer and sets consumed.
  int Run(CommandHandler handler, const std::string &text) {
    buffer = text;
    consumed = 0;
    return handler(&script, &buffer[0], &consumed);
  }
  InstallScript script;
  std::string log, buffer;
  int32_t consumed = 0;
};

TEST_F(ShellTest, CreateGroupSendsTheNameUnchanged) {
  Start();
  EXPECT_EQ(1, Run(CmdCreateGroup, "My \"Best\" Tools\r\n"));
  EXPECT_STREQ("[CreateGroup(\"My \"Best\" Tools\")]\n", ShellStandInExecuted());
  EXPECT_EQ(15, consumed);
  EXPECT_EQ(nullptr, ShellStandInTopWindow());  // the window order stays
}

TEST_F(ShellTest, AddItemPrefixesTheInstallPathAndConsumesBothValues) {
  Start();
  int window;
  script.window = &window;
  EXPECT_EQ(1, Run(CmdAddItem, "bin\\app.exe" MARK "App\r\n" MARK "NEXT:\r\n"));
  EXPECT_STREQ("[AddItem(\"C:\\Acme\\bin\\app.exe\",\"App\")]\n", ShellStandInExecuted());
  EXPECT_EQ(15, consumed);  // the run loop resumes behind the caption, not at its separator
  EXPECT_EQ(&window, ShellStandInTopWindow());
}

// Program Manager takes a program alone: an item with arguments is a
// shortcut in the group's folder, the program and its arguments apart.
TEST_F(ShellTest, AddItemWithArgumentsIsAShortcutWithTheProgramAndItsArguments) {
  Start();
  EXPECT_EQ(1, Run(CmdCreateGroup, "Tools\r\n"));
  EXPECT_EQ(1, Run(CmdAddItem, "bin\\gdbserver.exe --version" MARK "Version\r\n"));
  EXPECT_EQ(1, Run(CmdAddItem, "\"my bin\\app.exe\"  -x \"a b\"" MARK "App\r\n"));
  EXPECT_EQ(1, Run(CmdAddItem, "\"my bin\\app.exe\"" MARK "Plain\r\n"));
  EXPECT_STREQ("[CreateGroup(\"Tools\")]\n[AddItem(\"C:\\Acme\\my bin\\app.exe\",\"Plain\")]\n", ShellStandInExecuted());
  EXPECT_STREQ("folder C:\\Start Menu\\Programs\\Tools\n"
               "link C:\\Start Menu\\Programs\\Tools\\Version.lnk -> C:\\Acme\\bin\\gdbserver.exe with --version (Version)\n"
               "folder C:\\Start Menu\\Programs\\Tools\n"
               "link C:\\Start Menu\\Programs\\Tools\\App.lnk -> C:\\Acme\\my bin\\app.exe with -x \"a b\" (App)\n",
               ShellStandInLinks());
}

// One value and CR LF: the CR is the separator, the caption starts at the LF
// and is empty.
TEST_F(ShellTest, AddItemWithOneValueGetsAnEmptyCaption) {
  Start();
  EXPECT_EQ(1, Run(CmdAddItem, "app.exe\r\n" MARK "BREAK:\r\n"));
  EXPECT_STREQ("[AddItem(\"C:\\Acme\\app.exe\",\"\")]\n", ShellStandInExecuted());
  EXPECT_EQ(8, consumed);
  // at the very end of the text nothing behind the terminator is read
  EXPECT_EQ(1, Run(CmdAddItem, std::string("app.exe\0garbage", 15)));
  EXPECT_EQ(7, consumed);
}

TEST_F(ShellTest, WithoutProgramManagerNothingIsSentAndTheCommandsSucceed) {
  ShellStandInNoProgMan(1);
  Start();
  EXPECT_NE(std::string::npos, Log().find("Couldn't get ProgMan, non-fatal, but no prog groups!\r\n"));
  EXPECT_EQ(1, Run(CmdCreateGroup, "Tools\r\n"));
  EXPECT_EQ(1, Run(CmdAddItem, "app.exe" MARK "App\r\n"));
  EXPECT_STREQ("", ShellStandInExecuted());
}

TEST_F(ShellTest, FailedTransactionFailsTheCommand) {
  Start();
  ShellStandInFailExecute(1);
  EXPECT_EQ(0, Run(CmdCreateGroup, "Tools\r\n"));
  EXPECT_NE(std::string::npos, Log().find("Unable to execute '[CreateGroup(\"Tools\")]'\r\n"));
  int window;
  script.window = &window;
  EXPECT_EQ(0, Run(CmdAddItem, "app.exe" MARK "App\r\n"));
  EXPECT_EQ(nullptr, ShellStandInTopWindow());
  // without a DDE instance there is nothing to send with
  ShellServicesRemove();
  ShellStandInFailExecute(0);
  EXPECT_EQ(0, ProgManExecute("[CreateGroup(\"x\")]"));
}

// A command that would not fit its buffer is refused, never sent cut short.
TEST_F(ShellTest, OverlongCommandsAreRefused) {
  Start();
  EXPECT_EQ(1, Run(CmdCreateGroup, std::string(142, 'g') + "\r\n"));
  EXPECT_EQ(0, Run(CmdCreateGroup, std::string(143, 'g') + "\r\n"));
  EXPECT_NE(std::string::npos, Log().find("Command too long for Program Manager (160 > 159)"));
  strcpy(script.installPath, std::string(150, 'p').c_str());
  EXPECT_EQ(1, Run(CmdAddItem, std::string(140, 'a') + MARK + std::string(13, 'c') + "\r\n"));
  EXPECT_EQ(0, Run(CmdAddItem, std::string(140, 'a') + MARK + std::string(14, 'c') + "\r\n"));
  EXPECT_EQ(1, (int)std::count(ShellStandInExecuted(), ShellStandInExecuted() + strlen(ShellStandInExecuted()), 'A'));
  // a value longer than its room would name another program: refused, not
  // cut; consumed still covers all of it
  std::string name(200, 'n');
  script.installPath[0] = 0;
  std::string sent = ShellStandInExecuted();
  EXPECT_EQ(0, Run(CmdAddItem, name + MARK "c\r\n"));
  EXPECT_EQ(202, consumed);
  EXPECT_EQ(sent, ShellStandInExecuted());  // nothing more was sent
  EXPECT_NE(std::string::npos, Log().find("Item value too long for Program Manager (> 159) '" + name.substr(0, 159) + "'"));
  EXPECT_EQ(0, Run(CmdAddItem, "app.exe" MARK + std::string(160, 'c') + "\r\n"));
  EXPECT_EQ(sent, ShellStandInExecuted());
}

TEST_F(ShellTest, OleRegistersInAnyCaseAndOtherwiseUnregisters) {
  ShellStandInAddLibrary("C:\\Acme\\lib.dll", 3, 0);
  EXPECT_EQ(1, Run(CmdOle, "register" MARK "lib.dll\r\n"));
  EXPECT_EQ(16, consumed);
  EXPECT_EQ(1, Run(CmdOle, "REGISTER" MARK "lib.dll\r\n"));
  EXPECT_EQ(1, Run(CmdOle, "UNREGISTER" MARK "lib.dll\r\n"));
  EXPECT_EQ(1, Run(CmdOle, MARK "lib.dll\r\n"));  // an empty mode unregisters
  EXPECT_EQ(1, Run(CmdOle, "REGISTERX" MARK "lib.dll\r\n"));
  EXPECT_STREQ(
      "DllRegisterServer C:\\Acme\\lib.dll\nDllRegisterServer C:\\Acme\\lib.dll\n"
      "DllUnregisterServer C:\\Acme\\lib.dll\nDllUnregisterServer C:\\Acme\\lib.dll\n"
      "DllUnregisterServer C:\\Acme\\lib.dll\n",
      ShellStandInLibraryCalls());
  EXPECT_EQ(0, ShellStandInLibrariesLoaded());
}

TEST_F(ShellTest, OleFailuresAreLoggedAndTheScriptGoesOn) {
  ShellStandInAddLibrary("C:\\Acme\\noentry.dll", 2, 0);
  ShellStandInAddLibrary("C:\\Acme\\fails.dll", 1, (int32_t)0x80004005);
  EXPECT_EQ(1, Run(CmdOle, "REGISTER" MARK "readme.txt\r\n"));
  EXPECT_EQ(1, Run(CmdOle, "REGISTER" MARK "noentry.dll\r\n"));
  EXPECT_EQ(1, Run(CmdOle, "REGISTER" MARK "fails.dll\r\n"));
  std::string text = Log();
  EXPECT_NE(std::string::npos, text.find("Error attempting to load 'C:\\Acme\\readme.txt' (0x0000007E)\r\n"));
  EXPECT_NE(std::string::npos, text.find("Couldn't get entry point from 'C:\\Acme\\noentry.dll'\r\n"));
  EXPECT_NE(std::string::npos, text.find("Failed in executing entry point from 'C:\\Acme\\fails.dll'\r\n"));
  EXPECT_EQ(0, ShellStandInLibrariesLoaded());
  EXPECT_EQ(1, OleSelfRegister("C:\\Acme\\noentry.dll", 0));
  EXPECT_EQ(0, OleSelfRegister("C:\\Acme\\fails.dll", 1));
}

TEST_F(ShellTest, FontsAreAddedAndRemovedWithTheirFile) {
  std::string path = "shell-test-font.ttf";
  FILE *f = fopen(path.c_str(), "wb");
  fputs("font", f);
  fclose(f);
  EXPECT_EQ(1, FontResourceAdd(path.c_str()));
  EXPECT_EQ(1, ShellStandInFontCount());
  EXPECT_EQ(1, FontResourceRemove(path.c_str()));
  EXPECT_EQ(0, ShellStandInFontCount());
  EXPECT_FALSE(TestFileExists(path));
  EXPECT_STREQ("font-change font-change", ShellStandInEvents());
  // the file is gone now: removing again still succeeds, and says so
  EXPECT_EQ(1, FontResourceRemove(path.c_str()));
  EXPECT_NE(std::string::npos, Log().find("Non-fatal unable to delete file 'shell-test-font.ttf'\r\n"));
}

TEST_F(ShellTest, FontFailuresKeepTheFile) {
  std::string path = "shell-test-font2.ttf";
  FILE *f = fopen(path.c_str(), "wb");
  fclose(f);
  ShellStandInFailFontAdd(1);
  EXPECT_EQ(0, FontResourceAdd(path.c_str()));
  ShellStandInFailFontRemove(1);
  EXPECT_EQ(0, FontResourceRemove(path.c_str()));
  EXPECT_TRUE(TestFileExists(path));
  std::string text = Log();
  EXPECT_NE(std::string::npos, text.find("Unable to add font resource for 'shell-test-font2.ttf' (0x00000002)\r\n"));
  EXPECT_NE(std::string::npos, text.find("Unable to remove font resource for 'shell-test-font2.ttf' (0x00000002)\r\n"));
  EXPECT_STREQ("", ShellStandInEvents());
  TestRemoveFile(path);
}

TEST_F(ShellTest, InitFailuresAreLogged) {
  ShellStandInFailOle(1);
  EXPECT_EQ(0, ShellServicesInit());
  EXPECT_STREQ("ole-init", ShellStandInEvents());
  ShellStandInReset();
  ShellStandInFailDde(1);
  EXPECT_EQ(0, ShellServicesInit());
  EXPECT_EQ(1, ShellServicesRemove());
  EXPECT_STREQ("ole-init dde-init ole-remove", ShellStandInEvents());
  std::string text = Log();
  EXPECT_NE(std::string::npos, text.find("Failed to initialize OLE\r\n"));
  EXPECT_NE(std::string::npos, text.find("Couldn't init DDE\r\n"));
}

// Through the run loop: the second value of a two-value command follows a
// 0x16 byte, which must not be taken for a command of its own.
TEST_F(ShellTest, RunLoopResumesBehindTheSecondValue) {
  TestWatchBoxes();
  CommandsInit();
  Start();
  ShellStandInAddLibrary("C:\\Acme\\lib.dll", 3, 0);
  InstallScript *record = TestMakeScript(
      MARK "CREATE GROUP:Tools\r\n" MARK "ADD ITEM:app.exe" MARK "App\r\n" MARK "OLE:REGISTER" MARK "lib.dll\r\n");
  strcpy(record->installPath, "C:\\Acme\\");
  EXPECT_EQ(1, ScriptRun(record));
  EXPECT_EQ(0, TestBoxCount());
  EXPECT_STREQ("[CreateGroup(\"Tools\")]\n[AddItem(\"C:\\Acme\\app.exe\",\"App\")]\n", ShellStandInExecuted());
  EXPECT_STREQ("DllRegisterServer C:\\Acme\\lib.dll\n", ShellStandInLibraryCalls());
  ScriptFree(&record);
  CommandsRemove();
}

}  // namespace

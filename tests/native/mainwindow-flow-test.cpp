// The main window on its stand-in: the step after a failed command asks
// whether to abort (No repeats the command in the same step, Yes ends), a
// paused script waits for the user to close the window, and start-up and
// shutdown bring the window and the install services up and down in order.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "script-run.h"
#include "command.h"
#include "installer-run-support.h"
#include "mainwindow.h"
#include "mainwindow-sys.h"
#include "pathdialog.h"
#include "script.h"
#include "process-sys.h"
#include "exit-codes.h"
#include "interact.h"
#include "run.h"

namespace {

typedef std::vector<std::string> Calls;

class MainWindowStepTest : public testing::Test {
 protected:
  void SetUp() override {
    TestRegisterKeywords();
    TestWatchBoxes();
    MainWindowStandInReset();
    RunBegin("");
    MainWindowSetStep(RunStep);
    ASSERT_EQ(1, MainWindowRegisterClass(NULL));
  }
  void TearDown() override {
    MainWindowSetScript(NULL);
    if (script) ScriptFree(&script);
    MainWindowUnregisterClass(NULL);
    MainWindowStandInReset();
    CommandsRemove();
  }
  // Creates the window over a record holding text, and sends the first step.
  void Start(const std::string &text) {
    script = TestMakeScript(text);
    strcpy(script->productName, "Widget");
    MainWindowSetScript(script);
    ASSERT_EQ(1, MainWindowCreate(NULL, &window));
    MainWindowSend(window, WM_SCRIPT_STEP);
  }
  InstallScript *script = nullptr;
  void *window = nullptr;
};

TEST_F(MainWindowStepTest, NoRepeatsTheFailedCommandThenTheScriptEnds) {
  TestQueueBoxAnswer(SYS_IDNO);
  Start(MARK "FAIL:\r\n" MARK "ONE:a\r\n");
  EXPECT_EQ(Calls({"FAIL", "FAIL", "ONE(a)"}), testCalls);
  EXPECT_EQ(2, script->installSize);  // the retry saw what the failed attempt left
  EXPECT_EQ(EXIT_INSTALLED, RunExitCode());  // the retry went through
  EXPECT_EQ(1, TestBoxCount());
  EXPECT_EQ(ABORT_QUESTION, TestLastBoxText());
  EXPECT_EQ("Widget Installation...", TestLastBoxCaption());
  EXPECT_EQ(SYS_MB_YESNO | SYS_MB_ICONQUESTION, SysStandInLastBox()->style);
  EXPECT_EQ(window, SysStandInLastBox()->owner);
  // the end of the text closes the window from inside the one step
  EXPECT_STREQ("create step destroy", MainWindowStandInEvents());
  EXPECT_EQ(0, MainWindowMessageLoop());
  EXPECT_STREQ("create step destroy quit", MainWindowStandInEvents());
}

TEST_F(MainWindowStepTest, YesEndsWithTheCursorOnTheFailedCommand) {
  TestQueueBoxAnswer(SYS_IDYES);
  Start(MARK "FAIL:\r\n" MARK "ONE:a\r\n");
  EXPECT_EQ(Calls({"FAIL"}), testCalls);
  EXPECT_EQ(script->text, script->cursor);
  EXPECT_EQ(EXIT_COMMAND_FAILED, RunExitCode());
  EXPECT_STREQ("create step destroy", MainWindowStandInEvents());
}

TEST_F(MainWindowStepTest, UnknownKeywordInALaterRunAsksAgainAfterNo) {
  TestQueueBoxAnswer(SYS_IDOK);
  TestQueueBoxAnswer(SYS_IDNO);
  TestQueueBoxAnswer(SYS_IDOK);
  TestQueueBoxAnswer(SYS_IDYES);
  Start(MARK "NOPE:x\r\n");
  EXPECT_EQ(4, TestBoxCount());
  EXPECT_EQ(ABORT_QUESTION, TestLastBoxText());
  EXPECT_STREQ("create step destroy", MainWindowStandInEvents());
}

// Retries do not grow the stack: 200 No answers, then the command passes.
TEST_F(MainWindowStepTest, TwoHundredRetriesRunAtOneDepth) {
  TestFailTimes(200);
  for (int i = 0; i < 200; i++) TestQueueBoxAnswer(SYS_IDNO);
  Start(MARK "FAIL:\r\n" MARK "ONE:a\r\n");
  EXPECT_EQ(201, script->installSize);
  EXPECT_EQ(200, TestBoxCount());
  EXPECT_EQ("ONE(a)", testCalls.back());
  EXPECT_LT(TestFailStackSpread(), 256u);
  EXPECT_STREQ("create step destroy", MainWindowStandInEvents());
}

TEST_F(MainWindowStepTest, SecondBreakWaitsUntilTheWindowIsClosed) {
  Start(MARK "ONE:a\r\n" MARK "BREAK:\r\n" MARK "ONE:b\r\n");
  EXPECT_EQ(Calls({"ONE(a)"}), testCalls);
  EXPECT_STREQ("create step", MainWindowStandInEvents());
  // nothing steps the script on: the user closes the window, no question
  EXPECT_EQ(0, MainWindowMessageLoop());
  EXPECT_STREQ("create step close destroy quit", MainWindowStandInEvents());
  EXPECT_EQ(Calls({"ONE(a)"}), testCalls);
  EXPECT_EQ(0, TestBoxCount());
}

TEST_F(MainWindowStepTest, TitleComesFromTheProductName) {
  Start(MARK "BREAK:\r\n");
  EXPECT_STREQ("Widget Installation", MainWindowStandInTitle());
}

// ---- start-up and shutdown through InstallerMain --------------------------

using MainWindowStartTest = InstallerRunTest;

TEST_F(MainWindowStartTest, PausedScriptRunsInTheWindowAndShutsDownInOrder) {
  EXPECT_EQ(0, RunScript("mainwindow-paused", MARK "BREAK:\r\n" MARK "BREAK:\r\n"));
  EXPECT_STREQ("create show step close destroy quit", MainWindowStandInEvents());
  EXPECT_EQ(0, MainWindowStandInRegistered());
  EXPECT_EQ(nullptr, MainWindowScript());
  EXPECT_STREQ("ole-init dde-init connect disconnect dde-remove ole-remove", ShellStandInEvents());
  std::string log = Log();
  EXPECT_NE(std::string::npos, log.find("Break Encountered\r\nBreak Encountered\r\n"));
  EXPECT_TRUE(EndsWithExit());
  EXPECT_EQ(std::string::npos, log.find("Not all memory was free'd"));
}

// Without a BREAK the whole script runs before the window exists; the
// window's run finds nothing, logs the summary again and closes at once.
TEST_F(MainWindowStartTest, ScriptWithoutBreakOpensAndClosesTheWindow) {
  EXPECT_EQ(0, RunScript("mainwindow-nobreak", "\r\n"));
  EXPECT_STREQ("create show step destroy quit", MainWindowStandInEvents());
  std::string log = Log();
  size_t first = log.find("Company Name   : \r\n");
  ASSERT_NE(std::string::npos, first);
  EXPECT_NE(std::string::npos, log.find("Company Name   : \r\n", first + 1));
  EXPECT_TRUE(EndsWithExit());
}

// The person closes the window while commands are left: cancelled.
TEST_F(MainWindowStartTest, ClosingTheWindowBeforeTheEndCancels) {
  EXPECT_EQ(EXIT_CANCELLED, RunScript("mainwindow-closed", MARK "BREAK:\r\n" MARK "BREAK:\r\n" MARK "BREAK:\r\n"));
  EXPECT_STREQ("create show step close destroy quit", MainWindowStandInEvents());
  EXPECT_TRUE(EndsWithExit(EXIT_CANCELLED));
}

TEST_F(MainWindowStartTest, FailedFirstRunShowsNoWindow) {
  EXPECT_EQ(EXIT_COMMAND_FAILED, RunScript("mainwindow-unknown", MARK "NOPE:\r\n"));
  EXPECT_EQ(1, TestBoxCount());
  EXPECT_EQ("Unknown script keyword...", TestLastBoxCaption());
  EXPECT_STREQ("", MainWindowStandInEvents());
  EXPECT_TRUE(EndsWithExit(EXIT_COMMAND_FAILED));
}

// Nothing is shut down then, so each case runs in a process of its own, which
// reports what it saw on standard error.
TEST_F(MainWindowStartTest, ClassOrWindowFailureReturnsAtOnce) {
  WriteScript("mainwindow-nowindow", MARK "BREAK:\r\n");
  EXPECT_EXIT(
      {
        MainWindowStandInFailRegister(1);
        int rc = Run("mainwindow-nowindow");
        fprintf(stderr, "events [%s] exit logged %d\n", MainWindowStandInEvents(), EndsWithExit());
        exit(rc);
      },
      testing::ExitedWithCode(EXIT_INTERNAL_ERROR), "events \\[\\] exit logged 0");
  EXPECT_EXIT(
      {
        MainWindowStandInFailCreate(1);
        int rc = Run("mainwindow-nowindow");
        fprintf(stderr, "registered %d exit logged %d\n", MainWindowStandInRegistered(), EndsWithExit());
        exit(rc);
      },
      testing::ExitedWithCode(EXIT_INTERNAL_ERROR), "registered 1 exit logged 0");
}

TEST_F(MainWindowStartTest, MissingArchiveStillStopsTheInstallServices) {
  EXPECT_EQ(EXIT_DAMAGED, Run("no-such-installer"));
  EXPECT_EQ(PROBLEM_CAPTION, TestLastBoxCaption());
  EXPECT_STREQ("ole-init dde-init connect disconnect dde-remove ole-remove", ShellStandInEvents());
  EXPECT_STREQ("", MainWindowStandInEvents());
  EXPECT_TRUE(EndsWithExit(EXIT_DAMAGED));
}

TEST_F(MainWindowStartTest, NoProgramManagerIsLoggedAndNotFatal) {
  ShellStandInNoProgMan(1);
  EXPECT_EQ(0, RunScript("mainwindow-noprogman", MARK "BREAK:\r\n" MARK "BREAK:\r\n"));
  EXPECT_NE(std::string::npos, Log().find("Couldn't get ProgMan, non-fatal, but no prog groups!\r\n"));
  EXPECT_STREQ("ole-init dde-init connect dde-remove ole-remove", ShellStandInEvents());
}

TEST_F(MainWindowStartTest, InstallServicesThatCannotStartAreFatal) {
  WriteScript("mainwindow-noinit", "\r\n");
  EXPECT_EXIT(
      {
        ShellStandInFailOle(1);
        Run("mainwindow-noinit");
      },
      testing::ExitedWithCode(1), "Couldn't init install");
  EXPECT_EXIT(
      {
        ShellStandInFailDde(1);
        Run("mainwindow-noinit");
      },
      testing::ExitedWithCode(1), "Couldn't init install");
}

}  // namespace

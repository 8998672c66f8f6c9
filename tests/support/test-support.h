// Helpers shared by the test programs of both targets.
#ifndef TEST_SUPPORT_H
#define TEST_SUPPORT_H

#include <stdint.h>

#include <string>
#include <vector>

#include "script-format.h"

// The script's mark as a string literal, to stand among the literals around
// it: MARK "BREAK:\r\n" MARK "ONE:a" MARK "b\r\n".
#define MARK "\x16"
static_assert(MARK[0] == SCRIPT_MARK, "MARK is the script's mark");

// Answer of the next message box: a queued answer, else OK or Yes. After
// 100 answers without a queued one in a test, the test program aborts (a
// question asked for ever would hang the test). TestResetBoxAnswers starts
// that count again; the test main calls it before every test.
int TestNextBoxAnswer(uint32_t style);
void TestQueueBoxAnswer(int answer);
void TestResetBoxAnswers();

// A death test's pattern for exactly the fatal box with text (its line end
// left off): "[message box] " ABORT_CAPTION ": " text, taken literally.
std::string TestFatalBox(const std::string &text);

// Reads a whole file; empty when it cannot be read.
std::string TestReadFile(const std::string &path);
bool TestFileExists(const std::string &path);
void TestRemoveFile(const std::string &path);

// Starts the log on a fresh file in the program's directory with the flags
// given, and returns the log path.
std::string TestStartLog(int flags);
// Switches logging off again (flags 0).
void TestStopLog();

// Runs one of ffsbuild's commands (CliBuild, CliPack, ...) with args (the
// words after the command's name): its exit code and what it printed.
struct CliResult {
  int rc;
  std::string out, err;
};
CliResult TestRunCli(int (*command)(int, char **), std::vector<std::string> args);

#endif

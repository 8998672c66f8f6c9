#include "test-support.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <deque>

#include <gtest/gtest.h>

#include "process-sys.h"
#include "vantor-core.h"

static std::deque<int> answers;
static int unqueued;  // answers given without a queued one, in this test

// A question asked again and again (a retry that can never succeed) must
// fail its test, not hang it: the default answers are bounded.
static const int kMostUnqueuedAnswers = 100;

void TestQueueBoxAnswer(int answer) { answers.push_back(answer); }

void TestResetBoxAnswers() { unqueued = 0; }

int TestNextBoxAnswer(uint32_t style) {
  if (!answers.empty()) {
    int a = answers.front();
    answers.pop_front();
    return a;
  }
  if (++unqueued > kMostUnqueuedAnswers) {
    fprintf(stderr, "the scripted user was asked more than %d times without a queued answer\n",
            kMostUnqueuedAnswers);
    fflush(stderr);
    abort();
  }
  return (style & 0xF) == SYS_MB_YESNO ? SYS_IDYES : SYS_IDOK;
}

std::string TestFatalBox(const std::string &text) {
  std::string out;
  for (char c : "[message box] " ABORT_CAPTION ": " + text) {
    if (strchr("\\.()[]{}*+?^$|", c) != NULL) out += '\\';
    out += c;
  }
  return out + "\n";
}

std::string TestReadFile(const std::string &path) {
  std::string out;
  FILE *f = fopen(path.c_str(), "rb");
  if (!f) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
  fclose(f);
  return out;
}

bool TestFileExists(const std::string &path) {
  FILE *f = fopen(path.c_str(), "rb");
  if (!f) return false;
  fclose(f);
  return true;
}

void TestRemoveFile(const std::string &path) { remove(path.c_str()); }

std::string TestStartLog(int flags) {
  DebugInit("test-debug.log", 0);
  std::string path = DebugLogPath();
  TestRemoveFile(path);
  DebugInit("test-debug.log", flags);
  return path;
}

void TestStopLog() { DebugInit("test-debug.log", 0); }

CliResult TestRunCli(int (*command)(int, char **), std::vector<std::string> args) {
  std::vector<char *> argv;
  for (std::string &a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  CliResult r;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  r.rc = command((int)args.size(), argv.data());
  fflush(stdout);
  fflush(stderr);
  r.out = testing::internal::GetCapturedStdout();
  r.err = testing::internal::GetCapturedStderr();
  return r;
}

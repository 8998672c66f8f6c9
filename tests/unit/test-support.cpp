#include "test-support.h"

#include <stdio.h>

#include <deque>

#include "sys.h"
#include "vantor-core.h"

static std::deque<int> answers;

void TestQueueBoxAnswer(int answer) { answers.push_back(answer); }

int TestNextBoxAnswer(uint32_t style) {
  if (!answers.empty()) {
    int a = answers.front();
    answers.pop_front();
    return a;
  }
  return (style & 0xF) == SYS_MB_YESNO ? SYS_IDYES : SYS_IDOK;
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

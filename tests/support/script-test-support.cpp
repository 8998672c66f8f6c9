#include "script-test-support.h"

#include <stdio.h>
#include <string.h>

#include "args.h"
#include "command.h"
#include "process-sys.h"
#include "test-support.h"
#include "vantor-core.h"

std::vector<std::string> testCalls;

InstallScript *TestMakeScript(const std::string &text) {
  InstallScript *script = (InstallScript *)MEM_ALLOC((int)sizeof(InstallScript));
  script->textLength = (int32_t)text.size();
  script->text = (char *)MEM_ALLOC(script->textLength + 1);
  memcpy(script->text, text.data(), text.size());
  script->cursor = script->text;
  return script;
}

namespace {

// Reads count arguments and records "name(a|b|...)".
int Record(const InstallScript *script, const char *name, int count, bool withEnd, char *args, int32_t *consumed) {
  ArgReader reader;
  ArgBeginScript(&reader, script, args);
  std::string call = std::string(name) + "(";
  for (int i = 0; i < count; i++) {
    char buffer[160];
    ArgNext(&reader, buffer, sizeof buffer);
    call += (i ? "|" : "") + std::string(buffer);
  }
  testCalls.push_back(call + ")");
  *consumed = withEnd ? ArgConsumedWithEnd(&reader) : ArgConsumed(&reader);
  return 1;
}

int CmdTestOne(InstallScript *s, char *args, int32_t *consumed) { return Record(s, "ONE", 1, false, args, consumed); }
int CmdTestTwo(InstallScript *s, char *args, int32_t *consumed) { return Record(s, "TWO", 2, false, args, consumed); }
int CmdTestList(InstallScript *s, char *args, int32_t *consumed) { return Record(s, "LIST", 1, true, args, consumed); }
int CmdTestNine(InstallScript *s, char *args, int32_t *consumed) { return Record(s, "NINE", 9, true, args, consumed); }
int CmdTestCompany(InstallScript *s, char *args, int32_t *consumed) {
  return Record(s, "COMPANY NAME", 1, false, args, consumed);
}

int failCalls, failTimes = 1;
uintptr_t failStackLow, failStackHigh;
int CmdTestFail(InstallScript *script, char *, int32_t *) {
  volatile char here = 0;
  uintptr_t at = (uintptr_t)&here;
  if (failCalls == 0 || at < failStackLow) failStackLow = at;
  if (failCalls == 0 || at > failStackHigh) failStackHigh = at;
  testCalls.push_back("FAIL");
  script->installSize++;
  return failCalls++ >= failTimes;
}

int boxCount;
std::string boxText, boxCaption;

int RecordBox(void *, const char *text, const char *caption, uint32_t style) {
  fprintf(stderr, "[message box] %s: %s\n", caption, text);
  boxCount++;
  boxText = text;
  boxCaption = caption;
  return TestNextBoxAnswer(style);
}

}  // namespace

void TestRegisterKeywords() {
  CommandsRemove();
  testCalls.clear();
  failCalls = 0;
  failTimes = 1;
  CommandRegister("ONE", CmdTestOne);
  CommandRegister("TWO", CmdTestTwo);
  CommandRegister("LIST", CmdTestList);
  CommandRegister("NINE", CmdTestNine);
  CommandRegister("FAIL", CmdTestFail);
  CommandRegister("COMPANY NAME", CmdTestCompany);
  CommandRegister("BREAK", CmdBreak);
}

void TestFailTimes(int times) { failTimes = times; }
uintptr_t TestFailStackSpread() { return failStackHigh - failStackLow; }

void TestWatchBoxes() {
  SysSetMessageBoxHook(RecordBox);
  boxCount = 0;
  boxText.clear();
  boxCaption.clear();
}

int TestBoxCount() { return boxCount; }
const std::string &TestLastBoxText() { return boxText; }
const std::string &TestLastBoxCaption() { return boxCaption; }

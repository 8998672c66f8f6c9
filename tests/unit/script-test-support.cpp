#include "script-test-support.h"

#include <stdio.h>
#include <string.h>

#include "args.h"
#include "command.h"
#include "sys.h"
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
int Record(const char *name, int count, bool withEnd, char *args, int32_t *consumed) {
  ArgReader reader;
  ArgBegin(&reader, args);
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

int CmdTestOne(InstallScript *, char *args, int32_t *consumed) { return Record("ONE", 1, false, args, consumed); }
int CmdTestTwo(InstallScript *, char *args, int32_t *consumed) { return Record("TWO", 2, false, args, consumed); }
int CmdTestList(InstallScript *, char *args, int32_t *consumed) { return Record("LIST", 1, true, args, consumed); }
int CmdTestNine(InstallScript *, char *args, int32_t *consumed) { return Record("NINE", 9, true, args, consumed); }
int CmdTestCompany(InstallScript *, char *args, int32_t *consumed) {
  return Record("COMPANY NAME", 1, false, args, consumed);
}

int failCalls;
int CmdTestFail(InstallScript *script, char *, int32_t *) {
  testCalls.push_back("FAIL");
  script->installSize++;
  return failCalls++ > 0;
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
  CommandRegister("ONE", CmdTestOne);
  CommandRegister("TWO", CmdTestTwo);
  CommandRegister("LIST", CmdTestList);
  CommandRegister("NINE", CmdTestNine);
  CommandRegister("FAIL", CmdTestFail);
  CommandRegister("COMPANY NAME", CmdTestCompany);
  CommandRegister("BREAK", CmdBreak);
}

void TestWatchBoxes() {
  SysSetMessageBoxHook(RecordBox);
  boxCount = 0;
  boxText.clear();
  boxCaption.clear();
}

int TestBoxCount() { return boxCount; }
const std::string &TestLastBoxText() { return boxText; }
const std::string &TestLastBoxCaption() { return boxCaption; }

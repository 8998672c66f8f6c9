// Helpers for the script engine's tests: records made from literal bytes,
// a table of test keywords whose handlers record what they read, and a
// message-box hook that keeps the last box.
#ifndef SCRIPT_TEST_SUPPORT_H
#define SCRIPT_TEST_SUPPORT_H

#include <stdint.h>

#include <string>
#include <vector>

#include "script.h"
#include "test-support.h"

// A record as ScriptLoad leaves it, holding text; release with ScriptFree.
InstallScript *TestMakeScript(const std::string &text);

// Replaces the keyword table by the test keywords:
//   ONE     one argument, records "ONE(a)"
//   TWO     two arguments, records "TWO(a|b)"
//   LIST    one argument counted with the byte after it, records "LIST(a)"
//   NINE    nine arguments counted with the byte after the last, "NINE(a|...|i)"
//   FAIL    answers 0 on its first call (or first TestFailTimes calls), 1
//           afterwards; adds 1 to installSize each time; records "FAIL"
//   COMPANY NAME  one argument, records "COMPANY NAME(a)"
//   BREAK   the real CmdBreak
void TestRegisterKeywords();
void TestFailTimes(int times);
// How far apart on the stack FAIL's calls ran, in bytes: retries that nest
// show as a spread growing with their number.
uintptr_t TestFailStackSpread();
// What the test handlers recorded, in order, since the last registration.
extern std::vector<std::string> testCalls;

// Message boxes: every box is recorded (and answered as the test program
// does); count and last box since TestWatchBoxes.
void TestWatchBoxes();
int TestBoxCount();
const std::string &TestLastBoxText();
const std::string &TestLastBoxCaption();

#endif

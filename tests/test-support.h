// Helpers shared by the test programs of both targets.
#ifndef TEST_SUPPORT_H
#define TEST_SUPPORT_H

#include <stdint.h>

#include <string>

// Answer of the next message box: a queued answer, else OK or Yes.
int TestNextBoxAnswer(uint32_t style);
void TestQueueBoxAnswer(int answer);

// Reads a whole file; empty when it cannot be read.
std::string TestReadFile(const std::string &path);
bool TestFileExists(const std::string &path);
void TestRemoveFile(const std::string &path);

// Starts the log on a fresh file in the program's directory with the flags
// given, and returns the log path.
std::string TestStartLog(int flags);
// Switches logging off again (flags 0).
void TestStopLog();

#endif

// Diagnostics log, switches, assertions, fatal errors, tokens and CRC-32.
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "test-support.h"
#include "vantor-core.h"

namespace {

int Flags(const char *args) {
  int flags = -1;
  EXPECT_EQ(1, DebugParseSwitches(args, &flags));
  return flags;
}

TEST(DebugSwitches, TableOfCombinations) {
  EXPECT_EQ(0, Flags(""));
  EXPECT_EQ(6, Flags("-debug"));
  EXPECT_EQ(7, Flags("-debug -window"));
  EXPECT_EQ(14, Flags("-append -debug"));
  EXPECT_EQ(1, Flags("-window"));
  EXPECT_EQ(8, Flags("-append"));
  EXPECT_EQ(15, Flags("x-windowy -appendix c:\\-debug\\"));  // substrings count anywhere
  EXPECT_EQ(0, Flags("-DEBUG -Window"));                      // case-sensitive
}

TEST(DebugLog, NoSwitchesWritesNothing) {
  std::string path = TestStartLog(0);
  EXPECT_EQ(1, DebugPrintf("hello %d\n", 5));
  DebugSection("Memory Init");
  EXPECT_FALSE(TestFileExists(path));
}

TEST(DebugLog, BannerEmptiesFileAndLinesGetCrLf) {
  std::string path = TestStartLog(DEBUG_FILE | DEBUG_REPORT);
  EXPECT_EQ(5, DebugPrintf("a%sc\n", "bb"));
  TestStopLog();
  EXPECT_EQ("Vantor v0.22\r\nabbc\r\n", TestReadFile(path));
  // A second run without -append starts the file afresh.
  DebugInit("test-debug.log", DEBUG_FILE | DEBUG_REPORT);
  DebugPrintf("second\n");
  TestStopLog();
  EXPECT_EQ("Vantor v0.22\r\nsecond\r\n", TestReadFile(path));
  // With -append the lines accumulate.
  DebugInit("test-debug.log", DEBUG_FILE | DEBUG_REPORT | DEBUG_APPEND);
  DebugPrintf("third\n");
  TestStopLog();
  EXPECT_EQ("Vantor v0.22\r\nsecond\r\nVantor v0.22\r\nthird\r\n", TestReadFile(path));
  TestRemoveFile(path);
}

TEST(DebugLog, AppendAloneFormatsAndDrops) {
  std::string path = TestStartLog(DEBUG_APPEND);
  EXPECT_EQ(5, DebugPrintf("%s\n", "abcd"));
  TestStopLog();
  EXPECT_FALSE(TestFileExists(path));
}

TEST(DebugLog, SectionLinesAreAlways79Characters) {
  std::string path = TestStartLog(DEBUG_FILE);
  DebugSection("Memory Init");
  DebugSection(NULL);
  std::string name73(73, 'n'), name74(74, 'n'), name80(80, 'n');
  DebugSection(name73.c_str());
  DebugSection(name74.c_str());
  DebugSection(name80.c_str());
  TestStopLog();
  std::string expect = "\r\n====[Memory Init]" + std::string(79 - 17, '=') + "\r\n";
  expect += std::string(79, '=') + "\r\n";
  expect += "\r\n====[" + name73 + "]\r\n";                // exactly fits with its bracket
  expect += "\r\n====[" + name74.substr(0, 74) + "\r\n";  // bracket lost
  expect += "\r\n====[" + name80.substr(0, 74) + "\r\n";
  EXPECT_EQ(expect, TestReadFile(path));
  TestRemoveFile(path);
}

TEST(DebugLog, LongTextIsBoundedThenFatal) {
  std::string path = TestStartLog(DEBUG_FILE);
  std::string exact(2048, 'x');
  EXPECT_EQ(2048, DebugPrintf("%s", exact.c_str()));
  std::string longer(3000, 'y');
  EXPECT_EXIT(DebugPrintf("%s", longer.c_str()), testing::ExitedWithCode(1),
              TestFatalBox("Last string too large (3000)"));
  TestStopLog();
  std::string log = TestReadFile(path);
  // The first 2,048 characters of the long text were written, nothing beyond.
  EXPECT_NE(std::string::npos, log.find(exact));
  EXPECT_NE(std::string::npos, log.find(std::string(2048, 'y')));
  EXPECT_EQ(std::string::npos, log.find(std::string(2049, 'y')));
  EXPECT_NE(std::string::npos, log.find("\r\n\r\nABORT: Last string too large (3000)\r\n       ("));
  TestRemoveFile(path);
}

TEST(DebugAssertDeath, WithoutSwitchesEndsSilentlyWithCode1) {
  TestStopLog();
  EXPECT_EXIT(ASSERT(0, "Pointer is NULL\n"), testing::ExitedWithCode(1), "^$");
}

TEST(DebugAssertDeath, WithLogWritesTextAndLocation) {
  std::string path = TestStartLog(DEBUG_FILE);
  int line = __LINE__ + 1;
  EXPECT_EXIT(ASSERT(1 == 2, "Pointer is NULL\n"), testing::ExitedWithCode(1), "^$");
  TestStopLog();
  std::string expect = std::string("\r\n\r\nASSERT: Pointer is NULL\r\n        (") + __FILE__ + "/" +
                       std::to_string(line) + ")\r\n";
  EXPECT_EQ(expect, TestReadFile(path));
  TestRemoveFile(path);
}

TEST(DebugAbortDeath, AlwaysShowsBoxAndExits1) {
  TestStopLog();
  EXPECT_EXIT(ABORT("Couldn't init install\n"), testing::ExitedWithCode(1),
              TestFatalBox("Couldn't init install"));
}

TEST(DebugAbortDeath, AssertAndAbortKeepSeparateLocations) {
  std::string path = TestStartLog(DEBUG_FILE);
  int abortLine = __LINE__ + 3;
  EXPECT_EXIT(
      {
        DebugSetAbortWhere("abort-site.cpp", 77);
        ASSERT(1, "never\n");  // records its own location only
        DebugAbort("boom %d\n", 3);
      },
      testing::ExitedWithCode(1), "boom 3");
  (void)abortLine;
  TestStopLog();
  EXPECT_EQ("\r\n\r\nABORT: boom 3\r\n       (abort-site.cpp/77)\r\n", TestReadFile(path));
  TestRemoveFile(path);
}

// An assertion or fatal text longer than the line buffer: the buffer's worth
// is written, then the overflow itself is fatal.
TEST(DebugAbortDeath, OverlongAssertAndAbortTextsReportTheirLength) {
  // Each death test's log is read before the next: on Windows the child runs
  // the test from its start and so starts the log afresh.
  std::string path = TestStartLog(DEBUG_FILE);
  std::string longer(3000, 'z');
  EXPECT_EXIT(ASSERT(0, "%s", longer.c_str()), testing::ExitedWithCode(1),
              TestFatalBox("Last string too large (3010)"));
  EXPECT_NE(std::string::npos, TestReadFile(path).find("\r\n\r\nABORT: Last string too large (3010)\r\n"));
  EXPECT_EXIT(DebugAbort("%s", longer.c_str()), testing::ExitedWithCode(1),
              TestFatalBox("Last string too large (3009)"));
  EXPECT_NE(std::string::npos, TestReadFile(path).find("\r\n\r\nABORT: Last string too large (3009)\r\n"));
  TestStopLog();
  TestRemoveFile(path);
}

TEST(CmdLine, QuotedExample) {
  const char *text = "a  \"b c\" d";
  EXPECT_EQ(text, CmdLineFindArg(text, 0));
  EXPECT_EQ(text + 3, CmdLineFindArg(text, 1));
  EXPECT_EQ(text + 9, CmdLineFindArg(text, 2));
  EXPECT_EQ(NULL, CmdLineFindArg(text, 3));
  char out[64];
  EXPECT_EQ(1, CmdLineGetArg(text, 1, out));
  EXPECT_STREQ("b c", out);
  EXPECT_EQ(0, CmdLineGetArg(text, 3, out));
  EXPECT_STREQ("", out);
}

TEST(CmdLine, QuotedProgramPathWithBlanksAndControls) {
  char out[64];
  const char *line = "  \"C:\\Program Files\\My App\\install.exe\"  -debug\r\n-x";
  EXPECT_EQ(1, CmdLineGetArg(line, 0, out));
  EXPECT_STREQ("C:\\Program Files\\My App\\install.exe", out);
  EXPECT_EQ(1, CmdLineGetArg(line, 1, out));
  EXPECT_STREQ("-debug", out);
  EXPECT_EQ(1, CmdLineGetArg(line, 2, out));
  EXPECT_STREQ("-x", out);
  // A tab neither separates nor counts; it ends a copied token.
  EXPECT_EQ(NULL, CmdLineFindArg("\t\t", 0));
  EXPECT_EQ(1, CmdLineGetArg("ab\tcd ef", 0, out));
  EXPECT_STREQ("ab", out);
  EXPECT_EQ(1, CmdLineGetArg("ab\tcd ef", 1, out));
  EXPECT_STREQ("ef", out);
}

TEST(CmdLine, BoundedCopyCutsLongToken) {
  char out[8];
  memset(out, 'Z', sizeof out);
  EXPECT_EQ(1, CmdLineGetArgN("abcdefghijkl", 0, out, 5));
  EXPECT_STREQ("abcd", out);
  EXPECT_EQ('Z', out[5]);
}

TEST(Crc32, CheckValueAndEmpty) {
  EXPECT_EQ(0xCBF43926u, Crc32("123456789", 9));
  EXPECT_EQ(0u, Crc32("x", 0));
  EXPECT_EQ(0u, Crc32("x", -5));
  EXPECT_EQ(0x69BD3630u, Crc32("INSTALL.DAT", 11));
  EXPECT_EQ(0x968D9A34u, Crc32("A.TXT", 5));
}

TEST(BoundedFormat, ReportsFullLengthAndTerminates) {
  char buffer[8];
  EXPECT_EQ(11, VantorFormat(buffer, sizeof buffer, "%s-%d", "abcdef", 1234));
  EXPECT_STREQ("abcdef-", buffer);
  EXPECT_EQ(3, VantorFormat(buffer, sizeof buffer, "%d", 123));
  EXPECT_STREQ("123", buffer);
}

}  // namespace

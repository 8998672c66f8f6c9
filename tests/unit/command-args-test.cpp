// The argument-reading rules shared by every handler.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include "args.h"
#include "script.h"
#include "test-support.h"

namespace {

TEST(ArgRead, ArgumentEndsAtTheFirstControlByte) {
  EXPECT_EQ(5, ArgLength("a b c\r\n"));
  EXPECT_EQ(2, ArgLength("ab\tcd"));
  EXPECT_EQ(0, ArgLength(MARK "x"));
  EXPECT_EQ(4, ArgLength("\x80\xFF\x20\x7F\x1F"));
  EXPECT_EQ(0, ArgLength(""));
}

TEST(ArgRead, CopyIsCutToTheRoomButReportsTheWholeLength) {
  char buffer[6];
  memset(buffer, 'Z', sizeof buffer);
  EXPECT_EQ(11, ArgCopy("hello world\r\n", buffer, sizeof buffer));
  EXPECT_STREQ("hello", buffer);
  EXPECT_EQ(0, ArgCopy("\r\n", buffer, sizeof buffer));
  EXPECT_STREQ("", buffer);
  char one[1];
  EXPECT_EQ(3, ArgCopy("abc", one, 1));
  EXPECT_STREQ("", one);
}

TEST(ArgRead, SeveralArgumentsStepOverOneByteEach) {
  const char *text = "ab" MARK "cd" MARK MARK "ef\r\nnext";
  ArgReader reader;
  ArgBegin(&reader, text);
  char buffer[16];
  EXPECT_EQ(2, ArgNext(&reader, buffer, sizeof buffer));
  EXPECT_STREQ("ab", buffer);
  EXPECT_EQ(2, ArgNext(&reader, buffer, sizeof buffer));
  EXPECT_STREQ("cd", buffer);
  EXPECT_EQ(0, ArgNext(&reader, buffer, sizeof buffer));  // two bytes: an empty argument
  EXPECT_STREQ("", buffer);
  EXPECT_EQ(2, ArgSkip(&reader));
  EXPECT_EQ(9, ArgConsumed(&reader));          // up to the end of "ef"
  EXPECT_EQ(10, ArgConsumedWithEnd(&reader));  // and the CR after it
}

TEST(ArgRead, NothingIsReadPastTheEndOfTheText) {
  const char text[] = "only";
  ArgReader reader;
  ArgBegin(&reader, text);
  char buffer[16];
  EXPECT_EQ(4, ArgNext(&reader, buffer, sizeof buffer));
  for (int i = 0; i < 5; i++) {
    EXPECT_EQ(0, ArgNext(&reader, buffer, sizeof buffer));
    EXPECT_STREQ("", buffer);
  }
  EXPECT_EQ(4, ArgConsumed(&reader));
  EXPECT_EQ(4, ArgConsumedWithEnd(&reader));
  EXPECT_EQ(text + 4, reader.next);
}

// Inside the script a NUL between arguments is stepped over like any byte;
// only the script's own end stops the reader.
TEST(ArgRead, NulBetweenArgumentsIsSteppedOverUpToTheScriptsEnd) {
  char text[] = "ab\0cd\0";  // the script's bytes, then its terminator
  InstallScript script;
  memset(&script, 0, sizeof script);
  script.text = text;
  script.textLength = 6;
  ArgReader reader;
  ArgBeginScript(&reader, &script, text);
  char buffer[16];
  EXPECT_EQ(2, ArgNext(&reader, buffer, sizeof buffer));
  EXPECT_EQ(2, ArgNext(&reader, buffer, sizeof buffer));
  EXPECT_STREQ("cd", buffer);
  EXPECT_EQ(0, ArgNext(&reader, buffer, sizeof buffer));  // the last script byte, a NUL
  EXPECT_EQ(0, ArgNext(&reader, buffer, sizeof buffer));  // the end: no further
  EXPECT_EQ(text + 6, reader.next);
  EXPECT_EQ(6, ArgConsumedWithEnd(&reader));
  // A text outside the script ends at its first NUL.
  const char other[] = "ab\0cd";
  ArgBeginScript(&reader, &script, other);
  ArgNext(&reader, buffer, sizeof buffer);
  EXPECT_EQ(0, ArgNext(&reader, buffer, sizeof buffer));
  EXPECT_EQ(other + 2, reader.next);
}

TEST(ArgNumber, WholeNumbers) {
  EXPECT_EQ(42, ArgInteger("42"));
  EXPECT_EQ(-12, ArgInteger(" \t\n\v\f\r-12abc"));
  EXPECT_EQ(7, ArgInteger("+7"));
  EXPECT_EQ(0, ArgInteger(""));
  EXPECT_EQ(0, ArgInteger("abc"));
  EXPECT_EQ(0, ArgInteger("-"));
  EXPECT_EQ(0, ArgInteger("+-5"));
  EXPECT_EQ(1024, ArgInteger("1024 KB"));
  EXPECT_EQ(1, ArgInteger("4294967297"));             // modulo 2^32
  EXPECT_EQ(INT32_MIN, ArgInteger("2147483648"));
  EXPECT_EQ(-1, ArgInteger("4294967295"));
  EXPECT_EQ(12, ArgInteger("0012.9"));
}

TEST(ArgNumber, Fractions) {
  EXPECT_EQ(0.5, ArgFraction("0.5"));
  EXPECT_EQ(0.1, ArgFraction("0.1"));  // the nearest double, as a correct conversion gives
  EXPECT_EQ(-125.0, ArgFraction("  -1.25e2x"));
  EXPECT_EQ(0.5, ArgFraction(".5"));
  EXPECT_EQ(5.0, ArgFraction("5."));
  EXPECT_EQ(1.0, ArgFraction("1e"));
  EXPECT_EQ(1.0, ArgFraction("1e+"));
  EXPECT_EQ(0.025, ArgFraction("2.5E-2"));
  EXPECT_EQ(0.0, ArgFraction("."));
  EXPECT_EQ(0.0, ArgFraction("e5"));
  EXPECT_EQ(0.0, ArgFraction("0x10"));
  EXPECT_EQ(0.0, ArgFraction("inf"));
  EXPECT_EQ(0.0, ArgFraction("nan"));
  EXPECT_EQ(0.0, ArgFraction("1e-999999999"));
  EXPECT_TRUE(isinf(ArgFraction("1e999999999")));
  std::string longOne = "0." + std::string(300, '0') + "1";
  EXPECT_EQ(1e-301, ArgFraction(longOne.c_str()));
  std::string wide = "1" + std::string(100, '0');
  EXPECT_EQ(1e100, ArgFraction(wide.c_str()));
  EXPECT_EQ(0.3333333333333333, ArgFraction("0.33333333333333333333333333333333333333333333333333"));
}

}  // namespace

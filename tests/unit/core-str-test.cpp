// String utilities.
#include <gtest/gtest.h>

#include "test-support.h"
#include "vantor-core.h"
#include "vantor-str.h"

namespace {

TEST(Str, EqualityWithAndWithoutCase) {
  EXPECT_EQ(1, StrEqualNoCase("Install", "INSTALL"));
  EXPECT_EQ(0, StrEqualNoCase("Install", "Installer"));
  EXPECT_EQ(0, StrEqual("Install", "INSTALL"));
  EXPECT_EQ(1, StrEqual("", ""));
  EXPECT_EQ(0, StrEqualNoCase("[", "{"));  // a letter never equals a non-letter, nor these
  EXPECT_EQ(0, StrEqualNoCase("@", "`"));
  EXPECT_EQ(1, StrEqualN("220 Ready", "220", 3));
  EXPECT_EQ(1, StrEqualN("abc", "xyz", 0));
  EXPECT_EQ(0, StrEqualN("ab", "abc", 3));  // terminator against a character
  EXPECT_EQ(1, StrEqualNNoCase("helo there", "HELO", 4));
}

TEST(Str, Search) {
  char path[] = "C:\\SETUP\\INSTALL.EXE";
  char *at = (char *)1;
  EXPECT_EQ(1, StrFindNoCase(path, ".exe", &at));
  EXPECT_EQ(path + 16, at);
  EXPECT_EQ(0, StrFind(path, ".exe", &at));
  EXPECT_EQ(NULL, at);
  EXPECT_EQ(1, StrFind("abc", "", &at));
  EXPECT_STREQ("abc", at);
  EXPECT_EQ(0, StrFind("", "", &at));
  EXPECT_EQ(NULL, at);
  EXPECT_EQ(0, StrFind("ab", "abc", &at));
}

TEST(Str, UpperReverseCopyAppend) {
  char s[] = "az09!\x80\xe9Zz";
  StrUpper(s);
  EXPECT_STREQ("AZ09!\x80\xe9ZZ", s);
  char r[] = "xyz";
  StrReverse(r);
  EXPECT_STREQ("zyx", r);
  char e[] = "";
  StrReverse(e);
  EXPECT_STREQ("", e);
  char buffer[16];
  StrCopy(buffer, "abc");
  StrAppend(buffer, "def");
  EXPECT_STREQ("abcdef", buffer);
  EXPECT_EQ(6, StrLength(buffer));
}

TEST(Str, BoundedCopies) {
  char buffer[6];
  EXPECT_EQ(0, StrCopyN(buffer, "abcdefgh", sizeof buffer));
  EXPECT_STREQ("abcde", buffer);
  EXPECT_EQ(1, StrCopyN(buffer, "ab", sizeof buffer));
  EXPECT_EQ(0, StrAppendN(buffer, "cdefg", sizeof buffer));
  EXPECT_STREQ("abcde", buffer);
  EXPECT_EQ(0, StrAppendN(buffer, "x", sizeof buffer));
  EXPECT_STREQ("abcde", buffer);
}

TEST(Str, QuickCrc) {
  uint32_t a, b;
  StrQuickCrc("abc", &a);
  StrQuickCrc("ABC", &b);
  EXPECT_EQ(0x00084141u, a);
  EXPECT_EQ(a, b);
  StrQuickCrc("abcdefg", &a);
  EXPECT_EQ(0x2C486287u, a);
  StrQuickCrc("", &a);
  EXPECT_EQ(0u, a);
}

TEST(StrDeath, NullEndsTheProgramNamingTheModule) {
  std::string path = TestStartLog(DEBUG_FILE);
  EXPECT_EXIT(StrLength(NULL), testing::ExitedWithCode(1), "^$");
  TestStopLog();
  std::string log = TestReadFile(path);
  EXPECT_NE(std::string::npos, log.find("\r\n\r\nASSERT: Pointer is NULL\r\n        ("));
  EXPECT_NE(std::string::npos, log.find("vantor-str"));
  TestRemoveFile(path);
}

}  // namespace

// String utilities.
#include <gtest/gtest.h>

#include "test-support.h"
#include "utf8.h"
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

// Every width of UTF-8 sequence survives the way to UTF-16 and back, and
// the wide side has what the system expects (a pair for U+1F600).
TEST(Utf8, RoundTripsEveryWidthThroughUtf16) {
  const char *text = "A\xc3\xa9\xd0\x96\xe6\x97\xa5\xe2\x82\xac\xf0\x9f\x98\x80z";  // A é Ж 日 € 😀 z
  uint16_t wide[16];
  ASSERT_EQ(8, Utf8ToWide(text, -1, wide, 16));
  const uint16_t expected[9] = {'A', 0xE9, 0x416, 0x65E5, 0x20AC, 0xD83D, 0xDE00, 'z', 0};
  for (int i = 0; i < 9; i++) EXPECT_EQ(expected[i], wide[i]) << i;
  char back[32];
  EXPECT_EQ(1, Utf8FromWide(wide, back, sizeof back));
  EXPECT_STREQ(text, back);
  EXPECT_EQ(7, Utf8Count(text));
  // A length that counts a zero keeps it (a list of texts).
  EXPECT_EQ(3, Utf8ToWide("a\0b", 3, wide, 16));
  EXPECT_EQ(0, wide[1]);
  EXPECT_EQ('b', wide[2]);
}

// Bytes that are not UTF-8 are read one by one as Windows-1252 (a script
// converted to that code page); half a surrogate pair becomes U+FFFD.
TEST(Utf8, MalformedInputIsReadAsWindows1252) {
  uint16_t wide[16];
  // é t é in Windows-1252, € and a stray continuation byte, an overlong
  // slash, an encoded surrogate, a sequence cut short by the end.
  ASSERT_EQ(13, Utf8ToWide("\xe9t\xe9!\x80\xbf\xc0\xaf\xed\xa0\x80\xe6\x97", -1, wide, 16));
  const uint16_t expected[13] = {0xE9, 't', 0xE9, '!', 0x20AC, 0xBF, 0xC0, 0xAF, 0xED, 0xA0, 0x20AC, 0xE6, 0x2014};
  for (int i = 0; i < 13; i++) EXPECT_EQ(expected[i], wide[i]) << i;
  const uint16_t lone[4] = {'a', 0xD83D, 'b', 0};
  char text[16];
  EXPECT_EQ(1, Utf8FromWide(lone, text, sizeof text));
  EXPECT_STREQ("a\xef\xbf\xbd" "b", text);
  const uint16_t late[3] = {0xDE00, 'c', 0};
  EXPECT_EQ(1, Utf8FromWide(late, text, sizeof text));
  EXPECT_STREQ("\xef\xbf\xbd" "c", text);
}

// No bounded copy leaves a character in pieces: not the conversions, not
// StrCopyN/StrAppendN, not VantorFormat, not a script argument.
TEST(Utf8, BoundedTextIsCutWhereACharacterEnds) {
  uint16_t wide[4];
  EXPECT_EQ(-1, Utf8ToWide("ab\xf0\x9f\x98\x80", -1, wide, 4));  // the pair would need units 3 and 4
  EXPECT_EQ(0, wide[2]);
  EXPECT_EQ(2, Utf8ToWide("ab", -1, wide, 4));
  const uint16_t japanese[4] = {0x65E5, 0x672C, 0x8A9E, 0};
  char text[8];
  EXPECT_EQ(0, Utf8FromWide(japanese, text, sizeof text));
  EXPECT_STREQ("\xe6\x97\xa5\xe6\x9c\xac", text);

  const char *mixed = "ab\xe6\x97\xa5\xd0\x96\xf0\x9f\x98\x80";  // a b 日 Ж 😀
  EXPECT_EQ(2, Utf8Fit(mixed, 4));
  EXPECT_EQ(5, Utf8Fit(mixed, 5));
  EXPECT_EQ(5, Utf8Fit(mixed, 6));
  EXPECT_EQ(7, Utf8Fit(mixed, 10));
  EXPECT_EQ(11, Utf8Fit(mixed, 11));
  char buffer[9];
  EXPECT_EQ(0, StrCopyN(buffer, mixed, 5));
  EXPECT_STREQ("ab", buffer);
  EXPECT_EQ(0, StrCopyN(buffer, mixed, 9));
  EXPECT_STREQ("ab\xe6\x97\xa5\xd0\x96", buffer);
  StrCopyN(buffer, "xyz", sizeof buffer);
  EXPECT_EQ(0, StrAppendN(buffer, "\xd0\x96\xd0\x96\xd0\x96", sizeof buffer));
  EXPECT_STREQ("xyz\xd0\x96\xd0\x96", buffer);
  EXPECT_EQ(11, VantorFormat(buffer, 8, "%s", mixed));
  EXPECT_STREQ("ab\xe6\x97\xa5\xd0\x96", buffer);
  EXPECT_EQ(11, VantorFormat(buffer, 7, "%s", mixed));
  EXPECT_STREQ("ab\xe6\x97\xa5", buffer);
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

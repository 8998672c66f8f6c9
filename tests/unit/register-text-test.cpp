// The registration's text rules, which must be the same on both targets: the
// e-mail test of the form and the cleaning of answers for the mail.
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "registration.h"
#include "test-support.h"

namespace {

TEST(EmailLooksValid, FourCharactersAfterTheAtAreTheMinimum) {
  EXPECT_EQ(1, EmailLooksValid("a@bc.d"));
  EXPECT_EQ(0, EmailLooksValid("a@b.c"));
  EXPECT_EQ(1, EmailLooksValid("a@bcd."));   // a final dot is allowed
  EXPECT_EQ(1, EmailLooksValid("a@b..c"));   // so are dots side by side
  EXPECT_EQ(1, EmailLooksValid("me@isp.net"));  // the form's own sample
  EXPECT_EQ(1, EmailLooksValid(".-_@x-y_.z"));  // any allowed character may begin it
}

TEST(EmailLooksValid, RefusesWhatTheRulesForbid) {
  EXPECT_EQ(0, EmailLooksValid(""));
  EXPECT_EQ(0, EmailLooksValid("@bc.de"));      // "@" first
  EXPECT_EQ(0, EmailLooksValid("a@b@c.de"));    // two "@"
  EXPECT_EQ(0, EmailLooksValid("a@.bcde"));     // "." right after the "@"
  EXPECT_EQ(0, EmailLooksValid("a@bcdef"));     // no "." after the "@"
  EXPECT_EQ(0, EmailLooksValid("a.b@cdef"));    // a "." before it does not count
  EXPECT_EQ(0, EmailLooksValid("abc.def"));     // no "@" at all
  EXPECT_EQ(0, EmailLooksValid("a b@cd.ef"));   // a blank anywhere
  EXPECT_EQ(0, EmailLooksValid("ab@cd.ef "));
  EXPECT_EQ(0, EmailLooksValid("a+b@cd.ef"));
  EXPECT_EQ(0, EmailLooksValid("j\xF6rg@cd.ef"));  // a byte above 127
  EXPECT_EQ(0, EmailLooksValid("ab@cd.ef\t"));
}

std::string Clean(const char *source, int size = REGISTRATION_FIELD_SIZE) {
  char out[REGISTRATION_FIELD_SIZE + 8];
  memset(out, 'x', sizeof out);
  EXPECT_EQ(1, CopyPrintable(source, out, size));
  EXPECT_EQ(0, out[strlen(out)]);
  return out;
}

TEST(CopyPrintable, DropsEveryCharacterBelowThirtyTwoAndKeepsTheRest) {
  EXPECT_EQ("", Clean(""));
  EXPECT_EQ("John Smith", Clean("John\t Smith\r\n"));
  EXPECT_EQ("\x7F\x80\xFF ~", Clean("\x01\x7F\x80\x1F\xFF ~"));
  EXPECT_EQ("", Clean("\r\n\t" MARK));
}

TEST(CopyPrintable, NeverWritesBeyondItsDestination) {
  EXPECT_EQ("abc", Clean("abcdef", 4));
  EXPECT_EQ("ab", Clean("\ta\tb\tc", 3));
  std::string longest(400, 'q');
  EXPECT_EQ(std::string(REGISTRATION_FIELD_SIZE - 1, 'q'), Clean(longest.c_str()));
}

}  // namespace

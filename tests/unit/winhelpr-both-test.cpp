// Window helpers as either target sees them: directories that end in one
// backslash, and helpers that leave windows that do not exist alone.
#include <gtest/gtest.h>

#include <string>

#include "pages.h"
#include "winhelpr.h"

namespace {

bool EndsInOneBackslash(const std::string &path) {
  return path.size() >= 2 && path.back() == '\\' && path[path.size() - 2] != '\\';
}

TEST(WindowHelpersBoth, DirectoriesEndInOneBackslash) {
  char buffer[BROWSE_PATH_SIZE];
  EXPECT_EQ(1, QueryTempDir(buffer, sizeof buffer));
  EXPECT_TRUE(EndsInOneBackslash(buffer)) << buffer;
  EXPECT_EQ(1, QuerySystemDir(buffer, sizeof buffer));
  EXPECT_TRUE(EndsInOneBackslash(buffer)) << buffer;
  EXPECT_EQ(1, QueryWindowsDir(buffer, sizeof buffer));
  EXPECT_TRUE(EndsInOneBackslash(buffer)) << buffer;
  EXPECT_EQ(0, QueryTempDir(buffer, 0));
}

TEST(WindowHelpersBoth, WindowsThatDoNotExistAreLeftAlone) {
  char text[16] = "junk";
  EXPECT_EQ(1, CenterWindow(NULL, NULL));
  EXPECT_EQ(1, MoveWindowTo(NULL, 10, 10));
  EXPECT_EQ(1, ProgressBarSetPercent(NULL, 1012, 50));
  EXPECT_EQ(1, DialogGetText(NULL, 1009, text, sizeof text));
  EXPECT_STREQ("", text);
}

TEST(WindowHelpersBoth, TheProgressWindowDoesNothingBeforeItExists) {
  ProgressDestroy();
  EXPECT_EQ(1, ProgressShow(1));
  EXPECT_EQ(1, ProgressSetPercent(42));
  EXPECT_EQ(1, ProgressShow(0));
  EXPECT_EQ(1, ProgressDestroy());
}

}  // namespace

// FONT and REFRESH over the stand-ins: the font file copied from the archive
// into the temporary directory and added for the run, the repaint request.
#include "commands-test-support.h"

namespace {

class FontTest : public CommandsTest {
 protected:
  void SetUp() override {
    CommandsTest::SetUp();
    Mount({{"WIDGET.TTF", "font bytes"}, {"OTHER.TTF", "other font"}});
  }
};

TEST_F(FontTest, TheFileIsCopiedToTheTemporaryDirectoryAndAdded) {
  EXPECT_EQ(1, Run(CmdFont, "1" MARK "widget.ttf"));
  EXPECT_EQ(13, consumed);  // both arguments and the byte after each
  EXPECT_EQ(1, script.fontCount);
  EXPECT_STREQ("widget.ttf", script.fonts[0].fileName);  // as the script names it
  EXPECT_EQ("font bytes", TestReadFile(OnDrive("TEMP/widget.ttf")));
  EXPECT_EQ(1, ShellStandInFontCount());
  EXPECT_STREQ("font-change", ShellStandInEvents());
}

TEST_F(FontTest, TheTableGrowsToTheIdAndKeepsItsEntries) {
  EXPECT_EQ(1, Run(CmdFont, "2" MARK "widget.ttf"));
  EXPECT_EQ(2, script.fontCount);
  EXPECT_STREQ("", script.fonts[0].fileName);
  EXPECT_EQ(1, Run(CmdFont, "4" MARK "other.ttf"));
  EXPECT_EQ(4, script.fontCount);
  EXPECT_STREQ("widget.ttf", script.fonts[1].fileName);
  EXPECT_STREQ("other.ttf", script.fonts[3].fileName);
  EXPECT_EQ(1, Run(CmdFont, "2" MARK "other.ttf"));  // a reused ID keeps only the last name
  EXPECT_EQ(4, script.fontCount);
  EXPECT_STREQ("other.ttf", script.fonts[1].fileName);
}

TEST_F(FontTest, FailuresAreLoggedAndFailTheCommand) {
  EXPECT_EQ(0, Run(CmdFont, "1" MARK "missing.ttf"));
  EXPECT_TRUE(Logged("Unable to get size for 'missing.ttf'\n"));
  ShellStandInFailFontAdd(1);
  EXPECT_EQ(0, Run(CmdFont, "1" MARK "widget.ttf"));
  EXPECT_TRUE(Logged("Unable to add font 'widget.ttf'\n"));
  ShellStandInFailFontAdd(0);
  WinHelpersStandInSetTempDir("Q:\\NOWHERE\\");  // a drive that is not there
  EXPECT_EQ(0, Run(CmdFont, "1" MARK "widget.ttf"));
  EXPECT_TRUE(Logged("Unable to save 'Q:\\NOWHERE\\widget.ttf'\n"));
  EXPECT_EQ(0, ShellStandInFontCount());
  Mount({{"BAD.TTF", std::string(300, 'f')}}, "BAD.TTF");
  EXPECT_EQ(0, Run(CmdFont, "1" MARK "bad.ttf"));
  EXPECT_TRUE(Logged("Unable to load 'bad.ttf'\n")) << Log();
}

TEST_F(FontTest, AnIdBelowOneIsFatal) {
  EXPECT_EXIT(Run(CmdFont, "0" MARK "widget.ttf"), testing::ExitedWithCode(1), TestFatalBox("Invalid string ID (0 / 0)"));
  EXPECT_EXIT(Run(CmdString, "-3" MARK "a" MARK "0" MARK "0" MARK "0" MARK "0" MARK "0" MARK MARK "t"),
              testing::ExitedWithCode(1), TestFatalBox("Invalid string ID (-3 / 0)"));
  EXPECT_EXIT(Run(CmdString, "70000" MARK "a" MARK "0" MARK "0" MARK "0" MARK "0" MARK "0" MARK MARK "t"),
              testing::ExitedWithCode(1), TestFatalBox("Invalid string ID (70000 / 0)"));
}

TEST_F(CommandsTest, RefreshAsksForARepaintOnlyOnceTheWindowExists) {
  script.window = NULL;
  EXPECT_EQ(1, Run(CmdRefresh, ""));
  EXPECT_EQ(0, consumed);
  EXPECT_EQ(0, TargetStandInInvalidations());
  script.window = window;
  EXPECT_EQ(1, Run(CmdRefresh, ""));
  EXPECT_EQ(1, TargetStandInInvalidations());
  EXPECT_EQ(window, TargetStandInLastInvalidated());
}

}  // namespace

// The commands that only fill the script record: names, prompt, colours,
// the file list, screen strings, the registry key, the size and the
// directory names; and the figures of the destination dialog.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "command.h"
#include "pathdialog.h"
#include "present.h"
#include "script-test-support.h"
#include "script.h"

namespace {

class RecordCommands : public testing::Test {
 protected:
  void SetUp() override { script = TestMakeScript(MARK "X:\r\n"); }
  void TearDown() override { ScriptFree(&script); }
  // Runs handler on argument text args followed by a line end and another
  // command, as it stands in a script.
  int Run(CommandHandler handler, const std::string &args) {
    text = args + "\r\n" MARK "NEXT:\r\n";
    consumed = -1;
    return handler(script, &text[0], &consumed);
  }
  InstallScript *script;
  std::string text;
  int32_t consumed;
};

std::string Rgb(const char *text, unsigned char start = 7) {
  unsigned char c[4] = {start, start, start, 99};
  std::string copy = text;
  EXPECT_EQ(1, ParseRgb(c, &copy[0]));
  EXPECT_EQ(99, c[3]);  // never beyond the three bytes
  char out[32];
  snprintf(out, sizeof out, "%d %d %d", c[0], c[1], c[2]);
  return out;
}

TEST(ParseRgb, ComponentsWrapAndMissingOnesKeepTheirValues) {
  EXPECT_EQ("0 0 255", Rgb("0, 0, 255"));
  EXPECT_EQ("255 7 7", Rgb("255"));
  EXPECT_EQ("0 7 7", Rgb(""));
  EXPECT_EQ("44 0 255", Rgb("300,256,-1"));
  EXPECT_EQ("1 2 3", Rgb("1,2,3,4,5"));
  EXPECT_EQ("12 0 3", Rgb(" 12px,,3"));  // trailing text ignored, an empty component is 0
}

TEST(FormatThousands, CommaBeforeEveryGroupOfThree) {
  char out[THOUSANDS_SIZE];
  const struct {
    int32_t value;
    const char *text;
  } cases[] = {{0, "0"},           {999, "999"},           {1000, "1,000"},
               {12345, "12,345"},  {1234567, "1,234,567"}, {-1234, "-1,234"},
               {-999, "-999"},     {2147483647, "2,147,483,647"}, {-2147483647 - 1, "-2,147,483,648"}};
  for (const auto &c : cases) {
    EXPECT_EQ(1, FormatThousands(c.value, out));
    EXPECT_STREQ(c.text, out);
  }
}

TEST_F(RecordCommands, NamesAndPromptAreCopiedAndCut) {
  EXPECT_EQ(1, Run(CmdCompanyName, "Acme Software"));
  EXPECT_EQ(13, consumed);
  EXPECT_STREQ("Acme Software", script->companyName);
  EXPECT_EQ(1, Run(CmdProductName, " Widget 2000 "));
  EXPECT_STREQ(" Widget 2000 ", script->productName);
  std::string longText(200, 'x');
  EXPECT_EQ(1, Run(CmdText, longText));
  EXPECT_EQ(200, consumed);  // the whole argument, though 159 characters are kept
  EXPECT_EQ(std::string(159, 'x'), script->prompt);
  std::string cyrillic;  // 200 letters of two bytes: the field ends inside the 80th, which goes whole
  for (int i = 0; i < 200; i++) cyrillic += "\xd0\x96";
  EXPECT_EQ(1, Run(CmdProductName, cyrillic));
  EXPECT_EQ(400, consumed);
  EXPECT_EQ(cyrillic.substr(0, 158), script->productName);
}

TEST_F(RecordCommands, GradientsTakeTheirColours) {
  EXPECT_EQ(1, Run(CmdGradientStart, "0, 0, 255"));
  EXPECT_EQ(9, consumed);
  EXPECT_EQ(0, script->gradientStart[0]);
  EXPECT_EQ(255, script->gradientStart[2]);
  script->gradientEnd[1] = 50;
  EXPECT_EQ(1, Run(CmdGradientEnd, "300"));
  EXPECT_EQ(44, script->gradientEnd[0]);
  EXPECT_EQ(50, script->gradientEnd[1]);
}

TEST_F(RecordCommands, FileListStaysInTheTextTerminated) {
  EXPECT_EQ(1, Run(CmdFileList, "a.exe,sub\\b.dll, c.txt"));
  EXPECT_EQ(3, script->fileCount);
  EXPECT_EQ(&text[0], script->fileList);
  EXPECT_STREQ("a.exe,sub\\b.dll, c.txt", script->fileList);
  EXPECT_EQ(23, consumed);  // the argument and its CR
  EXPECT_EQ(1, Run(CmdFileList, ""));
  EXPECT_EQ(1, script->fileCount);
  EXPECT_STREQ("", script->fileList);
  EXPECT_EQ(1, consumed);
  EXPECT_EQ(1, Run(CmdFileList, "a,,b"));
  EXPECT_EQ(3, script->fileCount);
}

TEST_F(RecordCommands, StringFillsItsEntryAndTheTableGrowsToTheId) {
  EXPECT_EQ(1, Run(CmdString, "5" MARK "Arial" MARK "0.01" MARK "0.05" MARK "0.5" MARK "0.1" MARK "255,128,0" MARK
                   "bold, centerx" MARK "Hello"));
  EXPECT_EQ(5, script->stringCount);
  EXPECT_EQ(56, consumed);  // the nine arguments and the byte after each
  const ScreenString &s = script->strings[4];
  EXPECT_STREQ("Arial", s.face);
  EXPECT_FLOAT_EQ(0.01f, s.width);
  EXPECT_FLOAT_EQ(0.05f, s.height);
  EXPECT_FLOAT_EQ(0.5f, s.x);
  EXPECT_FLOAT_EQ(0.1f, s.y);
  EXPECT_EQ(255, s.colour[0]);
  EXPECT_EQ(128, s.colour[1]);
  EXPECT_EQ(0, s.colour[2]);
  EXPECT_EQ(STR_BOLD | STR_CENTERX, s.flags);
  EXPECT_STREQ("Hello", s.text);
  for (int i = 0; i < 4; i++) EXPECT_EQ(0, script->strings[i].text[0]);  // empty, invisible

  // A lower ID keeps the table; redefining replaces every field.
  EXPECT_EQ(1, Run(CmdString, "2" MARK "Times" MARK "0" MARK "0.1" MARK "0" MARK "0" MARK "1,2,3" MARK "LEFT,DOWN" MARK
                   "Two"));
  EXPECT_EQ(5, script->stringCount);
  EXPECT_EQ(1, Run(CmdString, "5" MARK "Courier" MARK "0" MARK "0.2" MARK "0.3" MARK "0.4" MARK "9,9,9" MARK "SUPERBOLD" MARK
                   "Bye"));
  EXPECT_EQ(STR_BOLD | STR_UP, script->strings[4].flags);  // words are found inside longer words
  EXPECT_STREQ("Courier", script->strings[4].face);
  EXPECT_STREQ("Bye", script->strings[4].text);
  EXPECT_EQ(0, script->strings[1].flags);
  EXPECT_STREQ("Two", script->strings[1].text);
}

TEST_F(RecordCommands, StringStyleWords) {
  const struct {
    const char *words;
    int32_t flags;
  } cases[] = {{"ITALIC", STR_ITALIC}, {"underline right", STR_UNDERLINE | STR_RIGHT},
               {"UP CENTERY", STR_UP | STR_CENTERY}, {"", 0}, {"left, down", 0}};
  for (const auto &c : cases) {
    std::string args = std::string("1" MARK "F" MARK "0" MARK "0" MARK "0" MARK "0" MARK "0" MARK) + c.words + MARK "t";
    EXPECT_EQ(1, Run(CmdString, args));
    EXPECT_EQ(c.flags, script->strings[0].flags) << c.words;
  }
}

TEST_F(RecordCommands, SettingsFields) {
  EXPECT_EQ(1, Run(CmdRegistryPath, "Software\\Acme\\Widget"));
  EXPECT_EQ(20, consumed);
  EXPECT_STREQ("Software\\Acme\\Widget", script->registryPath);
  EXPECT_EQ(1, Run(CmdRegistryPath, ""));
  EXPECT_STREQ("", script->registryPath);
  const struct {
    const char *text;
    int32_t value;
  } sizes[] = {{"2048", 2048}, {"1024 KB", 1024}, {"", 0}, {"lots", 0}, {"-5", -5}, {" +7", 7}};
  for (const auto &s : sizes) {
    EXPECT_EQ(1, Run(CmdInstallSize, s.text));
    EXPECT_EQ(s.value, script->installSize) << s.text;
    EXPECT_EQ((int32_t)strlen(s.text), consumed);
  }
}

TEST_F(RecordCommands, DirectoryNamesEndWithABackslash) {
  EXPECT_EQ(1, Run(CmdInstallDir, "Acme\\Widget"));
  EXPECT_EQ(11, consumed);
  EXPECT_STREQ("Acme\\Widget\\", script->installDir);
  EXPECT_EQ(1, Run(CmdInstallDirAlt, "Widget\\"));
  EXPECT_EQ(7, consumed);
  EXPECT_STREQ("Widget\\", script->installDirAlt);
  EXPECT_EQ(1, Run(CmdInstallDir, ""));
  EXPECT_STREQ("\\", script->installDir);
  EXPECT_EQ(1, Run(CmdInstallDir, std::string(170, 'd')));
  EXPECT_EQ(170, consumed);
  EXPECT_EQ(std::string(158, 'd') + "\\", script->installDir);
}

}  // namespace

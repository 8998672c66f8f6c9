// Archive names as Windows sees them: the fold of every script's letters,
// the names the compiler writes as the payload spells them, and the names
// it refuses (clashes and what Windows forbids) with their messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script-compiler.h"
#include "test-support.h"
#include "windows-names.h"

namespace {

TEST(WindowsNames, TheFoldTakesEveryScriptsSimpleUpperCase) {
  const char *const same[][2] = {
      {"readme.txt", "README.TXT"},
      {"\xC3\xA4\xC3\xB6\xC3\xBC\xC3\xBF.txt", "\xC3\x84\xC3\x96\xC3\x9C\xC5\xB8.TXT"},  // äöüÿ ÄÖÜŸ
      {"\xC5\x82\xC4\x87\xC5\xBE\xC4\xB1", "\xC5\x81\xC4\x86\xC5\xBDI"},                // łćžı ŁĆŽI
      {"\xC7\x86\xC8\xB3", "\xC7\x84\xC8\xB2"},                                         // ǆȳ ǄȲ
      {"\xCE\xAC\xCF\x83\xCF\x82", "\xCE\x86\xCE\xA3\xCE\xA3"},                         // άσς ΆΣΣ
      {"\xD1\x84\xD0\xB0\xD0\xB9\xD1\x91\xD2\x91", "\xD0\xA4\xD0\x90\xD0\x99\xD0\x81\xD2\x90"},  // файёґ ФАЙЁҐ
      {"\xD5\xA1\xD6\x86", "\xD4\xB1\xD5\x96"},                                         // Armenian ա ֆ
      {"\xE1\x83\x90\xE2\xB4\x80", "\xE1\xB2\x90\xE1\x82\xA0"},                         // Georgian ა ⴀ
      {"\xE1\xBC\x80\xE1\xBE\xB3", "\xE1\xBC\x88\xE1\xBE\xBC"},                         // Greek extended ἀ ᾳ
      {"\xEF\xBD\x81\xEF\xBD\x9A", "\xEF\xBC\xA1\xEF\xBC\xBA"},                         // fullwidth ａｚ
      {"\xE2\x85\xB0\xE2\x93\x90", "\xE2\x85\xA0\xE2\x92\xB6"},                         // ⅰ ⓐ
  };
  for (const auto &pair : same) EXPECT_EQ(WindowsNameFold(pair[1]), WindowsNameFold(pair[0])) << pair[0];
  // No simple upper case (ß), beyond the plane the file system folds
  // (Deseret), and bytes that are not UTF-8: each stays as it is.
  for (const char *kept : {"\xC3\x9F", "\xF0\x90\x90\xA8", "\xC3"}) EXPECT_EQ(kept, WindowsNameFold(kept));
  EXPECT_EQ("CAF\xE9", WindowsNameFold("caf\xE9"));
  EXPECT_NE(WindowsNameFold("\xC3\xA4"), WindowsNameFold("a"));
}

std::vector<std::string> Messages(const std::string &source, const std::vector<std::string> *payload,
                                  std::string *dat = nullptr) {
  ScriptCompileOptions options;
  options.payload = payload;
  options.scriptName = "setup.txt";
  ScriptCompiled out;
  ScriptCompile(source, options, &out);
  std::vector<std::string> m;
  for (const ScriptDiagnostic &d : out.diagnostics) m.push_back(ScriptFormatDiagnostic("setup.txt", d));
  if (dat) dat->assign(out.data.begin(), out.data.end());
  return m;
}

// A name is written as the payload spells it, so that the installer, which
// upper-cases the ASCII letters alone, finds the entry.
TEST(WindowsNames, NamesAreWrittenAsThePayloadSpellsThem) {
  const std::vector<std::string> payload = {"DATEN\\\xC3\x9C" "bersicht.TXT", "\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB.txt"};
  std::string dat;
  EXPECT_EQ(std::vector<std::string>(),
            Messages("FILE LIST: daten\\\xC3\xBC" "bersicht.txt,\xD0\xA4\xD0\x90\xD0\x99\xD0\x9B.TXT\n"
                     "MESSAGE: Daten\\\xC3\x9C" "BERSICHT.txt\nINSTALL\n",
                     &payload, &dat));
  EXPECT_EQ(MARK "FILE LIST:DATEN\\\xC3\x9C" "bersicht.TXT,\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB.txt\r\n"
            MARK "MESSAGE:DATEN\\\xC3\x9C" "bersicht.TXT\r\n" MARK "INSTALL:\r\n",
            dat);  // Patterns match so too.
  EXPECT_EQ(std::vector<std::string>(), Messages("FILE LIST: \xD0\xA4\xD0\x90\xD0\x99*,daten\\\xC3\x9C*\nINSTALL\n", &payload, &dat));
  EXPECT_EQ(MARK "FILE LIST:\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB.txt,DATEN\\\xC3\x9C" "bersicht.TXT\r\n" MARK "INSTALL:\r\n",
            dat);
}

TEST(WindowsNames, NamesThatAreOneFileToWindowsAreRefused) {
  const std::vector<std::string> payload = {"A.TXT", "DOCS\\a.txt", "a.txt", "docs", "\xC3\x84.txt", "\xC3\xA4.txt"};
  EXPECT_EQ(std::vector<std::string>(
                {"setup.txt:1:12: error: 'A.TXT' and 'a.txt' in the payload are one file to Windows, which ignores "
                 "letter case",
                 "setup.txt:1:18: error: '\xC3\x84.txt' and '\xC3\xA4.txt' in the payload are one file to Windows, "
                 "which ignores letter case",
                 "setup.txt:2:12: error: the folder of 'DOCS\\a.txt' and 'docs' in the payload are one name to "
                 "Windows, which ignores letter case",
                 "setup.txt:3:10: error: 'docs' and the folder of 'DOCS\\a.txt' in the payload are one name to "
                 "Windows, which ignores letter case"}),
            Messages("FILE LIST: a.txt,\xC3\xA4.txt\nFILE LIST: docs\\*\nMESSAGE: DOCS\nINSTALL\n", &payload));
  // Without the payload, the names the script gives: one spelling in ASCII
  // case is one entry (the installer finds it); other letters are not.
  EXPECT_EQ(std::vector<std::string>(
                {"setup.txt:2:10: error: '\xC3\x9C.TXT' and '\xC3\xBC.txt' (line 1) are one file to Windows, which "
                 "ignores letter case",
                 "setup.txt:3:16: error: the folder of 'bin\\x.dll' and 'BIN' (line 3) are one name to Windows, which "
                 "ignores letter case"}),
            Messages("FILE LIST: \xC3\xBC.txt,readme.txt\nMESSAGE: \xC3\x9C.TXT\nFILE LIST: BIN,bin\\x.dll\n"
                     "MESSAGE: README.TXT\nINSTALL\n",
                     nullptr));
}

TEST(WindowsNames, NamesWindowsForbidsAreRefused) {
  // From the payload: at the pattern that names them.
  const std::vector<std::string> payload = {"ok\\a|b.txt", "ok\\caf\xE9", "ok\\tab\x01.txt", "x.txt"};
  EXPECT_EQ(std::vector<std::string>(
                {"setup.txt:1:18: error: 'a|b.txt' in 'ok\\a|b.txt' holds '|', which Windows forbids in file names",
                 "setup.txt:1:18: error: 'ok\\caf\\xE9' is not UTF-8; name the file in UTF-8",
                 "setup.txt:1:18: error: 'tab\\x01.txt' in 'ok\\tab\\x01.txt' holds a control character, which "
                 "Windows forbids in file names"}),
            Messages("FILE LIST: x.txt,ok\\*\nINSTALL\n", &payload));
  EXPECT_EQ(std::vector<std::string>(
                {"setup.txt:1:12: error: 'CON' is the device CON to Windows, not a file",
                 "setup.txt:1:16: error: 'lpt9.log' in 'bin\\lpt9.log' is the device LPT9 to Windows, not a file",
                 "setup.txt:1:29: error: 'Nul .txt' is the device NUL to Windows, not a file",
                 "setup.txt:1:38: error: 'x ' ends in a blank, which Windows drops from file names",
                 "setup.txt:1:41: error: 'dir.' in 'dir.\\x' ends in a dot, which Windows drops from file names",
                 "setup.txt:2:10: error: 'a?b' holds '?', which Windows forbids in file names"}),
            Messages("FILE LIST: CON,bin\\lpt9.log,Nul .txt,x ,dir.\\x\nMESSAGE: a?b\n"
                     "FILE LIST: COM10,conx,com0.txt,..x,\xC3\xA9.txt\nINSTALL\n",
                     nullptr));
}

}  // namespace

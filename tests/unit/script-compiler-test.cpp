// The script compiler: the bytes it writes, the round trip through the
// decompiler, and every check with its place in the source.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "command.h"
#include "script-compiler.h"
#include "script-keywords.h"
#include "script-test-support.h"

namespace {

std::vector<uint8_t> Bytes(const std::string &s) { return std::vector<uint8_t>(s.begin(), s.end()); }

ScriptCompiled Compile(const std::string &source, const std::vector<std::string> *payload = nullptr) {
  ScriptCompileOptions options;
  options.payload = payload;
  ScriptCompiled out;
  ScriptCompile(source, options, &out);
  return out;
}

std::vector<std::string> Messages(const ScriptCompiled &c) {
  std::vector<std::string> out;
  for (const ScriptDiagnostic &d : c.diagnostics) out.push_back(ScriptFormatDiagnostic("script.txt", d));
  return out;
}

std::string Decompile(const std::vector<uint8_t> &data, std::vector<ScriptDiagnostic> *diagnostics = nullptr) {
  ScriptDecompiled out;
  ScriptDecompile(data, &out);
  if (diagnostics) *diagnostics = out.diagnostics;
  return out.source;
}

// A valid value for each kind of argument.
std::string Sample(ScriptArgKind kind) {
  switch (kind) {
    case SARG_TEXT: return "Some text";
    case SARG_INTEGER: return "2048";
    case SARG_ID: return "3";
    case SARG_FRACTION: return "0.25";
    case SARG_COLOUR: return "10,20,30";
    case SARG_STYLE: return "BOLD,CENTERX";
    case SARG_PAYLOAD: return "file.txt";
    case SARG_FILE_LIST: return "a.txt,sub\\b.exe";
    case SARG_OLE_MODE: return "REGISTER";
    case SARG_SCOPE: return "user";
    case SARG_IN_USE: return "restart";
    case SARG_KEY_NAME: return "Acme.Widget";
  }
  return "";
}

TEST(ScriptKeywordTable, MatchesTheInstallersTable) {
  size_t count;
  const ScriptKeywordInfo *table = ScriptKeywords(&count);
  CommandsRemove();
  CommandsInit();
  size_t registered = 0;
  for (const CommandEntry *e = CommandFirst(); e != NULL; e = e->next) registered++;
  EXPECT_EQ(registered, count);
  for (size_t i = 0; i < count; i++) EXPECT_TRUE(CommandExists(table[i].keyword)) << table[i].keyword;
  CommandsRemove();
  EXPECT_EQ("STRING: id | typeface | width | height | x | y | colour | style | text", ScriptUsage(table[7]));
  EXPECT_EQ("BREAK", ScriptUsage(*ScriptFindKeyword("break")));
}

// The builder's room for an argument is what the installer keeps of it: a
// longer argument handed to the installer's own handler comes out cut to
// exactly that many characters (INSTALL DIR adds its backslash).
TEST(ScriptKeywordTable, RoomIsWhatTheInstallerKeeps) {
  InstallScript *script = TestMakeScript("");
  const struct {
    const char *keyword;
    CommandHandler handler;
    const char *field;
    size_t added;
  } cases[] = {
      {"COMPANY NAME", CmdCompanyName, script->companyName, 0},
      {"PRODUCT NAME", CmdProductName, script->productName, 0},
      {"TEXT", CmdText, script->prompt, 0},
      {"REGISTRY PATH", CmdRegistryPath, script->registryPath, 0},
      {"INSTALL DIR", CmdInstallDir, script->installDir, 1},
      {"INSTALL DIR ALT", CmdInstallDirAlt, script->installDirAlt, 1},
      {"PRODUCT ID", CmdProductId, script->productId, 0},
      {"PRODUCT VERSION", CmdProductVersion, script->productVersion, 0},
  };
  for (const auto &c : cases) {
    std::string args(1000, 'x');
    int32_t consumed = 0;
    ASSERT_EQ(1, c.handler(script, &args[0], &consumed)) << c.keyword;
    EXPECT_EQ((size_t)ScriptFindKeyword(c.keyword)->args[0].room + c.added, strlen(c.field)) << c.keyword;
  }
  std::string args = "1" MARK "Arial" MARK "0.1" MARK "0.1" MARK "0.5" MARK "0.5" MARK "1,2,3" MARK "BOLD" MARK +
                     std::string(1000, 'x') + "\r\n";
  int32_t consumed = 0;
  ASSERT_EQ(1, CmdString(script, &args[0], &consumed));
  EXPECT_EQ((size_t)ScriptFindKeyword("STRING")->args[8].room, strlen(script->strings[0].text));
  ScriptFree(&script);
}

TEST(ScriptCompile, EveryKeywordCompilesAndRoundTrips) {
  size_t count;
  const ScriptKeywordInfo *table = ScriptKeywords(&count);
  for (size_t i = 0; i < count; i++) {
    const ScriptKeywordInfo &k = table[i];
    SCOPED_TRACE(k.keyword);
    std::string line = k.keyword, bytes = std::string(MARK) + k.keyword + ":";
    for (int a = 0; a < k.count; a++) {
      line += (a ? " | " : ": ") + Sample(k.args[a].kind);
      bytes += (a ? MARK : "") + Sample(k.args[a].kind);
    }
    bytes += "\r\n";
    ScriptCompiled c = Compile(line + "\n");
    EXPECT_TRUE(c.diagnostics.empty()) << Messages(c)[0];
    EXPECT_EQ(Bytes(bytes), c.data);
    std::vector<ScriptDiagnostic> d;
    EXPECT_EQ(line + "\n", Decompile(c.data, &d));
    EXPECT_TRUE(d.empty());
  }
}

TEST(ScriptCompile, LanguageForms) {
  const char *source =
      "# a comment\n"
      "   # an indented comment\n"
      "\n"
      "company name :   Acme   \r\n"
      "TEXT: \"  keeps its blanks  \"\n"
      "TEXT: \"say \"\"hi\"\" | bye\"\n"
      "TEXT: say \"hi\"\n"
      "TEXT:\n"
      "TEXT: \"\"\n"
      "ADD ITEM:  | \n"
      "BREAK:\n"
      "REFRESH\n"
      "!odd keyword : raw | \"x \"\n"
      "DONE: caf\xC3\xA9 #1";
  ScriptCompiled c = Compile(source);
  EXPECT_TRUE(c.diagnostics.empty()) << Messages(c)[0];
  EXPECT_EQ(Bytes(MARK "COMPANY NAME:Acme\r\n"
                  MARK "TEXT:  keeps its blanks  \r\n"
                  MARK "TEXT:say \"hi\" | bye\r\n"
                  MARK "TEXT:say \"hi\"\r\n"
                  MARK "TEXT:\r\n"
                  MARK "TEXT:\r\n"
                  MARK "ADD ITEM:" MARK "\r\n"
                  MARK "BREAK:\r\n"
                  MARK "REFRESH:\r\n"
                  MARK "odd keyword :raw" MARK "x \r\n"
                  MARK "DONE:caf\xC3\xA9 #1\r\n"),
            c.data);
  EXPECT_EQ("COMPANY NAME: Acme\n"
            "TEXT: \"  keeps its blanks  \"\n"
            "TEXT: \"say \"\"hi\"\" | bye\"\n"
            "TEXT: say \"hi\"\n"
            "TEXT: \"\"\n"
            "TEXT: \"\"\n"
            "ADD ITEM: \"\" | \"\"\n"
            "BREAK\n"
            "REFRESH\n"
            "!odd keyword : raw | \"x \"\n"
            "DONE: caf\xC3\xA9 #1\n",
            Decompile(c.data));
}

TEST(ScriptCompile, EmptySourceGivesEmptyScript) {
  EXPECT_TRUE(Compile("").data.empty());
  EXPECT_TRUE(Compile("# nothing\n\n").data.empty());
  EXPECT_EQ("", Decompile({}));
}

// Well-formed scripts that need the raw form still come back byte for byte.
TEST(ScriptDecompile, RawFormKeepsWhatTheCheckedFormCannot) {
  const std::string data =
      MARK "company name:lower case\r\n"
      MARK "NOPE:unknown\r\n"
      MARK "TEXT:one" MARK "two\r\n"
      MARK "BREAK:x\r\n"
      MARK "STRING:0" MARK "Arial" MARK "0" MARK "0" MARK "0" MARK "0" MARK "1,2,3" MARK MARK "hi\r\n"
      MARK "INSTALL SIZE:\r\n"
      MARK ":\r\n"
      MARK " TEXT : | \"q\r\n";
  std::vector<ScriptDiagnostic> d;
  std::string source = Decompile(Bytes(data), &d);
  EXPECT_EQ("!company name: lower case\n"
            "!NOPE: unknown\n"
            "!TEXT: one | two\n"
            "!BREAK: x\n"
            "!STRING: 0 | Arial | 0 | 0 | 0 | 0 | 1,2,3 | \"\" | hi\n"
            "!INSTALL SIZE:\n"
            "!:\n"
            "! TEXT : \" | \"\"q\"\n",
            source);
  ScriptCompiled c = Compile(source);
  EXPECT_EQ(0, c.errors);
  EXPECT_EQ(Bytes(data), c.data);
  ASSERT_FALSE(d.empty());
  EXPECT_EQ("install.dat: byte 26: warning: kept as a raw command: unknown keyword 'NOPE'",
            ScriptFormatDiagnostic("install.dat", d[0]));
}

TEST(ScriptDecompile, TextOutsideCommandsBecomesComments) {
  std::vector<ScriptDiagnostic> d;
  std::string source =
      Decompile(Bytes("old notes\r\n" MARK "TEXT:a\tb\r\n\r\n" MARK "BREAK:\n" MARK "DONE:x"), &d);
  EXPECT_EQ("# old notes\nTEXT: a\n# \\x09b\nBREAK\nDONE: x\n", source);
  ASSERT_EQ(5u, d.size());
  EXPECT_EQ(0, d[0].offset);   // the notes
  EXPECT_EQ(18, d[1].offset);  // TEXT ends at the TAB
  EXPECT_EQ(18, d[2].offset);  // the rest of its line and the line breaks after it
  EXPECT_EQ(31, d[3].offset);  // BREAK ends with LF alone
  EXPECT_EQ(39, d[4].offset);  // DONE runs to the end
}

// compile(decompile(x)) == x for random well-formed scripts.
TEST(ScriptDecompile, RandomScriptsRoundTrip) {
  std::mt19937 random(1234);
  size_t count;
  const ScriptKeywordInfo *table = ScriptKeywords(&count);
  for (int round = 0; round < 300; round++) {
    std::string data;
    int commands = (int)(random() % 12);
    for (int i = 0; i < commands; i++) {
      std::string keyword = table[random() % count].keyword;
      if (random() % 6 == 0) keyword[0] = (char)tolower(keyword[0]);
      if (random() % 8 == 0) keyword = "X" + std::to_string(random() % 100);
      data += MARK + keyword + ":";
      // A file list stays below the destination: no separators, colons or dots.
      bool files = ScriptUpper(keyword) == "FILE LIST";
      int args = (int)(random() % 10);
      for (int a = 0; a < args; a++) {
        if (a) data += MARK;
        int length = (int)(random() % 12);
        for (int b = 0; b < length; b++) {
          const char pool[] = " |\"#!:,abc019.\xE9\xFF";
          char c = random() % 2 ? pool[random() % (sizeof pool - 1)] : (char)(0x20 + random() % 0xE0);
          data += files && strchr(":./\\", c) != NULL ? 'x' : c;
        }
      }
      data += "\r\n";
    }
    std::string source = Decompile(Bytes(data));
    ScriptCompiled c = Compile(source);
    ASSERT_EQ(0, c.errors) << source;
    ASSERT_EQ(Bytes(data), c.data) << source;
    ASSERT_EQ(source, Decompile(c.data));
  }
}

struct ErrorCase {
  const char *source;
  const char *message;
};

// The source gives the message among its findings, with that many errors;
// warnings alone still give the whole script.
void ExpectFinding(const ErrorCase &c, int errors) {
  ScriptCompiled out = Compile(c.source);
  EXPECT_EQ(errors, out.errors) << c.source;
  if (errors == 0) {
    EXPECT_FALSE(out.data.empty()) << c.source;
  }
  std::vector<std::string> m = Messages(out);
  EXPECT_NE(m.end(), std::find(m.begin(), m.end(), c.message)) << c.source << (m.empty() ? "" : m[0]);
}

TEST(ScriptCompile, ErrorsCarryTheirLineAndColumn) {
  const ErrorCase cases[] = {
      {"TEXT: a\nCOMPANY NAM: x\n", "script.txt:2:1: error: unknown keyword 'COMPANY NAM'; did you mean 'COMPANY NAME'?"},
      {"  FILELIST: a\n", "script.txt:1:3: error: unknown keyword 'FILELIST'; did you mean 'FILE LIST'?"},
      {"WHATEVER: a\n", "script.txt:1:1: error: unknown keyword 'WHATEVER'"},
      {"BRAEK\n", "script.txt:1:1: error: unknown keyword 'BRAEK'; did you mean 'BREAK'?"},
      {"NOPE: x\n", "script.txt:1:1: error: unknown keyword 'NOPE'"},
      {"INSTALL PATH Choose\n", "script.txt:1:1: error: unknown keyword 'INSTALL PATH Choose'; is a ':' missing after 'INSTALL PATH'?"},
      {"FONT: 1\n", "script.txt:1:1: error: FONT expects 2 arguments, got 1; usage: FONT: id | font file"},
      {"DONE\n", "script.txt:1:1: error: DONE expects 1 argument, got 0; usage: DONE: message"},
      {"ADD ITEM: a | b | c\n", "script.txt:1:19: error: ADD ITEM expects 2 arguments, got 3; usage: ADD ITEM: program | caption"},
      {"INSTALL: now\n", "script.txt:1:10: error: INSTALL takes no arguments"},
      {"INSTALL SIZE: lots\n", "script.txt:1:15: error: the kilobytes of INSTALL SIZE must be a whole number, not 'lots'"},
      {"STRING: 1 | Arial | wide | 0 | 0 | 0 | 1,2,3 | | x\n",
       "script.txt:1:21: error: the width of STRING must be a number such as 0.25, not 'wide'"},
      {"GRADIENT END: 1, two, 3\n", "script.txt:1:18: error: a colour component must be a whole number, not 'two'"},
      {"GRADIENT END: 1,2,3,4\n", "script.txt:1:15: error: the colour of GRADIENT END has 4 components; a colour has three: red, green, blue"},
      {"STRING: 0 | Arial | 0 | 0 | 0 | 0 | 1,2,3 | | x\n", "script.txt:1:9: error: a STRING id must be 1 or more; the installer stops with a fatal error at 0"},
      {"FONT: -2 | f.ttf\n", "script.txt:1:7: error: a FONT id must be 1 or more; the installer stops with a fatal error at -2"},
      {"FONT: 1 |\n", "script.txt:1:10: error: the font file of FONT needs a file name"},
      {"FILE LIST: a.txt,,b.txt\n", "script.txt:1:18: error: an empty name in FILE LIST: INSTALL would fail on it"},
      {"TEXT: \"open\n", "script.txt:1:7: error: the quoted argument has no closing quote"},
      {"TEXT: \"a\" b\n", "script.txt:1:11: error: text after a closing quote (write \"\" for a quote inside quotes)"},
      {"TEXT: a\tb\n", "script.txt:1:8: error: control byte 0x09 in an argument: the installer would end the argument there"},
      {"!TEXT\n", "script.txt:1:2: error: a raw command needs a ':' after its keyword"},
      {"FILE LIST: a.txt,..\\..\\x.txt\n",
       "script.txt:1:18: error: '..\\..\\x.txt' leads outside the destination directory (absolute, a drive, or '..')"},
      {"FILE LIST: C:\\x.txt\n",
       "script.txt:1:12: error: 'C:\\x.txt' leads outside the destination directory (absolute, a drive, or '..')"},
      {"!file list:ok.txt,\\x.txt\n",
       "script.txt:1:19: error: '\\x.txt' leads outside the destination directory (absolute, a drive, or '..')"},
      // The uninstaller and its record may not land on a listed file, as
      // Windows names files (letter case, '/', "." parts, trailing dots).
      {"UNINSTALL: app.exe\nFILE LIST: app.exe\n",
       "script.txt:1:12: error: the uninstaller 'app.exe' would replace 'app.exe', which FILE LIST installs; give "
       "UNINSTALL another name"},
      {"FILE LIST: Tools\\Setup.DAT\nUNINSTALL: tools/./setup.exe\n",
       "script.txt:2:12: error: the uninstaller's record 'tools/./setup.dat' would replace 'Tools\\Setup.DAT', which "
       "FILE LIST installs; give UNINSTALL another name"},
      {"UNINSTALL: bin\\uninstall.exe\nFILE LIST: a.txt,BIN\\.\\Uninstall.exe\n",
       "script.txt:1:12: error: the uninstaller 'bin\\uninstall.exe' would replace 'BIN\\.\\Uninstall.exe', which FILE LIST "
       "installs; give UNINSTALL another name"},
  };
  for (const ErrorCase &c : cases) ExpectFinding(c, 1);
}

// One 10 MB line without a colon: the message quotes at most the 39 bytes
// the installer reads, and no suggestion is searched for beyond them.
TEST(ScriptCompile, AHostileLineCostsNoMoreThanItsKeyword) {
  std::string line(10 * 1024 * 1024, 'Q');
  ScriptCompiled c = Compile(line + "\n");
  ASSERT_EQ(1, c.errors);
  EXPECT_EQ("script.txt:1:1: error: unknown keyword '" + std::string(39, 'Q') + "...'", Messages(c)[0]);
  EXPECT_EQ(nullptr, ScriptSuggestKeyword("BREAK" + std::string(40, ' ')));
  EXPECT_STREQ("BREAK", ScriptSuggestKeyword("BRAEK")->keyword);
}

TEST(ScriptCompile, WarningsDoNotStop) {
  std::string longText = "TEXT: " + std::string(160, 'x') + "\n";
  const ErrorCase warnings[] = {
      {longText.c_str(), "script.txt:1:7: warning: the text of TEXT is 160 characters long; the installer keeps the first 159"},
      {"STRING: 1 | A Typeface Name Longer Than Thirty-One | 0 | 0 | 0 | 0 | 1,2,3 | | x\n",
       "script.txt:1:13: warning: the typeface of STRING is 38 characters long; the installer keeps the first 31"},
      {"INSTALL SIZE: 1024 KB\n", "script.txt:1:15: warning: the installer reads only the number at the start of '1024 KB'"},
      {"INSTALL SIZE: 4294967297\n", "script.txt:1:15: warning: 4294967297 does not fit in 32 bits; the installer reads 1"},
      {"GRADIENT START: 0, 0, 300\n", "script.txt:1:23: warning: colour component 300 is stored as 44"},
      {"GRADIENT START: 255\n", "script.txt:1:17: warning: the colour of GRADIENT START sets only red; the other components keep their earlier values"},
      {"STRING: 1 | A | 0 | 0 | 0 | 0 | 1,2,3 | bold, SUPERBOLD | x\n",
       "script.txt:1:47: warning: 'SUPERBOLD' is not a style word; the installer finds BOLD, UP in it"},
      {"FILE LIST: a.txt, b.txt\n", "script.txt:1:18: warning: ' b.txt' has a blank at its edge, which belongs to the name (blanks around commas are kept)"},
      {"OLE: reg | x.dll\n", "script.txt:1:6: warning: 'reg' unregisters the library: only REGISTER registers it"},
      {"STRING: 5000 | A | 0 | 0 | 0 | 0 | 1,2,3 | | x\n", "script.txt:1:9: warning: id 5000 makes the installer hold a table of 5000 entries"},
      {"\xEF\xBB\xBFINSTALL SIZE: 1 KB\n", "script.txt:1:15: warning: the installer reads only the number at the start of '1 KB'"},
  };
  for (const ErrorCase &c : warnings) ExpectFinding(c, 0);
}

TEST(ScriptCompile, PayloadFilesMustExist) {
  std::vector<std::string> payload = {"README.TXT", "bin\\app.exe", "font.ttf", "license.txt"};
  ScriptCompiled ok = Compile("FILE LIST: readme.txt,BIN\\APP.EXE\nFONT: 1 | FONT.TTF\nAGREEMENT: license.txt\n", &payload);
  EXPECT_EQ(0, ok.errors);
  // Written as the payload spells them.
  EXPECT_EQ(std::vector<std::string>({"README.TXT", "bin\\app.exe", "font.ttf", "license.txt"}), ok.files);
  ScriptCompiled bad = Compile("FILE LIST: readme.txt,bin/app.exe\nMESSAGE: welcome.txt\nFONT: 2 | gone.ttf\nINSTALL\n", &payload);
  EXPECT_EQ(3, bad.errors);
  EXPECT_EQ(std::vector<std::string>(
                {"script.txt:1:23: error: 'bin/app.exe' is not in the payload; archive names use '\\' between folders",
                 "script.txt:2:10: error: 'welcome.txt' is not in the payload",
                 "script.txt:3:11: error: 'gone.ttf' is not in the payload"}),
            Messages(bad));
  EXPECT_EQ(0, Compile("MESSAGE: welcome.txt\n").errors);  // no payload given: not checked
}

// "F8798415.DAT" and "F24020000.DAT" share the CRC-32 2066AD21.
TEST(ScriptCompile, NamesWithTheSameHashAreRefused) {
  ScriptCompiled out = Compile("FILE LIST: f8798415.dat,a.txt\nMESSAGE: A.TXT\nMESSAGE: F24020000.DAT\n");
  EXPECT_EQ(std::vector<std::string>({"script.txt:3:10: error: 'F24020000.DAT' and 'F8798415.DAT' (line 1) have the "
                                      "same CRC-32 2066AD21: the installer cannot tell them apart"}),
            Messages(out));
}

}  // namespace

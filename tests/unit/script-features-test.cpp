// The script features for real products: FILE LIST patterns, INSTALL SIZE
// auto, defines, conditionals and includes with their exact messages, and
// what ffsbuild build does with page texts, repeated builds and the names
// of list.
#include <gtest/gtest.h>

#include <stdlib.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "archive-reader.h"
#include "archive-writer.h"
#include "cli.h"
#include "codepage.h"
#include "ffs.h"
#include "fsutil.h"
#include "script-compiler.h"
#include "test-support.h"

namespace {

// A nested payload: names as FsListTree gives them (ascending byte order).
const std::vector<std::string> kPayload = {
    "Docs\\Guide.PDF", "Docs\\api\\index.html", "Docs\\api\\x.pdb", "bin\\App.exe", "bin\\app.pdb",
    "bin\\tool.EXE",   "bin\\x\\deep.exe",      "caf\xC3\xA9 menu.txt",  "my file.txt",  "readme.txt"};
const std::vector<uint64_t> kSizes = {100, 200, 300, 1024, 5, 1, 2047, 3, 4, 10};

struct Result {
  ScriptCompiled compiled;
  std::string messages;  // every diagnostic, one a line
  std::string dat;
};

Result Compile(const std::string &source, const std::map<std::string, std::string> &files = {},
               const std::map<std::string, std::string> &defines = {}) {
  ScriptCompileOptions options;
  options.payload = &kPayload;
  options.payloadSizes = &kSizes;
  options.scriptName = "setup.txt";
  options.defines = {{"BUILD_DATE", "2026-12-08"}};
  for (const auto &d : defines) {
    options.defines[d.first] = d.second;
    options.fixedDefines.push_back(d.first);
  }
  options.readFile = [files](const std::string &path, std::string *text, std::string *error) {
    auto f = files.find(path);
    if (f == files.end()) return *error = "No such file or directory", false;
    *text = f->second;
    return true;
  };
  Result r;
  ScriptCompile(source, options, &r.compiled);
  for (const ScriptDiagnostic &d : r.compiled.diagnostics) r.messages += ScriptFormatDiagnostic("setup.txt", d) + "\n";
  r.dat.assign(r.compiled.data.begin(), r.compiled.data.end());
  return r;
}

std::string Listed(const Result &r) {
  std::string out;
  for (const auto &list : r.compiled.fileLists)
    for (const std::string &n : list) out += n + ";";
  return out;
}

TEST(ScriptPatterns, EveryFormExpandsInPayloadOrder) {
  // '*' within a folder, letter case aside; '**' through folders; literal
  // names keep their place; a file named twice comes once.
  EXPECT_EQ("bin\\App.exe;bin\\tool.EXE;readme.txt;", Listed(Compile("FILE LIST: BIN\\*.exe, readme.txt,bin\\app.EXE\nINSTALL")));
  EXPECT_EQ("Docs\\Guide.PDF;Docs\\api\\index.html;Docs\\api\\x.pdb;", Listed(Compile("FILE LIST: docs\\**\nINSTALL")));
  EXPECT_EQ("Docs\\api\\x.pdb;bin\\app.pdb;", Listed(Compile("FILE LIST: **\\*.PDB\nINSTALL")));
  EXPECT_EQ("bin\\x\\deep.exe;", Listed(Compile("FILE LIST: bin\\*\\*.exe\nINSTALL")));
  // Blanks and ANSI characters are part of names.
  EXPECT_EQ("caf\xC3\xA9 menu.txt;my file.txt;", Listed(Compile("FILE LIST: * *.txt\nINSTALL")));
  // Exclusions apply to the whole list, wherever they stand.
  Result all = Compile("FILE LIST: !**\\*.pdb,**, !docs\\**\nINSTALL");
  EXPECT_EQ("bin\\App.exe;bin\\tool.EXE;bin\\x\\deep.exe;caf\xC3\xA9 menu.txt;my file.txt;readme.txt;", Listed(all));
  EXPECT_EQ("", all.messages);
  EXPECT_NE(std::string::npos,
            all.dat.find(MARK "FILE LIST:bin\\App.exe,bin\\tool.EXE,bin\\x\\deep.exe,caf\xC3\xA9 menu.txt,my file.txt,"
                         "readme.txt\r\n"));
  // A list without patterns is written exactly as before.
  EXPECT_EQ(MARK "FILE LIST:readme.txt,readme.txt\r\n" MARK "INSTALL:\r\n",
            Compile("FILE LIST: readme.txt,readme.txt\nINSTALL").dat);
}

TEST(ScriptPatterns, MistakesAreErrorsAtTheirColumn) {
  EXPECT_EQ("setup.txt:1:24: error: '*.zip' matches no file of the payload\n",
            Compile("FILE LIST: readme.txt, *.zip\nINSTALL").messages);
  EXPECT_EQ("setup.txt:1:12: error: 'bin/*.exe' matches no file of the payload; archive names use '\\' between "
            "folders\n",
            Compile("FILE LIST: bin/*.exe\nINSTALL").messages);
  EXPECT_EQ("setup.txt:1:26: warning: the exclusion '!*.doc' leaves out nothing\n"
            "setup.txt:1:12: error: the FILE LIST names no file once its exclusions are applied\n",
            Compile("FILE LIST: bin\\*.pdb,!**,!*.doc\nINSTALL").messages);
  ScriptCompileOptions noPayload;
  ScriptCompiled c;
  EXPECT_FALSE(ScriptCompile("FILE LIST: **\nINSTALL\n", noPayload, &c));
  EXPECT_EQ("script.txt:1:12: error: a FILE LIST with patterns needs the payload to expand them (--payload DIR)",
            ScriptFormatDiagnostic("script.txt", c.diagnostics[0]));
}

TEST(ScriptPatterns, InstallSizeAutoCountsEachListedFileOnceInKilobytesRoundedUp) {
  // App.exe 1024 + tool 1 + deep 2047 = 3072 bytes: 3 KB; a name listed by
  // two FILE LISTs counts once; the size may come before the lists.
  EXPECT_EQ(MARK "INSTALL SIZE:3\r\n", Compile("INSTALL SIZE: auto\nFILE LIST: bin\\**\\*.exe\nFILE LIST: bin\\App.exe\nINSTALL")
                                          .dat.substr(0, 17));
  EXPECT_EQ(MARK "INSTALL SIZE:4\r\n",
            Compile("INSTALL SIZE: Auto\nFILE LIST: bin\\*.exe, bin\\x\\deep.exe, readme.txt\nINSTALL").dat.substr(0, 17));
  ScriptCompileOptions noPayload;
  ScriptCompiled c;
  EXPECT_FALSE(ScriptCompile("INSTALL SIZE: auto\n", noPayload, &c));
}

TEST(ScriptDefines, ScriptCommandLineAndConditionals) {
  Result r = Compile(
      "!define VERSION 1.0\n"
      "!define EDITION \"  Pro \"\n"
      "PRODUCT NAME: Widget ${VERSION}${EDITION}(${BUILD_DATE}) $${x}\n"
      "!ifdef PRO\n"
      "  TEXT: pro\n"
      "  !ifndef VERSION\n"
      "    TEXT: never\n"
      "  !endif\n"
      "!else\n"
      "  TEXT: basic ${VERSION}\n"
      "!endif\n",
      {}, {{"VERSION", "2.5"}});
  EXPECT_EQ("", r.messages);
  EXPECT_EQ(MARK "PRODUCT NAME:Widget 2.5  Pro (2026-12-08) ${x}\r\n" MARK "TEXT:basic 2.5\r\n", r.dat);
  EXPECT_EQ(MARK "TEXT:pro\r\n", Compile("!ifdef PRO\nTEXT: pro\n!else\nTEXT: basic\n!endif\n", {}, {{"PRO", ""}}).dat);
}

TEST(ScriptDefines, MistakesNameTheirPlace) {
  // The column of a finding after a replacement is the column in the source.
  EXPECT_EQ("setup.txt:2:20: error: undefined name 'VERSON' (define it with !define or -D VERSON=...)\n"
            "setup.txt:3:17: warning: the installer reads only the number at the start of '12 kB'\n"
            "setup.txt:4:1: error: !endif without !ifdef or !ifndef\n"
            "setup.txt:5:3: error: this !ifdef or !ifndef has no !endif\n",
            Compile("!define SIZE 12 kB\nPRODUCT NAME: Acme ${VERSON}\nINSTALL SIZE:   ${SIZE}\n!endif\n  !ifdef X\n")
                .messages);
  EXPECT_EQ("setup.txt:1:7: error: '${' without its closing '}' (write $${ for a literal ${)\n"
            "setup.txt:2:9: error: '1X' is not a name (letters, digits and '_')\n"
            "setup.txt:3:1: error: !else without !ifdef or !ifndef\n",
            Compile("TEXT: ${OPEN\n!define 1X y\n!else\n").messages);
  // A definition that doubles itself line by line stops at 16 MB.
  std::string doubling = "!define A0 xxxxxxxxxxxxxxxx\n";
  for (int i = 1; i <= 24; i++)
    doubling += "!define A" + std::to_string(i) + " ${A" + std::to_string(i - 1) + "}${A" + std::to_string(i - 1) + "}\n";
  EXPECT_EQ("setup.txt:21:19: error: the line grows beyond 16 MB through its replacements\n",
            Compile(doubling).messages.substr(0, 77));
}

TEST(ScriptDefines, TheWholeScriptAndALineAsReadAreBounded) {
  // 10 MB of one value in forty lines: the run stops at the line that
  // passes 64 MB, once, instead of holding gigabytes.
  std::string doubling = "!define A0 xxxxxxxxxx\n";
  for (int i = 1; i <= 20; i++)
    doubling += "!define A" + std::to_string(i) + " ${A" + std::to_string(i - 1) + "}${A" + std::to_string(i - 1) + "}\n";
  for (int i = 0; i < 40; i++) doubling += "TEXT: ${A20}\n";
  Result r = Compile(doubling);
  EXPECT_EQ(1, r.compiled.errors);
  EXPECT_NE(std::string::npos,
            r.messages.find("setup.txt:26:7: error: the script grows beyond 64 MB (its lines with their replacements)\n"));
  r = Compile("TEXT: a\nTEXT: " + std::string(16u << 20, 'x') + "\nTEXT: b\n");
  EXPECT_EQ("setup.txt:2:1: error: this line is longer than 16 MB\n", r.messages);
  EXPECT_EQ(MARK "TEXT:a\r\n" MARK "TEXT:b\r\n", r.dat);
}

TEST(ScriptIncludes, ReadRelativeWithTheirChainAndCycles) {
  std::map<std::string, std::string> files = {
      {"parts/common.txt", "TEXT: common\n!include pages/licence.txt\n"},
      {"parts/pages/licence.txt", "\n\nAGREEMENT: ${LICENCE}\n"},
      {"a.txt", "!include b.txt\n"},
      {"b.txt", "TEXT: b\n!include ./a.txt\n"}};
  Result r = Compile("PRODUCT NAME: P\n!include parts/common.txt\nTEXT: after\n", files);
  EXPECT_EQ("parts/pages/licence.txt:3:12: error: undefined name 'LICENCE' (define it with !define or -D LICENCE=...)\n"
            "parts/common.txt:2: note: included from here\n"
            "setup.txt:2: note: included from here\n",
            r.messages);
  r = Compile("!define LICENCE readme.txt\n!include parts/common.txt\nTEXT: after\n", files);
  EXPECT_EQ("", r.messages);
  EXPECT_EQ(MARK "TEXT:common\r\n" MARK "AGREEMENT:readme.txt\r\n" MARK "TEXT:after\r\n", r.dat);
  EXPECT_EQ("b.txt:2:10: error: './a.txt' includes itself (through the files below)\n"
            "a.txt:1: note: included from here\n"
            "setup.txt:1: note: included from here\n"
            "setup.txt:2:10: error: cannot include 'none.txt': No such file or directory\n",
            Compile("!include a.txt\n!include none.txt\n", files).messages);
}

TEST(ScriptChecks, WarningsOfTheWholeScriptAndWerror) {
  EXPECT_EQ("setup.txt:2:10: warning: 'readme.exe' is not among the files FILE LIST installs\n"
            "setup.txt:4:15: warning: 'my file.txt' is not among the files FILE LIST installs\n"
            "setup.txt: warning: the script has a FILE LIST but no INSTALL: nothing will be copied\n",
            Compile("FILE LIST: readme.txt,bin\\App.exe\nNOTEPAD: readme.exe\nADD ITEM: BIN\\APP.EXE /x | App\n"
                    "OLE: REGISTER|my file.txt\n")
                .messages);
  EXPECT_EQ("setup.txt:1:17: warning: the colour of GRADIENT START '0 64 128' is written with blanks; the installer "
            "reads only red: write '0, 64, 128'\n",
            Compile("GRADIENT START: 0 64 128\n").messages);
  EXPECT_EQ("", Compile("TEXT: caf\xC3\xA9\n").messages);
  EXPECT_EQ("setup.txt:1:10: error: byte 0xE9 is not UTF-8; save the script as UTF-8, or give its code page "
            "(--codepage=N)\n",
            Compile("TEXT: caf\xE9\n").messages);
  ScriptCompileOptions strict;
  strict.warningsAsErrors = true;
  ScriptCompiled c;
  EXPECT_FALSE(ScriptCompile("GRADIENT START: 0 64 128\n", strict, &c));
  EXPECT_EQ(1, c.errors);
  std::string out, problem;
  EXPECT_TRUE(CodepageReadText("caf\xE9 \x80", 1252, &out, &problem));
  EXPECT_EQ("caf\xC3\xA9 \xE2\x82\xAC", out);
  EXPECT_FALSE(CodepageReadText("ok\nab\x81", 1252, &out, &problem));
  EXPECT_EQ("2:3: byte 0x81 is no character of code page 1252", problem);
}

// ---- ffsbuild build and list ------------------------------------------------

const char *const kDir = "script-features-test";

// A folder for each test: ctest runs them side by side.
std::string At(const std::string &name) {
  return std::string(kDir) + "/" + testing::UnitTest::GetInstance()->current_test_info()->name() + "/" + name;
}

void Write(const std::string &path, const std::string &text) {
  std::string error;
  ASSERT_TRUE(FsMakeParents(path, &error)) << error;
  ASSERT_TRUE(FsWriteFile(path, std::vector<uint8_t>(text.begin(), text.end()), &error)) << error;
}

int Invoke(int (*command)(int, char **), std::vector<std::string> args) {
  std::vector<char *> argv;
  for (std::string &a : args) argv.push_back(&a[0]);
  return command((int)argv.size(), argv.data());
}

void SetEpoch(const char *value) {
#ifdef _WIN32
  _putenv_s("SOURCE_DATE_EPOCH", value);
#else
  setenv("SOURCE_DATE_EPOCH", value, 1);
#endif
}

std::string Entry(const std::string &installer, const std::string &name) {
  std::string text = TestReadFile(installer);
  std::vector<uint8_t> bytes(text.begin(), text.end()), content;
  ArchiveImage image;
  std::string error;
  if (!ArchiveParse(bytes, &image, &error)) return "(" + error + ")";
  int i = ArchiveFind(image, ArchiveHashName(name));
  if (i < 0 || !ArchiveDecode(bytes, image, image.records[i], &content, &error)) return "(none)";
  return std::string(content.begin(), content.end());
}

class ScriptFeatureBuild : public testing::Test {
 protected:
  void SetUp() override {
    Write(At("payload/licence.txt"), "GPL\n\nSecond paragraph.\n");
    Write(At("payload/welcome.txt"), "Hello\r\nthere\n");
    Write(At("payload/bin/app.exe"), std::string(2000, 'x'));
    Write(At("stub.exe"), "MZ" + std::string(510, '\0'));
    Write(At("setup.txt"), "PRODUCT NAME: W ${VERSION} ${BUILD_DATE}\nINSTALL SIZE: auto\n"
                           "FILE LIST: bin\\**, welcome.txt\nAGREEMENT: licence.txt\nMESSAGE: welcome.txt\nINSTALL\n");
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(At(""), ec);
  }
  int Build(const std::string &output, const char *epoch) {
    SetEpoch(epoch);
    return Invoke(CliBuild, {"-o", At(output), "--stub", At("stub.exe"), "-D", "VERSION=2.1",
                             At("setup.txt"), At("payload")}) ;
  }
};

TEST_F(ScriptFeatureBuild, PageTextsAreStoredAsTheyAre) {
  ASSERT_EQ(0, Build("one.exe", "1700000000"));
  EXPECT_EQ("GPL\n\nSecond paragraph.\n", Entry(At("one.exe"), "licence.txt"));  // the page shows LF lines
  EXPECT_EQ("Hello\r\nthere\n", Entry(At("one.exe"), "welcome.txt"));
  EXPECT_EQ(0u, Entry(At("one.exe"), "install.dat").find(
                    MARK "PRODUCT NAME:W 2.1 2023-11-14\r\n" MARK "INSTALL SIZE:2\r\n"));
  // The list labels entries with the names its install.dat gives.
  testing::internal::CaptureStdout();
  EXPECT_EQ(0, Invoke(CliList, {At("one.exe")}));
  std::string listed = testing::internal::GetCapturedStdout();
  for (const char *name : {"install.dat", "licence.txt", "welcome.txt", "bin\\app.exe"})
    EXPECT_NE(std::string::npos, listed.find(std::string("  ") + name + "\n")) << listed;
  EXPECT_EQ(1, Invoke(CliVerify, {At("one.exe"), "bin/app.exe"}));  // with the hint about '\\' 
  // --werror: the warning about a payload file the script never names stops the build.
  Write(At("payload/unnamed.txt"), "x");
  EXPECT_EQ(1, Invoke(CliBuild, {"-o", At("three.exe"), "--stub", At("stub.exe"), "--werror", "-DVERSION=1",
                                 At("setup.txt"), At("payload")}));
  uint64_t size;
  EXPECT_FALSE(FsFileSize(At("three.exe"), &size));
}

TEST_F(ScriptFeatureBuild, CompileListsWhatThePatternsExpandTo) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(0, Invoke(CliCompile, {"--list", "--payload", At("payload"), "-D", "VERSION=1", At("setup.txt")}));
  EXPECT_EQ("bin\\app.exe\nwelcome.txt\n", testing::internal::GetCapturedStdout());
  EXPECT_EQ(2, Invoke(CliCompile, {"--list", "-D", "1=x", At("setup.txt")}));  // not a name
}

#ifndef _WIN32
// Links in the payload: one to a folder or file inside it counts under its
// own name; one that leads outside, to a folder it lies in, or nowhere is
// skipped with a warning that names it.
TEST_F(ScriptFeatureBuild, LinksInThePayloadAreFollowedInsideItAndNamedWhenSkipped) {
  Write(At("linked/real/a.txt"), "a");
  Write(At("outside/o.txt"), "o");
  ASSERT_EQ(0, symlink("real", At("linked/alias").c_str()));
  ASSERT_EQ(0, symlink("a.txt", At("linked/real/b.txt").c_str()));
  ASSERT_EQ(0, symlink("..", At("linked/real/up").c_str()));
  ASSERT_EQ(0, symlink("../outside", At("linked/out").c_str()));
  ASSERT_EQ(0, symlink("nowhere", At("linked/dangle").c_str()));
  Write(At("links.txt"), "FILE LIST: **\nINSTALL\n");
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(0, Invoke(CliCompile, {"--list", "--payload", At("linked"), At("links.txt")}));
  EXPECT_EQ("alias\\a.txt\nalias\\b.txt\nreal\\a.txt\nreal\\b.txt\n", testing::internal::GetCapturedStdout());
  std::string warned = testing::internal::GetCapturedStderr();
  for (const char *w : {"'alias\\up' is a link to a folder it lies in; skipped",
                        "'dangle' is a link to 'nowhere', which cannot be followed (No such file or directory); skipped",
                        "'out' is a link to '../outside', outside the folder; skipped",
                        "'real\\up' is a link to a folder it lies in; skipped"})
    EXPECT_NE(std::string::npos, warned.find(At("linked") + ": warning: " + w + "\n")) << warned;
  std::error_code ec;
  std::filesystem::remove_all(At("linked"), ec);
  std::filesystem::remove_all(At("outside"), ec);
  TestRemoveFile(At("links.txt"));
}
#endif

// UTF-8 text (of the Basic Multilingual Plane) as UTF-16 after its byte
// order mark.
std::string Utf16(const std::string &utf8, bool big) {
  std::string out = big ? "\xFE\xFF" : "\xFF\xFE";
  for (size_t p = 0; p < utf8.size();) {
    unsigned char c = (unsigned char)utf8[p];
    unsigned code = c < 0x80 ? c : (c & 0xE0) == 0xC0 ? (c & 0x1F) << 6 | (utf8[p + 1] & 0x3F)
                                                      : (c & 0x0F) << 12 | (utf8[p + 1] & 0x3F) << 6 | (utf8[p + 2] & 0x3F);
    p += c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : 3;
    out += big ? std::string{(char)(code >> 8), (char)code} : std::string{(char)code, (char)(code >> 8)};
  }
  return out;
}

// A script and its page in UTF-16 (either byte order, after a mark) or in
// Windows-1251 with --codepage 1251 make the installer the UTF-8 ones make;
// without --codepage, text of a code page is an error at its first byte.
// A name given in another letter case is written as the payload spells
// it, which the installer's reader finds.
// (A folder of its own: the fixture's tests may run side by side.)
TEST(ScriptEncodings, ScriptsAndPagesInUtf16OrACodePageBuildAsUtf8) {
  auto at = [](const std::string &name) { return "script-encodings-test/" + name; };
  Write(at("stub.exe"), "MZ" + std::string(510, '\0'));
  const std::string hello = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", hello1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";
  const std::string file = "\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB.txt", upper = "\xD0\xA4\xD0\x90\xD0\x99\xD0\x9B.TXT";
  auto script = [](const std::string &word, const std::string &name) {
    return "PRODUCT NAME: " + word + "\nTEXT: \"" + word + " \"\nFILE LIST: app.exe," + name +
           "\nMESSAGE: ru.txt\nINSTALL\n";
  };
  struct Variant {
    const char *name;
    std::string script, page;
    std::vector<std::string> flags;
  } variants[] = {{"utf8", script(hello, upper), hello + "\r\n", {}},
                  {"utf16", Utf16(script(hello, upper), false), Utf16(hello + "\r\n", true), {}},
                  {"cp1251", script(hello1251, "\xD4\xC0\xC9\xCB.TXT"), hello1251 + "\r\n", {"--codepage", "1251"}}};
  SetEpoch("1700000000");
  for (const Variant &v : variants) {
    std::string dir = at(std::string("enc-") + v.name);
    Write(dir + "/setup.txt", v.script);
    Write(dir + "/payload/ru.txt", v.page);
    Write(dir + "/payload/app.exe", "MZ");
    Write(dir + "/payload/" + file, "data");
    std::vector<std::string> args = {"-o", dir + "/setup.exe", "--stub", at("stub.exe")};
    args.insert(args.end(), v.flags.begin(), v.flags.end());
    args.insert(args.end(), {dir + "/setup.txt", dir + "/payload"});
    EXPECT_EQ(0, Invoke(CliBuild, args)) << v.name;
  }
  std::string installer = TestReadFile(at("enc-utf8/setup.exe"));
  std::string dat = Entry(at("enc-utf8/setup.exe"), "install.dat");
  EXPECT_NE(std::string::npos, dat.find(MARK "PRODUCT NAME:" + hello + "\r\n"));
  EXPECT_EQ(hello + "\r\n", Entry(at("enc-utf8/setup.exe"), "ru.txt"));
  EXPECT_NE(std::string::npos, dat.find(MARK "FILE LIST:app.exe," + file + "\r\n"));
  uint32_t size = 0;
  ASSERT_EQ(1, FfsInit(at("enc-utf8/setup.exe").c_str()));
  EXPECT_EQ(1, FfsGetSize(file.c_str(), &size));
  EXPECT_EQ(4u, size);
  EXPECT_EQ(0, FfsGetSize(upper.c_str(), &size));  // the reader folds ASCII letters alone
  FfsRemove();
  EXPECT_EQ(installer, TestReadFile(at("enc-utf16/setup.exe")));
  EXPECT_EQ(installer, TestReadFile(at("enc-cp1251/setup.exe")));
  testing::internal::CaptureStderr();
  EXPECT_EQ(1, Invoke(CliBuild, {"-o", at("enc-cp1251/bad.exe"), "--stub", at("stub.exe"), at("enc-cp1251/setup.txt"),
                                 at("enc-cp1251/payload")}));
  std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, errors.find(at("enc-cp1251/setup.txt") + ":1:15: error: byte 0xCF is not UTF-8; "
                                           "save the script as UTF-8, or give its code page (--codepage=N)\n"))
      << errors;
  std::error_code ec;
  std::filesystem::remove_all("script-encodings-test", ec);
}

TEST_F(ScriptFeatureBuild, BuildsWithTheSameEpochAreIdentical) {
  ASSERT_EQ(0, Build("one.exe", "1700000000"));
  ASSERT_EQ(0, Build("two.exe", "1700000000"));
  EXPECT_EQ(TestReadFile(At("one.exe")), TestReadFile(At("two.exe")));
  ASSERT_EQ(0, Build("two.exe", "1700100000"));  // another day: another date in the product name
  EXPECT_NE(TestReadFile(At("one.exe")), TestReadFile(At("two.exe")));
}

}  // namespace

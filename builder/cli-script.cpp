// Script subcommands: compile, decompile, build.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "archive-reader.h"
#include "archive-writer.h"
#include "cli.h"
#include "codepage.h"
#include "fsutil.h"
#include "pe-resources.h"
#include "script-compiler.h"
#include "script-keywords.h"
#include "script-preprocess.h"
#include "signing.h"
#include "stub-resources.h"

namespace {

#define SCRIPT_OPTIONS_HELP                                                           \
  "  -D NAME=VALUE       define NAME for ${NAME} and !ifdef (wins over !define)\n"    \
  "  --werror            treat warnings as errors\n"                                  \
  "  --codepage[=N]      convert UTF-8 text of the script and of the page texts to\n" \
  "                      the ANSI code page N (default 1252)\n"

const char kCompileUsage[] =
    "usage: ffsbuild compile [-o INSTALL.DAT] [--payload DIR] [--list] [-D NAME=VALUE]...\n"
    "                        [--werror] [--codepage[=N]] SCRIPT\n"
    "\n"
    "Compiles a readable script (see docs/script-language.md) into the install.dat\n"
    "the installer runs. Errors stop it; warnings do not.\n"
    "\n"
    "  -o, --output FILE   where to write (default: install.dat)\n"
    "  --payload DIR       also check that the files the script names (FILE LIST,\n"
    "                      FONT, MESSAGE, AGREEMENT) are in DIR; FILE LIST patterns\n"
    "                      and INSTALL SIZE auto need it\n"
    "  --list              print the names of every FILE LIST, one a line, patterns\n"
    "                      expanded\n" SCRIPT_OPTIONS_HELP;

const char kDecompileUsage[] =
    "usage: ffsbuild decompile [-o SCRIPT] INPUT\n"
    "\n"
    "Turns an install.dat, or the install.dat inside an archive or a finished\n"
    "installer, back into the readable script. Compiling the result gives the\n"
    "same bytes again.\n"
    "\n"
    "  -o, --output FILE   where to write (default: standard output)\n";

const char kBuildUsage[] =
    "usage: ffsbuild build -o INSTALLER [--stub EXE] [-m METHOD] [--level N] [--solid]\n"
    "                      [--icon APP.ico] [--version 1.2.3.4 [--description TEXT] ...]\n"
    "                      [--sign CERT.pfx [--sign-password-file F] [--timestamp URL]]\n"
    "                      [-D NAME=VALUE]... [--werror] [--codepage[=N]]\n"
    "                      SCRIPT PAYLOAD_DIR\n"
    "\n"
    "Makes a finished installer in one step: compiles SCRIPT, checks it against\n"
    "the files below PAYLOAD_DIR, packs install.dat and every payload file (named\n"
    "by its path below PAYLOAD_DIR with backslashes) and appends the archive to\n"
    "the installer executable.\n"
    "\n"
    "  -o, --output FILE   the installer to write\n"
    "  --stub EXE          the installer executable (default: install.exe beside\n"
    "                      ffsbuild, else ../share/ffsbuild/install.exe from there,\n"
    "                      else the one of the build ffsbuild was made in)\n"
    "  -m, --method M      storage of the entries: auto (the default: the quickest\n"
    "                      install for its size, see below), smallest (the smallest\n"
    "                      of raw, 1, 2 and 3), raw, 1, 2, 3 or 4 (zstd, level 19,\n"
    "                      window up to 8 MiB)\n"
    "  --level N           effort of method 3, 0 to 9 (default 9, the smallest)\n"
    "  --solid             pack the payload's files below 4 MiB together, in groups\n"
    "                      of up to 32 MiB, each unpacked once (smaller installers\n"
    "                      of many small files)\n"
    "  --sign CERT.pfx     sign the installer (Authenticode) with the key and\n"
    "                      certificates of the PKCS#12 file, using osslsigncode\n"
    "  --sign-password-file F  the PKCS#12 file's password, on the first line of F\n"
    "  --timestamp URL     have the signature time-stamped by this RFC 3161 server\n"
    SCRIPT_OPTIONS_HELP
    "\n"
    "The installer's own resources (written before signing):\n"
    "  --icon APP.ico      the main window's icon, in every size the file holds\n"
    "  --version V         write a version block: FileVersion and ProductVersion\n"
    "                      V (one to four numbers, 1.2.3.4); CompanyName and\n"
    "                      ProductName from COMPANY NAME and PRODUCT NAME,\n"
    "                      OriginalFilename the installer's file name\n"
    "  --product-version T ProductVersion instead of V\n"
    "  --description TEXT  FileDescription (default: \"<PRODUCT NAME> Setup\")\n"
    "  --copyright TEXT    LegalCopyright\n"
    "  --company TEXT      CompanyName instead of COMPANY NAME\n"
    "  --product TEXT      ProductName instead of PRODUCT NAME\n" AUTO_METHOD_HELP;

const auto Fail = CliFail;

// A script or a file it includes; one larger than all of them may be
// together is refused before it is read.
bool ReadText(const std::string &path, std::string *text, std::string *error) {
  uint64_t size = 0;
  if (FsFileSize(path, &size) && size > SCRIPT_SOURCE_MAX) {
    *error = "larger than 256 MB, more than a script may be";
    return false;
  }
  std::vector<uint8_t> bytes;
  if (!FsReadFile(path, &bytes, error)) return false;
  text->assign(bytes.begin(), bytes.end());
  return true;
}

// The options compile and build share: -D, --werror, --codepage; --list
// for compile. Taken out of the arguments before the rest are read.
struct ScriptFlags {
  std::map<std::string, std::string> defines;
  bool werror = false;
  int codepage = 0;  // 0: no conversion
  bool list = false;
  int warnings = 0;  // the command's own warnings (beyond the compiler's)
};

bool TakeScriptFlags(int *argc, char **argv, bool compile, ScriptFlags *flags, std::string *problem) {
  int kept = 0;
  for (int i = 0; i < *argc; i++) {
    std::string arg = argv[i], define;
    if (arg == "-D" || arg == "--define") {
      if (i + 1 >= *argc) return *problem = arg + " needs NAME=VALUE", false;
      define = argv[++i];
    } else if (arg.compare(0, 2, "-D") == 0) {
      define = arg.substr(2);
    } else if (arg.compare(0, 9, "--define=") == 0) {
      define = arg.substr(9);
    } else if (arg == "--werror") {
      flags->werror = true;
      continue;
    } else if (arg == "--codepage") {
      flags->codepage = CODEPAGE_DEFAULT;
      continue;
    } else if (arg.compare(0, 11, "--codepage=") == 0) {
      flags->codepage = atoi(arg.c_str() + 11);
      if (flags->codepage <= 0) return *problem = "code page '" + arg.substr(11) + "' is not a number", false;
      continue;
    } else if (compile && arg == "--list") {
      flags->list = true;
      continue;
    } else {
      argv[kept++] = argv[i];
      continue;
    }
    size_t equals = define.find('=');
    std::string name = define.substr(0, equals);
    if (!ScriptIsDefineName(name)) return *problem = "'" + define + "' is not NAME=VALUE", false;
    flags->defines[name] = equals == std::string::npos ? "" : define.substr(equals + 1);
  }
  *argc = kept;
  return true;
}

// The names every script knows: the build date in UTC (SOURCE_DATE_EPOCH
// when set, so that builds can be repeated byte for byte), the builder's
// version and the script's folder.
bool BuiltinDefines(const std::string &script, std::map<std::string, std::string> *names) {
  time_t now = time(NULL);
  const char *epoch = getenv("SOURCE_DATE_EPOCH");
  if (epoch != NULL && *epoch) {
    char *end;
    long long seconds = strtoll(epoch, &end, 10);
    if (*end || seconds < 0 || seconds > 253402300799LL) {
      Fail("SOURCE_DATE_EPOCH", std::string("'") + epoch + "' is not a number of seconds since 1970");
      return false;
    }
    now = (time_t)seconds;
  }
  struct tm *when = gmtime(&now);
  if (when == NULL) {
    Fail("SOURCE_DATE_EPOCH", "the date cannot be had");
    return false;
  }
  struct tm utc = *when;
  char text[32];
  strftime(text, sizeof text, "%Y-%m-%d", &utc);
  (*names)["BUILD_DATE"] = text;
  strftime(text, sizeof text, "%Y", &utc);
  (*names)["BUILD_YEAR"] = text;
  (*names)["FFSBUILD_VERSION"] = FFSBUILD_VERSION;
  size_t cut = script.find_last_of("/\\");
  (*names)["SCRIPT_DIR"] = cut == std::string::npos ? "." : script.substr(0, cut == 0 ? 1 : cut);
  return true;
}

// Converts the lines of text that are UTF-8 to the code page, reporting each
// that cannot be; false after such a report.
bool ConvertText(const std::string &name, int codepage, std::string *text) {
  std::string out;
  bool ok = true;
  size_t p = 0;
  for (int number = 1; p <= text->size(); number++) {
    size_t end = text->find('\n', p);
    if (end == std::string::npos) end = text->size();
    std::string line = text->substr(p, end - p), converted, problem;
    if (CodepageLooksUtf8(line)) {
      if (CodepageFromUtf8(line, codepage, &converted, &problem)) {
        line = converted;
      } else {
        fprintf(stderr, "%s:%d: error: %s\n", name.c_str(), number, problem.c_str());
        ok = false;
      }
    }
    out += line;
    if (end < text->size()) out += '\n';
    p = end + 1;
  }
  *text = out;
  return ok;
}

// Compiles the script file, printing every finding; false on errors.
bool CompileFile(const std::string &path, const std::vector<std::string> *payload,
                 const std::vector<uint64_t> *sizes, const ScriptFlags &flags, ScriptCompiled *compiled) {
  std::string source, error;
  if (!ReadText(path, &source, &error)) {
    Fail(path, error);
    return false;
  }
  if (flags.codepage && !ConvertText(path, flags.codepage, &source)) return false;
  ScriptCompileOptions options;
  options.payload = payload;
  options.payloadSizes = sizes;
  options.scriptName = path;
  if (!BuiltinDefines(path, &options.defines)) return false;
  for (const auto &d : flags.defines) {
    options.defines[d.first] = d.second;
    options.fixedDefines.push_back(d.first);
  }
  options.warningsAsErrors = flags.werror;
  bool converted = true;
  options.readFile = [&](const std::string &file, std::string *text, std::string *problem) {
    if (!ReadText(file, text, problem)) return false;
    if (flags.codepage && !ConvertText(file, flags.codepage, text)) converted = false;
    return true;
  };
  bool ok = ScriptCompile(source, options, compiled) && converted;
  for (const ScriptDiagnostic &d : compiled->diagnostics)
    fprintf(stderr, "%s\n", ScriptFormatDiagnostic(path, d).c_str());
  if (!ok)
    fprintf(stderr, "%s: %d error%s, %d warning%s\n", path.c_str(), compiled->errors,
            compiled->errors == 1 ? "" : "s", compiled->warnings, compiled->warnings == 1 ? "" : "s");
  return ok;
}

// A warning of the command itself ("--werror" makes it an error).
void Warn(ScriptFlags *flags, const std::string &where, const std::string &what) {
  fprintf(stderr, "%s: %s: %s\n", where.c_str(), flags->werror ? "error" : "warning", what.c_str());
  flags->warnings++;
}

// The sizes of the payload's files, in the order of names.
bool SizePayload(const std::string &root, const std::vector<std::string> &names, std::vector<uint64_t> *sizes) {
  for (const std::string &name : names) {
    std::string path;
    uint64_t size = 0;
    if (!FsNameToPath(root, name, &path) || !FsFileSize(path, &size)) {
      Fail(root, "cannot measure '" + name + "'");
      return false;
    }
    sizes->push_back(size);
  }
  return true;
}

// The payload's archive names; false (reported) when it cannot be walked.
// Each link skipped is a warning of the command.
bool ListPayload(const std::string &root, std::vector<std::string> *names, ScriptFlags *flags) {
  std::string error;
  std::vector<std::string> skipped;
  if (!FsIsDirectory(root)) {
    error = "not a directory";
  } else if (FsListTree(root, names, &error, &skipped)) {
    for (const std::string &s : skipped) Warn(flags, root, s);
    return true;
  }
  Fail(root, error);
  return false;
}

#ifndef VANTOR_BUILD_STUB
#define VANTOR_BUILD_STUB ""
#endif

// The installer executable when --stub is not given: install.exe beside the
// running ffsbuild, then where the package puts it, then the one of the
// build this ffsbuild was made in. "" (after saying where it looked) when
// none is there.
std::string DefaultStub() {
  std::string self = FsProgramDirectory();
  std::vector<std::string> places;
  if (!self.empty()) places = {self + "install.exe", self + "../share/ffsbuild/install.exe"};
  if (VANTOR_BUILD_STUB[0]) places.push_back(VANTOR_BUILD_STUB);
  std::string tried;
  for (const std::string &place : places) {
    uint64_t size = 0;
    if (FsFileSize(place, &size)) return place;
    tried += "\n  " + place;
  }
  fprintf(stderr, "ffsbuild: build: no installer executable found; looked for:%s\ngive one with --stub EXE\n",
          tried.c_str());
  return "";
}

// The install.dat inside an archive or installer, when data is one.
bool InstallDatOf(const std::vector<uint8_t> &data, std::vector<uint8_t> *content) {
  ArchiveImage image;
  std::string error;
  if (!ArchiveParse(data, &image, &error)) return false;
  int index = ArchiveFind(image, ArchiveHashName(SCRIPT_ENTRY_NAME));
  return index >= 0 && ArchiveDecode(data, image, image.records[index], content, &error);
}

}  // namespace

int CliCompile(int argc, char **argv) {
  if (CliIsHelp(argc, argv)) return fputs(kCompileUsage, stdout), 0;
  CliParsed o;
  ScriptFlags flags;
  std::string problem;
  if (!TakeScriptFlags(&argc, argv, true, &flags, &problem) ||
      !CliCollect(argc, argv, {{"-o", "--output"}, {NULL, "--payload"}}, &o, &problem))
    return CliUsageError("compile", problem);
  if (o.positional.size() != 1) return CliUsageError("compile", "give exactly one script");
  std::vector<std::string> payload;
  std::vector<uint64_t> sizes;
  std::string payloadDir = o.Get("--payload");
  if (!payloadDir.empty() && (!ListPayload(payloadDir, &payload, &flags) || !SizePayload(payloadDir, payload, &sizes)))
    return 1;
  ScriptCompiled compiled;
  if (!CompileFile(o.positional[0], payloadDir.empty() ? nullptr : &payload, payloadDir.empty() ? nullptr : &sizes,
                   flags, &compiled))
    return 1;
  if (flags.werror && flags.warnings > 0)  // the payload's links skipped
    return Fail(o.positional[0], std::to_string(flags.warnings) + " warning" + (flags.warnings == 1 ? "" : "s") +
                                     " treated as errors (--werror)");
  if (flags.list) {
    for (const auto &list : compiled.fileLists)
      for (const std::string &name : list) printf("%s\n", name.c_str());
    if (o.Get("--output").empty()) return 0;  // a listing writes nothing unless asked
  }
  std::string output = o.Get("--output", SCRIPT_ENTRY_NAME), error;
  if (!FsWriteFile(output, compiled.data, &error)) return Fail(output, error);
  return 0;
}

int CliDecompile(int argc, char **argv) {
  if (CliIsHelp(argc, argv)) return fputs(kDecompileUsage, stdout), 0;
  CliParsed o;
  std::string problem;
  if (!CliCollect(argc, argv, {{"-o", "--output"}}, &o, &problem))
    return CliUsageError("decompile", problem);
  if (o.positional.size() != 1) return CliUsageError("decompile", "give exactly one input");
  const std::string &input = o.positional[0];
  std::vector<uint8_t> data, inner;
  std::string error;
  if (!FsReadFile(input, &data, &error)) return Fail(input, error);
  if (InstallDatOf(data, &inner)) data.swap(inner);
  ScriptDecompiled decompiled;
  ScriptDecompile(data, &decompiled);
  for (const ScriptDiagnostic &d : decompiled.diagnostics)
    fprintf(stderr, "%s\n", ScriptFormatDiagnostic(input, d).c_str());
  std::string output = o.Get("--output");
  if (output.empty()) {
    fwrite(decompiled.source.data(), 1, decompiled.source.size(), stdout);
    return fflush(stdout) == 0 ? 0 : Fail("standard output", "cannot be written");
  }
  std::vector<uint8_t> bytes(decompiled.source.begin(), decompiled.source.end());
  if (!FsWriteFile(output, bytes, &error)) return Fail(output, error);
  return 0;
}

namespace {

// Progress of a build on a terminal: one line per stage, rewritten in place.
struct BuildProgress {
  bool shown = FsIsTerminal(stderr);
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  void Stage(const std::string &text) {
    if (!shown) return;
    std::string line = text.size() > 72 ? text.substr(0, 69) + "..." : text;
    fprintf(stderr, "\r%-72s\r%s", "", line.c_str());
    fflush(stderr);
  }
  void Done() {
    if (shown) fprintf(stderr, "\r%-72s\r", "");
  }
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
};

// The page texts (MESSAGE, AGREEMENT) as the archive stores them, with
// their line ends as they are (the page shows LF, CR LF and CR alike): UTF-8
// text is reported, or converted with --codepage; a file FILE LIST also
// installs stays as it is. false after an error.
bool PreparePages(const ScriptCompiled &compiled, const std::string &script, ScriptFlags *flags,
                  std::map<std::string, std::vector<uint8_t>> *pages, const std::string &root) {
  std::set<std::string> installed;
  for (const auto &list : compiled.fileLists)
    for (const std::string &name : list) installed.insert(ScriptUpper(name));
  for (const ScriptPageFile &page : compiled.pageFiles) {
    std::string upper = ScriptUpper(page.name);
    if (pages->count(upper)) continue;
    std::string path, error;
    std::vector<uint8_t> bytes;
    if (!FsNameToPath(root, page.name, &path) || !FsReadFile(path, &bytes, &error)) continue;  // the packing reports it
    std::string text(bytes.begin(), bytes.end());
    ScriptDiagnostic place = page.place;
    std::string where = ScriptFormatDiagnostic(script, place);
    where = where.substr(0, where.find(": warning: "));
    bool utf8 = false;
    size_t p = 0;
    for (int number = 1; p < text.size() && !utf8; number++) {
      size_t end = text.find('\n', p);
      if (end == std::string::npos) end = text.size();
      if (CodepageLooksUtf8(text.substr(p, end - p))) {
        utf8 = true;
        if (!flags->codepage)
          Warn(flags, path + ":" + std::to_string(number),
               "UTF-8 text; the page shows the bytes in the ANSI code page (--codepage 1252 converts it)");
      }
      p = end + 1;
    }
    bool kept = installed.count(upper) != 0;
    if (!utf8 || !flags->codepage) continue;
    if (kept) {
      Warn(flags, where,
           "'" + page.name + "' is also installed through FILE LIST, so it is stored unchanged; to have both, "
           "show a converted copy under another name");
      continue;
    }
    if (!ConvertText(path, flags->codepage, &text)) return false;
    (*pages)[upper] = std::vector<uint8_t>(text.begin(), text.end());
  }
  return true;
}

}  // namespace

int CliBuild(int argc, char **argv) {
  if (CliIsHelp(argc, argv)) return fputs(kBuildUsage, stdout), 0;
  CliParsed o;
  ScriptFlags flags;
  std::string problem;
  bool solid = false;
  int kept = 0;
  for (int i = 0; i < argc; i++) {
    if (strcmp(argv[i], "--solid") == 0) solid = true;
    else argv[kept++] = argv[i];
  }
  argc = kept;
  if (!TakeScriptFlags(&argc, argv, false, &flags, &problem) ||
      !CliCollect(argc, argv,
                  {{"-o", "--output"}, {NULL, "--stub"}, {"-m", "--method"}, {NULL, "--level"}, {NULL, "--sign"},
                   {NULL, "--sign-password-file"}, {NULL, "--timestamp"}, {NULL, "--icon"}, {NULL, "--version"},
                   {NULL, "--product-version"}, {NULL, "--description"}, {NULL, "--copyright"},
                   {NULL, "--company"}, {NULL, "--product"}},
                  &o, &problem))
    return CliUsageError("build", problem);
  if (o.positional.size() != 2) return CliUsageError("build", "give a script and a payload directory");
  std::string output = o.Get("--output");
  if (output.empty()) return CliUsageError("build", "no output given (-o INSTALLER)");
  ArchiveMethod method = ARCHIVE_AUTO;
  if (!ArchiveParseMethod(o.Get("--method", "auto").c_str(), &method))
    return CliUsageError("build", "unknown method '" + o.Get("--method") + "'");
  if (method == ARCHIVE_METHOD3 && !Pack3Available())
    return CliUsageError("build", "method 3 is not available in this build of ffsbuild");
  if (method == ARCHIVE_METHOD4 && !Pack4Available())
    return CliUsageError("build", "method 4 is not available in this build of ffsbuild");
  int level = PACK3_DEFAULT_LEVEL;
  if (!o.Get("--level").empty() && !Pack3ParseLevel(o.Get("--level"), &level))
    return CliUsageError("build", "level '" + o.Get("--level") + "' is not a number from 0 to 9");
  SignOptions sign = {o.Get("--sign"), o.Get("--sign-password-file"), o.Get("--timestamp")};
  if (sign.certificate.empty() && (!sign.passwordFile.empty() || !sign.timestampUrl.empty()))
    return CliUsageError("build", "--sign-password-file and --timestamp need --sign CERT.pfx");
  for (const std::string &file : {sign.certificate, sign.passwordFile}) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!file.empty() && !FsReadFile(file, &bytes, &error)) return Fail(file, error);
  }
  StubResourceOptions resources = {o.Get("--icon"), o.Get("--version"), o.Get("--product-version"),
                                   o.Get("--description"), o.Get("--copyright"), o.Get("--company"),
                                   o.Get("--product"), output.substr(output.find_last_of("/\\") + 1)};
  problem = StubResourcesCheck(resources);
  if (!problem.empty()) return CliUsageError("build", problem);
  const std::string &script = o.positional[0], &root = o.positional[1];
  std::string stubPath = o.Get("--stub");
  if (stubPath.empty() && (stubPath = DefaultStub()).empty()) return 1;
  BuildProgress progress;

  progress.Stage("reading the payload " + root);
  std::vector<std::string> payload;
  std::vector<uint64_t> sizes;
  if (!ListPayload(root, &payload, &flags) || !SizePayload(root, payload, &sizes)) return 1;
  for (const std::string &name : payload)
    if (ScriptUpper(name) == ScriptUpper(SCRIPT_ENTRY_NAME))
      return Fail(root, "holds an install.dat of its own; the compiled script takes that name");
  progress.Stage("compiling " + script);
  ScriptCompiled compiled;
  if (!CompileFile(script, &payload, &sizes, flags, &compiled)) return 1;
  if (compiled.data.empty()) return Fail(script, "holds no command; an installer needs at least one");
  std::set<std::string> named;
  for (const std::string &f : compiled.files) named.insert(ScriptUpper(f));
  for (const std::string &name : payload)
    if (!named.count(ScriptUpper(name))) Warn(&flags, root, "'" + name + "' is packed but the script never names it");
  std::map<std::string, std::vector<uint8_t>> pages;
  if (!PreparePages(compiled, script, &flags, &pages, root)) return 1;
  if (flags.werror && flags.warnings > 0)
    return Fail(script, std::to_string(flags.warnings) + " warning" + (flags.warnings == 1 ? "" : "s") +
                            " treated as errors (--werror)");

  std::string error;
  std::vector<uint8_t> stub;
  if (!FsReadFile(stubPath, &stub, &error)) return Fail(stubPath, error);
  std::string bad;
  if (StubResourcesWanted(resources) && !StubApplyResources(resources, compiled.data, &stub, &bad, &error))
    return Fail(bad.empty() ? stubPath : bad, error);
  // The packed entries wait in a scratch file beside the output, not in
  // memory, until the installer is written.
  FsPartFile spool;
  if (!spool.Open(output + ".spool", &error)) return Fail(output + ".spool.part", error);
  ArchiveWriter writer;
  writer.SetLevel(level);
  writer.SetSolid(solid);
  writer.SetSpool(spool.file);
  if (!writer.Add(SCRIPT_ENTRY_NAME, compiled.data, method, &error)) return Fail(script, error);
  // The files are packed side by side (one thread per processor); the
  // installer is the same byte for byte as one packed after the other.
  uint64_t payloadBytes = 0;
  std::vector<ArchiveInput> inputs(payload.size());
  for (size_t i = 0; i < payload.size(); i++) {
    ArchiveInput &in = inputs[i];
    in.name = payload[i];
    in.method = method;
    in.level = level;
    if (!FsNameToPath(root, in.name, &in.path)) return Fail(root, "cannot hold the name '" + in.name + "'");
    auto page = pages.find(ScriptUpper(in.name));
    if (page != pages.end()) {
      in.content = page->second;
      in.path.clear();
    }
    payloadBytes += page != pages.end() ? in.content.size() : sizes[i];
  }
  size_t failed = 0;
  auto packed = [&](size_t done) {
    if (done < payload.size())
      progress.Stage("packing " + std::to_string(done + 1) + "/" + std::to_string(payload.size()) + " " +
                     payload[done]);
  };
  packed(0);
  if (!writer.AddAll(inputs, 0, &error, &failed, packed)) {
    std::string path;
    FsNameToPath(root, payload[failed], &path);
    return Fail(path, error);
  }
  progress.Stage("writing " + output);
  uint64_t written = 0;
  // With resources of its own, the stub's PE checksum is brought up to date
  // over the whole file.
  if (!ArchiveWriteInstallerFile(stub, writer, output, StubResourcesWanted(resources), &written, &error))
    return Fail(output, error);
  if (!sign.certificate.empty()) {
    progress.Stage("signing " + output);
    if (!SignInstaller(output, sign, &error)) return Fail(output, error);
    if (!FsFileSize(output, &written)) return Fail(output, "cannot be read after signing");
  }
  progress.Done();
  printf("%s: %lu entries, %lu bytes%s\n", output.c_str(), (unsigned long)writer.Count(), (unsigned long)written,
         sign.certificate.empty() ? "" : ", signed");
  if (progress.shown)
    fprintf(stderr, "%lu files, %llu bytes of payload packed into %lu bytes in %.1f s\n",
            (unsigned long)payload.size(), (unsigned long long)payloadBytes, (unsigned long)written,
            progress.Seconds());
  return 0;
}

// Script subcommand: build.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
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
#include "pe-format.h"
#include "pe-resources.h"
#include "script-compiler.h"
#include "script-keywords.h"
#include "script-preprocess.h"
#include "signing.h"
#include "stub-resources.h"
#include "cli-script-parts.h"

using namespace cli_script;

namespace {

const char kBuildUsage[] =
    "usage: ffsbuild build -o INSTALLER [--arch x86|x64] [--stub EXE] [-m METHOD]\n"
    "                      [--level N] [--solid] [--no-branch-filter]\n"
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
    "  --arch A            x86 (the default): a 32-bit installer, install.exe;\n"
    "                      x64: a 64-bit one, install64.exe, which installs into\n"
    "                      the 64-bit Program Files and registry view\n"
    "  --stub EXE          the installer executable (default: the one of --arch\n"
    "                      beside ffsbuild, else in ../share/ffsbuild/ from there,\n"
    "                      else the one of the build ffsbuild was made in)\n"
    "  -m, --method M      storage of the entries: fast (method 4, a file whose\n"
    "                      samples or result do not shrink stored as it is),\n"
    "                      auto (the quickest install for its size of raw, 1, 2\n"
    "                      and 3, see below), smallest (the smallest of raw, 1, 2\n"
    "                      and 3), raw, 1, 2, 3 or 4 (zstd, level 19, window up to\n"
    "                      8 MiB); without -m: fast with --solid, the quickest\n"
    "                      install and about the size of -m 3 --solid\n"
    "  --level N           effort of method 3, 0 to 9 (default 9, the smallest)\n"
    "  --solid             pack the payload's files below 4 MiB together, in groups\n"
    "                      of up to 32 MiB, each unpacked once (smaller installers\n"
    "                      of many small files)\n"
    "  --no-branch-filter  pack x86 and x64 programs and libraries with methods 3\n"
    "                      and 4 only as they are (by default they are also tried\n"
    "                      behind the branch-call filter, and the smaller kept)\n"
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

#ifndef VANTOR_BUILD_STUB
#define VANTOR_BUILD_STUB ""
#endif
#ifndef VANTOR_BUILD_STUB64
#define VANTOR_BUILD_STUB64 ""
#endif

// The two stubs: --arch's word, the file's name, the processor it is made
// for, the build's own file and how a message calls it.
struct StubArch {
  const char *word, *file;
  uint16_t machine;
  const char *built, *kind;
};
const StubArch kStubArchs[] = {
    {"x86", "install.exe", PE_MACHINE_I386, VANTOR_BUILD_STUB, "32-bit (x86)"},
    {"x64", "install64.exe", PE_MACHINE_AMD64, VANTOR_BUILD_STUB64, "64-bit (x64)"},
};

// The installer executable of arch when --stub is not given: beside the
// running ffsbuild, then where the package puts it, then the one of the
// build this ffsbuild was made in. "" (after saying where it looked) when
// none is there.
std::string DefaultStub(const StubArch &arch) {
  std::string self = FsProgramDirectory();
  std::vector<std::string> places;
  if (!self.empty()) places = {self + arch.file, self + "../share/ffsbuild/" + arch.file};
  if (arch.built[0]) places.push_back(arch.built);
  std::string tried;
  for (const std::string &place : places) {
    uint64_t size = 0;
    if (FsFileSize(place, &size)) return place;
    tried += "\n  " + place;
  }
  fprintf(stderr, "ffsbuild: build: no %s installer executable (%s) found; looked for:%s\ngive one with --stub EXE\n",
          arch.kind, arch.file, tried.c_str());
  return "";
}

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
// their line ends as they are (the page shows LF, CR LF and CR alike), in
// UTF-8: UTF-16 after a byte order mark and, with --codepage, text of that
// code page converted, a UTF-8 byte order mark dropped; other text that is
// not UTF-8 is reported. A file FILE LIST also installs stays as it is.
// false after an error.
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
    std::string raw(bytes.begin(), bytes.end()), text;
    ScriptDiagnostic place = page.place;
    std::string where = ScriptFormatDiagnostic(script, place);
    where = where.substr(0, where.find(": warning: "));
    if (!CodepageReadText(raw, flags->codepage, &text, &error)) {
      TextFail(path, error);
      return false;
    }
    size_t bad = CodepageUtf8Error(text);
    if (bad != std::string::npos) {
      Warn(flags, path + ":" + std::to_string(1 + std::count(text.begin(), text.begin() + (long)bad, '\n')),
           "text that is not UTF-8; the page shows it wrong (--codepage=N reads it in the code page N)");
      continue;
    }
    if (text == raw) continue;
    if (installed.count(upper) != 0) {
      Warn(flags, where,
           "'" + page.name + "' is also installed through FILE LIST, so it is stored unchanged; to have both, "
           "show a converted copy under another name");
      continue;
    }
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
  bool solid = false, branchFilter = true;
  int kept = 0;
  for (int i = 0; i < argc; i++) {
    if (strcmp(argv[i], "--solid") == 0) solid = true;
    else if (strcmp(argv[i], "--no-branch-filter") == 0) branchFilter = false;
    else argv[kept++] = argv[i];
  }
  argc = kept;
  if (!TakeScriptFlags(&argc, argv, false, &flags, &problem) ||
      !CliCollect(argc, argv,
                  {{"-o", "--output"}, {NULL, "--arch"}, {NULL, "--stub"}, {"-m", "--method"}, {NULL, "--level"}, {NULL, "--sign"},
                   {NULL, "--sign-password-file"}, {NULL, "--timestamp"}, {NULL, "--icon"}, {NULL, "--version"},
                   {NULL, "--product-version"}, {NULL, "--description"}, {NULL, "--copyright"},
                   {NULL, "--company"}, {NULL, "--product"}},
                  &o, &problem))
    return CliUsageError("build", problem);
  if (o.positional.size() != 2) return CliUsageError("build", "give a script and a payload directory");
  std::string output = o.Get("--output");
  if (output.empty()) return CliUsageError("build", "no output given (-o INSTALLER)");
  // Without a method: method 4 in solid groups, what does not pack stored.
  ArchiveMethod method = ARCHIVE_FAST;
  if (o.Get("--method").empty()) solid = true;
  if (!ArchiveParseMethod(o.Get("--method", "fast").c_str(), &method))
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
  const StubArch *arch = NULL;
  for (const StubArch &a : kStubArchs)
    if (o.Get("--arch", "x86") == a.word) arch = &a;
  if (arch == NULL) return CliUsageError("build", "unknown architecture '" + o.Get("--arch") + "' (x86 or x64)");
  std::string stubPath = o.Get("--stub");
  if (stubPath.empty() && (stubPath = DefaultStub(*arch)).empty()) return 1;
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
  // The version Add/Remove Programs shows: the script's own, else --version's.
  const std::string &shownVersion = resources.productVersion.empty() ? resources.version : resources.productVersion;
  if (!shownVersion.empty() && StubScriptValue(compiled.data, "PRODUCT VERSION").empty()) {
    std::string line = std::string(1, (char)SCRIPT_MARK) + "PRODUCT VERSION:" + shownVersion + "\r\n";
    compiled.data.insert(compiled.data.begin(), line.begin(), line.end());
  }
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
  // --stub takes any stub; with --arch as well, it must be of that arch.
  if (!o.Get("--arch").empty() && !o.Get("--stub").empty() && PeMachine(stub) != arch->machine)
    return Fail(stubPath, std::string("is not a ") + arch->kind + " Windows program, which --arch " + arch->word +
                              " asks for");
  std::string bad;
  bool rewritten = false;
  // A machine install from a stub that cannot be edited (one already
  // signed, say) takes the stub as it is, with the manifest it carries.
  if (!StubApplyResources(resources, compiled.data, &stub, &rewritten, &bad, &error) &&
      (StubResourcesWanted(resources) || !bad.empty() || !StubMachineScope(compiled.data)))
    return Fail(bad.empty() ? stubPath : bad, error);
  // The packed entries wait in a scratch file beside the output, not in
  // memory, until the installer is written.
  FsPartFile spool;
  if (!spool.Open(output + ".spool", &error)) return Fail(output + ".spool.part", error);
  ArchiveWriter writer;
  writer.SetLevel(level);
  writer.SetSolid(solid);
  writer.SetBranchFilter(branchFilter);
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
  if (!ArchiveWriteInstallerFile(stub, writer, output, rewritten, &written, &error))
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

// Script subcommands: compile, decompile, build.
#include <stdio.h>
#include <string.h>

#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "archive-reader.h"
#include "archive-writer.h"
#include "commands.h"
#include "fsutil.h"
#include "script-compiler.h"
#include "script-keywords.h"

namespace {

const char kCompileUsage[] =
    "usage: ffsbuild compile [-o INSTALL.DAT] [--payload DIR] SCRIPT\n"
    "\n"
    "Compiles a readable script (see docs/script-language.md) into the install.dat\n"
    "the installer runs. Errors stop it; warnings do not.\n"
    "\n"
    "  -o, --output FILE   where to write (default: install.dat)\n"
    "  --payload DIR       also check that the files the script names (FILE LIST,\n"
    "                      FONT, MESSAGE, AGREEMENT) are in DIR\n";

const char kDecompileUsage[] =
    "usage: ffsbuild decompile [-o SCRIPT] INPUT\n"
    "\n"
    "Turns an install.dat, or the install.dat inside an archive or a finished\n"
    "installer, back into the readable script. Compiling the result gives the\n"
    "same bytes again.\n"
    "\n"
    "  -o, --output FILE   where to write (default: standard output)\n";

const char kBuildUsage[] =
    "usage: ffsbuild build -o INSTALLER [--stub EXE] [-m METHOD] SCRIPT PAYLOAD_DIR\n"
    "\n"
    "Makes a finished installer in one step: compiles SCRIPT, checks it against\n"
    "the files below PAYLOAD_DIR, packs install.dat and every payload file (named\n"
    "by its path below PAYLOAD_DIR with backslashes) and appends the archive to\n"
    "the installer executable.\n"
    "\n"
    "  -o, --output FILE   the installer to write\n"
    "  --stub EXE          the installer executable (default: install.exe beside\n"
    "                      ffsbuild)\n"
    "  -m, --method M      storage of the entries: auto (the default), raw, 1 or 2\n";

int Fail(const std::string &file, const std::string &what) {
  fprintf(stderr, "ffsbuild: %s: %s\n", file.c_str(), what.c_str());
  return 1;
}

int Usage(const char *command, const char *usage, const std::string &what) {
  if (what.empty()) {
    fputs(usage, stdout);
    return 0;
  }
  fprintf(stderr, "ffsbuild: %s: %s (see 'ffsbuild %s --help')\n", command, what.c_str(), command);
  return 2;
}

// The options of one subcommand: "-o FILE", "--output FILE", "--output=FILE"
// and the positional arguments, in order.
struct Parsed {
  std::vector<std::pair<std::string, std::string>> values;
  std::vector<std::string> positional;
  bool help = false;
  std::string error;

  std::string Get(const std::string &name, const std::string &fallback = "") const {
    for (const auto &v : values)
      if (v.first == name) return v.second;
    return fallback;
  }
};

struct OptionName {
  const char *shortName;  // or NULL
  const char *longName;
};

Parsed ParseOptions(int argc, char **argv, const std::vector<OptionName> &names) {
  Parsed parsed;
  for (int i = 0; i < argc; i++) {
    std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      parsed.help = true;
      continue;
    }
    if (arg.size() < 2 || arg[0] != '-') {
      parsed.positional.push_back(arg);
      continue;
    }
    const OptionName *found = nullptr;
    std::string value;
    bool inline_value = false;
    for (const OptionName &n : names) {
      std::string longName = n.longName;
      if (arg == longName || (n.shortName && arg == n.shortName)) found = &n;
      if (arg.compare(0, longName.size() + 1, longName + "=") == 0) {
        found = &n;
        value = arg.substr(longName.size() + 1);
        inline_value = true;
      }
      if (found) break;
    }
    if (!found) {
      parsed.error = "unknown option '" + arg + "'";
      return parsed;
    }
    if (!inline_value) {
      if (i + 1 >= argc) {
        parsed.error = arg + " needs a value";
        return parsed;
      }
      value = argv[++i];
    }
    parsed.values.push_back({found->longName, value});
  }
  return parsed;
}

bool ReadText(const std::string &path, std::string *text, std::string *error) {
  std::vector<uint8_t> bytes;
  if (!FsReadFile(path, &bytes, error)) return false;
  text->assign(bytes.begin(), bytes.end());
  return true;
}

// Compiles the script file, printing every finding; false on errors.
bool CompileFile(const std::string &path, const std::vector<std::string> *payload, ScriptCompiled *compiled) {
  std::string source, error;
  if (!ReadText(path, &source, &error)) {
    Fail(path, error);
    return false;
  }
  ScriptCompileOptions options;
  options.payload = payload;
  bool ok = ScriptCompile(source, options, compiled);
  for (const ScriptDiagnostic &d : compiled->diagnostics)
    fprintf(stderr, "%s\n", ScriptFormatDiagnostic(path, d).c_str());
  if (!ok)
    fprintf(stderr, "%s: %d error%s, %d warning%s\n", path.c_str(), compiled->errors,
            compiled->errors == 1 ? "" : "s", compiled->warnings, compiled->warnings == 1 ? "" : "s");
  return ok;
}

// The payload's archive names; false (reported) when it cannot be walked.
bool ListPayload(const std::string &root, std::vector<std::string> *names) {
  std::string error;
  if (!FsIsDirectory(root)) error = "not a directory";
  else if (FsListTree(root, names, &error)) return true;
  Fail(root, error);
  return false;
}

// install.exe in the folder of the running ffsbuild.
std::string DefaultStub() {
  char path[4096] = {0};
#ifdef _WIN32
  DWORD n = GetModuleFileNameA(NULL, path, sizeof path - 1);
  if (n == 0 || n >= sizeof path - 1) return "install.exe";
#else
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "install.exe";
  path[n] = 0;
#endif
  std::string self = path;
  size_t cut = self.find_last_of("/\\");
  return cut == std::string::npos ? "install.exe" : self.substr(0, cut + 1) + "install.exe";
}

// The install.dat inside an archive or installer, when data is one.
bool InstallDatOf(const std::vector<uint8_t> &data, std::vector<uint8_t> *content) {
  ArchiveImage image;
  std::string error;
  if (!ArchiveParse(data, &image, &error)) return false;
  int index = ArchiveFind(image, ArchiveHashName("install.dat"));
  return index >= 0 && ArchiveDecode(data, image.records[index], content, &error);
}

}  // namespace

int CommandCompile(int argc, char **argv) {
  Parsed o = ParseOptions(argc, argv, {{"-o", "--output"}, {NULL, "--payload"}});
  if (o.help) return Usage("compile", kCompileUsage, "");
  if (!o.error.empty()) return Usage("compile", kCompileUsage, o.error);
  if (o.positional.size() != 1) return Usage("compile", kCompileUsage, "give exactly one script");
  std::vector<std::string> payload;
  std::string payloadDir = o.Get("--payload");
  if (!payloadDir.empty() && !ListPayload(payloadDir, &payload)) return 1;
  ScriptCompiled compiled;
  if (!CompileFile(o.positional[0], payloadDir.empty() ? nullptr : &payload, &compiled)) return 1;
  std::string output = o.Get("--output", "install.dat"), error;
  if (!FsWriteFile(output, compiled.data, &error)) return Fail(output, error);
  return 0;
}

int CommandDecompile(int argc, char **argv) {
  Parsed o = ParseOptions(argc, argv, {{"-o", "--output"}});
  if (o.help) return Usage("decompile", kDecompileUsage, "");
  if (!o.error.empty()) return Usage("decompile", kDecompileUsage, o.error);
  if (o.positional.size() != 1) return Usage("decompile", kDecompileUsage, "give exactly one input");
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

int CommandBuild(int argc, char **argv) {
  Parsed o = ParseOptions(argc, argv, {{"-o", "--output"}, {NULL, "--stub"}, {"-m", "--method"}});
  if (o.help) return Usage("build", kBuildUsage, "");
  if (!o.error.empty()) return Usage("build", kBuildUsage, o.error);
  if (o.positional.size() != 2) return Usage("build", kBuildUsage, "give a script and a payload directory");
  std::string output = o.Get("--output");
  if (output.empty()) return Usage("build", kBuildUsage, "no output given (-o INSTALLER)");
  ArchiveMethod method = ARCHIVE_AUTO;
  if (!ArchiveParseMethod(o.Get("--method", "auto").c_str(), &method))
    return Usage("build", kBuildUsage, "unknown method '" + o.Get("--method") + "'");
  const std::string &script = o.positional[0], &root = o.positional[1];

  std::vector<std::string> payload;
  if (!ListPayload(root, &payload)) return 1;
  for (const std::string &name : payload)
    if (ScriptUpper(name) == "INSTALL.DAT")
      return Fail(root, "holds an install.dat of its own; the compiled script takes that name");
  ScriptCompiled compiled;
  if (!CompileFile(script, &payload, &compiled)) return 1;
  if (compiled.data.empty()) return Fail(script, "holds no command; an installer needs at least one");
  std::set<std::string> named;
  for (const std::string &f : compiled.files) named.insert(ScriptUpper(f));
  for (const std::string &name : payload)
    if (!named.count(ScriptUpper(name)))
      fprintf(stderr, "%s: warning: '%s' is packed but the script never names it\n", root.c_str(), name.c_str());

  std::string stubPath = o.Get("--stub", DefaultStub()), error;
  std::vector<uint8_t> stub, content, installer;
  if (!FsReadFile(stubPath, &stub, &error)) return Fail(stubPath, error);
  ArchiveWriter writer;
  if (!writer.Add("install.dat", compiled.data, method, &error)) return Fail(script, error);
  for (const std::string &name : payload) {
    std::string path;
    if (!FsNameToPath(root, name, &path)) return Fail(root, "cannot hold the name '" + name + "'");
    if (!FsReadFile(path, &content, &error)) return Fail(path, error);
    if (!writer.Add(name, content, method, &error)) return Fail(path, error);
  }
  if (!ArchiveWriteInstaller(stub, writer, &installer, &error)) return Fail(output, error);
  if (!FsWriteFile(output, installer, &error)) return Fail(output, error);
  printf("%s: %lu entries, %lu bytes\n", output.c_str(), (unsigned long)writer.Count(),
         (unsigned long)installer.size());
  return 0;
}

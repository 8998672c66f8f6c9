// What the script subcommands share: their options, reading and compiling
// the script, the payload's names and sizes.
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
#include "cli-script-parts.h"

namespace cli_script {

namespace {

// A script or a file it includes, made UTF-8 (CodepageReadText); one
// larger than all of them may be together is refused before it is read.
bool ReadText(const std::string &path, int codepage, std::string *text, std::string *error) {
  uint64_t size = 0;
  if (FsFileSize(path, &size) && size > SCRIPT_SOURCE_MAX) {
    *error = "larger than 256 MB, more than a script may be";
    return false;
  }
  std::vector<uint8_t> bytes;
  if (!FsReadFile(path, &bytes, error)) return false;
  return CodepageReadText(std::string(bytes.begin(), bytes.end()), codepage, text, error);
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

}  // namespace

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
      // "--codepage 1251" as well as "--codepage=1251"
      bool number = i + 1 < *argc && argv[i + 1][0] && strspn(argv[i + 1], "0123456789") == strlen(argv[i + 1]);
      flags->codepage = number ? atoi(argv[++i]) : CODEPAGE_DEFAULT;
      if (flags->codepage <= 0) return *problem = "code page '" + std::string(argv[i]) + "' is not a number", false;
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

void TextFail(const std::string &path, const std::string &problem) {
  bool placed = !problem.empty() && problem[0] >= '0' && problem[0] <= '9';
  size_t cut = placed ? problem.find(": ") : std::string::npos;
  if (cut == std::string::npos)
    fprintf(stderr, "%s: error: %s\n", path.c_str(), problem.c_str());
  else
    fprintf(stderr, "%s:%s: error: %s\n", path.c_str(), problem.substr(0, cut).c_str(), problem.c_str() + cut + 2);
}

// Compiles the script file, printing every finding; false on errors.
bool CompileFile(const std::string &path, const std::vector<std::string> *payload,
                 const std::vector<uint64_t> *sizes, const ScriptFlags &flags, ScriptCompiled *compiled) {
  std::string source, error;
  if (!ReadText(path, flags.codepage, &source, &error)) {
    TextFail(path, error);
    return false;
  }
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
  options.readFile = [&](const std::string &file, std::string *text, std::string *problem) {
    return ReadText(file, flags.codepage, text, problem);
  };
  bool ok = ScriptCompile(source, options, compiled);
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

}  // namespace cli_script

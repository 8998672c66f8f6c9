// What the script subcommands share (cli-script.cpp: compile and decompile;
// cli-build.cpp: build; cli-script-common.cpp: the options compile and build
// share, reading and compiling the script, the payload's names and sizes).
// Not for other callers: they include cli.h.
#ifndef BUILDER_CLI_SCRIPT_PARTS_H
#define BUILDER_CLI_SCRIPT_PARTS_H

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "cli.h"
#include "script-compiler.h"

namespace cli_script {

#define SCRIPT_OPTIONS_HELP                                                           \
  "  -D NAME=VALUE       define NAME for ${NAME} and !ifdef (wins over !define)\n"    \
  "  --werror            treat warnings as errors\n"                                  \
  "  --codepage[=N]      read text that is not UTF-8 (the script, its includes,\n" \
  "                      the page texts) as code page N (default 1252)\n"

const auto Fail = CliFail;

// The options compile and build share: -D, --werror, --codepage; --list
// for compile. Taken out of the arguments before the rest are read.
struct ScriptFlags {
  std::map<std::string, std::string> defines;
  bool werror = false;
  int codepage = 0;  // 0: no conversion
  bool list = false;
  int warnings = 0;  // the command's own warnings (beyond the compiler's)
};

bool TakeScriptFlags(int *argc, char **argv, bool compile, ScriptFlags *flags, std::string *problem);
// Reports a text that cannot be read as UTF-8 (CodepageReadText's problem,
// its line and column put after the path).
void TextFail(const std::string &path, const std::string &problem);
// Compiles the script file, printing every finding; false on errors.
bool CompileFile(const std::string &path, const std::vector<std::string> *payload,
                 const std::vector<uint64_t> *sizes, const ScriptFlags &flags, ScriptCompiled *compiled);
// A warning of the command itself ("--werror" makes it an error).
void Warn(ScriptFlags *flags, const std::string &where, const std::string &what);
// The sizes of the payload's files, in the order of names.
bool SizePayload(const std::string &root, const std::vector<std::string> &names, std::vector<uint64_t> *sizes);
// The payload's archive names; false (reported) when it cannot be walked.
// Each link skipped is a warning of the command.
bool ListPayload(const std::string &root, std::vector<std::string> *names, ScriptFlags *flags);

}  // namespace cli_script

#endif

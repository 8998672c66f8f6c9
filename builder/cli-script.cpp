// Script subcommands: compile, decompile.
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

using namespace cli_script;

namespace {

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

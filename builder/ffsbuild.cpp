// ffsbuild: builds archives, install scripts and finished installers.
#include <stdio.h>
#include <string.h>

#include <exception>
#include <new>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

#include "cli.h"
#include "script-format.h"

namespace {

struct Subcommand {
  const char *name;
  int (*run)(int argc, char **argv);
  const char *summary;
};

const Subcommand subcommands[] = {
    {"build", CliBuild, "script + payload folder + stub -> finished installer"},
    {"compile", CliCompile, "readable script -> " SCRIPT_ENTRY_NAME},
    {"decompile", CliDecompile, SCRIPT_ENTRY_NAME " -> readable script"},
    {"pack", CliPack, "files or directories -> archive"},
    {"stub", CliStub, "append an archive to an executable"},
    {"list", CliList, "entries of an archive or installer"},
    {"extract", CliExtract, "unpack entries of an archive or installer"},
    {"verify", CliVerify, "check entries, signature and integrity record"},
};

void Usage(FILE *out) {
  fprintf(out, "usage: ffsbuild <command> [options] ...\n\ncommands:\n");
  for (const Subcommand &s : subcommands) fprintf(out, "  %-10s %s\n", s.name, s.summary);
  fprintf(out, "\n'ffsbuild <command> --help' describes a command's options;\n'ffsbuild --version' prints the version.\n");
}

int Run(int argc, char **argv) {
  if (argc < 2) {
    Usage(stderr);
    return 2;
  }
  bool help = !strcmp(argv[1], "--help") || !strcmp(argv[1], "-h") || !strcmp(argv[1], "help");
  if (help && argc > 2) {
    // "ffsbuild help pack" is "ffsbuild pack --help".
    char option[] = "--help";
    char *args[] = {option, NULL};
    for (const Subcommand &s : subcommands)
      if (!strcmp(argv[2], s.name)) return s.run(1, args);
  }
  if (help) {
    Usage(stdout);
    return 0;
  }
  if (!strcmp(argv[1], "--version")) {
    printf("ffsbuild %s\n", FFSBUILD_VERSION);
    return 0;
  }
  for (const Subcommand &s : subcommands)
    if (!strcmp(argv[1], s.name)) return s.run(argc - 2, argv + 2);
  fprintf(stderr, "ffsbuild: unknown command '%s' (see 'ffsbuild --help')\n", argv[1]);
  return 2;
}

}  // namespace

// The commands stop on bad input with their own messages; whatever still
// escapes them (memory running out above all) ends the run with a message
// and a failure, never an abort; a file being written is still its ".part"
// file, removed on the way out.
int main(int argc, char **argv) {
  try {
#ifdef _WIN32
    // The arguments in UTF-8, as the builder takes every path and text.
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    std::vector<char *> pointers;
    for (int i = 0; wide != NULL && i < count; i++) {
      int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, NULL, 0, NULL, NULL);
      std::string arg((size_t)(n > 0 ? n - 1 : 0), '\0');
      if (n > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, &arg[0], n, NULL, NULL);
      args.push_back(arg);
    }
    if (wide != NULL) LocalFree(wide);
    if (!args.empty()) {
      for (std::string &a : args) pointers.push_back(&a[0]);
      pointers.push_back(NULL);
      argc = (int)args.size();
      argv = pointers.data();
    }
#endif
    return Run(argc, argv);
  } catch (const std::bad_alloc &) {
    fprintf(stderr, "ffsbuild: out of memory; the run stopped\n");
  } catch (const std::exception &e) {
    fprintf(stderr, "ffsbuild: stopped by an internal error (%s)\n", e.what());
  } catch (...) {
    fprintf(stderr, "ffsbuild: stopped by an internal error\n");
  }
  return 1;
}

// What every ffsbuild subcommand prints on failure.
#ifndef BUILDER_CLI_H
#define BUILDER_CLI_H

#include <stdio.h>

#include <string>

// "ffsbuild: <file>: <what is wrong>" on stderr; returns exit code 1.
inline int CliFail(const std::string &file, const std::string &what) {
  fprintf(stderr, "ffsbuild: %s: %s\n", file.c_str(), what.c_str());
  return 1;
}

// "ffsbuild: <command>: <what> (see 'ffsbuild <command> --help')" on
// stderr; returns exit code 2.
inline int CliUsageError(const char *command, const std::string &what) {
  fprintf(stderr, "ffsbuild: %s: %s (see 'ffsbuild %s --help')\n", command, what.c_str(), command);
  return 2;
}

#endif

// The command line of ffsbuild: its subcommands, the one option reader they
// all use, and what each prints on failure.
#ifndef BUILDER_CLI_H
#define BUILDER_CLI_H

#include <string>
#include <utility>
#include <vector>

#define FFSBUILD_VERSION "1.0.0"

// How -m auto chooses, for the usage texts of pack and build.
#define AUTO_METHOD_HELP                                                             \
  "\n"                                                                               \
  "auto weighs each entry's install time as well as its size: every method is\n"      \
  "charged its stored bytes plus, for unpacking, one byte per 64 content bytes\n"   \
  "with method 1, per 8 with method 2 and per 5 with method 3 (their relative\n"    \
  "speeds), and the lowest charge wins. Methods that cannot win are not tried.\n"

// The subcommands. Each takes the arguments after its own name and returns
// the process exit code (0 success, 1 failure, 2 usage).
// Archive subcommands (cli-archive.cpp).
int CliPack(int argc, char **argv);
int CliStub(int argc, char **argv);
int CliList(int argc, char **argv);
int CliExtract(int argc, char **argv);
int CliVerify(int argc, char **argv);
// Script subcommands (cli-script.cpp: compile, decompile; cli-build.cpp: build).
int CliCompile(int argc, char **argv);
int CliDecompile(int argc, char **argv);
int CliBuild(int argc, char **argv);

// "ffsbuild: <file>: <what is wrong>" on stderr; returns exit code 1.
int CliFail(const std::string &file, const std::string &what);
// "ffsbuild: <command>: <what> (see 'ffsbuild <command> --help')" on
// stderr; returns exit code 2.
int CliUsageError(const char *command, const std::string &what);
// True when "-h" or "--help" is among the arguments.
bool CliIsHelp(int argc, char **argv);

// Reads a subcommand's arguments in order. An option with a value is
// written "-o FILE", "--output FILE" or "--output=FILE".
struct CliOptions {
  CliOptions(int count, char **args) : argc(count), argv(args) {}
  int argc;
  char **argv;
  int at = 0;         // the argument read next
  std::string error;  // set when an option lacks its value

  bool More() const { return at < argc; }
  const char *Peek() const { return argv[at]; }
  // True when the current argument is one of the names (shortName may be
  // NULL); takes it and its value.
  bool Value(const char *shortName, const char *longName, std::string *value);
  // True when the current argument is one of the names; takes it.
  bool Flag(const char *shortName, const char *longName);
  // True when the current argument looks like an option ("-x", not "-").
  bool AtOption() const { return argv[at][0] == '-' && argv[at][1] != 0; }
};

// For subcommands whose options all take values: the values of the named
// options (by long name; the first one given counts) and the positional
// arguments in order. False with *error at the first unknown option or
// option without its value.
struct CliOptionName {
  const char *shortName;  // or NULL
  const char *longName;
};
struct CliParsed {
  std::vector<std::pair<std::string, std::string>> values;
  std::vector<std::string> positional;
  std::string Get(const std::string &name, const std::string &fallback = "") const;
};
bool CliCollect(int argc, char **argv, const std::vector<CliOptionName> &names, CliParsed *parsed,
                std::string *error);

#endif

#include "cli.h"

#include <stdio.h>
#include <string.h>

int CliFail(const std::string &file, const std::string &what) {
  fprintf(stderr, "ffsbuild: %s: %s\n", file.c_str(), what.c_str());
  return 1;
}

int CliUsageError(const char *command, const std::string &what) {
  fprintf(stderr, "ffsbuild: %s: %s (see 'ffsbuild %s --help')\n", command, what.c_str(), command);
  return 2;
}

bool CliIsHelp(int argc, char **argv) {
  for (int i = 0; i < argc; i++)
    if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h")) return true;
  return false;
}

bool CliOptions::Value(const char *shortName, const char *longName, std::string *value) {
  const char *arg = argv[at];
  size_t n = strlen(longName);
  if (strncmp(arg, longName, n) == 0 && arg[n] == '=') {
    *value = arg + n + 1;
    at++;
    return true;
  }
  if (!(shortName && strcmp(arg, shortName) == 0) && strcmp(arg, longName) != 0) return false;
  if (at + 1 >= argc) {
    error = std::string(arg) + " needs a value";
    at = argc;
    return false;
  }
  *value = argv[at + 1];
  at += 2;
  return true;
}

bool CliOptions::Flag(const char *shortName, const char *longName) {
  if ((shortName && strcmp(argv[at], shortName) == 0) || strcmp(argv[at], longName) == 0) {
    at++;
    return true;
  }
  return false;
}

std::string CliParsed::Get(const std::string &name, const std::string &fallback) const {
  for (const auto &v : values)
    if (v.first == name) return v.second;
  return fallback;
}

bool CliCollect(int argc, char **argv, const std::vector<CliOptionName> &names, CliParsed *parsed,
                std::string *error) {
  CliOptions o(argc, argv);
  while (o.More()) {
    bool taken = false;
    for (const CliOptionName &n : names) {
      std::string value;
      if (o.Value(n.shortName, n.longName, &value)) {
        parsed->values.push_back({n.longName, value});
        taken = true;
        break;
      }
      if (!o.error.empty()) return *error = o.error, false;
    }
    if (taken) continue;
    if (o.Flag("-h", "--help")) continue;
    if (o.AtOption()) return *error = std::string("unknown option '") + o.Peek() + "'", false;
    parsed->positional.push_back(argv[o.at++]);
  }
  return true;
}

#include "file-pattern.h"

#include "windows-names.h"

namespace {

std::vector<std::string> Parts(const std::string &path) {
  std::vector<std::string> parts;
  size_t p = 0;
  for (;;) {
    size_t end = path.find('\\', p);
    if (end == std::string::npos) end = path.size();
    parts.push_back(path.substr(p, end - p));
    if (end == path.size()) return parts;
    p = end + 1;
  }
}

// One folder or name against one part of a pattern ('*' within it), both
// folded.
bool MatchPart(const char *pattern, const char *name) {
  const char *star = nullptr, *resume = nullptr;
  while (*name) {
    if (*pattern == '*') {
      star = pattern++;
      resume = name;
    } else if (*pattern && *pattern == *name) {
      pattern++;
      name++;
    } else if (star) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') pattern++;
  return *pattern == 0;
}

// Whether pattern parts from p on match name parts from n on; each pair is
// worked out once (memo: 0 unknown, 1 no, 2 yes), so that many "**" cost
// no more than the table.
bool MatchParts(const std::vector<std::string> &pattern, size_t p, const std::vector<std::string> &name, size_t n,
                std::vector<char> *memo) {
  char &known = (*memo)[p * (name.size() + 1) + n];
  if (known) return known == 2;
  bool result;
  if (p == pattern.size()) {
    result = n == name.size();
  } else if (pattern[p] == "**") {
    // Any number of folders, none included.
    result = false;
    for (size_t skip = n; skip <= name.size() && !result; skip++) result = MatchParts(pattern, p + 1, name, skip, memo);
  } else {
    result = n < name.size() && MatchPart(pattern[p].c_str(), name[n].c_str()) &&
             MatchParts(pattern, p + 1, name, n + 1, memo);
  }
  known = result ? 2 : 1;
  return result;
}

}  // namespace

bool FilePatternIs(const std::string &entry) { return entry.find('*') != std::string::npos; }

bool FilePatternMatch(const std::string &pattern, const std::string &name) {
  std::vector<std::string> parts = Parts(WindowsNameFold(pattern));
  std::vector<std::string> names = Parts(WindowsNameFold(name));
  // "**" at the end matches files only, never nothing at all.
  if (parts.back() == "**") parts.back() = "*", parts.insert(parts.end() - 1, "**");
  std::vector<char> memo((parts.size() + 1) * (names.size() + 1), 0);
  return MatchParts(parts, 0, names, 0, &memo);
}

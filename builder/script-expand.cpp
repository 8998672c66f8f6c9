// FILE LIST patterns, expanded over the payload.
#include "file-pattern.h"
#include "script-compiler-parts.h"

namespace script_compiler {

// Replaces a FILE LIST with patterns by the names they expand to (in
// expanded_, each with the column of its pattern). false after an error.
bool Compiler::ExpandFileList(Arg *arg, int number) {
  // In a list with patterns the blanks around each entry are dropped.
  std::vector<Arg> entries = Split(*arg, ',', true);
  bool patterns = false;
  for (const Arg &e : entries) patterns = patterns || FilePatternIs(e.text);
  if (!patterns) return true;
  if (!checkPayload_) {
    Report(true, number, arg->column, "a FILE LIST with patterns needs the payload to expand them (--payload DIR)");
    return false;
  }
  std::vector<Arg> chosen;
  std::set<std::string> seen;
  bool ok = true;
  for (const Arg &e : entries) {
    if (!e.text.empty() && e.text[0] == '!') continue;
    if (!FilePatternIs(e.text)) {
      if (seen.insert(WindowsNameFold(e.text)).second) chosen.push_back(e);
      continue;
    }
    size_t before = chosen.size();
    for (const std::string &name : *options_.payload)
      if (FilePatternMatch(e.text, name) && seen.insert(WindowsNameFold(name)).second) chosen.push_back({name, e.column});
    bool matched = chosen.size() > before;
    for (const std::string &name : *options_.payload) matched = matched || FilePatternMatch(e.text, name);
    if (!matched) {
      std::string message = "'" + e.text + "' matches no file of the payload";
      if (e.text.find('/') != std::string::npos) message += "; archive names use '\\' between folders";
      Report(true, number, e.column, message);
      ok = false;
    }
  }
  for (const Arg &e : entries) {
    if (e.text.empty() || e.text[0] != '!') continue;
    std::string pattern = e.text.substr(1);
    size_t before = chosen.size();
    std::vector<Arg> kept;
    for (const Arg &c : chosen)
      if (!FilePatternMatch(pattern, c.text)) kept.push_back(c);
    chosen.swap(kept);
    if (chosen.size() == before)
      Report(false, number, e.column, "the exclusion '" + e.text + "' leaves out nothing");
  }
  if (!ok) return false;
  if (chosen.empty()) {
    Report(true, number, arg->column, "the FILE LIST names no file once its exclusions are applied");
    return false;
  }
  std::string joined;
  for (const Arg &c : chosen) {
    if (c.text.find(',') != std::string::npos) {
      Report(true, number, c.column, "'" + c.text + "' has a comma in its name, which FILE LIST reads as a separator");
      ok = false;
    }
    joined += (joined.empty() ? "" : ",") + c.text;
  }
  // The whole list is one argument of install.dat, which the installer
  // loads whole and measures with 32-bit signed lengths.
  if (joined.size() > (size_t)SCRIPT_FILE_LIST_MAX) {
    Report(true, number, arg->column,
           Format("the FILE LIST expands to %lu bytes; the installer takes at most %u", (unsigned long)joined.size(),
                  (unsigned)SCRIPT_FILE_LIST_MAX));
    return false;
  }
  if (!ok) return false;
  arg->text = joined;
  expanded_ = chosen;
  return true;
}

}  // namespace script_compiler

// The checks of the script as a whole: the files NOTEPAD, OLE and ADD ITEM
// use, a FILE LIST without INSTALL, the uninstaller's names; and the
// kilobytes of INSTALL SIZE auto.
#include "script-compiler-parts.h"

namespace script_compiler {

namespace {

// The file a name below the destination is to Windows: letter case aside,
// '/' as '\\', runs of separators and "." components dropped, a period
// that ends a folder's name and the dots and blanks that end the file's.
std::string WindowsFileKey(const std::string &name) {
  std::string key;
  size_t p = 0;
  while (p <= name.size()) {
    size_t end = name.find_first_of("\\/", p);
    if (end == std::string::npos) end = name.size();
    std::string part = name.substr(p, end - p);
    p = end + 1;
    if (part.empty() || part == ".") continue;
    if (end == name.size()) {
      while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
    } else if (part.back() == '.') {
      part.pop_back();
    }
    key += (key.empty() ? "" : "\\") + WindowsNameFold(part);
  }
  return key;
}

// The name of the uninstaller's record, as the installer makes it: the
// extension after the last '.' of the last '\\' part becomes ".dat".
std::string UninstallRecordName(const std::string &program) {
  size_t dot = program.size();
  for (size_t i = program.size(); i-- > 0 && program[i] != '\\';)
    if (program[i] == '.') {
      dot = i;
      break;
    }
  return program.substr(0, dot) + ".dat";
}

}  // namespace

void Compiler::Uses(const Arg &arg, int number, bool program) {
  if (arg.text.empty()) return;
  uses_.push_back({arg, PlaceOf(number, arg.column), program});
}

void Compiler::Finish() {
  std::set<std::string> installed, folded;
  uint64_t bytes = 0;
  for (const auto &list : out_->fileLists)
    for (const std::string &name : list) {
      folded.insert(WindowsNameFold(name));
      if (installed.insert(ScriptUpper(name)).second && sizes_.count(ScriptUpper(name)))
        bytes += sizes_[ScriptUpper(name)];
    }
  std::string kilobytes = Format("%llu", (unsigned long long)((bytes + 1023) / 1024));
  for (auto at = autoSizes_.rbegin(); at != autoSizes_.rend(); ++at)
    out_->data.insert(out_->data.begin() + (long)*at, kilobytes.begin(), kilobytes.end());
  CheckUninstallers();
  // What a FILE LIST installs is known for sure with the payload at hand.
  if (!options_.wholeScript || !checkPayload_) return;
  for (const Use &use : uses_) {
    std::string upper = WindowsNameFold(use.arg.text);
    bool found = folded.count(upper) != 0;
    if (use.program && !found) {  // the program runs to a blank, or is written in double quotes
      bool quoted = upper[0] == '"';
      std::string program = upper.substr(quoted ? 1 : 0, upper.find(quoted ? '"' : ' ', 1) - (quoted ? 1 : 0));
      found = folded.count(program) != 0;
    }
    if (!found) Place(use.place, "'" + use.arg.text + "' is not among the files FILE LIST installs");
  }
  if (fileListLine_ && !sawInstall_)
    Report(false, 0, 0, "the script has a FILE LIST but no INSTALL: nothing will be copied");
}

// The uninstaller and its record are written into the destination at the
// end of the run: over a file the lists install, they would replace it
// (and the uninstaller would remove the product's file as its own).
void Compiler::CheckUninstallers() {
  if (uninstallers_.empty()) return;
  std::map<std::string, std::string> installed;  // key -> the name as listed
  for (const auto &list : out_->fileLists)
    for (const std::string &name : list) installed.emplace(WindowsFileKey(name), name);
  for (const Use &u : uninstallers_) {
    std::string program = u.arg.text.empty() ? SCRIPT_UNINSTALL_DEFAULT_NAME : u.arg.text;
    std::string record = UninstallRecordName(program);
    const char *what[] = {"the uninstaller", "the uninstaller's record"};
    const std::string *names[] = {&program, &record};
    for (int k = 0; k < 2; k++) {
      auto found = installed.find(WindowsFileKey(*names[k]));
      if (found == installed.end()) continue;
      ScriptDiagnostic d = u.place;
      d.error = true;
      d.message = std::string(what[k]) + " '" + *names[k] + "' would replace '" + found->second +
                  "', which FILE LIST installs; give UNINSTALL another name";
      out_->diagnostics.push_back(d);
      out_->errors++;
    }
  }
}

void Compiler::Place(ScriptDiagnostic d, const std::string &message) {
  d.message = message;
  d.error = options_.warningsAsErrors;
  out_->diagnostics.push_back(d);
  (d.error ? out_->errors : out_->warnings)++;
}

}  // namespace script_compiler

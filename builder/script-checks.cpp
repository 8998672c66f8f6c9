// The checks of each argument by its kind, numbers read as the installer
// reads them, and the CRC-32 of the names the script gives.
#include <math.h>
#include <stdlib.h>

#include "archive-writer.h"
#include "file-name.h"
#include "script-compiler-parts.h"

namespace script_compiler {

void ScanSign(const std::string &s, size_t *p, bool *negative) {
  while (*p < s.size() && s[*p] == ' ') ++*p;
  *negative = *p < s.size() && s[*p] == '-';
  if (*p < s.size() && (s[*p] == '+' || s[*p] == '-')) ++*p;
}

void ScanRest(const std::string &s, size_t p, Number *n) {
  while (p < s.size() && s[p] == ' ') p++;
  n->trailing = p < s.size();
}

Number ScanWhole(const std::string &s) {
  Number n;
  size_t p = 0;
  bool negative;
  ScanSign(s, &p, &negative);
  uint32_t wrapped = 0;
  for (; p < s.size() && IsDigit(s[p]); p++) {
    n.digits = true;
    wrapped = wrapped * 10u + (uint32_t)(s[p] - '0');
    if (n.whole < (int64_t)1 << 40) n.whole = n.whole * 10 + (s[p] - '0');
  }
  if (negative) {
    n.whole = -n.whole;
    wrapped = 0u - wrapped;
  }
  n.wrapped = (int32_t)wrapped;
  ScanRest(s, p, &n);
  return n;
}

Number ScanFraction(const std::string &s) {
  Number n;
  size_t p = 0;
  bool negative;
  ScanSign(s, &p, &negative);
  size_t start = p;
  for (; p < s.size() && IsDigit(s[p]); p++) n.digits = true;
  if (p < s.size() && s[p] == '.')
    for (p++; p < s.size() && IsDigit(s[p]); p++) n.digits = true;
  if (n.digits && p < s.size() && (s[p] == 'e' || s[p] == 'E')) {
    size_t q = p + 1;
    if (q < s.size() && (s[q] == '+' || s[q] == '-')) q++;
    if (q < s.size() && IsDigit(s[q])) {
      while (q < s.size() && IsDigit(s[q])) q++;
      p = q;
    }
  }
  if (n.digits) n.fraction = strtod(s.substr(start, p - start).c_str(), NULL) * (negative ? -1 : 1);
  ScanRest(s, p, &n);
  return n;
}

bool Compiler::CheckCount(const ScriptKeywordInfo &info, Line *line) {
  if (info.count == 0 && line->args.size() == 1 && line->args[0].text.empty()) line->args.clear();
  int given = (int)line->args.size();
  if (given == info.count) return true;
  int column = given > info.count ? line->args[info.count].column : line->keywordColumn;
  if (info.count == 0)
    Report(true, line->number, column, Format("%s takes no arguments", info.keyword));
  else
    Report(true, line->number, column,
           Format("%s expects %d argument%s, got %d; usage: %s", info.keyword, info.count,
                  info.count == 1 ? "" : "s", given, ScriptUsage(info).c_str()));
  return false;
}

void Compiler::CheckArg(const ScriptKeywordInfo &info, int index, Arg *given, int number) {
  Arg &arg = *given;
  const ScriptArgInfo &spec = info.args[index];
  std::string what = Format("the %s of %s", spec.name, info.keyword);
  if (spec.room > 0 && (int)arg.text.size() > spec.room)
    Report(false, number, arg.column,
           Format("%s is %d characters long; the installer keeps the first %d", what.c_str(),
                  (int)arg.text.size(), spec.room));
  switch (spec.kind) {
    case SARG_TEXT:
      break;
    case SARG_INTEGER:
      CheckWhole(arg, what, number);
      break;
    case SARG_ID:
      CheckId(arg, info, number);
      break;
    case SARG_FRACTION:
      CheckFraction(arg, what, number);
      break;
    case SARG_COLOUR:
      CheckColour(arg, what, number);
      break;
    case SARG_STYLE:
      CheckStyle(arg, number);
      break;
    case SARG_PAYLOAD:
      if (arg.text.empty())
        Report(true, number, arg.column, what + " needs a file name");
      else
        arg.text = CheckFileName(arg.text, number, arg.column);
      break;
    case SARG_FILE_LIST:
      CheckFileList(&arg, number);
      break;
    case SARG_OLE_MODE:
      if (ScriptUpper(arg.text) != "REGISTER" && ScriptUpper(arg.text) != "UNREGISTER")
        Report(false, number, arg.column,
               "'" + arg.text + "' unregisters the library: only REGISTER registers it");
      break;
    case SARG_SCOPE:
      if (ScriptUpper(arg.text) != "USER" && ScriptUpper(arg.text) != "MACHINE")
        Report(true, number, arg.column, "the scope is user or machine, not '" + arg.text + "'");
      break;
    case SARG_IN_USE:
      if (ScriptUpper(arg.text) != "FAIL" && ScriptUpper(arg.text) != "RESTART")
        Report(true, number, arg.column, "what a file in use does is fail or restart, not '" + arg.text + "'");
      break;
    case SARG_KEY_NAME:
      if (arg.text.empty() || arg.text.find('\\') != std::string::npos)
        Report(true, number, arg.column, what + " names a registry key: it needs a text without a backslash");
      break;
  }
}

// Reports what the installer would make of a whole number; false when it
// sees no number at all.
bool Compiler::CheckWhole(const Arg &arg, const std::string &what, int number, Number *result) {
  Number n = ScanWhole(arg.text);
  if (result) *result = n;
  if (!n.digits) {
    Report(true, number, arg.column, what + " must be a whole number, not '" + arg.text + "'");
    return false;
  }
  if (n.trailing)
    Report(false, number, arg.column, "the installer reads only the number at the start of '" + arg.text + "'");
  if (n.whole != (int64_t)n.wrapped)
    Report(false, number, arg.column,
           Format("%s does not fit in 32 bits; the installer reads %d", arg.text.c_str(), (int)n.wrapped));
  return true;
}

void Compiler::CheckId(const Arg &arg, const ScriptKeywordInfo &info, int number) {
  Number n;
  if (!CheckWhole(arg, Format("the id of %s", info.keyword), number, &n)) return;
  if (n.wrapped < 1)
    Report(true, number, arg.column,
           Format("a %s id must be 1 or more; the installer stops with a fatal error at %d", info.keyword,
                  (int)n.wrapped));
  else if (n.wrapped > kIdWarning)
    Report(false, number, arg.column,
           Format("id %d makes the installer hold a table of %d entries", (int)n.wrapped, (int)n.wrapped));
}

void Compiler::CheckFraction(const Arg &arg, const std::string &what, int number) {
  Number n = ScanFraction(arg.text);
  if (!n.digits) {
    Report(true, number, arg.column, what + " must be a number such as 0.25, not '" + arg.text + "'");
    return;
  }
  if (n.trailing)
    Report(false, number, arg.column, "the installer reads only the number at the start of '" + arg.text + "'");
  if (!isfinite((float)n.fraction))
    Report(false, number, arg.column, what + " is too large for the installer: '" + arg.text + "'");
}

void Compiler::CheckColour(const Arg &arg, const std::string &what, int number) {
  std::vector<Arg> parts = Split(arg, SCRIPT_COLOUR_SEPARATOR);
  if (parts.size() == 1 && ScanWhole(arg.text).trailing && IsBlankSeparated(arg.text)) {
    Report(false, number, arg.column,
           what + " '" + arg.text + "' is written with blanks; the installer reads only red: write '" +
               Commas(arg.text) + "'");
    return;
  }
  if (parts.size() > SCRIPT_COLOUR_COMPONENTS) {
    Report(true, number, arg.column,
           Format("%s has %d components; a colour has three: red, green, blue", what.c_str(), (int)parts.size()));
    return;
  }
  for (const Arg &part : parts) {
    Number n;
    if (!CheckWhole(part, "a colour component", number, &n)) return;
    if (n.wrapped < 0 || n.wrapped > 255)
      Report(false, number, part.column,
             Format("colour component %d is stored as %d", (int)n.wrapped, (int)(n.wrapped & 0xFF)));
  }
  if (parts.size() < SCRIPT_COLOUR_COMPONENTS)
    Report(false, number, arg.column,
           what + (parts.size() == 1 ? " sets only red" : " sets only red and green") +
               "; the other components keep their earlier values");
}

// "255 0 0": numbers separated by blanks only.
bool Compiler::IsBlankSeparated(const std::string &text) {
  bool blank = false;
  for (char c : text) {
    if (IsBlank(c)) blank = true;
    else if (!IsDigit(c) && c != '-' && c != '+') return false;
  }
  return blank;
}

std::string Compiler::Commas(const std::string &text) {
  std::string out;
  size_t p = 0;
  while (p < text.size()) {
    while (p < text.size() && IsBlank(text[p])) p++;
    size_t end = p;
    while (end < text.size() && !IsBlank(text[end])) end++;
    if (end > p) out += (out.empty() ? "" : ", ") + text.substr(p, end - p);
    p = end;
  }
  return out;
}

void Compiler::CheckStyle(const Arg &arg, int number) {
  std::string upper = ScriptUpper(arg.text);
  size_t p = 0;
  while (p < upper.size()) {
    if (upper[p] == ',' || upper[p] == ' ') {
      p++;
      continue;
    }
    size_t end = upper.find_first_of(", ", p);
    if (end == std::string::npos) end = upper.size();
    std::string word = upper.substr(p, end - p);
    std::string inside;
    bool known = false;
    for (const ScriptStyleWord &style : scriptStyleWords) {
      if (word == style.word) known = true;
      if (word.find(style.word) != std::string::npos)
        inside += std::string(inside.empty() ? "" : ", ") + style.word;
    }
    if (!known)
      Report(false, number, arg.column + (int)p,
             "'" + arg.text.substr(p, end - p) + "' is not a style word" +
                 (inside.empty() ? "" : "; the installer finds " + inside + " in it"));
    p = end;
  }
}

// The names of a FILE LIST are checked and written as the payload spells
// them.
void Compiler::CheckFileList(Arg *arg, int number) {
  std::string joined;
  for (const Arg &name : expanded_.empty() ? Split(*arg, ',', false) : expanded_) {
    std::string written = name.text;
    joined += joined.empty() ? "" : ",";
    if (name.text.empty()) {
      Report(true, number, name.column, "an empty name in FILE LIST: INSTALL would fail on it");
      continue;
    }
    if (IsBlank(name.text[0]))
      Report(false, number, name.column,
             "'" + name.text + "' has a blank at its edge, which belongs to the name (blanks around commas are kept)");
    if (name.text.size() > SCRIPT_FILE_NAME_ROOM)
      Report(!expanded_.empty(), number, name.column,
             Format("a file name of %d characters; the installer keeps the first %d", (int)name.text.size(),
                    SCRIPT_FILE_NAME_ROOM));
    bool inside = CheckInside(name, number);
    joined += CheckFileName(name.text, number, name.column, inside);
  }
  arg->text = joined;
}

// A name of the file list is a path below the destination: it must stay
// there.
bool Compiler::CheckInside(const Arg &name, int number) {
  if (FileNameStaysInside(name.text.c_str())) return true;
  Report(true, number, name.column,
         "'" + name.text + "' leads outside the destination directory (absolute, a drive, or '..')");
  return false;
}

// A raw FILE LIST is written as it stands, but its names are still held to
// the destination.
void Compiler::CheckRawFileList(const Line &line) {
  const ScriptKeywordInfo *info = ScriptFindKeyword(line.keyword);
  for (int i = 0; info != nullptr && i < info->count && i < (int)line.args.size(); i++) {
    if (info->args[i].kind != SARG_FILE_LIST) continue;
    for (const Arg &name : Split(line.args[i], ',', false))
      if (!name.text.empty()) CheckInside(name, line.number);
  }
}

namespace {

std::string ClashMessage(const std::string &name, WindowsNameSet::Clash clash, const std::string &other,
                         const std::string &where) {
  std::string a = "'" + name + "'", b = "'" + other + "'";
  if (clash == WindowsNameSet::SAME_FILE)
    return a + " and " + b + where + " are one file to Windows, which ignores letter case";
  if (clash == WindowsNameSet::FILE_FIRST) b = "the folder of " + b;
  else a = "the folder of " + a;
  return a + " and " + b + where + " are one name to Windows, which ignores letter case";
}

}  // namespace

// A file the script takes from the payload. Windows must be able to create
// it (when creatable), and it is written as the payload spells it: the
// installer finds an entry by its name with the ASCII letters alone
// upper-cased, Windows folds the letters of every script. Returns the
// name to write.
std::string Compiler::CheckFileName(const std::string &written, int number, int column, bool creatable) {
  std::string name = written;
  std::string problem = creatable ? WindowsNameProblem(name) : "";
  if (!problem.empty()) Report(true, number, column, problem);
  bool clashed = false;
  if (checkPayload_) {
    auto found = payloadFolds_.find(WindowsNameFold(name));
    if (found != payloadFolds_.end()) name = found->second;
    auto clash = payloadClashes_.find(name);
    clashed = clash != payloadClashes_.end();
    if (clashed)
      Report(true, number, column, ClashMessage(name, clash->second.second, clash->second.first, " in the payload"));
  }
  out_->files.push_back(name);
  std::string upper = ScriptUpper(name), other;
  // Two spellings the script gives for one file are a fault unless the
  // installer takes them for one entry (they differ in ASCII case alone).
  WindowsNameSet::Clash clash = clashed ? WindowsNameSet::NONE : names_.Add(name, &other);
  if (clash == WindowsNameSet::NONE) nameLines_.emplace(name, number);
  else if (clash != WindowsNameSet::SAME_FILE || ScriptUpper(other) != upper)
    Report(true, number, column, ClashMessage(name, clash, other, Format(" (line %d)", nameLines_[other])));
  uint32_t hash = ArchiveHashName(name);
  auto seen = hashes_.find(hash);
  if (seen == hashes_.end()) {
    hashes_[hash] = {upper, number};
  } else if (seen->second.first != upper) {
    std::string other = seen->second.second == 0 ? "the script itself"
                                                  : Format("line %d", seen->second.second);
    Report(true, number, column,
           Format("'%s' and '%s' (%s) have the same CRC-32 %08X: the installer cannot tell them apart",
                  name.c_str(), seen->second.first.c_str(), other.c_str(), (unsigned)hash));
  }
  if (!checkPayload_ || payload_.count(upper)) return name;
  std::string message = "'" + name + "' is not in the payload";
  std::string backslashed = upper;
  for (char &c : backslashed)
    if (c == '/') c = '\\';
  if (backslashed != upper && payload_.count(backslashed)) message += "; archive names use '\\' between folders";
  Report(true, number, column, message);
  return name;
}

// The pieces of an argument between separators, each with its column;
// trim drops the blanks around each piece.
std::vector<Arg> Compiler::Split(const Arg &arg, char separator, bool trim) {
  std::vector<Arg> out;
  size_t p = 0;
  for (;;) {
    size_t end = arg.text.find(separator, p);
    if (end == std::string::npos) end = arg.text.size();
    size_t from = p;
    if (trim)
      while (from < end && IsBlank(arg.text[from])) from++;
    std::string piece = arg.text.substr(from, end - from);
    out.push_back({trim ? TrimRight(piece) : piece, arg.column + (int)from});
    if (end == arg.text.size()) return out;
    p = end + 1;
  }
}

}  // namespace script_compiler

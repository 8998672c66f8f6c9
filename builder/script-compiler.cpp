// The script compiler and decompiler.
#include "script-compiler.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <set>

#include "archive-writer.h"
#include "codepage.h"
#include "file-name.h"
#include "file-pattern.h"
#include "script-dat.h"
#include "script-keywords.h"

namespace {

const char kMark = SCRIPT_MARK;
const size_t kKeywordMax = SCRIPT_KEYWORD_MAX;
const int64_t kIdWarning = 1000;

std::string Format(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char *format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string TrimRight(const std::string &text) {
  size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) end--;
  return text.substr(0, end);
}

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
    key += (key.empty() ? "" : "\\") + ScriptUpper(part);
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

// ---- Numbers, read as the installer reads them ---------------------------

struct Number {
  bool digits = false;    // at least one digit: the installer sees a number
  bool trailing = false;  // something other than blanks follows it
  int64_t whole = 0;      // the value, saturated far beyond 32 bits
  int32_t wrapped = 0;    // what the installer keeps of a whole number
  double fraction = 0;
};

void ScanSign(const std::string &s, size_t *p, bool *negative) {
  while (*p < s.size() && s[*p] == ' ') ++*p;
  *negative = *p < s.size() && s[*p] == '-';
  if (*p < s.size() && (s[*p] == '+' || s[*p] == '-')) ++*p;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

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

// ---- The readable form of one line ---------------------------------------

struct Arg {
  std::string text;
  int column;  // of the value's first byte
};

struct Line {
  int number = 0;
  bool raw = false;
  std::string keyword;
  int keywordColumn = 0;
  bool colon = false;
  std::vector<Arg> args;
};

bool NeedsQuotes(const std::string &text) {
  return text.empty() || text[0] == ' ' || text.back() == ' ' || text[0] == '"' ||
         text.find('|') != std::string::npos;
}

// "${" would be read as a name to replace: "$${" keeps it.
std::string EscapeDefines(const std::string &text) {
  std::string out;
  for (size_t i = 0; i < text.size(); i++) {
    if (text.compare(i, 2, "${") == 0) out += '$';
    out += text[i];
  }
  return out;
}

std::string FormatArg(const std::string &raw) {
  std::string text = EscapeDefines(raw);
  if (!NeedsQuotes(text)) return text;
  std::string out = "\"";
  for (char c : text) out += c == '"' ? "\"\"" : std::string(1, c);
  return out + "\"";
}

// A command as one line: args holds at least one (maybe empty) argument, as
// the bytes after the colon always do. A command that takes no arguments is
// written without its colon in the checked form.
std::string FormatLine(const std::string &keyword, const std::vector<std::string> &args, bool raw) {
  std::string out = (raw ? "!" : "") + EscapeDefines(keyword);
  if (args.size() == 1 && args[0].empty()) {
    const ScriptKeywordInfo *info = ScriptFindKeyword(keyword);
    if (raw) return out + ":";
    if (info != nullptr && info->count == 0) return out;
  }
  for (size_t i = 0; i < args.size(); i++) out += (i ? " | " : ": ") + FormatArg(args[i]);
  return out;
}

// ---- The compiler ----------------------------------------------------------

enum LexResult { LEX_NOTHING, LEX_COMMAND, LEX_FAILED };

class Compiler {
 public:
  Compiler(const ScriptCompileOptions &options, ScriptCompiled *out) : options_(options), out_(out) {
    if (options.payload != nullptr) {
      checkPayload_ = true;
      for (size_t i = 0; i < options.payload->size(); i++) {
        const std::string &name = (*options.payload)[i];
        payload_.insert(ScriptUpper(name));
        if (options.payloadSizes != nullptr && i < options.payloadSizes->size())
          sizes_[ScriptUpper(name)] = (*options.payloadSizes)[i];
      }
    }
    hashes_[ArchiveHashName(SCRIPT_ENTRY_NAME)] = {ScriptUpper(SCRIPT_ENTRY_NAME), 0};
  }

  // Findings point at the source: the line's file, its line there and the
  // column of the byte before any ${NAME} was replaced.
  void Report(bool error, int line, int column, const std::string &message) {
    ScriptDiagnostic d = {error || options_.warningsAsErrors, line, column, -1, message, "", {}};
    if (current_ != nullptr && line > 0) {
      d.line = current_->line;
      if (column >= 1) d.column = current_->Column((size_t)column - 1);
      ScriptPlaceDiagnostic(*source_, current_->file, &d);
    }
    out_->diagnostics.push_back(d);
    (d.error ? out_->errors : out_->warnings)++;
  }

  // Compiles the lines; the preprocessor's findings (in found) are put in
  // source order among the compiler's.
  void Compile(const ScriptPreprocessed &source, const std::vector<ScriptDiagnostic> &found) {
    source_ = &source;
    size_t next = 0;
    for (size_t i = 0; i <= source.lines.size(); i++) {
      for (; next < found.size() && source.findingsAt[next] <= i; next++) {
        out_->diagnostics.push_back(found[next]);
        out_->errors++;
      }
      if (i == source.lines.size()) break;
      current_ = &source.lines[i];
      CompileLine(current_->text, current_->line);
    }
    current_ = nullptr;
    Finish();
  }

  void CompileLine(const std::string &text, int number) {
    Line line;
    line.number = number;
    CheckCodepage(text, number);
    if (Lex(text, &line) != LEX_COMMAND) return;
    if (line.raw) {
      CheckRawFileList(line);
      Emit(line.keyword, line.args);
      return;
    }
    const ScriptKeywordInfo *info = ScriptFindKeyword(line.keyword);
    if (info == nullptr) {
      UnknownKeyword(line);
      return;
    }
    if (!CheckCount(*info, &line)) return;
    std::string keyword = info->keyword;
    expanded_.clear();
    bool fileList = false;
    for (int i = 0; i < info->count; i++) {
      if (info->args[i].kind != SARG_FILE_LIST) continue;
      fileList = true;
      if (!ExpandFileList(&line.args[i], number)) return;
    }
    if ((info->flags & SKW_AUTO_SIZE) && ScriptUpper(line.args[0].text) == "AUTO") {
      if (!checkPayload_ || options_.payloadSizes == nullptr) {
        Report(true, number, line.args[0].column, "INSTALL SIZE auto needs the payload's files to measure");
        return;
      }
      autoSizes_.push_back(out_->data.size() + 1 + keyword.size() + 1);
      line.args[0].text.clear();
      Emit(keyword, line.args);
      return;
    }
    size_t listed = out_->files.size();
    for (int i = 0; i < info->count; i++) CheckArg(*info, i, line.args[i], number);
    if (fileList) {
      out_->fileLists.emplace_back(out_->files.begin() + listed, out_->files.end());
      fileListLine_ = fileListLine_ ? fileListLine_ : number;
    }
    for (int i = 0; i < info->count; i++) {
      const Arg &arg = line.args[i];
      unsigned flags = info->args[i].flags;
      if (flags & SARGF_PAGE) {
        ScriptPageFile page;
        page.name = arg.text;
        page.place = PlaceOf(number, arg.column);
        out_->pageFiles.push_back(page);
      }
      if (flags & SARGF_UNINSTALLER) uninstallers_.push_back({arg, PlaceOf(number, arg.column), false});
      if (flags & (SARGF_INSTALLED | SARGF_PROGRAM)) Uses(arg, number, (flags & SARGF_PROGRAM) != 0);
    }
    if (info->flags & SKW_INSTALLS) sawInstall_ = true;
    Emit(info->keyword, line.args);
  }

  ScriptDiagnostic PlaceOf(int number, int column) {
    size_t before = out_->diagnostics.size();
    int errors = out_->errors, warnings = out_->warnings;
    Report(false, number, column, "");
    ScriptDiagnostic d = out_->diagnostics.back();
    out_->diagnostics.resize(before);
    out_->errors = errors;
    out_->warnings = warnings;
    d.error = false;
    return d;
  }

 private:
  LexResult Lex(const std::string &text, Line *line) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) i++;
    if (i == text.size() || text[i] == '#') return LEX_NOTHING;
    line->raw = text[i] == '!';
    if (line->raw) i++;
    size_t colon = text.find(':', i);
    line->colon = colon != std::string::npos;
    line->keywordColumn = (int)i + 1;
    if (line->raw) {
      if (!line->colon) {
        Report(true, line->number, (int)i + 1, "a raw command needs a ':' after its keyword");
        return LEX_FAILED;
      }
      line->keyword = text.substr(i, colon - i);
      if (!CheckRawKeyword(*line)) return LEX_FAILED;
    } else {
      line->keyword = TrimRight(text.substr(i, (line->colon ? colon : text.size()) - i));
    }
    if (!line->colon) return LEX_COMMAND;
    if (!LexArgs(text, colon + 1, line)) return LEX_FAILED;
    for (const Arg &a : line->args)
      for (size_t k = 0; k < a.text.size(); k++)
        if ((unsigned char)a.text[k] < 0x20) {
          Report(true, line->number, a.column + (int)k,
                 Format("control byte 0x%02X in an argument: the installer would end the argument there",
                        (unsigned char)a.text[k]));
          return LEX_FAILED;
        }
    return LEX_COMMAND;
  }

  bool LexArgs(const std::string &text, size_t p, Line *line) {
    for (;;) {
      while (p < text.size() && IsBlank(text[p])) p++;
      Arg arg;
      if (p < text.size() && text[p] == '"') {
        int open = (int)p + 1;
        arg.column = open + 1;
        for (p++;; p++) {
          if (p >= text.size()) {
            Report(true, line->number, open, "the quoted argument has no closing quote");
            return false;
          }
          if (text[p] != '"') {
            arg.text += text[p];
          } else if (p + 1 < text.size() && text[p + 1] == '"') {
            arg.text += '"';
            p++;
          } else {
            break;
          }
        }
        for (p++; p < text.size() && IsBlank(text[p]);) p++;
        if (p < text.size() && text[p] != '|') {
          Report(true, line->number, (int)p + 1, "text after a closing quote (write \"\" for a quote inside quotes)");
          return false;
        }
      } else {
        arg.column = (int)p + 1;
        size_t end = text.find('|', p);
        if (end == std::string::npos) end = text.size();
        arg.text = TrimRight(text.substr(p, end - p));
        p = end;
      }
      line->args.push_back(arg);
      if (p >= text.size()) return true;
      p++;  // the '|'
    }
  }

  bool CheckRawKeyword(const Line &line) {
    for (size_t k = 0; k < line.keyword.size(); k++)
      if ((unsigned char)line.keyword[k] < 0x20) {
        Report(true, line.number, line.keywordColumn + (int)k, "control byte in a raw keyword");
        return false;
      }
    if (line.keyword.size() > kKeywordMax)
      Report(false, line.number, line.keywordColumn,
             Format("the installer reads only the first %d bytes of a keyword; this one is unknown to it",
                    (int)kKeywordMax));
    return true;
  }

  // The message and the suggestions look at no more than the installer reads
  // (and one byte beyond, to tell a blank after a keyword): a hostile line
  // costs no more than a short one.
  void UnknownKeyword(const Line &line) {
    std::string shown = line.keyword.substr(0, kKeywordMax);
    std::string message = "unknown keyword '" + shown + (line.keyword.size() > kKeywordMax ? "...'" : "'");
    const ScriptKeywordInfo *near = ScriptSuggestKeyword(shown);
    const ScriptKeywordInfo *prefix = LongestKeywordPrefix(line.keyword.substr(0, kKeywordMax + 1));
    if (!line.colon && prefix != nullptr)
      message += Format("; is a ':' missing after '%s'?", prefix->keyword);
    else if (near != nullptr)
      message += Format("; did you mean '%s'?", near->keyword);
    Report(true, line.number, line.keywordColumn, message);
  }

  // The longest keyword that text begins with, followed by a blank.
  static const ScriptKeywordInfo *LongestKeywordPrefix(const std::string &text) {
    size_t count;
    const ScriptKeywordInfo *table = ScriptKeywords(&count);
    const ScriptKeywordInfo *best = nullptr;
    std::string upper = ScriptUpper(text);
    for (size_t i = 0; i < count; i++) {
      std::string k = table[i].keyword;
      if (upper.size() > k.size() && upper.compare(0, k.size(), k) == 0 && IsBlank(upper[k.size()]) &&
          (best == nullptr || k.size() > strlen(best->keyword)))
        best = &table[i];
    }
    return best;
  }

  bool CheckCount(const ScriptKeywordInfo &info, Line *line) {
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

  void CheckArg(const ScriptKeywordInfo &info, int index, const Arg &arg, int number) {
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
          CheckFileName(arg.text, number, arg.column);
        break;
      case SARG_FILE_LIST:
        CheckFileList(arg, number);
        break;
      case SARG_OLE_MODE:
        if (ScriptUpper(arg.text) != "REGISTER" && ScriptUpper(arg.text) != "UNREGISTER")
          Report(false, number, arg.column,
                 "'" + arg.text + "' unregisters the library: only REGISTER registers it");
        break;
    }
  }

  // Reports what the installer would make of a whole number; false when it
  // sees no number at all.
  bool CheckWhole(const Arg &arg, const std::string &what, int number, Number *result = nullptr) {
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

  void CheckId(const Arg &arg, const ScriptKeywordInfo &info, int number) {
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

  void CheckFraction(const Arg &arg, const std::string &what, int number) {
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

  void CheckColour(const Arg &arg, const std::string &what, int number) {
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
  static bool IsBlankSeparated(const std::string &text) {
    bool blank = false;
    for (char c : text) {
      if (IsBlank(c)) blank = true;
      else if (!IsDigit(c) && c != '-' && c != '+') return false;
    }
    return blank;
  }

  static std::string Commas(const std::string &text) {
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

  void CheckStyle(const Arg &arg, int number) {
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

  void CheckFileList(const Arg &arg, int number) {
    for (const Arg &name : expanded_.empty() ? Split(arg, ',', false) : expanded_) {
      if (name.text.empty()) {
        Report(true, number, name.column, "an empty name in FILE LIST: INSTALL would fail on it");
        continue;
      }
      if (IsBlank(name.text[0]) || IsBlank(name.text.back()))
        Report(false, number, name.column,
               "'" + name.text + "' has a blank at its edge, which belongs to the name (blanks around commas are kept)");
      if (name.text.size() > SCRIPT_FILE_NAME_ROOM)
        Report(!expanded_.empty(), number, name.column,
               Format("a file name of %d characters; the installer keeps the first %d", (int)name.text.size(),
                      SCRIPT_FILE_NAME_ROOM));
      CheckInside(name, number);
      CheckFileName(name.text, number, name.column);
    }
  }

  // A name of the file list is a path below the destination: it must stay
  // there.
  void CheckInside(const Arg &name, int number) {
    if (!FileNameStaysInside(name.text.c_str()))
      Report(true, number, name.column,
             "'" + name.text + "' leads outside the destination directory (absolute, a drive, or '..')");
  }

  // A raw FILE LIST is written as it stands, but its names are still held to
  // the destination.
  void CheckRawFileList(const Line &line) {
    const ScriptKeywordInfo *info = ScriptFindKeyword(line.keyword);
    for (int i = 0; info != nullptr && i < info->count && i < (int)line.args.size(); i++) {
      if (info->args[i].kind != SARG_FILE_LIST) continue;
      for (const Arg &name : Split(line.args[i], ',', false))
        if (!name.text.empty()) CheckInside(name, line.number);
    }
  }

  void CheckFileName(const std::string &name, int number, int column) {
    out_->files.push_back(name);
    std::string upper = ScriptUpper(name);
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
    if (!checkPayload_ || payload_.count(upper)) return;
    std::string message = "'" + name + "' is not in the payload";
    std::string backslashed = upper;
    for (char &c : backslashed)
      if (c == '/') c = '\\';
    if (backslashed != upper && payload_.count(backslashed)) message += "; archive names use '\\' between folders";
    Report(true, number, column, message);
  }

  // The pieces of an argument between separators, each with its column;
  // trim drops the blanks around each piece.
  static std::vector<Arg> Split(const Arg &arg, char separator, bool trim = true) {
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

  void Emit(const std::string &keyword, const std::vector<Arg> &args) {
    std::vector<uint8_t> &data = out_->data;
    data.push_back((uint8_t)kMark);
    data.insert(data.end(), keyword.begin(), keyword.end());
    data.push_back(':');
    for (size_t i = 0; i < args.size(); i++) {
      if (i) data.push_back((uint8_t)kMark);
      data.insert(data.end(), args[i].text.begin(), args[i].text.end());
    }
    data.push_back('\r');
    data.push_back('\n');
  }

  // ---- Patterns, sizes and what the script refers to -----------------------

  // Replaces a FILE LIST with patterns by the names they expand to (in
  // expanded_, each with the column of its pattern). false after an error.
  bool ExpandFileList(Arg *arg, int number) {
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
        if (seen.insert(ScriptUpper(e.text)).second) chosen.push_back(e);
        continue;
      }
      size_t before = chosen.size();
      for (const std::string &name : *options_.payload)
        if (FilePatternMatch(e.text, name) && seen.insert(ScriptUpper(name)).second) chosen.push_back({name, e.column});
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
      if (CodepageLooksUtf8(c.text))
        Report(false, number, c.column,
               "'" + c.text + "' is a UTF-8 name; the installer creates it with these bytes in the ANSI code page");
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

  // NOTEPAD, OLE and ADD ITEM name a file of the destination: one a FILE
  // LIST installs (an ADD ITEM program may carry arguments after a blank or
  // after its closing quote).
  void Uses(const Arg &arg, int number, bool program) {
    if (arg.text.empty()) return;
    uses_.push_back({arg, PlaceOf(number, arg.column), program});
  }

  void Finish() {
    std::set<std::string> installed;
    uint64_t bytes = 0;
    for (const auto &list : out_->fileLists)
      for (const std::string &name : list)
        if (installed.insert(ScriptUpper(name)).second && sizes_.count(ScriptUpper(name)))
          bytes += sizes_[ScriptUpper(name)];
    std::string kilobytes = Format("%llu", (unsigned long long)((bytes + 1023) / 1024));
    for (auto at = autoSizes_.rbegin(); at != autoSizes_.rend(); ++at)
      out_->data.insert(out_->data.begin() + (long)*at, kilobytes.begin(), kilobytes.end());
    CheckUninstallers();
    // What a FILE LIST installs is known for sure with the payload at hand.
    if (!options_.wholeScript || !checkPayload_) return;
    for (const Use &use : uses_) {
      std::string upper = ScriptUpper(use.arg.text);
      bool found = installed.count(upper) != 0;
      if (use.program && !found) {  // the program runs to a blank, or is written in double quotes
        bool quoted = upper[0] == '"';
        std::string program = upper.substr(quoted ? 1 : 0, upper.find(quoted ? '"' : ' ', 1) - (quoted ? 1 : 0));
        found = installed.count(program) != 0;
      }
      if (!found) Place(use.place, "'" + use.arg.text + "' is not among the files FILE LIST installs");
    }
    if (fileListLine_ && !sawInstall_)
      Report(false, 0, 0, "the script has a FILE LIST but no INSTALL: nothing will be copied");
  }

  // The uninstaller and its record are written into the destination at the
  // end of the run: over a file the lists install, they would replace it
  // (and the uninstaller would remove the product's file as its own).
  void CheckUninstallers() {
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

  void Place(ScriptDiagnostic d, const std::string &message) {
    d.message = message;
    d.error = options_.warningsAsErrors;
    out_->diagnostics.push_back(d);
    (d.error ? out_->errors : out_->warnings)++;
  }

  // Text in UTF-8 is shown by the installer byte for byte in the ANSI code page.
  void CheckCodepage(const std::string &text, int number) {
    if (!CodepageLooksUtf8(text)) return;
    Report(false, number, 1,
           "UTF-8 text; the installer shows the bytes in the ANSI code page (--codepage 1252 converts it)");
  }

  struct Use {
    Arg arg;
    ScriptDiagnostic place;
    bool program;
  };

  const ScriptCompileOptions &options_;
  const ScriptPreprocessed *source_ = nullptr;
  const ScriptSourceLine *current_ = nullptr;
  std::vector<Arg> expanded_;
  std::map<std::string, uint64_t> sizes_;
  std::vector<size_t> autoSizes_;
  std::vector<Use> uses_;
  std::vector<Use> uninstallers_;  // each UNINSTALL's name and place
  int fileListLine_ = 0;
  bool sawInstall_ = false;
  ScriptCompiled *out_;
  bool checkPayload_ = false;
  std::set<std::string> payload_;
  std::map<uint32_t, std::pair<std::string, int>> hashes_;  // hash -> upper-cased name, line
};

// ---- The decompiler --------------------------------------------------------

struct Command {
  size_t start = 0, end = 0;  // bytes of the command, line end included
  std::string keyword;
  std::vector<std::string> args;
  bool crlf = false;
};

// Reads the command at data[start] (a mark) as the installer reads it. false
// when no keyword ends in a colon within the bytes the installer reads.
bool ReadCommand(const std::vector<uint8_t> &data, size_t start, Command *c) {
  ScriptDatCommand read;
  if (!ScriptDatRead(data, start, &read)) return false;
  c->start = start;
  c->keyword = read.keyword;
  c->args = read.args;
  size_t q = read.argsEnd;
  c->crlf = q + 1 < data.size() && data[q] == '\r' && data[q + 1] == '\n';
  c->end = c->crlf ? q + 2 : q;
  return true;
}

std::string CommentOf(const std::vector<uint8_t> &data, size_t from, size_t to) {
  std::string out, line;
  for (size_t i = from; i <= to; i++) {
    if (i == to || data[i] == '\r' || data[i] == '\n') {
      if (!line.empty()) out += "# " + line + "\n";
      line.clear();
    } else if (data[i] < 0x20 || data[i] == 0x7F) {
      line += Format("\\x%02X", data[i]);
    } else {
      line += (char)data[i];
    }
  }
  return out;
}

class Decompiler {
 public:
  explicit Decompiler(ScriptDecompiled *out) : out_(out) {}

  void Run(const std::vector<uint8_t> &data) {
    size_t p = 0;
    while (p < data.size()) {
      Command c;
      if (data[p] == (uint8_t)kMark && ReadCommand(data, p, &c)) {
        EmitCommand(data, c);
        p = c.end;
        if (!c.crlf) {
          Warn(c.end, "a command that does not end with CR LF; compiling writes CR LF");
          while (p < data.size() && (data[p] == '\r' || data[p] == '\n')) p++;
        }
        continue;
      }
      size_t end = p + 1;
      while (end < data.size() && data[end] != (uint8_t)kMark) end++;
      Stray(data, p, end);
      p = end;
    }
  }

 private:
  void Warn(size_t offset, const std::string &message) {
    out_->diagnostics.push_back({false, 0, 0, (long)offset, message, "", {}});
  }

  void Stray(const std::vector<uint8_t> &data, size_t from, size_t to) {
    std::string comment = CommentOf(data, from, to);
    if (comment.empty()) {
      Warn(from, "a line break outside commands, which the installer skips, is dropped");
      return;
    }
    Warn(from, "text outside commands, which the installer skips, is kept as a comment");
    out_->source += comment;
  }

  // The checked form when it compiles to the very same bytes, else the raw
  // form; the checks' findings are passed on either way.
  void EmitCommand(const std::vector<uint8_t> &data, const Command &c) {
    std::vector<uint8_t> expected(data.begin() + c.start, data.begin() + c.end);
    if (!c.crlf) expected.insert(expected.end(), {'\r', '\n'});
    std::string checked = FormatLine(c.keyword, c.args, false);
    ScriptCompiled compiled;
    ScriptCompileOptions options;
    options.wholeScript = false;
    ScriptCompile(checked, options, &compiled);
    bool same = compiled.errors == 0 && compiled.data == expected;
    for (const ScriptDiagnostic &d : compiled.diagnostics)
      Warn(c.start, same ? d.message : "kept as a raw command: " + d.message);
    out_->source += (same ? checked : FormatLine(c.keyword, c.args, true)) + "\n";
  }

  ScriptDecompiled *out_;
};

}  // namespace

std::string ScriptFormatDiagnostic(const std::string &script, const ScriptDiagnostic &d) {
  std::string kind = d.error ? "error" : "warning";
  const std::string &file = d.file.empty() ? script : d.file;
  if (d.line > 0) {
    std::string out = Format("%s:%d:%d: %s: ", file.c_str(), d.line, d.column, kind.c_str()) + d.message;
    for (const auto &from : d.includedFrom)
      out += Format("\n%s:%d: note: included from here", from.first.c_str(), from.second);
    return out;
  }
  if (d.offset >= 0) return Format("%s: byte %ld: %s: ", file.c_str(), d.offset, kind.c_str()) + d.message;
  return file + ": " + kind + ": " + d.message;
}

bool ScriptCompile(const std::string &source, const ScriptCompileOptions &options, ScriptCompiled *out) {
  Compiler compiler(options, out);
  size_t p = 0;
  if (source.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    compiler.Report(false, 1, 1,
                    "a UTF-8 byte order mark, skipped; the installer shows text in the system's ANSI code page");
    p = 3;
  }
  ScriptPreprocessed lines;
  std::vector<ScriptDiagnostic> found;
  std::string rest;  // the text after the mark (no copy of a large script without one)
  if (p) rest = source.substr(p);
  ScriptPreprocess(p ? rest : source, options.scriptName, options.defines, options.fixedDefines, options.readFile,
                   &lines, &found);
  compiler.Compile(lines, found);
  return out->errors == 0;
}

void ScriptDecompile(const std::vector<uint8_t> &data, ScriptDecompiled *out) {
  Decompiler decompiler(out);
  decompiler.Run(data);
}

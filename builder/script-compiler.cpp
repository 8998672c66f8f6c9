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
#include "script-keywords.h"

namespace {

const char kMark = 0x16;
const size_t kKeywordMax = 39;  // keyword bytes the installer reads
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

std::string FormatArg(const std::string &text) {
  if (!NeedsQuotes(text)) return text;
  std::string out = "\"";
  for (char c : text) out += c == '"' ? "\"\"" : std::string(1, c);
  return out + "\"";
}

// A command as one line: args holds at least one (maybe empty) argument, as
// the bytes after the colon always do. A command that takes no arguments is
// written without its colon in the checked form.
std::string FormatLine(const std::string &keyword, const std::vector<std::string> &args, bool raw) {
  std::string out = (raw ? "!" : "") + keyword;
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
  Compiler(const ScriptCompileOptions &options, ScriptCompiled *out) : out_(out) {
    if (options.payload != nullptr) {
      checkPayload_ = true;
      for (const std::string &name : *options.payload) payload_.insert(ScriptUpper(name));
    }
    hashes_[ArchiveHashName("install.dat")] = {"INSTALL.DAT", 0};
  }

  void Report(bool error, int line, int column, const std::string &message) {
    out_->diagnostics.push_back({error, line, column, -1, message});
    (error ? out_->errors : out_->warnings)++;
  }

  void CompileLine(const std::string &text, int number) {
    Line line;
    line.number = number;
    if (Lex(text, &line) != LEX_COMMAND) return;
    if (line.raw) {
      Emit(line.keyword, line.args);
      return;
    }
    const ScriptKeywordInfo *info = ScriptFindKeyword(line.keyword);
    if (info == nullptr) {
      UnknownKeyword(line);
      return;
    }
    if (!CheckCount(*info, &line)) return;
    for (int i = 0; i < info->count; i++) CheckArg(*info, i, line.args[i], number);
    Emit(info->keyword, line.args);
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

  void UnknownKeyword(const Line &line) {
    std::string message = "unknown keyword '" + line.keyword + "'";
    const ScriptKeywordInfo *near = ScriptSuggestKeyword(line.keyword);
    const ScriptKeywordInfo *prefix = LongestKeywordPrefix(line.keyword);
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
    std::vector<Arg> parts = Split(arg, ',');
    if (parts.size() > 3) {
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
    if (parts.size() < 3)
      Report(false, number, arg.column,
             what + (parts.size() == 1 ? " sets only red" : " sets only red and green") +
                 "; the other components keep their earlier values");
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
      for (size_t i = 0; i < scriptStyleWordCount; i++) {
        if (word == scriptStyleWords[i]) known = true;
        if (word.find(scriptStyleWords[i]) != std::string::npos)
          inside += std::string(inside.empty() ? "" : ", ") + scriptStyleWords[i];
      }
      if (!known)
        Report(false, number, arg.column + (int)p,
               "'" + arg.text.substr(p, end - p) + "' is not a style word" +
                   (inside.empty() ? "" : "; the installer finds " + inside + " in it"));
      p = end;
    }
  }

  void CheckFileList(const Arg &arg, int number) {
    for (const Arg &name : Split(arg, ',', false)) {
      if (name.text.empty()) {
        Report(true, number, name.column, "an empty name in FILE LIST: INSTALL would fail on it");
        continue;
      }
      if (IsBlank(name.text[0]) || IsBlank(name.text.back()))
        Report(false, number, name.column,
               "'" + name.text + "' has a blank at its edge, which belongs to the name (blanks around commas are kept)");
      if (name.text.size() > SCRIPT_FILE_NAME_ROOM)
        Report(false, number, name.column,
               Format("a file name of %d characters; the installer keeps the first %d", (int)name.text.size(),
                      SCRIPT_FILE_NAME_ROOM));
      CheckFileName(name.text, number, name.column);
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

// Reads the command at data[start] (a mark). false when no keyword ends in
// a colon within the bytes the installer reads.
bool ReadCommand(const std::vector<uint8_t> &data, size_t start, Command *c) {
  size_t q = start + 1;
  while (q < data.size() && data[q] != ':' && data[q] >= 0x20 && q - start - 1 < kKeywordMax) q++;
  if (q >= data.size() || data[q] != ':') return false;
  c->start = start;
  c->keyword.assign(data.begin() + start + 1, data.begin() + q);
  for (q++;;) {
    size_t from = q;
    while (q < data.size() && data[q] >= 0x20) q++;
    c->args.emplace_back(data.begin() + from, data.begin() + q);
    if (q < data.size() && data[q] == (uint8_t)kMark) {
      q++;
      continue;
    }
    break;
  }
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
    out_->diagnostics.push_back({false, 0, 0, (long)offset, message});
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
    ScriptCompile(checked, ScriptCompileOptions(), &compiled);
    bool same = compiled.errors == 0 && compiled.data == expected;
    for (const ScriptDiagnostic &d : compiled.diagnostics)
      Warn(c.start, same ? d.message : "kept as a raw command: " + d.message);
    out_->source += (same ? checked : FormatLine(c.keyword, c.args, true)) + "\n";
  }

  ScriptDecompiled *out_;
};

}  // namespace

std::string ScriptFormatDiagnostic(const std::string &file, const ScriptDiagnostic &d) {
  std::string kind = d.error ? "error" : "warning";
  if (d.line > 0) return Format("%s:%d:%d: %s: ", file.c_str(), d.line, d.column, kind.c_str()) + d.message;
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
  for (int number = 1; p < source.size(); number++) {
    size_t end = source.find('\n', p);
    if (end == std::string::npos) end = source.size();
    std::string line = source.substr(p, end - p);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    compiler.CompileLine(line, number);
    p = end + 1;
  }
  return out->errors == 0;
}

void ScriptDecompile(const std::vector<uint8_t> &data, ScriptDecompiled *out) {
  Decompiler decompiler(out);
  decompiler.Run(data);
}

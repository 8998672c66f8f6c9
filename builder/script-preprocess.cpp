// The script's preprocessor: defines, conditionals, includes.
#include "script-preprocess.h"

#include <set>

#include "script-compiler.h"
#include "script-keywords.h"

namespace {

const int kIncludeDepthMax = 32;
// Bounds that keep a hostile script from growing without end: the bytes of
// one line as read and after its replacements, the bytes all replacements
// make together (every line's and every value's), and the bytes all
// includes read.
const size_t kLineMax = 16u << 20;
const size_t kExpandedMax = 64u << 20;
const size_t kIncludedMax = SCRIPT_SOURCE_MAX;
const int kIncludesMax = 10000;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string &text) {
  size_t from = 0, to = text.size();
  while (from < to && IsBlank(text[from])) from++;
  while (to > from && IsBlank(text[to - 1])) to--;
  return text.substr(from, to - from);
}

bool IsNameByte(char c, bool first) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (!first && c >= '0' && c <= '9');
}

// The folder part of a path, with its separator; "" for a bare name.
std::string FolderOf(const std::string &path) {
  size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? "" : path.substr(0, cut + 1);
}

// "a/./b/../c" -> "a/c": the same file gets the same name, so that a cycle
// is found however it is spelled.
std::string Normalize(const std::string &path) {
  bool absolute = !path.empty() && (path[0] == '/' || path[0] == '\\');
  std::vector<std::string> parts;
  size_t p = 0;
  while (p <= path.size()) {
    size_t end = path.find_first_of("/\\", p);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(p, end - p);
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..") parts.pop_back();
      else if (!absolute) parts.push_back(part);
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    p = end + 1;
  }
  std::string out = absolute ? "/" : "";
  for (size_t i = 0; i < parts.size(); i++) out += (i ? "/" : "") + parts[i];
  return out;
}

struct Conditional {
  int line;
  int column;
  bool active;     // the lines of this branch are read
  bool parent;     // the lines around it are read
  bool seenElse;
};

class Preprocessor {
 public:
  Preprocessor(const std::map<std::string, std::string> &defines, const std::vector<std::string> &fixed,
               const ScriptReadFile &readFile, ScriptPreprocessed *out, std::vector<ScriptDiagnostic> *diagnostics)
      : defines_(defines), fixed_(fixed.begin(), fixed.end()), readFile_(readFile), out_(out),
        diagnostics_(diagnostics) {}

  void Run(const std::string &source, const std::string &name, int parent, int parentLine) {
    int file = (int)out_->files.size();
    out_->files.push_back({name, parent, parentLine});
    std::vector<Conditional> stack;
    size_t p = 0;
    for (int number = 1; p < source.size() && !stopped_; number++) {
      size_t end = source.find('\n', p);
      if (end == std::string::npos) end = source.size();
      if (end - p > kLineMax) {
        Report(file, number, 1, "this line is longer than 16 MB");
        p = end + 1;
        continue;
      }
      std::string line = source.substr(p, end - p);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      p = end + 1;
      Line(file, number, line, &stack);
    }
    if (stopped_) return;
    for (const Conditional &c : stack)
      Report(file, c.line, c.column, "this !ifdef or !ifndef has no !endif");
  }

 private:
  void Report(int file, int line, int column, const std::string &message, bool error = true) {
    ScriptDiagnostic d = {error, line, column, -1, message, "", {}};
    ScriptPlaceDiagnostic(*out_, file, &d);
    diagnostics_->push_back(d);
    out_->findingsAt.push_back(out_->lines.size());
  }

  static bool Active(const std::vector<Conditional> &stack) { return stack.empty() || stack.back().active; }

  void Line(int file, int number, const std::string &text, std::vector<Conditional> *stack) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) i++;
    std::string word;
    size_t after = i;
    if (i < text.size() && text[i] == '!') {
      after = i + 1;
      while (after < text.size() && !IsBlank(text[after]) && text[after] != ':') after++;
      if (after == text.size() || IsBlank(text[after])) word = ScriptUpper(text.substr(i + 1, after - i - 1));
    }
    int column = (int)i + 1;
    std::string rest = after < text.size() ? text.substr(after) : "";
    if (word == "IFDEF" || word == "IFNDEF") {
      std::string name = Trim(rest);
      bool parent = Active(*stack);
      if (parent && !ScriptIsDefineName(name)) Report(file, number, column, "!" + Lower(word) + " needs a name");
      bool defined = defines_.count(name) != 0;
      stack->push_back({number, column, parent && (word == "IFDEF" ? defined : !defined), parent, false});
      return;
    }
    if (word == "ELSE" || word == "ENDIF") {
      if (stack->empty()) {
        Report(file, number, column, "!" + Lower(word) + " without !ifdef or !ifndef");
        return;
      }
      if (!Trim(rest).empty()) Report(file, number, column, "!" + Lower(word) + " takes nothing after it");
      Conditional &c = stack->back();
      if (word == "ENDIF") {
        stack->pop_back();
      } else if (c.seenElse) {
        Report(file, number, column, "a second !else for the same !ifdef or !ifndef");
      } else {
        c.seenElse = true;
        c.active = c.parent && !c.active;
      }
      return;
    }
    if (!Active(*stack)) return;
    if (i == text.size() || text[i] == '#') return;
    if (word == "DEFINE") {
      Define(file, number, text, after);
      return;
    }
    if (word == "INCLUDE") {
      Include(file, number, text, after);
      return;
    }
    ScriptSourceLine line;
    line.file = file;
    line.line = number;
    if (Substitute(file, number, text, 0, &line)) out_->lines.push_back(std::move(line));
  }

  static std::string Lower(const std::string &word) {
    std::string out = word;
    for (char &c : out)
      if (c >= 'A' && c <= 'Z') c = (char)(c + 32);
    return out;
  }

  // text from byte from on, with every ${NAME} replaced, into out's text
  // and runs. false after reporting an unknown name or a bound passed (the
  // whole script's stops the preprocessing).
  bool Substitute(int file, int number, const std::string &text, size_t from, ScriptSourceLine *out) {
    for (size_t p = from; p < text.size();) {
      if (text.compare(p, 3, "$${") == 0) {
        out->text.append("${");
        out->AddColumns(2, (int)p + 1, true);
        p += 3;
        continue;
      }
      if (text.compare(p, 2, "${") != 0) {
        out->text.push_back(text[p]);
        out->AddColumns(1, (int)p + 1, true);
        p++;
        continue;
      }
      size_t close = text.find('}', p + 2);
      if (close == std::string::npos) {
        Report(file, number, (int)p + 1, "'${' without its closing '}' (write $${ for a literal ${)");
        return false;
      }
      std::string name = text.substr(p + 2, close - p - 2);
      auto found = defines_.find(name);
      if (!ScriptIsDefineName(name) || found == defines_.end()) {
        Report(file, number, (int)p + 1,
               ScriptIsDefineName(name) ? "undefined name '" + name + "' (define it with !define or -D " + name + "=...)"
                                        : "'" + name + "' is not a name (letters, digits and '_')");
        return false;
      }
      if (out->text.size() + found->second.size() > kLineMax) {
        Report(file, number, (int)p + 1, "the line grows beyond 16 MB through its replacements");
        return false;
      }
      if (expanded_ + out->text.size() + found->second.size() > kExpandedMax) {
        Report(file, number, (int)p + 1, "the script grows beyond 64 MB (its lines with their replacements)");
        stopped_ = true;
        return false;
      }
      out->text.append(found->second);
      out->AddColumns(found->second.size(), (int)p + 1, false);
      p = close + 1;
    }
    out->endColumn = (int)text.size() + 1;
    expanded_ += out->text.size();
    if (expanded_ > kExpandedMax) {
      Report(file, number, 1, "the script grows beyond 64 MB (its lines with their replacements)");
      stopped_ = true;
      return false;
    }
    return true;
  }

  void Define(int file, int number, const std::string &text, size_t after) {
    size_t p = after;
    while (p < text.size() && IsBlank(text[p])) p++;
    size_t nameEnd = p;
    while (nameEnd < text.size() && !IsBlank(text[nameEnd])) nameEnd++;
    std::string name = text.substr(p, nameEnd - p);
    if (!ScriptIsDefineName(name)) {
      Report(file, number, (int)p + 1,
             name.empty() ? "!define needs a name and a value" : "'" + name + "' is not a name (letters, digits and '_')");
      return;
    }
    ScriptSourceLine expanded;
    if (!Substitute(file, number, text, nameEnd, &expanded)) return;
    std::string value = Trim(expanded.text);
    if (value.size() >= 2 && value[0] == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    if (!fixed_.count(name)) defines_[name] = value;
  }

  void Include(int file, int number, const std::string &text, size_t after) {
    ScriptSourceLine expanded;
    if (!Substitute(file, number, text, after, &expanded)) return;
    int column = (int)after + 2;
    std::string name = Trim(expanded.text);
    if (name.size() >= 2 && name[0] == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
    if (name.empty()) {
      Report(file, number, column, "!include needs a file name");
      return;
    }
    std::string path = name[0] == '/' ? name : FolderOf(out_->files[file].name) + name;
    std::string key = Normalize(path);
    int depth = 0;
    for (int f = file; f >= 0; f = out_->files[f].parent, depth++)
      if (Normalize(out_->files[f].name) == key) {
        Report(file, number, column, "'" + path + "' includes itself (through the files below)");
        return;
      }
    if (depth >= kIncludeDepthMax) {
      Report(file, number, column, "includes nested deeper than 32 files");
      return;
    }
    std::string source, error;
    if (!readFile_ || !readFile_(path, &source, &error)) {
      Report(file, number, column, "cannot include '" + path + "': " + (readFile_ ? error : "no files here"));
      return;
    }
    included_ += source.size();
    if (included_ > kIncludedMax || ++includes_ > kIncludesMax) {
      Report(file, number, column, "the includes amount to more than 10000 files or 256 MB");
      return;
    }
    if (source.compare(0, 3, "\xEF\xBB\xBF") == 0) source.erase(0, 3);
    Run(source, path, file, number);
  }

  std::map<std::string, std::string> defines_;
  std::set<std::string> fixed_;
  size_t included_ = 0;
  int includes_ = 0;
  size_t expanded_ = 0;   // the bytes every replacement so far made
  bool stopped_ = false;  // the whole script's bound was passed: no more lines
  const ScriptReadFile &readFile_;
  ScriptPreprocessed *out_;
  std::vector<ScriptDiagnostic> *diagnostics_;
};

}  // namespace

int ScriptSourceLine::Column(size_t at) const {
  if (at >= text.size() || runs.empty()) return endColumn;
  size_t low = 0, high = runs.size();  // the last run that starts at or before at
  while (high - low > 1) {
    size_t middle = (low + high) / 2;
    (runs[middle].at <= at ? low : high) = middle;
  }
  const Run &run = runs[low];
  return run.written ? run.column + (int)(at - run.at) : run.column;
}

void ScriptSourceLine::AddColumns(size_t count, int column, bool written) {
  if (count == 0) return;
  size_t at = text.size() - count;
  if (!runs.empty()) {
    const Run &last = runs.back();
    if (written && last.written && last.column + (int)(at - last.at) == column) return;
    if (!written && !last.written && last.column == column) return;
  }
  runs.push_back({at, column, written});
}

bool ScriptIsDefineName(const std::string &name) {
  if (name.empty()) return false;
  for (size_t i = 0; i < name.size(); i++)
    if (!IsNameByte(name[i], i == 0)) return false;
  return true;
}

void ScriptPlaceDiagnostic(const ScriptPreprocessed &source, int file, ScriptDiagnostic *d) {
  if (file <= 0 || file >= (int)source.files.size()) return;
  d->file = source.files[file].name;
  for (int f = file; source.files[f].parent >= 0; f = source.files[f].parent) {
    int parent = source.files[f].parent;
    d->includedFrom.push_back({source.files[parent].name, source.files[f].parentLine});
  }
}

void ScriptPreprocess(const std::string &source, const std::string &scriptName,
                      const std::map<std::string, std::string> &defines, const std::vector<std::string> &fixed,
                      const ScriptReadFile &readFile, ScriptPreprocessed *out,
                      std::vector<ScriptDiagnostic> *diagnostics) {
  Preprocessor preprocessor(defines, fixed, readFile, out, diagnostics);
  preprocessor.Run(source, scriptName, -1, 0);
}

// The decompiler: install.dat back to the readable form.
#include "script-compiler-parts.h"
#include "script-dat.h"

namespace script_compiler {

namespace {

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

}  // namespace script_compiler

void ScriptDecompile(const std::vector<uint8_t> &data, ScriptDecompiled *out) {
  script_compiler::Decompiler decompiler(out);
  decompiler.Run(data);
}

// The script compiler: the pass over the lines, its findings and its output.
#include "script-compiler.h"

#include <stdarg.h>
#include <stdio.h>

#include "archive-writer.h"
#include "codepage.h"
#include "script-compiler-parts.h"

namespace script_compiler {

std::string Format(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char *format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

std::string TrimRight(const std::string &text) {
  size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) end--;
  return text.substr(0, end);
}

// ---- The compiler ----------------------------------------------------------

Compiler::Compiler(const ScriptCompileOptions &options, ScriptCompiled *out) : options_(options), out_(out) {
  if (options.payload != nullptr) {
    checkPayload_ = true;
    WindowsNameSet payloadNames;
    for (size_t i = 0; i < options.payload->size(); i++) {
      const std::string &name = (*options.payload)[i];
      payload_.insert(ScriptUpper(name));
      if (options.payloadSizes != nullptr && i < options.payloadSizes->size())
        sizes_[ScriptUpper(name)] = (*options.payloadSizes)[i];
      payloadFolds_.emplace(WindowsNameFold(name), name);
      std::string other;
      WindowsNameSet::Clash clash = payloadNames.Add(name, &other);
      if (clash == WindowsNameSet::NONE) continue;
      WindowsNameSet::Clash back = clash == WindowsNameSet::FILE_FIRST     ? WindowsNameSet::FOLDER_FIRST
                                   : clash == WindowsNameSet::FOLDER_FIRST ? WindowsNameSet::FILE_FIRST
                                                                           : clash;
      payloadClashes_.emplace(name, std::make_pair(other, clash));
      payloadClashes_.emplace(other, std::make_pair(name, back));
    }
  }
  hashes_[ArchiveHashName(SCRIPT_ENTRY_NAME)] = {ScriptUpper(SCRIPT_ENTRY_NAME), 0};
}

// Findings point at the source: the line's file, its line there and the
// column of the byte before any ${NAME} was replaced.
void Compiler::Report(bool error, int line, int column, const std::string &message) {
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
void Compiler::Compile(const ScriptPreprocessed &source, const std::vector<ScriptDiagnostic> &found) {
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

void Compiler::CompileLine(const std::string &text, int number) {
  Line line;
  line.number = number;
  if (Lex(text, &line) != LEX_COMMAND) return;
  if (!line.raw) CheckUtf8(text, number);
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
  for (int i = 0; i < info->count; i++) CheckArg(*info, i, &line.args[i], number);
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

ScriptDiagnostic Compiler::PlaceOf(int number, int column) {
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

void Compiler::Emit(const std::string &keyword, const std::vector<Arg> &args) {
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

// A command is UTF-8 (a script in another code page is converted before
// it is compiled: --codepage); a raw one keeps every byte.
void Compiler::CheckUtf8(const std::string &text, int number) {
  size_t bad = CodepageUtf8Error(text);
  if (bad == std::string::npos) return;
  Report(true, number, (int)bad + 1,
         Format("byte 0x%02X is not UTF-8; save the script as UTF-8, or give its code page (--codepage=N)",
                (unsigned char)text[bad]));
}

}  // namespace script_compiler

using script_compiler::Compiler;
using script_compiler::Format;

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
  if (source.compare(0, 3, "\xEF\xBB\xBF") == 0) p = 3;  // a byte order mark
  ScriptPreprocessed lines;
  std::vector<ScriptDiagnostic> found;
  std::string rest;  // the text after the mark (no copy of a large script without one)
  if (p) rest = source.substr(p);
  ScriptPreprocess(p ? rest : source, options.scriptName, options.defines, options.fixedDefines, options.readFile,
                   &lines, &found);
  compiler.Compile(lines, found);
  return out->errors == 0;
}

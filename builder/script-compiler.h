// The readable script language and its compiler to install.dat and back.
//
// One command a line: "KEYWORD: arg | arg | ...". Blanks around arguments
// are dropped; a double-quoted argument keeps every byte ("" stands for one
// quote). "#" at the start of a line begins a comment. "!KEYWORD: ..." is a
// raw command, written exactly as given and never checked. The language is
// described in docs/script-language.md.
//
// install.dat, as the installer reads it: per command the mark byte 0x16,
// the keyword, ":", the arguments separated by 0x16, then CR LF.
#ifndef BUILDER_SCRIPT_COMPILER_H
#define BUILDER_SCRIPT_COMPILER_H

#include <stdint.h>

#include <string>
#include <vector>

struct ScriptDiagnostic {
  bool error;           // an error stops the build; a warning does not
  int line;             // 1-based line of the source; 0 when not tied to one
  int column;           // 1-based byte column
  long offset;          // byte offset in install.dat (decompiling), else -1
  std::string message;
};

// "script.txt:12:5: error: message", "install.dat: byte 40: warning: ...",
// or "script.txt: error: ..." for a message without a place.
std::string ScriptFormatDiagnostic(const std::string &file, const ScriptDiagnostic &d);

struct ScriptCompileOptions {
  // Archive names of the payload (backslash separators). When set, every
  // file that FILE LIST, FONT, MESSAGE and AGREEMENT name must be among
  // them (letter case aside); when NULL that check is skipped.
  const std::vector<std::string> *payload = nullptr;
};

struct ScriptCompiled {
  std::vector<uint8_t> data;                   // install.dat
  std::vector<ScriptDiagnostic> diagnostics;   // in source order
  std::vector<std::string> files;              // payload files the script names, as written
  int errors = 0;
  int warnings = 0;
};

// Compiles the source. Returns true when there was no error; data is then
// the complete install.dat (it is filled as far as possible either way).
bool ScriptCompile(const std::string &source, const ScriptCompileOptions &options, ScriptCompiled *out);

struct ScriptDecompiled {
  std::string source;                          // the readable form, LF line ends
  std::vector<ScriptDiagnostic> diagnostics;   // by byte offset
};

// Turns install.dat back into the readable form. Every command becomes one
// line; one the checked form cannot reproduce byte for byte (an unknown or
// lower-case keyword, a wrong argument count, a value the compiler refuses)
// becomes a raw "!" line. Bytes outside commands, which the installer
// skips, become comments, with a warning, as do line ends other than CR LF:
// those are the only things that do not survive compile(decompile(x)).
void ScriptDecompile(const std::vector<uint8_t> &data, ScriptDecompiled *out);

#endif

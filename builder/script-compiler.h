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

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "script-preprocess.h"

struct ScriptDiagnostic {
  bool error;           // an error stops the build; a warning does not
  int line;             // 1-based line of the source; 0 when not tied to one
  int column;           // 1-based byte column
  long offset;          // byte offset in install.dat (decompiling), else -1
  std::string message;
  std::string file;  // the included file the line is in; "" for the script itself
  std::vector<std::pair<std::string, int>> includedFrom;  // (file, line) of each !include, innermost first
};

// "script.txt:12:5: error: message", "install.dat: byte 40: warning: ...",
// or "script.txt: error: ..." for a message without a place. A line of an
// included file names that file, and each !include that led there follows
// on a line of its own: "script.txt:3: note: included from here".
std::string ScriptFormatDiagnostic(const std::string &file, const ScriptDiagnostic &d);

struct ScriptCompileOptions {
  // Archive names of the payload (backslash separators). When set, every
  // file that FILE LIST, FONT, MESSAGE and AGREEMENT name must be among
  // them (letter case aside, as Windows compares names) and is written as
  // the payload spells it; when NULL that check is skipped.
  const std::vector<std::string> *payload = nullptr;
  // The size in bytes of each payload file, in the order of payload; needed
  // for "INSTALL SIZE: auto".
  const std::vector<uint64_t> *payloadSizes = nullptr;
  // The script's name (diagnostics of included files name it in their
  // include chain; !include reads relative to its folder) and how included
  // files are read (none can be when unset).
  std::string scriptName = "script";
  ScriptReadFile readFile;
  // Names known before the first line (built-in names, the command line's
  // -D) and those of them a !define cannot change (the command line's).
  std::map<std::string, std::string> defines;
  std::vector<std::string> fixedDefines;
  // Warnings count as errors.
  bool warningsAsErrors = false;
  // The checks of the script as a whole: a FILE LIST without INSTALL, files
  // NOTEPAD, OLE and ADD ITEM use that no FILE LIST installs.
  bool wholeScript = true;
};

// A file a page shows (MESSAGE, AGREEMENT), with the place that names it.
struct ScriptPageFile {
  std::string name;
  ScriptDiagnostic place;  // line, column and file of the name; message empty
};

struct ScriptCompiled {
  std::vector<uint8_t> data;                   // install.dat
  std::vector<ScriptDiagnostic> diagnostics;   // in source order
  std::vector<std::string> files;              // payload files the script names, as written to install.dat
  std::vector<std::vector<std::string>> fileLists;  // the names of each FILE LIST, patterns expanded
  std::vector<ScriptPageFile> pageFiles;       // the files of MESSAGE and AGREEMENT
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

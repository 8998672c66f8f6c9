// What the files of the script compiler share (script-compiler.cpp: the
// compiler's pass over the lines, its findings and output; script-lexer.cpp:
// the readable form of a line; script-checks.cpp: the checks of each kind of
// argument, numbers read as the installer reads them, the names' CRC-32;
// script-expand.cpp: FILE LIST patterns; script-whole.cpp: the checks of the
// script as a whole and INSTALL SIZE auto; script-decompile.cpp: install.dat
// back to the readable form). Not for other callers: they include
// script-compiler.h.
#ifndef BUILDER_SCRIPT_COMPILER_PARTS_H
#define BUILDER_SCRIPT_COMPILER_PARTS_H

#include <stdint.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "script-compiler.h"
#include "script-keywords.h"
#include "windows-names.h"

namespace script_compiler {

const char kMark = SCRIPT_MARK;
const size_t kKeywordMax = SCRIPT_KEYWORD_MAX;
const int64_t kIdWarning = 1000;

std::string Format(const char *format, ...) __attribute__((format(printf, 1, 2)));

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string TrimRight(const std::string &text);

// ---- Numbers, read as the installer reads them ---------------------------

struct Number {
  bool digits = false;    // at least one digit: the installer sees a number
  bool trailing = false;  // something other than blanks follows it
  int64_t whole = 0;      // the value, saturated far beyond 32 bits
  int32_t wrapped = 0;    // what the installer keeps of a whole number
  double fraction = 0;
};

Number ScanWhole(const std::string &s);
Number ScanFraction(const std::string &s);

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

enum LexResult { LEX_NOTHING, LEX_COMMAND, LEX_FAILED };

class Compiler {
 public:
  Compiler(const ScriptCompileOptions &options, ScriptCompiled *out);
  void Report(bool error, int line, int column, const std::string &message);
  void Compile(const ScriptPreprocessed &source, const std::vector<ScriptDiagnostic> &found);
  void CompileLine(const std::string &text, int number);
  ScriptDiagnostic PlaceOf(int number, int column);

 private:
  // script-lexer.cpp
  LexResult Lex(const std::string &text, Line *line);
  bool LexArgs(const std::string &text, size_t p, Line *line);
  bool CheckRawKeyword(const Line &line);
  void UnknownKeyword(const Line &line);
  static const ScriptKeywordInfo *LongestKeywordPrefix(const std::string &text);
  // script-checks.cpp
  bool CheckCount(const ScriptKeywordInfo &info, Line *line);
  void CheckArg(const ScriptKeywordInfo &info, int index, Arg *arg, int number);
  bool CheckWhole(const Arg &arg, const std::string &what, int number, Number *result = nullptr);
  void CheckId(const Arg &arg, const ScriptKeywordInfo &info, int number);
  void CheckFraction(const Arg &arg, const std::string &what, int number);
  void CheckColour(const Arg &arg, const std::string &what, int number);
  static bool IsBlankSeparated(const std::string &text);
  static std::string Commas(const std::string &text);
  void CheckStyle(const Arg &arg, int number);
  void CheckFileList(Arg *arg, int number);
  bool CheckInside(const Arg &name, int number);
  void CheckRawFileList(const Line &line);
  std::string CheckFileName(const std::string &written, int number, int column, bool creatable = true);
  static std::vector<Arg> Split(const Arg &arg, char separator, bool trim = true);
  // script-expand.cpp
  bool ExpandFileList(Arg *arg, int number);
  // script-whole.cpp
  void Uses(const Arg &arg, int number, bool program);
  void Finish();
  void CheckUninstallers();
  void Place(ScriptDiagnostic d, const std::string &message);
  // script-compiler.cpp
  void Emit(const std::string &keyword, const std::vector<Arg> &args);
  void CheckUtf8(const std::string &text, int number);

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
  // The payload's names by their fold (WindowsNameFold), and those that are
  // one name to Windows with another: the other and how they clash.
  std::map<std::string, std::string> payloadFolds_;
  std::map<std::string, std::pair<std::string, WindowsNameSet::Clash>> payloadClashes_;
  WindowsNameSet names_;                   // the names the script gives
  std::map<std::string, int> nameLines_;  // the line of each
  std::map<uint32_t, std::pair<std::string, int>> hashes_;  // hash -> upper-cased name, line
};

}  // namespace script_compiler

#endif

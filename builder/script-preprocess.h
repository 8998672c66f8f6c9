// The script's preprocessor: the lines the compiler sees, after defines,
// conditionals and includes.
//
//   !define NAME value        NAME stands for value from here on (a name
//                             given on the command line keeps its value)
//   ${NAME}                   replaced by its value in every line but
//                             comments; $${ stands for a literal ${
//   !ifdef NAME / !ifndef NAME / !else / !endif
//   !include FILE             FILE's lines, read relative to the including
//                             file's folder
//
// A directive is "!" and one of these words followed by a blank or the end
// of the line, in any letter case; any other "!" line stays a raw command.
// Every line keeps its place (file, line, the column of each byte) so that
// the compiler's findings point into the file the text came from.
#ifndef BUILDER_SCRIPT_PREPROCESS_H
#define BUILDER_SCRIPT_PREPROCESS_H

#include <functional>
#include <map>
#include <string>
#include <vector>

struct ScriptDiagnostic;

// The most a script and everything it includes may hold, in bytes.
#define SCRIPT_SOURCE_MAX (256u << 20)

// Reads an included file; false with *error ("No such file or directory").
typedef std::function<bool(const std::string &path, std::string *text, std::string *error)> ScriptReadFile;

struct ScriptSourceFile {
  std::string name;  // as the diagnostics show it
  int parent;        // the including file's index; -1 for the script itself
  int parentLine;    // the line of the !include in the parent
};

struct ScriptSourceLine {
  std::string text;  // after substitution, without its line end
  int file = 0;      // index into the files
  int line = 0;      // 1-based line in that file
  // The source column of each byte of text, kept as runs: from byte at on,
  // either each byte its own column on (text as written) or every byte the
  // one column (a replacement's value, at its ${).
  struct Run {
    size_t at;
    int column;
    bool written;
  };
  std::vector<Run> runs;
  int endColumn = 1;  // the column one past the end of the source line

  // The source column of byte at of text; endColumn from its end on.
  int Column(size_t at) const;
  // Notes the columns of the count bytes just appended to text: from
  // column on (written) or all at column.
  void AddColumns(size_t count, int column, bool written);
};

struct ScriptPreprocessed {
  std::vector<ScriptSourceFile> files;
  std::vector<ScriptSourceLine> lines;
  // For each finding of the preprocessor: the number of lines handed on
  // before it, which puts it in source order among the compiler's.
  std::vector<size_t> findingsAt;
};

// The rules of a name: a letter or '_', then letters, digits and '_'.
bool ScriptIsDefineName(const std::string &name);

// Splits source (the script named scriptName) into lines and applies the
// directives. defines: the names known from the start (built-in names and
// the command line); fixed: those a !define may not change (the command
// line's). Findings go to diagnostics with their file and include chain.
void ScriptPreprocess(const std::string &source, const std::string &scriptName,
                      const std::map<std::string, std::string> &defines, const std::vector<std::string> &fixed,
                      const ScriptReadFile &readFile, ScriptPreprocessed *out,
                      std::vector<ScriptDiagnostic> *diagnostics);

// Fills a diagnostic's file and include chain from the place of a line.
void ScriptPlaceDiagnostic(const ScriptPreprocessed &source, int file, ScriptDiagnostic *d);

#endif

// The readable form of a line: keyword, colon, arguments, quotes.
#include <string.h>

#include "script-compiler-parts.h"

namespace script_compiler {

LexResult Compiler::Lex(const std::string &text, Line *line) {
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

bool Compiler::LexArgs(const std::string &text, size_t p, Line *line) {
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

bool Compiler::CheckRawKeyword(const Line &line) {
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
void Compiler::UnknownKeyword(const Line &line) {
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
const ScriptKeywordInfo *Compiler::LongestKeywordPrefix(const std::string &text) {
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

}  // namespace script_compiler

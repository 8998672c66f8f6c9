#include "script-keywords.h"

#include "script-format.h"

#include <algorithm>
#include <vector>

namespace {

// The room of each argument: what the installer's buffer for it keeps.
const int kField = SCRIPT_ROOM(SCRIPT_FIELD_SIZE);
const int kArg = SCRIPT_ROOM(SCRIPT_ARG_SIZE);
const int kPath = SCRIPT_ROOM(VANTOR_PATH_SIZE);
// One place of a directory name is kept for the backslash the installer appends.
const int kDirectory = kField - 1;

const ScriptKeywordInfo keywords[] = {
    {"COMPANY NAME", 1, {{"name", SARG_TEXT, kField}}, "sets the company name"},
    {"PRODUCT NAME", 1, {{"name", SARG_TEXT, kField}}, "sets the product name (window title)"},
    {"TEXT", 1, {{"text", SARG_TEXT, kField}}, "sets the prompt text of the next page or command"},
    {"FILE LIST", 1, {{"files", SARG_FILE_LIST, 0}}, "lists what INSTALL extracts from the archive"},
    {"GRADIENT START", 1, {{"colour", SARG_COLOUR, kArg}}, "sets the top colour of the background"},
    {"GRADIENT END", 1, {{"colour", SARG_COLOUR, kArg}}, "sets the bottom colour of the background"},
    {"FONT", 2, {{"id", SARG_ID, kArg}, {"font file", SARG_PAYLOAD, kArg}},
     "copies a font file from the archive to the temporary directory and adds it to the system"},
    {"STRING", 9,
     {{"id", SARG_ID, kArg},
      {"typeface", SARG_TEXT, SCRIPT_ROOM(SCRIPT_FACE_SIZE)},
      {"width", SARG_FRACTION, kArg},
      {"height", SARG_FRACTION, kArg},
      {"x", SARG_FRACTION, kArg},
      {"y", SARG_FRACTION, kArg},
      {"colour", SARG_COLOUR, kArg},
      {"style", SARG_STYLE, kArg},
      {"text", SARG_TEXT, kArg}},
     "defines a text drawn on the background"},
    {"REFRESH", 0, {}, "repaints the main window"},
    {"CREATE GROUP", 1, {{"group", SARG_TEXT, SCRIPT_GROUP_ROOM}}, "creates a Program Manager group"},
    {"ADD ITEM", 2, {{"program", SARG_TEXT, kField, SARGF_PROGRAM}, {"caption", SARG_TEXT, kField}}, "adds a Program Manager item"},
    {"NOTEPAD", 1, {{"text file", SARG_TEXT, kPath, SARGF_INSTALLED}}, "shows an installed text file"},
    {"OLE", 2, {{"REGISTER or UNREGISTER", SARG_OLE_MODE, SCRIPT_ROOM(SCRIPT_OLE_MODE_SIZE)}, {"library", SARG_TEXT, kPath, SARGF_INSTALLED}},
     "registers or unregisters a self-registering library"},
    {"AGREEMENT", 1, {{"text file", SARG_PAYLOAD, kPath, SARGF_PAGE}}, "shows the licence agreement page"},
    {"MESSAGE", 1, {{"text file", SARG_PAYLOAD, kPath, SARGF_PAGE}}, "shows a message page"},
    {"REGISTER", 1, {{"recipient address", SARG_TEXT, kField}}, "offers electronic registration"},
    {"BREAK", 0, {}, "pauses the script: ends the current run"},
    {"UPDATE", 1, {{"message", SARG_TEXT, kField}}, "requires an earlier installation of the product"},
    {"INSTALL", 0, {}, "extracts the listed files into the destination", SKW_INSTALLS},
    {"DONE", 1, {{"message", SARG_TEXT, kField}}, "records the installation and reports completion"},
    {"REGISTRY PATH", 1, {{"key path", SARG_TEXT, kField}}, "sets the product's registry key"},
    {"INSTALL SIZE", 1, {{"kilobytes", SARG_INTEGER, kField}}, "sets the space the product needs", SKW_AUTO_SIZE},
    {"INSTALL SCOPE", 1, {{"user or machine", SARG_SCOPE, kField}}, "installs for this user or for every user"},
    {"FILES IN USE", 1, {{"fail or restart", SARG_IN_USE, kField}},
     "what an unattended run does with a file another program holds"},
    {"PRODUCT ID", 1, {{"id", SARG_KEY_NAME, kField}}, "names the product's Add/Remove Programs entry"},
    {"PRODUCT VERSION", 1, {{"version", SARG_TEXT, kField}}, "sets the version Add/Remove Programs shows"},
    {"INSTALL DIR", 1, {{"directory", SARG_TEXT, kDirectory}}, "sets the default directory name"},
    {"INSTALL DIR ALT", 1, {{"directory", SARG_TEXT, kDirectory}}, "sets the alternative directory name"},
    {"INSTALL PATH", 1, {{"prompt", SARG_TEXT, kField}}, "asks for the destination directory"},
    {"UNINSTALL", 1, {{"program name", SARG_TEXT, kField, SARGF_UNINSTALLER}},
     "records the run's changes and writes an uninstaller into the destination"},
};

const size_t keywordCount = sizeof keywords / sizeof keywords[0];

std::string WithoutBlanks(const std::string &text) {
  std::string out;
  for (char c : text)
    if (c != ' ' && c != '\t') out += c;
  return out;
}

// Edits (insert, delete, replace, swap two neighbours) that turn a into b.
size_t EditDistance(const std::string &a, const std::string &b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); i++) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); j++) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); i++)
    for (size_t j = 1; j <= b.size(); j++) {
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[a.size()][b.size()];
}

}  // namespace

std::string ScriptUpper(const std::string &text) {
  std::string out = text;
  for (char &c : out)
    if (c >= 'a' && c <= 'z') c = (char)(c - 32);
  return out;
}

const ScriptKeywordInfo *ScriptKeywords(size_t *count) {
  *count = keywordCount;
  return keywords;
}

const ScriptKeywordInfo *ScriptFindKeyword(const std::string &text) {
  std::string upper = ScriptUpper(text);
  for (const ScriptKeywordInfo &k : keywords)
    if (upper == k.keyword) return &k;
  return NULL;
}

const ScriptKeywordInfo *ScriptSuggestKeyword(const std::string &text) {
  // Longer than the installer reads of a keyword: no typing slip of one, and
  // the distances stay cheap whatever the text.
  if (text.size() > SCRIPT_KEYWORD_MAX) return NULL;
  std::string upper = ScriptUpper(text);
  const ScriptKeywordInfo *best = NULL;
  size_t bestDistance = 0;
  for (const ScriptKeywordInfo &k : keywords) {
    size_t d = WithoutBlanks(upper) == WithoutBlanks(k.keyword) ? 0 : EditDistance(upper, k.keyword);
    if (best == NULL || d < bestDistance) {
      best = &k;
      bestDistance = d;
    }
  }
  size_t limit = std::max<size_t>(1, upper.size() / 4);
  return best != NULL && bestDistance <= limit ? best : NULL;
}

std::string ScriptUsage(const ScriptKeywordInfo &info) {
  std::string out = info.keyword;
  for (int i = 0; i < info.count; i++) out += std::string(i ? " | " : ": ") + info.args[i].name;
  return out;
}

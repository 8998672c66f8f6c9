// What the builder knows about each keyword of the install script: its
// arguments, what each holds, the room the installer has for it and the usage
// line. The one table the compiler, the decompiler and the messages use.
#ifndef BUILDER_SCRIPT_KEYWORDS_H
#define BUILDER_SCRIPT_KEYWORDS_H

#include <stddef.h>

#include <string>

#include "ffs.h"
#include "script-format.h"
#include "vantor-core.h"

#define SCRIPT_MAX_ARGS 9

enum ScriptArgKind {
  SARG_TEXT,       // any text
  SARG_INTEGER,    // a whole number
  SARG_ID,         // a whole number of 1 or more: the table index of STRING and FONT
  SARG_FRACTION,   // a decimal fraction
  SARG_COLOUR,     // red, green, blue: decimal numbers separated by commas
  SARG_STYLE,      // the style and placement words of STRING
  SARG_PAYLOAD,    // the name of a file in the payload
  SARG_FILE_LIST,  // names of payload files separated by commas
  SARG_OLE_MODE,   // REGISTER, or any other word to unregister
  SARG_SCOPE,      // user or machine
  SARG_IN_USE,     // fail or restart
  SARG_KEY_NAME,   // a registry key's name: text without a backslash
};

// What an argument is to the script as a whole (ScriptArgInfo::flags). The
// payload files an argument names follow from its kind (SARG_PAYLOAD,
// SARG_FILE_LIST).
enum ScriptArgFlag {
  SARGF_PAGE = 1 << 0,         // the file is a page's text (converted with --codepage)
  SARGF_INSTALLED = 1 << 1,    // names a file of the destination: one a FILE LIST installs
  SARGF_PROGRAM = 1 << 2,      // the same, a program that may carry arguments after a blank or its closing quote
  SARGF_UNINSTALLER = 1 << 3,  // the uninstaller written into the destination (empty: the default name)
};

// What a keyword is to the script as a whole (ScriptKeywordInfo::flags).
enum ScriptKeywordFlag {
  SKW_INSTALLS = 1 << 0,   // copies the files the FILE LISTs name
  SKW_AUTO_SIZE = 1 << 1,  // its one argument may be "auto": the kilobytes the FILE LISTs install
};

struct ScriptArgInfo {
  const char *name;    // for usage lines and messages
  ScriptArgKind kind;
  int room;            // characters the installer keeps; 0: no limit
  unsigned flags = 0;  // ScriptArgFlag
};

struct ScriptKeywordInfo {
  const char *keyword;  // the canonical spelling, as written to install.dat
  int count;            // arguments, always all of them
  ScriptArgInfo args[SCRIPT_MAX_ARGS];
  const char *summary;
  unsigned flags = 0;   // ScriptKeywordFlag
};

// Room for one name of a FILE LIST: an archive name.
#define SCRIPT_FILE_NAME_ROOM SCRIPT_ROOM(VANTOR_PATH_SIZE)
// The FILE LIST as a whole stays in the loaded install.dat (its names are
// copied one at a time into buffers of VANTOR_PATH_SIZE), so its bytes are
// bounded only by the largest entry the installer loads.
#define SCRIPT_FILE_LIST_MAX FFS_ENTRY_MAX

// The table, in the installer's order of registration.
const ScriptKeywordInfo *ScriptKeywords(size_t *count);
// The entry whose keyword equals text without regard to letter case; NULL
// when there is none.
const ScriptKeywordInfo *ScriptFindKeyword(const std::string &text);
// The keyword closest to text when it is a near miss (a typing slip, a
// missing or doubled blank); NULL when nothing is close.
const ScriptKeywordInfo *ScriptSuggestKeyword(const std::string &text);
// text with a-z upper-cased, as keywords and archive names compare.
std::string ScriptUpper(const std::string &text);
// "STRING: id | typeface | ..." or "BREAK".
std::string ScriptUsage(const ScriptKeywordInfo &info);

#endif

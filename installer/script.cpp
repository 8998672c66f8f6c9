// The script record: loading install.dat, the run loop, releasing.
#include "script.h"

#include "command.h"
#include "ffs.h"
#include "shell.h"
#include "process-sys.h"
#include "interact.h"
#include "script-reader.h"
#include "vantor-core.h"
#include "vantor-str.h"
#include "winhelpr.h"


int ScriptLoad(InstallScript **script, const char *name) {
  ASSERT(script != NULL, "Pointer is NULL\n");
  ASSERT(name != NULL, "Pointer is NULL\n");
  char entry[VANTOR_PATH_SIZE];  // the reader upper-cases the name in place
  if (!StrCopyN(entry, name, VANTOR_PATH_SIZE)) return 0;

  void *text;
  uint32_t size;
  if (!FfsLoadEntry(entry, 1, 0, &text, &size)) return 0;  // zero-filled: the text ends in NUL
  InstallScript *record = (InstallScript *)MEM_ALLOC((int)sizeof(InstallScript));
  record->textLength = (int32_t)size;
  record->text = (char *)text;
  record->cursor = record->text;
  *script = record;
  return 1;
}

// Reads the keyword that follows a mark with the script reader
// (script-reader.h): the bytes up to the first colon, at most
// SCRIPT_KEYWORD_MAX of them and none at or past end. Returns 1 and the
// argument text (the byte after the colon) when the colon was found; 0 when
// the keyword is too long or runs to the end of the text, which makes it
// unknown.
static int ScriptReadKeyword(char *from, const char *end, char *keyword, char **args) {
  const char *after;
  int found = ScriptReadKeywordAt(from, end, keyword, &after);
  *args = from + (after - from);
  return found;
}

char *ScriptFindCommand(const InstallScript *script, CommandHandler handler) {
  ASSERT(script != NULL && script->text != NULL, "Pointer is NULL\n");
  char *end = script->text + script->textLength;
  const char *args;
  // Each command's arguments and the marks between them are taken whole, up
  // to the line's end.
  for (const char *p = ScriptNextMark(script->text, end); p != NULL; p = ScriptNextMark(ScriptArgsEnd(args, end), end)) {
    char keyword[SCRIPT_KEYWORD_MAX + 1];
    if (!ScriptReadKeywordAt(p + 1, end, keyword, &args)) return NULL;
    CommandHandler found = CommandHandlerOf(keyword);
    if (found == NULL) return NULL;
    if (found == handler) return script->text + (args - script->text);
  }
  return NULL;
}

// Where the walk goes on after a command: one byte behind what the handler
// consumed, never past the end of the text.
static char *ScriptResume(char *args, int32_t consumed, char *end) {
  int32_t room = (int32_t)(end - args);
  if (consumed < 0 || consumed >= room) return end;
  return args + consumed + 1;
}

static void ScriptSummary(const InstallScript *script) {
  DebugPrintf("Company Name   : %s\n", script->companyName);
  DebugPrintf("Product Name   : %s\n", script->productName);
  DebugPrintf("File Count     : %d\n", (int)script->fileCount);
  DebugPrintf("Install Path   : %s [%s]\n", script->installPath, script->installDir);
}

int ScriptFinished(const InstallScript *script) {
  ASSERT(script != NULL, "Pointer is NULL\n");
  for (const char *p = script->cursor; p < script->text + script->textLength; p++)
    if ((unsigned char)*p == SCRIPT_MARK) return 0;
  return 1;
}

int ScriptRun(InstallScript *script) {
  ASSERT(script != NULL, "Pointer is NULL\n");
  ASSERT(script->text != NULL, "Pointer is NULL\n");
  ASSERT(script->cursor != NULL, "Pointer is NULL\n");
  char *end = script->text + script->textLength;
  char *p = script->cursor;
  while (p < end) {
    if ((unsigned char)*p != SCRIPT_MARK) {
      p++;
      continue;
    }
    script->cursor = p;
    char keyword[SCRIPT_KEYWORD_MAX + 1];
    char *args;
    if (!ScriptReadKeyword(p + 1, end, keyword, &args) || !CommandExists(keyword)) {
      DebugPrintf("Unknown command '%s'\n", keyword);
      Interact()->box(NULL, keyword, "Unknown script keyword...", SYS_MB_OK, SYS_IDOK);
      return SCRIPT_FAILED;
    }
    int32_t consumed = 0;
    script->failure = 0;
    if (!CommandExecute(keyword, script, args, &consumed)) {
      if (StrEqualNoCase(keyword, "BREAK")) {
        script->cursor = args;
        DebugPrintf("Break Encountered\n");
        return SCRIPT_BREAK;
      }
      DebugPrintf("Command Failed '%s'\n", keyword);
      return SCRIPT_FAILED;
    }
    p = ScriptResume(args, consumed, end);
  }
  script->cursor = end;
  ScriptSummary(script);
  return SCRIPT_END;
}

// Takes every font of the table away from the system and deletes its copy in
// the temporary directory; a font that cannot be removed is logged.
static void ScriptRemoveFonts(const InstallScript *script) {
  for (int32_t i = 0; i < script->fontCount; i++) {
    char path[VANTOR_PATH_SIZE];
    QueryTempDir(path, VANTOR_PATH_SIZE);
    StrAppendN(path, script->fonts[i].fileName, VANTOR_PATH_SIZE);
    if (!FontResourceRemove(path)) DebugPrintf("Unable to remove font '%d' '%s'\n", (int)i, script->fonts[i].fileName);
  }
}

int ScriptFree(InstallScript **script) {
  ASSERT(script != NULL, "Pointer is NULL\n");
  ASSERT(*script != NULL, "Pointer is NULL\n");
  InstallScript *record = *script;
  if (record->stringCount > 0) MEM_FREE(record->strings, record->stringCount * (int)sizeof(ScreenString));
  if (record->fontCount > 0) {
    ScriptRemoveFonts(record);
    MEM_FREE(record->fonts, record->fontCount * (int)sizeof(ScriptFont));
  }
  MEM_FREE(record->text, record->textLength + 1);
  MEM_FREE(record, (int)sizeof(InstallScript));
  *script = NULL;
  return 1;
}

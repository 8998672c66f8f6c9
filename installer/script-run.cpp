// The run loop: walking install.dat command by command from the cursor.
#include "script-run.h"

#include "interact.h"
#include "process-sys.h"
#include "script-reader.h"
#include "vantor-core.h"
#include "vantor-str.h"

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
  ASSERT(script != NULL && script->text != NULL, POINTER_IS_NULL);
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
  ASSERT(script != NULL, POINTER_IS_NULL);
  for (const char *p = script->cursor; p < script->text + script->textLength; p++)
    if ((unsigned char)*p == SCRIPT_MARK) return 0;
  return 1;
}

int ScriptRun(InstallScript *script) {
  ASSERT(script != NULL, POINTER_IS_NULL);
  ASSERT(script->text != NULL, POINTER_IS_NULL);
  ASSERT(script->cursor != NULL, POINTER_IS_NULL);
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


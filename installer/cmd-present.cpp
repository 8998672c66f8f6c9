// The presentation commands: the names, the prompt of the next page, the
// backdrop's colours, fonts and screen strings, the file list, REFRESH.
#include "present.h"

#include "args.h"
#include "command.h"
#include "handler-check.h"
#include "shell.h"
#include "target-sys.h"
#include "target.h"
#include "vantor-core.h"
#include "vantor-str.h"
#include "winhelpr.h"

int ParseRgb(unsigned char *destination, char *text) {
  ASSERT(destination != NULL, POINTER_IS_NULL);
  ASSERT(text != NULL, POINTER_IS_NULL);
  int index = 0;
  char *component = text;
  for (char *p = text; *p != 0 && index < SCRIPT_COLOUR_COMPONENTS; p++) {
    if (*p != SCRIPT_COLOUR_SEPARATOR) continue;
    *p = 0;
    destination[index++] = (unsigned char)ArgInteger(component);
    component = p + 1;
  }
  if (index < SCRIPT_COLOUR_COMPONENTS) destination[index] = (unsigned char)ArgInteger(component);
  return 1;
}

int CmdCompanyName(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  *consumed = ArgCopy(args, script->companyName, SCRIPT_FIELD_SIZE);
  return 1;
}

int CmdProductName(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  *consumed = ArgCopy(args, script->productName, SCRIPT_FIELD_SIZE);
  return 1;
}

int CmdText(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  *consumed = ArgCopy(args, script->prompt, SCRIPT_FIELD_SIZE);
  return 1;
}

static int GradientCommand(unsigned char *colour, char *args, int32_t *consumed) {
  char text[SCRIPT_ARG_SIZE];
  *consumed = ArgCopy(args, text, SCRIPT_ARG_SIZE);
  return ParseRgb(colour, text);
}

int CmdGradientStart(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  return GradientCommand(script->gradientStart, args, consumed);
}

int CmdGradientEnd(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  return GradientCommand(script->gradientEnd, args, consumed);
}

int CmdFileList(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  int32_t length = ArgLength(args);
  script->fileCount = 1;
  script->fileList = args;
  for (int32_t i = 0; i < length; i++)
    if (args[i] == ',') script->fileCount++;
  ArgReader reader;
  ArgBeginScript(&reader, script, args);
  ArgSkip(&reader);
  *consumed = ArgConsumedWithEnd(&reader);
  args[length] = 0;  // the names end where the line did
  return 1;
}

// The entry for a STRING or FONT ID: the table grows to exactly ID
// zero-filled entries when ID is beyond it, keeping the entries it had. An ID
// below 1 or above PRESENT_ID_MAX is fatal.
static void *TableEntry(void **table, int32_t *count, int32_t id, int entrySize) {
  if (id < 1 || id > PRESENT_ID_MAX) ABORT("Invalid string ID (%d / %d)\n", (int)id, (int)*count);
  if (id > *count) {
    char *grown = (char *)MEM_ALLOC(id * entrySize);
    if (*count > 0) {
      char *old = (char *)*table;
      for (int i = 0; i < *count * entrySize; i++) grown[i] = old[i];
      MEM_FREE(old, *count * entrySize);
    }
    *table = grown;
    *count = id;
  }
  return (char *)*table + (id - 1) * entrySize;
}

// Reads the ID argument of a STRING or FONT.
static int32_t ReadId(ArgReader *reader) {
  char text[SCRIPT_ARG_SIZE];
  ArgNext(reader, text, SCRIPT_ARG_SIZE);
  return ArgInteger(text);
}

int CmdFont(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  ArgReader reader;
  ArgBeginScript(&reader, script, args);
  int32_t id = ReadId(&reader);
  ScriptFont *entry =
      (ScriptFont *)TableEntry((void **)&script->fonts, &script->fontCount, id, (int)sizeof(ScriptFont));
  ArgNext(&reader, entry->fileName, SCRIPT_ARG_SIZE);
  *consumed = ArgConsumedWithEnd(&reader);

  void *data;
  uint32_t size;
  if (!TargetLoadEntry(entry->fileName, &data, &size)) return 0;
  char path[VANTOR_PATH_SIZE];
  QueryTempDir(path, VANTOR_PATH_SIZE);
  StrAppendN(path, entry->fileName, VANTOR_PATH_SIZE);
  void *file;
  if (!TargetSysCreate(path, &file)) {
    DebugPrintf("Unable to save '%s'\n", path);
    TargetFreeEntry(&data, size);
    return 0;
  }
  int written = TargetWriteAll(file, path, data, size);
  TargetFreeEntry(&data, size);
  if (!written) return 0;
  if (!FontResourceAdd(path)) {
    DebugPrintf("Unable to add font '%s'\n", entry->fileName);
    return 0;
  }
  return 1;
}

static int32_t StyleFlags(char *text) {
  StrUpper(text);
  int32_t flags = 0;
  for (const ScriptStyleWord &style : scriptStyleWords) {
    char *at;
    if (StrFind(text, style.word, &at)) flags |= style.flag;
  }
  return flags;
}

static float ReadFraction(ArgReader *reader) {
  char text[SCRIPT_ARG_SIZE];
  ArgNext(reader, text, SCRIPT_ARG_SIZE);
  return (float)ArgFraction(text);
}

int CmdString(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  ArgReader reader;
  ArgBeginScript(&reader, script, args);
  int32_t id = ReadId(&reader);
  ScreenString *entry = (ScreenString *)TableEntry((void **)&script->strings, &script->stringCount, id,
                                                   (int)sizeof(ScreenString));
  ArgNext(&reader, entry->face, SCRIPT_ARG_SIZE);
  entry->width = ReadFraction(&reader);
  entry->height = ReadFraction(&reader);
  entry->x = ReadFraction(&reader);
  entry->y = ReadFraction(&reader);
  char text[SCRIPT_ARG_SIZE];
  ArgNext(&reader, text, SCRIPT_ARG_SIZE);
  ParseRgb(entry->colour, text);
  ArgNext(&reader, text, SCRIPT_ARG_SIZE);
  entry->flags = StyleFlags(text);
  ArgNext(&reader, entry->text, SCRIPT_ARG_SIZE);
  *consumed = ArgConsumedWithEnd(&reader);
  return 1;
}

int CmdRefresh(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  *consumed = 0;
  if (script->window != NULL) TargetSysInvalidate(script->window);
  return 1;
}

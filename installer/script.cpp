// The script record: loading install.dat and releasing it.
#include "script.h"

#include "ffs.h"
#include "shell.h"
#include "vantor-core.h"
#include "vantor-str.h"
#include "winhelpr.h"


int ScriptLoad(InstallScript **script, const char *name) {
  ASSERT(script != NULL, POINTER_IS_NULL);
  ASSERT(name != NULL, POINTER_IS_NULL);
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
  ASSERT(script != NULL, POINTER_IS_NULL);
  ASSERT(*script != NULL, POINTER_IS_NULL);
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

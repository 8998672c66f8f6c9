// The page commands: MESSAGE and AGREEMENT show a text from the archive,
// NOTEPAD opens an installed file in the system's editor.
#include "args.h"
#include "command.h"
#include "handler-check.h"
#include "pages.h"
#include "vantor-core.h"
#include "vantor-str.h"

typedef int (*PageShow)(void *owner, const char *caption, const char *entryName);

// The page's caption is the one-shot prompt, else the page's own default;
// the prompt is used up whatever the page's outcome.
static int PageCommand(InstallScript *script, char *args, int32_t *consumed, const char *fallback, PageShow show) {
  HANDLER_CHECK(script, args, consumed);
  char name[PAGE_NAME_SIZE];
  *consumed = ArgCopy(args, name, PAGE_NAME_SIZE);
  int result = show(script->window, script->prompt[0] != 0 ? script->prompt : fallback, name);
  script->prompt[0] = 0;
  return result;
}

int CmdMessage(InstallScript *script, char *args, int32_t *consumed) {
  return PageCommand(script, args, consumed, "Welcome...", ShowMessagePage);
}

int CmdAgreement(InstallScript *script, char *args, int32_t *consumed) {
  return PageCommand(script, args, consumed, "End User Agreement...", ShowAgreementPage);
}

int CmdNotepad(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  char line[PAGE_NAME_SIZE];
  char path[PAGE_NAME_SIZE];
  *consumed = ArgCopy(args, line, PAGE_NAME_SIZE);
  StrCopyN(path, script->installPath, PAGE_NAME_SIZE);
  StrAppendN(path, line, PAGE_NAME_SIZE);
  return ViewTextFile(path);
}

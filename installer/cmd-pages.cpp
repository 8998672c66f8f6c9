// The page commands: MESSAGE and AGREEMENT show a text from the archive,
// NOTEPAD opens an installed file in the system's editor.
#include "args.h"
#include "command.h"
#include "handler-check.h"
#include "interact.h"
#include "vantor-core.h"
#include "vantor-str.h"

// The page's caption is the one-shot prompt, else the page's own default;
// the prompt is used up whatever the page's outcome.
static int PageCommand(InstallScript *script, char *args, int32_t *consumed, const char *fallback, int page) {
  HANDLER_CHECK(script, args, consumed);
  char name[VANTOR_PATH_SIZE];
  *consumed = ArgCopy(args, name, VANTOR_PATH_SIZE);
  int result = Interact()->page(script, page, script->prompt[0] != 0 ? script->prompt : fallback, name);
  script->prompt[0] = 0;
  return result;
}

int CmdMessage(InstallScript *script, char *args, int32_t *consumed) {
  return PageCommand(script, args, consumed, "Welcome...", INTERACT_PAGE_MESSAGE);
}

int CmdAgreement(InstallScript *script, char *args, int32_t *consumed) {
  return PageCommand(script, args, consumed, "End User Agreement...", INTERACT_PAGE_AGREEMENT);
}

int CmdNotepad(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  char line[VANTOR_PATH_SIZE];
  char path[VANTOR_PATH_SIZE];
  *consumed = ArgCopy(args, line, VANTOR_PATH_SIZE);
  StrCopyN(path, script->installPath, VANTOR_PATH_SIZE);
  StrAppendN(path, line, VANTOR_PATH_SIZE);
  return Interact()->openInEditor(path);
}

// The page commands: MESSAGE and AGREEMENT show a text from the archive,
// NOTEPAD opens an installed file in the system's editor.
#include "args.h"
#include "command.h"
#include "handler-check.h"
#include "pages.h"
#include "unattended.h"
#include "vantor-core.h"
#include "vantor-str.h"

typedef int (*PageShow)(void *owner, const char *caption, const char *entryName);

// The page's caption is the one-shot prompt, else the page's own default;
// the prompt is used up whatever the page's outcome. Unattended, the page is
// not shown and the decision is logged instead.
static int PageCommand(InstallScript *script, char *args, int32_t *consumed, const char *fallback, PageShow show,
                       const char *decision) {
  HANDLER_CHECK(script, args, consumed);
  char name[VANTOR_PATH_SIZE];
  *consumed = ArgCopy(args, name, VANTOR_PATH_SIZE);
  int result = 1;
  if (UnattendedMode())
    UnattendedDecision(decision, name);
  else
    result = show(script->window, script->prompt[0] != 0 ? script->prompt : fallback, name);
  script->prompt[0] = 0;
  return result;
}

int CmdMessage(InstallScript *script, char *args, int32_t *consumed) {
  return PageCommand(script, args, consumed, "Welcome...", ShowMessagePage, "message '%s' continued");
}

int CmdAgreement(InstallScript *script, char *args, int32_t *consumed) {
  return PageCommand(script, args, consumed, "End User Agreement...", ShowAgreementPage,
                     "agreement '%s' accepted");
}

int CmdNotepad(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  char line[VANTOR_PATH_SIZE];
  char path[VANTOR_PATH_SIZE];
  *consumed = ArgCopy(args, line, VANTOR_PATH_SIZE);
  StrCopyN(path, script->installPath, VANTOR_PATH_SIZE);
  StrAppendN(path, line, VANTOR_PATH_SIZE);
  if (UnattendedMode()) {
    UnattendedDecision("'%s' not opened in the editor", path);
    return 1;
  }
  return ViewTextFile(path);
}

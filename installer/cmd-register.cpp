// REGISTER: asks whether to register electronically and, on Yes, runs the
// registration form and its mail (register.cpp, regmail.cpp).
#include <string.h>

#include "args.h"
#include "command.h"
#include "handler-check.h"
#include "process-sys.h"
#include "register.h"
#include "unattended.h"
#include "vantor-str.h"

int CmdRegister(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  char address[REGISTRATION_ADDRESS_SIZE];
  *consumed = ArgCopy(args, address, sizeof address);
  if (UnattendedMode()) {
    UnattendedDecision("registration declined");
  } else if (SysMessageBox(script->window, "Would you like to register electronically?", "Registration...",
                           SYS_MB_YESNO | SYS_MB_ICONQUESTION) == SYS_IDYES) {
    if (script->prompt[0] == 0) StrCopyN(script->prompt, REGISTRATION_DEFAULT_TAG, SCRIPT_FIELD_SIZE);
    RegistrationRun(script->window, address, script);
  }
  memset(script->prompt, 0, sizeof script->prompt);
  return 1;
}

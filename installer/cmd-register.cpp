// REGISTER: asks whether to register electronically and, on Yes, runs the
// registration form and its mail (register.cpp, regmail.cpp).
#include <string.h>

#include "args.h"
#include "command.h"
#include "handler-check.h"
#include "register.h"
#include "interact.h"
#include "vantor-str.h"

int CmdRegister(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  char address[REGISTRATION_ADDRESS_SIZE];
  *consumed = ArgCopy(args, address, sizeof address);
  Interact()->registration(script, address);
  memset(script->prompt, 0, sizeof script->prompt);
  return 1;
}

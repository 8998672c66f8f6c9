// The installation settings: the product's registry key and the space it
// needs.
#include "args.h"
#include "command.h"
#include "handler-check.h"

int CmdRegistryPath(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  *consumed = ArgCopy(args, script->registryPath, SCRIPT_FIELD_SIZE);
  return 1;
}

int CmdInstallSize(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  char text[SCRIPT_FIELD_SIZE];
  *consumed = ArgCopy(args, text, SCRIPT_FIELD_SIZE);
  script->installSize = ArgInteger(text);
  return 1;
}

// The installation settings: the product's registry key, the space it
// needs, the scope of the installation and what identifies the product in
// Add/Remove Programs.
#include <stddef.h>

#include "args.h"
#include "command.h"
#include "handler-check.h"
#include "vantor-str.h"

// Copies the argument into the text field at offset of the record.
static int Field(InstallScript *script, char *args, int32_t *consumed, size_t offset) {
  HANDLER_CHECK(script, args, consumed);
  *consumed = ArgCopy(args, (char *)script + offset, SCRIPT_FIELD_SIZE);
  return 1;
}

int CmdRegistryPath(InstallScript *script, char *args, int32_t *consumed) {
  return Field(script, args, consumed, offsetof(InstallScript, registryPath));
}

int CmdInstallSize(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  char text[SCRIPT_FIELD_SIZE];
  *consumed = ArgCopy(args, text, SCRIPT_FIELD_SIZE);
  script->installSize = ArgInteger(text);
  return 1;
}

int CmdInstallScope(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  char text[SCRIPT_FIELD_SIZE];
  *consumed = ArgCopy(args, text, SCRIPT_FIELD_SIZE);
  script->scope = StrEqualNoCase(text, "user") ? SCRIPT_SCOPE_USER : SCRIPT_SCOPE_MACHINE;
  return 1;
}

int CmdFilesInUse(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  char text[SCRIPT_FIELD_SIZE];
  *consumed = ArgCopy(args, text, SCRIPT_FIELD_SIZE);
  script->inUse = StrEqualNoCase(text, "restart") ? SCRIPT_IN_USE_RESTART : SCRIPT_IN_USE_FAIL;
  return 1;
}

int CmdProductId(InstallScript *script, char *args, int32_t *consumed) {
  return Field(script, args, consumed, offsetof(InstallScript, productId));
}

int CmdProductVersion(InstallScript *script, char *args, int32_t *consumed) {
  return Field(script, args, consumed, offsetof(InstallScript, productVersion));
}

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

// Sets the number at offset of the record to 1 when the argument is word
// (in any case), else to 0.
static int Either(InstallScript *script, char *args, int32_t *consumed, const char *word, size_t offset) {
  HANDLER_CHECK(script, args, consumed);
  char text[SCRIPT_FIELD_SIZE];
  *consumed = ArgCopy(args, text, SCRIPT_FIELD_SIZE);
  *(int32_t *)((char *)script + offset) = StrEqualNoCase(text, word);
  return 1;
}

int CmdInstallScope(InstallScript *script, char *args, int32_t *consumed) {
  return Either(script, args, consumed, "user", offsetof(InstallScript, scope));  // SCRIPT_SCOPE_USER
}

int CmdFilesInUse(InstallScript *script, char *args, int32_t *consumed) {
  return Either(script, args, consumed, "restart", offsetof(InstallScript, inUse));  // SCRIPT_IN_USE_RESTART
}

int CmdProductId(InstallScript *script, char *args, int32_t *consumed) {
  return Field(script, args, consumed, offsetof(InstallScript, productId));
}

int CmdProductVersion(InstallScript *script, char *args, int32_t *consumed) {
  return Field(script, args, consumed, offsetof(InstallScript, productVersion));
}

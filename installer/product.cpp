#include "product.h"

#include "args.h"
#include "command.h"
#include "exit-codes.h"
#include "interact.h"
#include "process-sys.h"
#include "script-run.h"
#include "vantor-core.h"
#include "vantor-str.h"

static int locked;

static int EntryName(const char *id, const char *registryPath, const char *productName, char *out, int size) {
  const char *name = id;
  if (name[0] == 0) {
    name = registryPath;
    if (StrEqualNNoCase(name, "Software\\", 9)) name += 9;
  }
  if (name[0] == 0) name = productName;
  if (!StrCopyN(out, name, size)) return 0;
  for (char *c = out; *c != 0; c++)
    if (*c == '\\') *c = ' ';
  return 1;
}

int ProductEntryName(const InstallScript *script, char *out, int size) {
  return EntryName(script->productId, script->registryPath, script->productName, out, size);
}

// The first argument of the script's first command of handler into field
// (SCRIPT_FIELD_SIZE bytes); "" when there is none.
static void Given(const InstallScript *script, CommandHandler handler, char *field) {
  const char *args = ScriptFindCommand(script, handler);
  field[0] = 0;
  if (args != NULL) ArgCopy(args, field, SCRIPT_FIELD_SIZE);
}

void ProductLockReset(void) { locked = 0; }

int ProductLockTake(InstallScript *script) {
  char id[SCRIPT_FIELD_SIZE], path[SCRIPT_FIELD_SIZE], product[SCRIPT_FIELD_SIZE];
  char name[SCRIPT_FIELD_SIZE], lock[SCRIPT_FIELD_SIZE + 32];
  if (locked) return 1;
  Given(script, CmdProductId, id);
  Given(script, CmdRegistryPath, path);
  Given(script, CmdProductName, product);
  if (!EntryName(id, path, product, name, (int)sizeof name) || name[0] == 0) return 1;
  VantorFormat(lock, (int)sizeof lock, "%s%s", PRODUCT_LOCK_PREFIX, name);
  int taken = SysLockTake(lock);
  if (taken != 0) {
    if (taken < 0) DebugPrintf("Unable to make the lock '%s'\n", lock);
    locked = 1;
    return 1;
  }
  DebugPrintf("Another installer holds the lock '%s'\n", lock);
  char text[SCRIPT_FIELD_SIZE + 120];
  VantorFormat(text, (int)sizeof text, ANOTHER_RUNNING_TEXT, product[0] != 0 ? product : name);
  Interact()->box(script->window, text, PROBLEM_CAPTION, SYS_MB_OK | SYS_MB_ICONSTOP, SYS_IDOK);
  script->failure = EXIT_ANOTHER_RUNNING;
  return 0;
}

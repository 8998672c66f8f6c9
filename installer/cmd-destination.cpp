// The destination commands: INSTALL DIR and INSTALL DIR ALT set the
// directory names proposed below the destination, INSTALL PATH asks for the
// destination in dialog 1001 (pathdialog.cpp).
#include "args.h"
#include "command.h"
#include "handler-check.h"
#include "pathdialog.h"
#include "interact.h"
#include "vantor-core.h"
#include "vantor-str.h"
#include "winhelpr.h"

#define DEFAULT_PROMPT "Please select the destination directory..."
#define PROGRAM_FILES "Program Files\\"
#define DRIVE_ROOT_LENGTH 3  // "C:\"

// Copies the line into a directory-name field and makes it end with a
// backslash (an empty line gives a single backslash).
static int DirectoryName(char *field, char *args, int32_t *consumed) {
  *consumed = ArgCopy(args, field, SCRIPT_FIELD_SIZE - 1);
  int length = StrLength(field);
  if (length == 0 || field[length - 1] != '\\') StrAppendN(field, "\\", SCRIPT_FIELD_SIZE);
  return 1;
}

int CmdInstallDir(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  return DirectoryName(script->installDir, args, consumed);
}

int CmdInstallDirAlt(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  return DirectoryName(script->installDirAlt, args, consumed);
}

int CmdInstallPath(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  *consumed = ArgCopy(args, script->prompt, SCRIPT_FIELD_SIZE);
  if (StrLength(script->prompt) < 4) StrCopyN(script->prompt, DEFAULT_PROMPT, SCRIPT_FIELD_SIZE);
  // The default: the person's own program folder for a user install, else
  // "Program Files\" on the drive of the system directory.
  char system[PATH_PROPOSAL_SIZE];
  if (script->scope == SCRIPT_SCOPE_USER && QueryUserProgramsDir(script->installPath, INSTALL_PATH_SIZE)) {
    DebugPrintf("Proposing the user's program folder '%s'\n", script->installPath);
  } else {
    QuerySystemDir(system, PATH_PROPOSAL_SIZE);
    if (StrLength(system) > DRIVE_ROOT_LENGTH) system[DRIVE_ROOT_LENGTH] = 0;
    VantorFormat(script->installPath, INSTALL_PATH_SIZE, "%s%s", system, PROGRAM_FILES);
  }
  int result = Interact()->destination(script);
  script->prompt[0] = 0;
  return result;
}

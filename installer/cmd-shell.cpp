// The shell commands of the script: CREATE GROUP and ADD ITEM, which send
// Program Manager its execute commands, and OLE, which runs an installed
// library's self-registration.
#include "args.h"
#include "command.h"
#include "handler-check.h"
#include "install.h"
#include "shell.h"
#include "vantor-core.h"
#include "vantor-str.h"

#define GROUP_COMMAND_SIZE 160  // "[CreateGroup(\"...\")]": a group name of 142
#define ITEM_COMMAND_SIZE 320   // "[AddItem(\"...\",\"...\")]"
#define OLE_MODE_SIZE 40
#define OLE_PATH_SIZE 772

// Values go into Program Manager's commands exactly as the script gives them;
// a command that would not fit its buffer is refused rather than sent cut
// short, since a cut command is malformed or names another program.
// length is what the full command needs, size the buffer it was built in.
static int SendToProgMan(const char *command, int length, int size) {
  if (length >= size) {
    DebugPrintf("Command too long for Program Manager (%d > %d) '%s'\n", length, size - 1, command);
    return 0;
  }
  if (!ProgManExecute(command)) {
    DebugPrintf("Unable to execute '%s'\n", command);
    return 0;
  }
  return 1;
}

// Reads a command's two values; returns the consumed count, which reaches
// the end of the second value: that value follows a 0x16 separator, and the
// run loop must resume behind it, not take it for a command.
static int32_t ReadTwoValues(const char *args, char *first, int firstSize, char *second, int secondSize) {
  ArgReader reader;
  ArgBegin(&reader, args);
  ArgNext(&reader, first, firstSize);
  ArgNext(&reader, second, secondSize);
  return ArgConsumed(&reader);
}

int CmdCreateGroup(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  char name[SCRIPT_FIELD_SIZE];
  int32_t length = ArgCopy(args, name, sizeof name);
  char command[GROUP_COMMAND_SIZE];
  int needed = VantorFormat(command, sizeof command, "[CreateGroup(\"%s\")]", name);
  if (!SendToProgMan(command, needed, sizeof command)) return 0;
  *consumed = length;
  return 1;
}

int CmdAddItem(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  char program[SCRIPT_FIELD_SIZE], caption[SCRIPT_FIELD_SIZE];
  *consumed = ReadTwoValues(args, program, sizeof program, caption, sizeof caption);
  char command[ITEM_COMMAND_SIZE];
  int needed = VantorFormat(command, sizeof command, "[AddItem(\"%s%s\",\"%s\")]", script->installPath, program,
                            caption);
  if (!SendToProgMan(command, needed, sizeof command)) return 0;
  if (script->window != NULL) ShellBringToTop(script->window);
  return 1;
}

int CmdOle(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  char mode[OLE_MODE_SIZE], path[OLE_PATH_SIZE];
  StrCopyN(path, script->installPath, SCRIPT_FIELD_SIZE);
  int prefix = StrLength(path);
  *consumed = ReadTwoValues(args, mode, sizeof mode, path + prefix, sizeof path - prefix);
  // Only the registration's own log lines tell how it went: the script goes on.
  RegisterServer(path, StrEqualNoCase(mode, "REGISTER") ? 1 : 0);
  return 1;
}

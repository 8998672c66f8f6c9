// The shell commands of the script: CREATE GROUP and ADD ITEM, which the
// interaction seam makes (Program Manager's group and items, or folders and
// shortcuts), and OLE, which runs an installed library's self-registration.
#include "args.h"
#include "command.h"
#include "handler-check.h"
#include "journal.h"
#include "shell-sys.h"
#include "shell.h"
#include "target-sys.h"
#include "interact.h"
#include "uninstall.h"
#include "vantor-core.h"
#include "vantor-str.h"

// Reads a command's two values; returns the consumed count, which reaches
// the end of the second value: that value follows a 0x16 separator, and the
// run loop must resume behind it, not take it for a command. *cut is 1 when
// a value was longer than its buffer and so was cut.
static int32_t ReadTwoValues(const InstallScript *script, const char *args, char *first, int firstSize,
                             char *second, int secondSize, int *cut) {
  ArgReader reader;
  ArgBeginScript(&reader, script, args);
  *cut = ArgNext(&reader, first, firstSize) >= firstSize;
  if (ArgNext(&reader, second, secondSize) >= secondSize) *cut = 1;
  return ArgConsumed(&reader);
}

int CmdCreateGroup(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  char name[SCRIPT_FIELD_SIZE];
  int32_t length = ArgCopy(args, name, sizeof name);
  if (!Interact()->makeGroup(name)) return 0;
  StrCopy(script->group, name);
  *consumed = length;
  return 1;
}

// Splits the ADD ITEM value in place into its program and its arguments:
// the program runs to the first blank or, written in double quotes, to the
// closing quote; the arguments are what follows, without the blanks before.
static const char *SplitItem(char *value) {
  char *program = value, *end;
  if (*value == '"') {
    program = value + 1;
    for (end = program; *end && *end != '"'; end++) {}
  } else {
    for (end = value; *end && *end != ' '; end++) {}
  }
  char *arguments = end;
  if (*arguments) *arguments++ = 0;
  while (*arguments == ' ') arguments++;
  if (program != value) StrCopy(value, program);
  return arguments;
}

int ItemLinkMake(const char *folder, const InstallScript *script, const char *program, const char *arguments,
                 const char *caption, char *link, int size) {
  ASSERT(folder != NULL && script != NULL && program != NULL && arguments != NULL && caption != NULL,
         POINTER_IS_NULL);
  char target[VANTOR_PATH_SIZE];
  if (VantorFormat(link, size, "%s\\%s.lnk", folder, caption) >= size ||
      VantorFormat(target, (int)sizeof target, "%s%s", script->installPath, program) >= (int)sizeof target ||
      !JournalNew(JOURNAL_TAG_FILE, link) || !ShellSaveLink(link, target, arguments, caption)) {
    DebugPrintf("Unable to add item '%s'\n", caption);
    return 0;
  }
  UninstallNote(UNINSTALL_TAG_FILE, link, NULL);
  return 1;
}

int CmdAddItem(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  char program[SCRIPT_FIELD_SIZE], caption[SCRIPT_FIELD_SIZE];
  int cut;
  *consumed = ReadTwoValues(script, args, program, sizeof program, caption, sizeof caption, &cut);
  if (cut) {  // a cut path names another program
    DebugPrintf("Item value too long for Program Manager (> %d) '%s'\n", SCRIPT_FIELD_SIZE - 1, program);
    return 0;
  }
  const char *arguments = SplitItem(program);
  return Interact()->makeItem(script, script->group, program, arguments, caption);
}

int CmdOle(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  char mode[SCRIPT_OLE_MODE_SIZE], path[VANTOR_PATH_SIZE];
  StrCopyN(path, script->installPath, INSTALL_PATH_SIZE);
  int prefix = StrLength(path);
  int cut;
  *consumed = ReadTwoValues(script, args, mode, sizeof mode, path + prefix, sizeof path - prefix, &cut);
  // Only the registration's own log lines tell how it went: the script goes on.
  int doRegister = StrEqualNoCase(mode, "REGISTER") ? 1 : 0;
  if (doRegister && !JournalNote(JOURNAL_TAG_LIBRARY, path, NULL)) return 1;
  if (OleSelfRegister(path, doRegister) && doRegister) UninstallNote(UNINSTALL_TAG_LIBRARY, path, NULL);
  return 1;
}

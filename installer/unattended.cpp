// Unattended installs: the switches, the exit code, boxes kept away and the
// destination taken without its dialog.
#include "unattended.h"

#include <stdarg.h>
#include <string.h>

#include "mainwindow.h"
#include "pathdialog.h"
#include "shell.h"
#include "shell-sys.h"
#include "target-sys.h"
#include "uninstall.h"
#include "process-sys.h"
#include "vantor-core.h"
#include "vantor-str.h"

#define DIR_SWITCH "-dir="
#define DAMAGED_TEXT "The installation file has been damaged, please download a new copy."

static int mode;
static int exitCode;
static int haveDir;
static int dirAsked;  // a destination proposal has read the "-dir=" path
static char dir[UNATTENDED_DIR_SIZE];
static char group[UNATTENDED_DIR_SIZE];  // the folder of the group made last

// The text behind "-dir=": trailing blanks and control characters dropped,
// then one double quote at each end.
static void TakeDir(const char *text) {
  StrCopyN(dir, text, UNATTENDED_DIR_SIZE);
  int length = StrLength(dir);
  while (length > 0 && (unsigned char)dir[length - 1] <= ' ') dir[--length] = 0;
  if (length > 0 && dir[length - 1] == '"') dir[--length] = 0;
  if (dir[0] == '"') memmove(dir, dir + 1, (size_t)length);
}

// The words of the argument text are the runs of characters between blanks
// and control characters.
static int Blank(char c) { return c != 0 && (unsigned char)c <= ' '; }

// What follows name in the word at word when the word begins with it (one
// double quote before it dropped); with whole, only when the word is name
// (one double quote behind it dropped). Else NULL.
static const char *WordMatch(const char *word, const char *name, int whole) {
  if (*word == '"') word++;
  while (*name != 0)
    if (*word++ != *name++) return NULL;
  if (!whole) return word;
  if (*word == '"') word++;
  return *word == 0 || Blank(*word) ? word : NULL;
}

// The first word matching name (WordMatch); with whole, only among the
// words before the first that begins with a switch taking the rest of the
// text.
static const char *FindSwitch(const char *args, const char *name, int whole) {
  for (const char *word = args; *word != 0; word++) {
    if ((word != args && !Blank(word[-1])) || Blank(*word)) continue;
    if (whole && (WordMatch(word, DIR_SWITCH, 0) || WordMatch(word, UNINSTALL_FROM_SWITCH, 0) ||
                  WordMatch(word, UNINSTALL_END_SWITCH, 0)))
      return NULL;
    const char *rest = WordMatch(word, name, whole);
    if (rest != NULL) return rest;
  }
  return NULL;
}

int SwitchGiven(const char *args, const char *name) { return FindSwitch(args, name, 1) != NULL; }
const char *SwitchTail(const char *args, const char *name) { return FindSwitch(args, name, 0); }

int UnattendedParse(const char *args) {
  ASSERT(args != NULL, "Pointer is NULL\n");
  mode = UNATTENDED_OFF;
  exitCode = EXIT_INSTALLED;
  if (SwitchGiven(args, "-passive")) mode = UNATTENDED_PASSIVE;
  if (SwitchGiven(args, "-silent")) mode = UNATTENDED_SILENT;
  const char *found = SwitchTail(args, DIR_SWITCH);
  haveDir = found != NULL;
  dirAsked = 0;
  dir[0] = 0;
  group[0] = 0;
  if (haveDir) TakeDir(found);
  DebugSetAbortBox(mode == UNATTENDED_OFF);
  return 1;
}

int UnattendedMode(void) { return mode; }
const char *UnattendedDir(void) {
  dirAsked = 1;
  return haveDir ? dir : NULL;
}

void UnattendedInstallBegins(const InstallScript *script) {
  ASSERT(script != NULL, "Pointer is NULL\n");
  if (haveDir && !dirAsked)
    DebugPrintf("-dir= not used: the script has no INSTALL PATH; the files go to '%s'\n", script->installPath);
  dirAsked = 1;
}

void UnattendedFail(int code) {
  if (exitCode == EXIT_INSTALLED) exitCode = code;
}

void UnattendedRetry(void) { exitCode = EXIT_INSTALLED; }

int UnattendedExitCode(void) { return exitCode; }

int UnattendedBox(void *owner, const char *text, const char *caption, uint32_t style, int answer) {
  if (mode == UNATTENDED_OFF) return SysMessageBox(owner, text, caption, style);
  DebugPrintf("Unattended: no box '%s': %s\n", caption, text);
  return answer;
}

void UnattendedDecision(const char *format, ...) {
  if (DebugFlags() == 0) return;
  char line[DEBUG_LINE_SIZE];
  va_list args;
  va_start(args, format);
  VantorVFormat(line, (int)sizeof line, format, args);
  va_end(args);
  DebugPrintf("Unattended: %s\n", line);
}

int UnattendedRunEnds(const InstallScript *script, int result) {
  ASSERT(script != NULL, "Pointer is NULL\n");
  if (!result) {
    char caption[MAIN_TITLE_SIZE];
    MainWindowAbortCaption(script, caption, (int)sizeof caption);
    UnattendedBox(NULL, ABORT_QUESTION, caption, SYS_MB_YESNO | SYS_MB_ICONQUESTION, SYS_IDYES);
    UnattendedFail(EXIT_COMMAND_FAILED);
    return 1;
  }
  if (script->cursor < script->text + script->textLength) {
    UnattendedDecision("the script paused at a BREAK, the installation ends");
    return 1;
  }
  return 0;
}

int UnattendedDestination(InstallScript *script) {
  ASSERT(script != NULL, "Pointer is NULL\n");
  char directory[UNATTENDED_DIR_SIZE];
  PathProposal(script, directory, (int)sizeof directory);
  const char *refusal = PathRefusal(script, directory, (int)sizeof directory);
  if (refusal != NULL) {
    UnattendedDecision("destination '%s' refused: %s", directory, refusal);
    UnattendedFail(EXIT_DESTINATION);
    return 0;
  }
  StrCopyN(script->installPath, directory, SCRIPT_FIELD_SIZE);
  UnattendedDecision("destination '%s'", script->installPath);
  return 1;
}

int UnattendedCreateGroup(const char *name) {
  ASSERT(name != NULL, "Pointer is NULL\n");
  char folder[UNATTENDED_DIR_SIZE];
  int existed = 0;
  if (!ShellProgramsFolder(folder, (int)sizeof folder) ||
      VantorFormat(group, (int)sizeof group, "%s\\%s", folder, name) >= (int)sizeof group ||
      ((existed = TargetSysDirExists(group)), !ShellMakeFolder(group))) {
    DebugPrintf("Unable to create group '%s'\n", name);
    group[0] = 0;
    return 0;
  }
  if (!existed) UninstallNote(UNINSTALL_TAG_DIR, group, NULL);
  UnattendedDecision("group '%s' made without Program Manager", group);
  return 1;
}

int UnattendedAddItem(const InstallScript *script, const char *program, const char *arguments, const char *caption) {
  ASSERT(script != NULL && program != NULL && arguments != NULL && caption != NULL, "Pointer is NULL\n");
  char link[UNATTENDED_DIR_SIZE];
  if (group[0] == 0) {
    DebugPrintf("Unable to add item '%s'\n", caption);
    return 0;
  }
  if (!ItemLinkMake(group, script, program, arguments, caption, link, (int)sizeof link)) return 0;
  UnattendedDecision("item '%s' made without Program Manager", link);
  return 1;
}

void ReportDamagedInstaller(void) {
  UnattendedBox(NULL, DAMAGED_TEXT, PROBLEM_CAPTION, SYS_MB_OK, SYS_IDOK);
  UnattendedFail(EXIT_DAMAGED);
}

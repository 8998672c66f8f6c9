// The unattended side of the interaction seam: the answer each question
// gets from an absent person, in the log, and the Start Menu's group and
// items made as folders and shortcuts, without Program Manager, which would
// open a window for the group.
#include "interact.h"

#include "switches.h"

#include <stdarg.h>

#include "exit-codes.h"
#include "script.h"
#include "journal.h"
#include "mainwindow.h"
#include "pathdialog.h"
#include "process-sys.h"
#include "shell-sys.h"
#include "shell.h"
#include "target-sys.h"
#include "uninstall.h"
#include "vantor-core.h"
#include "vantor-str.h"

// Room for a folder of the Start Menu.
#define FOLDER_SIZE DIR_SWITCH_SIZE

void UnattendedDecision(const char *format, ...) {
  if (DebugFlags() == 0) return;
  char line[DEBUG_LINE_SIZE];
  va_list args;
  va_start(args, format);
  VantorVFormat(line, (int)sizeof line, format, args);
  va_end(args);
  DebugPrintf("Unattended: %s\n", line);
}

static int Box(void *owner, const char *text, const char *caption, uint32_t style, int answer) {
  (void)owner;
  (void)style;
  DebugPrintf("Unattended: no box '%s': %s\n", caption, text);
  return answer;
}

static int Page(InstallScript *script, int page, const char *caption, const char *entryName) {
  (void)script;
  (void)caption;
  UnattendedDecision(page == INTERACT_PAGE_AGREEMENT ? "agreement '%s' accepted" : "message '%s' continued",
                     entryName);
  return 1;
}

// The "-dir=" path, or else what the dialog would propose, through the
// dialog's checks.
static int Destination(InstallScript *script) {
  char directory[DIR_SWITCH_SIZE];
  PathProposal(script, directory, (int)sizeof directory);
  const char *refusal = PathRefusal(script, directory, (int)sizeof directory);
  if (refusal != NULL) {
    UnattendedDecision("destination '%s' refused: %s", directory, refusal);
    script->failure = EXIT_DESTINATION;
    return 0;
  }
  StrCopyN(script->installPath, directory, INSTALL_PATH_SIZE);
  UnattendedDecision("destination '%s'", script->installPath);
  return 1;
}

static int OpenInEditor(const char *path) {
  UnattendedDecision("'%s' not opened in the editor", path);
  return 1;
}

static int MakeGroup(const char *name) {
  char folder[FOLDER_SIZE];
  int existed = 0;
  if (!ShellGroupFolder(name, folder, (int)sizeof folder) ||
      ((existed = TargetSysDirExists(folder)), !existed && !JournalNote(JOURNAL_TAG_DIR, folder, NULL)) ||
      !ShellMakeFolder(folder)) {
    DebugPrintf("Unable to create group '%s'\n", name);
    return 0;
  }
  if (!existed) UninstallNote(UNINSTALL_TAG_DIR, folder, NULL);
  UnattendedDecision("group '%s' made without Program Manager", folder);
  return 1;
}

// An item is a shortcut "CAPTION.lnk" in the group's folder.
static int MakeItem(const InstallScript *script, const char *group, const char *program, const char *arguments,
                    const char *caption) {
  char folder[FOLDER_SIZE], link[FOLDER_SIZE];
  if (group[0] == 0 || !ShellGroupFolder(group, folder, (int)sizeof folder)) {
    DebugPrintf("Unable to add item '%s'\n", caption);
    return 0;
  }
  if (!ItemLinkMake(folder, script, program, arguments, caption, link, (int)sizeof link)) return 0;
  UnattendedDecision("item '%s' made without Program Manager", link);
  return 1;
}

static void Registration(InstallScript *script, const char *address) {
  (void)script;
  (void)address;
  UnattendedDecision("registration declined");
}

// Nobody answers the abort question: it is logged as answered Yes.
static int AbortAfterFailure(const InstallScript *script, void *owner) {
  (void)owner;
  char caption[MAIN_TITLE_SIZE];
  MainWindowAbortCaption(script, caption, (int)sizeof caption);
  Box(NULL, ABORT_QUESTION, caption, SYS_MB_YESNO | SYS_MB_ICONQUESTION, SYS_IDYES);
  return 1;
}

// Nobody closes a paused window.
static int EndAtBreak(void) {
  UnattendedDecision("the script paused at a BREAK, the installation ends");
  return 1;
}

const Interaction InteractUnattended = {Box,      Page,         Destination,       OpenInEditor, MakeGroup,
                                        MakeItem, Registration, AbortAfterFailure, EndAtBreak};

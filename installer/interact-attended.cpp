// The attended side of the interaction seam: the pages, the destination
// dialog, the boxes and the editor the person sees, and the Start Menu's
// group and items sent to Program Manager.
#include "interact.h"

#include "exit-codes.h"
#include "journal.h"
#include "script.h"
#include "mainwindow.h"
#include "pages.h"
#include "pathdialog.h"
#include "process-sys.h"
#include "registration.h"
#include "shell-sys.h"
#include "shell.h"
#include "uninstall.h"
#include "vantor-core.h"
#include "vantor-str.h"

#define ITEM_COMMAND_SIZE 320   // "[AddItem(\"...\",\"...\")]"

static int Box(void *owner, const char *text, const char *caption, uint32_t style, int answer) {
  (void)answer;
  return SysMessageBox(owner, text, caption, style);
}

static int Page(InstallScript *script, int page, const char *caption, const char *entryName) {
  int answer = page == INTERACT_PAGE_AGREEMENT ? ShowAgreementPage(script->window, caption, entryName)
                                               : ShowMessagePage(script->window, caption, entryName);
  if (answer == 0) script->failure = EXIT_CANCELLED;  // declined by the person
  return answer == 1;
}

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

// The folder or shortcut file Program Manager is about to make for a group
// or item, in the journal unless it is there: 0 when the journal refused it.
static int JournalMade(const char *group, const char *caption) {
  char folder[VANTOR_PATH_SIZE], path[VANTOR_PATH_SIZE];
  if (group[0] == 0 || !ShellGroupFolder(group, folder, (int)sizeof folder)) return 1;
  if (caption == NULL) return JournalNew(JOURNAL_TAG_DIR, folder);
  return VantorFormat(path, (int)sizeof path, "%s\\%s.lnk", folder, caption) >= (int)sizeof path ||
         JournalNew(JOURNAL_TAG_FILE, path);
}

static int MakeGroup(const char *name) {
  char command[SCRIPT_GROUP_COMMAND_SIZE];
  int needed = VantorFormat(command, sizeof command, SCRIPT_GROUP_COMMAND, name);
  if (!JournalMade(name, NULL) || !SendToProgMan(command, needed, sizeof command)) return 0;
  UninstallNote(UNINSTALL_TAG_GROUP, name, NULL);
  return 1;
}

static int MakeItem(const InstallScript *script, const char *group, const char *program, const char *arguments,
                    const char *caption) {
  if (arguments[0] != 0) {
    // Program Manager's items take a program alone: an item with arguments
    // is a shortcut made directly in the group's folder.
    char folder[VANTOR_PATH_SIZE], link[VANTOR_PATH_SIZE];
    int length = ShellProgramsFolder(folder, (int)sizeof folder) ? StrLength(folder) : -1;
    if (length < 0 ||
        (group[0] != 0 &&
         VantorFormat(folder + length, (int)sizeof folder - length, "\\%s", group) >= (int)sizeof folder - length) ||
        !ShellMakeFolder(folder)) {
      DebugPrintf("Unable to add item '%s'\n", caption);
      return 0;
    }
    if (!ItemLinkMake(folder, script, program, arguments, caption, link, (int)sizeof link)) return 0;
    if (script->window != NULL) ShellBringToTop(script->window);
    return 1;
  }
  char command[ITEM_COMMAND_SIZE];
  int needed = VantorFormat(command, sizeof command, "[AddItem(\"%s%s\",\"%s\")]", script->installPath, program,
                            caption);
  if (!JournalMade(group, caption) || !SendToProgMan(command, needed, sizeof command)) return 0;
  UninstallNote(UNINSTALL_TAG_ITEM, group, caption);
  if (script->window != NULL) ShellBringToTop(script->window);
  return 1;
}

static void Registration(InstallScript *script, const char *address) {
  if (SysMessageBox(script->window, "Would you like to register electronically?", "Registration...",
                    SYS_MB_YESNO | SYS_MB_ICONQUESTION) != SYS_IDYES)
    return;
  if (script->prompt[0] == 0) StrCopyN(script->prompt, REGISTRATION_DEFAULT_TAG, SCRIPT_FIELD_SIZE);
  RegistrationRun(script->window, address, script);
}

// Any answer but No ends the installation.
static int AbortAfterFailure(const InstallScript *script, void *owner) {
  char caption[MAIN_TITLE_SIZE];
  MainWindowAbortCaption(script, caption, (int)sizeof caption);
  return SysMessageBox(owner, ABORT_QUESTION, caption, SYS_MB_YESNO | SYS_MB_ICONQUESTION) != SYS_IDNO;
}

// The window waits until the person closes it.
static int EndAtBreak(void) { return 0; }

const Interaction InteractAttended = {Box,      Page,         PathDialogRun,     ViewTextFile, MakeGroup,
                                      MakeItem, Registration, AbortAfterFailure, EndAtBreak};

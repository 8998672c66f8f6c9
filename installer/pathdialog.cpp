// The destination directory: its name and alternative name, and the dialog
// that proposes a directory, browses for one and confirms it.
#include "pathdialog.h"

#include "args.h"
#include "command.h"
#include "dialog.h"
#include "handler-check.h"
#include "registry.h"
#include "resources/resource-ids.h"
#include "sys.h"
#include "vantor-core.h"
#include "vantor-str.h"
#include "winhelpr.h"

#define PROPOSAL_SIZE (PATH_EDIT_LIMIT + 1)
#define QUESTION_SIZE 512
#define DEFAULT_PROMPT "Please select the destination directory..."
#define PROGRAM_FILES "Program Files\\"
#define DRIVE_ROOT_LENGTH 3  // "C:\"

// The record of the dialog that is open.
static InstallScript *pathScript;

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
  // The default: "Program Files\" on the drive of the system directory.
  char system[PROPOSAL_SIZE];
  QuerySystemDir(system, PROPOSAL_SIZE);
  if (StrLength(system) > DRIVE_ROOT_LENGTH) system[DRIVE_ROOT_LENGTH] = 0;
  VantorFormat(script->installPath, SCRIPT_FIELD_SIZE, "%s%s", system, PROGRAM_FILES);
  int result = PathDialogRun(script);
  script->prompt[0] = 0;
  return result;
}

int PathDialogRun(InstallScript *script) {
  ASSERT(script != NULL, "Pointer is NULL\n");
  intptr_t result = DialogRun(IDD_PATH, script->window, PathDialogProc, (intptr_t)script);
  if (result < 0) {
    DebugPrintf("Unable to create dialog %d\n", IDD_PATH);
    return 0;
  }
  return result == 1;
}

static void PathProblem(const char *text) { SysMessageBox(NULL, text, PROBLEM_CAPTION, SYS_MB_OK); }

// The directory an earlier installation recorded replaces the proposal.
static void EarlierInstallation(const InstallScript *script, char *proposal) {
  RegistryKey key;
  if (!RegistryOpen(&key, REGROOT_CURRENT_USER, script->registryPath)) {
    DebugPrintf("Unable to open '%s'\n", script->registryPath);
    return;
  }
  char value[REGISTRY_TEXT_SIZE];
  if (RegistryGetString(key, INSTALL_PATH_VALUE, value))
    StrCopyN(proposal, value, PROPOSAL_SIZE);
  else
    DebugPrintf("Unable to get Install Path\n");
  RegistryClose(&key);
}

static void PathInit(void *dialog, InstallScript *script) {
  pathScript = script;
  DialogSetCaption(dialog, PATH_CAPTION);
  char proposal[PROPOSAL_SIZE];
  VantorFormat(proposal, PROPOSAL_SIZE, "%s%s", script->installPath, script->installDir);
  if (script->registryPath[0] != 0) EarlierInstallation(script, proposal);
  DialogSetEditText(dialog, IDC_PATH_EDIT, proposal, PATH_EDIT_LIMIT);
  DialogSetItemText(dialog, IDC_PATH_PROMPT, script->prompt);
  ShowSpaceFigures(dialog, proposal, script->installSize);
  CenterWindow(dialog, NULL);
}

// "Continue": the entered directory must be on a drive that is there, have
// room and fit installPath; then the user is asked.
static void PathContinue(void *dialog, InstallScript *script) {
  char directory[PROPOSAL_SIZE];
  DialogGetText(dialog, IDC_PATH_EDIT, directory, PATH_EDIT_LIMIT);
  int length = StrLength(directory);
  if (length == 0 || directory[length - 1] != '\\') StrAppendN(directory, "\\", (int)sizeof directory);
  int32_t freeK;
  if (!DiskFreeK(&freeK, directory)) {
    PathProblem("The drive you have selected cannot be located.");
    return;
  }
  if (freeK < script->installSize) {
    PathProblem("The drive you have selected does not have enough free space.");
    return;
  }
  if (StrLength(directory) >= SCRIPT_FIELD_SIZE) {
    PathProblem(PATH_TOO_LONG);
    return;
  }
  char question[QUESTION_SIZE];
  VantorFormat(question, QUESTION_SIZE, "Install %s into %s?", script->productName, directory);
  if (SysMessageBox(dialog, question, PATH_CAPTION, SYS_MB_YESNO | SYS_MB_ICONQUESTION) != SYS_IDYES) return;
  StrCopyN(script->installPath, directory, SCRIPT_FIELD_SIZE);
  DialogSend(dialog, DIALOG_WM_CLOSE, DIALOG_IDOK, 1);
}

// 1 when text ends with tail, letters without case.
static int EndsWithNoCase(const char *text, const char *tail) {
  int length = StrLength(text), tailLength = StrLength(tail);
  return tailLength <= length && StrEqualNNoCase(text + length - tailLength, tail, tailLength);
}

// The proposal after browsing to installPath: the product's directory name
// below it, unless the folder chosen is already named so (or lies below
// such a folder), or is named like the alternative name.
static void BrowsedProposal(InstallScript *script, char *proposal) {
  char *path = script->installPath;
  const char *dir = script->installDir;
  const char *alt = script->installDirAlt;
  const char *tail = dir;
  char *at;
  if (dir[0] == 0) {
    tail = "";
  } else if (EndsWithNoCase(path, dir)) {
    path[StrLength(path) - StrLength(dir)] = 0;
  } else if (StrFindNoCase(path, dir, &at) && at > path && at[-1] == '\\') {
    tail = "";
  } else if (alt[0] != 0 && EndsWithNoCase(path, alt)) {
    path[StrLength(path) - StrLength(alt)] = 0;
    tail = alt;
  }
  VantorFormat(proposal, PROPOSAL_SIZE, "%s%s", path, tail);
}

static void PathBrowse(void *dialog, InstallScript *script) {
  char chosen[BROWSE_PATH_SIZE];
  chosen[0] = 0;  // the browser starts at the computer's drives
  if (!BrowseForFolder(dialog, script->prompt, chosen)) {
    DebugPrintf("Canceled Path selection\n");
    return;
  }
  if (StrLength(chosen) >= SCRIPT_FIELD_SIZE) {
    PathProblem(PATH_TOO_LONG);
    return;
  }
  StrCopyN(script->installPath, chosen, SCRIPT_FIELD_SIZE);
  char proposal[PROPOSAL_SIZE];
  BrowsedProposal(script, proposal);
  DialogSetEditText(dialog, IDC_PATH_EDIT, proposal, PATH_EDIT_LIMIT);
  ShowSpaceFigures(dialog, script->installPath, script->installSize);
}

intptr_t PathDialogProc(void *dialog, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case DIALOG_WM_INITDIALOG:
      ASSERT(lParam != 0, "Pointer is NULL\n");
      PathInit(dialog, (InstallScript *)lParam);
      return 0;
    case DIALOG_WM_COMMAND:
      if (pathScript == NULL) return 0;
      switch (DIALOG_COMMAND_ID(wParam)) {
        case DIALOG_IDOK:
          PathContinue(dialog, pathScript);
          return 1;
        case DIALOG_IDCANCEL:
          DialogSend(dialog, DIALOG_WM_CLOSE, DIALOG_IDCANCEL, 0);
          return 1;
        case IDC_PATH_BROWSE:
          PathBrowse(dialog, pathScript);
          return 1;
        default:
          return 0;
      }
    case DIALOG_WM_CLOSE:
      DialogEnd(dialog, (int16_t)(lParam & 0xFFFF));
      return 1;
    case DIALOG_WM_DESTROY:
      pathScript = NULL;
      return 0;
    default:
      return 0;
  }
}

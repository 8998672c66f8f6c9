// The destination dialog: proposes a directory, browses for one and
// confirms it.
#include "pathdialog.h"

#include "dialog-sys.h"
#include "registry.h"
#include "resources/resource-ids.h"
#include "process-sys.h"
#include "exit-codes.h"
#include "interact.h"
#include "switches.h"
#include "vantor-core.h"
#include "utf8.h"
#include "vantor-str.h"
#include "winhelpr.h"

#define QUESTION_SIZE 512

// The record of the dialog that is open.
static InstallScript *pathScript;

int PathDialogRun(InstallScript *script) {
  ASSERT(script != NULL, POINTER_IS_NULL);
  intptr_t result = DialogRun(IDD_PATH, script->window, PathDialogProc, (intptr_t)script);
  if (result < 0) {
    DebugPrintf("Unable to create dialog %d\n", IDD_PATH);
    return 0;
  }
  if (result != 1) script->failure = EXIT_CANCELLED;  // cancelled by the person
  return result == 1;
}

static void PathProblem(const char *text) { SysMessageBox(NULL, text, PROBLEM_CAPTION, SYS_MB_OK); }

// The directory an earlier installation recorded replaces the proposal.
static void EarlierInstallation(const InstallScript *script, char *proposal, int size) {
  RegistryKey key;
  if (!RegistryOpen(&key, REGROOT_CURRENT_USER, script->registryPath)) {
    DebugPrintf("Unable to open '%s'\n", script->registryPath);
    return;
  }
  char value[VANTOR_PATH_SIZE];
  if (RegistryGetText(key, INSTALL_PATH_VALUE, value, (int)sizeof value))
    StrCopyN(proposal, value, size);
  else
    DebugPrintf("Unable to get Install Path\n");
  RegistryClose(&key);
}

void PathProposal(const InstallScript *script, char *proposal, int size) {
  ASSERT(script != NULL && proposal != NULL, POINTER_IS_NULL);
  VantorFormat(proposal, size, "%s%s", script->installPath, script->installDir);
  if (script->registryPath[0] != 0) EarlierInstallation(script, proposal, size);
  if (DirSwitch() != NULL) StrCopyN(proposal, DirSwitch(), size);
}

static void PathInit(void *dialog, InstallScript *script) {
  pathScript = script;
  DialogSetCaption(dialog, PATH_CAPTION);
  char proposal[PATH_PROPOSAL_SIZE];
  PathProposal(script, proposal, PATH_PROPOSAL_SIZE);
  DialogSetEditText(dialog, IDC_PATH_EDIT, proposal, PATH_EDIT_LIMIT);
  DialogSetItemText(dialog, IDC_PATH_PROMPT, script->prompt);
  ShowSpaceFigures(dialog, proposal, SpaceNeededK(script, proposal));
  CenterWindow(dialog, NULL);
}

// The checks of "Continue", in this order: a drive that is there, room, and
// a directory that fits installPath.
const char *PathRefusal(const InstallScript *script, char *directory, int size) {
  ASSERT(script != NULL && directory != NULL, POINTER_IS_NULL);
  int length = StrLength(directory);
  if (length == 0 || directory[length - 1] != '\\') StrAppendN(directory, "\\", size);
  int32_t freeK;
  if (!DiskFreeK(&freeK, directory)) return "The drive you have selected cannot be located.";
  if (freeK < SpaceNeededK(script, directory)) return "The drive you have selected does not have enough free space.";
  if (Utf8Count(directory) > INSTALL_PATH_CHARS) return PATH_TOO_LONG;
  return NULL;
}

// "Continue": the entered directory must pass the checks; then the user is
// asked.
static void PathContinue(void *dialog, InstallScript *script) {
  char directory[PATH_PROPOSAL_SIZE];
  DialogGetText(dialog, IDC_PATH_EDIT, directory, (int)sizeof directory);
  const char *refusal = PathRefusal(script, directory, (int)sizeof directory);
  if (refusal != NULL) {
    PathProblem(refusal);
    return;
  }
  char question[QUESTION_SIZE];
  VantorFormat(question, QUESTION_SIZE, "Install %s into %s?", script->productName, directory);
  if (SysMessageBox(dialog, question, PATH_CAPTION, SYS_MB_YESNO | SYS_MB_ICONQUESTION) != SYS_IDYES) return;
  StrCopyN(script->installPath, directory, INSTALL_PATH_SIZE);
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
  VantorFormat(proposal, PATH_PROPOSAL_SIZE, "%s%s", path, tail);
}

static void PathBrowse(void *dialog, InstallScript *script) {
  char chosen[BROWSE_PATH_SIZE];
  chosen[0] = 0;  // the browser starts at the computer's drives
  if (!BrowseForFolder(dialog, script->prompt, chosen)) {
    DebugPrintf("Canceled Path selection\n");
    return;
  }
  if (Utf8Count(chosen) > INSTALL_PATH_CHARS) {
    PathProblem(PATH_TOO_LONG);
    return;
  }
  StrCopyN(script->installPath, chosen, INSTALL_PATH_SIZE);
  char proposal[PATH_PROPOSAL_SIZE];
  BrowsedProposal(script, proposal);
  DialogSetEditText(dialog, IDC_PATH_EDIT, proposal, PATH_EDIT_LIMIT);
  ShowSpaceFigures(dialog, script->installPath, SpaceNeededK(script, script->installPath));
}

intptr_t PathDialogProc(void *dialog, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case DIALOG_WM_INITDIALOG:
      ASSERT(lParam != 0, POINTER_IS_NULL);
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

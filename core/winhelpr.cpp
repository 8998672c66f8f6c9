// Window helpers: the decisions over the dialog and window-helper seams.
#include "winhelpr.h"

#include "dialog-sys.h"
#include "vantor-core.h"
#include "vantor-str.h"
#include "winhelpr-sys.h"

// Selects the whole text of an edit control (end beyond any text).
#define EDIT_SELECT_ALL_END 0x7FFF0000

static char commonControls[260];

int WindowHelpersInit(void) {
  WinSysInitCommonControls(commonControls, (int)sizeof commonControls);
  return 1;
}

const char *WindowHelpersCommonControls(void) { return commonControls; }

int WindowHelpersRemove(void) { return 1; }

int CenterWindow(void *window, void *parent) {
  DialogRect own, over;
  if (parent == NULL) parent = DialogDesktop();
  if (!DialogGetRect(window, &own) || !DialogGetRect(parent, &over)) return 1;
  // C division truncates toward zero, which is the rounding wanted for a
  // window larger than its parent.
  int x = over.left + ((over.right - over.left) - (own.right - own.left)) / 2;
  int y = over.top + ((over.bottom - over.top) - (own.bottom - own.top)) / 2;
  return MoveWindowTo(window, x, y);
}

int MoveWindowTo(void *window, int x, int y) {
  DialogSetPosition(window, x, y);
  return 1;
}

int PumpMessages(void) {
  uint32_t message;
  while (WinSysPeekMessage(&message) && message != DIALOG_WM_CLOSE && message != DIALOG_WM_QUIT)
    WinSysDispatchMessage();
  return 1;
}

int ProgressBarReset(void *dialog, int id) {
  DialogSendItem(dialog, id, DIALOG_PBM_SETPOS, 0, 0);
  DialogSendItem(dialog, id, DIALOG_PBM_SETRANGE, 0, (intptr_t)DIALOG_MAKE_PARAM(0, PROGRESS_BAR_RANGE));
  return 1;
}

int ProgressBarSetPercent(void *dialog, int id, double percent) {
  double tenths = percent * 10.0;
  int position;
  if (!(tenths >= 1.0))  // also a value that is not a number
    position = 0;
  else if (tenths >= PROGRESS_BAR_RANGE)
    position = PROGRESS_BAR_RANGE;
  else
    position = (int)tenths;
  DialogSendItem(dialog, id, DIALOG_PBM_SETPOS, (uintptr_t)position, 0);
  return 1;
}

int DialogGetText(void *dialog, int id, char *buffer, int size) {
  ASSERT(buffer != NULL, POINTER_IS_NULL);
  if (size > 0) buffer[0] = 0;
  DialogGetItemText(dialog, id, buffer, size);
  return 1;
}

int DialogSelectAllFromStart(void *dialog, int id) {
  // Selected from the text's end back to its start: the caret stands at the
  // start, so the control shows the text's beginning.
  DialogSendItem(dialog, id, DIALOG_EM_SETSEL, EDIT_SELECT_ALL_END, 0);
  return 1;
}

int DialogSetEditText(void *dialog, int id, const char *text, int limit) {
  ASSERT(text != NULL, POINTER_IS_NULL);
  DialogSetItemText(dialog, id, text);
  DialogSelectAllFromStart(dialog, id);
  DialogSendItem(dialog, id, DIALOG_EM_LIMITTEXT, (uintptr_t)(limit < 0 ? 0 : limit), 0);
  return 1;
}

// Appends a backslash unless text already ends in one; 0 when it does not
// fit buffer.
static int AppendBackslash(char *text, int size) {
  int length = StrLength(text);
  if (length > 0 && text[length - 1] == '\\') return 1;
  return StrAppendN(text, "\\", size);
}

int BrowseCallback(void *window, uint32_t message, intptr_t param, intptr_t data) {
  (void)param;
  (void)data;
  if (message == WINHELPR_BFFM_INITIALIZED) CenterWindow(window, DialogParent(window));
  return 0;
}

int BrowseForFolder(void *owner, const char *title, char *path) {
  ASSERT(title != NULL, POINTER_IS_NULL);
  ASSERT(path != NULL, POINTER_IS_NULL);
  char start[BROWSE_PATH_SIZE];
  StrCopyN(start, path, BROWSE_PATH_SIZE);
  if (!WinSysBrowseFolder(owner, title, start, path, BROWSE_PATH_SIZE)) return 0;
  return AppendBackslash(path, BROWSE_PATH_SIZE);
}

typedef int (*DirectoryQuery)(char *buffer, int size);

static int QueryDirectory(DirectoryQuery query, char *buffer, int size) {
  ASSERT(buffer != NULL, POINTER_IS_NULL);
  if (size < 1) return 0;
  int length = query(buffer, size);
  if (length < 1 || length >= size || !AppendBackslash(buffer, size)) {
    buffer[0] = 0;
    return 0;
  }
  return 1;
}

int QueryTempDir(char *buffer, int size) { return QueryDirectory(WinSysTempDir, buffer, size); }
int QuerySystemDir(char *buffer, int size) { return QueryDirectory(WinSysSystemDir, buffer, size); }
int QueryWindowsDir(char *buffer, int size) { return QueryDirectory(WinSysWindowsDir, buffer, size); }
int QueryUserProgramsDir(char *buffer, int size) { return QueryDirectory(WinSysUserProgramsDir, buffer, size); }

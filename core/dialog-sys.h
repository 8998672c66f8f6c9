// Windows and dialogs: modal and modeless dialogs made from the program's
// dialog templates and run by a dialog procedure that is portable code, and
// the few window operations the dialogs need. dialog-win32.cpp is the product
// (USER32); dialog-standin.cpp is a scripted user for the native build, who
// answers the dialogs from a queue a test fills (dialog-standin.h).
//
// Writing a dialog: a DialogProc gets DIALOG_WM_INITDIALOG first (lParam =
// the param given to DialogRun or DialogCreate), then DIALOG_WM_COMMAND for
// buttons (control id in the low word of wParam), DIALOG_WM_CLOSE from the
// system menu or Alt+F4, and DIALOG_WM_DESTROY last. It answers 1 for a
// message it handled, 0 otherwise (for DIALOG_WM_INITDIALOG: 1 lets the
// system give the focus to the first control). It ends a modal dialog with
// DialogEnd. It never sees messages sent before DIALOG_WM_INITDIALOG.
//
// Window handles are HWND values carried as void *. Messages, ids and flags
// have the Win32 values.
#ifndef VANTOR_DIALOG_SYS_H
#define VANTOR_DIALOG_SYS_H

#include <stdint.h>

#define DIALOG_WM_DESTROY    0x0002
#define DIALOG_WM_SETTEXT    0x000C
#define DIALOG_WM_CLOSE      0x0010
#define DIALOG_WM_QUIT       0x0012
#define DIALOG_WM_INITDIALOG 0x0110
#define DIALOG_WM_COMMAND    0x0111
#define DIALOG_WM_USER       0x0400

#define DIALOG_IDOK     1
#define DIALOG_IDCANCEL 2

// Notifications carried in the high word of a command's wParam.
#define DIALOG_BN_CLICKED 0x0000
#define DIALOG_EN_CHANGE  0x0300
#define DIALOG_EN_SETFOCUS 0x0100

// Edit and progress-bar messages.
#define DIALOG_EM_SETSEL     0x00B1
#define DIALOG_EM_LIMITTEXT  0x00C5
#define DIALOG_PBM_SETRANGE  (DIALOG_WM_USER + 1)
#define DIALOG_PBM_SETPOS    (DIALOG_WM_USER + 2)
#define DIALOG_PBM_GETPOS    (DIALOG_WM_USER + 8)

// ShowWindow commands.
#define DIALOG_SW_HIDE 0
#define DIALOG_SW_SHOW 5

// The parts of a command's wParam.
#define DIALOG_COMMAND_ID(wParam)   ((int)((uintptr_t)(wParam) & 0xFFFFu))
#define DIALOG_COMMAND_CODE(wParam) ((int)(((uintptr_t)(wParam) >> 16) & 0xFFFFu))
#define DIALOG_MAKE_PARAM(low, high) \
  ((uintptr_t)(((uint32_t)(low) & 0xFFFFu) | (((uint32_t)(high) & 0xFFFFu) << 16)))

typedef intptr_t (*DialogProc)(void *dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Screen rectangle of a window, in pixels.
struct DialogRect {
  int left, top, right, bottom;
};

// Runs dialog template templateId of the program's own resources modally,
// owned by owner (NULL: no owner), with proc as its procedure and param as
// the lParam of DIALOG_WM_INITDIALOG. Returns when the procedure has called
// DialogEnd, with the result given there; -1 when the dialog could not be
// created (the procedure is then never called).
intptr_t DialogRun(int templateId, void *owner, DialogProc proc, intptr_t param);

// Creates a modeless dialog from template templateId of the module instance
// (NULL: the program's own), owned by owner. The dialog is visible at once
// only when its template says so. Returns its handle, NULL when it could not
// be created. Released with DialogDestroy.
void *DialogCreate(void *instance, int templateId, void *owner, DialogProc proc, intptr_t param);

// Ends a modal dialog with result (EndDialog); a modeless dialog is hidden.
// Returns 1, 0 for a window that is not a dialog.
int DialogEnd(void *dialog, intptr_t result);
// Destroys a window (DestroyWindow). 1 when it was destroyed.
int DialogDestroy(void *window);

// Sends a message to a window, or to control id of a dialog, and returns
// the answer (SendMessageW, SendDlgItemMessageW).
intptr_t DialogSend(void *window, uint32_t message, uintptr_t wParam, intptr_t lParam);
intptr_t DialogSendItem(void *dialog, int id, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Window caption (SetWindowTextW). 1 when set.
int DialogSetCaption(void *window, const char *text);
// Text of control id (SetDlgItemTextW). 1 when set.
int DialogSetItemText(void *dialog, int id, const char *text);
// Text of control id into buffer of size bytes, cut to fit and always
// terminated; empty when there is no such control (GetDlgItemTextW).
// Returns the length copied.
int DialogGetItemText(void *dialog, int id, char *buffer, int size);

// Shows or hides a window without waiting for it (ShowWindowAsync with
// DIALOG_SW_SHOW or DIALOG_SW_HIDE). Returns 1.
int DialogShowAsync(void *window, int command);
// The window's parent, or its owner (GetParent, else GW_OWNER); NULL when
// it has neither.
void *DialogParent(void *window);
// The desktop window.
void *DialogDesktop(void);
// Screen rectangle of a window (GetWindowRect). 1, or 0 with *rect zeroed
// when the window does not exist.
int DialogGetRect(void *window, DialogRect *rect);
// Moves a window to screen position (x, y) keeping its size and place in the
// z-order (SetWindowPos, SWP_NOSIZE | SWP_NOZORDER). 1 when moved.
int DialogSetPosition(void *window, int x, int y);

#endif

// The native windows and dialogs (dialog-standin.cpp, rcscript-standin.cpp,
// user-standin.cpp): windows and dialogs live in memory, the dialog
// procedures run as on Win32, and a test plays the user from a queue of
// actions and then inspects what was shown.
//
// Templates: DialogStandInLoadTemplates reads the program's resource script
// (installer/resources/install.rc), so a dialog gets the controls, ids,
// texts, styles, geometry and default button of its template. Without
// templates a dialog starts blank and a control springs into being when the
// procedure first sets its text; Enter then presses IDOK.
//
// The user: DialogRun calls the procedure with DIALOG_WM_INITDIALOG, then
// plays queued actions, one at a time, against the innermost modal dialog
// until the procedure calls DialogEnd. The same queue serves every dialog in
// the order they come up; message boxes are answered separately (the test
// program's box queue, TestQueueBoxAnswer, see process-standin.h for the record).
// When the queue runs dry, the user closes the dialog (DIALOG_WM_CLOSE 0, 0);
// a dialog that stays open even then is ended with 0 and marked abandoned,
// so no test can hang.
//
// A window as the user sees it keeps its caption, visibility, rectangle
// (dialog units converted at 6 x 13 pixels per 4 x 8 units), owner, result,
// and per control: text, selection, length limit, progress position and
// range. Windows stay inspectable after they ended, until
// DialogStandInReset.
#ifndef VANTOR_DIALOG_STANDIN_H
#define VANTOR_DIALOG_STANDIN_H

#include <stdint.h>

#include "dialog-sys.h"

// Forgets every window, queued action and record (templates stay loaded);
// the desktop becomes 1024 x 768 at (0, 0) again.
void DialogStandInReset(void);
// Reads the DIALOG templates of a resource script (and the #define lines of
// the files it includes). NULL forgets the templates. 1 when read; 0 with a
// line on standard error when the file cannot be read or parsed.
int DialogStandInLoadTemplates(const char *rcPath);
void DialogStandInSetDesktop(int left, int top, int width, int height);
// A plain top-level (parent NULL) or owned window with the given screen
// rectangle, such as a main window to own dialogs. It has no procedure.
void *DialogStandInCreateWindow(void *parent, int left, int top, int width, int height);

// ---- Actions of the scripted user --------------------------------------

typedef void (*DialogStandInCall)(void *dialog, void *data);

// Types text into control id (replacing its text, cut to the control's
// length limit), which then notifies DIALOG_EN_CHANGE.
void DialogStandInQueueText(int id, const char *text);
// Clicks button id (DIALOG_WM_COMMAND, BN_CLICKED). With templates loaded, a
// control the dialog does not have cannot be clicked: the action is skipped
// and counted as a mistake.
void DialogStandInQueuePress(int id);
// Presses Enter: clicks the default push button, IDOK when there is none.
void DialogStandInQueueEnter(void);
// Presses Escape: DIALOG_WM_COMMAND with IDCANCEL.
void DialogStandInQueueEscape(void);
// Closes the window from the system menu or with Alt+F4: DIALOG_WM_CLOSE
// with 0, 0; a procedure that does not handle it gets IDCANCEL, as the
// system's default dialog handling does.
void DialogStandInQueueClose(void);
// Calls call(dialog, data) with the dialog up at that moment, so a test can
// look at it mid-way.
void DialogStandInQueueCall(DialogStandInCall call, void *data);
// Actions still queued; mistakes (skipped actions) since the reset.
int DialogStandInPendingActions(void);
int DialogStandInMistakes(void);

// ---- What was shown ----------------------------------------------------

struct DialogStandInWindow {
  int templateId;        // 0 for a plain window
  int modal;
  void *owner;           // as given at creation
  const char *caption;
  int visible;
  int alive;             // not yet destroyed
  int ended;             // DialogEnd was called (or the user abandoned it)
  int abandoned;
  intptr_t result;       // of DialogEnd
  uint32_t style;
  DialogRect rect;
  int controlCount;
  int moves;             // DialogSetPosition calls
};

struct DialogStandInControl {
  int id;
  const char *statement;  // template keyword: "EDITTEXT", "PUSHBUTTON", "CONTROL", ...
  const char *className;  // "EDIT", "BUTTON", "STATIC", "msctls_progress32", ...
  const char *text;
  uint32_t style;
  int x, y, width, height;  // dialog units, as in the template
  int limit;                // EM_LIMITTEXT; -1 until set
  int selectionStart, selectionEnd;  // the selection, lower end first
  int caret;                         // where the caret stands (EM_SETSEL's end)
  int position, rangeLow, rangeHigh;  // progress bar (range 0-100 until set)
};

// Dialogs (modal and modeless) created since the reset, in order.
int DialogStandInDialogCount(void);
void *DialogStandInDialog(int index);
// The most recent dialog made from templateId, NULL when none.
void *DialogStandInFind(int templateId);
// 1 and *info for a stand-in window, 0 for an unknown handle.
int DialogStandInGetWindow(void *window, DialogStandInWindow *info);
// Control by id. 1 when it exists.
int DialogStandInGetControl(void *dialog, int id, DialogStandInControl *control);
// Text of control id, NULL when it does not exist.
const char *DialogStandInControlText(void *dialog, int id);

// ---- Templates as read -------------------------------------------------

struct DialogStandInTemplate {
  int id;
  int x, y, width, height;  // dialog units
  uint32_t style;
  const char *caption;
  const char *fontName;
  int fontSize;
  int controlCount;
};

int DialogStandInGetTemplate(int id, DialogStandInTemplate *info);
int DialogStandInGetTemplateControl(int id, int index, DialogStandInControl *control);
// Value of a style name the resource script may use (WS_POPUP, ES_READONLY,
// BS_DEFPUSHBUTTON, ...); 0 for an unknown name.
uint32_t DialogStandInStyle(const char *name);

#endif

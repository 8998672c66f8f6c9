// What the three parts of the native windows and dialogs share: the
// resource-script reader (rcscript-standin.cpp), the in-memory windows
// (dialog-standin.cpp) and the scripted user (user-standin.cpp). Not for
// tests: they use dialog-standin.h.
#ifndef VANTOR_WINDOWS_STANDIN_H
#define VANTOR_WINDOWS_STANDIN_H

#include <stdint.h>

#include "dialog-standin.h"
#include "dialog-sys.h"

#define S_WS_POPUP   0x80000000u
#define S_WS_CHILD   0x40000000u
#define S_WS_VISIBLE 0x10000000u
#define S_WS_CAPTION 0x00C00000u
#define S_WS_BORDER  0x00800000u
#define S_WS_SYSMENU 0x00080000u
#define S_WS_GROUP   0x00020000u
#define S_WS_TABSTOP 0x00010000u
#define S_DS_SETFONT 0x40u
#define S_BS_TYPE    0x0Fu
#define S_BS_DEFPUSHBUTTON 0x01u

// A copy on the heap, and replacing *slot's copy with one of text.
char *StandInCopyText(const char *text);
void StandInReplaceText(char **slot, const char *text);

// ---- Templates (rcscript-standin.cpp) -----------------------------------

struct TemplateControl {
  int id;
  char *statement;
  char *className;
  char *text;
  uint32_t style;
  int x, y, width, height;
};

struct Template {
  int id;
  int x, y, width, height;
  uint32_t style;
  char *caption;
  char *fontName;
  int fontSize;
  int controlCount;
  TemplateControl *controls;
};

// The loaded template id, or NULL; the number loaded (0: any id makes a
// blank dialog).
const Template *StandInFindTemplate(int id);
int StandInTemplateCount(void);
void StandInDescribeTemplateControl(const TemplateControl *c, DialogStandInControl *out);

// ---- Windows (dialog-standin.cpp) --------------------------------------

struct Control {
  TemplateControl shape;  // strings owned here
  int limit;
  int selectionStart, selectionEnd, caret;
  int position, rangeLow, rangeHigh;
};

struct Window {
  int templateId;
  int modal;
  void *owner;
  char *caption;
  int visible, alive, ended, abandoned;
  intptr_t result;
  uint32_t style;
  DialogRect rect;
  int moves;
  DialogProc proc;
  intptr_t param;
  int fromTemplate;  // controls are fixed by the template
  int controlCount;
  Control *controls;
  Window *next;  // every window, newest first
};

Control *StandInFindControl(Window *w, int id);
// A control of a blank dialog comes into being when first used.
Control *StandInControlFor(Window *w, int id);
// Hands a message to the window's procedure with the system's default
// handling of an unhandled close.
intptr_t StandInDeliver(Window *w, uint32_t message, uintptr_t wParam, intptr_t lParam);

// ---- The scripted user (user-standin.cpp) -------------------------------

// Forgets the queued actions and the mistakes counted.
void StandInUserReset(void);
// Plays the next action against w; 0 when none is left.
int StandInUserPlay(Window *w);

#endif

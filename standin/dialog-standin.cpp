// Windows and dialogs for the native build: windows live in memory and
// dialog procedures run as on Win32; a modal dialog is played by the scripted
// user (user-standin.cpp) from the template the resource script gave
// (rcscript-standin.cpp).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "windows-standin.h"

// ---- Windows -----------------------------------------------------------

static Window desktop;
static Window *windows;
static Window **dialogs;  // in order of creation
static int dialogCount;

static Window *Known(void *handle) {
  if (handle == &desktop) return &desktop;
  for (Window *w = windows; w != NULL; w = w->next)
    if (w == handle) return w;
  return NULL;
}

static void FreeWindow(Window *w) {
  for (int i = 0; i < w->controlCount; i++) {
    free(w->controls[i].shape.statement);
    free(w->controls[i].shape.className);
    free(w->controls[i].shape.text);
  }
  free(w->controls);
  free(w->caption);
  free(w);
}

void DialogStandInSetDesktop(int left, int top, int width, int height) {
  desktop.rect.left = left;
  desktop.rect.top = top;
  desktop.rect.right = left + width;
  desktop.rect.bottom = top + height;
}

void DialogStandInReset(void) {
  while (windows != NULL) {
    Window *w = windows;
    windows = w->next;
    FreeWindow(w);
  }
  free(dialogs);
  dialogs = NULL;
  dialogCount = 0;
  StandInUserReset();
  if (desktop.caption == NULL) desktop.caption = StandInCopyText("");
  desktop.visible = desktop.alive = 1;
  DialogStandInSetDesktop(0, 0, 1024, 768);
}

static Window *NewWindow(void *owner, int left, int top, int width, int height) {
  if (desktop.caption == NULL) DialogStandInReset();
  Window *w = (Window *)calloc(1, sizeof(Window));
  w->owner = owner;
  w->caption = StandInCopyText("");
  w->alive = 1;
  w->rect.left = left;
  w->rect.top = top;
  w->rect.right = left + width;
  w->rect.bottom = top + height;
  w->next = windows;
  windows = w;
  return w;
}

void *DialogStandInCreateWindow(void *parent, int left, int top, int width, int height) {
  Window *w = NewWindow(parent, left, top, width, height);
  w->visible = 1;
  return w;
}

static Control *AddControl(Window *w, const TemplateControl *shape) {
  w->controls = (Control *)realloc(w->controls, sizeof(Control) * (size_t)(w->controlCount + 1));
  Control *c = &w->controls[w->controlCount++];
  memset(c, 0, sizeof *c);
  c->shape = *shape;
  c->shape.statement = StandInCopyText(shape->statement);
  c->shape.className = StandInCopyText(shape->className);
  c->shape.text = StandInCopyText(shape->text);
  c->limit = -1;
  c->rangeHigh = 100;
  return c;
}

Control *StandInFindControl(Window *w, int id) {
  for (int i = 0; w != NULL && i < w->controlCount; i++)
    if (w->controls[i].shape.id == id) return &w->controls[i];
  return NULL;
}

Control *StandInControlFor(Window *w, int id) {
  Control *c = StandInFindControl(w, id);
  if (c != NULL || w == NULL || w->fromTemplate || w->templateId == 0) return c;
  TemplateControl shape;
  memset(&shape, 0, sizeof shape);
  shape.id = id;
  shape.statement = (char *)"CONTROL";
  shape.className = (char *)"";
  shape.text = (char *)"";
  return AddControl(w, &shape);
}

// Dialog units to pixels for the 8-point dialog fonts: 6 x 13 pixels per
// 4 x 8 units.
static int UnitsX(int units) { return units * 6 / 4; }
static int UnitsY(int units) { return units * 13 / 8; }

static Window *NewDialog(int templateId, void *owner, DialogProc proc, intptr_t param, int modal) {
  const Template *t = StandInFindTemplate(templateId);
  if (StandInTemplateCount() > 0 && t == NULL) {
    fprintf(stderr, "[dialog %d] no such template\n", templateId);
    return NULL;
  }
  Window *base = Known(owner);
  if (base == NULL) base = &desktop;
  int width = t ? UnitsX(t->width) : 300, height = t ? UnitsY(t->height) : 200;
  int x = t ? UnitsX(t->x) : 0, y = t ? UnitsY(t->y) : 0;
  Window *w = NewWindow(owner, base->rect.left + x, base->rect.top + y, width, height);
  w->templateId = templateId;
  w->modal = modal;
  w->proc = proc;
  w->param = param;
  if (t != NULL) {
    w->fromTemplate = 1;
    w->style = t->style;
    StandInReplaceText(&w->caption, t->caption);
    for (int i = 0; i < t->controlCount; i++) AddControl(w, &t->controls[i]);
  } else {
    w->style = S_WS_POPUP | S_WS_CAPTION | (modal ? S_WS_VISIBLE : 0);
  }
  dialogs = (Window **)realloc(dialogs, sizeof(Window *) * (size_t)(dialogCount + 1));
  dialogs[dialogCount++] = w;
  return w;
}

intptr_t StandInDeliver(Window *w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (w == NULL || w->proc == NULL || !w->alive) return 0;
  intptr_t answer = w->proc(w, message, wParam, lParam);
  // The system's default dialog handling turns an unhandled close into a
  // click on the Cancel button.
  if (message == DIALOG_WM_CLOSE && answer == 0 && !w->ended && (!w->fromTemplate || StandInFindControl(w, DIALOG_IDCANCEL)))
    w->proc(w, DIALOG_WM_COMMAND, DIALOG_MAKE_PARAM(DIALOG_IDCANCEL, DIALOG_BN_CLICKED),
            (intptr_t)StandInFindControl(w, DIALOG_IDCANCEL));
  return answer;
}

static void Destroy(Window *w) {
  if (!w->alive) return;
  StandInDeliver(w, DIALOG_WM_DESTROY, 0, 0);
  w->alive = 0;
  w->visible = 0;
}

// ---- The seam ----------------------------------------------------------

intptr_t DialogRun(int templateId, void *owner, DialogProc proc, intptr_t param) {
  Window *w = NewDialog(templateId, owner, proc, param, 1);
  if (w == NULL) return -1;
  w->visible = 1;
  StandInDeliver(w, DIALOG_WM_INITDIALOG, 0, param);
  while (!w->ended && StandInUserPlay(w)) {
  }
  if (!w->ended) {
    fprintf(stderr, "[dialog %d] no user action left: the user closes it\n", templateId);
    StandInDeliver(w, DIALOG_WM_CLOSE, 0, 0);
  }
  if (!w->ended) {
    fprintf(stderr, "[dialog %d] still open: abandoned\n", templateId);
    w->ended = w->abandoned = 1;
    w->result = 0;
  }
  Destroy(w);
  return w->result;
}

void *DialogCreate(void *instance, int templateId, void *owner, DialogProc proc, intptr_t param) {
  (void)instance;
  Window *w = NewDialog(templateId, owner, proc, param, 0);
  if (w == NULL) return NULL;
  StandInDeliver(w, DIALOG_WM_INITDIALOG, 0, param);
  w->visible = (w->style & S_WS_VISIBLE) != 0;
  return w;
}

int DialogEnd(void *dialog, intptr_t result) {
  Window *w = Known(dialog);
  if (w == NULL || w->templateId == 0) return 0;
  w->ended = 1;
  w->result = result;
  if (!w->modal) w->visible = 0;
  return 1;
}

int DialogDestroy(void *window) {
  Window *w = Known(window);
  if (w == NULL || w == &desktop || !w->alive) return 0;
  Destroy(w);
  return 1;
}

intptr_t DialogSend(void *window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  Window *w = Known(window);
  if (w != NULL && message == DIALOG_WM_SETTEXT) DialogSetCaption(window, (const char *)lParam);
  return StandInDeliver(w, message, wParam, lParam);
}

static int Clamp(long value, int low, int high) { return value < low ? low : value > high ? high : (int)value; }

intptr_t DialogSendItem(void *dialog, int id, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  Control *c = StandInControlFor(Known(dialog), id);
  if (c == NULL) return 0;
  int length = (int)strlen(c->shape.text);
  intptr_t previous;
  switch (message) {
    case DIALOG_EM_SETSEL:
      // As the system's edit control: either order selects the same text,
      // and the caret goes to the second position.
      c->caret = lParam == -1 ? length : Clamp((long)lParam, 0, length);  // -1: the end
      c->selectionStart = Clamp((long)(intptr_t)wParam, 0, length);
      c->selectionEnd = c->caret;
      if (c->selectionStart > c->selectionEnd) {
        c->selectionEnd = c->selectionStart;
        c->selectionStart = c->caret;
      }
      return 1;
    case DIALOG_EM_LIMITTEXT: c->limit = (int)wParam; return 0;
    case DIALOG_PBM_SETRANGE:
      previous = (intptr_t)DIALOG_MAKE_PARAM(c->rangeLow, c->rangeHigh);
      c->rangeLow = (int)((uintptr_t)lParam & 0xFFFF);
      c->rangeHigh = (int)(((uintptr_t)lParam >> 16) & 0xFFFF);
      c->position = Clamp(c->position, c->rangeLow, c->rangeHigh);
      return previous;
    case DIALOG_PBM_SETPOS:
      previous = c->position;
      c->position = Clamp((long)(int)wParam, c->rangeLow, c->rangeHigh);
      return previous;
    case DIALOG_PBM_GETPOS: return c->position;
    default: return 0;
  }
}

int DialogSetCaption(void *window, const char *text) {
  Window *w = Known(window);
  if (w == NULL || w == &desktop) return 0;
  StandInReplaceText(&w->caption, text);
  return 1;
}

int DialogSetItemText(void *dialog, int id, const char *text) {
  Control *c = StandInControlFor(Known(dialog), id);
  if (c == NULL) return 0;
  StandInReplaceText(&c->shape.text, text);
  return 1;
}

int DialogGetItemText(void *dialog, int id, char *buffer, int size) {
  if (size < 1) return 0;
  const Control *c = StandInFindControl(Known(dialog), id);
  snprintf(buffer, (size_t)size, "%s", c ? c->shape.text : "");
  return (int)strlen(buffer);
}

int DialogShowAsync(void *window, int command) {
  Window *w = Known(window);
  if (w != NULL && w != &desktop) w->visible = command != DIALOG_SW_HIDE;
  return 1;
}

void *DialogParent(void *window) {
  Window *w = Known(window);
  return w != NULL && w != &desktop ? w->owner : NULL;
}

void *DialogDesktop(void) {
  if (desktop.caption == NULL) DialogStandInReset();
  return &desktop;
}

int DialogGetRect(void *window, DialogRect *rect) {
  Window *w = Known(window);
  if (w == NULL) {
    memset(rect, 0, sizeof *rect);
    return 0;
  }
  *rect = w->rect;
  return 1;
}

int DialogSetPosition(void *window, int x, int y) {
  Window *w = Known(window);
  if (w == NULL || w == &desktop) return 0;
  w->rect.right += x - w->rect.left;
  w->rect.bottom += y - w->rect.top;
  w->rect.left = x;
  w->rect.top = y;
  w->moves++;
  return 1;
}

// ---- Inspection --------------------------------------------------------

int DialogStandInDialogCount(void) { return dialogCount; }
void *DialogStandInDialog(int index) { return index >= 0 && index < dialogCount ? dialogs[index] : NULL; }

void *DialogStandInFind(int templateId) {
  for (int i = dialogCount - 1; i >= 0; i--)
    if (dialogs[i]->templateId == templateId) return dialogs[i];
  return NULL;
}

int DialogStandInGetWindow(void *window, DialogStandInWindow *info) {
  const Window *w = Known(window);
  if (w == NULL) return 0;
  info->templateId = w->templateId;
  info->modal = w->modal;
  info->owner = w->owner;
  info->caption = w->caption;
  info->visible = w->visible;
  info->alive = w->alive;
  info->ended = w->ended;
  info->abandoned = w->abandoned;
  info->result = w->result;
  info->style = w->style;
  info->rect = w->rect;
  info->controlCount = w->controlCount;
  info->moves = w->moves;
  return 1;
}

static void DescribeControl(const Control *c, DialogStandInControl *out) {
  StandInDescribeTemplateControl(&c->shape, out);
  out->limit = c->limit;
  out->selectionStart = c->selectionStart;
  out->selectionEnd = c->selectionEnd;
  out->caret = c->caret;
  out->position = c->position;
  out->rangeLow = c->rangeLow;
  out->rangeHigh = c->rangeHigh;
}

int DialogStandInGetControl(void *dialog, int id, DialogStandInControl *control) {
  const Control *c = StandInFindControl(Known(dialog), id);
  if (c == NULL) return 0;
  DescribeControl(c, control);
  return 1;
}

const char *DialogStandInControlText(void *dialog, int id) {
  const Control *c = StandInFindControl(Known(dialog), id);
  return c ? c->shape.text : NULL;
}

// The scripted user of the native dialogs: actions a test queues (type,
// click, Enter, Escape, close, a call) played one at a time against the
// modal dialog in front; what it cannot do is counted as a mistake.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "windows-standin.h"

enum ActionKind { ACTION_TEXT, ACTION_PRESS, ACTION_ENTER, ACTION_ESCAPE, ACTION_CLOSE, ACTION_CALL };

struct Action {
  ActionKind kind;
  int id;
  char *text;
  DialogStandInCall call;
  void *data;
};

static Action *actions;
static int actionCount, actionFirst;
static int mistakes;

void StandInUserReset(void) {
  for (int i = actionFirst; i < actionCount; i++) free(actions[i].text);
  free(actions);
  actions = NULL;
  actionCount = actionFirst = 0;
  mistakes = 0;
}

static void Queue(ActionKind kind, int id, const char *text, DialogStandInCall call, void *data) {
  actions = (Action *)realloc(actions, sizeof(Action) * (size_t)(actionCount + 1));
  Action *a = &actions[actionCount++];
  a->kind = kind;
  a->id = id;
  a->text = text ? StandInCopyText(text) : NULL;
  a->call = call;
  a->data = data;
}

void DialogStandInQueueText(int id, const char *text) { Queue(ACTION_TEXT, id, text, NULL, NULL); }
void DialogStandInQueuePress(int id) { Queue(ACTION_PRESS, id, NULL, NULL, NULL); }
void DialogStandInQueueEnter(void) { Queue(ACTION_ENTER, 0, NULL, NULL, NULL); }
void DialogStandInQueueEscape(void) { Queue(ACTION_ESCAPE, 0, NULL, NULL, NULL); }
void DialogStandInQueueClose(void) { Queue(ACTION_CLOSE, 0, NULL, NULL, NULL); }
void DialogStandInQueueCall(DialogStandInCall call, void *data) { Queue(ACTION_CALL, 0, NULL, call, data); }
int DialogStandInPendingActions(void) { return actionCount - actionFirst; }
int DialogStandInMistakes(void) { return mistakes; }

static void Click(Window *w, int id) {
  Control *c = StandInFindControl(w, id);
  if (c == NULL && w->fromTemplate) {
    fprintf(stderr, "[dialog %d] the user cannot click control %d: it does not exist\n", w->templateId, id);
    mistakes++;
    return;
  }
  StandInDeliver(w, DIALOG_WM_COMMAND, DIALOG_MAKE_PARAM(id, DIALOG_BN_CLICKED), (intptr_t)c);
}

static int DefaultButton(Window *w) {
  for (int i = 0; i < w->controlCount; i++) {
    const Control *c = &w->controls[i];
    if (strcmp(c->shape.className, "BUTTON") == 0 && (c->shape.style & S_BS_TYPE) == S_BS_DEFPUSHBUTTON)
      return c->shape.id;
  }
  return DIALOG_IDOK;
}

static void Type(Window *w, int id, const char *text) {
  Control *c = StandInControlFor(w, id);
  if (c == NULL) {
    fprintf(stderr, "[dialog %d] the user cannot type into control %d: it does not exist\n", w->templateId, id);
    mistakes++;
    return;
  }
  StandInReplaceText(&c->shape.text, text);
  if (c->limit > 0 && (int)strlen(c->shape.text) > c->limit) c->shape.text[c->limit] = 0;
  StandInDeliver(w, DIALOG_WM_COMMAND, DIALOG_MAKE_PARAM(id, DIALOG_EN_CHANGE), (intptr_t)c);
}

// Plays the next action against w; 0 when none is left.
int StandInUserPlay(Window *w) {
  if (actionFirst >= actionCount) return 0;
  Action a = actions[actionFirst++];
  switch (a.kind) {
    case ACTION_TEXT: Type(w, a.id, a.text); break;
    case ACTION_PRESS: Click(w, a.id); break;
    case ACTION_ENTER: Click(w, DefaultButton(w)); break;
    case ACTION_ESCAPE:
      StandInDeliver(w, DIALOG_WM_COMMAND, DIALOG_MAKE_PARAM(DIALOG_IDCANCEL, DIALOG_BN_CLICKED),
              (intptr_t)StandInFindControl(w, DIALOG_IDCANCEL));
      break;
    case ACTION_CLOSE: StandInDeliver(w, DIALOG_WM_CLOSE, 0, 0); break;
    case ACTION_CALL: a.call(w, a.data); break;
  }
  free(a.text);
  return 1;
}

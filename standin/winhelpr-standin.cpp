// The window helpers' system calls for the native build: an in-memory
// message queue, directories and folder-browser answers set by tests
// (winhelpr-standin.h).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "dialog-standin.h"
#include "dialog-sys.h"
#include "winhelpr-standin.h"
#include "winhelpr-sys.h"

struct QueuedMessage {
  void *window;
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
};

#define QUEUE_SIZE 256
#define DIRECTORY_SIZE 1024
static QueuedMessage queue[QUEUE_SIZE];
static int queued;
static int dispatched;
static int commonControls;

struct Directory {
  const char *fallback;
  int set;      // path holds what a test set
  int missing;  // the call fails
  char path[DIRECTORY_SIZE];
};
static Directory tempDir = {"C:\\TEMP\\", 0, 0, ""};
static Directory systemDir = {"C:\\WINDOWS\\SYSTEM", 0, 0, ""};
static Directory windowsDir = {"C:\\WINDOWS", 0, 0, ""};
static Directory userProgramsDir = {"C:\\Users\\Person\\AppData\\Local\\Programs", 0, 0, ""};

#define ANSWERS_SIZE 32
static char *answers[ANSWERS_SIZE];
static int answerIsCancel[ANSWERS_SIZE];
static int answerCount, answerFirst;
static WinHelpersStandInBrowse lastBrowse;
static int browseCount;

static void SetDirectory(Directory *d, const char *path) {
  d->set = 1;
  d->missing = path == NULL;
  snprintf(d->path, sizeof d->path, "%s", path ? path : "");
}

void WinHelpersStandInReset(void) {
  queued = dispatched = 0;
  SetDirectory(&tempDir, tempDir.fallback);
  SetDirectory(&systemDir, systemDir.fallback);
  SetDirectory(&windowsDir, windowsDir.fallback);
  SetDirectory(&userProgramsDir, userProgramsDir.fallback);
  for (int i = answerFirst; i < answerCount; i++) free(answers[i]);
  answerCount = answerFirst = 0;
  memset(&lastBrowse, 0, sizeof lastBrowse);
  browseCount = 0;
}

void WinHelpersStandInSetTempDir(const char *path) { SetDirectory(&tempDir, path); }
void WinHelpersStandInSetSystemDir(const char *path) { SetDirectory(&systemDir, path); }
void WinHelpersStandInSetWindowsDir(const char *path) { SetDirectory(&windowsDir, path); }

void WinHelpersStandInPost(void *window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (queued == QUEUE_SIZE) return;
  QueuedMessage m = {window, message, wParam, lParam};
  queue[queued++] = m;
}

int WinHelpersStandInQueued(void) { return queued; }
uint32_t WinHelpersStandInFront(void) { return queued ? queue[0].message : 0; }
int WinHelpersStandInDispatched(void) { return dispatched; }
int WinHelpersStandInCommonControls(void) { return commonControls; }

int WinSysInitCommonControls(char *path, int size) {
  commonControls++;
  snprintf(path, (size_t)size, "%s", "C:\\WINDOWS\\SYSTEM\\COMCTL32.DLL");
  return 1;
}

int WinSysPeekMessage(uint32_t *message) {
  if (queued == 0) return 0;
  *message = queue[0].message;
  return 1;
}

void WinSysDispatchMessage(void) {
  if (queued == 0) return;
  QueuedMessage m = queue[0];
  memmove(queue, queue + 1, sizeof(QueuedMessage) * (size_t)(queued - 1));
  queued--;
  dispatched++;
  DialogStandInWindow info;
  if (m.window != NULL && DialogStandInGetWindow(m.window, &info) && info.templateId != 0)
    DialogSend(m.window, m.message, m.wParam, m.lParam);
}

static int Report(const Directory *d, char *buffer, int size) {
  if (d->missing) return 0;
  const char *path = d->set ? d->path : d->fallback;
  int length = (int)strlen(path);
  if (length >= size) return length + 1;
  memcpy(buffer, path, (size_t)length + 1);
  return length;
}

int WinSysTempDir(char *buffer, int size) { return Report(&tempDir, buffer, size); }
int WinSysSystemDir(char *buffer, int size) { return Report(&systemDir, buffer, size); }
int WinSysWindowsDir(char *buffer, int size) { return Report(&windowsDir, buffer, size); }
int WinSysUserProgramsDir(char *buffer, int size) { return Report(&userProgramsDir, buffer, size); }

void WinHelpersStandInQueueFolder(const char *path) {
  if (answerCount == ANSWERS_SIZE) return;
  answerIsCancel[answerCount] = path == NULL;
  answers[answerCount++] = strdup(path ? path : "");
}

int WinHelpersStandInBrowseCount(void) { return browseCount; }
const WinHelpersStandInBrowse *WinHelpersStandInLastBrowse(void) { return &lastBrowse; }

int WinSysBrowseFolder(void *owner, const char *title, const char *start, char *chosen, int size) {
  browseCount++;
  lastBrowse.owner = owner;
  snprintf(lastBrowse.title, sizeof lastBrowse.title, "%s", title);
  snprintf(lastBrowse.start, sizeof lastBrowse.start, "%s", start);
  lastBrowse.window = DialogStandInCreateWindow(owner, 0, 0, 320, 400);
  BrowseCallback(lastBrowse.window, WINHELPR_BFFM_INITIALIZED, 0, 0);
  DialogDestroy(lastBrowse.window);
  if (answerFirst >= answerCount) return 0;
  int cancel = answerIsCancel[answerFirst];
  char *answer = answers[answerFirst++];
  int result = !cancel && answer[0] != 0 && (int)strlen(answer) < size;
  if (result) memcpy(chosen, answer, strlen(answer) + 1);
  free(answer);
  return result;
}

// The main window's stand-in for the native build: one window in memory whose
// procedure handles the same messages as the real one. Its message loop has
// no user: when nothing is left to do it closes the window as a user would
// (WM_CLOSE), so that a paused script still ends.
#include <stdio.h>
#include <string.h>

#include "pages.h"
#include "mainwindow-standin.h"
#include "mainwindow.h"
#include "mainwindow-sys.h"
#include "vantor-core.h"

static int standInWindow;
static int registered, created, quitPosted, failRegister, failCreate;
static char events[4096];
static char title[MAIN_TITLE_SIZE];
static int destroyCount;   // WM_DESTROY sent to any window, and the last one
static void *lastDestroyed;

static void Record(const char *word) {
  size_t used = strlen(events);
  snprintf(events + used, sizeof events - used, "%s%s", used ? " " : "", word);
}

void MainWindowStandInReset(void) {
  registered = created = quitPosted = failRegister = failCreate = 0;
  events[0] = 0;
  title[0] = 0;
}
void MainWindowStandInFailRegister(int fail) { failRegister = fail; }
void MainWindowStandInFailCreate(int fail) { failCreate = fail; }
const char *MainWindowStandInEvents(void) { return events; }
const char *MainWindowStandInTitle(void) { return title; }
int MainWindowStandInRegistered(void) { return registered; }

int MainWindowRegisterClass(void *) {
  if (failRegister) return 0;
  registered = 1;
  return 1;
}

int MainWindowUnregisterClass(void *) {
  int was = registered;
  registered = 0;
  return was;
}

int MainWindowCreate(void *instance, void **window) {
  ASSERT(window != NULL, "Pointer is NULL\n");
  *window = NULL;
  if (failCreate || !registered) return 0;
  created = 1;
  quitPosted = 0;
  *window = &standInWindow;
  Record("create");
  if (MainWindowScript() != NULL) MainWindowTitle(MainWindowScript(), title, sizeof title);
  ProgressCreate(instance, &standInWindow);
  return 1;
}

int MainWindowShow(void *) {
  Record("show");
  return 1;
}

int MainWindowStandInDestroyCount(void) { return destroyCount; }
void *MainWindowStandInLastDestroyed(void) { return lastDestroyed; }

intptr_t MainWindowSend(void *window, unsigned message) {
  if (message == MAIN_WM_DESTROY) {
    destroyCount++;
    lastDestroyed = window;
  }
  if (window != &standInWindow || !created) return 0;
  switch (message) {
    case WM_SCRIPT_STEP: {
      Record("step");
      return MainWindowStep(window);
    }
    case MAIN_WM_DESTROY:
      Record("destroy");
      ProgressDestroy();
      quitPosted = 1;
      return 0;
    case MAIN_WM_CLOSE:
      Record("close");
      MainWindowSend(window, MAIN_WM_DESTROY);
      return 1;
    case MAIN_WM_PAINT:
      Record("paint");
      return 0;
    default:
      return 0;
  }
}

int MainWindowMessageLoop(void) {
  while (!quitPosted) {
    if (!created) break;
    MainWindowSend(&standInWindow, MAIN_WM_CLOSE);
    QuickMemoryFrame();
  }
  Record("quit");
  created = 0;
  return 0;
}

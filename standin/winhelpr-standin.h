// Test controls of the window helpers' stand-in (winhelpr-standin.cpp): a
// thread message queue, the directories the system would report, and the
// folder browser's answers.
#ifndef VANTOR_WINHELPR_STANDIN_H
#define VANTOR_WINHELPR_STANDIN_H

#include <stdint.h>

// Back to the defaults: empty queue, no browser answers or records,
// directories "C:\TEMP\", "C:\WINDOWS\SYSTEM" and "C:\WINDOWS" (as the
// system reports them; the helpers add the backslash).
void WinHelpersStandInReset(void);

// What GetTempPathA, GetSystemDirectoryA and GetWindowsDirectoryA report;
// NULL makes the call fail.
void WinHelpersStandInSetTempDir(const char *path);
void WinHelpersStandInSetSystemDir(const char *path);
void WinHelpersStandInSetWindowsDir(const char *path);

// The thread's message queue. A dispatched message goes to the window's
// dialog procedure when the window is a stand-in dialog; it is counted
// either way.
void WinHelpersStandInPost(void *window, uint32_t message, uintptr_t wParam, intptr_t lParam);
int WinHelpersStandInQueued(void);
// Message at the front of the queue; 0 when empty.
uint32_t WinHelpersStandInFront(void);
int WinHelpersStandInDispatched(void);
int WinHelpersStandInCommonControls(void);

// The folder browser: each call takes the next answer, a file-system path
// as the shell would give it (no trailing backslash needed); NULL answers as
// a cancel, "" as a virtual item without a file-system path. No answer left
// is a cancel. The browser is a window owned by the owner given, centred by
// the callback, so its rectangle can be checked.
void WinHelpersStandInQueueFolder(const char *path);
struct WinHelpersStandInBrowse {
  void *owner;
  char title[512];
  char start[261];
  void *window;  // the browser (a stand-in window), kept after it closed
};
int WinHelpersStandInBrowseCount(void);
const WinHelpersStandInBrowse *WinHelpersStandInLastBrowse(void);

#endif

// The window helpers' system calls (COMCTL32, USER32, KERNEL32, SHELL32),
// under winhelpr.cpp. winhelpr-win32.cpp is the product; winhelpr-standin.cpp
// stands in for the native build with a message queue, directories and
// folder-browser answers a test sets (winhelpr-standin.h).
#ifndef VANTOR_WINHELPR_SYS_H
#define VANTOR_WINHELPR_SYS_H

#include <stdint.h>

// Folder-browser message: the browser has been created (Win32 value).
#define WINHELPR_BFFM_INITIALIZED 1

// Loads COMCTL32 (the version the program's manifest names, side by side,
// where the system has it) and registers the progress bar and the standard
// controls (InitCommonControlsEx); the loaded library's file name goes into
// path (size bytes, "" when none). 1 on success.
int WinSysInitCommonControls(char *path, int size);
// Looks at the next message of the calling thread's queue without removing
// it (PeekMessageW, PM_NOREMOVE, no filter): 1 and *message set, 0 when the
// queue is empty.
int WinSysPeekMessage(uint32_t *message);
// Takes the next message and runs it (GetMessageW, TranslateMessage,
// DispatchMessageW).
void WinSysDispatchMessage(void);

// GetTempPathW, GetSystemDirectoryW, GetWindowsDirectoryW into buffer (size
// bytes): the length of the text written; 0 when the call failed; size or
// more when the buffer is too small (its contents then unspecified).
int WinSysTempDir(char *buffer, int size);
int WinSysSystemDir(char *buffer, int size);
int WinSysWindowsDir(char *buffer, int size);
// The same for the known folder UserProgramFiles; before Windows 7, or when
// the shell does not know it, "Programs" below the local application data.
int WinSysUserProgramsDir(char *buffer, int size);

// Runs the shell folder browser owned by owner, titled title, rooted at
// start (empty: the drives), with BrowseCallback as its callback. 1 with the
// chosen folder's file-system path (as the shell gives it, at most
// size - 1 characters) in chosen; 0 when cancelled, the choice has no
// file-system path or the browser could not run.
int WinSysBrowseFolder(void *owner, const char *title, const char *start, char *chosen, int size);

// The folder browser's callback: on WINHELPR_BFFM_INITIALIZED it centres the
// browser over its parent. Answers 0 for every message.
int BrowseCallback(void *window, uint32_t message, intptr_t param, intptr_t data);

#endif

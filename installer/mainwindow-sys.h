// The main window's seam: the window itself, and the only way the rest of
// the program talks to it. mainwindow-win32.cpp is the product (class,
// procedure, message loop, painting); standin/mainwindow-standin.cpp is one
// window in memory that dispatches the same messages, so that the program
// runs to its end natively.
#ifndef INSTALLER_MAINWINDOW_SYS_H
#define INSTALLER_MAINWINDOW_SYS_H

#include <stdint.h>

#include "mainwindow.h"

// Registers the class "InstallKivClass". 1 registered, 0 not.
int MainWindowRegisterClass(void *instance);
int MainWindowUnregisterClass(void *instance);
// Creates the WS_POPUP window titled "Install" (its WM_CREATE sets the title,
// icon and hidden progress window). 1 and *window set, 0 not.
int MainWindowCreate(void *instance, void **window);
// Shows it maximised and paints it once. Returns 1.
int MainWindowShow(void *window);
// Sends a message (wParam and lParam 0) and returns the procedure's result.
intptr_t MainWindowSend(void *window, unsigned message);
// Runs the message loop until WM_QUIT, ending a quick-memory frame after each
// message. Returns WM_QUIT's wParam.
int MainWindowMessageLoop(void);

#if defined(_WIN32) && defined(_WINDEF_)
// The Win32 side's own operations, for its tests (include <windows.h> first).
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// WM_DPICHANGED, which mingw's headers may lack: the window moves to the
// proposed rectangle (lParam) and is painted again. Returns 0.
#define MAIN_WM_DPICHANGED 0x02E0
int MainWindowDpiChanged(HWND window, const RECT *proposed);
// The WM_PAINT handler; returns 0.
int MainWindowPaint(HWND window);
// Fills rect with the 256 bands of the gradient. Returns 1.
int PaintGradient(HDC dc, const RECT *rect, const unsigned char start[3], const unsigned char end[3]);
// Draws one screen string in the client rectangle. Returns 1.
int PaintString(HDC dc, const RECT *client, const ScreenString *entry);
#endif

#endif

// The window seam of the script engine: what the run loop asks of the main
// window. appwin-win32.cpp is the product; appwin-posix.cpp records the calls
// for the native tests (appwin-standin.h). Window handles are HWND values
// carried as void *.
#ifndef INSTALLER_APPWIN_H
#define INSTALLER_APPWIN_H

// Sends WM_DESTROY to the window and returns when it has been handled.
void AppSendDestroy(void *window);

#endif

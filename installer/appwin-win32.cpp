// The window seam on Win32.
#include <windows.h>

#include "appwin.h"

void AppSendDestroy(void *window) { SendMessageA((HWND)window, WM_DESTROY, 0, 0); }

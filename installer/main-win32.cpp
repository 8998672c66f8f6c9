// The Win32 entry point.
#include <windows.h>

#include "syslib-win32.h"
#include "run.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR args, int show) {
  (void)previous;
  (void)show;
  // Before anything loads a library: none from the program's own folder.
  SysLibrariesFromSystemOnly();
  return InstallerMain((void *)instance, args ? args : "");
}

// The Win32 entry point.
#include <windows.h>

#include "winmain.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR args, int show) {
  (void)previous;
  (void)show;
  return InstallerMain((void *)instance, args ? args : "");
}

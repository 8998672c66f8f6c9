/* Widget 2000, the example product: a program that says hello. Built by
   examples/build.sh with the cross compiler; WIDGET_VERSION tells the
   release apart from its update. */
#include <windows.h>

#ifndef WIDGET_VERSION
#define WIDGET_VERSION "1.0"
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR args, int show) {
  (void)instance;
  (void)previous;
  (void)args;
  (void)show;
  MessageBoxA(NULL, "Widget 2000 version " WIDGET_VERSION " is running.\n\nIt does not do much yet.", "Widget 2000",
              MB_OK | MB_ICONINFORMATION);
  return 0;
}

/* A library left beside a program by someone else: under whatever name it
   is given, loading it appends its own path to C:\planted-marker.txt. Built
   by tests/e2e/test_planted.py with the cross compiler and a .def file that
   gives it the exports of the library it stands in for (forwarded to the
   system's libraries, so that a program that loads it still runs). */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID unused) {
  (void)unused;
  if (reason == DLL_PROCESS_ATTACH) {
    char line[MAX_PATH + 2];
    DWORD length = GetModuleFileNameA(self, line, MAX_PATH);
    line[length++] = '\r';
    line[length++] = '\n';
    HANDLE file = CreateFileA("C:\\planted-marker.txt", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written;
      WriteFile(file, line, length, &written, NULL);
      CloseHandle(file);
    }
  }
  return TRUE;
}

/* InitCommonControls for a planted COMCTL32: nothing to do. */
void PlantedNothing(void) {}

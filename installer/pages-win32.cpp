// The process seam on Win32.
#include <windows.h>

#include "pages-sys.h"

int PagesStartProcess(const char *application, char *commandLine, uint32_t *error) {
  STARTUPINFOA startup;
  PROCESS_INFORMATION process;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  if (!CreateProcessA(application, commandLine, NULL, NULL, FALSE, NORMAL_PRIORITY_CLASS, NULL, NULL, &startup,
                      &process)) {
    *error = GetLastError();
    return 0;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 1;
}

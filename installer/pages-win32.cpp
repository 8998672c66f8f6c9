// The process seam on Win32.
#include <windows.h>

#include "pages-sys.h"
#include "wide-win32.h"

int PagesStartProcess(const char *application, char *commandLine, uint32_t *error) {
  STARTUPINFOW startup;
  PROCESS_INFORMATION process;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  WCHAR wideApplication[MAX_PATH];
  WCHAR *wideLine = WideAlloc(commandLine);
  BOOL started = wideLine != NULL && (application == NULL || WideFrom(application, wideApplication, MAX_PATH)) &&
                 CreateProcessW(application != NULL ? wideApplication : NULL, wideLine, NULL, NULL, FALSE,
                                NORMAL_PRIORITY_CLASS, NULL, NULL, &startup, &process);
  *error = started ? 0 : GetLastError();
  WideFree(wideLine);
  if (!started) {
    if (*error == 0) *error = ERROR_FILENAME_EXCED_RANGE;
    return 0;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 1;
}

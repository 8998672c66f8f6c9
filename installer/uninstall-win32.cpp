// The uninstaller's copy through KERNEL32.
#include <windows.h>

#include "uninstall-sys.h"

int UninstallSysStartCopy(const char *program, const char *arguments, int wait, uint32_t *exitCode) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
  // Held by the new process until it ends; then the system deletes the copy.
  HANDLE self = CreateFileA(program, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit, OPEN_EXISTING,
                            FILE_FLAG_DELETE_ON_CLOSE, NULL);
  // "program" arguments
  char line[2048];
  int length = 0;
  line[length++] = '"';
  for (const char *p = program; *p && length < (int)sizeof line - 4; p++) line[length++] = *p;
  line[length++] = '"';
  line[length++] = ' ';
  for (const char *p = arguments; *p && length < (int)sizeof line - 1; p++) line[length++] = *p;
  line[length] = 0;
  STARTUPINFOA startup;
  PROCESS_INFORMATION process;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  BOOL started = CreateProcessA(program, line, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process);
  if (self != INVALID_HANDLE_VALUE) CloseHandle(self);
  if (!started) return 0;
  DWORD code = 0;
  // Messages keep flowing while waiting: a program that broadcasts (a DDE
  // conversation's start does) would otherwise wait for this one.
  while (wait && MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
  if (wait && GetExitCodeProcess(process.hProcess, &code)) *exitCode = code;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 1;
}

int UninstallSysCopy(const char *from, const char *to) { return CopyFileA(from, to, FALSE) != 0; }

void UninstallSysSleep(uint32_t milliseconds) { Sleep(milliseconds); }

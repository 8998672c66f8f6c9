// The uninstaller's copy through KERNEL32.
#include <windows.h>
#undef MEM_FREE  // a memory-state flag of the system headers; the library has its own

#include <ntsecapi.h>
#include <string.h>

#include "uninstall-sys.h"
#include "vantor-core.h"

// 1 when the file's bytes are expected's size bytes.
static int Holds(HANDLE file, const char *expected, uint32_t size) {
  char piece[4096];
  DWORD read;
  uint32_t at = 0;
  while (ReadFile(file, piece, sizeof piece, &read, NULL) && read > 0) {
    if (read > size - at || memcmp(piece, expected + at, read) != 0) return 0;
    at += read;
  }
  return at == size;
}

int UninstallSysStartCopy(const char *program, const char *expected, uint32_t size, const char *arguments, int wait,
                          uint32_t *exitCode) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
  // Held by the new process until it ends; then the system deletes the copy.
  // Shared for reading only: from here on nobody may write, rename or delete
  // the file (the program's start reads it only).
  HANDLE self = CreateFileA(program, GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING,
                            FILE_FLAG_DELETE_ON_CLOSE, NULL);
  if (expected != NULL && (self == INVALID_HANDLE_VALUE || !Holds(self, expected, size))) {
    if (self != INVALID_HANDLE_VALUE) CloseHandle(self);
    return 0;
  }
  char line[2048];
  VantorFormat(line, (int)sizeof line, "\"%s\" %s", program, arguments);
  STARTUPINFOA startup;
  PROCESS_INFORMATION process;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  // It runs in its own folder, so that no folder it removes is its current one.
  char folder[MAX_PATH];
  lstrcpynA(folder, program, sizeof folder);
  char *cut = folder;
  for (char *p = folder; *p; p++)
    if (*p == '\\') cut = p;
  *cut = 0;
  BOOL started = CreateProcessA(program, line, NULL, NULL, TRUE, 0, NULL, folder[0] != 0 ? folder : NULL, &startup,
                                &process);
  if (self != INVALID_HANDLE_VALUE) CloseHandle(self);
  if (!started) return 0;
  // Nor does the waiting one keep the folder it was started in, which the
  // copy removes meanwhile.
  if (wait && folder[0] != 0) SetCurrentDirectoryA(folder);
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

int UninstallSysCopy(const char *from, const char *to) { return CopyFileA(from, to, TRUE) != 0; }

int UninstallSysRandom(void *buffer, uint32_t size) { return RtlGenRandom(buffer, size) != 0; }

typedef DWORD(WINAPI *LongPathName)(LPCSTR, LPSTR, DWORD);

void UninstallSysLongPath(const char *path, char *full, int size) {
  char absolute[MAX_PATH];
  DWORD length = GetFullPathNameA(path, sizeof absolute, absolute, NULL);
  if (length == 0 || length >= sizeof absolute) lstrcpynA(absolute, path, sizeof absolute);
  // Not on every system: looked up.
  void *entry = (void *)GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "GetLongPathNameA");
  length = entry != NULL ? ((LongPathName)entry)(absolute, full, (DWORD)size) : 0;
  if (length == 0 || length >= (DWORD)size) lstrcpynA(full, absolute, size);
}

void UninstallSysSleep(uint32_t milliseconds) { Sleep(milliseconds); }

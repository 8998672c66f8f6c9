// The uninstaller's copy through KERNEL32.
#include <windows.h>
#undef MEM_FREE  // a memory-state flag of the system headers; the library has its own

#include <ntsecapi.h>
#include <string.h>

#include "uninstall-sys.h"
#include "vantor-core.h"
#include "vantor-str.h"
#include "wide-win32.h"

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
  SECURITY_ATTRIBUTES inherit;
  inherit.nLength = sizeof inherit;
  inherit.lpSecurityDescriptor = NULL;
  inherit.bInheritHandle = TRUE;
  // Held by the new process until it ends; then the system deletes the copy.
  // Shared for reading only: from here on nobody may write, rename or delete
  // the file (the program's start reads it only).
  WCHAR wideProgram[MAX_PATH];
  if (!WideFrom(program, wideProgram, MAX_PATH)) return 0;
  HANDLE self = CreateFileW(wideProgram, GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING,
                            FILE_FLAG_DELETE_ON_CLOSE, NULL);
  if (expected != NULL && (self == INVALID_HANDLE_VALUE || !Holds(self, expected, size))) {
    if (self != INVALID_HANDLE_VALUE) CloseHandle(self);
    return 0;
  }
  char line[2048];
  VantorFormat(line, (int)sizeof line, "\"%s\" %s", program, arguments);
  WCHAR wideLine[2048];
  WideFrom(line, wideLine, 2048);
  STARTUPINFOW startup;
  PROCESS_INFORMATION process;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  // It runs in its own folder, so that no folder it removes is its current one.
  WCHAR folder[MAX_PATH];
  lstrcpyW(folder, wideProgram);
  WCHAR *cut = folder;
  for (WCHAR *p = folder; *p; p++)
    if (*p == '\\') cut = p;
  *cut = 0;
  BOOL started = CreateProcessW(wideProgram, wideLine, NULL, NULL, TRUE, 0, NULL, folder[0] != 0 ? folder : NULL,
                                &startup, &process);
  if (self != INVALID_HANDLE_VALUE) CloseHandle(self);
  if (!started) return 0;
  // Nor does the waiting one keep the folder it was started in, which the
  // copy removes meanwhile.
  if (wait && folder[0] != 0) SetCurrentDirectoryW(folder);
  DWORD code = 0;
  // Messages keep flowing while waiting: a program that broadcasts (a DDE
  // conversation's start does) would otherwise wait for this one.
  while (wait && MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG message;
    while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  if (wait && GetExitCodeProcess(process.hProcess, &code)) *exitCode = code;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 1;
}

int UninstallSysCopy(const char *from, const char *to) {
  WCHAR wideFrom[MAX_PATH], wideTo[MAX_PATH];
  WidePath(from, wideFrom);
  return CopyFileW(wideFrom, WidePath(to, wideTo), TRUE) != 0;
}

int UninstallSysRandom(void *buffer, uint32_t size) { return RtlGenRandom(buffer, size) != 0; }

typedef DWORD(WINAPI *LongPathName)(LPCWSTR, LPWSTR, DWORD);

void UninstallSysLongPath(const char *path, char *full, int size) {
  WCHAR wide[MAX_PATH], absolute[MAX_PATH], longPath[MAX_PATH];
  if (!WideFrom(path, wide, MAX_PATH)) {
    StrCopyN(full, path, size);
    return;
  }
  DWORD length = GetFullPathNameW(wide, MAX_PATH, absolute, NULL);
  if (length == 0 || length >= MAX_PATH) lstrcpyW(absolute, wide);
  // Not on every system: looked up.
  void *entry = (void *)GetProcAddress(GetModuleHandleW(L"KERNEL32.DLL"), "GetLongPathNameW");
  length = entry != NULL ? ((LongPathName)entry)(absolute, longPath, MAX_PATH) : 0;
  if (length == 0 || length >= MAX_PATH || !WideTo(longPath, full, size)) WideTo(absolute, full, size);
}

void UninstallSysSleep(uint32_t milliseconds) { Sleep(milliseconds); }

// The process seam over KERNEL32 and USER32: the product's side.
#include <windows.h>
#include <stdio.h>

#include "process-sys.h"

static HANDLE consoleHandle;
static SysMessageBoxHook messageBoxHook;

const char *SysCommandLine(void) { return GetCommandLineA(); }

int SysModulePath(char *out, int size) {
  DWORD length = GetModuleFileNameA(NULL, out, (DWORD)size);
  if (length > 0 && length < (DWORD)size) return 1;
  if (size > 0) out[0] = 0;
  return 0;
}

void SysConsoleOpen(const char *title) {
  AllocConsole();
  consoleHandle = GetStdHandle(STD_OUTPUT_HANDLE);
  SetConsoleTitleA(title);
}

void SysConsoleWrite(const char *text, int length) {
  DWORD written;
  if (consoleHandle != NULL && consoleHandle != INVALID_HANDLE_VALUE)
    WriteFile(consoleHandle, text, (DWORD)length, &written, NULL);
}

void SysSetMessageBoxHook(SysMessageBoxHook hook) { messageBoxHook = hook; }

int SysMessageBox(void *owner, const char *text, const char *caption, uint32_t style) {
  if (messageBoxHook) return messageBoxHook(owner, text, caption, style);
  return MessageBoxA((HWND)owner, text, caption, style);
}

int SysLogTruncate(const char *path) {
  FILE *f = fopen(path, "wt");
  if (f == NULL) return 0;
  fclose(f);
  return 1;
}

int SysLogAppend(const char *path, const char *text) {
  FILE *f = fopen(path, "at+");
  if (f == NULL) return 0;
  fputs(text, f);
  fclose(f);
  return 1;
}

int SysLockTake(const char *name) {
  HANDLE mutex = CreateMutexA(NULL, TRUE, name);
  if (mutex == NULL) return -1;
  if (GetLastError() != ERROR_ALREADY_EXISTS) return 1;  // kept open until the process ends
  CloseHandle(mutex);
  return 0;
}

void *SysHeapAlloc(int size) { return HeapAlloc(GetProcessHeap(), 0, (SIZE_T)size); }
void SysHeapFree(void *block) { HeapFree(GetProcessHeap(), 0, block); }

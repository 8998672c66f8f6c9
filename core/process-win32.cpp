// The process seam over KERNEL32 and USER32: the product's side. Texts cross
// to the system as UTF-16 (wide-win32.h).
#include <windows.h>
#include <stdio.h>

#include "process-sys.h"
#include "wide-win32.h"

static HANDLE consoleHandle;
static SysMessageBoxHook messageBoxHook;

// The command line in UTF-8, converted once: the system's line is at most
// 32,767 characters, each at most 3 bytes here (a pair of surrogates is 4).
static char commandLine[32768 * 3];

const char *SysCommandLine(void) {
  if (commandLine[0] == 0) {
    const WCHAR *line = GetCommandLineW();
    WideTo(line != NULL ? line : L"", commandLine, (int)sizeof commandLine);
  }
  return commandLine;
}

int SysModulePath(char *out, int size) {
  WCHAR wide[MAX_PATH + 1];
  DWORD length = GetModuleFileNameW(NULL, wide, MAX_PATH + 1);
  if (length > 0 && length <= MAX_PATH && WideTo(wide, out, size)) return 1;
  if (size > 0) out[0] = 0;
  return 0;
}

const WCHAR *WidePath(const char *path, WCHAR *wide) {
  if (!WideFrom(path, wide, MAX_PATH)) wide[0] = 0;
  return wide;
}

WCHAR *WideAlloc(const char *text) {
  int size = lstrlenA(text) + 1;  // a UTF-16 text never has more units than its UTF-8 bytes
  WCHAR *wide = (WCHAR *)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)size * sizeof(WCHAR));
  if (wide != NULL) WideFrom(text, wide, size);
  return wide;
}

void WideFree(WCHAR *wide) {
  if (wide != NULL) HeapFree(GetProcessHeap(), 0, wide);
}

void SysConsoleOpen(const char *title) {
  AllocConsole();
  SetConsoleOutputCP(CP_UTF8);  // the log's bytes are UTF-8, whatever the machine's console code page
  consoleHandle = GetStdHandle(STD_OUTPUT_HANDLE);
  WCHAR wide[MAX_PATH];
  WideFrom(title, wide, MAX_PATH);
  SetConsoleTitleW(wide);
}

void SysConsoleWrite(const char *text, int length) {
  DWORD written;
  if (consoleHandle != NULL && consoleHandle != INVALID_HANDLE_VALUE)
    WriteFile(consoleHandle, text, (DWORD)length, &written, NULL);
}

void SysSetMessageBoxHook(SysMessageBoxHook hook) { messageBoxHook = hook; }

int SysMessageBox(void *owner, const char *text, const char *caption, uint32_t style) {
  if (messageBoxHook) return messageBoxHook(owner, text, caption, style);
  WCHAR *wideText = WideAlloc(text), *wideCaption = WideAlloc(caption);
  int answer = MessageBoxW((HWND)owner, wideText != NULL ? wideText : L"", wideCaption, style);
  WideFree(wideText);
  WideFree(wideCaption);
  return answer;
}

// The texts' own bytes (UTF-8) in text mode, each "\n" written as CR LF.
int SysLogTruncate(const char *path) {
  WCHAR wide[MAX_PATH];
  FILE *f = _wfopen(WidePath(path, wide), L"wt");
  if (f == NULL) return 0;
  fclose(f);
  return 1;
}

int SysLogAppend(const char *path, const char *text) {
  WCHAR wide[MAX_PATH];
  FILE *f = _wfopen(WidePath(path, wide), L"at+");
  if (f == NULL) return 0;
  fputs(text, f);
  fclose(f);
  return 1;
}

int SysLockTake(const char *name) {
  WCHAR wide[MAX_PATH];
  WideFrom(name, wide, MAX_PATH);
  HANDLE mutex = CreateMutexW(NULL, TRUE, wide);
  if (mutex == NULL) return -1;
  if (GetLastError() != ERROR_ALREADY_EXISTS) return 1;  // kept open until the process ends
  CloseHandle(mutex);
  return 0;
}

void *SysHeapAlloc(int size) { return HeapAlloc(GetProcessHeap(), 0, (SIZE_T)size); }
void SysHeapFree(void *block) { HeapFree(GetProcessHeap(), 0, block); }

// The process seam: the few things the core services need from the system.
// process-win32.cpp is the product (KERNEL32/USER32); process-standin.cpp is
// the stand-in the native build runs on (process-standin.h). Every seam has
// this shape: NAME-sys.h with the system operations only, NAME-win32.cpp
// beside it, standin/NAME-standin.cpp and its test controls in
// standin/NAME-standin.h, and every decision in shared code.
#ifndef VANTOR_PROCESS_SYS_H
#define VANTOR_PROCESS_SYS_H

#include <stdint.h>

// Message-box styles and answers, with the Win32 values.
#define SYS_MB_OK           0x00000000u
#define SYS_MB_YESNO        0x00000004u
#define SYS_MB_RETRYCANCEL  0x00000005u
#define SYS_MB_ICONSTOP     0x00000010u
#define SYS_MB_ICONQUESTION 0x00000020u
#define SYS_MB_ICONEXCLAMATION 0x00000030u
#define SYS_MB_ICONINFORMATION 0x00000040u
#define SYS_IDOK  1
#define SYS_IDCANCEL 2
#define SYS_IDRETRY 4
#define SYS_IDYES 6
#define SYS_IDNO  7

// The full process command line (GetCommandLineW).
const char *SysCommandLine(void);
// The file of the running program as the system reports it
// (GetModuleFileNameW) into out of size bytes: 1; 0 with out empty when it
// does not fit or is not known.
int SysModulePath(char *out, int size);

// Opens a console window titled title (AllocConsole, SetConsoleTitleW) and
// keeps its standard-output handle; writes bytes to it as they are.
void SysConsoleOpen(const char *title);
void SysConsoleWrite(const char *text, int length);

// A message box; owner may be NULL. Returns the button pressed (SYS_IDOK...).
int SysMessageBox(void *owner, const char *text, const char *caption, uint32_t style);

// The log file: empty it, or append a text (its bytes as they are, UTF-8)
// with every "\n" written as CR LF. Failures are ignored; 1 when the file was written.
int SysLogTruncate(const char *path);
int SysLogAppend(const char *path, const char *text);

// Process heap.
// Takes the lock called name (a named mutex, held until the process ends):
// 1 when this process holds it now, 0 when another process holds it, -1 when
// the system could not make it (then nobody can tell).
int SysLockTake(const char *name);

void *SysHeapAlloc(int size);
void SysHeapFree(void *block);

// A hook that replaces every message box, for test programs: when set, it is
// called instead of showing the box and its answer is returned.
typedef int (*SysMessageBoxHook)(void *owner, const char *text, const char *caption, uint32_t style);
void SysSetMessageBoxHook(SysMessageBoxHook hook);

#endif

// The process seam's POSIX stand-in for the native build: the command line
// comes from a test, the console is standard output, message boxes
// are recorded for tests and answered by the hook, or else printed to standard
// error and answered with OK/Yes; the log file gets CR LF line ends as on Windows.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "process-standin.h"
#include "process-sys.h"

static char commandLine[4096] = "install.exe";
static int consoleOpen;
static SysMessageBoxHook messageBoxHook;
static SysBoxRecord boxes[SYS_STANDIN_BOX_HISTORY];
static int boxCount;

void SysStandInSetCommandLine(const char *line) {
  snprintf(commandLine, sizeof(commandLine), "%s", line);
}

const char *SysCommandLine(void) { return commandLine; }

static char modulePath[4096];

void SysStandInSetModulePath(const char *path) { snprintf(modulePath, sizeof modulePath, "%s", path ? path : ""); }

int SysModulePath(char *out, int size) {
  if (size < 1) return 0;
  out[0] = 0;
  if (modulePath[0] == 0 || strlen(modulePath) >= (size_t)size) return 0;
  strcpy(out, modulePath);
  return 1;
}

void SysConsoleOpen(const char *title) {
  consoleOpen = 1;
  (void)title;
}

void SysConsoleWrite(const char *text, int length) {
  if (consoleOpen) fwrite(text, 1, (size_t)length, stdout), fflush(stdout);
}

int SysStandInConsoleOpen(void) { return consoleOpen; }

void SysSetMessageBoxHook(SysMessageBoxHook hook) { messageBoxHook = hook; }

int SysMessageBox(void *owner, const char *text, const char *caption, uint32_t style) {
  SysBoxRecord *box = &boxes[boxCount % SYS_STANDIN_BOX_HISTORY];
  box->owner = owner;
  snprintf(box->text, sizeof(box->text), "%s", text ? text : "");
  snprintf(box->caption, sizeof(box->caption), "%s", caption ? caption : "");
  box->style = style;
  boxCount++;
  if (messageBoxHook) return messageBoxHook(owner, text, caption, style);
  fprintf(stderr, "[message box] %s: %s\n", box->caption, box->text);
  return (style & 0xF) == SYS_MB_YESNO ? SYS_IDYES : SYS_IDOK;
}

int SysStandInBoxCount(void) { return boxCount; }
const SysBoxRecord *SysStandInLastBox(void) {
  static const SysBoxRecord none = {NULL, "", "", 0};
  return boxCount > 0 ? &boxes[(boxCount - 1) % SYS_STANDIN_BOX_HISTORY] : &none;
}

const SysBoxRecord *SysStandInBox(int index) {
  if (index < 0 || index >= boxCount || index < boxCount - SYS_STANDIN_BOX_HISTORY) return NULL;
  return &boxes[index % SYS_STANDIN_BOX_HISTORY];
}

int SysLogTruncate(const char *path) {
  FILE *f = fopen(path, "w");
  if (f == NULL) return 0;
  fclose(f);
  return 1;
}

int SysLogAppend(const char *path, const char *text) {
  FILE *f = fopen(path, "ab");
  if (f == NULL) return 0;
  for (const char *p = text; *p; p++) {
    if (*p == '\n') fputc('\r', f);
    fputc(*p, f);
  }
  fclose(f);
  return 1;
}

static int largestBlock;

int SysStandInLargestBlock(int reset) {
  int largest = largestBlock;
  if (reset) largestBlock = 0;
  return largest;
}

// A guarded block hands its caller the address 4 bytes past the block's
// start. On the 64-bit native build pointers want 8-byte alignment, so the
// stand-in places every block 12 bytes into an aligned allocation: the caller's
// address is then aligned as the system's allocator would align it.
void *SysHeapAlloc(int size) {
  if (size > largestBlock) largestBlock = size;
  unsigned char *p = (unsigned char *)malloc((size_t)size + 12);
  return p ? p + 12 : NULL;
}
void SysHeapFree(void *block) {
  if (block) free((unsigned char *)block - 12);
}

static char heldLock[512];
static char otherLock[512];

void SysStandInSetLockHeld(const char *name) {
  snprintf(otherLock, sizeof otherLock, "%s", name ? name : "");
  heldLock[0] = 0;
}

const char *SysStandInLockTaken(void) { return heldLock; }

int SysLockTake(const char *name) {
  if (otherLock[0] != 0 && strcmp(name, otherLock) == 0) return 0;
  snprintf(heldLock, sizeof heldLock, "%s", name);
  return 1;
}

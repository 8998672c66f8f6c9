// The target machine through the standard library and KERNEL32/USER32.
#include <windows.h>

#include <stdio.h>

#include "target-sys.h"

int TargetSysCreate(const char *path, void **file) {
  *file = fopen(path, "wb");
  return *file != NULL;
}

static DWORD writeError;

uint32_t TargetSysWrite(void *file, const void *data, uint32_t size) {
  SetLastError(0);
  uint32_t written = (uint32_t)fwrite(data, 1, size, (FILE *)file);
  writeError = GetLastError();
  return written;
}

void TargetSysClose(void *file) { fclose((FILE *)file); }

int TargetSysDelete(const char *path) { return DeleteFileA(path) != 0; }

uint32_t TargetSysWriteError(char *text, int size) {
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, writeError, 0, text,
                                (DWORD)size, NULL);
  if (length == 0 && size > 0) text[0] = 0;
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n')) text[--length] = 0;
  return (uint32_t)writeError;
}

int TargetSysDirExists(const char *path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

int TargetSysCreateDir(const char *path) { return CreateDirectoryA(path, NULL) != 0; }

int TargetSysOpenRead(const char *path, void **file, uint32_t *size) {
  FILE *f = fopen(path, "rb");
  *file = f;
  *size = 0;
  if (f == NULL) return 0;
  long length = fseek(f, 0, SEEK_END) == 0 ? ftell(f) : -1;
  fseek(f, 0, SEEK_SET);
  *size = length > 0 ? (uint32_t)length : 0;
  return 1;
}

uint32_t TargetSysRead(void *file, void *data, uint32_t size) { return (uint32_t)fread(data, 1, size, (FILE *)file); }

uint32_t TargetSysRemoveFile(const char *path) { return DeleteFileA(path) ? 0 : (uint32_t)GetLastError(); }

int TargetSysRemoveDir(const char *path) { return RemoveDirectoryA(path) != 0; }

int TargetSysIsLink(const char *path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

int TargetSysLoadKernel(void **library, uint32_t *error) {
  HMODULE module = LoadLibraryA("KERNEL32.DLL");
  *library = (void *)module;
  *error = module == NULL ? (uint32_t)GetLastError() : 0;
  return module != NULL;
}

void TargetSysFreeKernel(void *library) { FreeLibrary((HMODULE)library); }

int TargetSysFindFreeSpaceEx(void *library, void **entry) {
  *entry = (void *)GetProcAddress((HMODULE)library, "GetDiskFreeSpaceExA");
  return *entry != NULL;
}

typedef BOOL(WINAPI *FreeSpaceEx)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

int TargetSysFreeSpaceEx(void *entry, const char *root, uint64_t *available, uint64_t *total,
                         uint64_t *totalFree) {
  ULARGE_INTEGER a, t, f;
  if (!((FreeSpaceEx)entry)(root, &a, &t, &f)) return 0;
  *available = a.QuadPart;
  *total = t.QuadPart;
  *totalFree = f.QuadPart;
  return 1;
}

int TargetSysFreeSpace(const char *root, uint32_t *sectorsPerCluster, uint32_t *bytesPerSector,
                       uint32_t *freeClusters, uint32_t *totalClusters) {
  DWORD s, b, f, t;
  if (!GetDiskFreeSpaceA(root, &s, &b, &f, &t)) return 0;
  *sectorsPerCluster = s;
  *bytesPerSector = b;
  *freeClusters = f;
  *totalClusters = t;
  return 1;
}

void TargetSysInvalidate(void *window) { InvalidateRect((HWND)window, NULL, TRUE); }

// One writing thread at a time: what it runs waits here for it.
static void (*threadRun)(void *);
static void *threadContext;

static DWORD WINAPI ThreadStart(LPVOID unused) {
  (void)unused;
  threadRun(threadContext);
  return 0;
}

int TargetSysThreadStart(void (*run)(void *), void *context, void **thread) {
  threadRun = run;
  threadContext = context;
  *thread = (void *)CreateThread(NULL, 0, ThreadStart, NULL, 0, NULL);
  return *thread != NULL;
}

void TargetSysThreadJoin(void *thread) {
  WaitForSingleObject((HANDLE)thread, INFINITE);
  CloseHandle((HANDLE)thread);
}

void *TargetSysSemaphore(int count) { return (void *)CreateSemaphoreA(NULL, count, 0x7fffffff, NULL); }
void TargetSysSemaphoreWait(void *semaphore) { WaitForSingleObject((HANDLE)semaphore, INFINITE); }
void TargetSysSemaphorePost(void *semaphore) { ReleaseSemaphore((HANDLE)semaphore, 1, NULL); }
void TargetSysSemaphoreClose(void *semaphore) { CloseHandle((HANDLE)semaphore); }

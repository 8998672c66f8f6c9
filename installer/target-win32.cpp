// The target machine through KERNEL32/USER32. Files are system handles
// written without a buffer of the program's own, so every write and every
// close reports its own failure. Paths are UTF-8 here and UTF-16 at the
// system; one that does not fit MAX_PATH characters is refused (wide-win32.h).
#include <windows.h>
#include <restartmanager.h>

#include "syslib-win32.h"
#include "target-sys.h"
#include "wide-win32.h"

int TargetSysCreate(const char *path, void **file) {
  WCHAR wide[MAX_PATH];
  HANDLE handle = CreateFileW(WidePath(path, wide), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  *file = handle != INVALID_HANDLE_VALUE ? (void *)handle : NULL;
  return *file != NULL;
}

uint32_t TargetSysWrite(void *file, const void *data, uint32_t size) {
  const char *bytes = (const char *)data;
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile((HANDLE)file, bytes, size, &written, NULL)) {
      DWORD error = GetLastError();
      return error != 0 ? (uint32_t)error : ERROR_WRITE_FAULT;
    }
    // A write that succeeds without taking a byte makes no progress: the
    // disk has no room for it.
    if (written == 0) return ERROR_DISK_FULL;
    bytes += written;
    size -= written;
  }
  return 0;
}

uint32_t TargetSysClose(void *file) {
  if (CloseHandle((HANDLE)file)) return 0;
  DWORD error = GetLastError();
  return error != 0 ? (uint32_t)error : ERROR_WRITE_FAULT;
}

uint32_t TargetSysFlush(void *file) { return FlushFileBuffers((HANDLE)file) ? 0 : (uint32_t)GetLastError(); }

int TargetSysDelete(const char *path) {
  WCHAR wide[MAX_PATH];
  return DeleteFileW(WidePath(path, wide)) != 0;
}

uint32_t TargetSysReplace(const char *from, const char *to) {
  WCHAR wideFrom[MAX_PATH], wideTo[MAX_PATH];
  WidePath(from, wideFrom);
  WidePath(to, wideTo);
  if (MoveFileExW(wideFrom, wideTo, MOVEFILE_REPLACE_EXISTING)) return 0;
  DWORD error = GetLastError();
  if (error == ERROR_CALL_NOT_IMPLEMENTED) {
    DeleteFileW(wideTo);
    if (MoveFileW(wideFrom, wideTo)) return 0;
    error = GetLastError();
  }
  return error != 0 ? (uint32_t)error : ERROR_ACCESS_DENIED;
}

int TargetSysAtRestart(const char *from, const char *to) {
  WCHAR wideFrom[MAX_PATH], wideTo[MAX_PATH];
  return MoveFileExW(WidePath(from, wideFrom), to != NULL ? WidePath(to, wideTo) : NULL,
                     MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) != 0;
}

typedef DWORD(WINAPI *RmStart)(DWORD *, DWORD, WCHAR *);
typedef DWORD(WINAPI *RmRegister)(DWORD, UINT, LPCWSTR *, UINT, RM_UNIQUE_PROCESS *, UINT, LPCWSTR *);
typedef DWORD(WINAPI *RmList)(DWORD, UINT *, UINT *, RM_PROCESS_INFO *, LPDWORD);
typedef DWORD(WINAPI *RmEnd)(DWORD);

#define HOLDERS 4  // the programs named at most

int TargetSysHolders(const char *path, char *names, int size) {
  void *rm[4];
  WCHAR wide[MAX_PATH], key[CCH_RM_SESSION_KEY + 1];
  DWORD session, reasons;
  names[0] = 0;
  if (!SysLibraryEntries("rstrtmgr", "RmStartSession\0RmRegisterResources\0RmGetList\0RmEndSession\0", rm) ||
      ((RmStart)rm[0])(&session, 0, key) != ERROR_SUCCESS)
    return 0;
  LPCWSTR files[1] = {WidePath(path, wide)};
  RM_PROCESS_INFO found[HOLDERS];
  UINT needed = 0, count = HOLDERS;
  if (((RmRegister)rm[1])(session, 1, files, 0, NULL, 0, NULL) == ERROR_SUCCESS &&
      ((RmList)rm[2])(session, &needed, &count, found, &reasons) == ERROR_SUCCESS) {
    for (UINT i = 0; i < count && i < HOLDERS; i++) {
      int length = lstrlenA(names);
      if (length > 0 && length + 3 >= size) break;  // no room for another name: the names so far
      if (length > 0) lstrcpyA(names + length, ", "), length += 2;
      WideTo(found[i].strAppName, names + length, size - length);
    }
  }
  ((RmEnd)rm[3])(session);
  return names[0] != 0;
}

void TargetSysErrorText(uint32_t code, char *text, int size) {
  WCHAR wide[512];
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code, 0, wide,
                                512, NULL);
  if (size < 1) return;
  text[0] = 0;
  if (length > 0) WideTo(wide, text, size);
  length = (DWORD)lstrlenA(text);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n')) text[--length] = 0;
}

static DWORD Attributes(const char *path) {
  WCHAR wide[MAX_PATH];
  return GetFileAttributesW(WidePath(path, wide));
}

int TargetSysDirExists(const char *path) {
  DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

int TargetSysCreateDir(const char *path) {
  WCHAR wide[MAX_PATH];
  return CreateDirectoryW(WidePath(path, wide), NULL) != 0;
}

int TargetSysOpenRead(const char *path, void **file, uint32_t *size) {
  WCHAR wide[MAX_PATH];
  HANDLE handle = CreateFileW(WidePath(path, wide), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
  *file = handle != INVALID_HANDLE_VALUE ? (void *)handle : NULL;
  *size = 0;
  if (*file == NULL) return 0;
  DWORD high = 0, length = GetFileSize(handle, &high);
  *size = high != 0 ? 0xFFFFFFFFu : (uint32_t)length;  // 4 GiB and beyond: more than any reader takes
  return 1;
}

uint32_t TargetSysRead(void *file, void *data, uint32_t size) {
  DWORD read = 0;
  if (!ReadFile((HANDLE)file, data, size, &read, NULL)) return 0;
  return (uint32_t)read;
}

uint32_t TargetSysRemoveFile(const char *path) {
  WCHAR wide[MAX_PATH];
  return DeleteFileW(WidePath(path, wide)) ? 0 : (uint32_t)GetLastError();
}

int TargetSysRemoveDir(const char *path) {
  WCHAR wide[MAX_PATH];
  return RemoveDirectoryW(WidePath(path, wide)) != 0;
}

int TargetSysFileExists(const char *path) {
  DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return 0;
  return (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? 2 : 1;
}

int TargetSysIsLink(const char *path) {
  DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

int TargetSysLoadKernel(void **library, uint32_t *error) {
  HMODULE module = LoadLibraryW(L"KERNEL32.DLL");
  *library = (void *)module;
  *error = module == NULL ? (uint32_t)GetLastError() : 0;
  return module != NULL;
}

void TargetSysFreeKernel(void *library) { FreeLibrary((HMODULE)library); }

int TargetSysFindFreeSpaceEx(void *library, void **entry) {
  *entry = (void *)GetProcAddress((HMODULE)library, "GetDiskFreeSpaceExW");
  return *entry != NULL;
}

typedef BOOL(WINAPI *FreeSpaceEx)(LPCWSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

int TargetSysFreeSpaceEx(void *entry, const char *root, uint64_t *available, uint64_t *total,
                         uint64_t *totalFree) {
  ULARGE_INTEGER a, t, f;
  WCHAR wide[MAX_PATH];
  if (!((FreeSpaceEx)entry)(WidePath(root, wide), &a, &t, &f)) return 0;
  *available = a.QuadPart;
  *total = t.QuadPart;
  *totalFree = f.QuadPart;
  return 1;
}

int TargetSysFreeSpace(const char *root, uint32_t *sectorsPerCluster, uint32_t *bytesPerSector,
                       uint32_t *freeClusters, uint32_t *totalClusters) {
  DWORD s, b, f, t;
  WCHAR wide[MAX_PATH];
  if (!GetDiskFreeSpaceW(WidePath(root, wide), &s, &b, &f, &t)) return 0;
  *sectorsPerCluster = s;
  *bytesPerSector = b;
  *freeClusters = f;
  *totalClusters = t;
  return 1;
}

void TargetSysInvalidate(void *window) { InvalidateRect((HWND)window, NULL, TRUE); }

// What a new thread runs, in a block of its own: the file queue's writer
// and a solid block's unpacking may start close together.
struct ThreadRun {
  void (*run)(void *);
  void *context;
};

static DWORD WINAPI ThreadStart(LPVOID start) {
  ThreadRun what = *(ThreadRun *)start;
  HeapFree(GetProcessHeap(), 0, start);
  what.run(what.context);
  return 0;
}

int TargetSysThreadStart(void (*run)(void *), void *context, void **thread) {
  ThreadRun *start = (ThreadRun *)HeapAlloc(GetProcessHeap(), 0, sizeof(ThreadRun));
  *thread = NULL;
  if (start == NULL) return 0;
  start->run = run;
  start->context = context;
  *thread = (void *)CreateThread(NULL, 0, ThreadStart, start, 0, NULL);
  if (*thread == NULL) HeapFree(GetProcessHeap(), 0, start);
  return *thread != NULL;
}

void TargetSysThreadJoin(void *thread) {
  WaitForSingleObject((HANDLE)thread, INFINITE);
  CloseHandle((HANDLE)thread);
}

void *TargetSysSemaphore(int count) { return (void *)CreateSemaphoreW(NULL, count, 0x7fffffff, NULL); }
void TargetSysSemaphoreWait(void *semaphore) { WaitForSingleObject((HANDLE)semaphore, INFINITE); }
void TargetSysSemaphorePost(void *semaphore) { ReleaseSemaphore((HANDLE)semaphore, 1, NULL); }
void TargetSysSemaphoreClose(void *semaphore) { CloseHandle((HANDLE)semaphore); }

// The target machine through the standard library and KERNEL32/USER32.
#include <windows.h>

#include <dirent.h>
#include <stdio.h>

#include "target-sys.h"

int TargetSysCreate(const char *path, void **file) {
  *file = fopen(path, "wb");
  return *file != NULL;
}

uint32_t TargetSysWrite(void *file, const void *data, uint32_t size) {
  return (uint32_t)fwrite(data, 1, size, (FILE *)file);
}

void TargetSysClose(void *file) { fclose((FILE *)file); }

int TargetSysDirExists(const char *path) {
  DIR *listing = opendir(path);
  if (listing == NULL) return 0;
  closedir(listing);
  return 1;
}

int TargetSysCreateDir(const char *path) { return CreateDirectoryA(path, NULL) != 0; }

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

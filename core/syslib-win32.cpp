// System libraries from the system directory only (syslib-win32.h).
#include "syslib-win32.h"

#include <string.h>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

// Libraries that the system's libraries load by name (at start-up, for the
// first window, for the shell, the registry's security or the compatibility
// layer) and that are not known libraries on every system.
static const char preload[] =
    "uxtheme\0dwmapi\0version\0apphelp\0userenv\0profapi\0setupapi\0propsys\0cryptbase\0ntmarta\0oleacc\0clbcatq\0";

HMODULE SysLibraryLoad(const char *name) {
  WCHAR path[MAX_PATH + 16];
  UINT length = GetSystemDirectoryW(path, MAX_PATH);
  size_t size = strlen(name) + 1;
  if (length == 0 || length >= MAX_PATH || length + 1 + size > sizeof path / sizeof path[0]) return NULL;
  path[length] = '\\';
  for (size_t i = 0; i < size; i++) path[length + 1 + i] = (WCHAR)(unsigned char)name[i];  // names are ASCII
  return LoadLibraryExW(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}

int SysLibraryEntries(const char *name, const char *names, void **entries) {
  HMODULE library = SysLibraryLoad(name);
  if (library == NULL) return 0;
  for (; *names != 0; names += strlen(names) + 1)
    if ((*entries++ = (void *)GetProcAddress(library, names)) == NULL) return 0;
  return 1;
}

void SysLibrariesFromSystemOnly(void) {
  typedef BOOL(WINAPI * SetDirectories)(DWORD);
  SetDirectories set =
      (SetDirectories)(void *)GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "SetDefaultDllDirectories");
  if (set != NULL && set(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  for (const char *name = preload; *name != 0; name += strlen(name) + 1) SysLibraryLoad(name);
}

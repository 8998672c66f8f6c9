// A self-registering library for the tests of OLE registration: each entry
// point appends its name to "selfreg.log" beside the library, and answers
// E_FAIL instead of S_OK while a file "selfreg.fail" lies there too.
#include <windows.h>
#include <stdio.h>
#include <string.h>

static HMODULE self;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) self = instance;
  return TRUE;
}

// path of name in the library's own folder
static void Beside(const char *name, char *path, size_t size) {
  GetModuleFileNameA(self, path, (DWORD)size);
  char *slash = strrchr(path, '\\');
  size_t at = slash ? (size_t)(slash - path) + 1 : 0;
  snprintf(path + at, size - at, "%s", name);
}

static HRESULT Record(const char *entry) {
  char path[MAX_PATH + 32];
  Beside("selfreg.log", path, sizeof path);
  FILE *f = fopen(path, "ab");
  if (f) {
    fprintf(f, "%s\n", entry);
    fclose(f);
  }
  Beside("selfreg.fail", path, sizeof path);
  return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES ? S_OK : E_FAIL;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer(void) { return Record("DllRegisterServer"); }
extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer(void) {
  return Record("DllUnregisterServer");
}

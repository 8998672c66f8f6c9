// The shell seam over OLE32, the DDE management library, KERNEL32's library
// loading and GDI32's font table.
#include <windows.h>
#include <ddeml.h>
#include <ole2.h>

#include "shell.h"

// Client conversations only: completions of the asynchronous executes and
// every other notification are answered with no data.
HDDEDATA CALLBACK DdeCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return 0; }

int ShellOleInit(void) { return OleInitialize(NULL) == S_OK; }
void ShellOleRemove(void) { OleUninitialize(); }

int ShellDdeInit(uint32_t *instance) {
  DWORD id = 0;
  if (DdeInitializeA(&id, DdeCallback, SHELL_DDE_FLAGS, 0) != DMLERR_NO_ERROR) {
    *instance = 0;
    return 0;
  }
  *instance = id;
  return 1;
}

void ShellDdeRemove(uint32_t instance) { DdeUninitialize(instance); }

void *ShellDdeConnect(uint32_t instance, const char *service, const char *topic) {
  HSZ serviceName = DdeCreateStringHandleA(instance, service, CP_WINANSI);
  HSZ topicName = DdeCreateStringHandleA(instance, topic, CP_WINANSI);
  HCONV conversation = NULL;
  if (serviceName != NULL && topicName != NULL) conversation = DdeConnect(instance, serviceName, topicName, NULL);
  if (serviceName != NULL) DdeFreeStringHandle(instance, serviceName);
  if (topicName != NULL) DdeFreeStringHandle(instance, topicName);
  return conversation;
}

void ShellDdeDisconnect(void *conversation) { DdeDisconnect((HCONV)conversation); }

int ShellDdeExecute(void *conversation, const char *command) {
  DWORD length = (DWORD)lstrlenA(command) + 1;
  return DdeClientTransaction((LPBYTE)command, length, (HCONV)conversation, NULL, CF_TEXT, XTYP_EXECUTE,
                              TIMEOUT_ASYNC, NULL) != 0;
}

int ShellLibraryLoad(const char *path, void **library, uint32_t *error) {
  HMODULE module = LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
  *error = module == NULL ? GetLastError() : 0;
  *library = module;
  return module != NULL;
}

int ShellLibraryEntry(void *library, const char *name, void **entry) {
  *entry = (void *)GetProcAddress((HMODULE)library, name);
  return *entry != NULL;
}

int32_t ShellLibraryCall(void *entry) {
  typedef HRESULT(STDAPICALLTYPE * EntryPoint)(void);
  return ((EntryPoint)entry)();
}

void ShellLibraryFree(void *library) { FreeLibrary((HMODULE)library); }

int ShellFontAdd(const char *path, uint32_t *error) {
  int added = AddFontResourceA(path);
  *error = added == 0 ? GetLastError() : 0;
  return added;
}

int ShellFontRemove(const char *path, uint32_t *error) {
  BOOL removed = RemoveFontResourceA(path);
  *error = removed ? 0 : GetLastError();
  return removed != 0;
}

void ShellFontChanged(void) { SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0); }

void ShellBringToTop(void *window) { BringWindowToTop((HWND)window); }

// The shell seam over OLE32, the DDE management library, KERNEL32's library
// loading and GDI32's font table.
#include <windows.h>
#include <ddeml.h>
#include <ole2.h>
#include <shlobj.h>

#include "shell-sys.h"

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

// Every top-level window hears of the change; one that does not answer (a
// hung program) is given up after two seconds instead of holding the
// installer for ever.
void ShellFontChanged(void) {
  SendMessageTimeoutA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG | SMTO_NORMAL, 2000, NULL);
}

void ShellBringToTop(void *window) { BringWindowToTop((HWND)window); }

int ShellProgramsFolder(char *folder, int size) {
  char path[MAX_PATH];
  if (!SHGetSpecialFolderPathA(NULL, path, CSIDL_PROGRAMS, TRUE) || lstrlenA(path) >= size) return 0;
  lstrcpyA(folder, path);
  return 1;
}

int ShellMakeFolder(const char *path) {
  return CreateDirectoryA(path, NULL) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// The identifiers of the shortcut object and its two interfaces, defined here:
// the system library that defines them defines every identifier in one
// object, 41 KB that the program would carry for these three.
static const GUID kClsidShellLink = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const GUID kIidShellLinkA = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const GUID kIidPersistFile = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

int ShellSaveLink(const char *linkPath, const char *target, const char *arguments, const char *description) {
  WCHAR wide[MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, wide, MAX_PATH) == 0) return 0;
  IShellLinkA *link = NULL;
  if (FAILED(CoCreateInstance(kClsidShellLink, NULL, CLSCTX_INPROC_SERVER, kIidShellLinkA, (void **)&link)))
    return 0;
  IPersistFile *file = NULL;
  int saved = SUCCEEDED(link->SetPath(target)) && (arguments[0] == 0 || SUCCEEDED(link->SetArguments(arguments))) &&
              SUCCEEDED(link->SetDescription(description)) &&
              SUCCEEDED(link->QueryInterface(kIidPersistFile, (void **)&file)) &&
              SUCCEEDED(file->Save(wide, TRUE));
  if (file != NULL) file->Release();
  link->Release();
  return saved;
}

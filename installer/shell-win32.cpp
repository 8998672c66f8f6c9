// The shell seam over OLE32, the DDE management library, KERNEL32's library
// loading and GDI32's font table.
#include <windows.h>
#include <ddeml.h>
#include <ole2.h>
#include <shlobj.h>

#include "shell-sys.h"
#include "wide-win32.h"

// Client conversations only: completions of the asynchronous executes and
// every other notification are answered with no data.
HDDEDATA CALLBACK DdeCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return 0; }

int ShellOleInit(void) { return OleInitialize(NULL) == S_OK; }
void ShellOleRemove(void) { OleUninitialize(); }

int ShellDdeInit(uint32_t *instance) {
  DWORD id = 0;
  if (DdeInitializeW(&id, DdeCallback, SHELL_DDE_FLAGS, 0) != DMLERR_NO_ERROR) {
    *instance = 0;
    return 0;
  }
  *instance = id;
  return 1;
}

void ShellDdeRemove(uint32_t instance) { DdeUninitialize(instance); }

void *ShellDdeConnect(uint32_t instance, const char *service, const char *topic) {
  WCHAR wideService[MAX_PATH], wideTopic[MAX_PATH];
  WideFrom(service, wideService, MAX_PATH);
  WideFrom(topic, wideTopic, MAX_PATH);
  HSZ serviceName = DdeCreateStringHandleW(instance, wideService, CP_WINUNICODE);
  HSZ topicName = DdeCreateStringHandleW(instance, wideTopic, CP_WINUNICODE);
  HCONV conversation = NULL;
  if (serviceName != NULL && topicName != NULL) conversation = DdeConnect(instance, serviceName, topicName, NULL);
  if (serviceName != NULL) DdeFreeStringHandle(instance, serviceName);
  if (topicName != NULL) DdeFreeStringHandle(instance, topicName);
  return conversation;
}

void ShellDdeDisconnect(void *conversation) { DdeDisconnect((HCONV)conversation); }

// A Unicode conversation: the command goes as UTF-16 (the system converts it
// for a server that is not).
int ShellDdeExecute(void *conversation, const char *command) {
  WCHAR *wide = WideAlloc(command);
  if (wide == NULL) return 0;
  DWORD length = ((DWORD)lstrlenW(wide) + 1) * sizeof(WCHAR);
  int sent = DdeClientTransaction((LPBYTE)wide, length, (HCONV)conversation, NULL, CF_UNICODETEXT, XTYP_EXECUTE,
                                  TIMEOUT_ASYNC, NULL) != 0;
  WideFree(wide);
  return sent;
}

int ShellLibraryLoad(const char *path, void **library, uint32_t *error) {
  WCHAR wide[MAX_PATH];
  HMODULE module = LoadLibraryExW(WidePath(path, wide), NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
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
  WCHAR wide[MAX_PATH];
  int added = AddFontResourceW(WidePath(path, wide));
  *error = added == 0 ? GetLastError() : 0;
  return added;
}

int ShellFontRemove(const char *path, uint32_t *error) {
  WCHAR wide[MAX_PATH];
  BOOL removed = RemoveFontResourceW(WidePath(path, wide));
  *error = removed ? 0 : GetLastError();
  return removed != 0;
}

// Every top-level window hears of the change; one that does not answer (a
// hung program) is given up after two seconds instead of holding the
// installer for ever.
void ShellFontChanged(void) {
  SendMessageTimeoutW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG | SMTO_NORMAL, 2000, NULL);
}

void ShellBringToTop(void *window) { BringWindowToTop((HWND)window); }

int ShellProgramsFolder(char *folder, int size) {
  WCHAR path[MAX_PATH];
  return SHGetSpecialFolderPathW(NULL, path, CSIDL_PROGRAMS, TRUE) && WideTo(path, folder, size);
}

int ShellMakeFolder(const char *path) {
  WCHAR wide[MAX_PATH];
  return CreateDirectoryW(WidePath(path, wide), NULL) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// The identifiers of the shortcut object and its two interfaces, defined here:
// the system library that defines them defines every identifier in one
// object, 41 KB that the program would carry for these three.
static const GUID kClsidShellLink = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const GUID kIidShellLinkW = {0x000214F9, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const GUID kIidPersistFile = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

int ShellSaveLink(const char *linkPath, const char *target, const char *arguments, const char *description) {
  WCHAR wide[MAX_PATH], wideTarget[MAX_PATH], *wideArguments = WideAlloc(arguments),
      *wideDescription = WideAlloc(description);
  IShellLinkW *link = NULL;
  int saved = WideFrom(linkPath, wide, MAX_PATH) && WideFrom(target, wideTarget, MAX_PATH) &&
              wideArguments != NULL && wideDescription != NULL &&
              SUCCEEDED(CoCreateInstance(kClsidShellLink, NULL, CLSCTX_INPROC_SERVER, kIidShellLinkW, (void **)&link));
  IPersistFile *file = NULL;
  saved = saved && SUCCEEDED(link->SetPath(wideTarget)) &&
          (arguments[0] == 0 || SUCCEEDED(link->SetArguments(wideArguments))) &&
          SUCCEEDED(link->SetDescription(wideDescription)) &&
          SUCCEEDED(link->QueryInterface(kIidPersistFile, (void **)&file)) && SUCCEEDED(file->Save(wide, TRUE));
  if (file != NULL) file->Release();
  if (link != NULL) link->Release();
  WideFree(wideArguments);
  WideFree(wideDescription);
  return saved;
}

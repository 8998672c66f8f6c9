// The window helpers' system calls on Win32.
#include <windows.h>
#include <shlobj.h>
#include <commctrl.h>

#include "syslib-win32.h"
#include "wide-win32.h"
#include "winhelpr-sys.h"

// COMCTL32 is not one of the system's known libraries, so it is never taken
// from beside the program. Loaded by name, with the search kept to the
// system directory, the manifest's dependency redirects it to Common
// Controls 6 in the side-by-side store; a system without that search flag
// gets the system directory's copy by its full path.
int WinSysInitCommonControls(char *path, int size) {
  path[0] = 0;
  HMODULE library = LoadLibraryExA("comctl32.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (library == NULL) library = SysLibraryLoad("comctl32");
  if (library == NULL) return 0;
  WCHAR wide[MAX_PATH + 1];
  DWORD length = GetModuleFileNameW(library, wide, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH || !WideTo(wide, path, size)) path[0] = 0;
  typedef BOOL(WINAPI * InitEx)(const INITCOMMONCONTROLSEX *);
  InitEx init = (InitEx)(void *)GetProcAddress(library, "InitCommonControlsEx");
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  return init != NULL && init(&classes);
}

int WinSysPeekMessage(uint32_t *message) {
  MSG msg;
  if (!PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE)) return 0;
  *message = msg.message;
  return 1;
}

void WinSysDispatchMessage(void) {
  MSG msg;
  if (GetMessageW(&msg, NULL, 0, 0) == -1) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

// A folder the system gives in UTF-16 into buffer in UTF-8: its length, 0
// when the system gave none, size when it does not fit.
static int FolderText(const WCHAR *wide, UINT length, char *buffer, int size) {
  if (length == 0 || length > MAX_PATH) return 0;
  return WideTo(wide, buffer, size) ? lstrlenA(buffer) : size;
}

int WinSysTempDir(char *buffer, int size) {
  WCHAR wide[MAX_PATH + 1];
  return FolderText(wide, GetTempPathW(MAX_PATH + 1, wide), buffer, size);
}
int WinSysSystemDir(char *buffer, int size) {
  WCHAR wide[MAX_PATH + 1];
  return FolderText(wide, GetSystemDirectoryW(wide, MAX_PATH + 1), buffer, size);
}
int WinSysWindowsDir(char *buffer, int size) {
  WCHAR wide[MAX_PATH + 1];
  return FolderText(wide, GetWindowsDirectoryW(wide, MAX_PATH + 1), buffer, size);
}

int WinSysUserProgramsDir(char *buffer, int size) {
  // FOLDERID_UserProgramFiles, through the shell's entry when it has one.
  static const GUID userProgramFiles = {0x5CD7AEE2, 0x2219, 0x4A67, {0xB8, 0x5D, 0x6C, 0x9C, 0xE1, 0x56, 0x60, 0xCB}};
  typedef HRESULT(WINAPI * KnownFolderPath)(const GUID *, DWORD, HANDLE, PWSTR *);
  HMODULE shell = GetModuleHandleW(L"shell32.dll");
  KnownFolderPath known = shell != NULL ? (KnownFolderPath)(void *)GetProcAddress(shell, "SHGetKnownFolderPath") : NULL;
  PWSTR wide = NULL;
  if (known != NULL && SUCCEEDED(known(&userProgramFiles, 0x8000 /* KF_FLAG_CREATE */, NULL, &wide))) {
    int length = WideTo(wide, buffer, size) ? lstrlenA(buffer) : size;
    CoTaskMemFree(wide);
    return length;
  }
  // The shell writes up to MAX_PATH characters.
  WCHAR local[MAX_PATH + 10];
  if (FAILED(SHGetFolderPathW(NULL, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, NULL, 0, local))) return 0;
  lstrcatW(local, L"\\Programs");
  return FolderText(local, 1, buffer, size);
}

static int CALLBACK BrowseCallbackThunk(HWND window, UINT message, LPARAM param, LPARAM data) {
  return BrowseCallback((void *)window, message, (intptr_t)param, (intptr_t)data);
}

// The root of the browser: the parsed start path, else the drives folder.
static LPITEMIDLIST BrowseRoot(const char *start) {
  LPITEMIDLIST root = NULL;
  if (start[0] != 0) {
    WCHAR wide[MAX_PATH + 1];
    IShellFolder *desktop = NULL;
    if (WideFrom(start, wide, MAX_PATH + 1) && SUCCEEDED(SHGetDesktopFolder(&desktop))) {
      if (FAILED(desktop->ParseDisplayName(NULL, NULL, wide, NULL, &root, NULL))) root = NULL;
      desktop->Release();
    }
  }
  if (root == NULL && FAILED(SHGetSpecialFolderLocation(NULL, CSIDL_DRIVES, &root))) root = NULL;
  return root;
}

int WinSysBrowseFolder(void *owner, const char *title, const char *start, char *chosen, int size) {
  IMalloc *shellMalloc = NULL;
  if (FAILED(SHGetMalloc(&shellMalloc)) || shellMalloc == NULL) return 0;
  int result = 0;
  LPITEMIDLIST root = BrowseRoot(start);
  if (root != NULL) {
    WCHAR display[MAX_PATH], wideTitle[MAX_PATH];
    WideFrom(title, wideTitle, MAX_PATH);
    BROWSEINFOW info;
    ZeroMemory(&info, sizeof info);
    info.hwndOwner = (HWND)owner;
    info.pidlRoot = root;
    info.pszDisplayName = display;
    info.lpszTitle = wideTitle;
    info.ulFlags = 0;
    info.lpfn = BrowseCallbackThunk;
    info.lParam = 0;
    LPITEMIDLIST item = SHBrowseForFolderW(&info);
    if (item != NULL) {
      WCHAR path[MAX_PATH + 1];  // the shell writes up to MAX_PATH characters
      path[0] = 0;
      if (SHGetPathFromIDListW(item, path) && path[0] != 0 && WideTo(path, chosen, size)) result = 1;
      shellMalloc->Free(item);
    }
    shellMalloc->Free(root);
  }
  shellMalloc->Release();
  return result;
}

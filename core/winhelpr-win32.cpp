// The window helpers' system calls on Win32.
#include <windows.h>
#include <shlobj.h>
#include <commctrl.h>

#include "syslib-win32.h"
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
  DWORD length = GetModuleFileNameA(library, path, (DWORD)size);
  if (length == 0 || length >= (DWORD)size) path[0] = 0;
  typedef BOOL(WINAPI * InitEx)(const INITCOMMONCONTROLSEX *);
  InitEx init = (InitEx)(void *)GetProcAddress(library, "InitCommonControlsEx");
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  return init != NULL && init(&classes);
}

int WinSysPeekMessage(uint32_t *message) {
  MSG msg;
  if (!PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE)) return 0;
  *message = msg.message;
  return 1;
}

void WinSysDispatchMessage(void) {
  MSG msg;
  if (GetMessageA(&msg, NULL, 0, 0) == -1) return;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

int WinSysTempDir(char *buffer, int size) { return (int)GetTempPathA((DWORD)size, buffer); }
int WinSysSystemDir(char *buffer, int size) { return (int)GetSystemDirectoryA(buffer, (UINT)size); }
int WinSysWindowsDir(char *buffer, int size) { return (int)GetWindowsDirectoryA(buffer, (UINT)size); }

int WinSysUserProgramsDir(char *buffer, int size) {
  // FOLDERID_UserProgramFiles, through the shell's entry when it has one.
  static const GUID userProgramFiles = {0x5CD7AEE2, 0x2219, 0x4A67, {0xB8, 0x5D, 0x6C, 0x9C, 0xE1, 0x56, 0x60, 0xCB}};
  typedef HRESULT(WINAPI * KnownFolderPath)(const GUID *, DWORD, HANDLE, PWSTR *);
  HMODULE shell = GetModuleHandleA("shell32.dll");
  KnownFolderPath known = shell != NULL ? (KnownFolderPath)(void *)GetProcAddress(shell, "SHGetKnownFolderPath") : NULL;
  PWSTR wide = NULL;
  if (known != NULL && SUCCEEDED(known(&userProgramFiles, 0x8000 /* KF_FLAG_CREATE */, NULL, &wide))) {
    int length = WideCharToMultiByte(CP_ACP, 0, wide, -1, buffer, size, NULL, NULL);
    CoTaskMemFree(wide);
    return length > 0 ? length - 1 : 0;
  }
  // The shell writes up to MAX_PATH characters, more than buffer may hold.
  char local[MAX_PATH + 10];
  if (FAILED(SHGetFolderPathA(NULL, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, NULL, 0, local))) return 0;
  int length = lstrlenA(local);
  if (length + 9 >= size) return size;
  lstrcpyA(local + length, "\\Programs");
  lstrcpyA(buffer, local);
  return length + 9;
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
    int length = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, start, -1, wide, MAX_PATH);
    if (length > 0 && SUCCEEDED(SHGetDesktopFolder(&desktop))) {
      wide[MAX_PATH] = 0;
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
    char display[MAX_PATH];
    BROWSEINFOA info;
    ZeroMemory(&info, sizeof info);
    info.hwndOwner = (HWND)owner;
    info.pidlRoot = root;
    info.pszDisplayName = display;
    info.lpszTitle = title;
    info.ulFlags = 0;
    info.lpfn = BrowseCallbackThunk;
    info.lParam = 0;
    LPITEMIDLIST item = SHBrowseForFolderA(&info);
    if (item != NULL) {
      char path[MAX_PATH + 1];  // the shell writes up to MAX_PATH bytes
      path[0] = 0;
      if (SHGetPathFromIDListA(item, path) && path[0] != 0 && lstrlenA(path) < size) {
        lstrcpyA(chosen, path);
        result = 1;
      }
      shellMalloc->Free(item);
    }
    shellMalloc->Free(root);
  }
  shellMalloc->Release();
  return result;
}

// The window helpers and the dialog seam against the real system: real
// windows, a real progress bar, the thread's own queue, the directories,
// the folder browser and the progress window made from install.exe's own
// template. Needs a display (Wine runs the tests on a virtual one).
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "dialog-sys.h"
#include "pages.h"
#include "winhelpr-sys.h"
#include "winhelpr.h"

static_assert(DIALOG_WM_DESTROY == WM_DESTROY && DIALOG_WM_CLOSE == WM_CLOSE && DIALOG_WM_QUIT == WM_QUIT &&
                  DIALOG_WM_SETTEXT == WM_SETTEXT,
              "window messages");
static_assert(DIALOG_WM_INITDIALOG == WM_INITDIALOG && DIALOG_WM_COMMAND == WM_COMMAND && DIALOG_WM_USER == WM_USER,
              "dialog messages");
static_assert(DIALOG_IDOK == IDOK && DIALOG_IDCANCEL == IDCANCEL && DIALOG_BN_CLICKED == BN_CLICKED &&
                  DIALOG_EN_CHANGE == EN_CHANGE,
              "ids and notifications");
static_assert(DIALOG_EM_SETSEL == EM_SETSEL && DIALOG_EM_LIMITTEXT == EM_LIMITTEXT &&
                  DIALOG_PBM_SETRANGE == PBM_SETRANGE && DIALOG_PBM_SETPOS == PBM_SETPOS &&
                  DIALOG_PBM_GETPOS == PBM_GETPOS,
              "control messages");
static_assert(DIALOG_SW_HIDE == SW_HIDE && DIALOG_SW_SHOW == SW_SHOW && WINHELPR_BFFM_INITIALIZED == BFFM_INITIALIZED,
              "show commands");

namespace {

HWND Popup(int x, int y, int width, int height, HWND owner = NULL) {
  return CreateWindowExA(0, "STATIC", "", WS_POPUP, x, y, width, height, owner, NULL, GetModuleHandleA(NULL), NULL);
}

RECT Rect(HWND window) {
  RECT r = {0, 0, 0, 0};
  GetWindowRect(window, &r);
  return r;
}

class WindowHelpersWin32 : public testing::Test {
 protected:
  void SetUp() override { WindowHelpersInit(); }
  void TearDown() override {
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
    }
  }
};

TEST_F(WindowHelpersWin32, CentringOverARealParent) {
  HWND parent = Popup(100, 40, 201, 101);
  HWND narrow = Popup(0, 0, 200, 100, parent);
  HWND wide = Popup(0, 0, 300, 200, parent);
  ASSERT_TRUE(parent && narrow && wide);
  EXPECT_EQ(1, CenterWindow(narrow, parent));
  EXPECT_EQ(100, Rect(narrow).left);
  EXPECT_EQ(40, Rect(narrow).top);
  EXPECT_EQ(200, Rect(narrow).right - Rect(narrow).left);
  EXPECT_EQ(1, CenterWindow(wide, parent));
  EXPECT_EQ(51, Rect(wide).left);
  EXPECT_EQ(-9, Rect(wide).top);
  RECT screen = Rect(GetDesktopWindow());
  EXPECT_EQ(1, CenterWindow(narrow, NULL));
  EXPECT_EQ(screen.left + (screen.right - screen.left - 200) / 2, Rect(narrow).left);
  EXPECT_EQ(screen.top + (screen.bottom - screen.top - 100) / 2, Rect(narrow).top);
  DestroyWindow(wide);
  DestroyWindow(narrow);
  DestroyWindow(parent);
}

TEST_F(WindowHelpersWin32, ProgressBarPositionsOnARealBar) {
  HWND parent = Popup(0, 0, 300, 50);
  HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_BORDER, 5, 5, 190, 10, parent, (HMENU)1012,
                             GetModuleHandleA(NULL), NULL);
  ASSERT_TRUE(bar != NULL);
  SendMessageA(bar, PBM_SETPOS, 40, 0);
  EXPECT_EQ(1, ProgressBarReset(parent, 1012));
  EXPECT_EQ(0, (int)SendMessageA(bar, PBM_GETPOS, 0, 0));
  PBRANGE range;
  SendMessageA(bar, PBM_GETRANGE, 0, (LPARAM)&range);
  EXPECT_EQ(0, range.iLow);
  EXPECT_EQ(1000, range.iHigh);
  struct {
    double percent;
    int position;
  } cases[] = {{55.55, 555}, {0.05, 0}, {100, 1000}, {150, 1000}, {-3, 0}};
  for (const auto &c : cases) {
    ProgressBarSetPercent(parent, 1012, 50);
    EXPECT_EQ(1, ProgressBarSetPercent(parent, 1012, c.percent));
    EXPECT_EQ(c.position, (int)SendMessageA(bar, PBM_GETPOS, 0, 0)) << c.percent;
  }
  DestroyWindow(parent);
}

int userMessages;
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_USER) userMessages++;
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND CountingWindow() {
  WNDCLASSA wc;
  ZeroMemory(&wc, sizeof wc);
  wc.lpfnWndProc = CountingProc;
  wc.hInstance = GetModuleHandleA(NULL);
  wc.lpszClassName = "WinHelprPumpTest";
  RegisterClassA(&wc);
  return CreateWindowExA(0, "WinHelprPumpTest", "", WS_POPUP, 0, 0, 10, 10, NULL, NULL, GetModuleHandleA(NULL), NULL);
}

TEST_F(WindowHelpersWin32, PumpLeavesQuitAndCloseForTheMainLoop) {
  HWND window = CountingWindow();
  ASSERT_TRUE(window != NULL);
  MSG msg;
  while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
  }
  userMessages = 0;
  PostMessageA(window, WM_USER + 5, 0, 0);
  PostMessageA(window, WM_USER + 6, 0, 0);
  PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 3, 0);
  PostMessageA(window, WM_USER + 7, 0, 0);
  EXPECT_EQ(1, PumpMessages());
  EXPECT_EQ(2, userMessages);
  ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
  EXPECT_EQ((UINT)WM_QUIT, msg.message);
  EXPECT_EQ(3u, (unsigned)msg.wParam);

  PostMessageA(window, WM_CLOSE, 0, 0);  // the remaining WM_USER + 7 runs, the close stays
  EXPECT_EQ(1, PumpMessages());
  EXPECT_EQ(3, userMessages);
  ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
  EXPECT_EQ((UINT)WM_CLOSE, msg.message);
  EXPECT_TRUE(IsWindow(window));
  DestroyWindow(window);
}

bool EndsInOneBackslash(const std::string &path) {
  return path.size() >= 2 && path.back() == '\\' && path[path.size() - 2] != '\\';
}

TEST_F(WindowHelpersWin32, DirectoriesEndInOneBackslash) {
  char buffer[MAX_PATH + 2], system[MAX_PATH + 2];
  EXPECT_EQ(1, QueryTempDir(buffer, sizeof buffer));
  EXPECT_TRUE(EndsInOneBackslash(buffer)) << buffer;
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(buffer));
  EXPECT_EQ(1, QuerySystemDir(buffer, sizeof buffer));
  GetSystemDirectoryA(system, sizeof system);
  EXPECT_EQ(std::string(system) + "\\", buffer);
  EXPECT_EQ(1, QueryWindowsDir(buffer, sizeof buffer));
  EXPECT_TRUE(EndsInOneBackslash(buffer)) << buffer;
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((std::string(buffer) + PAGE_EDITOR).c_str()));
  char tiny[4];
  EXPECT_EQ(0, QueryTempDir(tiny, sizeof tiny));
  EXPECT_STREQ("", tiny);
}

// ---- The folder browser, answered by a helper thread --------------------

struct BrowserAnswer {
  HWND owner;
  WPARAM button;
  RECT rect;
  bool found;
};

BOOL CALLBACK FindBrowser(HWND window, LPARAM data) {
  BrowserAnswer *answer = (BrowserAnswer *)data;
  if (GetWindow(window, GW_OWNER) != answer->owner || !IsWindowVisible(window)) return TRUE;
  answer->rect = Rect(window);
  answer->found = true;
  PostMessageA(window, WM_COMMAND, answer->button, 0);
  return FALSE;
}

DWORD WINAPI AnswerBrowser(void *data) {
  BrowserAnswer *answer = (BrowserAnswer *)data;
  for (int i = 0; i < 200 && !answer->found; i++) {
    Sleep(50);
    EnumWindows(FindBrowser, (LPARAM)answer);
  }
  return 0;
}

int Browse(HWND owner, WPARAM button, char *path, BrowserAnswer *answer) {
  answer->owner = owner;
  answer->button = button;
  answer->found = false;
  HANDLE thread = CreateThread(NULL, 0, AnswerBrowser, answer, 0, NULL);
  int result = BrowseForFolder(owner, "Choose a folder", path);
  WaitForSingleObject(thread, 15000);
  CloseHandle(thread);
  return result;
}

TEST_F(WindowHelpersWin32, FolderBrowserAnswersWithABackslashAndIsCentred) {
  CoInitialize(NULL);
  HWND owner = Popup(200, 100, 400, 300);
  ShowWindow(owner, SW_SHOW);
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, sizeof windows);
  char path[BROWSE_PATH_SIZE];
  lstrcpyA(path, windows);
  BrowserAnswer answer;
  EXPECT_EQ(1, Browse(owner, IDOK, path, &answer));  // the folder selected at the start
  ASSERT_TRUE(answer.found);
  EXPECT_TRUE(EndsInOneBackslash(path)) << path;
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path)) << path;
  int width = answer.rect.right - answer.rect.left, height = answer.rect.bottom - answer.rect.top;
  EXPECT_EQ(200 + (400 - width) / 2, answer.rect.left);  // centred over its owner
  EXPECT_EQ(100 + (300 - height) / 2, answer.rect.top);

  lstrcpyA(path, windows);
  EXPECT_EQ(0, Browse(owner, IDCANCEL, path, &answer));
  EXPECT_TRUE(answer.found);
  DestroyWindow(owner);
  CoUninitialize();
}

// ---- The progress window from install.exe's template --------------------

class ProgressWin32 : public WindowHelpersWin32 {
 protected:
  void SetUp() override {
    WindowHelpersWin32::SetUp();
    program = LoadLibraryExA("..\\installer\\" VANTOR_STUB_NAME, NULL, DONT_RESOLVE_DLL_REFERENCES);
  }
  void TearDown() override {
    ProgressDestroy();
    if (program) FreeLibrary(program);
    WindowHelpersWin32::TearDown();
  }
  HMODULE program = NULL;
};

TEST_F(ProgressWin32, TheProgramCarriesItsDialogsAndIcon) {
  ASSERT_TRUE(program != NULL) << "no " VANTOR_STUB_NAME " in ..\\installer";
  for (int id : {117, 1001, 1002, 1003, 1004})
    EXPECT_TRUE(FindResourceA(program, MAKEINTRESOURCEA(id), (LPCSTR)RT_DIALOG) != NULL) << id;
  EXPECT_TRUE(FindResourceA(program, MAKEINTRESOURCEA(104), (LPCSTR)RT_GROUP_ICON) != NULL);
  EXPECT_TRUE(LoadIconA(program, MAKEINTRESOURCEA(104)) != NULL);
}

TEST_F(ProgressWin32, RunsOnTheRealTemplate) {
  ASSERT_TRUE(program != NULL) << "no " VANTOR_STUB_NAME " in ..\\installer";
  HWND owner = Popup(0, 0, 640, 480);
  ShowWindow(owner, SW_SHOW);
  EXPECT_EQ(1, ProgressCreate(program, owner));
  HWND window = (HWND)ProgressWindow();
  ASSERT_TRUE(window != NULL);
  EXPECT_FALSE(IsWindowVisible(window));
  char caption[80];
  GetWindowTextA(window, caption, sizeof caption);
  EXPECT_STREQ("Please wait while files are installed...", caption);
  HWND bar = GetDlgItem(window, 1012);
  ASSERT_TRUE(bar != NULL);
  PBRANGE range;
  SendMessageA(bar, PBM_GETRANGE, 0, (LPARAM)&range);
  EXPECT_EQ(1000, range.iHigh);

  EXPECT_EQ(1, ProgressShow(1));
  for (int i = 0; i < 20 && !IsWindowVisible(window); i++) PumpMessages(), Sleep(10);
  EXPECT_TRUE(IsWindowVisible(window));
  RECT r = Rect(window);
  EXPECT_EQ((640 - (r.right - r.left)) / 2, r.left);
  EXPECT_EQ(1, ProgressSetPercent(55.55));
  EXPECT_EQ(555, (int)SendMessageA(bar, PBM_GETPOS, 0, 0));
  EXPECT_EQ(1, ProgressShow(0));
  for (int i = 0; i < 20 && IsWindowVisible(window); i++) PumpMessages(), Sleep(10);
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(1, ProgressDestroy());
  EXPECT_FALSE(IsWindow(window));
  DestroyWindow(owner);
}

}  // namespace

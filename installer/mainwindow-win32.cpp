// The main window over USER32 and GDI32: the class, the procedure, the
// message loop and the off-screen painting of the backdrop.
#include <windows.h>
#undef MEM_FREE  // the virtual-memory flag; ours is the accounted release

#include "pages.h"
#include "mainwindow.h"
#include "mainwindow-sys.h"
#include "vantor-core.h"
#include "wide-win32.h"

static HICON windowIcon;

int MainWindowRegisterClass(void *instance) {
  WNDCLASSEXW wc;
  ZeroMemory(&wc, sizeof wc);
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = (HINSTANCE)instance;
  wc.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_WINDOWFRAME);
  wc.lpszClassName = L"" MAIN_CLASS_NAME;
  return RegisterClassExW(&wc) != 0;
}

int MainWindowUnregisterClass(void *instance) {
  return UnregisterClassW(L"" MAIN_CLASS_NAME, (HINSTANCE)instance) != 0;
}

int MainWindowCreate(void *instance, void **window) {
  ASSERT(window != NULL, POINTER_IS_NULL);
  HWND created = CreateWindowExW(0, L"" MAIN_CLASS_NAME, L"Install", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, (HINSTANCE)instance, NULL);
  *window = created;
  return created != NULL;
}

int MainWindowShow(void *window) {
  ShowWindow((HWND)window, SW_SHOWMAXIMIZED);
  UpdateWindow((HWND)window);
  return 1;
}

intptr_t MainWindowSend(void *window, unsigned message) {
  return SendMessageW((HWND)window, message, 0, 0);
}

int MainWindowMessageLoop(void) {
  MSG msg;
  while (GetMessageW(&msg, NULL, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    QuickMemoryFrame();
  }
  return (int)msg.wParam;
}

static void OnCreate(HWND window) {
  char title[MAIN_TITLE_SIZE] = "";
  if (MainWindowScript() != NULL) MainWindowTitle(MainWindowScript(), title, sizeof title);
  WCHAR wide[MAIN_TITLE_SIZE];
  WideFrom(title, wide, MAIN_TITLE_SIZE);
  SetWindowTextW(window, wide);
  HINSTANCE instance = (HINSTANCE)MainWindowInstance();
  windowIcon = LoadIconW(instance, MAKEINTRESOURCEW(MAIN_ICON_ID));
  SendMessageW(window, WM_SETICON, ICON_BIG, (LPARAM)windowIcon);
  SendMessageW(window, WM_SETICON, ICON_SMALL, (LPARAM)windowIcon);
  ProgressCreate(instance, window);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate(window);
      return 1;
    case WM_DESTROY:
      ProgressDestroy();
      if (windowIcon != NULL) DestroyIcon(windowIcon);
      windowIcon = NULL;
      PostQuitMessage(0);
      return 0;
    case WM_PAINT:
      return MainWindowPaint(window);
    case WM_CLOSE:
      // No question: the window ends as if the script had reached its end.
      SendMessageW(window, WM_DESTROY, 0, 0);
      return 1;
    case WM_ERASEBKGND:
      return 1;  // the painting covers the whole client area
    case WM_QUERYDRAGICON:
      return (LRESULT)windowIcon;
    case WM_COMMAND:
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_SCRIPT_STEP:
      return MainWindowStep(window);
    case MAIN_WM_DPICHANGED:
      return MainWindowDpiChanged(window, (const RECT *)lParam);
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

// Moved to a monitor of another pixel density: the window takes the place
// the system proposes there (the maximised size on that monitor) and the
// backdrop is drawn again, its texts in their fractions of the new size.
// The dialogs scale themselves.
int MainWindowDpiChanged(HWND window, const RECT *proposed) {
  if (proposed != NULL)
    SetWindowPos(window, NULL, proposed->left, proposed->top, proposed->right - proposed->left,
                 proposed->bottom - proposed->top, SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(window, NULL, FALSE);
  return 0;
}

// The whole backdrop is drawn off screen for every WM_PAINT; only the update
// rectangle reaches the window, so nothing flickers.
int MainWindowPaint(HWND window) {
  RECT update;
  if (!GetUpdateRect(window, &update, FALSE)) return 0;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  InstallScript *script = MainWindowScript();
  if (script != NULL) {
    RECT client;
    GetClientRect(window, &client);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right - client.left, client.bottom - client.top);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    PaintGradient(memory, &client, script->gradientStart, script->gradientEnd);
    for (int i = 0; i < script->stringCount; i++) PaintString(memory, &client, &script->strings[i]);
    BitBlt(dc, update.left, update.top, update.right - update.left, update.bottom - update.top, memory,
           update.left, update.top, SRCCOPY);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
  }
  EndPaint(window, &ps);
  return 0;
}

int PaintGradient(HDC dc, const RECT *rect, const unsigned char start[3], const unsigned char end[3]) {
  ASSERT(rect != NULL && start != NULL && end != NULL, POINTER_IS_NULL);
  int size = (int)(sizeof(LOGPALETTE) + (GRADIENT_STEPS - 1) * sizeof(PALETTEENTRY));
  LOGPALETTE *entries = (LOGPALETTE *)MEM_ALLOC(size);
  entries->palVersion = 0x300;
  entries->palNumEntries = GRADIENT_STEPS;
  unsigned char colours[GRADIENT_STEPS][3];
  for (int i = 0; i < GRADIENT_STEPS; i++) {
    GradientStepColour(start, end, i, colours[i]);
    entries->palPalEntry[i].peRed = colours[i][0];
    entries->palPalEntry[i].peGreen = colours[i][1];
    entries->palPalEntry[i].peBlue = colours[i][2];
    entries->palPalEntry[i].peFlags = 0;
  }
  HPALETTE palette = CreatePalette(entries);
  HPALETTE previous = SelectPalette(dc, palette, FALSE);
  RealizePalette(dc);
  for (int i = 0; i < GRADIENT_STEPS; i++) {
    RECT band = *rect;
    int top, bottom;
    GradientBandEdges(rect->top, rect->bottom, i, &top, &bottom);
    band.top = top;
    band.bottom = bottom;
    HBRUSH brush = CreateSolidBrush(GradientPaletteColour(colours[i]));
    FillRect(dc, &band, brush);
    DeleteObject(brush);
  }
  SelectPalette(dc, previous, FALSE);
  DeleteObject(palette);
  MEM_FREE(entries, size);
  return 1;
}

int PaintString(HDC dc, const RECT *client, const ScreenString *entry) {
  ASSERT(client != NULL && entry != NULL, POINTER_IS_NULL);
  int width = client->right - client->left;
  int height = client->bottom - client->top;
  StringFont font;
  ScreenStringFont(entry, width, height, &font);
  LOGFONTW lf;
  ZeroMemory(&lf, sizeof lf);
  lf.lfHeight = font.height;
  lf.lfWidth = font.width;
  lf.lfWeight = font.weight;
  lf.lfItalic = (BYTE)font.italic;
  lf.lfUnderline = (BYTE)font.underline;
  lf.lfCharSet = ANSI_CHARSET;
  lf.lfQuality = PROOF_QUALITY;
  lf.lfPitchAndFamily = VARIABLE_PITCH | FF_ROMAN;
  WideFrom(font.face, lf.lfFaceName, LF_FACESIZE);
  HFONT created = CreateFontIndirectW(&lf);
  HGDIOBJ previous = SelectObject(dc, created);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ScreenStringColour(entry));
  // GDI draws UTF-16 whatever the process's code page; the field need not
  // be terminated.
  char text[sizeof entry->text + 1];
  lstrcpynA(text, entry->text, (int)sizeof text);
  WCHAR wide[sizeof text];
  WideFrom(text, wide, (int)sizeof text);
  int length = lstrlenW(wide);
  SIZE extent = {0, 0};
  GetTextExtentPoint32W(dc, wide, length, &extent);
  int x, y;
  ScreenStringOrigin(entry, width, height, extent.cx, extent.cy, &x, &y);
  TextOutW(dc, x, y, wide, length);
  SelectObject(dc, previous);
  DeleteObject(created);
  return 1;
}

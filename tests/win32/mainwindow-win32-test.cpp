// The main window against the real system: the gradient's pixels, where a
// screen string lands, and the window's answers to its messages.
#include <windows.h>
#undef MEM_FREE

#include <gtest/gtest.h>

#include <string.h>

#include "command.h"
#include "mainwindow.h"
#include "mainwindow-sys.h"
#include "script.h"
#include "process-sys.h"
#include "run.h"
#include "test-support.h"
#include "script-test-support.h"

namespace {

// A 32-bit top-down memory bitmap of the given size, selected into a DC.
struct Canvas {
  Canvas(int width, int height) : width(width), height(height) {
    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    HDC screen = GetDC(NULL);
    dc = CreateCompatibleDC(screen);
    ReleaseDC(NULL, screen);
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, (void **)&bits, NULL, 0);
    previous = SelectObject(dc, bitmap);
    rect.left = rect.top = 0;
    rect.right = width;
    rect.bottom = height;
  }
  ~Canvas() {
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  // R, G, B of a pixel as 0xRRGGBB.
  uint32_t At(int x, int y) const {
    GdiFlush();
    return bits[y * width + x] & 0xFFFFFF;
  }
  int width, height;
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ previous;
  uint32_t *bits;
  RECT rect;
};

uint32_t Rgb(const unsigned char c[3]) { return ((uint32_t)c[0] << 16) | ((uint32_t)c[1] << 8) | c[2]; }

TEST(PaintGradientWin32, EveryBandHasItsStepColour) {
  Canvas canvas(8, 1024);
  unsigned char start[3] = {0, 0, 200}, end[3] = {255, 128, 0};
  ASSERT_EQ(1, PaintGradient(canvas.dc, &canvas.rect, start, end));
  for (int i = 0; i < GRADIENT_STEPS; i++) {
    unsigned char colour[3];
    GradientStepColour(start, end, i, colour);
    ASSERT_EQ(Rgb(colour), canvas.At(3, 4 * i)) << "band " << i;
    ASSERT_EQ(Rgb(colour), canvas.At(7, 4 * i + 3)) << "band " << i;
  }
  EXPECT_EQ(0x0000C8u, canvas.At(0, 0));
}

// A short client area: the bands of height 0 draw nothing, the others leave
// no row unpainted.
TEST(PaintGradientWin32, ShortClientIsCoveredByTheBandsThatHaveHeight) {
  Canvas canvas(4, 100);
  unsigned char start[3] = {10, 20, 30}, end[3] = {200, 210, 220};
  memset(canvas.bits, 0xEE, 4 * 4 * 100);
  PaintGradient(canvas.dc, &canvas.rect, start, end);
  for (int y = 0; y < 100; y++) ASSERT_NE(0xEEEEEEu, canvas.At(0, y)) << "row " << y;
  EXPECT_EQ(0x0A141Eu, canvas.At(0, 0));
  unsigned char last[3];
  GradientStepColour(start, end, 255, last);
  EXPECT_EQ(Rgb(last), canvas.At(0, 99));  // the band of step 255 reaches the bottom
}

ScreenString Entry(float x, float y, int flags) {
  ScreenString s;
  memset(&s, 0, sizeof s);
  s.x = x;
  s.y = y;
  s.height = 0.1f;
  s.flags = flags;
  s.colour[0] = 255;
  s.colour[1] = 255;
  s.colour[2] = 255;
  strcpy(s.text, "HHHH");
  strcpy(s.face, "Arial");
  return s;
}

// The box around every white pixel, or an empty box when there is none.
RECT Inked(const Canvas &canvas) {
  RECT box = {canvas.width, canvas.height, -1, -1};
  for (int y = 0; y < canvas.height; y++)
    for (int x = 0; x < canvas.width; x++)
      if (canvas.At(x, y) == 0xFFFFFF) {
        if (x < box.left) box.left = x;
        if (y < box.top) box.top = y;
        if (x > box.right) box.right = x;
        if (y > box.bottom) box.bottom = y;
      }
  return box;
}

// Draws the test string anchored at the centre of a 400 x 300 client area
// with the flags; returns the box around its ink.
RECT DrawCentred(int flags) {
  Canvas canvas(400, 300);
  ScreenString s = Entry(0.5f, 0.5f, flags);
  EXPECT_EQ(1, PaintString(canvas.dc, &canvas.rect, &s));
  RECT box = Inked(canvas);
  EXPECT_GE(box.right, 0) << "nothing was drawn";
  return box;
}

TEST(PaintStringWin32, AnchorIsTheTopLeftCornerWithoutFlags) {
  RECT box = DrawCentred(0);
  EXPECT_GE(box.left, 200);
  EXPECT_GE(box.top, 150);
  EXPECT_LT(box.bottom, 150 + 31);  // the font is 30 pixels high
}

TEST(PaintStringWin32, RightAndUpPutTheTextBeforeTheAnchor) {
  RECT box = DrawCentred(STR_RIGHT | STR_UP);
  EXPECT_LT(box.right, 200);
  EXPECT_LT(box.bottom, 150);
  EXPECT_GE(box.top, 150 - 31);
}

TEST(PaintStringWin32, CentredTextStraddlesTheAnchor) {
  RECT box = DrawCentred(STR_CENTERX | STR_CENTERY);
  EXPECT_LT(box.left, 200);
  EXPECT_GT(box.right, 200);
  EXPECT_LT(box.top, 150);
  EXPECT_GT(box.bottom, 150);
}

class MainWindowWin32Test : public testing::Test {
 protected:
  void SetUp() override {
    memset(&script, 0, sizeof script);
    strcpy(script.productName, "Widget");
    instance = GetModuleHandleA(NULL);
    MainWindowSetInstance(instance);
    MainWindowSetScript(&script);
    MainWindowSetStep(RunStep);  // the driver runs each step
    ASSERT_EQ(1, MainWindowRegisterClass(instance));
    ASSERT_EQ(1, MainWindowCreate(instance, &window)) << GetLastError();
  }
  void TearDown() override {
    EXPECT_TRUE(DestroyWindow((HWND)window)) << GetLastError();
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
    }
    MainWindowSetScript(NULL);
    EXPECT_EQ(1, MainWindowUnregisterClass(instance)) << GetLastError() << " " << IsWindow((HWND)window);
  }
  InstallScript script;
  HINSTANCE instance;
  void *window = nullptr;
};

TEST_F(MainWindowWin32Test, BorderlessWindowTitledAfterTheProduct) {
  char title[MAIN_TITLE_SIZE];
  GetWindowTextA((HWND)window, title, sizeof title);
  EXPECT_STREQ("Widget Installation", title);
  LONG style = GetWindowLongA((HWND)window, GWL_STYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_FALSE(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME));
  char name[64];
  GetClassNameA((HWND)window, name, sizeof name);
  EXPECT_STREQ(MAIN_CLASS_NAME, name);
}

TEST_F(MainWindowWin32Test, EraseDoesNothingAndCloseQuitsWithoutAQuestion) {
  EXPECT_EQ(1, SendMessageA((HWND)window, WM_ERASEBKGND, 0, 0));
  EXPECT_EQ(1, SendMessageA((HWND)window, WM_CLOSE, 0, 0));
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(0u, msg.wParam);
  EXPECT_TRUE(IsWindow((HWND)window));  // told WM_DESTROY, never destroyed
}

// On a monitor of another density the window takes the proposed place.
TEST_F(MainWindowWin32Test, DensityChangeMovesToTheProposedRectangle) {
  RECT proposed = {10, 20, 610, 420};
  EXPECT_EQ(0, SendMessageA((HWND)window, MAIN_WM_DPICHANGED, MAKEWPARAM(144, 144), (LPARAM)&proposed));
  RECT now;
  GetWindowRect((HWND)window, &now);
  EXPECT_EQ(proposed.left, now.left);
  EXPECT_EQ(proposed.top, now.top);
  EXPECT_EQ(proposed.right, now.right);
  EXPECT_EQ(proposed.bottom, now.bottom);
}

// The script's end sends WM_DESTROY; the loop then ends with WM_QUIT's code.
TEST_F(MainWindowWin32Test, ScriptStepToTheEndEndsTheMessageLoop) {
  char text[] = "";
  script.text = text;
  script.cursor = text;
  EXPECT_EQ(1, SendMessageA((HWND)window, WM_SCRIPT_STEP, 0, 0));
  EXPECT_EQ(0, MainWindowMessageLoop());
}

// 200 retries through the real window procedure, each answered No: they
// run at one depth of the stack, and the script then goes on to its end.
TEST_F(MainWindowWin32Test, TwoHundredRetriesRunAtOneDepth) {
  TestRegisterKeywords();
  TestWatchBoxes();
  TestFailTimes(200);
  for (int i = 0; i < 200; i++) TestQueueBoxAnswer(SYS_IDNO);
  char text[] = MARK "FAIL:\r\n" MARK "ONE:a\r\n";
  script.text = text;
  script.textLength = (int32_t)strlen(text);
  script.cursor = text;
  EXPECT_EQ(1, SendMessageA((HWND)window, WM_SCRIPT_STEP, 0, 0));
  EXPECT_EQ(200, TestBoxCount());
  EXPECT_EQ("ONE(a)", testCalls.back());
  EXPECT_LT(TestFailStackSpread(), 256u);
  EXPECT_EQ(0, MainWindowMessageLoop());
  CommandsRemove();
}

}  // namespace

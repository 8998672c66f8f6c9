// The main window's arithmetic: titles cut to their buffers, the gradient's
// truncating colour formula and its bands, and where and in which font a
// screen string is drawn.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "mainwindow.h"
#include "script.h"

namespace {

struct Rgb {
  unsigned char c[3];
};

Rgb Step(Rgb start, Rgb end, int i) {
  Rgb out;
  GradientStepColour(start.c, end.c, i, out.c);
  return out;
}

TEST(MainWindowTitle, ProductNameWithSuffixes) {
  InstallScript script;
  memset(&script, 0, sizeof script);
  strcpy(script.productName, "Widget 2000");
  char title[MAIN_TITLE_SIZE];
  MainWindowTitle(&script, title, sizeof title);
  EXPECT_STREQ("Widget 2000 Installation", title);
  MainWindowAbortCaption(&script, title, sizeof title);
  EXPECT_STREQ("Widget 2000 Installation...", title);
}

// A product name of 159 characters leaves no room for the suffixes: the text
// is cut at the buffer, and nothing is written beyond it.
TEST(MainWindowTitle, LongestProductNameIsCutToTheBuffer) {
  InstallScript script;
  memset(&script, 0, sizeof script);
  memset(script.productName, 'P', 159);
  char title[MAIN_TITLE_SIZE + 8];
  memset(title, 'x', sizeof title);
  MainWindowTitle(&script, title, MAIN_TITLE_SIZE);
  EXPECT_EQ(159u, strlen(title));
  EXPECT_EQ('x', title[MAIN_TITLE_SIZE]);
  strcpy(script.productName, std::string(143, 'Q').c_str());
  MainWindowAbortCaption(&script, title, MAIN_TITLE_SIZE);
  EXPECT_EQ(std::string(143, 'Q') + " Installation...", title);  // exactly fits
  strcpy(script.productName, std::string(144, 'Q').c_str());
  MainWindowAbortCaption(&script, title, MAIN_TITLE_SIZE);
  EXPECT_EQ(std::string(144, 'Q') + " Installation..", title);
}

TEST(Gradient, FirstStepIsTheStartAndLastFallsShortOfTheEnd) {
  Rgb start = {{10, 200, 0}}, end = {{250, 0, 255}};
  Rgb first = Step(start, end, 0), last = Step(start, end, 255);
  EXPECT_EQ(10, first.c[0]);
  EXPECT_EQ(200, first.c[1]);
  EXPECT_EQ(0, first.c[2]);
  // t = 255/256: trunc(10/256) + 250*255/256 = 0 + 249.02; 200/256 -> 0; 255*255/256 = 254.004
  EXPECT_EQ(249, last.c[0]);
  EXPECT_EQ(0, last.c[1]);
  EXPECT_EQ(254, last.c[2]);
}

// The start's share is truncated before the end's share is added: at t = 0.5,
// 255 and 1 give trunc(127 + 0.5) = 127, where one truncation would give 128.
TEST(Gradient, TruncatesTheStartShareBeforeAdding) {
  Rgb start = {{255, 255, 255}}, end = {{1, 0, 128}};
  Rgb mid = Step(start, end, 128);
  EXPECT_EQ(127, mid.c[0]);
  EXPECT_EQ(127, mid.c[1]);
  EXPECT_EQ(191, mid.c[2]);
  Rgb one = Step(start, end, 1);  // 255 * 255/256 = 254.004 -> 254, plus at most 0.5
  EXPECT_EQ(254, one.c[0]);
  EXPECT_EQ(254, one.c[1]);
  EXPECT_EQ(254, one.c[2]);
}

TEST(Gradient, PaletteRelativeColour) {
  unsigned char rgb[3] = {0x12, 0x34, 0x56};
  EXPECT_EQ(0x02563412u, GradientPaletteColour(rgb));
}

TEST(Gradient, BandsOfATallClientAreFourPixels) {
  for (int i = 0; i < GRADIENT_STEPS; i++) {
    int top, bottom;
    GradientBandEdges(0, 1024, i, &top, &bottom);
    ASSERT_EQ(4 * i, top);
    ASSERT_EQ(4 * i + 4, bottom);
  }
}

// 100 pixels: band 0.390625; the edges are truncated, so most bands are
// empty and together they still cover exactly the rectangle.
TEST(Gradient, ShortClientGivesEmptyBandsAndNoGaps) {
  int empty = 0, previous = 10;
  for (int i = 0; i < GRADIENT_STEPS; i++) {
    int top, bottom;
    GradientBandEdges(10, 110, i, &top, &bottom);
    ASSERT_EQ(previous, top);
    empty += top == bottom;
    previous = bottom;
  }
  EXPECT_EQ(110, previous);
  EXPECT_EQ(156, empty);
  int top, bottom;
  GradientBandEdges(10, 110, 2, &top, &bottom);
  EXPECT_EQ(10, top);  // trunc(0.78)
  EXPECT_EQ(11, bottom);  // trunc(1.17)
}

ScreenString Entry(float x, float y, float width, float height, int flags) {
  ScreenString s;
  memset(&s, 0, sizeof s);
  s.x = x;
  s.y = y;
  s.width = width;
  s.height = height;
  s.flags = flags;
  strcpy(s.text, "Hello");
  strcpy(s.face, "Arial");
  return s;
}

TEST(ScreenString, FontFromFractionsAndStyleBits) {
  ScreenString s = Entry(0.5f, 0.5f, 0.01f, 0.08f, STR_BOLD | STR_UNDERLINE);
  StringFont font;
  ScreenStringFont(&s, 1024, 768, &font);
  EXPECT_EQ(61, font.height);  // floor(61.44)
  EXPECT_EQ(10, font.width);   // floor(10.24)
  EXPECT_EQ(700, font.weight);
  EXPECT_EQ(0, font.italic);
  EXPECT_EQ(1, font.underline);
  EXPECT_STREQ("Arial", font.face);
  s.flags = STR_ITALIC;
  s.width = 0;  // the system picks the width from the height
  ScreenStringFont(&s, 1024, 768, &font);
  EXPECT_EQ(0, font.width);
  EXPECT_EQ(400, font.weight);
  EXPECT_EQ(1, font.italic);
  EXPECT_EQ(0, font.underline);
}

TEST(ScreenString, TypefaceIsCutToTheSystemsFaceSize) {
  ScreenString s = Entry(0, 0, 0, 0.1f, 0);
  memset(s.face, 'F', sizeof s.face);  // not even terminated
  StringFont font;
  ScreenStringFont(&s, 640, 480, &font);
  EXPECT_EQ(std::string(31, 'F'), font.face);
}

TEST(ScreenString, EachPlacementFlagMovesTheAnchor) {
  int x, y;
  ScreenString s = Entry(0.5f, 0.25f, 0, 0.1f, 0);
  ScreenStringOrigin(&s, 800, 600, 101, 31, &x, &y);
  EXPECT_EQ(400, x);
  EXPECT_EQ(150, y);
  s.flags = STR_RIGHT | STR_UP;
  ScreenStringOrigin(&s, 800, 600, 101, 31, &x, &y);
  EXPECT_EQ(299, x);
  EXPECT_EQ(119, y);
  s.flags = STR_CENTERX | STR_CENTERY;  // integer halves: 50 and 15
  ScreenStringOrigin(&s, 800, 600, 101, 31, &x, &y);
  EXPECT_EQ(350, x);
  EXPECT_EQ(135, y);
  s.flags = STR_RIGHT | STR_CENTERX;  // both apply: cx + cx / 2
  ScreenStringOrigin(&s, 800, 600, 101, 31, &x, &y);
  EXPECT_EQ(400 - 101 - 50, x);
}

TEST(ScreenString, OriginIsFlooredNotRounded) {
  int x, y;
  ScreenString s = Entry(0.9995f, 0.0015f, 0, 0.1f, STR_RIGHT);
  ScreenStringOrigin(&s, 1000, 1000, 0, 0, &x, &y);
  EXPECT_EQ(999, x);  // 999.5
  EXPECT_EQ(1, y);    // 1.5
  s = Entry(0.0f, 0.0f, 0, 0.1f, STR_CENTERX | STR_UP);
  ScreenStringOrigin(&s, 1000, 1000, 11, 5, &x, &y);
  EXPECT_EQ(-5, x);  // left of the client area: floor, not toward zero
  EXPECT_EQ(-5, y);
}

TEST(ScreenString, ColourValue) {
  ScreenString s = Entry(0, 0, 0, 0, 0);
  s.colour[0] = 0x11;
  s.colour[1] = 0x22;
  s.colour[2] = 0x33;
  EXPECT_EQ(0x00332211u, ScreenStringColour(&s));
}

}  // namespace

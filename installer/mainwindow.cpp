// The main window's decisions: its title, the abort question's caption, the
// colours and bands of the backdrop gradient and where and in which
// font each screen string is drawn. The window itself is mainwindow-win32.cpp.
#include "mainwindow.h"

#include <math.h>

#include "vantor-core.h"
#include "vantor-str.h"

static InstallScript *windowScript;
static void *windowInstance;
static MainWindowStepFunction windowStep;

void MainWindowSetScript(InstallScript *script) { windowScript = script; }
InstallScript *MainWindowScript(void) { return windowScript; }
void MainWindowSetInstance(void *instance) { windowInstance = instance; }
void *MainWindowInstance(void) { return windowInstance; }
void MainWindowSetStep(MainWindowStepFunction step) { windowStep = step; }

// The product name may hold 159 characters, more than fits beside the
// suffixes: the bounded format cuts the text at the buffer instead.
int MainWindowTitle(const InstallScript *script, char *title, int size) {
  ASSERT(script != NULL && title != NULL, POINTER_IS_NULL);
  VantorFormat(title, size, "%s Installation", script->productName);
  return 1;
}

int MainWindowAbortCaption(const InstallScript *script, char *caption, int size) {
  ASSERT(script != NULL && caption != NULL, POINTER_IS_NULL);
  VantorFormat(caption, size, "%s Installation...", script->productName);
  return 1;
}

int MainWindowStep(void *window) {
  ASSERT(window != NULL, POINTER_IS_NULL);
  return windowStep != NULL ? windowStep(window) : 1;
}

int GradientStepColour(const unsigned char start[3], const unsigned char end[3], int step,
                       unsigned char out[3]) {
  ASSERT(start != NULL && end != NULL && out != NULL, POINTER_IS_NULL);
  double t = step / (double)GRADIENT_STEPS;
  for (int c = 0; c < 3; c++) {
    double from = (double)(int)(start[c] * (1.0 - t));
    out[c] = (unsigned char)(int)(from + end[c] * t);
  }
  return 1;
}

uint32_t GradientPaletteColour(const unsigned char rgb[3]) {
  ASSERT(rgb != NULL, POINTER_IS_NULL);
  return 0x02000000u + ((uint32_t)rgb[2] << 16) + ((uint32_t)rgb[1] << 8) + rgb[0];
}

int GradientBandEdges(int top, int bottom, int step, int *bandTop, int *bandBottom) {
  ASSERT(bandTop != NULL && bandBottom != NULL, POINTER_IS_NULL);
  double band = (bottom - top) / (double)GRADIENT_STEPS;
  *bandTop = top + (int)(step * band);
  *bandBottom = top + (int)((step + 1) * band);
  return 1;
}

int ScreenStringFont(const ScreenString *entry, int width, int height, StringFont *font) {
  ASSERT(entry != NULL && font != NULL, POINTER_IS_NULL);
  font->height = (int)floor(height * entry->height);
  font->width = (int)floor(width * entry->width);
  font->weight = (entry->flags & STR_BOLD) ? 700 : 400;
  font->italic = (entry->flags & STR_ITALIC) ? 1 : 0;
  font->underline = (entry->flags & STR_UNDERLINE) ? 1 : 0;
  // The system's face names hold 31 characters; the entry's field holds more.
  StrCopyN(font->face, entry->face, sizeof font->face);
  return 1;
}

int ScreenStringOrigin(const ScreenString *entry, int width, int height, int textWidth, int textHeight,
                       int *x, int *y) {
  ASSERT(entry != NULL && x != NULL && y != NULL, POINTER_IS_NULL);
  float fx = width * entry->x;
  float fy = height * entry->y;
  if (entry->flags & STR_RIGHT) fx -= textWidth;
  if (entry->flags & STR_UP) fy -= textHeight;
  if (entry->flags & STR_CENTERX) fx -= textWidth / 2;
  if (entry->flags & STR_CENTERY) fy -= textHeight / 2;
  *x = (int)floor(fx);
  *y = (int)floor(fy);
  return 1;
}

uint32_t ScreenStringColour(const ScreenString *entry) {
  ASSERT(entry != NULL, POINTER_IS_NULL);
  return entry->colour[0] + ((uint32_t)entry->colour[1] << 8) + ((uint32_t)entry->colour[2] << 16);
}

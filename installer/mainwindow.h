// The main window: a borderless, maximised backdrop painted with a vertical
// gradient and the script's screen strings, which hands each WM_SCRIPT_STEP
// to the step start-up set (the driver's RunStep).
//
// mainwindow.cpp holds what is decided (titles, the abort caption, the
// gradient's colours and bands, the screen strings' fonts and anchors); the
// window itself is behind mainwindow-sys.h. Window handles are HWND values
// carried as void *.
#ifndef INSTALLER_MAINWINDOW_H
#define INSTALLER_MAINWINDOW_H

#include <stdint.h>

#include "script.h"

#define MAIN_CLASS_NAME "InstallKivClass"
#define MAIN_ICON_ID 104
#define MAIN_TITLE_SIZE 160     // window title and abort caption buffers
#define GRADIENT_STEPS 256

// Window messages the window handles, with the Win32 values.
#define MAIN_WM_DESTROY 0x0002
#define MAIN_WM_PAINT 0x000F
#define MAIN_WM_CLOSE 0x0010
// Private: run the script on from where it stopped. Sent by start-up once the
// window is shown, and by the window itself after each No to the abort
// question.
#define WM_SCRIPT_STEP (0x0400 + 1)

// ---- State shared by the window procedure --------------------------------

// The record the window runs and paints (NULL: paint nothing), and the
// program's instance (for the icon, the progress window, the class).
void MainWindowSetScript(InstallScript *script);
InstallScript *MainWindowScript(void);
void MainWindowSetInstance(void *instance);
void *MainWindowInstance(void);
// What the window runs on each WM_SCRIPT_STEP.
typedef int (*MainWindowStepFunction)(void *window);
void MainWindowSetStep(MainWindowStepFunction step);

// ---- Decisions (portable) ------------------------------------------------

// "%s Installation" with the product name; cut to size. Returns 1.
int MainWindowTitle(const InstallScript *script, char *title, int size);
// "%s Installation..." with the product name; cut to size. Returns 1.
int MainWindowAbortCaption(const InstallScript *script, char *caption, int size);

// The WM_SCRIPT_STEP handler: the step that was set, given window; 1 when
// none is set.
int MainWindowStep(void *window);

// Colour of gradient step (0..255), per channel:
// trunc(trunc(start * (1 - t)) + end * t) with t = step / 256. Returns 1.
int GradientStepColour(const unsigned char start[3], const unsigned char end[3], int step,
                       unsigned char out[3]);
// Palette-relative colour value of an R, G, B triple (0x02BBGGRR).
uint32_t GradientPaletteColour(const unsigned char rgb[3]);
// Top and bottom edge of band step (0..255) of the rectangle's height: each
// band is (bottom - top) / 256 high, edges truncated, so a short rectangle
// has bands of height 0. Returns 1.
int GradientBandEdges(int top, int bottom, int step, int *bandTop, int *bandBottom);

// The font a screen string is drawn with in a client area of width x height.
struct StringFont {
  int height;               // floor(height * entry height)
  int width;                // floor(width * entry width); 0 lets the system choose
  int weight;               // 700 bold, 400 otherwise
  int italic;               // 1 or 0
  int underline;            // 1 or 0
  char face[SCRIPT_FACE_SIZE];  // the entry's typeface, cut to 31 characters
};
int ScreenStringFont(const ScreenString *entry, int width, int height, StringFont *font);
// Where a measured text (textWidth x textHeight) is drawn: the anchor at the
// entry's fractions of the client area, moved by each placement flag that is
// set (right: -textWidth, up: -textHeight, centre x: -textWidth / 2, centre y:
// -textHeight / 2), floored. Returns 1.
int ScreenStringOrigin(const ScreenString *entry, int width, int height, int textWidth, int textHeight,
                       int *x, int *y);
// Text colour value of the entry (red + green * 256 + blue * 65536).
uint32_t ScreenStringColour(const ScreenString *entry);

#endif

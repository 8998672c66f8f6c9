// The text pages (MESSAGE, AGREEMENT), the editor started by NOTEPAD and the
// progress window (pages.cpp, progress.cpp; the commands in cmd-pages.cpp).
// Window handles are HWND values carried as void *; starting the editor is
// behind pages-sys.h.
#ifndef INSTALLER_PAGES_H
#define INSTALLER_PAGES_H

#include <stdint.h>

#define PAGE_CAPTION_SIZE 80   // 79 characters
#define PAGE_COMMAND_SIZE 256  // the editor's command line: 255 characters
// The editor, started from the Windows directory; its command line keeps
// this form with the path unquoted.
#define PAGE_EDITOR "NOTEPAD.EXE"
#define PAGE_EDITOR_COMMAND PAGE_EDITOR " %s"
// System error codes the editor start reports when it does not try.
#define PAGE_ERROR_PATH_NOT_FOUND 3
#define PAGE_ERROR_NAME_TOO_LONG 206

// Shows the archive entry entryName as text in the modal message page
// (dialog 1003) owned by owner, with caption (cut to 79 characters). 1 for
// "Continue"; 0 for "Exit Setup" or a close (the person declined); -1 when
// no page was shown: a text that is not in the archive or cannot be loaded,
// or a dialog that could not be made (logged). entryName is not changed;
// the text is loaded and released here.
int ShowMessagePage(void *owner, const char *caption, const char *entryName);
// The same with the agreement page (dialog 1002): 1 only for "I Accept".
int ShowAgreementPage(void *owner, const char *caption, const char *entryName);
// The text with each line end (LF, CR LF, a lone CR, CRs before an LF)
// written as CR LF into out (room for the length and a NUL), or only
// counted when out is NULL; every other byte as it stands. The length.
uint32_t PageLineEnds(const char *text, char *out);
// Starts the system's text editor on path and does not wait for it. 1
// started; 0 after the log line "Failed to view textfile (%d 0x%.8X)\n".
int ViewTextFile(const char *path);

// The progress window (dialog 117), created hidden with the main window.
// Before ProgressCreate and after ProgressDestroy the other three do nothing.
// Each returns 1.
int ProgressCreate(void *instance, void *owner);
// 1 centres the window over its owner and shows it; anything else hides it.
int ProgressShow(int show);
// Sets the bar to percent (tenths of a percent, limited to 0 to 100) and
// lets pending messages run.
int ProgressSetPercent(double percent);
int ProgressDestroy(void);

// Handed to a page at its creation.
struct PageParams {
  char caption[PAGE_CAPTION_SIZE];  // cut to 79 characters
  char *text;                       // owned by the caller for the page's life
  int32_t textSize;                 // bytes as stored in the archive
  int32_t editId;                   // the page's text control
};

// The pages' dialog procedure (dialog-sys.h): sets caption and text (whole text
// selected, limit textSize + 10), centres the page on the desktop; button 1
// ends it with 1, button 2 and a close from outside with 0.
intptr_t PageDialogProc(void *dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);
// The progress window's procedure: resets the bar on creation, ends on close.
intptr_t ProgressProc(void *dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);
// The progress window while it exists (between ProgressCreate and
// ProgressDestroy), else NULL.
void *ProgressWindow(void);

#endif

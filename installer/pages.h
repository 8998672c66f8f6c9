// The text pages (MESSAGE, AGREEMENT), the editor started by NOTEPAD and the
// progress window: what install.h declares, plus the records, procedures and
// the process seam behind them. pages-win32.cpp starts processes with
// CreateProcessA; pages-posix.cpp records them for the native tests
// (pages-standin.h).
#ifndef INSTALLER_PAGES_H
#define INSTALLER_PAGES_H

#include <stdint.h>

#include "install.h"

#define PAGE_CAPTION_SIZE 80   // 79 characters
#define PAGE_NAME_SIZE 772     // entry names and paths: 771 characters
#define PAGE_COMMAND_SIZE 256  // the editor's command line: 255 characters
// A page text larger than this is not loaded.
#define PAGE_TEXT_MAX 0x7FFFFF00u
// The editor, started from the Windows directory; its command line keeps
// this form with the path unquoted.
#define PAGE_EDITOR "NOTEPAD.EXE"
#define PAGE_EDITOR_COMMAND PAGE_EDITOR " %s"
// System error codes the editor start reports when it does not try.
#define PAGE_ERROR_PATH_NOT_FOUND 3
#define PAGE_ERROR_NAME_TOO_LONG 206

// Handed to a page at its creation.
struct PageParams {
  char caption[PAGE_CAPTION_SIZE];  // cut to 79 characters
  char *text;                       // owned by the caller for the page's life
  int32_t textSize;                 // bytes as stored in the archive
  int32_t editId;                   // the page's text control
};

// The pages' dialog procedure (dialog.h): sets caption and text (whole text
// selected, limit textSize + 10), centres the page on the desktop; button 1
// ends it with 1, button 2 and a close from outside with 0.
intptr_t PageDialogProc(void *dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);
// The progress window's procedure: resets the bar on creation, ends on close.
intptr_t ProgressProc(void *dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);
// The progress window while it exists (between ProgressCreate and
// ProgressDestroy), else NULL.
void *ProgressWindow(void);

// Starts a program (CreateProcessA with application as the program file,
// commandLine as its command line, no inherited handles, normal priority,
// this process's environment and directory) and lets it run on its own.
// 1 started; 0 with *error the system error code.
int PagesStartProcess(const char *application, char *commandLine, uint32_t *error);

#endif

// The progress window: created hidden with the main window, shown while
// files are copied, destroyed with the main window. Before it exists (the
// script's first run) showing and advancing it do nothing.
#include "dialog-sys.h"
#include "pages.h"
#include "resources/resource-ids.h"
#include "vantor-core.h"
#include "winhelpr.h"

static void *progressWindow;

void *ProgressWindow(void) { return progressWindow; }

intptr_t ProgressProc(void *dialog, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  (void)wParam;
  switch (message) {
    case DIALOG_WM_INITDIALOG:
      ProgressBarReset(dialog, IDC_PROGRESS_BAR);
      return 1;
    case DIALOG_WM_CLOSE:
      DialogEnd(dialog, lParam);
      return 1;
    default:
      return 0;
  }
}

int ProgressCreate(void *instance, void *owner) {
  if (progressWindow != NULL) ProgressDestroy();
  progressWindow = DialogCreate(instance, IDD_PROGRESS, owner, ProgressProc, 0);
  if (progressWindow == NULL) DebugPrintf("Unable to create dialog %d\n", IDD_PROGRESS);
  ProgressShow(0);
  return 1;
}

int ProgressShow(int show) {
  if (progressWindow == NULL) return 1;
  if (show == 1) {
    CenterWindow(progressWindow, DialogParent(progressWindow));
    DialogShowAsync(progressWindow, DIALOG_SW_SHOW);
  } else {
    DialogShowAsync(progressWindow, DIALOG_SW_HIDE);
  }
  return 1;
}

int ProgressSetPercent(double percent) {
  if (progressWindow == NULL) return 1;
  ProgressBarSetPercent(progressWindow, IDC_PROGRESS_BAR, percent);
  PumpMessages();
  return 1;
}

int ProgressDestroy(void) {
  if (progressWindow != NULL) DialogDestroy(progressWindow);
  progressWindow = NULL;
  return 1;
}

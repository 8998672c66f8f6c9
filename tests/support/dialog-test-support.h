// Helpers for native tests that drive dialogs through the scripted user.
#ifndef DIALOG_TEST_SUPPORT_H
#define DIALOG_TEST_SUPPORT_H

#include <string>

#include "dialog-standin.h"
#include "winhelpr-standin.h"

// The program's resource script in the source tree.
inline std::string DialogTestResourceScript() {
  return std::string(VANTOR_SOURCE_DIR) + "/installer/resources/install.rc";
}

// Fresh stand-ins: no windows, actions or records, default directories and
// desktop, the program's templates loaded. Returns whether they loaded.
inline bool DialogTestFresh() {
  DialogStandInReset();
  WinHelpersStandInReset();
  return DialogStandInLoadTemplates(DialogTestResourceScript().c_str()) == 1;
}

// Leaves the stand-ins as a test that knows nothing of them expects them:
// no templates, no windows, default directories.
inline void DialogTestDone() {
  DialogStandInLoadTemplates(NULL);
  DialogStandInReset();
  WinHelpersStandInReset();
}

// The state of a stand-in window or control, or a zeroed record.
inline DialogStandInWindow DialogTestWindow(void *window) {
  DialogStandInWindow info = {};
  DialogStandInGetWindow(window, &info);
  return info;
}

inline DialogStandInControl DialogTestControl(void *dialog, int id) {
  DialogStandInControl control = {};
  DialogStandInGetControl(dialog, id, &control);
  return control;
}

#endif

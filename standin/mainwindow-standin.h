// What the main window's native stand-in offers to tests: it records the
// messages the window handled, in order, as words ("create", "show", "step",
// "paint", "close", "destroy", "quit"), and it can be told to fail.
#ifndef INSTALLER_MAINWINDOW_STANDIN_H
#define INSTALLER_MAINWINDOW_STANDIN_H

// Forgets what was recorded and every failure set; no window exists.
void MainWindowStandInReset(void);
void MainWindowStandInFailRegister(int fail);
void MainWindowStandInFailCreate(int fail);
// Space-separated words of what happened since the reset.
const char *MainWindowStandInEvents(void);
// The window text as WM_CREATE set it.
const char *MainWindowStandInTitle(void);
// 1 between a successful register and unregister.
int MainWindowStandInRegistered(void);
// WM_DESTROY messages sent so far to any window (the run loop sends one at
// the script's end), and the window of the last one.
int MainWindowStandInDestroyCount(void);
void *MainWindowStandInLastDestroyed(void);

#endif

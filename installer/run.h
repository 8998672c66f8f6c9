// The driver: one run of the program from start-up to shutdown. It mounts
// the archive, runs the script's stretches (the first before any window;
// the second in the window's first step, or without a window when silent),
// decides what follows a BREAK or a failed command (through the interaction
// seam: the abort question and its retries), and gives the exit code, for
// the window and the unattended runs alike. Without an archive it is the
// uninstaller's run.
#ifndef INSTALLER_RUN_H
#define INSTALLER_RUN_H

// Runs the installer for the given argument text (the command line after the
// program name); instance is the program's module handle (NULL natively).
// Returns the exit code.
int InstallerMain(void *instance, const char *args);

// Starts a run's state from the argument text: the interaction's side
// (InteractChoose), the "-dir=" path (DirSwitchParse) and no exit code
// recorded. Returns 1.
int RunBegin(const char *args);
// Records why the run ends; the first code recorded stays.
void RunFail(int code);
// The code recorded (EXIT_INSTALLED when none).
int RunExitCode(void);
// The window's step (WM_SCRIPT_STEP): runs the script of the window
// (MainWindowScript) on from its cursor, with window as the owner of what
// it shows. After a failed command the interaction's abort question decides:
// the command runs again within the same call (a loop, so retries never
// nest), or the installation ends. At a BREAK the attended window waits;
// when the installation ends, the window is sent WM_DESTROY. Returns 1.
int RunStep(void *window);

#endif

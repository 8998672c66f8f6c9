// The program's start-up and shutdown, shared by the Win32 entry point and the
// native stand-in's main().
#ifndef INSTALLER_WINMAIN_H
#define INSTALLER_WINMAIN_H

#define APP_NAME "Install"
#define APP_VERSION "1.06"
#define APP_BUILD "Release"
#define PROGRAM_PATH_SIZE 160

// Runs the installer for the given argument text (the command line after the
// program name); instance is the program's module handle (NULL natively).
// Returns the exit code.
int InstallerMain(void *instance, const char *args);

// The installer's own path as start-up found it (".exe" appended when the
// first token has none).
const char *InstallerProgramPath(void);

#endif

// The program itself: its name and version in the log, and its own path as
// start-up found it.
#ifndef INSTALLER_PROGRAM_H
#define INSTALLER_PROGRAM_H

#define APP_NAME "Install"
#define APP_VERSION "1.06"
#define APP_BUILD "Release"
#define PROGRAM_PATH_SIZE 160

// Takes token 0 of the full command line as the program's path, with ".exe"
// appended when it holds none anywhere (in any case). A token that does not
// fit the path buffer whole is never cut into another file's name: the
// system's path of the running module is taken instead (logged).
void ProgramPathTake(const char *commandLine);
// The installer's own path as ProgramPathTake found it.
const char *InstallerProgramPath(void);

#endif

// What the shell integration's native stand-in offers to tests: switches
// that make each system call fail, a record of what was done, and libraries
// that a test declares with the entry points they export.
#ifndef INSTALLER_SHELL_STANDIN_H
#define INSTALLER_SHELL_STANDIN_H

#include <stdint.h>

// Clears every switch, library, font and record (nothing is initialised).
void ShellStandInReset(void);
void ShellStandInFailOle(int fail);
void ShellStandInFailDde(int fail);
// Program Manager does not answer (the default after a reset is that it does).
void ShellStandInNoProgMan(int absent);
void ShellStandInFailExecute(int fail);
void ShellStandInFailFontAdd(int fail);
void ShellStandInFailFontRemove(int fail);

// Space-separated words: "ole-init", "dde-init", "connect", "execute",
// "disconnect", "dde-remove", "ole-remove", "font-change", "top".
const char *ShellStandInEvents(void);
// Every command executed, each followed by "\n".
const char *ShellStandInExecuted(void);
// Declares a library at path: exports says which entry points it has (1
// register, 2 unregister, 3 both), result is what they answer.
void ShellStandInAddLibrary(const char *path, int exports, int32_t result);
// "<entry point> <path>\n" for every call made.
const char *ShellStandInLibraryCalls(void);
// The folders and shortcuts made without Program Manager:
// "folder PATH\n" and "link PATH -> TARGET (DESCRIPTION)\n"; the Programs
// folder is "C:\Start Menu\Programs".
const char *ShellStandInLinks(void);
// Libraries loaded and not yet freed.
int ShellStandInLibrariesLoaded(void);
// Fonts currently added.
int ShellStandInFontCount(void);
// The window last brought to the top (NULL: none).
void *ShellStandInTopWindow(void);

#endif

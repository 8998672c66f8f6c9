// The shell integration's seam: what the install services (shell.cpp) need
// from OLE, the DDE management library, library loading and the font table.
// shell-win32.cpp is the product; shell-standin.cpp is the stand-in the native
// tests drive (shell-standin.h). Every decision and log line is in shell.cpp.
#ifndef INSTALLER_SHELL_SYS_H
#define INSTALLER_SHELL_SYS_H

#include <stdint.h>

// Program Manager's service and topic name.
#define PROGMAN_NAME "PROGMAN"
// A client-only DDE instance that skips registration notifications
// (APPCMD_CLIENTONLY | CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS).
#define SHELL_DDE_FLAGS 0x180010u

// The Program Manager conversation opened by ShellServicesInit (NULL when Program
// Manager did not answer): a conversation on the "PROGMAN" service and topic.
void *ProgManConnect(void);

// OLE for the whole run: 1 when initialised with S_OK.
int ShellOleInit(void);
void ShellOleRemove(void);
// A DDE instance with SHELL_DDE_FLAGS whose callback answers every
// transaction with no data. 1 and *instance set, 0 and *instance 0.
int ShellDdeInit(uint32_t *instance);
void ShellDdeRemove(uint32_t instance);
// A conversation on service and topic (CP_WINANSI string handles, made and
// freed here); NULL when a handle cannot be made or nobody answers.
void *ShellDdeConnect(uint32_t instance, const char *service, const char *topic);
void ShellDdeDisconnect(void *conversation);
// Starts an asynchronous CF_TEXT execute of command with its terminator; the
// outcome is not awaited. 1 when the transaction started.
int ShellDdeExecute(void *conversation, const char *command);

// Loads a library with its own directory searched first for its
// dependencies. 1 and *library set; 0 and *error the system's error code.
int ShellLibraryLoad(const char *path, void **library, uint32_t *error);
// The address of an exported entry point, or 0 when there is none.
int ShellLibraryEntry(void *library, const char *name, void **entry);
// Calls an entry point that takes nothing and answers an HRESULT.
int32_t ShellLibraryCall(void *entry);
void ShellLibraryFree(void *library);

// Adds a font file to the system's font table: the number of fonts added (0
// and *error set on failure).
int ShellFontAdd(const char *path, uint32_t *error);
// Removes it again: 1 removed, 0 and *error set.
int ShellFontRemove(const char *path, uint32_t *error);
// Tells every top-level window that the font table changed (WM_FONTCHANGE).
void ShellFontChanged(void);

// Brings a window to the top of the window order.
void ShellBringToTop(void *window);

// Groups and items without Program Manager, for unattended runs (Program
// Manager opens a window for every group it makes).
// This user's Start Menu "Programs" folder (CSIDL_PROGRAMS, made when
// missing), without a trailing backslash. 1, or 0 when there is none.
int ShellProgramsFolder(char *folder, int size);
// Makes a folder; one that is there already counts as made. 1 made.
int ShellMakeFolder(const char *path);
// Saves a shortcut file at linkPath to the program target, started with
// arguments (none when empty), with description (a shell link saved through
// its persist-file interface). 1 saved.
int ShellSaveLink(const char *linkPath, const char *target, const char *arguments, const char *description);

#endif

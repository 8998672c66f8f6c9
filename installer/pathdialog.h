// The destination dialog 1001 that INSTALL PATH runs (cmd-destination.cpp)
// and the free-space figures it shows. Window handles are HWND values carried as
// void *.
#ifndef INSTALLER_PATHDIALOG_H
#define INSTALLER_PATHDIALOG_H

#include <stdint.h>

#include "script.h"

#define PATH_CAPTION "Installation Directory..."
// The destination's edit control holds 320 characters, all read back: in
// UTF-8 at most 3 bytes each (a character of 4 takes two).
#define PATH_EDIT_LIMIT 320
#define PATH_PROPOSAL_SIZE (PATH_EDIT_LIMIT * 3 + 1)
// A directory of more than INSTALL_PATH_CHARS (159) characters, counted as
// characters whatever their bytes, is refused with this box rather than
// cut into a different directory.
#define PATH_TOO_LONG \
  "The directory you have selected is too long. Please choose one of at most 159 characters."
// Room for FormatThousands: the longest 32-bit figure with its commas.
#define THOUSANDS_SIZE 16

// Runs dialog 1001 modally, owned by script->window, with script as its
// creation parameter. 1 when the user confirmed a directory (then in
// installPath, ending with a backslash); 0 for "Exit Setup" or a close (with
// script->failure EXIT_CANCELLED), and when the dialog could not be made
// (logged).
int PathDialogRun(InstallScript *script);
// The dialog's procedure (dialog-sys.h). While the dialog is open it keeps the
// record of its creation parameter.
intptr_t PathDialogProc(void *dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);

// The directory the dialog proposes, into proposal (size bytes):
// installPath followed by installDir, replaced by the directory an earlier
// installation recorded, replaced by the "-dir=" path when one was given.
void PathProposal(const InstallScript *script, char *proposal, int size);
// The dialog's checks of a directory before it is taken: a trailing
// backslash is added (directory holds size bytes); NULL when it may be
// taken, else the text of the refusal ("... cannot be located.", "... does
// not have enough free space.", PATH_TOO_LONG).
const char *PathRefusal(const InstallScript *script, char *directory, int size);

// Fills the figures of dialog 1001 for the drive of path: 1012 the required
// kilobytes, 1011 the drive's free kilobytes, 1013 what would remain or "Not
// enough space" (figures as FormatThousands and "k"). When the free space
// cannot be determined, 1011 and 1013 read "n/a" and the result is 0; else 1.
int ShowSpaceFigures(void *dialog, const char *path, int32_t required);
// Kilobytes the installation takes on the drive of path: the files every
// FILE LIST of the script names (each name once per list, as found in the
// archive), each rounded up to whole clusters of the drive (GetDiskFreeSpaceW;
// 4,096 bytes when it gives none), and with UNINSTALL the uninstaller and its
// record; installSize when that is more, or when the script names no file.
// Logs the figure it measured.
int32_t SpaceNeededK(const InstallScript *script, const char *path);
// Free kilobytes available to this user on the drive whose root is the first
// three characters of path ("C:\"): GetDiskFreeSpaceExW when the system has
// it, else GetDiskFreeSpaceW; one log line with the figures. *freeK is 0
// first and stays 0 when the space cannot be determined (result 0). A figure
// beyond 32 bits is held at 2,147,483,647k. path is not changed.
int DiskFreeK(int32_t *freeK, char *path);
// The value in decimal with a comma before every group of three digits from
// the right (12345 gives "12,345", -1234 "-1,234") into out, which holds
// THOUSANDS_SIZE bytes. Returns 1.
int FormatThousands(int32_t value, char *out);

#endif

// What the uninstaller needs of the system beyond files, directories and the
// registry: starting its copy in the temporary directory so that the copy
// goes away when it ends and nobody can change it before it starts, random
// bytes for its name, a program's full path, and a pause while the original
// program exits.
// uninstall-win32.cpp is the product; standin/uninstall-standin.cpp records
// the starts for the native tests (uninstall-standin.h).
#ifndef INSTALLER_UNINSTALL_SYS_H
#define INSTALLER_UNINSTALL_SYS_H

#include <stdint.h>

// Opens program for deletion when its last handle closes (where the system
// lets it: not while it runs) and so that nobody else may write, rename or
// delete it, starts it in its own folder (the current one there) with the
// command line "program" arguments, handing it every inheritable handle (so
// a copy started from a copy holds that handle too), and closes this
// process's handles. With expected (size
// bytes) it starts the program only when its bytes, read through that
// handle, are these. With wait it makes the program's folder this
// process's current one too, waits for the program to end and gives its
// *exitCode. 1 started.
int UninstallSysStartCopy(const char *program, const char *expected, uint32_t size, const char *arguments, int wait,
                          uint32_t *exitCode);
// CopyFileW, failing when to is there. 1 copied.
int UninstallSysCopy(const char *from, const char *to);
// size random bytes from the system (RtlGenRandom). 1 given.
int UninstallSysRandom(void *buffer, uint32_t size);
// The absolute path of path, each component in its long form where the
// system tells it (GetFullPathNameW, GetLongPathNameW), into full (size
// bytes); path itself (cut to size) when the system cannot tell.
void UninstallSysLongPath(const char *path, char *full, int size);
// Sleep.
void UninstallSysSleep(uint32_t milliseconds);

#endif

// Files leaving the archive for the target machine: an entry loaded into a
// buffer of its own, a file written in one piece or piece by piece, and the
// chain of missing directories made before it. Used by INSTALL and FONT; what touches the
// system is behind target-sys.h.
#ifndef INSTALLER_TARGET_H
#define INSTALLER_TARGET_H

#include <stdint.h>

// Loads the archive entry name (upper-cased in place while the archive is
// mounted) into a new buffer of exactly its size (MEM_ALLOC). 1 with *data
// and *size; an entry of 0 bytes gives *data NULL, since no block is made for
// it. 0 after the log line "Unable to get size for '%s'\n" (not found) or
// "Unable to load '%s'\n" (cannot be read or unpacked, or too large), with
// nothing left allocated.
int TargetLoadEntry(char *name, void **data, uint32_t *size);
// Releases what TargetLoadEntry gave (nothing for an empty entry); *data is
// NULL afterwards. A failed release check is fatal.
void TargetFreeEntry(void **data, uint32_t size);

// Writes size bytes to the open file and closes it: 1 when the file is
// whole on the disk. A write or a close that fails (a full disk) removes
// the file and logs the system's reason and the path ("Write failed (%u):
// %s\n", "Unable to write to file '%s'\n"): 0.
int TargetWriteAll(void *file, const char *path, const void *data, uint32_t size);
// The same for one piece of a file written piece by piece: the file stays
// open after a full write (1); a failed one removes it as above (0).
int TargetWritePiece(void *file, const char *path, const void *data, uint32_t size);
// Closes a file that was written: 1; 0 when the close fails, with the file
// removed and the failure logged as above.
int TargetCloseWritten(void *file, const char *path);
// The two log lines of a failed write of path with the system's error code.
void TargetWriteFailed(uint32_t error, const char *path);
// Closes the open file and removes it, logging "Unable to remove '%s'\n"
// when it stays: no partial file is left behind.
void TargetDiscard(void *file, const char *path);

// Makes sure the directory path exists (with or without a trailing
// backslash): the outermost missing directory is created first, every
// deeper one after it, each handed to made. A directory that cannot be made
// is ignored (the file written into it fails later). path is changed while
// the call runs and restored. Always 1.
int MakePathNoting(char *path, void (*made)(const char *path));

#endif

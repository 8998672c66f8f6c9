// Test controls of the target machine's native stand-in (target-standin.cpp).
//
// Drives: a test maps a drive letter onto a host folder, so "C:\dir\file"
// is that folder's "dir/file"; a path with a leading backslash is on the
// current drive, C; any other path without a drive letter is relative to
// the current directory with its backslashes read as "/"; a path on a drive
// that is not mapped (or a network path) cannot be opened or created. A file
// whose owner-write bit is clear cannot be opened for writing, as a
// read-only file on Windows (even for root).
//
// Free space: a mapped drive reports the figures staged for it (1 GiB
// available, total and free until set); the legacy query reports them as
// 8 sectors of 512 bytes per cluster. As on Windows, a root without a drive
// letter ("\", ".\", "..\") asks about the current drive, C.
#ifndef INSTALLER_TARGET_STANDIN_H
#define INSTALLER_TARGET_STANDIN_H

#include <stdint.h>
#include <string>

// No drives, no staged figures or failures, nothing recorded.
void TargetStandInReset(void);
// Maps drive letter (either case) onto hostFolder; NULL unmaps it.
void TargetStandInMapDrive(char letter, const char *hostFolder);
void TargetStandInSetFreeSpace(char letter, uint64_t available, uint64_t total, uint64_t totalFree);
// KERNEL32 cannot be loaded: the load fails with error (0: it loads).
void TargetStandInFailKernel(uint32_t error);
// The system has no GetDiskFreeSpaceExA (only the legacy query).
void TargetStandInNoFreeSpaceEx(int absent);
// The next write stores at most bytes bytes (a full disk); -1 cancels.
void TargetStandInShortWrite(int bytes);
// From now on every drive together takes at most bytes more bytes; a write
// beyond stores what fits and fails as a full disk (112); -1 cancels.
void TargetStandInDiskRoom(int64_t bytes);
// skip closes of files written pass, then one fails as a full disk that
// could not take what was buffered: the file is left empty; -1 cancels.
void TargetStandInFailClose(int skip);

// The file at the Windows path is in use by another program (program, as
// the Restart Manager would name it; NULL: it cannot tell): removing it or
// moving it, from or to its place, fails with 32 until the next reset or
// TargetStandInFreeBusy, which lets every such file go.
void TargetStandInSetBusy(const char *path, const char *program = NULL);
void TargetStandInFreeBusy(void);
// The moves asked for at the next restart, each "from TAB to" ("" for a
// removal) and "\n"; with fail 1 the system refuses them.
const std::string &TargetStandInRestartMoves(void);
// Files moved into a journal's folder before their line was on the disk.
int TargetStandInUnflushedMoves(void);
void TargetStandInFailRestart(int fail);

// Every directory creation asked for, each path as given and "\n".
const std::string &TargetStandInCreatedDirs(void);
// Drive roots the free-space queries were asked about, each and "\n".
const std::string &TargetStandInQueriedRoots(void);
// Files opened and not yet closed; kernel libraries loaded and not freed.
int TargetStandInOpenFiles(void);
// 1: no second thread can be started, so queued files are written as they
// are handed over.
void TargetStandInNoThread(int none);
int TargetStandInKernelsLoaded(void);
// Repaint requests, and the window of the last one.
int TargetStandInInvalidations(void);
void *TargetStandInLastInvalidated(void);

#endif

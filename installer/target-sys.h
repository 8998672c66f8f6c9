// What the installation commands need of the target machine: files and
// directories written below the destination, the drive's free space through
// KERNEL32, and the repaint of a window. target-win32.cpp is the product;
// target-standin.cpp stands in for the native build with drives that a test
// maps onto host folders and free-space figures it stages
// (target-standin.h). Every decision and log line is in portable code.
//
// Paths are Windows paths ("C:\dir\file", or relative ones with
// backslashes) on both sides. Window handles are HWND values carried as
// void *.
#ifndef INSTALLER_TARGET_SYS_H
#define INSTALLER_TARGET_SYS_H

#include <stdint.h>

// Creates path for writing byte for byte (CreateFileW, CREATE_ALWAYS:
// an existing file is truncated). 1 and *file set; 0 and *file NULL.
int TargetSysCreate(const char *path, void **file);
// Writes size bytes (WriteFile, unbuffered by the program): 0 when every
// byte was written, else the system's error code of the write that fell
// short (112: the disk is full), taken where it happened.
uint32_t TargetSysWrite(void *file, const void *data, uint32_t size);
// Closes a file opened for writing or reading (CloseHandle): 0, else the
// system's error code (what was written may not be on the disk).
uint32_t TargetSysClose(void *file);
// Makes what was written to file durable (FlushFileBuffers): 0, else the
// system's error code.
uint32_t TargetSysFlush(void *file);
// Removes the file path (DeleteFileW). 1 when removed.
int TargetSysDelete(const char *path);
// Puts the file from in the place of the file to, which may be there
// (MoveFileExW, MOVEFILE_REPLACE_EXISTING; where the system has no such
// call, to is deleted and from renamed). 0 when done, else the system's
// error code (32, 33: another program holds the file; 5: refused).
uint32_t TargetSysReplace(const char *from, const char *to);
// Asks the system to put the file from in the place of to when Windows
// next starts (MoveFileExW, MOVEFILE_DELAY_UNTIL_REBOOT and
// MOVEFILE_REPLACE_EXISTING: a value PendingFileRenameOperations below
// HKLM\SYSTEM\CurrentControlSet\Control\Session Manager); to NULL: from is
// then removed. 1 when the system took it.
int TargetSysAtRestart(const char *from, const char *to);
// The programs that hold the file path, as the Restart Manager names them
// (rstrtmgr.dll from the system directory: RmStartSession,
// RmRegisterResources, RmGetList, RmEndSession), joined by ", " into names
// of size bytes: 1; 0 with names empty when the system cannot tell.
int TargetSysHolders(const char *path, char *names, int size);
// The system's text for an error code (one line, no line end) into text of
// size bytes.
void TargetSysErrorText(uint32_t code, char *text, int size);

// Opens path for reading byte for byte: 1 with *file and the file's *size;
// 0 and *file NULL when it cannot be opened. Closed with TargetSysClose.
int TargetSysOpenRead(const char *path, void **file, uint32_t *size);
// Reads up to size bytes; the count read.
uint32_t TargetSysRead(void *file, void *data, uint32_t size);
// DeleteFileW: 0 when removed, else the system's error code (2: not there,
// 3: its folder not there, 32: in use by another program, 5: access denied).
uint32_t TargetSysRemoveFile(const char *path);
// 1 when path is a link or another reparse point (GetFileAttributesW has
// FILE_ATTRIBUTE_REPARSE_POINT: a symbolic link, a junction, and under Wine
// a folder that is a Unix symbolic link); 0 when it is none or not there.
int TargetSysIsLink(const char *path);
// 1 when path names a file, not a directory, 2 when a read-only one
// (GetFileAttributesW, FILE_ATTRIBUTE_READONLY); 0 when it names none.
int TargetSysFileExists(const char *path);
// RemoveDirectoryW: 1 when removed (the system removes only an empty one).
int TargetSysRemoveDir(const char *path);

// 1 when path names a directory (with or without a trailing backslash).
int TargetSysDirExists(const char *path);
// CreateDirectoryW with default security. 1 when created.
int TargetSysCreateDir(const char *path);

// LoadLibraryW("KERNEL32.DLL"): 1 and *library; 0 and *error the system's
// error code.
int TargetSysLoadKernel(void **library, uint32_t *error);
void TargetSysFreeKernel(void *library);
// Looks up "GetDiskFreeSpaceExW" in the library: 1 and *entry, 0 when the
// system has none.
int TargetSysFindFreeSpaceEx(void *library, void **entry);
// Calls the entry found above for root ("C:\"): 1 with the bytes available to
// the caller, the total bytes and the total free bytes; 0 when it failed.
int TargetSysFreeSpaceEx(void *entry, const char *root, uint64_t *available, uint64_t *total,
                         uint64_t *totalFree);
// GetDiskFreeSpaceW for root: 1 with its four figures, 0 when it failed
// (also asked for the cluster size when the other query gave the space).
int TargetSysFreeSpace(const char *root, uint32_t *sectorsPerCluster, uint32_t *bytesPerSector,
                       uint32_t *freeClusters, uint32_t *totalClusters);

// Threads for writing files and for unpacking a solid block, and the
// counting semaphores that pace them. TargetSysThreadStart runs run(context) on a new thread: 1 with
// *thread, 0 when none could be started. TargetSysThreadJoin waits for it
// to end and releases it. TargetSysSemaphore makes one counting from count
// (NULL when none can be made); a wait takes one unit, waiting while there
// is none, and a post gives one back.
int TargetSysThreadStart(void (*run)(void *), void *context, void **thread);
void TargetSysThreadJoin(void *thread);
void *TargetSysSemaphore(int count);
void TargetSysSemaphoreWait(void *semaphore);
void TargetSysSemaphorePost(void *semaphore);
void TargetSysSemaphoreClose(void *semaphore);

// Asks for a repaint of the whole client area with erasing
// (InvalidateRect with no rectangle, erase TRUE).
void TargetSysInvalidate(void *window);

#endif

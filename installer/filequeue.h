// The files INSTALL leaves on the machine are created, written and closed on
// a second thread, in the order they are given, while the caller unpacks the
// next ones. The caller keeps everything else: the archive, the log, the
// uninstall record, the progress and the dialogs. A file is noted in the
// uninstall record once it has been closed whole, in the order given; the
// directories the caller makes for them are noted in the same order
// (FileQueueDirectoryMade, a callback for MakePathNoting).
//
// The queue holds at most FILE_QUEUE_SLOTS pieces of FILE_QUEUE_SLOT bytes.
// Where no thread can be started, each piece is written as it is handed over.
// One queue at a time.
#ifndef INSTALLER_FILEQUEUE_H
#define INSTALLER_FILEQUEUE_H

#include <stdint.h>

#define FILE_QUEUE_SLOTS 4
#define FILE_QUEUE_SLOT 0x80000u

// Starts the queue (and its thread, where one can be had).
void FileQueueStart(void);
// A new file at path (copied), then its bytes, then its end. Handing over
// waits while every slot is taken. Once the thread has met a failure,
// everything handed over is dropped.
void FileQueueOpen(const char *path);
int FileQueueWrite(const void *data, uint32_t size);
// kept: the file at path was kept as it was (nothing was opened for it); it
// is noted in the uninstall record in its place among the files written.
void FileQueueClose(const char *path, int kept = 0);
void FileQueueDirectoryMade(const char *path);
// 1 once the thread is known to have met a failure: nothing more is worth
// unpacking, and FileQueueFinish says what it was.
int FileQueueFailed(void);
// Hands over what is left and waits until everything was written. 1 when
// every file was. 0 after the log line "Unable to create file '%s'\n" of the
// first file that could not be created, or after a write or close of it
// failed (a full disk): that file is removed and the system's reason,
// taken where the failure happened, logged as TargetWriteFailed does.
// The last file opened and not closed stays open: *unclosed (when not NULL)
// is its handle, or NULL.
int FileQueueFinish(void **unclosed);

#endif

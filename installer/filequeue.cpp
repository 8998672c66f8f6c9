// The file queue: slots of records handed between the caller and the writing
// thread by two counting semaphores (free slots, filled slots). A slot is
// filled with records (a file's start with its path, bytes, a file's end with
// its path, a directory the caller made, the queue's end), handed over whole,
// and taken back in the same order; the caller then notes each directory and
// each file the thread marked closed, so the uninstall record keeps the order
// in which they were made.
#include "filequeue.h"

#include <string.h>

#include "target-sys.h"
#include "target.h"
#include "uninstall.h"
#include "vantor-core.h"
#include "vantor-str.h"

enum RecordKind { RECORD_OPEN = 1, RECORD_DATA, RECORD_CLOSE, RECORD_CLOSED, RECORD_DIRECTORY, RECORD_END };
enum Failure { FAILED_NONE, FAILED_CREATE, FAILED_WRITE };

#define RECORD_HEAD 8u  // kind and byte count, 4 bytes each

struct Slot {
  unsigned char *bytes;
  uint32_t used;
  int handed;  // handed over and not yet taken back
};

static struct {
  Slot slots[FILE_QUEUE_SLOTS];
  int current;  // the slot being filled
  void *thread, *freeSlots, *filledSlots;
  int failedSeen;  // the caller's own copy of "failure", read after a hand-back
  // The thread's side; the caller reads it only after a semaphore or the
  // join. failure may change while a later slot is written: the caller takes
  // it as a hint to stop early, and decides only after the join.
  void *file;
  char path[VANTOR_PATH_SIZE];
  uint32_t error;  // the system's code of the failed write or close, taken on the thread
  volatile int failure;
} queue;

static uint32_t Padded(uint32_t n) { return (n + 3u) & ~3u; }

// The thread's work on one slot: every record in order; after a failure
// nothing more is done. 0 once the queue's end was met.
static int WriteSlot(Slot *slot) {
  for (uint32_t at = 0; at < slot->used;) {
    unsigned char *record = slot->bytes + at;
    uint32_t kind, n;
    memcpy(&kind, record, 4);
    memcpy(&n, record + 4, 4);
    unsigned char *data = record + RECORD_HEAD;
    at += RECORD_HEAD + Padded(n);
    if (kind == RECORD_END) return 0;
    if (queue.failure != FAILED_NONE) continue;
    if (kind == RECORD_OPEN) {
      memcpy(queue.path, data, n);
      if (!TargetSysCreate(queue.path, &queue.file)) queue.failure = FAILED_CREATE;
    } else if (kind == RECORD_DATA || kind == RECORD_CLOSE) {
      // A file counts as written once it is closed whole: the close is
      // where the system may say last that the disk is full.
      uint32_t error = kind == RECORD_DATA ? TargetSysWrite(queue.file, data, n) : TargetSysClose(queue.file);
      if (kind == RECORD_CLOSE) queue.file = NULL;
      if (error != 0) {
        queue.error = error;
        queue.failure = FAILED_WRITE;
      } else if (kind == RECORD_CLOSE) {
        kind = RECORD_CLOSED;
        memcpy(record, &kind, 4);
      }
    }
  }
  return 1;
}

static void WriterThread(void *context) {
  (void)context;
  for (int next = 0, going = 1; going; next = (next + 1) % FILE_QUEUE_SLOTS) {
    TargetSysSemaphoreWait(queue.filledSlots);
    going = WriteSlot(&queue.slots[next]);
    TargetSysSemaphorePost(queue.freeSlots);
  }
}

// The caller takes a slot back: the files it saw closed are noted.
static void TakeBack(Slot *slot) {
  for (uint32_t at = 0; at < slot->used;) {
    uint32_t kind, n;
    memcpy(&kind, slot->bytes + at, 4);
    memcpy(&n, slot->bytes + at + 4, 4);
    const char *path = (const char *)slot->bytes + at + RECORD_HEAD;
    if (kind == RECORD_CLOSED) UninstallNote(UNINSTALL_TAG_FILE, path, NULL);
    if (kind == RECORD_DIRECTORY) UninstallNote(UNINSTALL_TAG_DIR, path, NULL);
    at += RECORD_HEAD + Padded(n);
  }
  slot->used = 0;
  slot->handed = 0;
  if (queue.failure != FAILED_NONE) queue.failedSeen = 1;
}

// Hands the current slot over and makes the next one current, taking it
// back first once the thread is done with it.
static void HandOver(void) {
  Slot *slot = &queue.slots[queue.current];
  slot->handed = 1;
  if (queue.thread != NULL) {
    TargetSysSemaphorePost(queue.filledSlots);
  } else {
    WriteSlot(slot);
    if (queue.failure != FAILED_NONE) queue.failedSeen = 1;
  }
  queue.current = (queue.current + 1) % FILE_QUEUE_SLOTS;
  Slot *next = &queue.slots[queue.current];
  if (queue.thread != NULL) TargetSysSemaphoreWait(queue.freeSlots);
  if (next->handed) TakeBack(next);
}

// Room for a record of at least need bytes in the current slot: the slot is
// handed over first when it has less. Returns the record's start.
static unsigned char *Room(uint32_t need) {
  if (FILE_QUEUE_SLOT - queue.slots[queue.current].used < RECORD_HEAD + Padded(need)) HandOver();
  Slot *slot = &queue.slots[queue.current];
  return slot->bytes + slot->used;
}

// Appends a record of n bytes from data; its bytes in the slot.
static unsigned char *Put(uint32_t kind, const void *data, uint32_t n) {
  unsigned char *record = Room(n);
  memcpy(record, &kind, 4);
  memcpy(record + 4, &n, 4);
  if (n > 0) memcpy(record + RECORD_HEAD, data, n);
  queue.slots[queue.current].used += RECORD_HEAD + Padded(n);
  return record + RECORD_HEAD;
}

// A record of a path and its terminator, cut to what the thread's path
// buffer holds (the callers' paths always fit).
static void PutPath(uint32_t kind, const char *path) {
  uint32_t n = (uint32_t)StrLength(path);
  if (n > VANTOR_PATH_SIZE - 1) n = VANTOR_PATH_SIZE - 1;
  Put(kind, path, n + 1)[n] = 0;
}

void FileQueueStart(void) {
  memset(&queue, 0, sizeof queue);
  for (int i = 0; i < FILE_QUEUE_SLOTS; i++) queue.slots[i].bytes = (unsigned char *)MEM_ALLOC_UNCLEARED((int)FILE_QUEUE_SLOT);
  queue.freeSlots = TargetSysSemaphore(FILE_QUEUE_SLOTS - 1);
  queue.filledSlots = TargetSysSemaphore(0);
  if (queue.freeSlots == NULL || queue.filledSlots == NULL ||
      !TargetSysThreadStart(WriterThread, NULL, &queue.thread))
    queue.thread = NULL;  // each slot is then written as it is handed over
}

void FileQueueOpen(const char *path) { PutPath(RECORD_OPEN, path); }

int FileQueueWrite(const void *data, uint32_t size) {
  const unsigned char *bytes = (const unsigned char *)data;
  while (size > 0 && !queue.failedSeen) {
    uint32_t left = FILE_QUEUE_SLOT - queue.slots[queue.current].used;
    if (left < RECORD_HEAD + 4) {
      HandOver();
      continue;
    }
    uint32_t n = left - RECORD_HEAD < size ? (left - RECORD_HEAD) & ~3u : size;
    Put(RECORD_DATA, bytes, n);
    bytes += n;
    size -= n;
  }
  return 1;
}

void FileQueueDirectoryMade(const char *path) { PutPath(RECORD_DIRECTORY, path); }

void FileQueueClose(const char *path, int kept) { PutPath(kept ? RECORD_CLOSED : RECORD_CLOSE, path); }

int FileQueueFailed(void) { return queue.failedSeen; }

int FileQueueFinish(void **unclosed) {
  Put(RECORD_END, NULL, 0);
  Slot *last = &queue.slots[queue.current];
  last->handed = 1;
  if (queue.thread != NULL) {
    TargetSysSemaphorePost(queue.filledSlots);
    TargetSysThreadJoin(queue.thread);
  } else {
    WriteSlot(last);
  }
  // Taken back in the order handed over: the oldest follows the last.
  for (int i = 1; i <= FILE_QUEUE_SLOTS; i++) {
    Slot *slot = &queue.slots[(queue.current + i) % FILE_QUEUE_SLOTS];
    if (slot->handed) TakeBack(slot);
  }
  for (int i = 0; i < FILE_QUEUE_SLOTS; i++)
    if (!MEM_FREE(queue.slots[i].bytes, (int)FILE_QUEUE_SLOT)) ABORT("Unable to free memory (%d)\n", (int)FILE_QUEUE_SLOT);
  if (queue.freeSlots != NULL) TargetSysSemaphoreClose(queue.freeSlots);
  if (queue.filledSlots != NULL) TargetSysSemaphoreClose(queue.filledSlots);
  if (unclosed != NULL) *unclosed = queue.failure == FAILED_NONE ? queue.file : NULL;
  if (queue.failure == FAILED_WRITE) {
    // No partial file stays: one still open is closed, then removed.
    if (queue.file != NULL) TargetDiscard(queue.file, queue.path);
    else if (!TargetSysDelete(queue.path)) DebugPrintf("Unable to remove '%s'\n", queue.path);
    TargetWriteFailed(queue.error, queue.path);
    return 0;
  }
  if (queue.failure == FAILED_CREATE) {
    DebugPrintf("Unable to create file '%s'\n", queue.path);
    return 0;
  }
  return 1;
}

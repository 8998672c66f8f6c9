// Archive entries loaded for writing, whole-file writes, missing directories.
#include "target.h"

#include "ffs.h"
#include "journal.h"
#include "target-sys.h"
#include "vantor-core.h"
#include "vantor-str.h"

#define TARGET_REASON_SIZE 256  // the system's text for a failed write

int TargetLoadEntry(char *name, void **data, uint32_t *size) {
  // The allocator refuses a block of 0 bytes: an empty entry needs none.
  return FfsLoadEntry(name, 0, 1, data, size);
}

void TargetFreeEntry(void **data, uint32_t size) {
  ASSERT(data != NULL, POINTER_IS_NULL);
  if (*data != NULL) MemFree(data, (int)size, __FILE__, __LINE__);
  *data = NULL;
}

int TargetWritePiece(void *file, const char *path, const void *data, uint32_t size) {
  ASSERT(file != NULL, POINTER_IS_NULL);
  ASSERT(path != NULL, POINTER_IS_NULL);
  uint32_t error = size > 0 ? TargetSysWrite(file, data, size) : 0;
  if (error == 0) return 1;
  TargetDiscard(file, path);
  TargetWriteFailed(error, path);
  return 0;
}

void TargetWriteFailed(uint32_t error, const char *path) {
  char reason[TARGET_REASON_SIZE];
  TargetSysErrorText(error, reason, (int)sizeof reason);
  DebugPrintf("Write failed (%u): %s\n", (unsigned)error, reason);
  DebugPrintf("Unable to write to file '%s'\n", path);
}

void TargetDiscard(void *file, const char *path) {
  TargetSysClose(file);
  if (!TargetSysDelete(path)) DebugPrintf("Unable to remove '%s'\n", path);
}

int TargetCloseWritten(void *file, const char *path) {
  uint32_t error = TargetSysClose(file);
  if (error == 0) return 1;
  if (!TargetSysDelete(path)) DebugPrintf("Unable to remove '%s'\n", path);
  TargetWriteFailed(error, path);
  return 0;
}

int TargetWriteAll(void *file, const char *path, const void *data, uint32_t size) {
  return TargetWritePiece(file, path, data, size) && TargetCloseWritten(file, path);
}

int MakePathNoting(char *path, void (*made)(const char *path)) {
  ASSERT(path != NULL, POINTER_IS_NULL);
  if (TargetSysDirExists(path)) return 1;
  int last = StrLength(path) - 1;
  while (last >= 0 && path[last] != '\\') last--;
  if (last > 0) {
    path[last] = 0;
    MakePathNoting(path, made);
    path[last] = '\\';
  }
  // A closing backslash names the parent just made.
  if (path[last + 1] != 0 && JournalNote(JOURNAL_TAG_DIR, path, NULL) && TargetSysCreateDir(path)) made(path);
  return 1;
}

// Archive entries loaded for writing, whole-file writes, missing directories.
#include "target.h"

#include "ffs.h"
#include "target-sys.h"
#include "vantor-core.h"
#include "vantor-str.h"

int TargetLoadEntry(char *name, void **data, uint32_t *size) {
  ASSERT(name != NULL, "Pointer is NULL\n");
  ASSERT(data != NULL, "Pointer is NULL\n");
  ASSERT(size != NULL, "Pointer is NULL\n");
  *data = NULL;
  uint32_t found = 0;
  if (!FfsGetSize(name, &found)) {
    DebugPrintf("Unable to get size for '%s'\n", name);
    return 0;
  }
  if (found > TARGET_ENTRY_MAX) {
    DebugPrintf("Unable to load '%s'\n", name);
    return 0;
  }
  // The allocator refuses a block of 0 bytes: an empty entry needs none.
  void *buffer = found > 0 ? MEM_ALLOC((int)found) : NULL;
  if (found > 0 && !FfsLoad(name, buffer, found)) {
    DebugPrintf("Unable to load '%s'\n", name);
    MEM_FREE(buffer, (int)found);
    return 0;
  }
  *data = buffer;
  *size = found;
  return 1;
}

void TargetFreeEntry(void **data, uint32_t size) {
  ASSERT(data != NULL, "Pointer is NULL\n");
  if (*data != NULL) MemFree(data, (int)size, __FILE__, __LINE__);
  *data = NULL;
}

int TargetWriteAll(void *file, const char *path, const void *data, uint32_t size) {
  ASSERT(file != NULL, "Pointer is NULL\n");
  ASSERT(path != NULL, "Pointer is NULL\n");
  uint32_t written = size > 0 ? TargetSysWrite(file, data, size) : 0;
  if (written < size) ABORT("Unable to write to file '%s'\n", path);
  TargetSysClose(file);
  return 1;
}

int MakePath(char *path) {
  ASSERT(path != NULL, "Pointer is NULL\n");
  if (TargetSysDirExists(path)) return 1;
  int last = StrLength(path) - 1;
  while (last >= 0 && path[last] != '\\') last--;
  if (last > 0) {
    path[last] = 0;
    MakePath(path);
    path[last] = '\\';
  }
  TargetSysCreateDir(path);
  return 1;
}

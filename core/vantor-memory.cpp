// Memory accounting: guarded, zero-filled, counted heap blocks; the global
// pool's counters and reports; the quick pool reserved at start-up and rewound
// once per window message.
#include <string.h>

#include "process-sys.h"
#include "vantor-core.h"

static MemoryCounters general;
static MemoryCounters global;

static int quickSize;
static unsigned char *quickBase;
static unsigned char *quickCurrent;
static unsigned char *quickEnd;
static unsigned char *quickPeak;
static int quickLargest;

// size + 8 guard bytes, rounded up to a multiple of 4.
static int BlockTotal(int size) { return (int)(((unsigned)size + 11u) & ~3u); }

// A guarded, counted block; its bytes zero-filled when clear.
static void *Allocate(int size, const char *file, int line, int clear) {
  if (size < 1 || size > 0x7FFFFFF0) {
    DebugSetAbortWhere(file, line);
    DebugAbort("(%s) (%d) Invalid Memory Size (%d)\n", file, line, size);
  }
  int total = BlockTotal(size);
  unsigned char *block = (unsigned char *)SysHeapAlloc(total);
  if (block == NULL) {
    DebugSetAbortWhere(file, line);
    DebugAbort("(%s) (%d) No memory available (%d)\n", file, line, size);
  }
  general.bytes += total;
  general.count += 1;
  if (general.maxCount < general.count) general.maxCount = general.count;
  if (general.maxBytes < general.bytes) general.maxBytes = general.bytes;
  memset(block, GUARD_BYTE, 4);
  if (clear) memset(block + 4, 0, total - 8);
  else memset(block + 4 + size, 0, total - 8 - size);  // the rounding up to the guard
  memset(block + total - 4, GUARD_BYTE, 4);
  return block + 4;
}

void *MemAlloc(int size, const char *file, int line) { return Allocate(size, file, line, 1); }

void *MemAllocUncleared(int size, const char *file, int line) { return Allocate(size, file, line, 0); }

int MemFree(void *pointer, int size, const char *file, int line) {
  ASSERT(pointer != NULL, POINTER_IS_NULL);
  unsigned char **caller = (unsigned char **)pointer;
  ASSERT(*caller != NULL, POINTER_IS_NULL);
  if (size < 1 || size > 0x7FFFFFF0) {
    DebugSetAbortWhere(file, line);
    DebugAbort("(%s) (%d) Invalid Memory Size (%d)\n", file, line, size);
  }
  int total = BlockTotal(size);
  unsigned char *block = *caller - 4;
  for (int i = 0; i < 4; i++)
    if (block[i] != GUARD_BYTE) {
      DebugSetAbortWhere(file, line);
      DebugAbort("(%s) (%d) Memory Corrupted Before (%d)\n", file, line, size);
    }
  for (int i = total - 4; i < total; i++)
    if (block[i] != GUARD_BYTE) {
      DebugSetAbortWhere(file, line);
      DebugAbort("(%s) (%d) Memory Corrupted After (%d)\n", file, line, size);
    }
  general.count -= 1;
  general.bytes -= total;
  SysHeapFree(block);
  *caller = NULL;
  return 1;
}

void MemoryGetCounters(MemoryCounters *out) {
  ASSERT(out != NULL, POINTER_IS_NULL);
  *out = general;
}

static int Reporting(void) { return (DebugFlags() & DEBUG_REPORT) != 0; }

int QuickMemoryFrame(void) {
  int used = (int)(quickCurrent - quickBase);
  if (used > quickLargest) quickLargest = used;
  quickCurrent = quickBase;
  quickEnd = quickBase + quickSize;
  return 1;
}

int QuickMemoryInit(int size) {
  quickSize = size;
  quickBase = NULL;
  if (size != 0) {
    quickBase = (unsigned char *)MEM_ALLOC(size);
    if (quickBase == NULL) ABORT("No memory available (%d)\n", quickSize);
  }
  quickCurrent = quickPeak = quickBase;
  QuickMemoryFrame();
  if (Reporting()) DebugPrintf("Quickmemory Initialized (%dk)\n", (int)((unsigned)size / 1024u));
  return 1;
}

int QuickMemoryReport(void) {
  DebugPrintf("Quick Memory size was set to (%dk)\n", quickSize >> 10);
  DebugPrintf("Maximum Quick Memory in use (%dk)  Largest Frame (%dk)\n",
              (int)(quickPeak - quickBase) >> 10, quickLargest >> 10);
  return 1;
}

int QuickMemoryRemove(void) {
  quickCurrent = quickBase;
  if (Reporting()) QuickMemoryReport();
  if (quickSize > 0 && quickBase != NULL) {
    if (!MEM_FREE(quickBase, quickSize)) ABORT("Unable to free memory (%d)\n", quickSize);
  }
  quickCurrent = quickPeak = quickEnd = NULL;
  return 1;
}

int GlobalMemoryInit(void) {
  if (Reporting()) DebugSection("Global Memory Init");
  memset(&global, 0, sizeof(global));
  if (Reporting()) DebugSection(NULL);
  return 1;
}

// The leak lines: bytes below 1024 in the "b" form, from 1024 up in k.
static void LeakLine(const MemoryCounters *c, const char *bytesForm, const char *kiloForm) {
  if (c->bytes == 0) return;
  if (c->bytes < 1024)
    DebugPrintf(bytesForm, c->count, c->bytes);
  else
    DebugPrintf(kiloForm, c->count, c->bytes >> 10);
}

int GlobalMemoryRemove(void) {
  if (Reporting()) {
    DebugSection("Global Memory Remove");
    DebugPrintf("Maximum Global Memory in use (%d / %dk)\n", global.maxCount, global.maxBytes >> 10);
  }
  LeakLine(&global, "Not all global memory was free'd (%d / %db)\n",
           "Not all global memory was free'd (%d / %dk)\n");
  if (Reporting()) DebugSection(NULL);
  return 1;
}

int MemoryInit(int size) {
  if (Reporting()) DebugSection("Memory Init");
  memset(&general, 0, sizeof(general));
  QuickMemoryInit(size);
  if (Reporting()) DebugSection(NULL);
  GlobalMemoryInit();
  return 1;
}

int MemoryRemove(void) {
  GlobalMemoryRemove();
  if (Reporting()) DebugSection("Memory Remove");
  QuickMemoryRemove();
  if (Reporting()) DebugPrintf("Maximum Memory in use (%d / %dk)\n", general.maxCount, general.maxBytes >> 10);
  LeakLine(&general, "Not all memory was free'd (%d / %db)\n", "Not all memory was free'd (%d / %dk)\n");
  if (Reporting()) DebugSection(NULL);
  return 1;
}

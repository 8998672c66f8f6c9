// What the native stand-in of the process seam offers to tests.
#ifndef VANTOR_PROCESS_STANDIN_H
#define VANTOR_PROCESS_STANDIN_H

#include <stdint.h>

struct SysBoxRecord {
  void *owner;
  char text[2100];
  char caption[256];
  uint32_t style;
};

void SysStandInSetCommandLine(const char *line);
// What SysModulePath reports (a Windows path); NULL or "": nothing.
void SysStandInSetModulePath(const char *path);
int SysStandInConsoleOpen(void);
int SysStandInBoxCount(void);
const SysBoxRecord *SysStandInLastBox(void);
// Box number index (0 = the first since the program started, up to
// SysStandInBoxCount() - 1); only the last SYS_STANDIN_BOX_HISTORY are kept,
// older ones and indexes out of range give NULL.
#define SYS_STANDIN_BOX_HISTORY 32
const SysBoxRecord *SysStandInBox(int index);
// The largest heap block asked for since the last call with reset 1.
int SysStandInLargestBlock(int reset);

// Another process holds the lock called name (NULL or "": none), and this
// one holds nothing yet; the name this process took last, or "".
void SysStandInSetLockHeld(const char *name);
const char *SysStandInLockTaken(void);

#endif

// The uninstaller's system calls for the native build: starts recorded.
#include "uninstall-standin.h"
#include "uninstall-sys.h"

#include <stdio.h>

static std::string starts;
static int failStart, sleeps;

const std::string &UninstallStandInStarts(void) { return starts; }
void UninstallStandInFailStart(int fail) { failStart = fail; }
int UninstallStandInSleeps(void) { return sleeps; }
void UninstallStandInReset(void) {
  starts.clear();
  failStart = sleeps = 0;
}

int UninstallSysStartCopy(const char *program, const char *expected, uint32_t size, const char *arguments, int wait,
                          uint32_t *exitCode) {
  (void)expected;
  (void)size;
  if (failStart) return 0;
  if (wait) *exitCode = 0;
  starts += std::string(program) + " " + arguments + "\n";
  return 1;
}

int UninstallSysCopy(const char *from, const char *to) {
  starts += std::string("copy ") + from + " " + to + "\n";
  return from[0] != 0;
}

int UninstallSysRandom(void *buffer, uint32_t size) {
  FILE *source = fopen("/dev/urandom", "rb");
  int given = source != NULL && fread(buffer, 1, size, source) == size;
  if (source != NULL) fclose(source);
  return given;
}

void UninstallSysLongPath(const char *path, char *full, int size) { snprintf(full, (size_t)size, "%s", path); }

void UninstallSysSleep(uint32_t milliseconds) {
  (void)milliseconds;
  sleeps++;
}

// The process seam for the native build: starts are recorded, never made.
#include <stdio.h>

#include "pages-standin.h"
#include "pages-sys.h"

static int startCount;
static uint32_t failError;
static char lastApplication[1024];
static char lastCommandLine[1024];

void PagesStandInReset(void) {
  startCount = 0;
  failError = 0;
  lastApplication[0] = lastCommandLine[0] = 0;
}

void PagesStandInFailNext(uint32_t error) { failError = error; }
int PagesStandInStartCount(void) { return startCount; }
const char *PagesStandInLastApplication(void) { return lastApplication; }
const char *PagesStandInLastCommandLine(void) { return lastCommandLine; }

int PagesStartProcess(const char *application, char *commandLine, uint32_t *error) {
  startCount++;
  snprintf(lastApplication, sizeof lastApplication, "%s", application);
  snprintf(lastCommandLine, sizeof lastCommandLine, "%s", commandLine);
  if (failError != 0) {
    *error = failError;
    failError = 0;
    return 0;
  }
  return 1;
}

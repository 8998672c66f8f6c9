// The window seam's native stand-in: there are no windows, so the calls are
// only counted.
#include "appwin-standin.h"
#include "appwin.h"

static int destroyCount;
static void *lastDestroyed;

void AppSendDestroy(void *window) {
  destroyCount++;
  lastDestroyed = window;
}

int AppStandInDestroyCount(void) { return destroyCount; }
void *AppStandInLastDestroyed(void) { return lastDestroyed; }

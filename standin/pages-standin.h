// Test controls of the process seam's stand-in (pages-standin.cpp): programs
// are never started, only recorded.
#ifndef INSTALLER_PAGES_STANDIN_H
#define INSTALLER_PAGES_STANDIN_H

#include <stdint.h>

void PagesStandInReset(void);
// The next start fails with this system error code.
void PagesStandInFailNext(uint32_t error);
// Starts asked for since the reset, and the last one's arguments.
int PagesStandInStartCount(void);
const char *PagesStandInLastApplication(void);
const char *PagesStandInLastCommandLine(void);

#endif

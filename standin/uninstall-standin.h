// Test controls of the uninstaller's native stand-in (uninstall-standin.cpp):
// copies started are recorded, never run; pauses are counted.
#ifndef STANDIN_UNINSTALL_STANDIN_H
#define STANDIN_UNINSTALL_STANDIN_H

#include <string>

// Each start: program, " ", arguments, "\n".
const std::string &UninstallStandInStarts(void);
// The next start fails (1) or succeeds (0).
void UninstallStandInFailStart(int fail);
// Pauses asked for.
int UninstallStandInSleeps(void);
void UninstallStandInReset(void);

#endif

// Test controls of the native stand-in for the machine facts
// (sysinfo-standin.cpp). Until staged, it reports Windows NT 5.1, build 2600,
// "Service Pack 3", and 64 MiB of memory.
#ifndef INSTALLER_SYSINFO_STANDIN_H
#define INSTALLER_SYSINFO_STANDIN_H

#include <stdint.h>

#include "sysinfo-sys.h"

// The version record reported from now on; NULL makes the query fail.
void SysInfoStandInSetVersion(const SysInfoVersion *version);
void SysInfoStandInSetMemory(uint32_t bytes);
// Back to the defaults above.
void SysInfoStandInReset(void);

#endif

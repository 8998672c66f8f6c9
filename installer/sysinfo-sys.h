// Machine facts for the registration mail that neither the socket layer nor
// the registry gives: the operating system's version record and the amount
// of physical memory. sysinfo-win32.cpp asks KERNEL32 (GetVersionExA,
// GlobalMemoryStatus); sysinfo-standin.cpp reports staged values
// (sysinfo-standin.h) for native tests.
#ifndef INSTALLER_SYSINFO_SYS_H
#define INSTALLER_SYSINFO_SYS_H

#include <stdint.h>

#define SYSINFO_SERVICE_PACK_SIZE 128  // as in the system's version record

// Platform identifiers of the version record.
#define SYSINFO_PLATFORM_WIN32S  0
#define SYSINFO_PLATFORM_WINDOWS 1
#define SYSINFO_PLATFORM_NT      2

struct SysInfoVersion {
  uint32_t major;
  uint32_t minor;
  uint32_t build;
  uint32_t platform;
  char servicePack[SYSINFO_SERVICE_PACK_SIZE];  // always terminated
};

// Fills *version from a cleared record; 0 (record cleared) when the system
// gives none.
int SysInfoGetVersion(SysInfoVersion *version);
// The process's ANSI code page (GetACP): 65001 where the manifest's UTF-8
// code page is honoured.
uint32_t SysInfoCodePage(void);
// Total physical memory in bytes as a 32-bit system reports it; 0 when it
// cannot be had.
uint32_t SysInfoTotalMemory(void);

#endif

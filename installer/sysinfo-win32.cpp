// Machine facts from KERNEL32.
#include <string.h>
#include <windows.h>
#undef MEM_FREE  // a memory-state flag of the system headers; the library has its own

#include "sysinfo-sys.h"
#include "vantor-core.h"

static_assert(sizeof(OSVERSIONINFOA) == 148, "version record of 148 bytes");
#ifndef _WIN64  // the 64-bit test build's record has wider fields
static_assert(sizeof(MEMORYSTATUS) == 32, "memory status of 32 bytes");
#endif

int SysInfoGetVersion(SysInfoVersion *version) {
  ASSERT(version != NULL, POINTER_IS_NULL);
  memset(version, 0, sizeof *version);
  OSVERSIONINFOA info;
  memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info)) return 0;
  version->major = info.dwMajorVersion;
  version->minor = info.dwMinorVersion;
  version->build = info.dwBuildNumber;
  version->platform = info.dwPlatformId;
  // The system terminates the text; the record is cut here all the same.
  memcpy(version->servicePack, info.szCSDVersion, SYSINFO_SERVICE_PACK_SIZE - 1);
  version->servicePack[SYSINFO_SERVICE_PACK_SIZE - 1] = 0;
  return 1;
}

uint32_t SysInfoCodePage(void) { return GetACP(); }

uint32_t SysInfoTotalMemory(void) {
  MEMORYSTATUS status;
  memset(&status, 0, sizeof status);
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  return (uint32_t)status.dwTotalPhys;
}

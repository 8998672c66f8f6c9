// Staged machine facts for the native build.
#include <string.h>

#include "sysinfo-standin.h"
#include "vantor-core.h"

static const SysInfoVersion defaultVersion = {5, 1, 2600, SYSINFO_PLATFORM_NT, "Service Pack 3"};
static const uint32_t defaultMemory = 64u << 20;

static SysInfoVersion stagedVersion = defaultVersion;
static int versionMissing;
static uint32_t stagedMemory = defaultMemory;

void SysInfoStandInSetVersion(const SysInfoVersion *version) {
  versionMissing = version == NULL;
  if (version == NULL) return;
  stagedVersion = *version;
  stagedVersion.servicePack[SYSINFO_SERVICE_PACK_SIZE - 1] = 0;
}

void SysInfoStandInSetMemory(uint32_t bytes) { stagedMemory = bytes; }

void SysInfoStandInReset(void) {
  stagedVersion = defaultVersion;
  versionMissing = 0;
  stagedMemory = defaultMemory;
}

int SysInfoGetVersion(SysInfoVersion *version) {
  ASSERT(version != NULL, "Pointer is NULL\n");
  memset(version, 0, sizeof *version);
  if (versionMissing) return 0;
  *version = stagedVersion;
  return 1;
}

uint32_t SysInfoCodePage(void) { return 1252; }

uint32_t SysInfoTotalMemory(void) { return stagedMemory; }

// Start-up and shutdown of the installer.
#include "winmain.h"

#include "sys.h"
#include "vantor-core.h"
#include "vantor-str.h"

static char programPath[PROGRAM_PATH_SIZE];

const char *InstallerProgramPath(void) { return programPath; }

// Token 0 of the full command line, cut to the path buffer; ".exe" is appended
// when the token holds none anywhere (in any case) and there is room for it.
static void FindProgramPath(const char *commandLine) {
  char *found;
  CmdLineGetArgN(commandLine, 0, programPath, PROGRAM_PATH_SIZE);
  if (!StrFindNoCase(programPath, ".exe", &found)) StrAppendN(programPath, ".exe", PROGRAM_PATH_SIZE);
}

int InstallerMain(void *instance, const char *args) {
  (void)instance;
  int flags = 0;
  DebugParseSwitches(args, &flags);
  DebugInit("debug.log", flags);
  MemoryInit(QUICK_MEMORY_SIZE);

  DebugPrintf("%s Version %s (%s)\n", APP_NAME, APP_VERSION, APP_BUILD);
  DebugPrintf("Cmdline '%s' '%s'\n", SysCommandLine(), args);
  FindProgramPath(SysCommandLine());

  MemoryRemove();
  DebugRemove();
  DebugPrintf("Successful Exit...\n");
  return 0;
}

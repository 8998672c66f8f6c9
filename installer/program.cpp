// The program's own path.
#include "program.h"

#include "vantor-core.h"

static char programPath[PROGRAM_PATH_SIZE];

const char *InstallerProgramPath(void) { return programPath; }

void ProgramPathTake(const char *commandLine) {
  int found = ProgramPathFind(commandLine, programPath, PROGRAM_PATH_SIZE);
  if (found == PROGRAM_PATH_MODULE)
    DebugPrintf("Program path too long for %d characters, using the module's path '%s'\n", PROGRAM_PATH_SIZE - 1,
                programPath);
  else if (found == 0)
    DebugPrintf("Program path too long for %d characters\n", PROGRAM_PATH_SIZE - 1);
}

// The Win32 entry point. The program is linked without the C runtime's
// start-up code: it has no constructors, no thread-local data and no use
// for an argument vector, so the system enters here directly, and the
// C runtime's functions it calls come from the system's DLL, which
// initialises itself.
#include <windows.h>

#include "process-sys.h"
#include "run.h"
#include "syslib-win32.h"

// What follows the program's own name on the command line (quoted or not)
// and the blanks after it, as WinMain would be given it.
static const char *ArgumentsAfterProgramName(const char *line) {
  if (*line == '"') {
    for (line++; *line && *line != '"'; line++) {
    }
    if (*line) line++;
  } else {
    while (*line && *line != ' ' && *line != '\t') line++;
  }
  while (*line == ' ' || *line == '\t') line++;
  return line;
}

extern "C" void VantorStart(void) {
  // Before anything loads a library: none from the program's own folder.
  SysLibrariesFromSystemOnly();
  // The system's command line (GetCommandLineW), converted to UTF-8 once.
  const char *line = SysCommandLine();
  ExitProcess((UINT)InstallerMain((void *)GetModuleHandleW(NULL), ArgumentsAfterProgramName(line)));
}

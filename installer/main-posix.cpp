// The native stand-in's entry point: the command line is rebuilt from argv.
#include <string.h>

#include "sys-standin.h"
#include "sys.h"
#include "vantor-core.h"
#include "winmain.h"

int main(int argc, char **argv) {
  SysStandInSetArgv(argc, argv);
  const char *line = SysCommandLine();
  const char *args = CmdLineFindArg(line, 1);
  return InstallerMain(NULL, args ? args : "");
}

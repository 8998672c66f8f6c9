// Stand-in handlers for the commands whose real handlers are still to come.
// Each steps over its arguments as the real one will, logs, and answers 1,
// so every script runs through the loop. A module that brings a handler
// deletes its line here.
#include "args.h"
#include "command.h"
#include "vantor-core.h"

// countsEnd: the command reports the byte after its last argument as well.
static int Pending(const char *keyword, int count, int countsEnd, InstallScript *script, char *args,
                   int32_t *consumed) {
  ASSERT(script != NULL, "Pointer is NULL\n");
  ASSERT(args != NULL, "Pointer is NULL\n");
  ASSERT(consumed != NULL, "Pointer is NULL\n");
  ArgReader reader;
  ArgBegin(&reader, args);
  for (int i = 0; i < count; i++) ArgSkip(&reader);
  *consumed = countsEnd ? ArgConsumedWithEnd(&reader) : ArgConsumed(&reader);
  DebugPrintf("Command '%s' is not available yet\n", keyword);
  return 1;
}

#define PENDING(name, keyword, count, countsEnd) \
  int name(InstallScript *script, char *args, int32_t *consumed) { \
    return Pending(keyword, count, countsEnd, script, args, consumed); \
  }

PENDING(CmdCompanyName, "COMPANY NAME", 1, 0)
PENDING(CmdProductName, "PRODUCT NAME", 1, 0)
PENDING(CmdText, "TEXT", 1, 0)
PENDING(CmdFileList, "FILE LIST", 1, 1)
PENDING(CmdGradientStart, "GRADIENT START", 1, 0)
PENDING(CmdGradientEnd, "GRADIENT END", 1, 0)
PENDING(CmdFont, "FONT", 2, 1)
PENDING(CmdString, "STRING", 9, 1)
PENDING(CmdRefresh, "REFRESH", 0, 0)
PENDING(CmdUpdate, "UPDATE", 1, 0)
PENDING(CmdInstall, "INSTALL", 0, 0)
PENDING(CmdDone, "DONE", 1, 0)
PENDING(CmdRegistryPath, "REGISTRY PATH", 1, 0)
PENDING(CmdInstallSize, "INSTALL SIZE", 1, 0)
PENDING(CmdInstallDir, "INSTALL DIR", 1, 0)
PENDING(CmdInstallDirAlt, "INSTALL DIR ALT", 1, 0)
PENDING(CmdInstallPath, "INSTALL PATH", 1, 0)

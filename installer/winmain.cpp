// Start-up and shutdown of the installer.
#include "winmain.h"

#include "command.h"
#include "ffs.h"
#include "install.h"
#include "mainwindow.h"
#include "script.h"
#include "socket.h"
#include "sys.h"
#include "vantor-core.h"
#include "vantor-str.h"
#include "winhelpr.h"

#define SCRIPT_NAME "install.dat"

static char programPath[PROGRAM_PATH_SIZE];

const char *InstallerProgramPath(void) { return programPath; }

// Token 0 of the full command line, cut to the path buffer; ".exe" is appended
// when the token holds none anywhere (in any case) and there is room for it.
static void FindProgramPath(const char *commandLine) {
  char *found;
  CmdLineGetArgN(commandLine, 0, programPath, PROGRAM_PATH_SIZE);
  if (!StrFindNoCase(programPath, ".exe", &found)) StrAppendN(programPath, ".exe", PROGRAM_PATH_SIZE);
}

// Releases everything start-up brought up, in reverse order. script is NULL
// when the archive could not be mounted; then there is no script to free and
// no window class to unregister.
static void Shutdown(InstallScript **script, void *instance) {
  if (script != NULL) {
    MainWindowSetScript(NULL);
    ScriptFree(script);
  }
  FfsRemove();
  InstallRemove();
  CommandsRemove();
  SocketRemove();
  WindowHelpersRemove();
  MemoryRemove();
  DebugRemove();
  if (script != NULL) MainWindowUnregisterClass(instance);
  DebugPrintf("Successful Exit...\n");
}

int InstallerMain(void *instance, const char *args) {
  int flags = 0;
  DebugParseSwitches(args, &flags);
  DebugInit("debug.log", flags);
  MemoryInit(QUICK_MEMORY_SIZE);
  WindowHelpersInit();
  SocketInit();
  CommandsInit();

  DebugPrintf("%s Version %s (%s)\n", APP_NAME, APP_VERSION, APP_BUILD);
  DebugPrintf("Cmdline '%s' '%s'\n", SysCommandLine(), args);
  FindProgramPath(SysCommandLine());

  if (!InstallInit()) ABORT("Couldn't init install\n");
  if (!FfsInit(programPath)) {
    SysMessageBox(NULL, "The installation file has been damaged, please download a new copy.",
                  "Installation Problem...", SYS_MB_OK);
    Shutdown(NULL, instance);
    return 0;
  }
  InstallScript *script = NULL;
  if (!ScriptLoad(&script, SCRIPT_NAME)) ABORT("Couldn't load installation script.\n");
  if (ScriptRun(script, NULL) != 1) {
    Shutdown(&script, instance);
    return 0;
  }

  // Failures here leave everything as it is: there is nothing to show.
  MainWindowSetInstance(instance);
  MainWindowSetScript(script);
  void *window;
  if (!MainWindowRegisterClass(instance)) return 0;
  if (!MainWindowCreate(instance, &window)) return 0;
  MainWindowShow(window);
  // The script's next stretch runs inside this call.
  MainWindowSend(window, WM_SCRIPT_STEP);
  int exitCode = MainWindowMessageLoop();

  Shutdown(&script, instance);
  return exitCode;
}

// Start-up and shutdown of the installer.
#include "winmain.h"

#include "command.h"
#include "ffs.h"
#include "shell.h"
#include "mainwindow.h"
#include "mainwindow-sys.h"
#include "script.h"
#include "socket.h"
#include "process-sys.h"
#include "unattended.h"
#include "uninstall.h"
#include "vantor-core.h"
#include "vantor-str.h"
#include "winhelpr.h"


static char programPath[PROGRAM_PATH_SIZE];

const char *InstallerProgramPath(void) { return programPath; }

// Token 0 of the full command line, with ".exe" appended when it holds none
// anywhere (in any case). A token that does not fit the path buffer whole is
// never cut into another file's name: the system's path of the running
// module is taken instead.
static void FindProgramPath(const char *commandLine) {
  int found = ProgramPathFind(commandLine, programPath, PROGRAM_PATH_SIZE);
  if (found == PROGRAM_PATH_MODULE)
    DebugPrintf("Program path too long for %d characters, using the module's path '%s'\n", PROGRAM_PATH_SIZE - 1,
                programPath);
  else if (found == 0)
    DebugPrintf("Program path too long for %d characters\n", PROGRAM_PATH_SIZE - 1);
}

// The exit code: what the run gives without -silent and -passive, else the
// unattended run's own code.
static int ExitCode(int attended) { return UnattendedMode() ? UnattendedExitCode() : attended; }

// Releases everything start-up brought up, in reverse order. script is NULL
// when the archive could not be mounted; then there is no script to free and
// no window class to unregister.

static void Shutdown(InstallScript **script, void *instance) {
  if (script != NULL) {
    if (*script != NULL) UninstallFinish(*script, programPath);
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
  UnattendedParse(args);
  DebugInit("debug.log", flags);
  MemoryInit(QUICK_MEMORY_SIZE);
  WindowHelpersInit();
  SocketInit();
  CommandsInit();

  DebugPrintf("%s Version %s (%s)\n", APP_NAME, APP_VERSION, APP_BUILD);
  DebugPrintf("Cmdline '%s' '%s'\n", SysCommandLine(), args);
  FindProgramPath(SysCommandLine());
  if (UnattendedMode() == UNATTENDED_SILENT) UnattendedDecision("silent, no window");
  if (UnattendedMode() == UNATTENDED_PASSIVE) UnattendedDecision("passive, no question");

  if (UninstallRequested(args)) {
    // The uninstaller is the program without an archive: no script runs.
    int code = UninstallMain(args);
    Shutdown(NULL, instance);
    return code;
  }
  if (!InstallInit()) ABORT("Couldn't init install\n");
  // The whole file is checked before the script runs, so damage anywhere
  // stops the installer before it has written anything.
  if (!FfsInit(programPath) || !FfsCheckIntegrity()) {
    if (!FfsIsMounted() && UninstallRecordBeside(programPath)) {
      // An uninstaller started without "-uninstall": no archive, its record beside it.
      InstallRemove();
      char line[2 * PROGRAM_PATH_SIZE];
      VantorFormat(line, (int)sizeof line, "%s %s", UNINSTALL_SWITCH, args);
      int code = UninstallMain(line);
      Shutdown(NULL, instance);
      return code;
    }
    ReportDamagedInstaller();
    Shutdown(NULL, instance);
    return ExitCode(0);
  }
  InstallScript *script = NULL;
  if (!ScriptLoad(&script, SCRIPT_ENTRY_NAME)) ABORT("Couldn't load installation script.\n");
  if (ScriptRun(script, NULL) != 1) {
    Shutdown(&script, instance);
    return ExitCode(0);
  }
  if (UnattendedMode() == UNATTENDED_SILENT) {
    // The stretch the window's first step would run, without the window.
    UnattendedRunEnds(script, ScriptRun(script, NULL));
    Shutdown(&script, instance);
    return ExitCode(0);
  }

  // Failures here leave everything as it is: there is nothing to show.
  MainWindowSetInstance(instance);
  MainWindowSetScript(script);
  void *window;
  // Unattended, no window means no installation: an internal error.
  if (!MainWindowRegisterClass(instance)) return UnattendedMode() ? EXIT_INTERNAL_ERROR : 0;
  if (!MainWindowCreate(instance, &window)) return UnattendedMode() ? EXIT_INTERNAL_ERROR : 0;
  MainWindowShow(window);
  // The script's next stretch runs inside this call.
  MainWindowSend(window, WM_SCRIPT_STEP);
  int exitCode = MainWindowMessageLoop();

  Shutdown(&script, instance);
  return ExitCode(exitCode);
}

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

// The exit code of the run, attended or not: the reason recorded, else,
// with the window, EXIT_CANCELLED when the person closed it before the
// script was done; 0 only when it ran to its end.
static int ExitCode(const InstallScript *script) {
  int code = UnattendedExitCode();
  if (code == EXIT_INSTALLED && script != NULL && !UnattendedMode() && !ScriptFinished(script))
    code = EXIT_CANCELLED;
  return code;
}

// Releases everything start-up brought up, in reverse order, and gives the
// exit code: code, or with RUN_CODE the run's (ExitCode), taken once the
// uninstaller has been written. script is NULL when the archive could not be
// mounted; then there is no script to free and no window class to
// unregister. The log's last line says how the run ended.
#define RUN_CODE (-1)
static int Shutdown(InstallScript **script, void *instance, int code) {
  if (script != NULL) {
    if (*script != NULL) UninstallFinish(*script, programPath);
    if (code == RUN_CODE) code = ExitCode(*script);
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
  if (code == EXIT_INSTALLED) DebugPrintf("Successful Exit...\n");
  else DebugPrintf("Exit with code %d...\n", code);
  return code;
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
    return Shutdown(NULL, instance, UninstallMain(args));
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
      return Shutdown(NULL, instance, UninstallMain(line));
    }
    ReportDamagedInstaller();
    return Shutdown(NULL, instance, ExitCode(NULL));
  }
  InstallScript *script = NULL;
  if (!ScriptLoad(&script, SCRIPT_ENTRY_NAME)) ABORT("Couldn't load installation script.\n");
  // UNINSTALL anywhere in the script records the run from its first command;
  // a name it refuses ends the run before anything is written.
  int32_t consumed;
  char *uninstall = ScriptFindCommand(script, CmdUninstall);
  if (uninstall != NULL && !CmdUninstall(script, uninstall, &consumed)) {
    DebugPrintf("Command Failed 'UNINSTALL'\n");
    UnattendedFail(EXIT_COMMAND_FAILED);
    return Shutdown(&script, instance, RUN_CODE);
  }
  if (ScriptRun(script, NULL) != 1) return Shutdown(&script, instance, RUN_CODE);
  if (UnattendedMode() == UNATTENDED_SILENT) {
    // The stretch the window's first step would run, without the window.
    UnattendedRunEnds(script, ScriptRun(script, NULL));
    return Shutdown(&script, instance, RUN_CODE);
  }

  // Failures here leave everything as it is: there is nothing to show.
  MainWindowSetInstance(instance);
  MainWindowSetScript(script);
  void *window;
  // No window means no installation: an internal error.
  if (!MainWindowRegisterClass(instance) || !MainWindowCreate(instance, &window)) return EXIT_INTERNAL_ERROR;
  MainWindowShow(window);
  // The script's next stretch runs inside this call.
  MainWindowSend(window, WM_SCRIPT_STEP);
  MainWindowMessageLoop();
  return Shutdown(&script, instance, RUN_CODE);
}

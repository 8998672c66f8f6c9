// The driver: start-up, the script's stretches, the retry policy, the exit
// code and shutdown.
#include "run.h"

#include "command.h"
#include "exit-codes.h"
#include "ffs.h"
#include "interact.h"
#include "journal.h"
#include "mainwindow-sys.h"
#include "mainwindow.h"
#include "process-sys.h"
#include "product.h"
#include "program.h"
#include "script-run.h"
#include "script.h"
#include "shell.h"
#include "socket.h"
#include "switches.h"
#include "sysinfo-sys.h"
#include "target-sys.h"
#include "uninstall.h"
#include "vantor-core.h"
#include "vantor-str.h"
#include "winhelpr.h"

#define DAMAGED_TEXT "The installation file has been damaged, please download a new copy."

static int exitCode;

int RunBegin(const char *args) {
  ASSERT(args != NULL, POINTER_IS_NULL);
  InteractChoose(args);
  DirSwitchParse(args);
  ProductLockReset();
  exitCode = EXIT_INSTALLED;
  return 1;
}

void RunFail(int code) {
  if (exitCode == EXIT_INSTALLED) exitCode = code;
}

int RunExitCode(void) { return exitCode; }

// Records why the command at the cursor failed: its own reason, else 2.
static void FailedCommand(const InstallScript *script) {
  RunFail(script->failure != 0 ? script->failure : EXIT_COMMAND_FAILED);
}

// The stretch from the cursor, owned by window: 1 when the installation
// ends now (the script's end, an unattended BREAK, a failure the person or
// the absent person does not retry); 0 when the window waits at a BREAK.
static int Stretch(InstallScript *script, void *window) {
  for (;;) {
    script->window = window;
    int stop = ScriptRun(script);
    if (stop == SCRIPT_END) return 1;
    if (stop == SCRIPT_BREAK) return Interact()->endAtBreak();
    FailedCommand(script);
    if (JournalCancelled() || Interact()->abortAfterFailure(script, window)) return 1;
    exitCode = EXIT_INSTALLED;  // the person has the failed command run again
  }
}

int RunStep(void *window) {
  ASSERT(window != NULL, POINTER_IS_NULL);
  InstallScript *script = MainWindowScript();
  if (script == NULL) return 1;
  if (Stretch(script, window)) MainWindowSend(window, MAIN_WM_DESTROY);
  return 1;
}

// The exit code of the run, attended or not: the reason recorded, else,
// with the window, EXIT_CANCELLED when the person closed it before the
// script was done; 0 only when it ran to its end.
static int ExitCode(const InstallScript *script) {
  int code = exitCode;
  if (code == EXIT_INSTALLED && script != NULL && UnattendedMode() == UNATTENDED_OFF && !ScriptFinished(script))
    code = EXIT_CANCELLED;
  return code;
}

// Releases everything start-up brought up, in reverse order, and gives the
// exit code: code, or with RUN_CODE the run's (ExitCode), taken once the
// uninstaller has been written. script is NULL when the archive could not be
// mounted; then there is no script to free and no window class to
// unregister. The log's last line says how the run ended.
#define RUN_CODE (-1)

static void UndoAfterFatalError(void) {
  UninstallReset();
  JournalRollback(1);
}

static int Shutdown(InstallScript **script, void *instance, int code) {
  DebugSetFatalHook(NULL);
  if (script != NULL) {
    // A run that failed is undone and gets no uninstaller; one whose
    // uninstaller could not be written is undone as well.
    if (*script != NULL && ExitCode(*script) != EXIT_INSTALLED) {
      UninstallReset();
      JournalRollback(1);
    } else if (*script != NULL && UninstallFinish(*script, InstallerProgramPath()) < 0) {
      RunFail(EXIT_COMMAND_FAILED);
      JournalRollback(0);
    }
    // Files in use replaced at restart: one box (logged unattended) and 3010.
    int swaps = JournalEnd();
    if (swaps < 0) RunFail(EXIT_COMMAND_FAILED);
    if (code == RUN_CODE) code = ExitCode(*script);
    if (swaps > 0 && code == EXIT_INSTALLED) {
      Interact()->box(NULL, JOURNAL_RESTART, JOURNAL_RESTART_CAPTION, SYS_MB_OK | SYS_MB_ICONINFORMATION, SYS_IDOK);
      code = EXIT_RESTART_NEEDED;
    }
    MainWindowSetScript(NULL);
    ScriptFree(script);
  }
  FfsRemove();
  ShellServicesRemove();
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
  RunBegin(args);
  DebugInit("debug.log", flags);
  MemoryInit(QUICK_MEMORY_SIZE);
  WindowHelpersInit();
  SocketInit();
  CommandsInit();

  DebugPrintf("%s Version %s (%s)\n", APP_NAME, APP_VERSION, APP_BUILD);
  DebugPrintf("Cmdline '%s' '%s'\n", SysCommandLine(), args);
  // What the manifest made of the process: the version the system admits
  // to, the ANSI code page and the common controls loaded.
  SysInfoVersion version;
  SysInfoGetVersion(&version);
  DebugPrintf("System %u.%u.%u, code page %u, common controls '%s'\n", (unsigned)version.major,
              (unsigned)version.minor, (unsigned)version.build, (unsigned)SysInfoCodePage(),
              WindowHelpersCommonControls());
  ProgramPathTake(SysCommandLine());
  if (UnattendedMode() == UNATTENDED_SILENT) UnattendedDecision("silent, no window");
  if (UnattendedMode() == UNATTENDED_PASSIVE) UnattendedDecision("passive, no question");

  if (UninstallRequested(args)) {
    // The uninstaller is the program without an archive: no script runs.
    return Shutdown(NULL, instance, UninstallMain(args));
  }
  if (!ShellServicesInit()) ABORT("Couldn't init install\n");
  // The whole file is checked before the script runs, so damage anywhere
  // stops the installer before it has written anything.
  // Solid blocks unpack on a thread of their own while the file queue writes.
  static const FfsThreads threads = {TargetSysThreadStart, TargetSysThreadJoin, TargetSysSemaphore,
                                     TargetSysSemaphoreWait, TargetSysSemaphorePost, TargetSysSemaphoreClose};
  FfsUseThreads(&threads);
  if (!FfsInit(InstallerProgramPath()) || !FfsCheckIntegrity()) {
    if (!FfsIsMounted() && UninstallRecordBeside(InstallerProgramPath())) {
      // An uninstaller started without "-uninstall": no archive, its record beside it.
      ShellServicesRemove();
      char line[2 * PROGRAM_PATH_SIZE];
      VantorFormat(line, (int)sizeof line, "%s %s", UNINSTALL_SWITCH, args);
      return Shutdown(NULL, instance, UninstallMain(line));
    }
    Interact()->box(NULL, DAMAGED_TEXT, PROBLEM_CAPTION, SYS_MB_OK, SYS_IDOK);
    RunFail(EXIT_DAMAGED);
    return Shutdown(NULL, instance, ExitCode(NULL));
  }
  InstallScript *script = NULL;
  if (!ScriptLoad(&script, SCRIPT_ENTRY_NAME)) ABORT("Couldn't load installation script.\n");
  // Every change from here on is journaled beside the destination, and
  // undone when the run fails, a fatal error included.
  JournalUse(script->installPath);
  DebugSetFatalHook(UndoAfterFatalError);
  // UNINSTALL anywhere in the script records the run from its first command;
  // a name it refuses ends the run before anything is written.
  int32_t consumed;
  char *uninstall = ScriptFindCommand(script, CmdUninstall);
  if (uninstall != NULL && !CmdUninstall(script, uninstall, &consumed)) {
    DebugPrintf("Command Failed 'UNINSTALL'\n");
    RunFail(EXIT_COMMAND_FAILED);
    return Shutdown(&script, instance, RUN_CODE);
  }
  // Another installer of the product running ends the run before its first
  // command; so does a failure in the first stretch, before any window.
  if (!ProductLockTake(script) || ScriptRun(script) == SCRIPT_FAILED) {
    FailedCommand(script);
    return Shutdown(&script, instance, RUN_CODE);
  }
  if (UnattendedMode() == UNATTENDED_SILENT) {
    // The stretch the window's first step would run, without the window.
    Stretch(script, NULL);
    return Shutdown(&script, instance, RUN_CODE);
  }

  // Failures here leave everything as it is: there is nothing to show.
  MainWindowSetInstance(instance);
  MainWindowSetScript(script);
  MainWindowSetStep(RunStep);
  void *window;
  // No window means no installation: an internal error.
  if (!MainWindowRegisterClass(instance) || !MainWindowCreate(instance, &window)) return EXIT_INTERNAL_ERROR;
  MainWindowShow(window);
  // The script's next stretch runs inside this call.
  MainWindowSend(window, WM_SCRIPT_STEP);
  MainWindowMessageLoop();
  return Shutdown(&script, instance, RUN_CODE);
}

// The install services: OLE for the whole run, the client DDE conversation
// with Program Manager, self-registration of installed libraries and fonts
// made available for the run. What the system does is behind shell-sys.h.
#include <stdio.h>

#include "shell.h"
#include "shell-sys.h"
#include "vantor-core.h"
#include "vantor-str.h"
#include "winhelpr.h"

static int oleUp;
static uint32_t ddeInstance;
static void *progMan;

void *ProgManConnect(void) {
  if (ddeInstance == 0) return NULL;
  return ShellDdeConnect(ddeInstance, PROGMAN_NAME, PROGMAN_NAME);
}

int ShellServicesInit(void) {
  if (!ShellOleInit()) {
    DebugPrintf("Failed to initialize OLE\n");
    return 0;
  }
  oleUp = 1;
  if (!ShellDdeInit(&ddeInstance)) {
    DebugPrintf("Couldn't init DDE\n");
    ddeInstance = 0;
    return 0;
  }
  progMan = ProgManConnect();
  if (progMan == NULL) DebugPrintf("Couldn't get ProgMan, non-fatal, but no prog groups!\n");
  return 1;
}

int ShellServicesRemove(void) {
  if (progMan != NULL) ShellDdeDisconnect(progMan);
  progMan = NULL;
  if (ddeInstance != 0) ShellDdeRemove(ddeInstance);
  ddeInstance = 0;
  if (oleUp) ShellOleRemove();
  oleUp = 0;
  return 1;
}

int ProgManExecute(const char *command) {
  ASSERT(command != NULL, POINTER_IS_NULL);
  if (ddeInstance == 0) return 0;
  // Without Program Manager there is nobody to tell; the command succeeds.
  if (progMan == NULL) return 1;
  if (!ShellDdeExecute(progMan, command)) return 0;
  // The execute is asynchronous: let its conversation traffic run now.
  PumpMessages();
  return 1;
}

int ProgManConnected(void) { return progMan != NULL; }

int OleSelfRegister(const char *path, int doRegister) {
  ASSERT(path != NULL, POINTER_IS_NULL);
  void *library, *entry;
  uint32_t error = 0;
  if (!ShellLibraryLoad(path, &library, &error)) {
    DebugPrintf("Error attempting to load '%s' (0x%.8X)\n", path, (unsigned)error);
    return 0;
  }
  int ok = 0;
  if (!ShellLibraryEntry(library, doRegister == 1 ? "DllRegisterServer" : "DllUnregisterServer", &entry))
    DebugPrintf("Couldn't get entry point from '%s'\n", path);
  else if (ShellLibraryCall(entry) < 0)
    DebugPrintf("Failed in executing entry point from '%s'\n", path);
  else
    ok = 1;
  ShellLibraryFree(library);
  return ok;
}

int FontResourceAdd(const char *path) {
  ASSERT(path != NULL, POINTER_IS_NULL);
  uint32_t error = 0;
  if (ShellFontAdd(path, &error) == 0) {
    DebugPrintf("Unable to add font resource for '%s' (0x%.8X)\n", path, (unsigned)error);
    return 0;
  }
  ShellFontChanged();
  return 1;
}

int FontResourceRemove(const char *path) {
  ASSERT(path != NULL, POINTER_IS_NULL);
  uint32_t error = 0;
  if (!ShellFontRemove(path, &error)) {
    DebugPrintf("Unable to remove font resource for '%s' (0x%.8X)\n", path, (unsigned)error);
    return 0;
  }
  if (remove(path) != 0) DebugPrintf("Non-fatal unable to delete file '%s'\n", path);
  ShellFontChanged();
  return 1;
}

int ShellGroupFolder(const char *name, char *folder, int size) {
  char programs[VANTOR_PATH_SIZE];
  return ShellProgramsFolder(programs, (int)sizeof programs) &&
         VantorFormat(folder, size, "%s\\%s", programs, name) < size;
}

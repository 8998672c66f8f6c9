// The commands that leave the product on the machine: INSTALL copies the
// listed files below the destination, UPDATE requires an earlier
// installation, DONE records the destination and says goodbye.
#include "args.h"
#include "command.h"
#include "handler-check.h"
#include "install.h"
#include "pathdialog.h"
#include "registry.h"
#include "sys.h"
#include "target-sys.h"
#include "target.h"
#include "vantor-core.h"
#include "vantor-str.h"

// Progress while copying: bytes against the product's size in kilobytes.
static void InstallProgress(const InstallScript *script, double bytes) {
  if (script->installSize > 0) ProgressSetPercent(bytes / 1024.0 * 100.0 / script->installSize);
}

// Takes the next name of the list: the bytes up to a comma (stepped over) or
// a byte below 32 (not stepped over, so a short list gives empty names at
// its end). 1 with the name; 0 when it is longer than the buffer (the name
// is then cut, and the cursor is still moved past all of it).
static int NextName(const char **cursor, char *name, int size) {
  const unsigned char *p = (const unsigned char *)*cursor;
  int length = 0;
  while (*p >= 0x20 && *p != ',') {
    if (length < size - 1) name[length] = (char)*p;
    length++;
    p++;
  }
  name[length < size - 1 ? length : size - 1] = 0;
  if (*p == ',') p++;
  *cursor = (const char *)p;
  return length < size;
}

// Opens the target; when that fails, makes its directory chain and tries
// once more.
static int CreateTarget(const char *path, void **file) {
  if (TargetSysCreate(path, file)) return 1;
  char directory[TARGET_PATH_SIZE];
  StrCopyN(directory, path, TARGET_PATH_SIZE);
  int cut = StrLength(directory);
  while (cut > 0 && directory[cut - 1] != '\\') cut--;
  directory[cut] = 0;
  MakePath(directory);
  return TargetSysCreate(path, file);
}

// Copies one file of the list below installPath; 0 after its log line.
static int InstallOne(const InstallScript *script, const char **cursor, double *done) {
  char name[TARGET_PATH_SIZE];
  if (!NextName(cursor, name, TARGET_PATH_SIZE)) {
    DebugPrintf("Unable to get size for '%s'\n", name);
    return 0;
  }
  void *data;
  uint32_t size;
  if (!TargetLoadEntry(name, &data, &size)) return 0;
  InstallProgress(script, *done + size / 2);
  char path[TARGET_PATH_SIZE];
  void *file;
  if (!StrCopyN(path, script->installPath, TARGET_PATH_SIZE) || !StrAppendN(path, name, TARGET_PATH_SIZE) ||
      !CreateTarget(path, &file)) {
    DebugPrintf("Unable to create file '%s'\n", path);
    TargetFreeEntry(&data, size);
    return 0;
  }
  TargetWriteAll(file, path, data, size);
  *done += size;
  TargetFreeEntry(&data, size);
  return 1;
}

int CmdInstall(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  *consumed = 0;
  ProgressShow(1);
  const char *cursor = script->fileList != NULL ? script->fileList : "";
  double done = 0;
  for (int32_t i = 0; i < script->fileCount; i++) {
    InstallProgress(script, done);
    // A failure leaves the progress window up and what was written in place.
    if (!InstallOne(script, &cursor, &done)) return 0;
  }
  ProgressShow(0);
  return 1;
}

int CmdUpdate(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  int installed = script->registryPath[0] != 0 && RegistryKeyExists(REGROOT_CURRENT_USER, script->registryPath);
  char line[SCRIPT_FIELD_SIZE];
  *consumed = ArgCopy(args, line, SCRIPT_FIELD_SIZE);
  if (installed) return 1;
  DebugPrintf("Registry path does not exist (%s)\n", script->registryPath);
  SysMessageBox(script->window, line[0] != 0 ? line : "The program you are attempting to update must be installed first.",
                PROBLEM_CAPTION, SYS_MB_OK);
  return 0;
}

// Writes installPath as the value "Install Path" of the product's key,
// opening the key or creating it. A key that cannot be had is fatal.
static void RecordInstallPath(const InstallScript *script) {
  RegistryKey key;
  if (RegistryKeyExists(REGROOT_CURRENT_USER, script->registryPath)) {
    if (!RegistryOpen(&key, REGROOT_CURRENT_USER, script->registryPath))
      ABORT("Unable to open key '%s'\n", script->registryPath);
  } else if (!RegistryCreate(&key, REGROOT_CURRENT_USER, script->registryPath)) {
    ABORT("Unable to create key '%s'\n", script->registryPath);
  }
  if (!RegistrySetString(key, INSTALL_PATH_VALUE, script->installPath)) DebugPrintf("Unable to set Install Path\n");
  RegistryClose(&key);
}

int CmdDone(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  if (script->registryPath[0] != 0) RecordInstallPath(script);
  char line[SCRIPT_FIELD_SIZE];
  *consumed = ArgCopy(args, line, SCRIPT_FIELD_SIZE);
  if (script->prompt[0] == 0) StrCopyN(script->prompt, "Installation Complete!", SCRIPT_FIELD_SIZE);
  SysMessageBox(script->window, line, script->prompt, SYS_MB_OK);
  script->prompt[0] = 0;
  return 1;
}

// The commands that leave the product on the machine: INSTALL copies the
// listed files below the destination, UPDATE requires an earlier
// installation, DONE records the destination and says goodbye.
#include <string.h>

#include "args.h"
#include "command.h"
#include "ffs.h"
#include "file-name.h"
#include "filequeue.h"
#include "handler-check.h"
#include "journal.h"
#include "pages.h"
#include "registry.h"
#include "process-sys.h"
#include "target-sys.h"
#include "target.h"
#include "exit-codes.h"
#include "interact.h"
#include "switches.h"
#include "uninstall.h"
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

static const char *making;  // the directory MakeDirectoryOf makes, with its closing backslash
static int fresh;           // 1 when this run made it
static char root[VANTOR_PATH_SIZE];  // the last directory this INSTALL made whose parent was there before

// 1 when path lies below root: the run made every directory there.
static int BelowRoot(const char *path) {
  int n = StrLength(root);
  return n > 0 && StrEqualN(path, root, n) && path[n] == '\\';
}

static void DirectoryMade(const char *path) {
  FileQueueDirectoryMade(path);
  if (!BelowRoot(path)) StrCopyN(root, path, VANTOR_PATH_SIZE);
  int n = StrLength(path);
  if (n > 0 && StrEqualN(path, making, n) && (making[n] == 0 || (making[n] == '\\' && making[n + 1] == 0))) fresh = 1;
}

// Makes the directory of path, unless it is the one made for the file
// before (made: that directory, kept between calls). 1 when this run made
// it: it holds only the files the run wrote there.
static int MakeDirectoryOf(const char *path, char *made) {
  char directory[VANTOR_PATH_SIZE];
  StrCopyN(directory, path, VANTOR_PATH_SIZE);
  int cut = StrLength(directory);
  while (cut > 0 && directory[cut - 1] != '\\') cut--;
  directory[cut] = 0;
  if (cut == 0) return 0;
  if (StrEqual(directory, made)) return fresh;
  making = directory;
  fresh = 0;
  MakePathNoting(directory, DirectoryMade);
  StrCopyN(made, directory, VANTOR_PATH_SIZE);
  return fresh;
}

// An existing file of the entry's size is first compared with the entry's
// bytes as they unpack, and nothing is written while they agree: a file
// whose bytes are all the same is kept as it is, without a journal line or
// a write. At the first difference it is replaced like any other file, and
// the bytes that agreed are copied back from where the old file went.
static struct {
  InstallScript *script;
  const char *path;
  char *written;
  void *old;        // the existing file while its bytes agree
  uint32_t agreed;  // the bytes of the pieces that agreed
  int refused;      // the journal refused to replace it (its log line is out)
} same;

#define COMPARE_PIECE 8192u
static unsigned char piece[COMPARE_PIECE];  // the old file's bytes, read back

// Ends the comparing: 1 when a file was being compared.
static int EndCompare(void) {
  if (same.old == NULL) return 0;
  TargetSysClose(same.old);
  same.old = NULL;
  return 1;
}

// The file compared is replaced after all: 0 when it cannot be.
static int Diverge(void) {
  EndCompare();
  if (!JournalFile(same.script, same.path, 0, same.written)) {
    same.refused = 1;
    return 0;
  }
  FileQueueOpen(same.written);
  uint32_t left = same.agreed, size, n = 1;
  void *file;
  if (left == 0) return 1;
  if (!TargetSysOpenRead(StrEqual(same.written, same.path) ? JournalMovedTo() : same.path, &file, &size)) return 0;
  for (; left > 0 && n > 0; left -= n) {
    n = TargetSysRead(file, piece, left < COMPARE_PIECE ? left : COMPARE_PIECE);
    FileQueueWrite(piece, n);
  }
  TargetSysClose(file);
  return left == 0;
}

static int InstallPiece(void *context, const void *data, uint32_t n) {
  (void)context;
  const unsigned char *bytes = (const unsigned char *)data;
  for (uint32_t at = 0, want; same.old != NULL && at < n; at += want) {
    want = n - at < COMPARE_PIECE ? n - at : COMPARE_PIECE;
    if (TargetSysRead(same.old, piece, want) != want || memcmp(piece, bytes + at, want) != 0) {
      if (!Diverge()) return 0;
      break;
    }
  }
  if (same.old == NULL) return FileQueueWrite(data, n);
  same.agreed += n;
  return 1;
}

// Queues one file of the list below installPath, unpacking its entry in
// bounded pieces; the file queue writes it. 0 after the log line of the
// first failure in the list's order. An entry found damaged part-way leaves
// no partial file.
static int InstallOne(InstallScript *script, const char **cursor, double *done, char *made) {
  char name[VANTOR_PATH_SIZE];
  uint32_t size;
  if (!NextName(cursor, name, VANTOR_PATH_SIZE) || !FfsGetSize(name, &size)) {
    if (FileQueueFinish(NULL)) DebugPrintf("Unable to get size for '%s'\n", name);
    return 0;
  }
  InstallProgress(script, *done + size / 2);
  char path[VANTOR_PATH_SIZE];
  if (!StrCopyN(path, script->installPath, VANTOR_PATH_SIZE) || !StrAppendN(path, name, VANTOR_PATH_SIZE)) {
    if (FileQueueFinish(NULL)) DebugPrintf("Unable to create file '%s'\n", path);
    return 0;
  }
  // The bytes go to written: path, or beside it for a file in use that is
  // replaced at restart; the uninstall record notes path (the close's).
  char written[VANTOR_PATH_SIZE];
  uint32_t there;
  same.script = script;
  same.path = path;
  same.written = written;
  same.agreed = same.refused = 0;
  int inFresh = MakeDirectoryOf(path, made);
  // A link is replaced, never compared: what it points to is not the file.
  if (!inFresh && JournalStarted() && !TargetSysIsLink(path) && TargetSysOpenRead(path, &same.old, &there) &&
      there != size) {
    TargetSysClose(same.old);
    same.old = NULL;
  }
  if (same.old == NULL) {
    if (!JournalFile(script, path, inFresh, written)) {
      FileQueueFinish(NULL);
      return 0;
    }
    FileQueueOpen(written);
  }
  if (!FfsStream(name, size, InstallPiece, NULL)) {
    void *unclosed;
    EndCompare();
    if (FileQueueFinish(&unclosed) && !same.refused) {
      if (unclosed != NULL) TargetDiscard(unclosed, written);
      DebugPrintf("Unable to load '%s'\n", name);
    }
    return 0;
  }
  FileQueueClose(path, EndCompare());
  *done += size;
  return 1;
}

// 1 when every name of the list stays below the destination; else 0 after
// the log line of the first that does not. Names too long for the buffer are
// left to the copy, which refuses them.
static int ListStaysInside(const InstallScript *script) {
  const char *cursor = script->fileList != NULL ? script->fileList : "";
  char name[VANTOR_PATH_SIZE];
  for (int32_t i = 0; i < script->fileCount; i++) {
    if (NextName(&cursor, name, VANTOR_PATH_SIZE) && !FileNameStaysInside(name)) {
      DebugPrintf("Refusing '%s': the name leads outside the destination\n", name);
      return 0;
    }
  }
  return 1;
}

// The lines of the next files of the list written to the journal ahead and
// put on the disk at once.
static void PlanAhead(const InstallScript *script, const char **ahead, int32_t left) {
  char name[VANTOR_PATH_SIZE], path[VANTOR_PATH_SIZE];
  for (int k = 0; k < JOURNAL_PLAN && k < left; k++)
    if (NextName(ahead, name, VANTOR_PATH_SIZE) && name[0] != 0 &&
        StrCopyN(path, script->installPath, VANTOR_PATH_SIZE) && StrAppendN(path, name, VANTOR_PATH_SIZE))
      JournalPlan(path, BelowRoot(path));
  JournalPlan(NULL, 0);
}

int CmdInstall(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  *consumed = 0;
  // Nothing of the list is written when any name would land elsewhere.
  if (!ListStaysInside(script)) return 0;
  DirSwitchInstallBegins(script->installPath);
  ProgressShow(1);
  const char *cursor = script->fileList != NULL ? script->fileList : "";
  double done = 0;
  char made[VANTOR_PATH_SIZE] = "";
  root[0] = 0;
  FileQueueStart();
  // A failure leaves the progress window up; the driver undoes what was written.
  const char *ahead = cursor;
  for (int32_t i = 0; i < script->fileCount && !FileQueueFailed(); i++) {
    if (i % JOURNAL_PLAN == 0) PlanAhead(script, &ahead, script->fileCount - i);
    InstallProgress(script, done);
    if (!InstallOne(script, &cursor, &done, made)) return 0;
  }
  if (!FileQueueFinish(NULL)) return 0;
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
  script->failure = EXIT_NOT_INSTALLED;
  Interact()->box(script->window,
                  line[0] != 0 ? line : "The program you are attempting to update must be installed first.",
                  PROBLEM_CAPTION, SYS_MB_OK, SYS_IDOK);
  return 0;
}

// Writes installPath as the value "Install Path" of the product's key,
// opening the key or creating it. A key that cannot be had is fatal.
static void RecordInstallPath(const InstallScript *script) {
  JournalValue(script->registryPath, INSTALL_PATH_VALUE);
  RegistryKey key;
  if (RegistryKeyExists(REGROOT_CURRENT_USER, script->registryPath)) {
    if (!RegistryOpen(&key, REGROOT_CURRENT_USER, script->registryPath))
      ABORT("Unable to open key '%s'\n", script->registryPath);
  } else {
    UninstallNoteMissingKeys(script->registryPath);
    if (!RegistryCreate(&key, REGROOT_CURRENT_USER, script->registryPath))
      ABORT("Unable to create key '%s'\n", script->registryPath);
  }
  if (!RegistrySetString(key, INSTALL_PATH_VALUE, script->installPath)) DebugPrintf("Unable to set Install Path\n");
  else UninstallNote(UNINSTALL_TAG_VALUE, script->registryPath, INSTALL_PATH_VALUE);
  RegistryClose(&key);
}

int CmdDone(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  if (script->registryPath[0] != 0) RecordInstallPath(script);
  char line[SCRIPT_FIELD_SIZE];
  *consumed = ArgCopy(args, line, SCRIPT_FIELD_SIZE);
  if (script->prompt[0] == 0) StrCopyN(script->prompt, "Installation Complete!", SCRIPT_FIELD_SIZE);
  Interact()->box(script->window, line, script->prompt, SYS_MB_OK, SYS_IDOK);
  script->prompt[0] = 0;
  return 1;
}

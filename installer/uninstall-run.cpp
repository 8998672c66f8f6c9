// The uninstaller's run: the copy in the temporary directory, the question,
// the removal in its order and the report.
#include <string.h>

#include "process-sys.h"
#include "registry.h"
#include "shell.h"
#include "target-sys.h"
#include "target.h"
#include "uninstall-sys.h"
#include "uninstall.h"
#include "unattended.h"
#include "vantor-core.h"
#include "vantor-str.h"
#include "winhelpr.h"
#include "winmain.h"

#define COPY_NAME "~uninstall.exe"
#define KEPT_SIZE 1024
#define ORIGINAL_TRIES 100  // pauses of 100 ms while the original program exits
#define CAPTION_SIZE 160

static const char *const arpValues[] = {"DisplayName",     "Publisher",     "InstallLocation",
                                        "UninstallString", "QuietUninstallString", "EstimatedSize",
                                        "DisplayIcon",     "NoModify",      "NoRepair"};

struct Removal {
  const char *body;  // the record's lines
  uint32_t length;
  int files, dirs, shortcuts, entries;
  int keptCount;
  char kept[KEPT_SIZE];  // the files in use, one a line
};

int UninstallRecordBeside(const char *path) {
  char record[VANTOR_PATH_SIZE];
  void *file;
  uint32_t size;
  if (!UninstallRecordPath(path, record, (int)sizeof record) || !TargetSysOpenRead(record, &file, &size)) return 0;
  // Its head, so that another file of that name (a compiled script) does not count.
  char head[sizeof UNINSTALL_HEAD];
  uint32_t read = TargetSysRead(file, head, sizeof head - 1);
  TargetSysClose(file);
  return read == sizeof head - 1 && memcmp(head, UNINSTALL_HEAD, sizeof head - 1) == 0;
}

int UninstallRequested(const char *args) { return SwitchGiven(args, UNINSTALL_SWITCH); }

// The text after "-uninstall=", without trailing blanks and enclosing quotes.
static void TakeFrom(const char *args, const char *name, char *from, int size) {
  StrCopyN(from, SwitchTail(args, name), size);
  int length = StrLength(from);
  while (length > 0 && (unsigned char)from[length - 1] <= ' ') from[--length] = 0;
  if (length > 0 && from[length - 1] == '"') from[--length] = 0;
  if (from[0] == '"') memmove(from, from + 1, (size_t)length);
}

// Copies the running program into the temporary directory and starts the
// copy, which removes the original as it ends its work.
static int StartCopy(const char *args) {
  char copy[VANTOR_PATH_SIZE], line[2 * VANTOR_PATH_SIZE];
  uint32_t code = EXIT_INTERNAL_ERROR;
  if (!QueryTempDir(copy, (int)sizeof copy) || !StrAppendN(copy, COPY_NAME, (int)sizeof copy) ||
      !UninstallSysCopy(InstallerProgramPath(), copy) ||
      VantorFormat(line, (int)sizeof line, "%s %s%s", args, UNINSTALL_FROM_SWITCH, InstallerProgramPath()) >=
          (int)sizeof line ||
      !UninstallSysStartCopy(copy, line, 1, &code)) {
    DebugPrintf("Uninstall: unable to start the copy '%s'\n", copy);
    return EXIT_INTERNAL_ERROR;
  }
  DebugPrintf("Uninstall: the copy '%s' ended with %u\n", copy, (unsigned)code);
  return (int)code;
}

// Calls visit for each line of the record with the given tag: its first
// value and its second (or NULL), both terminated, in record order or
// backwards.
typedef void (*LineVisit)(Removal *removal, char *first, char *second);
static void EachLine(Removal *removal, char tag, int backwards, LineVisit visit) {
  // Walk forwards, or backwards by finding each line's start from its end.
  uint32_t at = backwards ? removal->length : 0;
  while (backwards ? at > 0 : at < removal->length) {
    uint32_t begin, end;
    if (backwards) {
      end = at - 2;  // the CR
      begin = end;
      while (begin > 0 && removal->body[begin - 1] != '\n') begin--;
      at = begin;
    } else {
      begin = at;
      end = begin;
      while (removal->body[end] != '\r') end++;
      at = end + 2;
    }
    if (removal->body[begin] != tag) continue;
    char line[2 * VANTOR_PATH_SIZE + 8];
    uint32_t length = end - begin - 2;
    if (length >= sizeof line) continue;
    memcpy(line, removal->body + begin + 2, length);
    line[length] = 0;
    char *second = strchr(line, '\t');
    if (second != NULL) *second++ = 0;
    visit(removal, line, second);
  }
}

static void Unregister(Removal *removal, char *path, char *) {
  (void)removal;
  RegisterServer(path, 0);
}

static void RemoveFile(Removal *removal, char *path, char *) {
  uint32_t error = TargetSysRemoveFile(path);
  if (error == 0) {
    removal->files++;
    DebugPrintf("Uninstall: removed '%s'\n", path);
  } else if (error != 2) {
    DebugPrintf("Uninstall: unable to remove '%s' (%u)\n", path, (unsigned)error);
    removal->keptCount++;
    int used = StrLength(removal->kept);
    if (used + StrLength(path) + 6 < KEPT_SIZE) VantorFormat(removal->kept + used, KEPT_SIZE - used, "\n%s", path);
    else if (used == 0 || removal->kept[used - 1] != '.') StrAppendN(removal->kept, "\n...", KEPT_SIZE);
  }
}

// Directories: the record has each below its parent, so backwards each is
// empty before its parent is tried.
static void RemoveDir(Removal *removal, char *path, char *) {
  if (TargetSysRemoveDir(path)) {
    removal->dirs++;
    DebugPrintf("Uninstall: removed directory '%s'\n", path);
  }
}

// 1 when the record holds the line tag TAB value.
static int Recorded(const Removal *removal, char tag, const char *value) {
  int length = StrLength(value);
  for (uint32_t at = 0; at < removal->length;) {
    if (removal->body[at] == tag && memcmp(removal->body + at + 2, value, (size_t)length) == 0 &&
        removal->body[at + 2 + length] == '\r')
      return 1;
    while (removal->body[at] != '\n') at++;
    at++;
  }
  return 0;
}

// An item of a group the run made goes with its group; one of another group
// is deleted from that group, made the active one first.
static void DeleteItem(Removal *removal, char *group, char *caption) {
  char show[SCRIPT_FIELD_SIZE + 20], command[SCRIPT_FIELD_SIZE + 20];
  if (caption == NULL || group[0] == 0 || Recorded(removal, UNINSTALL_TAG_GROUP, group) ||
      VantorFormat(show, (int)sizeof show, "[ShowGroup(\"%s\",1)]", group) >= (int)sizeof show ||
      VantorFormat(command, (int)sizeof command, "[DeleteItem(\"%s\")]", caption) >= (int)sizeof command)
    return;
  if (ProgManExecute(show) && ProgManExecute(command)) removal->shortcuts++;
}

static void DeleteGroup(Removal *removal, char *group, char *) {
  char command[SCRIPT_FIELD_SIZE + 20];
  if (VantorFormat(command, (int)sizeof command, "[DeleteGroup(\"%s\")]", group) >= (int)sizeof command) return;
  if (ProgManExecute(command)) removal->shortcuts++;
}

static void DeleteValue(Removal *removal, char *key, char *name) {
  if (name != NULL && RegistryDeleteValue(REGROOT_CURRENT_USER, key, name)) removal->entries++;
}

static void DeleteEntry(Removal *removal, char *key, char *) {
  for (const char *name : arpValues)
    if (RegistryDeleteValue(REGROOT_CURRENT_USER, key, name)) removal->entries++;
}

static void DeleteKey(Removal *removal, char *key, char *) {
  if (RegistryDeleteKey(REGROOT_CURRENT_USER, key)) removal->entries++;
}

static void FindProduct(Removal *removal, char *name, char *) {
  (void)removal;
  StrCopyN(removal->kept, name, KEPT_SIZE);
}

// Loads and checks the record at path: 1 with *data (size + 1 bytes) and
// the removal's body; 0 missing (*data NULL) or damaged (logged).
static int LoadRecord(const char *path, char **data, uint32_t *size, Removal *removal) {
  *data = NULL;
  memset(removal, 0, sizeof *removal);
  if (!UninstallLoadFile(path, data, size)) return 0;
  uint32_t start;
  if (UninstallRecordCheck(*data, *size, &start, &removal->length)) {
    removal->body = *data + start;
    return 1;
  }
  DebugPrintf("Uninstall: the record '%s' is damaged\n", path);
  return 0;
}

// The last step, from the copy: once the original uninstaller has ended
// (tried for ten seconds), removes it, its record and the recorded
// directories now empty.
static int EndStep(const char *args) {
  char from[VANTOR_PATH_SIZE], record[VANTOR_PATH_SIZE];
  TakeFrom(args, UNINSTALL_END_SWITCH, from, (int)sizeof from);
  for (int i = 0; i < ORIGINAL_TRIES; i++) {
    uint32_t error = TargetSysRemoveFile(from);
    if (error == 0 || error == 2) break;
    UninstallSysSleep(100);
  }
  if (!UninstallRecordPath(from, record, (int)sizeof record)) return EXIT_INSTALLED;
  char *data;
  uint32_t size;
  Removal removal;
  if (LoadRecord(record, &data, &size, &removal)) {
    TargetSysRemoveFile(record);
    EachLine(&removal, UNINSTALL_TAG_DIR, 1, RemoveDir);
  }
  if (data != NULL) MEM_FREE(data, (int)size + 1);
  DebugPrintf("Uninstall: '%s' removed\n", from);
  return EXIT_INSTALLED;
}

static int UninstallReport(const Removal *removal, const char *caption, char *text, int size);

static int Report(const char *text, const char *caption, uint32_t style, int code) {
  UnattendedBox(NULL, text, caption, style, SYS_IDOK);
  UnattendedFail(code);
  return UnattendedExitCode();
}

int UninstallMain(const char *args) {
  // The program writes one of the two behind the arguments; a later one is
  // part of its path.
  const char *end = SwitchTail(args, UNINSTALL_END_SWITCH), *copy = SwitchTail(args, UNINSTALL_FROM_SWITCH);
  if (end != NULL && (copy == NULL || end < copy)) return EndStep(args);
  if (copy == NULL) return StartCopy(args);
  char from[VANTOR_PATH_SIZE], record[VANTOR_PATH_SIZE], text[KEPT_SIZE + 400];
  char caption[CAPTION_SIZE] = "Uninstall";
  TakeFrom(args, UNINSTALL_FROM_SWITCH, from, (int)sizeof from);
  DebugPrintf("Uninstall: the uninstaller '%s'\n", from);
  // OLE for the libraries, Program Manager for the groups and items.
  if (!InstallInit()) ABORT("Couldn't init install\n");
  char *data = NULL;
  uint32_t size = 0;
  Removal removal;
  int sound = UninstallRecordPath(from, record, (int)sizeof record) && LoadRecord(record, &data, &size, &removal);
  if (!sound && data == NULL)
    return Report(UNINSTALL_NOTHING, caption, SYS_MB_OK | SYS_MB_ICONINFORMATION, EXIT_NOT_INSTALLED);
  if (!sound) {
    MEM_FREE(data, (int)size + 1);
    VantorFormat(text, (int)sizeof text, UNINSTALL_DAMAGED, record);
    return Report(text, caption, SYS_MB_OK | SYS_MB_ICONSTOP, EXIT_DAMAGED);
  }
  EachLine(&removal, UNINSTALL_TAG_PRODUCT, 0, FindProduct);
  if (removal.kept[0] != 0) StrCopyN(caption, removal.kept, (int)sizeof caption);
  removal.kept[0] = 0;
  VantorFormat(text, (int)sizeof text, UNINSTALL_QUESTION, caption);
  if (UnattendedBox(NULL, text, caption, SYS_MB_YESNO | SYS_MB_ICONQUESTION, SYS_IDYES) != SYS_IDYES) {
    UnattendedDecision("uninstall declined");
    DebugPrintf("Uninstall: declined\n");
    MEM_FREE(data, (int)size + 1);
    return EXIT_INSTALLED;
  }
  // Libraries are unregistered while their files are still there.
  EachLine(&removal, UNINSTALL_TAG_LIBRARY, 1, Unregister);
  EachLine(&removal, UNINSTALL_TAG_FILE, 1, RemoveFile);
  EachLine(&removal, UNINSTALL_TAG_DIR, 1, RemoveDir);
  EachLine(&removal, UNINSTALL_TAG_ITEM, 1, DeleteItem);
  EachLine(&removal, UNINSTALL_TAG_GROUP, 1, DeleteGroup);
  EachLine(&removal, UNINSTALL_TAG_VALUE, 1, DeleteValue);
  if (removal.keptCount == 0) EachLine(&removal, UNINSTALL_TAG_ARP, 1, DeleteEntry);
  EachLine(&removal, UNINSTALL_TAG_KEY, 1, DeleteKey);
  MEM_FREE(data, (int)size + 1);
  // With a file kept, the uninstaller, its record and the entry stay, so
  // that the person can uninstall again once the file is free; else the
  // last step removes them when this copy has reported and ended.
  int code = UninstallReport(&removal, caption, text, (int)sizeof text);
  if (removal.keptCount == 0 &&
      (VantorFormat(text, (int)sizeof text, "%s %s%s", UNINSTALL_SWITCH, UNINSTALL_END_SWITCH, from) >= (int)sizeof text ||
       !UninstallSysStartCopy(InstallerProgramPath(), text, 0, NULL)))
    DebugPrintf("Uninstall: unable to start the last step for '%s'\n", from);
  return code;
}

// Reports what the removal did; the exit code.
static int UninstallReport(const Removal *removal, const char *caption, char *text, int size) {
  int total = removal->files + removal->dirs + removal->shortcuts + removal->entries;
  if (total == 0 && removal->keptCount == 0)
    return Report(UNINSTALL_NOTHING, caption, SYS_MB_OK | SYS_MB_ICONINFORMATION, EXIT_NOT_INSTALLED);
  int length = VantorFormat(text, size, UNINSTALL_REMOVED, caption, removal->files, removal->dirs, removal->shortcuts,
                            removal->entries);
  if (removal->keptCount == 0) return Report(text, caption, SYS_MB_OK | SYS_MB_ICONINFORMATION, EXIT_INSTALLED);
  if (length < size) VantorFormat(text + length, size - length, "\n\n%s%s", UNINSTALL_IN_USE, removal->kept);
  return Report(text, caption, SYS_MB_OK | SYS_MB_ICONEXCLAMATION, EXIT_COMMAND_FAILED);
}

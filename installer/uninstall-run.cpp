// The uninstaller's run: the copy in the temporary directory, the question,
// the removal in its order and the report.
#include <string.h>

#include "process-sys.h"
#include "registry.h"
#include "shell-sys.h"
#include "shell.h"
#include "target-sys.h"
#include "target.h"
#include "uninstall-sys.h"
#include "uninstall.h"
#include "exit-codes.h"
#include "interact.h"
#include "journal.h"
#include "vantor-core.h"
#include "vantor-str.h"
#include "winhelpr.h"
#include "program.h"

#define COPY_PREFIX "~u"  // the copy's name: this, 16 random hexadecimal digits, ".exe"
#define KEPT_SIZE 1024
#define ORIGINAL_TRIES 100  // pauses of 100 ms while the original program exits
#define CAPTION_SIZE 160

struct Removal {
  const char *body;  // the record's lines
  uint32_t length;
  const char *from;  // the uninstaller (in its long form while locating)
  char tag;          // of the lines visited
  int files, dirs, shortcuts, groups, entries;
  int keptCount, refusedCount, locations, holders;
  int machine, restarts;    // a machine install; files removed at restart
  char kept[KEPT_SIZE];     // the files in use, one a line
  char refused[KEPT_SIZE];  // the lines refused, one a line
  char location[VANTOR_PATH_SIZE];  // below which the lines lie
  char programs[VANTOR_PATH_SIZE];  // the Start Menu's programs folder, or ""
};

static const char REFUSED_OUTSIDE[] = "outside the product's folder";
static const char REFUSED_NAME[] = "a name the system reads otherwise";
static const char REFUSED_LINK[] = "behind a link";

// 1 when the component [start, end) names a file as written: not empty, no
// colon (a drive or a stream) or slash, not ending in a dot or blank (the
// system drops them, so "." and ".." never pass), not a device.
static int SoundComponent(const char *start, const char *end) {
  if (end == start || end[-1] == '.' || end[-1] == ' ') return 0;
  for (const char *p = start; p < end; p++)
    if (*p == ':' || *p == '/') return 0;
  int stem = 0;  // the device names hold with any extension and blanks before it
  while (start + stem < end && start[stem] != '.') stem++;
  while (stem > 0 && start[stem - 1] == ' ') stem--;
  // CON PRN AUX NUL; COM and LPT with a digit (a superscript one too).
  unsigned char digit = stem == 4 ? (unsigned char)start[3] : 0;
  int numbered = (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
  for (int i = 0; i < 18; i += 3)
    if ((i < 12 ? stem == 3 : numbered) && StrEqualNNoCase(start, "CONPRNAUXNULCOMLPT" + i, 3)) return 0;
  return 1;
}

// The components of rest, counted into *count; 0 when one is not sound.
static int SoundRest(const char *rest, int *count) {
  *count = 0;
  for (const char *start = rest;; start++) {
    const char *end = start;
    while (*end != 0 && *end != '\\') end++;
    if (!SoundComponent(start, end)) return 0;
    ++*count;
    if (*end == 0) return 1;
    start = end;
  }
}

// What follows base (a folder, with or without its closing backslash) and
// the backslash in path; NULL when path does not lie below base.
static const char *Beyond(const char *path, const char *base) {
  int n = StrLength(base);
  if (n == 0 || !StrEqualNNoCase(path, base, n)) return NULL;
  if (base[n - 1] != '\\' && path[n++] != '\\') return NULL;
  return path[n] != 0 ? path + n : NULL;
}

// 1 for a folder on a drive, "X:\" and sound components.
static int SoundFolder(const char *path) {
  int count;
  char c = (char)(path[0] | 0x20);
  return c >= 'a' && c <= 'z' && path[1] == ':' && path[2] == '\\' && (path[3] == 0 || SoundRest(path + 3, &count));
}

// 1 when a component of path from rest on is a link or another reparse
// point: what lies behind it is not ours.
static int BehindLink(const char *path, const char *rest) {
  char prefix[VANTOR_PATH_SIZE];
  if (!StrCopyN(prefix, path, (int)sizeof prefix)) return 1;
  for (int i = (int)(rest - path);; i++) {
    char c = prefix[i];
    if (c != '\\' && c != 0) continue;
    prefix[i] = 0;
    int link = TargetSysIsLink(prefix);
    prefix[i] = c;
    if (link || c == 0) return link;
  }
}

const char *UninstallLineRefusal(char tag, const char *path, const char *location, const char *programs) {
  int count;
  const char *rest = Beyond(path, location);
  if (rest != NULL) {
    if (!SoundRest(rest, &count)) return REFUSED_NAME;
    return BehindLink(path, rest) ? REFUSED_LINK : NULL;
  }
  // Directories the run made above the location (removed when empty).
  if (tag == UNINSTALL_TAG_DIR && SoundFolder(path) && (StrEqualNoCase(path, location) || Beyond(location, path)))
    return NULL;
  // The Start Menu folder made without Program Manager, its shortcuts and
  // those of items without a group.
  rest = programs[0] != 0 && tag != UNINSTALL_TAG_LIBRARY ? Beyond(path, programs) : NULL;
  if (rest == NULL) return REFUSED_OUTSIDE;
  int length = StrLength(path);
  if (!SoundRest(rest, &count)) return REFUSED_NAME;
  if (tag == UNINSTALL_TAG_DIR ? count != 1 : count > 2 || length < 4 || !StrEqualNoCase(path + length - 4, ".lnk"))
    return REFUSED_OUTSIDE;
  return BehindLink(path, rest) ? REFUSED_LINK : NULL;
}

// Adds path to a list of KEPT_SIZE bytes, one a line ("..." once full).
static void List(char *list, const char *path) {
  int used = StrLength(list);
  if (used + StrLength(path) + 6 < KEPT_SIZE) VantorFormat(list + used, KEPT_SIZE - used, "\n%s", path);
  else if (used == 0 || list[used - 1] != '.') StrAppendN(list, "\n...", KEPT_SIZE);
}

// 1 when the line's path is refused (logged); with list, one that leads
// outside the product's folders is listed (one behind a link is not: what
// lies behind it is the person's now, and it is left alone at its removal).
static int Refused(Removal *removal, const char *path, int list) {
  const char *refusal = UninstallLineRefusal(removal->tag, path, removal->location, removal->programs);
  if (refusal == NULL || (list && refusal == REFUSED_LINK)) return 0;
  DebugPrintf("Uninstall: refused '%s': %s\n", path, refusal);
  if (!list) return 1;
  removal->refusedCount++;
  List(removal->refused, path);
  return 1;
}

static void Check(Removal *removal, char *path, char *) { Refused(removal, path, 1); }

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

// A name of this run's own in the temporary directory, that nobody knows
// beforehand: COPY_PREFIX, 16 random hexadecimal digits and extension.
static int TempName(char *path, const char *extension) {
  uint32_t random[2];
  if (!QueryTempDir(path, VANTOR_PATH_SIZE) || !UninstallSysRandom(random, sizeof random)) return 0;
  int used = StrLength(path);
  return VantorFormat(path + used, VANTOR_PATH_SIZE - used, COPY_PREFIX "%08x%08x%s", (unsigned)random[0],
                      (unsigned)random[1], extension) < VANTOR_PATH_SIZE - used;
}

// Copies the running program into the temporary directory, under a name
// of this run's own, and starts the copy, which removes the original as it
// ends its work, and waits for it. The copy starts only when it still holds
// the program's bytes.
static int StartCopy(const char *args) {
  char copy[VANTOR_PATH_SIZE], line[2 * VANTOR_PATH_SIZE];
  uint32_t code = EXIT_INTERNAL_ERROR, size = 0;
  char *program = NULL;
  int started = TempName(copy, ".exe");
  if (!started) copy[0] = 0;
  // The copy runs elsewhere: it is told the program's full path.
  char from[VANTOR_PATH_SIZE];
  UninstallSysLongPath(InstallerProgramPath(), from, (int)sizeof from);
  started = started && UninstallLoadFile(from, &program, &size) && UninstallSysCopy(from, copy) &&
            VantorFormat(line, (int)sizeof line, "%s %s%s", args, UNINSTALL_FROM_SWITCH, from) < (int)sizeof line &&
            UninstallSysStartCopy(copy, program, size, line, 1, &code);
  if (program != NULL) MEM_FREE(program, (int)size + 1);
  if (!started) {
    DebugPrintf("Uninstall: unable to start the copy '%s'\n", copy);
    return EXIT_INTERNAL_ERROR;
  }
  DebugPrintf("Uninstall: the copy '%s' ended with %u\n", copy, (unsigned)code);
  return (int)code;
}

// Calls visit for each line of the record with the given tag (0: the
// lines that name files, F, D and O): its first value and its second (or
// NULL), both terminated, in record order or backwards.
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
    removal->tag = removal->body[begin];
    if (tag != 0 ? removal->tag != tag : !strchr("FDO", removal->tag)) continue;
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
  if (!Refused(removal, path, 0)) OleSelfRegister(path, 0);
}

// The system's answers for a file that is not there (or cannot be: its
// folder gone, a name no file has): already removed.
static int Gone(uint32_t error) { return error == 2 || error == 3 || error == 123 || error == 161; }

// Removes the file: 1 removed, 0 not there, -1 kept (listed). A machine
// install's file in use (a sharing or lock violation, or access denied: a
// running program's file) is removed when Windows restarts.
static int Take(Removal *removal, const char *path) {
  uint32_t error = TargetSysRemoveFile(path);
  if (error == 0) DebugPrintf("Uninstall: removed '%s'\n", path);
  if (error == 0 || Gone(error)) return error == 0;
  if ((error == 32 || error == 33 || error == 5) && removal->machine && TargetSysAtRestart(path, NULL)) {
    DebugPrintf("Uninstall: '%s' is removed when Windows restarts\n", path);
    removal->restarts++;
    return 1;
  }
  DebugPrintf("Uninstall: unable to remove '%s' (%u)\n", path, (unsigned)error);
  removal->keptCount++;
  List(removal->kept, path);
  return -1;
}

// The count a line's path adds to: in the Start Menu, a shortcut or group.
static int *Counted(Removal *removal, const char *path, int *elsewhere, int *startMenu) {
  return removal->programs[0] != 0 && Beyond(path, removal->programs) != NULL ? startMenu : elsewhere;
}

static void RemoveFile(Removal *removal, char *path, char *) {
  if (!Refused(removal, path, 0) && Take(removal, path) > 0)
    ++*Counted(removal, path, &removal->files, &removal->shortcuts);
}

// Directories: the record has each below its parent, so backwards each is
// empty before its parent is tried.
static void RemoveDir(Removal *removal, char *path, char *) {
  if (Refused(removal, path, 0)) return;
  if (TargetSysRemoveDir(path)) {
    ++*Counted(removal, path, &removal->dirs, &removal->groups);
    DebugPrintf("Uninstall: removed directory '%s'\n", path);
  } else if (removal->restarts > 0 && TargetSysDirExists(path)) {
    TargetSysAtRestart(path, NULL);  // after the files in it removed at restart, if empty then
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

// Program Manager keeps a group as a folder in this user's Start Menu
// programs folder and an item as its "CAPTION.lnk" there: the group's folder
// (caption NULL) or the item's shortcut into path, 1 when it passes the
// record's line checks. They are taken directly, Program Manager there or
// not (a silent run may have no desktop, and then no Program Manager).
static int StartMenuPath(Removal *removal, const char *group, const char *caption, char *path) {
  int length = VantorFormat(path, VANTOR_PATH_SIZE, caption != NULL ? "%s\\%s\\%s.lnk" : "%s\\%s",
                            removal->programs, group, caption);
  return removal->programs[0] != 0 && group[0] != 0 && length < VANTOR_PATH_SIZE &&
         UninstallLineRefusal(caption != NULL ? UNINSTALL_TAG_FILE : UNINSTALL_TAG_DIR, path, removal->location,
                              removal->programs) == NULL;
}

// An item's shortcut goes; one not there is Program Manager's to delete
// (from its group, made the active one first), unless its group, which the
// run made, takes it along.
static void DeleteItem(Removal *removal, char *group, char *caption) {
  char link[VANTOR_PATH_SIZE], show[SCRIPT_FIELD_SIZE + 20], command[SCRIPT_FIELD_SIZE + 20];
  if (caption == NULL || group[0] == 0) return;
  int taken = StartMenuPath(removal, group, caption, link) ? Take(removal, link) : 0;
  if (taken != 0) {
    if (taken > 0) removal->shortcuts++;
    return;
  }
  if (Recorded(removal, UNINSTALL_TAG_GROUP, group) ||
      VantorFormat(show, (int)sizeof show, "[ShowGroup(\"%s\",1)]", group) >= (int)sizeof show ||
      VantorFormat(command, (int)sizeof command, "[DeleteItem(\"%s\")]", caption) >= (int)sizeof command)
    return;
  if (ProgManConnected() && ProgManExecute(show) && ProgManExecute(command)) removal->shortcuts++;
}

// A group's folder goes once empty (what the person added keeps it); one
// not there is Program Manager's to delete.
static void DeleteGroup(Removal *removal, char *group, char *) {
  char command[VANTOR_PATH_SIZE];
  if (StartMenuPath(removal, group, NULL, command) && TargetSysDirExists(command)) {
    if (TargetSysRemoveDir(command)) {
      removal->groups++;
      DebugPrintf("Uninstall: removed directory '%s'\n", command);
    }
    return;
  }
  if (VantorFormat(command, (int)sizeof command, "[DeleteGroup(\"%s\")]", group) >= (int)sizeof command) return;
  if (ProgManConnected() && ProgManExecute(command)) removal->groups++;
}

static void DeleteValue(Removal *removal, char *key, char *name) {
  if (name != NULL && RegistryDeleteValue(REGROOT_CURRENT_USER, key, name)) removal->entries++;
}

static void DeleteEntry(Removal *removal, char *key, char *) {
  removal->entries += UninstallEntryRemove(
      removal->tag == UNINSTALL_TAG_MACHINE_ARP ? REGROOT_LOCAL_MACHINE : REGROOT_CURRENT_USER, key);
}

static void DeleteKey(Removal *removal, char *key, char *) {
  if (RegistryDeleteKey(REGROOT_CURRENT_USER, key)) removal->entries++;
}

static void FindProduct(Removal *removal, char *name, char *) {
  (void)removal;
  StrCopyN(removal->kept, name, KEPT_SIZE);
}

static void FindMachine(Removal *removal, char *, char *) { removal->machine = 1; }

// The first location line that holds the uninstaller (as written, or both
// in their long forms: the uninstaller may have been started by a short or
// a relative path).
static void FindLocation(Removal *removal, char *location, char *) {
  char full[VANTOR_PATH_SIZE];
  removal->locations++;
  UninstallSysLongPath(location, full, (int)sizeof full);
  if (removal->location[0] == 0 && SoundFolder(location) &&
      (Beyond(removal->from, location) != NULL || Beyond(removal->from, full) != NULL))
    StrCopyN(removal->location, location, VANTOR_PATH_SIZE);
}

// The folder below which the record's lines lie, and the programs folder:
// 0 when the record names locations and none of them holds the uninstaller
// at from.
static int Locate(Removal *removal, const char *from) {
  char full[VANTOR_PATH_SIZE];
  UninstallSysLongPath(from, full, (int)sizeof full);
  removal->from = full;
  EachLine(removal, UNINSTALL_TAG_LOCATION, 0, FindLocation);
  removal->from = from;
  if (removal->locations == 0 && StrCopyN(removal->location, full, VANTOR_PATH_SIZE)) {
    int cut = StrLength(removal->location);
    while (cut > 0 && removal->location[cut - 1] != '\\') cut--;
    removal->location[cut > 3 ? cut - 1 : cut] = 0;
    DebugPrintf("Uninstall: no location recorded, '%s' taken\n", removal->location);
  }
  if (!ShellProgramsFolder(removal->programs, VANTOR_PATH_SIZE)) removal->programs[0] = 0;
  return removal->location[0] != 0;
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

// The last step, from the copy, with "N PATH": once the original
// uninstaller at PATH has ended (tried every 100 ms for ten seconds), removes
// it and then the N folders holding it, each when empty.
static int EndStep(const char *args) {
  char from[VANTOR_PATH_SIZE];
  TakeFrom(args, UNINSTALL_END_SWITCH, from, (int)sizeof from);
  int levels = 0;
  char *path = from;
  while (*path >= '0' && *path <= '9') levels = levels * 10 + *path++ - '0';
  if (*path == ' ') path++;
  for (int i = 0; i < ORIGINAL_TRIES; i++) {
    uint32_t error = TargetSysRemoveFile(path);
    if (error == 0 || Gone(error)) break;
    UninstallSysSleep(100);
  }
  DebugPrintf("Uninstall: '%s' removed\n", path);
  for (char *cut = path + StrLength(path); levels > 0 && cut > path + 3; cut--)
    if (*cut == '\\') {
      *cut = 0;
      if (!TargetSysRemoveDir(path)) break;
      levels--;
    }
  return EXIT_INSTALLED;
}

static void CountHolder(Removal *removal, char *path, char *) {
  if (Beyond(removal->from, path) != NULL && !Refused(removal, path, 0)) removal->holders++;
}

// The uninstaller's own files, once nothing was kept: the record goes, and
// the original program (running until this copy ends: its file can be
// renamed on its drive, not deleted) moves into the temporary directory,
// so that its folders go now with the other directories. The last step's
// arguments into end: the program's path, and where it could not move the
// count of the recorded folders that hold it.
static int Unplace(Removal *removal, const char *record, char *end, int size) {
  char moved[VANTOR_PATH_SIZE];
  const char *from = removal->from;
  if (TargetSysRemoveFile(record) != 0) DebugPrintf("Uninstall: unable to remove '%s'\n", record);
  if (TempName(moved, ".old") && TargetSysReplace(from, moved) == 0) {
    DebugPrintf("Uninstall: '%s' moved to '%s'\n", from, moved);
    from = moved;
  } else {
    EachLine(removal, UNINSTALL_TAG_DIR, 0, CountHolder);
  }
  return VantorFormat(end, size, "%s %s%d %s", UNINSTALL_SWITCH, UNINSTALL_END_SWITCH,
                      from == moved ? 0 : removal->holders, from) < size;
}

static int UninstallReport(const Removal *removal, const char *caption, char *text, int size);

static int Report(const char *text, const char *caption, uint32_t style, int code) {
  Interact()->box(NULL, text, caption, style, SYS_IDOK);
  return code;
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
  if (!ShellServicesInit()) ABORT("Couldn't init install\n");
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
  // A record that is not this folder's, or names what is not the product's,
  // is refused as a whole, as a damaged one.
  int located = Locate(&removal, from);
  if (located) {
    EachLine(&removal, 0, 0, Check);
  }
  if (!located || removal.refusedCount > 0) {
    MEM_FREE(data, (int)size + 1);
    int length = VantorFormat(text, (int)sizeof text, located ? UNINSTALL_REFUSED : UNINSTALL_ELSEWHERE, record);
    if (located && length < (int)sizeof text) StrAppendN(text, removal.refused, (int)sizeof text);
    return Report(text, caption, SYS_MB_OK | SYS_MB_ICONSTOP, EXIT_DAMAGED);
  }
  // An update of this folder that could not end is undone first: what
  // the record lists is then what is there.
  char folder[VANTOR_PATH_SIZE];
  StrCopyN(folder, from, (int)sizeof folder);
  char *cut = strrchr(folder, '\\');
  if (cut != NULL) {
    cut[1] = 0;
    JournalRecover(folder);
  }
  EachLine(&removal, UNINSTALL_TAG_PRODUCT, 0, FindProduct);
  EachLine(&removal, UNINSTALL_TAG_MACHINE_ARP, 0, FindMachine);
  if (removal.kept[0] != 0) StrCopyN(caption, removal.kept, (int)sizeof caption);
  removal.kept[0] = 0;
  VantorFormat(text, (int)sizeof text, UNINSTALL_QUESTION, caption);
  if (Interact()->box(NULL, text, caption, SYS_MB_YESNO | SYS_MB_ICONQUESTION, SYS_IDYES) != SYS_IDYES) {
    UnattendedDecision("uninstall declined");
    DebugPrintf("Uninstall: declined\n");
    MEM_FREE(data, (int)size + 1);
    return EXIT_INSTALLED;
  }
  // Libraries are unregistered while their files are still there.
  EachLine(&removal, UNINSTALL_TAG_LIBRARY, 1, Unregister);
  EachLine(&removal, UNINSTALL_TAG_FILE, 1, RemoveFile);
  EachLine(&removal, UNINSTALL_TAG_ITEM, 1, DeleteItem);
  // With a file kept, the uninstaller, its record and the entry stay, so
  // that the person can uninstall again once the file is free.
  char step[VANTOR_PATH_SIZE + 40];
  int last = removal.keptCount == 0 && Unplace(&removal, record, step, (int)sizeof step);
  EachLine(&removal, UNINSTALL_TAG_DIR, 1, RemoveDir);
  EachLine(&removal, UNINSTALL_TAG_GROUP, 1, DeleteGroup);
  EachLine(&removal, UNINSTALL_TAG_VALUE, 1, DeleteValue);
  if (removal.keptCount == 0) {
    EachLine(&removal, UNINSTALL_TAG_ARP, 1, DeleteEntry);
    EachLine(&removal, UNINSTALL_TAG_MACHINE_ARP, 1, DeleteEntry);
  }
  EachLine(&removal, UNINSTALL_TAG_KEY, 1, DeleteKey);
  MEM_FREE(data, (int)size + 1);
  int code = UninstallReport(&removal, caption, text, (int)sizeof text);
  // The last step removes the original program once it has ended, which
  // is when this copy has ended.
  if (removal.keptCount == 0 && (!last || !UninstallSysStartCopy(InstallerProgramPath(), NULL, 0, step, 0, NULL)))
    DebugPrintf("Uninstall: unable to start the last step for '%s'\n", from);
  return code;
}

// Reports what the removal did; the exit code.
static int UninstallReport(const Removal *removal, const char *caption, char *text, int size) {
  int total = removal->files + removal->dirs + removal->shortcuts + removal->groups + removal->entries;
  if (total == 0 && removal->keptCount == 0)
    return Report(UNINSTALL_NOTHING, caption, SYS_MB_OK | SYS_MB_ICONINFORMATION, EXIT_NOT_INSTALLED);
#define COUNTED(n, one, many) n, n == 1 ? one : many
  int length = VantorFormat(text, size, UNINSTALL_REMOVED, caption, COUNTED(removal->files, "file", "files"),
                            COUNTED(removal->dirs, "directory", "directories"),
                            COUNTED(removal->shortcuts, "shortcut", "shortcuts"),
                            COUNTED(removal->groups, "group", "groups"),
                            COUNTED(removal->entries, "registry entry", "registry entries"));
#undef COUNTED
  if (removal->keptCount == 0 && removal->restarts > 0 && length < size)
    VantorFormat(text + length, size - length, "\n\n%s", UNINSTALL_RESTART);
  if (removal->keptCount == 0)
    return Report(text, caption, SYS_MB_OK | SYS_MB_ICONINFORMATION,
                  removal->restarts > 0 ? EXIT_RESTART_NEEDED : EXIT_INSTALLED);
  if (length < size) VantorFormat(text + length, size - length, "\n\n%s%s", UNINSTALL_IN_USE, removal->kept);
  return Report(text, caption, SYS_MB_OK | SYS_MB_ICONEXCLAMATION, EXIT_COMMAND_FAILED);
}

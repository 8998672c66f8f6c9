// The run's journal: its lines written before each change, the files moved
// aside, and the undoing of a failed run's or an unfinished run's lines.
#include "journal.h"

#include <string.h>

#include "interact.h"
#include "process-sys.h"
#include "registry-sys.h"
#include "registry.h"
#include "script.h"
#include "target-sys.h"
#include "target.h"
#include "uninstall.h"
#include "vantor-core.h"
#include "vantor-str.h"

#define JOURNAL_LINE_SIZE (2 * VANTOR_PATH_SIZE + 16)

static const char *destination;
static int state;   // 0 not started, 1 writing, -1 none (could not start, or ended)
static void *file;  // the journal, open for writing
static char folder[VANTOR_PATH_SIZE];  // the journal's folder, no closing backslash
static char outer[VANTOR_PATH_SIZE];   // the outermost folder made for it, or ""
static int backups;

// path = the journal's folder + "\" + name (the journal's own for NULL); 0
// when it does not fit.
static int InFolder(char *path, const char *name) {
  return VantorFormat(path, VANTOR_PATH_SIZE, "%s\\%s", folder, name != NULL ? name : "journal") < VANTOR_PATH_SIZE;
}

void JournalUse(const char *path) {
  destination = path;
  state = backups = 0;
  file = NULL;
}

static void NoteParent(const char *path) {
  if (outer[0] == 0) StrCopyN(outer, path, VANTOR_PATH_SIZE);
  UninstallNote(UNINSTALL_TAG_DIR, path, NULL);
}

// 1 when path lies below root (root ends in a backslash, or path goes on
// with one).
static int Below(const char *path, const char *root) {
  int n = StrLength(root);
  return n > 0 && StrEqualNNoCase(path, root, n) && (root[n - 1] == '\\' || path[n] == '\\');
}

// Carries out one line backwards: fields[0] its first value, the others
// after. A journal found on the disk may not be this installer's own (anyone
// who may make a folder beside the destination could have left it): its
// files and folders are undone only below the destination, with backups
// from the journal's folder, and its registry lines not at all.
static void UndoLine(char tag, char **fields, int count, int found) {
  const char *first = fields[0], *second = count > 1 ? fields[1] : "", *done = NULL;
  RegistryKey key;
  if (found && (tag == JOURNAL_TAG_KEY || tag == JOURNAL_TAG_VALUE || tag == JOURNAL_TAG_CHANGED ||
                !Below(first, destination) || (tag == JOURNAL_TAG_REPLACED && !Below(second, folder))))
    return;
  if (tag == JOURNAL_TAG_FILE && TargetSysRemoveFile(first) == 0) done = "removed";
  if (tag == JOURNAL_TAG_REPLACED && TargetSysReplace(second, first)) done = "restored";
  if (tag == JOURNAL_TAG_PARENT) StrCopyN(outer, first, VANTOR_PATH_SIZE);
  if (tag == JOURNAL_TAG_DIR && TargetSysRemoveDir(first)) done = "removed directory";
  if (tag == JOURNAL_TAG_KEY && RegistryDeleteKey(REGROOT_CURRENT_USER, first)) done = "removed key";
  if (tag == JOURNAL_TAG_VALUE && RegistryDeleteValue(REGROOT_CURRENT_USER, first, second)) done = "removed value of";
  if (tag == JOURNAL_TAG_CHANGED && count > 2 && RegistryOpen(&key, REGROOT_CURRENT_USER, first)) {
    if (RegistrySetString(key, second, fields[2])) done = "restored value of";
    RegistryClose(&key);
  }
  if (done != NULL) DebugPrintf("Rollback: %s '%s'\n", done, first);
}

// Undoes the journal in the folder, last line first (a line cut short by an
// end of the process is skipped: its change was not made), then removes
// it, the folder and the folders made for it, innermost first.
static void Undo(int found) {
  char path[VANTOR_PATH_SIZE], *lines;
  uint32_t length;
  InFolder(path, NULL);
  outer[0] = 0;
  if (UninstallLoadFile(path, &lines, &length)) {
    for (int32_t end = (int32_t)length; end > 0;) {  // lines[end - 1] is the '\n' of the line before
      int32_t begin = end - 1;
      while (begin > 0 && lines[begin - 1] != '\n') begin--;
      int32_t n = end - begin;
      end = begin;
      if (n < 5 || lines[begin + n - 2] != '\r' || lines[begin + 1] != '\t') continue;
      lines[begin + n - 2] = 0;
      char *fields[3];
      int count = 0;
      for (char *at = lines + begin + 2; at != NULL && count < 3;) {
        fields[count++] = at;
        at = strchr(at, '\t');
        if (at != NULL) *at++ = 0;
      }
      UndoLine(lines[begin], fields, count, found);
    }
    MEM_FREE(lines, (int)length + 1);
  }
  TargetSysRemoveFile(path);
  StrCopy(path, folder);
  int keep = StrLength(outer);
  if (!TargetSysRemoveDir(path)) return;
  for (char *cut; keep > 0 && (cut = strrchr(path, '\\')) != NULL;) {
    *cut = 0;
    if (StrLength(path) < keep) break;
    char *field = path;
    UndoLine(JOURNAL_TAG_DIR, &field, 1, 0);
  }
}

// The journal's folder beside the destination, an unfinished journal there
// undone first, the folder made (its missing parents noted in the uninstall
// record, for they hold the destination too) and the journal started. 1
// while it writes.
static int Ready(void) {
  if (state != 0) return state > 0;
  if (destination == NULL || destination[0] == 0) return 0;
  state = -1;
  int n = StrLength(destination);
  if (n > 3 && destination[n - 1] == '\\') n--;
  if (n + (int)sizeof JOURNAL_FOLDER + (int)sizeof "\\journal" > (int)sizeof folder) return 0;
  memcpy(folder, destination, (size_t)n);
  StrCopy(folder + n, JOURNAL_FOLDER);
  char path[VANTOR_PATH_SIZE];
  InFolder(path, NULL);
  if (TargetSysFileExists(path)) {
    DebugPrintf("Rollback: an unfinished installation to '%s' is undone\n", destination);
    Undo(1);
    Interact()->box(NULL, JOURNAL_RECOVERED, PROBLEM_CAPTION, SYS_MB_OK | SYS_MB_ICONEXCLAMATION, SYS_IDOK);
  }
  // The parent, with its closing backslash (a drive's root keeps it).
  char parent[VANTOR_PATH_SIZE];
  StrCopy(parent, folder);
  char *cut = strrchr(parent, '\\');
  outer[0] = 0;
  if (cut != NULL) {
    cut[1] = 0;
    MakePathNoting(parent, NoteParent);
  }
  n = StrLength(outer);
  if (n > 3 && outer[n - 1] == '\\') outer[n - 1] = 0;
  if ((!TargetSysDirExists(folder) && !TargetSysCreateDir(folder)) || !TargetSysCreate(path, &file)) return 0;
  state = 1;
  if (TargetSysWrite(file, JOURNAL_HEAD, (uint32_t)sizeof JOURNAL_HEAD - 1) == 0 &&
      (outer[0] == 0 || JournalNote(JOURNAL_TAG_PARENT, outer, NULL)))
    return 1;
  JournalRollback(0);
  return 0;
}

int JournalNote(char tag, const char *first, const char *second) {
  if (!Ready()) return 1;
  char line[JOURNAL_LINE_SIZE];
  int n = second != NULL ? VantorFormat(line, (int)sizeof line, "%c\t%s\t%s\r\n", tag, first, second)
                         : VantorFormat(line, (int)sizeof line, "%c\t%s\r\n", tag, first);
  return n < (int)sizeof line && TargetSysWrite(file, line, (uint32_t)n) == 0;
}

int JournalFile(const char *path, int fresh) {
  if (!Ready()) return 1;
  int there = fresh ? 0 : TargetSysFileExists(path);
  if (there == 0) return JournalNote(JOURNAL_TAG_FILE, path, NULL);
  char name[16], backup[VANTOR_PATH_SIZE];
  VantorFormat(name, (int)sizeof name, "%d", ++backups);
  // A read-only file is not replaced, as it could not be written.
  if (there == 1 && InFolder(backup, name) && JournalNote(JOURNAL_TAG_REPLACED, path, backup) &&
      TargetSysReplace(path, backup))
    return 1;
  DebugPrintf("Unable to create file '%s'\n", path);  // read-only, held or refused: it cannot be replaced
  return 0;
}

void JournalValue(const char *path, const char *name) {
  if (!Ready()) return;
  char key[VANTOR_PATH_SIZE], old[VANTOR_PATH_SIZE + SCRIPT_FIELD_SIZE];
  StrCopyN(key, path, (int)sizeof key);
  RegistryKey opened = NULL;
  for (char *at = key;; at++) {
    char c = *at;
    if (c != '\\' && c != 0) continue;
    *at = 0;
    if (opened != NULL) RegistryClose(&opened);
    if (at > key && RegistrySysOpen(REGISTRY_SYS_CURRENT_USER, key, REGISTRY_SYS_ALL_ACCESS, &opened) != 0)
      JournalNote(JOURNAL_TAG_KEY, key, NULL);
    *at = c;
    if (c == 0) break;
  }
  int n = VantorFormat(old, (int)sizeof old, "%s\t", name);
  if (opened != NULL && n < (int)sizeof old - VANTOR_PATH_SIZE && RegistryGetText(opened, name, old + n, VANTOR_PATH_SIZE))
    JournalNote(JOURNAL_TAG_CHANGED, path, old);
  else
    JournalNote(JOURNAL_TAG_VALUE, path, name);
  if (opened != NULL) RegistryClose(&opened);
}

// Closes the journal; unless undo, removes the files moved aside, the
// journal and its folder; with undo, undoes it.
static void End(int undo) {
  if (state > 0) {
    TargetSysClose(file);
    char path[VANTOR_PATH_SIZE], name[16];
    for (int i = 1; !undo && i <= backups; i++) {
      VantorFormat(name, (int)sizeof name, "%d", i);
      if (InFolder(path, name)) TargetSysRemoveFile(path);
    }
    if (undo) {
      Undo(0);
    } else {
      InFolder(path, NULL);
      TargetSysRemoveFile(path);
      TargetSysRemoveDir(folder);
    }
  }
  state = -1;
}

void JournalRollback(int tell) {
  if (state <= 0) return;
  End(1);
  DebugPrintf("Rollback: the installation was undone; nothing was changed\n");
  if (tell) Interact()->box(NULL, JOURNAL_UNDONE, PROBLEM_CAPTION, SYS_MB_OK | SYS_MB_ICONEXCLAMATION, SYS_IDOK);
}

void JournalEnd(void) { End(0); }

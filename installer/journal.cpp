// The run's journal: its lines written before each change, the files moved
// aside, and the undoing of a failed run's or an unfinished run's lines.
#include "journal.h"
#include "shell.h"

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
#include "exit-codes.h"

#define JOURNAL_LINE_SIZE (2 * VANTOR_PATH_SIZE + 16)

static const char *destination;
static int state;   // 0 not started, 1 writing, -1 none (could not start, or ended)
static void *file;  // the journal, open for writing
static char folder[VANTOR_PATH_SIZE];  // the journal's folder, no closing backslash
static char outer[VANTOR_PATH_SIZE];   // the outermost folder made for it, or ""
static int backups;
static int leftovers;  // the journal's folder was there: it may hold an earlier run's backups
static int cancelled;  // the person chose Cancel for a file in use
static int stuck;      // lines the last undo could not carry out: the journal stays
// The replacements written ahead (JournalPlan): each file's backup number,
// in the list's order; next is the first not yet taken.
static struct {
  int count, next, sealed;
  int backup[JOURNAL_PLAN];
  char path[JOURNAL_PLAN][VANTOR_PATH_SIZE];
} plan;

// path = the journal's folder + "\" + name (the journal's own for NULL); 0
// when it does not fit.
static int InFolder(char *path, const char *name) {
  return VantorFormat(path, VANTOR_PATH_SIZE, "%s\\%s", folder, name != NULL ? name : "journal") < VANTOR_PATH_SIZE;
}

void JournalUse(const char *path) {
#ifdef VANTOR_NO_JOURNAL
  path = NULL;  // a stub built to measure what the journal costs (bench/journal-cost.sh)
#endif
  destination = path;
  state = backups = cancelled = 0;
  plan.count = plan.next = plan.sealed = 0;
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
// from the journal's folder, and its registry lines not at all. 1 when a
// file written could not be removed or a file replaced not put back (held
// by a program, say): the journal must stay, so that it is done later.
static int UndoLine(char tag, char **fields, int count, int found) {
  const char *first = fields[0], *second = count > 1 ? fields[1] : "", *done = NULL;
  RegistryKey key;
  if (found && (tag == JOURNAL_TAG_KEY || tag == JOURNAL_TAG_VALUE || tag == JOURNAL_TAG_CHANGED ||
                tag == JOURNAL_TAG_LIBRARY ||
                !Below(first, destination) || (tag == JOURNAL_TAG_REPLACED && !Below(second, folder))))
    return 0;
  uint32_t error = 2;  // 2 and 3: not there, so the change was never made
  if (tag == JOURNAL_TAG_FILE && (error = TargetSysRemoveFile(first)) == 0) done = "removed";
  if (tag == JOURNAL_TAG_REPLACED && (error = TargetSysReplace(second, first)) == 0) done = "restored";
  if (tag == JOURNAL_TAG_PARENT) StrCopyN(outer, first, VANTOR_PATH_SIZE);
  if (tag == JOURNAL_TAG_LIBRARY && OleSelfRegister(first, 0)) done = "unregistered";
  if (tag == JOURNAL_TAG_DIR && TargetSysRemoveDir(first)) done = "removed directory";
  if (tag == JOURNAL_TAG_KEY && RegistryDeleteKey(REGROOT_CURRENT_USER, first)) done = "removed key";
  if (tag == JOURNAL_TAG_VALUE && RegistryDeleteValue(REGROOT_CURRENT_USER, first, second)) done = "removed value of";
  if (tag == JOURNAL_TAG_CHANGED && count > 2 && RegistryOpen(&key, REGROOT_CURRENT_USER, first)) {
    if (RegistrySetString(key, second, fields[2])) done = "restored value of";
    RegistryClose(&key);
  }
  if (done != NULL) DebugPrintf("Rollback: %s '%s'\n", done, first);
  if (error == 0 || error == 2 || error == 3 || TargetSysFileExists(tag == JOURNAL_TAG_FILE ? first : second) == 0)
    return 0;
  DebugPrintf("Rollback: unable to undo '%s' (%u)\n", first, (unsigned)error);
  return 1;
}

// Walks the journal in the folder, last line first (a line cut short by an
// end of the process is skipped: its change was not made). found 0 or 1:
// undoes each line (UndoLine), then removes the journal, the folder and
// the folders made for it, innermost first, unless a line could not be
// undone (then stuck counts them and all stays). found -1, for a run that ended
// well: asks for each swap at restart; the count asked for, -1 when the
// system refused one.
static int Undo(int found) {
  char path[VANTOR_PATH_SIZE], *lines;
  uint32_t length;
  int swaps = 0;
  InFolder(path, NULL);
  outer[0] = 0;
  stuck = 0;
  // Directories last: a file's line may come before its directory's, when
  // the file's was written ahead.
  for (int pass = found < 0; pass < 2 && UninstallLoadFile(path, &lines, &length); pass++) {
    for (int32_t end = (int32_t)length; end > 0;) {  // lines[end - 1] is the '\n' of the line before
      int32_t begin = end - 1;
      while (begin > 0 && lines[begin - 1] != '\n') begin--;
      int32_t n = end - begin;
      end = begin;
      if (n < 5 || lines[begin + n - 2] != '\r' || lines[begin + 1] != '\t' ||
          (found >= 0 && (lines[begin] == JOURNAL_TAG_DIR) != (pass == 1)))
        continue;
      lines[begin + n - 2] = 0;
      char *fields[3];
      int count = 0;
      for (char *at = lines + begin + 2; at != NULL && count < 3;) {
        fields[count++] = at;
        at = strchr(at, '\t');
        if (at != NULL) *at++ = 0;
      }
      if (found >= 0) stuck += UndoLine(lines[begin], fields, count, found);
      else if (lines[begin] == JOURNAL_TAG_SWAP && count > 1 && swaps >= 0)
        swaps = TargetSysAtRestart(fields[0], fields[1]) ? swaps + 1 : -1;
    }
    MEM_FREE(lines, (int)length + 1);
  }
  if (found < 0 || stuck > 0) return swaps;
  TargetSysRemoveFile(path);
  StrCopy(path, folder);
  int keep = StrLength(outer);
  if (!TargetSysRemoveDir(path)) return 0;
  for (char *cut; keep > 0 && (cut = strrchr(path, '\\')) != NULL;) {
    *cut = 0;
    if (StrLength(path) < keep) break;
    char *field = path;
    UndoLine(JOURNAL_TAG_DIR, &field, 1, 0);
  }
  return 0;
}

// The journal's folder beside the destination into folder, and an
// unfinished journal found there undone (logged, one box). 0 when the
// destination has no room for it, or when what was found could not all be
// undone (it stays).
static int Recover(void) {
  stuck = 0;
  int n = StrLength(destination);
  if (n > 3 && destination[n - 1] == '\\') n--;
  if (n + (int)sizeof JOURNAL_FOLDER + (int)sizeof "\\journal" > (int)sizeof folder) return 0;
  memcpy(folder, destination, (size_t)n);
  StrCopy(folder + n, JOURNAL_FOLDER);
  char path[VANTOR_PATH_SIZE];
  InFolder(path, NULL);
  if (!TargetSysFileExists(path)) return 1;
  DebugPrintf("Rollback: an unfinished installation to '%s' is undone\n", destination);
  Undo(1);
  Interact()->box(NULL, stuck > 0 ? JOURNAL_STUCK : JOURNAL_RECOVERED, PROBLEM_CAPTION,
                  SYS_MB_OK | SYS_MB_ICONEXCLAMATION, SYS_IDOK);
  return stuck == 0;
}

void JournalRecover(const char *path) {
  JournalUse(path);
  if (destination != NULL && destination[0] != 0) Recover();
  destination = NULL;
  state = -1;
}

// The journal's folder beside the destination, an unfinished journal there
// undone first, the folder made (its missing parents noted in the uninstall
// record, for they hold the destination too) and the journal started. 1
// while it writes; 0 without a journal, state -2 when one found could not
// be undone: then no change may be made.
static int Ready(void) {
  if (state != 0) return state > 0;
  if (destination == NULL || destination[0] == 0) return 0;
  state = -1;
  if (!Recover()) {
    if (stuck > 0) state = -2;  // what it left stays as it is, and so does this run: nothing is changed
    return 0;
  }
  char path[VANTOR_PATH_SIZE];
  InFolder(path, NULL);
  // The parent, with its closing backslash (a drive's root keeps it).
  char parent[VANTOR_PATH_SIZE];
  StrCopy(parent, folder);
  char *cut = strrchr(parent, '\\');
  outer[0] = 0;
  if (cut != NULL) {
    cut[1] = 0;
    MakePathNoting(parent, NoteParent);
  }
  int n = StrLength(outer);
  if (n > 3 && outer[n - 1] == '\\') outer[n - 1] = 0;
  if (((leftovers = TargetSysDirExists(folder)) == 0 && !TargetSysCreateDir(folder)) || !TargetSysCreate(path, &file))
    return 0;
  state = 1;
  if (TargetSysWrite(file, JOURNAL_HEAD, (uint32_t)sizeof JOURNAL_HEAD - 1) == 0 &&
      (outer[0] == 0 || JournalNote(JOURNAL_TAG_PARENT, outer, NULL)))
    return 1;
  JournalRollback(0);
  return 0;
}

int JournalStarted(void) { return Ready(); }

// The path of backup number n into backup: 0 when it does not fit.
static int BackupPath(int n, char *backup) {
  char name[16];
  VantorFormat(name, (int)sizeof name, "%d", n);
  return InFolder(backup, name);
}

// The next backup's path into backup: 0 when it does not fit. A number
// whose file is still there (an earlier run's backup that a running program
// held when that run ended) is passed over, and that file goes at the end
// with the others.
static int NextBackup(char *backup) {
  for (;;) {
    if (!BackupPath(++backups, backup)) return 0;
    if (!leftovers || TargetSysFileExists(backup) == 0) return 1;
  }
}

// Writes one line; 0 when it does not fit or could not be written.
static int Write(char tag, const char *first, const char *second) {
  char line[JOURNAL_LINE_SIZE];
  int n = second != NULL ? VantorFormat(line, (int)sizeof line, "%c\t%s\t%s\r\n", tag, first, second)
                         : VantorFormat(line, (int)sizeof line, "%c\t%s\r\n", tag, first);
  return n < (int)sizeof line && TargetSysWrite(file, line, (uint32_t)n) == 0;
}

// The lines written are on the disk: 1, else 0.
static int Flush(void) { return TargetSysFlush(file) == 0; }

void JournalPlan(const char *path, int fresh) {
  if (path == NULL) {
    if (plan.count > 0 && !plan.sealed) Flush();
    plan.sealed = 1;
    return;
  }
  if (plan.sealed) plan.count = plan.next = plan.sealed = 0;
  char backup[VANTOR_PATH_SIZE];
  int there = fresh ? 0 : TargetSysFileExists(path);
  if (plan.count < JOURNAL_PLAN && there != 2 && Ready() &&
      (there == 0 ? Write(JOURNAL_TAG_FILE, path, NULL)
                  : NextBackup(backup) && Write(JOURNAL_TAG_REPLACED, path, backup))) {
    StrCopyN(plan.path[plan.count], path, VANTOR_PATH_SIZE);
    plan.backup[plan.count++] = there == 0 ? 0 : backups;
  }
}

int JournalNote(char tag, const char *first, const char *second) {
  if (!Ready()) return state != -2;
  return Write(tag, first, second) && Flush();
}

int JournalNew(char tag, const char *path) {
  return (tag == JOURNAL_TAG_DIR ? TargetSysDirExists(path) : TargetSysFileExists(path)) != 0 ||
         JournalNote(tag, path, NULL);
}

// A file to be replaced that could not be moved aside (error): 1 to try
// again; 0 when the command fails (script->failure says why when the file
// is held); 2 with written the name beside it that takes the new file, put
// in its place when Windows restarts. A file is held after a sharing or a
// lock violation, or after access denied when the system names a program
// that holds it.
static int HeldFile(InstallScript *script, const char *path, uint32_t error, char *written) {
  char names[VANTOR_PATH_SIZE], text[2 * VANTOR_PATH_SIZE + 160];
  int named = TargetSysHolders(path, names, (int)sizeof names);
  if (error != 32 && error != 33 && !(error == 5 && named)) return 0;
  DebugPrintf("File in use (%u): '%s'\n", (unsigned)error, path);
  if (script->scope == SCRIPT_SCOPE_MACHINE && script->inUse == SCRIPT_IN_USE_RESTART) {
    // A file beside it already is an earlier run's, still waiting for its
    // restart: it is moved aside like any file replaced, so that undoing
    // this run puts it back.
    char aside[VANTOR_PATH_SIZE];
    if (VantorFormat(written, VANTOR_PATH_SIZE, "%s" JOURNAL_BESIDE, path) >= VANTOR_PATH_SIZE ||
        !(TargetSysFileExists(written) == 0
              ? JournalNote(JOURNAL_TAG_FILE, written, NULL)
              : NextBackup(aside) && JournalNote(JOURNAL_TAG_REPLACED, written, aside) &&
                    TargetSysReplace(written, aside) == 0) ||
        !JournalNote(JOURNAL_TAG_SWAP, written, path))
      return 0;
    DebugPrintf("'%s' is replaced when Windows restarts\n", path);
    return 2;
  }
  VantorFormat(text, (int)sizeof text, JOURNAL_IN_USE, path, named ? " by " : "", names);
  if (Interact()->box(script->window, text, PROBLEM_CAPTION, SYS_MB_RETRYCANCEL | SYS_MB_ICONEXCLAMATION,
                      SYS_IDCANCEL) == SYS_IDRETRY)
    return 1;
  cancelled = 1;
  script->failure = UnattendedMode() != UNATTENDED_OFF ? EXIT_FILE_IN_USE : EXIT_CANCELLED;
  return 0;
}

static char backup[VANTOR_PATH_SIZE];  // where the last file replaced went

const char *JournalMovedTo(void) { return backup; }

int JournalFile(InstallScript *script, const char *path, int fresh, char *written) {
  StrCopyN(written, path, VANTOR_PATH_SIZE);
  StrCopyN(backup, path, VANTOR_PATH_SIZE);
  if (!Ready()) return state != -2;
  int there = fresh ? 0 : TargetSysFileExists(path), planned = -1;  // its backup's number, 0 for an F line
  for (int k = plan.next; k < plan.count && planned < 0; k++) {
    if (!StrEqual(plan.path[k], path)) continue;
    planned = plan.backup[k];
    plan.next = k + 1;
  }
  if (there == 0) return planned == 0 || JournalNote(JOURNAL_TAG_FILE, path, NULL);
  // A read-only file is not replaced, as it could not be written.
  if (there == 1 && (planned > 0 ? BackupPath(planned, backup) : NextBackup(backup)) &&
      (planned > 0 || JournalNote(JOURNAL_TAG_REPLACED, path, backup))) {
    for (int held = 1; held == 1;) {
      uint32_t error = TargetSysReplace(path, backup);
      if (error == 0) return 1;
      held = HeldFile(script, path, error, written);
      if (held == 2) return 1;
    }
  }
  DebugPrintf("Unable to create file '%s'\n", path);  // read-only, held or refused: it cannot be replaced
  return 0;
}

int JournalCancelled(void) { return cancelled; }

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

// Closes the journal; unless undo, asks for its swaps at restart and
// removes the files moved aside, the journal and its folder; with undo, or
// when the system refused a swap, undoes it. The swaps asked for, -1 when
// refused.
static int End(int undo) {
  int swaps = 0;
  if (state > 0) {
    TargetSysClose(file);
    if (!undo && (swaps = Undo(-1)) < 0) undo = 1;
    char path[VANTOR_PATH_SIZE];
    int left = 0;  // backups a running program still holds: they go when Windows restarts
    for (int i = 1; !undo && i <= backups; i++) {
      uint32_t error = BackupPath(i, path) ? TargetSysRemoveFile(path) : 2;
      if (error != 0 && error != 2 && error != 3 && TargetSysAtRestart(path, NULL)) left++;
    }
    if (undo) {
      Undo(0);
    } else {
      InFolder(path, NULL);
      TargetSysRemoveFile(path);
      if (!TargetSysRemoveDir(folder) && left > 0) TargetSysAtRestart(folder, NULL);
    }
  }
  state = -1;
  return swaps;
}

void JournalRollback(int tell) {
  if (state <= 0) return;
  End(1);
  if (stuck > 0) DebugPrintf("Rollback: %d changes could not be undone; the journal stays for the next installation\n", stuck);
  else DebugPrintf("Rollback: the installation was undone; nothing was changed\n");
  if (tell)
    Interact()->box(NULL, stuck > 0 ? JOURNAL_UNDONE_PART : JOURNAL_UNDONE, PROBLEM_CAPTION,
                    SYS_MB_OK | SYS_MB_ICONEXCLAMATION, SYS_IDOK);
}

int JournalEnd(void) {
  int swaps = End(0);
  if (swaps < 0) DebugPrintf("Rollback: Windows refused to replace the files in use when it restarts\n");
  return swaps;
}

// The run's journal: every change an installation makes to the machine is
// written down, before it is made, so that a run that fails can be undone
// and a run that could not finish (the process ended, the machine stopped)
// is undone by the next installer that comes to the same destination.
//
// The journal lives in a folder of its own beside the destination: the
// destination without its closing backslash and with ".~journal" appended
// ("C:\Apps\Tool\" gives "C:\Apps\Tool.~journal\"; a drive's root gives
// "C:\.~journal\"), on the destination's volume, so that a file to be
// replaced is first moved aside into it by a rename (bytes and times kept).
// The folder holds the file "journal" and the files moved aside, named by
// their number ("1", "2", ...). The journal is text, every line ending in
// CR LF, written through the file seam, each line before its change and
// on the disk before it (FlushFileBuffers), so that the journal is true
// after a power loss; the lines of the next files INSTALL writes are
// written ahead and flushed once (JournalPlan):
//
//   VANTOR JOURNAL 1                    the head
//   P TAB dir                           a folder made for the journal
//   D TAB dir                           a directory made
//   F TAB file                          a file written that was not there
//   R TAB file TAB backup               a file replaced, moved aside first
//   K TAB key                           a key made below HKEY_CURRENT_USER
//   V TAB key TAB name                  a value made (there was none)
//   W TAB key TAB name TAB text         a string value changed: its old text
//   S TAB beside TAB file               a file in use replaced at restart
//   O TAB library                       a library registered through OLE
//
// The groups and items an attended run has Program Manager make are D and
// F lines of the Start Menu folder and shortcut file it makes for them
// (when they were not there); so are those made without Program Manager.
// A shortcut that was there already is rewritten in place.
//
// The journal starts with the first change once the destination is known
// (JournalUse); an unfinished journal found there then is undone first, as
// far as it concerns the destination: its files and folders below it, with
// backups from the journal's folder (its registry lines, and anything
// elsewhere, are left, for the journal could have been left by anyone). A
// run that ends well removes the folder (JournalEnd); one that fails undoes
// the lines last first (JournalRollback).
#ifndef INSTALLER_JOURNAL_H
#define INSTALLER_JOURNAL_H

struct InstallScript;

#define JOURNAL_FOLDER ".~journal"
#define JOURNAL_PLAN 64  // replacements written ahead and flushed at once
#define JOURNAL_HEAD "VANTOR JOURNAL 1\r\n"

#define JOURNAL_TAG_PARENT 'P'
#define JOURNAL_TAG_DIR 'D'
#define JOURNAL_TAG_FILE 'F'
#define JOURNAL_TAG_REPLACED 'R'
#define JOURNAL_TAG_KEY 'K'
#define JOURNAL_TAG_VALUE 'V'
#define JOURNAL_TAG_CHANGED 'W'
#define JOURNAL_TAG_SWAP 'S'
#define JOURNAL_TAG_LIBRARY 'O'

// The name beside a file in use (its path with this appended) that takes
// the new file until Windows restarts.
#define JOURNAL_BESIDE ".~new"
#define JOURNAL_RESTART \
  "Some files were in use: they are replaced when Windows restarts. Restart Windows to complete the installation."
#define JOURNAL_RESTART_CAPTION "Restart Needed"
#define JOURNAL_IN_USE \
  "The file '%s' is in use%s%s.\n\nClose the program, then choose Retry; or choose Cancel to undo the installation."

#define JOURNAL_UNDONE "The installation did not complete and was undone: nothing was changed."
#define JOURNAL_RECOVERED "An earlier installation did not complete and was undone."
#define JOURNAL_UNDONE_PART \
  "The installation did not complete. Some of its changes could not be undone now (a file is in use); the next " \
  "installation of this product undoes them."
#define JOURNAL_STUCK \
  "An earlier installation did not complete and could not be undone: a file is in use. Close the programs that " \
  "use it and start the installation again."

// The destination the journal goes beside (a buffer of SCRIPT_FIELD_SIZE
// that lives through the run, the script's installPath); NULL for none.
void JournalUse(const char *destination);
// The uninstaller, before it removes anything: an unfinished journal beside
// destination (which ends with a backslash) is undone as a run's own
// start would undo it, logged and shown in one box; no journal is kept.
void JournalRecover(const char *destination);
// Writes the line of a change about to be made (second may be NULL). 1 when
// it is in the journal, or when there is no journal (no destination yet, or
// none could be started: the run goes on as without one); 0 when the
// journal could not be written, and the change is then not made.
int JournalNote(char tag, const char *first, const char *second);
// Before the folder (tag D) or file (tag F) at path is made: its line,
// unless it is there already. 1 when there, or as JournalNote.
int JournalNew(char tag, const char *path);
// Before the file at path is written: an F line for a new one, or an R line
// and the old file moved aside; written (VANTOR_PATH_SIZE bytes) gets the
// path the new bytes go to, path itself but for a file in use replaced at
// restart. A file another program holds ("File in use (%u): '%s'\n"):
// in a machine install whose script says FILES IN USE: restart, the new
// file goes beside it (JOURNAL_BESIDE, an F line) and an S line asks for
// the swap when the run ends well; else a box (JOURNAL_IN_USE, naming the
// programs that hold it where the system can tell) offers Retry, which
// tries again, and Cancel: script->failure EXIT_CANCELLED, unattended
// (where the box is only logged) EXIT_FILE_IN_USE. 0 when it is
// read-only or cannot be moved aside, with the log line "Unable to create
// file '%s'\n" of a file that cannot be written: the command fails.
// fresh: path lies in a directory this run made, which holds only what the
// run wrote there (an F line already): it is not asked for.
int JournalFile(InstallScript *script, const char *path, int fresh, char *written);
// The lines of the files about to be written, in the list's order, up to
// JOURNAL_PLAN of them: each path gets its R line (a file there) or F line
// now (fresh: the path lies below a directory this run made, so that no
// file can be there and the system is not asked); NULL puts them on the
// disk with one flush (FlushFileBuffers). JournalFile then takes a file's
// planned line without writing one of its own. A line of a change never
// made undoes to nothing.
void JournalPlan(const char *path, int fresh);
// 1 when the run's journal is being written (started here, after an
// unfinished one was undone): JournalFile then moves replaced files aside.
int JournalStarted(void);
// Where the last file JournalFile replaced now is: its backup in the
// journal's folder, or path itself when there is no journal.
const char *JournalMovedTo(void);
// 1 once the person chose Cancel for a file in use: the run ends without
// the abort question.
int JournalCancelled(void);
// Before the value name of key (below HKEY_CURRENT_USER) is written: K
// lines for the keys that are not there yet, outermost first, and the
// value's V line, or its W line with its old text (as RegistryGetText
// reads it: the values the installer writes are strings).
void JournalValue(const char *key, const char *name);
// The run failed: the journal undone, last line first, with a log line for
// each step, then the files moved aside, the journal and its folder
// removed; tell shows the box JOURNAL_UNDONE (logged unattended). Nothing
// when no journal was started.
void JournalRollback(int tell);
// The run ended well: the swaps of files in use asked for at restart, the
// files moved aside, the journal and its folder removed, without a log
// line. The count of swaps asked for (a restart completes the run); -1
// when the system refused one, and the run was undone instead.
int JournalEnd(void);

#endif

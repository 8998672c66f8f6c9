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
// CR LF, written through the file seam, each line before its change:
//
//   VANTOR JOURNAL 1                    the head
//   P TAB dir                           a folder made for the journal
//   D TAB dir                           a directory made
//   F TAB file                          a file written that was not there
//   R TAB file TAB backup               a file replaced, moved aside first
//   K TAB key                           a key made below HKEY_CURRENT_USER
//   V TAB key TAB name                  a value made (there was none)
//   W TAB key TAB name TAB text         a string value changed: its old text
//
// Libraries registered through OLE, and Program Manager's groups and items
// (made by an attended run through DDE), are not in the journal; the
// shortcut files and folders made without Program Manager are (F and D
// lines), a shortcut that was there already is rewritten in place.
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

#define JOURNAL_FOLDER ".~journal"
#define JOURNAL_HEAD "VANTOR JOURNAL 1\r\n"

#define JOURNAL_TAG_PARENT 'P'
#define JOURNAL_TAG_DIR 'D'
#define JOURNAL_TAG_FILE 'F'
#define JOURNAL_TAG_REPLACED 'R'
#define JOURNAL_TAG_KEY 'K'
#define JOURNAL_TAG_VALUE 'V'
#define JOURNAL_TAG_CHANGED 'W'

#define JOURNAL_UNDONE "The installation did not complete and was undone: nothing was changed."
#define JOURNAL_RECOVERED "An earlier installation did not complete and was undone."

// The destination the journal goes beside (a buffer of SCRIPT_FIELD_SIZE
// that lives through the run, the script's installPath); NULL for none.
void JournalUse(const char *destination);
// Writes the line of a change about to be made (second may be NULL). 1 when
// it is in the journal, or when there is no journal (no destination yet, or
// none could be started: the run goes on as without one); 0 when the
// journal could not be written, and the change is then not made.
int JournalNote(char tag, const char *first, const char *second);
// Before the file at path is written: an F line for a new one, or an R line
// and the old file moved aside. 0 when it is read-only or cannot be moved
// aside (held by another program, or refused), with the log line "Unable
// to create file '%s'\n" of a file that cannot be written: the command
// fails. fresh: path lies in a directory this run made, which holds only
// what the run wrote there (an F line already): it is not asked for.
int JournalFile(const char *path, int fresh);
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
// The run ended well: the files moved aside, the journal and its folder
// removed, without a log line.
void JournalEnd(void);

#endif

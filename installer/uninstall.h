// The uninstaller: what a run that asks for one (UNINSTALL) records of its
// changes, the record's file format, what the end of the run leaves in the
// destination (the bare program and the record) and in Add/Remove Programs,
// and the "-uninstall" mode that takes it all away again. The record lives
// in uninstall.cpp, the removal in uninstall-run.cpp; the system is behind
// target-sys.h, registry-sys.h, shell-sys.h and uninstall-sys.h.
//
// The record file (beside the uninstaller, its name with ".dat" for the
// extension) is text, every line ending in CR LF:
//
//   VANTOR UNINSTALL 1              the head
//   TAG TAB value [TAB value]       one change, no control bytes but TAB
//   ...
//   CRC32 XXXXXXXX                  CRC-32 of every byte before this line,
//                                   eight upper-case hexadecimal digits
//
// Tags: P product name (the last one counts), F file written, D directory
// made, O library registered through OLE, G Program Manager group, I item
// (its group TAB its caption), V value written (key TAB value name, below
// HKEY_CURRENT_USER), K key made (below HKEY_CURRENT_USER, outermost
// first), A the Add/Remove Programs key below HKEY_CURRENT_USER, M the
// same below HKEY_LOCAL_MACHINE (a machine install's), L the install
// location (the destination without its closing backslash). A later run
// over the same destination adds its lines that are not there yet, and
// takes over the entries the earlier lines name under another name or in
// the other hive, so that the product keeps one entry. Entry lines outside
// the Add/Remove Programs key are left alone.
//
// The uninstaller carries out a file, directory or library line only when
// it lies below the location: not through a ".." or any other component the
// system reads otherwise, a device name, a stream, another drive, or a link
// (UninstallLineRefusal). The directories the run made above the location,
// the Start Menu folder one level below the programs folder, its shortcuts
// and the shortcuts in the programs folder itself (an item without a
// group) are ours as well. A record with a line that leads elsewhere, or
// that does not name a location holding the uninstaller, is refused as a
// whole, like a damaged one; a record without a location (an earlier
// version's) has the uninstaller's own folder for its location. What lies
// behind a link is left alone.
#ifndef INSTALLER_UNINSTALL_H
#define INSTALLER_UNINSTALL_H

#include <stdint.h>

#include "script.h"
#include "switches.h"

#define UNINSTALL_HEAD "VANTOR UNINSTALL 1\r\n"
#define UNINSTALL_CRC_LINE_SIZE 16  // "CRC32 " + 8 digits + CR LF
#define UNINSTALL_DEFAULT_NAME SCRIPT_UNINSTALL_DEFAULT_NAME
#define UNINSTALL_ARP_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"

#define UNINSTALL_TAG_PRODUCT 'P'
#define UNINSTALL_TAG_FILE 'F'
#define UNINSTALL_TAG_DIR 'D'
#define UNINSTALL_TAG_LIBRARY 'O'
#define UNINSTALL_TAG_GROUP 'G'
#define UNINSTALL_TAG_ITEM 'I'
#define UNINSTALL_TAG_VALUE 'V'
#define UNINSTALL_TAG_KEY 'K'
#define UNINSTALL_TAG_ARP 'A'
#define UNINSTALL_TAG_LOCATION 'L'
#define UNINSTALL_TAG_MACHINE_ARP 'M'

// UNINSTALL: the run records its changes, and its end writes the
// uninstaller under the given name (UNINSTALL_DEFAULT_NAME when empty)
// below the destination. InstallerMain runs it before the script's first
// command when the script holds it anywhere (ScriptFindCommand), so the
// whole run is recorded; reached in the run, it sets the same name again.
// (CmdUninstall is in command.h with the other handlers.)

// Removes the Add/Remove Programs values the installer writes from key
// (below root, within UNINSTALL_ARP_KEY) and the key itself once empty: the
// count of values and keys removed.
int UninstallEntryRemove(int root, const char *key);

// 1 while the run records (after UNINSTALL).
int UninstallRecording(void);
// Adds one line (second may be NULL) unless the same line is there; nothing
// while the run does not record.
void UninstallNote(char tag, const char *first, const char *second);
// K lines for each key of path below HKEY_CURRENT_USER that does not exist
// yet, outermost first (called before the keys are made).
void UninstallNoteMissingKeys(const char *path);
// At the end of the run: when it recorded and has a destination, writes the
// uninstaller (programPath's bytes before its archive), the record (merged
// with an earlier one there) and the Add/Remove Programs entry. Releases
// what was recorded in any case. 1 written, 0 nothing to write; -1 when the
// uninstaller or its record could not be written: what the run recorded and
// no earlier record names is taken away again and the person is told.
int UninstallFinish(const InstallScript *script, const char *programPath);
// Drops what was recorded and stops recording (tests, shutdown).
void UninstallReset(void);

// The record's check: 1 when text (size bytes) is a sound record, with
// *bodyStart and *bodyLength the lines between the head and the check line.
int UninstallRecordCheck(const char *text, uint32_t size, uint32_t *bodyStart, uint32_t *bodyLength);
// Writes the check line for the size bytes before it into line (17 bytes).
void UninstallRecordSeal(const char *text, uint32_t size, char *line);
// Reads a whole file into a new block (MEM_ALLOC) of its size + 1, a zero
// at its end. 1 with *data and *size; 0 when it cannot be opened or read
// (nothing allocated).
int UninstallLoadFile(const char *path, char **data, uint32_t *size);
// The record's path for the uninstaller at program: its extension (or, if
// none, the end) replaced by ".dat". 0 when it does not fit.
int UninstallRecordPath(const char *program, char *path, int size);

// 1 when an uninstall record (a file that begins with its head) lies
// beside the program at path.
int UninstallRecordBeside(const char *path);
// 1 when the argument text asks for the uninstaller: the switch word
// "-uninstall" (SwitchGiven).
int UninstallRequested(const char *args);
// The uninstaller's run; the exit code. Without "-uninstall=" it copies the
// program into the temporary directory, starts the copy with the same
// arguments and "-uninstall=" and the program's path, waits for it and ends
// with its exit code. The copy asks, removes what the record lists and the
// record, moves the original program into the temporary directory so that
// its folders go too, reports, and starts itself once more with
// "-uninstall-end=", a count of folders and the program's path: that last
// step waits for the original to end and removes it (and, where it could
// not move, the folders holding it).
int UninstallMain(const char *args);

// The reason the record's line (its tag, its path) is not carried out, given
// the location below which its lines lie and the Start Menu's programs
// folder (may be empty); NULL when it is carried out.
const char *UninstallLineRefusal(char tag, const char *path, const char *location, const char *programs);

// Texts of the uninstaller.
#define UNINSTALL_QUESTION "Remove %s and all of its components?"
#define UNINSTALL_NOTHING "There is nothing left to remove."
#define UNINSTALL_DAMAGED "The uninstall record '%s' is damaged. Nothing was removed."
// Each count with its noun, singular for 1: "1 file, 2 directories".
#define UNINSTALL_REMOVED "%s was removed: %d %s, %d %s, %d %s, %d %s, %d %s."
#define UNINSTALL_ELSEWHERE "The uninstall record '%s' belongs to another folder. Nothing was removed."
#define UNINSTALL_REFUSED "The uninstall record '%s' names what is not the product's. Nothing was removed:"
#define UNINSTALL_RESTART "Some files were in use: they are removed when Windows restarts."
#define UNINSTALL_IN_USE "These files are in use and were not removed; close the programs using them and uninstall again:"

#endif

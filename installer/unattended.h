// Unattended installs: "-silent" (no window at all) and "-passive" (the
// backdrop and the progress window, no question), "-dir=PATH" for the
// destination, the answer each command gives for the absent person, and the
// exit code that says how the run ended. Without "-silent" and "-passive"
// every function here leaves the installer as it is: UnattendedMode() is 0,
// UnattendedBox() shows its box and the exit code is the one of old.
#ifndef INSTALLER_UNATTENDED_H
#define INSTALLER_UNATTENDED_H

#include <stdint.h>

#include "script.h"

#define UNATTENDED_OFF     0
#define UNATTENDED_SILENT  1  // "-silent": no window at all
#define UNATTENDED_PASSIVE 2  // "-passive": backdrop and progress only

// Exit codes of a run, attended or not.
#define EXIT_INSTALLED        0
#define EXIT_INTERNAL_ERROR   1  // a fatal error or failed assertion
#define EXIT_COMMAND_FAILED   2  // a command failed or a keyword is unknown
#define EXIT_DAMAGED          3  // the installer file cannot be mounted
#define EXIT_DESTINATION      4  // no drive, too long, not enough room
#define EXIT_NOT_INSTALLED    5  // UPDATE found no earlier installation
#define EXIT_CANCELLED     1602  // the person ended the installation before it was done

// Room for the "-dir=" path; a longer one is cut, and still refused as too
// long by the destination's checks.
#define UNATTENDED_DIR_SIZE 772

// The switches of the argument text are whole words: runs of characters
// between blanks and control characters, compared without one double quote
// at their start and one at their end, letter case counting. A word that
// begins with "-dir=", "-uninstall=" or "-uninstall-end=" takes the rest of
// the text, blanks included, so no switch is looked for behind it. (The
// debug switches are still found anywhere, as substrings.)
// 1 when name is one of the words before the first such word.
int SwitchGiven(const char *args, const char *name);
// The text behind the first word that begins with name ("-dir=",
// "-uninstall=", "-uninstall-end="), or NULL when no word does.
const char *SwitchTail(const char *args, const char *name);

// Reads the switches from the argument text (SwitchGiven): "-silent" wins
// over "-passive". "-dir=" takes the rest of the text (SwitchTail), without
// trailing blanks and control characters and without a double quote at its
// start or end; it is the destination dialog's proposal in an attended run
// too. Also tells the fatal-error box to stay away in either mode. Returns 1.
int UnattendedParse(const char *args);
// UNATTENDED_OFF, UNATTENDED_SILENT or UNATTENDED_PASSIVE.
int UnattendedMode(void);
// The "-dir=" path as given, or NULL when there is none. Asking counts as
// the destination having been asked for (UnattendedInstallBegins).
const char *UnattendedDir(void);
// Called as INSTALL begins: when "-dir=" was given but no destination was
// asked for (a script without INSTALL PATH), the log says so and where the
// files go instead, once.
void UnattendedInstallBegins(const InstallScript *script);

// Records why the run ends, attended or not; the first code recorded stays.
void UnattendedFail(int code);
// Forgets the code recorded: the person has the failed command run again.
void UnattendedRetry(void);
// The exit code of the run: the code recorded, else 0.
int UnattendedExitCode(void);

// A message box, or in either mode its text and caption in the log
// ("Unattended: no box '%s': %s\n") and answer returned without a box.
int UnattendedBox(void *owner, const char *text, const char *caption, uint32_t style, int answer);

// One log line for a decision taken for the absent person:
// "Unattended: " followed by the formatted text.
void UnattendedDecision(const char *format, ...);

// After the run that the window's first step makes (the second stretch),
// given its result: 1 when the installation must end now, after a failure
// (the abort question is logged as answered Yes) or at a BREAK (where the
// window would wait to be closed), each with its log line; 0 when the script
// ran to its end.
int UnattendedRunEnds(const InstallScript *script, int result);

// INSTALL PATH without the dialog: the "-dir=" path, or else what the
// dialog would propose, through the dialog's checks into installPath. 1 when
// taken; 0 with the refusal logged and EXIT_DESTINATION recorded.
int UnattendedDestination(InstallScript *script);

// CREATE GROUP and ADD ITEM without Program Manager, which would open a
// window for the group: the group is a folder below the Start Menu's
// "Programs", an item a shortcut "CAPTION.lnk" in the group made last, to
// installPath + program with arguments. 1 made; 0 after the log line.
int UnattendedCreateGroup(const char *name);
int UnattendedAddItem(const InstallScript *script, const char *program, const char *arguments, const char *caption);

// The "The installation file has been damaged" box after a failed mount, or
// in either mode its log line and EXIT_DAMAGED recorded.
void ReportDamagedInstaller(void);

#endif

// The switches of the argument text: whole words, and "-dir=PATH", the
// destination proposed in any run.
#ifndef INSTALLER_SWITCHES_H
#define INSTALLER_SWITCHES_H

struct InstallScript;

// Room for the "-dir=" path; a longer one is cut, and still refused as too
// long by the destination's checks.
#define DIR_SWITCH_SIZE 772

// The uninstaller's switches.
#define UNINSTALL_SWITCH "-uninstall"
// The text after it is the path of the uninstaller the copy was made of.
#define UNINSTALL_FROM_SWITCH "-uninstall="
// The copy's last step, once the original program has ended: a count of
// the folders holding it to remove, a blank and its path.
#define UNINSTALL_END_SWITCH "-uninstall-end="

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

// Reads "-dir=" (SwitchTail): the rest of the text, without trailing blanks
// and control characters and without a double quote at its start or end.
// Returns 1.
int DirSwitchParse(const char *args);
// The "-dir=" path as given, or NULL when there is none. Asking counts as
// the destination having been asked for (DirSwitchInstallBegins).
const char *DirSwitch(void);
// Called as INSTALL begins: when "-dir=" was given but no destination was
// asked for (a script without INSTALL PATH), the log says so and where the
// files go instead, once.
void DirSwitchInstallBegins(const InstallScript *script);

#endif

// The interaction seam: every place where the installer asks or tells the
// person goes through one interface, with two sides. The attended side
// (interact-attended.cpp) shows the pages, the destination dialog, the
// boxes and the editor, and talks to Program Manager; the unattended side
// (interact-unattended.cpp, for "-silent" and "-passive") takes the answer
// an absent person gives, logs the decision and makes the Start Menu's
// folders and shortcuts itself. Start-up chooses the side once
// (InteractChoose); the handlers call Interact() without asking which side
// it is. Window handles are HWND values carried as void *.
#ifndef INSTALLER_INTERACT_H
#define INSTALLER_INTERACT_H

#include <stdint.h>

struct InstallScript;

#define UNATTENDED_OFF     0
#define UNATTENDED_SILENT  1  // "-silent": no window at all
#define UNATTENDED_PASSIVE 2  // "-passive": backdrop and progress only

#define PROBLEM_CAPTION "Installation Problem..."
#define ABORT_QUESTION "Do you want to abort the installation?"

// The pages of MESSAGE and AGREEMENT.
#define INTERACT_PAGE_MESSAGE   0
#define INTERACT_PAGE_AGREEMENT 1

struct Interaction {
  // A message box owned by owner and its answer; unattended, the text and
  // caption in the log ("Unattended: no box '%s': %s\n") and answer
  // returned without a box.
  int (*box)(void *owner, const char *text, const char *caption, uint32_t style, int answer);
  // A page showing the archive entry entryName under caption, owned by
  // script->window. 1 to go on; 0 when the person declined it (with
  // script->failure EXIT_CANCELLED) or it could not be shown (logged).
  int (*page)(InstallScript *script, int page, const char *caption, const char *entryName);
  // INSTALL PATH: the destination into installPath, ending with a
  // backslash, after the destination's checks (PathRefusal). 1 taken; 0
  // cancelled (EXIT_CANCELLED) or refused (EXIT_DESTINATION) in
  // script->failure, or the dialog could not be made (logged).
  int (*destination)(InstallScript *script);
  // NOTEPAD: the installed file at path in the system's editor. 1 when
  // the editor started or nobody is there to read it.
  int (*openInEditor)(const char *path);
  // CREATE GROUP: the Start Menu group name, noted in the uninstall record.
  // 1 made; 0 after the log line.
  int (*makeGroup)(const char *name);
  // ADD ITEM: the item caption in group (the group made last, "" when
  // none), to installPath + program with arguments, noted in the uninstall
  // record. 1 made; 0 after the log line.
  int (*makeItem)(const InstallScript *script, const char *group, const char *program, const char *arguments,
                  const char *caption);
  // REGISTER: asks whether to register electronically and, on Yes, runs the
  // registration form for address (register.cpp).
  void (*registration)(InstallScript *script, const char *address);
  // After a failed command: asks the abort question, owned by owner. 1 when
  // the installation ends now; 0 when the person has the command run again.
  int (*abortAfterFailure)(const InstallScript *script, void *owner);
  // At a BREAK after the window's first stretch: 1 when the installation
  // ends now; 0 when the window waits for the person to close it.
  int (*endAtBreak)(void);
};

extern const Interaction InteractAttended;
extern const Interaction InteractUnattended;

// Reads "-silent" and "-passive" from the argument text (SwitchGiven;
// "-silent" wins) and chooses the side: unattended with either. Also tells
// the fatal-error box to stay away when unattended. Returns 1.
int InteractChoose(const char *args);
// The side chosen (the attended one until InteractChoose runs).
const Interaction *Interact(void);
// UNATTENDED_OFF, UNATTENDED_SILENT or UNATTENDED_PASSIVE: for start-up,
// which shows no window when silent.
int UnattendedMode(void);

// One log line for a decision taken for the absent person, when the log is
// on: "Unattended: " followed by the formatted text.
void UnattendedDecision(const char *format, ...);

#endif

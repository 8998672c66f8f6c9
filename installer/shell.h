// The shell integration of the run: OLE, the Program Manager DDE
// conversation, self-registration and fonts for the run (shell.cpp; CREATE
// GROUP, ADD ITEM and OLE in cmd-shell.cpp). The system is behind
// shell-sys.h.
#ifndef INSTALLER_SHELL_H
#define INSTALLER_SHELL_H

// OLE for the run and the client DDE instance with its Program Manager
// conversation. 1 when OLE and DDE are up (Program Manager may be missing:
// logged, and the group and item commands then send nothing); 0 after the
// log line "Failed to initialize OLE\n" or "Couldn't init DDE\n".
int ShellServicesInit(void);
// Ends the conversation, the DDE instance and OLE. Returns 1.
int ShellServicesRemove(void);
// Starts an asynchronous execute of command (sent with its terminator) and
// lets pending messages run. 1 sent, or nothing to send to; 0 when DDE is
// not up or the transaction could not start.
int ProgManExecute(const char *command);
// 1 when Program Manager answered ShellServicesInit's conversation.
int ProgManConnected(void);
// Loads the library at path and calls DllRegisterServer (doRegister 1) or
// DllUnregisterServer (anything else). 1 when the entry point ran and
// reported success; 0 with the reason in the log.
int OleSelfRegister(const char *path, int doRegister);
// Makes the ADD ITEM shortcut "CAPTION.lnk" in folder directly, to
// installPath + program with arguments, and notes the file in the uninstall
// record; its path into link (size bytes). 1 made; 0 after the log line
// "Unable to add item '%s'\n".
struct InstallScript;
int ItemLinkMake(const char *folder, const InstallScript *script, const char *program, const char *arguments,
                 const char *caption, char *link, int size);
// Adds the font file to the system's font table and tells every top-level
// window. 1 added; 0 after the log line.
int FontResourceAdd(const char *path);
// Takes the font away again and deletes its file (a failed delete is only
// logged). 1 removed; 0 after the log line, the file kept.
int FontResourceRemove(const char *path);

// The group's folder below the Start Menu's "Programs" (where Program
// Manager makes it, and where groups are made without it) into folder; 0
// when it does not fit.
int ShellGroupFolder(const char *name, char *folder, int size);

#endif

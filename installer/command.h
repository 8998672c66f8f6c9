// The keyword table: every script keyword with its handler, found by length
// and quick CRC (never by comparing text), and the handlers themselves.
#ifndef INSTALLER_COMMAND_H
#define INSTALLER_COMMAND_H

#include <stdint.h>

#include "script.h"


// Carries out one command. args points into the script text at the first
// byte after the keyword's colon (the handler may write into the text);
// *consumed is 0 on entry and receives the count of argument bytes used, from
// which the run loop resumes (args + consumed + 1). Answers 1 done, 0 failed.
typedef int (*CommandHandler)(InstallScript *script, char *args, int32_t *consumed);

struct CommandEntry {
  char keyword[SCRIPT_KEYWORD_SIZE];
  int32_t length;
  uint32_t crc;  // StrQuickCrc of the keyword
  CommandHandler handler;
  CommandEntry *next;
};

// Registers the 26 keywords of the script language. Returns 1.
int CommandsInit(void);
// Releases every entry. Returns 1.
int CommandsRemove(void);
// Adds one entry, keeping the list in descending order of length (the newest
// first among equal lengths). A keyword of 40 or more characters, or one with
// the length and quick CRC of an entry already there, is fatal; a quick CRC
// shared with an entry of another length is logged. Returns 1.
int CommandRegister(const char *keyword, CommandHandler handler);
// 1 when an entry of the same length and quick CRC exists.
int CommandExists(const char *keyword);
// The handler the run would give the keyword (CommandExecute's), or NULL.
CommandHandler CommandHandlerOf(const char *keyword);
// Sets *consumed to 0 and runs the matching entry's handler; its answer, or 0
// when no entry matches.
int CommandExecute(const char *keyword, InstallScript *script, char *args, int32_t *consumed);
// The head of the list (NULL when empty), for reports and tests.
const CommandEntry *CommandFirst(void);

// The handlers, one per keyword (Cmd + the keyword in CamelCase).
int CmdCompanyName(InstallScript *script, char *args, int32_t *consumed);
int CmdProductName(InstallScript *script, char *args, int32_t *consumed);
int CmdText(InstallScript *script, char *args, int32_t *consumed);
int CmdFileList(InstallScript *script, char *args, int32_t *consumed);
int CmdGradientStart(InstallScript *script, char *args, int32_t *consumed);
int CmdGradientEnd(InstallScript *script, char *args, int32_t *consumed);
int CmdFont(InstallScript *script, char *args, int32_t *consumed);
int CmdString(InstallScript *script, char *args, int32_t *consumed);
int CmdRefresh(InstallScript *script, char *args, int32_t *consumed);
int CmdCreateGroup(InstallScript *script, char *args, int32_t *consumed);
int CmdAddItem(InstallScript *script, char *args, int32_t *consumed);
int CmdNotepad(InstallScript *script, char *args, int32_t *consumed);
int CmdOle(InstallScript *script, char *args, int32_t *consumed);
int CmdAgreement(InstallScript *script, char *args, int32_t *consumed);
int CmdMessage(InstallScript *script, char *args, int32_t *consumed);
int CmdRegister(InstallScript *script, char *args, int32_t *consumed);
// Pauses the script: consumed 0, always answers 0; the run loop tells BREAK
// apart from a failure by its keyword.
int CmdBreak(InstallScript *script, char *args, int32_t *consumed);
int CmdUpdate(InstallScript *script, char *args, int32_t *consumed);
int CmdInstall(InstallScript *script, char *args, int32_t *consumed);
int CmdDone(InstallScript *script, char *args, int32_t *consumed);
int CmdRegistryPath(InstallScript *script, char *args, int32_t *consumed);
int CmdInstallSize(InstallScript *script, char *args, int32_t *consumed);
int CmdInstallScope(InstallScript *script, char *args, int32_t *consumed);
// FILES IN USE: "restart" replaces a held file when Windows restarts (a
// machine install); anything else fails the run (script->inUse).
int CmdFilesInUse(InstallScript *script, char *args, int32_t *consumed);
int CmdProductId(InstallScript *script, char *args, int32_t *consumed);
int CmdProductVersion(InstallScript *script, char *args, int32_t *consumed);
int CmdInstallDir(InstallScript *script, char *args, int32_t *consumed);
int CmdInstallDirAlt(InstallScript *script, char *args, int32_t *consumed);
int CmdInstallPath(InstallScript *script, char *args, int32_t *consumed);
// UNINSTALL (uninstall.cpp).
int CmdUninstall(InstallScript *script, char *args, int32_t *consumed);

#endif

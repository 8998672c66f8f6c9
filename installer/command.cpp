// The keyword table: a list in descending order of keyword length, searched
// by length and quick CRC.
#include "command.h"


#include "vantor-core.h"
#include "vantor-str.h"

static CommandEntry *commandHead;

struct CommandDefinition {
  const char *keyword;
  CommandHandler handler;
};

// The script language, in the order of registration, with the file that
// holds each handler.
static const CommandDefinition commandDefinitions[] = {
    {"COMPANY NAME", CmdCompanyName},       // cmd-present.cpp
    {"PRODUCT NAME", CmdProductName},       // cmd-present.cpp
    {"TEXT", CmdText},                      // cmd-present.cpp
    {"FILE LIST", CmdFileList},             // cmd-present.cpp
    {"GRADIENT START", CmdGradientStart},   // cmd-present.cpp
    {"GRADIENT END", CmdGradientEnd},       // cmd-present.cpp
    {"FONT", CmdFont},                      // cmd-present.cpp
    {"STRING", CmdString},                  // cmd-present.cpp
    {"REFRESH", CmdRefresh},                // cmd-present.cpp
    {"CREATE GROUP", CmdCreateGroup},       // cmd-shell.cpp
    {"ADD ITEM", CmdAddItem},               // cmd-shell.cpp
    {"NOTEPAD", CmdNotepad},                // cmd-pages.cpp
    {"OLE", CmdOle},                        // cmd-shell.cpp
    {"AGREEMENT", CmdAgreement},            // cmd-pages.cpp
    {"MESSAGE", CmdMessage},                // cmd-pages.cpp
    {"REGISTER", CmdRegister},              // cmd-registration.cpp
    {"BREAK", CmdBreak},                    // cmd-flow.cpp
    {"UPDATE", CmdUpdate},                  // cmd-install.cpp
    {"INSTALL", CmdInstall},                // cmd-install.cpp
    {"DONE", CmdDone},                      // cmd-install.cpp
    {"REGISTRY PATH", CmdRegistryPath},     // cmd-settings.cpp
    {"INSTALL SIZE", CmdInstallSize},       // cmd-settings.cpp
    {"INSTALL SCOPE", CmdInstallScope},     // cmd-settings.cpp
    {"FILES IN USE", CmdFilesInUse},        // cmd-settings.cpp
    {"PRODUCT ID", CmdProductId},           // cmd-settings.cpp
    {"PRODUCT VERSION", CmdProductVersion}, // cmd-settings.cpp
    {"INSTALL DIR", CmdInstallDir},         // cmd-destination.cpp
    {"INSTALL DIR ALT", CmdInstallDirAlt},  // cmd-destination.cpp
    {"INSTALL PATH", CmdInstallPath},       // cmd-destination.cpp
    {"UNINSTALL", CmdUninstall},            // uninstall.cpp
};

int CommandsInit(void) {
  int count = (int)(sizeof commandDefinitions / sizeof commandDefinitions[0]);
  for (int i = 0; i < count; i++) CommandRegister(commandDefinitions[i].keyword, commandDefinitions[i].handler);
  return 1;
}

int CommandsRemove(void) {
  while (commandHead != NULL) {
    CommandEntry *entry = commandHead;
    commandHead = entry->next;
    MEM_FREE(entry, (int)sizeof(CommandEntry));
  }
  return 1;
}

int CommandRegister(const char *keyword, CommandHandler handler) {
  ASSERT(keyword != NULL, POINTER_IS_NULL);
  ASSERT(handler != NULL, POINTER_IS_NULL);
  CommandEntry *entry = (CommandEntry *)MEM_ALLOC((int)sizeof(CommandEntry));
  entry->length = StrLength(keyword);
  entry->handler = handler;
  if (entry->length >= SCRIPT_KEYWORD_SIZE)
    ABORT("Command keyword too long (%s) (%d > %d)\n", keyword, entry->length, SCRIPT_KEYWORD_SIZE);
  StrCopy(entry->keyword, keyword);
  StrQuickCrc(keyword, &entry->crc);

  for (const CommandEntry *other = commandHead; other != NULL; other = other->next) {
    if (other->crc != entry->crc) continue;
    DebugPrintf("Matching quick CRC's (%s) and (%s)\n", other->keyword, entry->keyword);
    if (other->length == entry->length) ABORT("Matching lengths failure (%d)\n", entry->length);
  }

  CommandEntry **link = &commandHead;
  while (*link != NULL && (*link)->length > entry->length) link = &(*link)->next;
  entry->next = *link;
  *link = entry;
  return 1;
}

// The entry of the keyword's length and quick CRC; the list is sorted by
// descending length, so the search stops at the first shorter entry.
static CommandEntry *CommandFind(const char *keyword) {
  uint32_t crc;
  StrQuickCrc(keyword, &crc);
  int32_t length = StrLength(keyword);
  for (CommandEntry *entry = commandHead; entry != NULL; entry = entry->next) {
    if (entry->length < length) return NULL;
    if (entry->length == length && entry->crc == crc) return entry;
  }
  return NULL;
}

int CommandExists(const char *keyword) {
  ASSERT(keyword != NULL, POINTER_IS_NULL);
  return CommandFind(keyword) != NULL;
}

CommandHandler CommandHandlerOf(const char *keyword) {
  const CommandEntry *entry = CommandFind(keyword);
  return entry != NULL ? entry->handler : NULL;
}

int CommandExecute(const char *keyword, InstallScript *script, char *args, int32_t *consumed) {
  ASSERT(keyword != NULL, POINTER_IS_NULL);
  ASSERT(script != NULL, POINTER_IS_NULL);
  ASSERT(args != NULL, POINTER_IS_NULL);
  ASSERT(consumed != NULL, POINTER_IS_NULL);
  *consumed = 0;
  CommandEntry *entry = CommandFind(keyword);
  if (entry == NULL) return 0;
  return entry->handler(script, args, consumed);
}

const CommandEntry *CommandFirst(void) { return commandHead; }

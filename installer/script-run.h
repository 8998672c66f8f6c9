// The run loop: walking the script from its cursor command by command,
// each keyword's handler found in the keyword table (command.h). What
// happens after a BREAK or a failure is the driver's (run.cpp).
#ifndef INSTALLER_SCRIPT_RUN_H
#define INSTALLER_SCRIPT_RUN_H

#include <stdint.h>

#include "command.h"
#include "script.h"

// What stopped a run of the script.
#define SCRIPT_FAILED 0  // an unknown keyword or a failed command
#define SCRIPT_END    1  // no command left
#define SCRIPT_BREAK  2  // a BREAK: the cursor is behind it

// 1 when no command is left to run from the script's cursor (what remains
// holds no command mark: the end, or line ends after a last BREAK).
int ScriptFinished(const InstallScript *script);
// Runs from the cursor to a BREAK (SCRIPT_BREAK), the end (SCRIPT_END, with
// the summary in the log), an unknown keyword (its box shown) or a failed
// command (SCRIPT_FAILED, the cursor on it). What the commands show is
// owned by script->window.
int ScriptRun(InstallScript *script);
// The arguments of the first command of the text that the run hands to
// handler, read as the run reads keywords (the mark, the keyword, ':'),
// each command's arguments and their marks taken whole up to the line's end
// (a mark inside them begins no command); NULL when there is none before
// the end or before a keyword the run does not know.
char *ScriptFindCommand(const InstallScript *script, CommandHandler handler);

#endif

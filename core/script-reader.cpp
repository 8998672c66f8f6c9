// The reader of install.dat's commands: a whole command at a time.
#include "script-reader.h"

int ScriptNextCommand(const char *from, const char *end, ScriptCommand *command) {
  command->args = NULL;
  command->argsEnd = NULL;
  command->mark = ScriptNextMark(from, end);
  if (command->mark == NULL) return 0;
  const char *args;
  if (!ScriptReadKeywordAt(command->mark + 1, end, command->keyword, &args)) return 0;
  command->args = args;
  command->argsEnd = ScriptArgsEnd(args, end);
  return 1;
}

#include "script-dat.h"

#include "script-reader.h"

bool ScriptDatRead(const std::vector<uint8_t> &data, size_t start, ScriptDatCommand *command) {
  const char *text = (const char *)data.data(), *end = text + data.size();
  ScriptCommand read;
  if (start >= data.size() || data[start] != SCRIPT_MARK || !ScriptNextCommand(text + start, end, &read)) return false;
  size_t length = (size_t)(read.args - read.mark) - 2;
  for (size_t k = 0; k < length; k++)
    if ((unsigned char)read.keyword[k] < 0x20) return false;
  command->start = start;
  command->argsEnd = (size_t)(read.argsEnd - text);
  command->keyword.assign(read.keyword, length);
  command->args.clear();
  for (const char *arg = read.args;;) {
    const char *argEnd = ScriptArgEnd(arg, read.argsEnd);
    command->args.emplace_back(arg, argEnd);
    if (argEnd == read.argsEnd) break;
    arg = argEnd + 1;
  }
  return true;
}

std::vector<ScriptDatCommand> ScriptDatCommands(const std::vector<uint8_t> &data) {
  std::vector<ScriptDatCommand> commands;
  const char *text = (const char *)data.data(), *end = text + data.size();
  for (const char *mark = ScriptNextMark(text, end); mark != NULL;) {
    ScriptDatCommand command;
    if (!ScriptDatRead(data, (size_t)(mark - text), &command)) {
      mark = ScriptNextMark(mark + 1, end);
      continue;
    }
    commands.push_back(command);
    mark = ScriptNextMark(text + command.argsEnd, end);
  }
  return commands;
}

const ScriptKeywordInfo *ScriptDatKeyword(const ScriptDatCommand &command) {
  const ScriptKeywordInfo *info = ScriptFindKeyword(command.keyword);
  return info != NULL && command.keyword == info->keyword ? info : NULL;
}

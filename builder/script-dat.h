// install.dat as the builder reads it back (the decompiler, the listing's
// names, the version block's defaults): the installer's own reader
// (core/script-reader.h) over a byte vector.
#ifndef BUILDER_SCRIPT_DAT_H
#define BUILDER_SCRIPT_DAT_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "script-keywords.h"

struct ScriptDatCommand {
  size_t start = 0;    // its mark
  size_t argsEnd = 0;  // the end of its line: behind its last argument
  std::string keyword;
  std::vector<std::string> args;  // the values between its marks; at least one
};

// Reads the command whose mark is data[start] as the installer reads it.
// false when its keyword does not end in a colon within the bytes the
// installer reads, or holds a control byte (which no line of the readable
// form can hold).
bool ScriptDatRead(const std::vector<uint8_t> &data, size_t start, ScriptDatCommand *command);
// The commands in order: each one's arguments taken whole to its line's end,
// and the walk going on behind a mark that begins none.
std::vector<ScriptDatCommand> ScriptDatCommands(const std::vector<uint8_t> &data);
// The entry of the table whose keyword the command's is, spelt as the
// compiler writes it; NULL when there is none.
const ScriptKeywordInfo *ScriptDatKeyword(const ScriptDatCommand &command);

#endif

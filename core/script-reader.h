// Reading install.dat's commands: the one reader the installer's run loop,
// its look-ups and the builder's readers share (core/script-format.h has the
// format).
//
// A command begins at a mark. Its keyword is the bytes after the mark up to
// the first colon: at most SCRIPT_KEYWORD_MAX of them, none at or past the
// end of the text; a keyword longer than that, or one that runs to the end,
// has no colon and is unknown. Its arguments begin behind the colon and run
// to the end of its line: the first byte below 0x20 that is not a mark (the
// marks among them separate the values of a command of several), or the end
// of the text. A walk over whole commands goes on behind a command's line
// end (the run itself goes on behind what each command's handler consumed).
//
// The small steps are inline, so that the installer's loops stay as small
// as when each wrote them out.
#ifndef VANTOR_SCRIPT_READER_H
#define VANTOR_SCRIPT_READER_H

#include <stddef.h>
#include <stdint.h>

#include "script-format.h"

#define SCRIPT_ARG_END 0x20  // the first byte value that belongs to an argument

// The first mark at or after from and before end; NULL when there is none.
static inline const char *ScriptNextMark(const char *from, const char *end) {
  for (const char *p = from; p < end; p++)
    if ((unsigned char)*p == SCRIPT_MARK) return p;
  return NULL;
}

// Reads the keyword that begins at from (the byte after a mark) into
// keyword, which holds SCRIPT_KEYWORD_SIZE bytes, terminated. Returns 1 and
// *args, the byte after the colon, when the colon was found; 0 when the
// keyword is too long or runs to the end (keyword then holds the bytes read,
// which the run reports as unknown).
static inline int ScriptReadKeywordAt(const char *from, const char *end, char *keyword, const char **args) {
  int length = 0;
  while (length < SCRIPT_KEYWORD_MAX && from + length < end && from[length] != ':') {
    keyword[length] = from[length];
    length++;
  }
  keyword[length] = 0;
  *args = from + length + 1;
  return from + length < end && from[length] == ':';
}

// The arguments of the command at mark when its keyword is keyword, as
// written (letter case and all; keyword holds no colon and at most
// SCRIPT_KEYWORD_MAX bytes): what ScriptReadKeywordAt reads, compared in
// place. NULL when it is another command or none.
static inline const char *ScriptArgsOf(const char *mark, const char *end, const char *keyword) {
  const char *from = mark + 1;
  int length = 0;
  for (; keyword[length] != 0; length++)
    if (from + length >= end || from[length] != keyword[length]) return NULL;
  return from + length < end && from[length] == ':' ? from + length + 1 : NULL;
}

// The end of the line of arguments that begins at args.
static inline const char *ScriptArgsEnd(const char *args, const char *end) {
  const char *p = args;
  while (p < end && ((unsigned char)*p >= SCRIPT_ARG_END || (unsigned char)*p == SCRIPT_MARK)) p++;
  return p;
}

// The end of the one value that begins at arg: the next mark or argsEnd,
// whichever comes first.
static inline const char *ScriptArgEnd(const char *arg, const char *argsEnd) {
  const char *mark = ScriptNextMark(arg, argsEnd);
  return mark != NULL ? mark : argsEnd;
}

struct ScriptCommand {
  const char *mark;                   // its mark; NULL when none was left
  char keyword[SCRIPT_KEYWORD_SIZE];  // the bytes read after the mark
  const char *args;                   // the byte after the colon
  const char *argsEnd;                // the end of its line
};
// The command at the first mark at or after from, before end. Returns 1
// with the whole command; 0 when no mark is left (mark NULL) or the mark's
// keyword has no colon (mark and keyword set, args and argsEnd NULL).
int ScriptNextCommand(const char *from, const char *end, ScriptCommand *command);

#endif

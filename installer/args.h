// Reading a command's arguments from the script text: the rules every
// handler follows.
//
// An argument is the run of bytes from its first byte up to, not including,
// the first byte below 0x20 (compared unsigned: 0x80 and above are ordinary
// characters). There is no quoting and no trimming. A handler of several
// arguments steps over exactly one byte after each (the 0x16 separator; any
// byte there works the same). A NUL byte is the end of the text: nothing
// behind it is ever read, so a command cut short by the end of the text gets
// empty arguments for the rest.
#ifndef INSTALLER_ARGS_H
#define INSTALLER_ARGS_H

#include <stdint.h>

// Length of the argument at text.
int32_t ArgLength(const char *text);

// Copies the argument at text into buffer, which holds size bytes: an
// argument longer than size - 1 characters is cut to fit; the copy is always
// terminated. Returns the argument's full length in the text, which is what a
// handler of one argument reports as consumed.
int32_t ArgCopy(const char *text, char *buffer, int size);

// Walks the arguments of a command of several arguments.
struct ArgReader {
  const char *start;  // the argument text
  const char *next;   // where the next argument begins
  const char *last;   // end of the argument read last
  const char *end;    // the end of the text (its terminator); NULL: the first NUL
};

struct InstallScript;

// A text of its own, ended by its first NUL.
void ArgBegin(ArgReader *reader, const char *text);
// An argument text inside the script's text, which ends at the script's end
// (a NUL before it is a byte like any other between arguments). A text
// outside the script is read as ArgBegin reads it.
void ArgBeginScript(ArgReader *reader, const InstallScript *script, const char *text);
// Copies the next argument as ArgCopy does and steps over the one byte after
// it (never over the end of the text). Returns the argument's full length.
int32_t ArgNext(ArgReader *reader, char *buffer, int size);
// Steps over the next argument and the byte after it without copying it.
// Returns its length.
int32_t ArgSkip(ArgReader *reader);
// Consumed count of a command of several arguments: from the start of the
// argument text to the end of the last argument read.
int32_t ArgConsumed(const ArgReader *reader);
// The same with the byte after the last argument counted as well (FILE LIST,
// FONT and STRING report it, so the run loop resumes behind their line end).
int32_t ArgConsumedWithEnd(const ArgReader *reader);

// Whole number of a copied argument: leading white space (space, TAB, LF,
// VT, FF, CR), an optional sign, decimal digits up to the first other byte;
// no digits give 0; the value wraps modulo 2^32 like a 32-bit signed integer.
int32_t ArgInteger(const char *text);
// Fraction of a copied argument: as ArgInteger, with an optional decimal
// point and an optional exponent ("e" or "E", optional sign, digits),
// converted to the nearest floating-point value. Bytes after it are ignored.
double ArgFraction(const char *text);

#endif

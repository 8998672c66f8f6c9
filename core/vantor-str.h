// vantor-str: operations on zero-terminated 8-bit strings. Case folding knows
// only ASCII letters. Every pointer argument is checked with ASSERT; no
// operation allocates or knows the size of a destination, except the bounded
// variants (StrCopyN, StrAppendN), which never write more than size bytes.
#ifndef VANTOR_STR_H
#define VANTOR_STR_H

#include <stdint.h>

// Characters before the terminator.
int StrLength(const char *s);
// Copy src with its terminator to dest, or to the end of dest; dest must
// have room (the caller's affair). Return 1.
int StrCopy(char *dest, const char *src);
int StrAppend(char *dest, const char *src);
// 1 when both strings are identical, terminator included (NoCase: letters
// compare without case; a letter never equals a non-letter), else 0.
int StrEqual(const char *a, const char *b);
int StrEqualNoCase(const char *a, const char *b);
// 1 when the first n characters are identical; a terminator in one string
// against a character in the other is a difference. n <= 0 gives 1.
int StrEqualN(const char *a, const char *b, int n);
int StrEqualNNoCase(const char *a, const char *b, int n);
// First place in text where pattern begins; 0 and *position NULL when none.
// An empty text never matches.
int StrFind(const char *text, const char *pattern, char **position);
int StrFindNoCase(const char *text, const char *pattern, char **position);
// In place: a-z become A-Z (every other byte stays); the characters in
// reverse order. Return 1.
int StrUpper(char *s);
int StrReverse(char *s);
// Quick CRC of the string into *out, letters without case (shifts 0, 7, 13,
// 20, 27); 0 for the empty string. Returns 1.
int StrQuickCrc(const char *s, uint32_t *out);

// Bounded copies: dest holds size bytes; the result is cut to at most
// size - 1 bytes where a UTF-8 character ends, and always terminated. Return 1 when nothing was cut, else 0.
int StrCopyN(char *dest, const char *src, int size);
int StrAppendN(char *dest, const char *src, int size);

#endif

// Text and the ANSI code page: the installer shows bytes as the system's
// ANSI code page has them, so UTF-8 written on Linux shows as two or three
// wrong characters per letter. The builder finds such text and, when asked,
// converts it.
#ifndef BUILDER_CODEPAGE_H
#define BUILDER_CODEPAGE_H

#include <string>

#define CODEPAGE_DEFAULT 1252

// True when text holds a byte above 0x7F and all of it is well-formed UTF-8
// (text in an ANSI code page almost never is).
bool CodepageLooksUtf8(const std::string &text);

// The offset of the first byte of text that is not well-formed UTF-8;
// npos when all of it is.
size_t CodepageUtf8Error(const std::string &text);

// Text as a script or a page text is read, made UTF-8: UTF-16 (little or
// big endian) after its byte order mark converted, a UTF-8 byte order mark
// dropped; other text that is not UTF-8 converted from the code page when
// one is given (0: none; it then stays as it is). false with *problem,
// which names the line and column ("3:7: ...") where there is one, when
// the text cannot be converted.
bool CodepageReadText(const std::string &bytes, int codepage, std::string *text, std::string *problem);

// Converts UTF-8 text to the code page. false with *problem when a
// character has no place in it or the code page is unknown here (1252
// always is; others where the host converts them).
bool CodepageFromUtf8(const std::string &text, int codepage, std::string *out, std::string *problem);

// UTF-8 text as UTF-16; text that is not UTF-8 is read as Windows-1252 (a
// byte it has no character for becomes '?').
std::u16string CodepageWideText(const std::string &text);

#endif

// Text and its encodings: install.dat holds its text in UTF-8; the builder
// reads scripts and page texts in UTF-8, in UTF-16 after its byte order
// mark and, when asked, in an older code page, and converts them.
#ifndef BUILDER_CODEPAGE_H
#define BUILDER_CODEPAGE_H

#include <string>

#define CODEPAGE_DEFAULT 1252

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

// UTF-8 text as UTF-16; text that is not UTF-8 is read as Windows-1252 (a
// byte it has no character for becomes '?').
std::u16string CodepageWideText(const std::string &text);

#endif

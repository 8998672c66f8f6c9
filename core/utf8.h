// utf8: the installer's text is UTF-8 everywhere; the system's wide
// functions take UTF-16. These convert between the two into the caller's
// buffers and cut UTF-8 text where a character ends. Portable: the Win32
// sides call them at every system call that takes or gives text.
//
// A byte that does not begin a well-formed UTF-8 sequence (a stray
// continuation byte, an overlong or surrogate form, a sequence cut short)
// is read as that one byte in Windows-1252, so a script whose texts were
// converted to that code page (ffsbuild --codepage) still shows them; an
// unpaired surrogate in UTF-16 becomes U+FFFD.
#ifndef VANTOR_UTF8_H
#define VANTOR_UTF8_H

#include <stdint.h>

// The first length bytes of text (length < 0: up to its terminator; a zero
// among them stays a zero) into wide (size units) and a terminator: the
// units written before the terminator; -1 when they did not fit (wide cut
// at a character, never inside a surrogate pair, and terminated) or
// size < 1.
int Utf8ToWide(const char *text, int length, uint16_t *wide, int size);
// wide up to its terminator into text (size bytes): 1 when it fit whole; 0
// when it was cut at a character (text still terminated) or size < 1.
int Utf8FromWide(const uint16_t *wide, char *text, int size);
// The length (at most length) of the longest start of text's first length
// bytes that ends with a whole character: where text cut after length bytes
// is to end so that no character is left in pieces.
int Utf8Fit(const char *text, int length);
// Characters of text up to its terminator (each malformed byte counts one).
int Utf8Count(const char *text);

#endif

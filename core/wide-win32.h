// UTF-16 at the system, for the Win32 sides only (no seam): the program's
// texts are UTF-8 (utf8.h) and every call that takes or gives text is the
// system's wide one, given the text converted here.
#ifndef VANTOR_WIDE_WIN32_H
#define VANTOR_WIDE_WIN32_H

#include <windows.h>

#include "utf8.h"

// A UTF-8 text into wide (size units) and back (size bytes): 1 when it fit
// whole, 0 when cut (see utf8.h). A path that does not fit is not to be
// used cut: the caller fails the call.
static inline int WideFrom(const char *text, WCHAR *wide, int size) {
  return Utf8ToWide(text, -1, (uint16_t *)wide, size) >= 0;
}
static inline int WideTo(const WCHAR *wide, char *text, int size) {
  return Utf8FromWide((const uint16_t *)wide, text, size);
}

// path in UTF-16 into wide (MAX_PATH units), which is returned; a path that
// does not fit is given as the empty path, which every call refuses.
const WCHAR *WidePath(const char *path, WCHAR *wide);

// A text of any length as UTF-16 in a block of the process heap, released
// with WideFree; NULL when the heap has no room.
WCHAR *WideAlloc(const char *text);
void WideFree(WCHAR *wide);

#endif

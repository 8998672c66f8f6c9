// Names of installed files that must stay below the destination.
#include "file-name.h"

#include "vantor-core.h"

static int IsSeparator(char c) { return c == '\\' || c == '/'; }

// 1 when the component [start, end) climbs: dots and blanks only, at least
// two dots.
static int ClimbsUp(const char *start, const char *end) {
  int dots = 0;
  for (const char *p = start; p < end; p++) {
    if (*p == '.') dots++;
    else if (*p != ' ') return 0;
  }
  return dots >= 2;
}

int FileNameStaysInside(const char *name) {
  ASSERT(name != NULL, POINTER_IS_NULL);
  if (IsSeparator(name[0])) return 0;
  const char *start = name;
  for (const char *p = name;; p++) {
    if (*p == ':') return 0;
    if (*p == 0 || IsSeparator(*p)) {
      if (ClimbsUp(start, p)) return 0;
      if (*p == 0) return 1;
      start = p + 1;
    }
  }
}

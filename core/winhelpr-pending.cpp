// Placeholder window helpers until the real module lands: only what the
// script engine needs to link. Delete this file when winhelpr is written.
#include <string.h>

#include "winhelpr.h"

int QueryTempDir(char *buffer, int size) {
  if (size > 0) strncpy(buffer, "C:\\TEMP\\", (size_t)size - 1), buffer[size - 1] = 0;
  return 1;
}

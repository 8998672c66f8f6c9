// Placeholder install services until the real module lands: only what the
// script engine needs to link. Delete this file when the install services
// are written.
#include "install.h"

int FontResourceRemove(const char *) { return 1; }

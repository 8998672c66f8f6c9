// The check every command handler makes on entry: its three pointers.
#ifndef INSTALLER_HANDLER_CHECK_H
#define INSTALLER_HANDLER_CHECK_H

#include "vantor-core.h"

#define HANDLER_CHECK(script, args, consumed)  \
  do {                                         \
    ASSERT((script) != NULL, "Pointer is NULL\n");   \
    ASSERT((args) != NULL, "Pointer is NULL\n");     \
    ASSERT((consumed) != NULL, "Pointer is NULL\n"); \
  } while (0)

#endif

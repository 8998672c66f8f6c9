// The check every command handler makes on entry: its three pointers.
#ifndef INSTALLER_HANDLER_CHECK_H
#define INSTALLER_HANDLER_CHECK_H

#include "vantor-core.h"

#define HANDLER_CHECK(script, args, consumed)  \
  do {                                         \
    ASSERT((script) != NULL, POINTER_IS_NULL);   \
    ASSERT((args) != NULL, POINTER_IS_NULL);     \
    ASSERT((consumed) != NULL, POINTER_IS_NULL); \
  } while (0)

#endif

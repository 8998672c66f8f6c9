// What identifies the product on the machine: the name of its Add/Remove
// Programs entry and the lock that keeps a second installer of the same
// product from running at the same time.
#ifndef INSTALLER_PRODUCT_H
#define INSTALLER_PRODUCT_H

#include "script.h"

// The lock's name: this, then the entry's name.
#define PRODUCT_LOCK_PREFIX "Global\\Vantor Setup "
#define ANOTHER_RUNNING_TEXT \
  "Another installation of %s is running. Wait until it has finished, then start this one again."

// The name of the product's entry (below UNINSTALL_ARP_KEY), the same for
// every version: PRODUCT ID, else REGISTRY PATH without a leading
// "Software\" and with blanks for its backslashes, else PRODUCT NAME. ""
// when the script gives none of them. 0 when it does not fit size bytes.
int ProductEntryName(const InstallScript *script, char *out, int size);

// Takes the product's lock once per run, named as the entry is by the first
// PRODUCT ID, REGISTRY PATH and PRODUCT NAME anywhere in the script (so
// every version of the product takes the same lock before its first
// command): 1 when this installer holds it
// (or the product has no name, or the system cannot make the lock); 0 when
// another installer of the product runs: the box (or the unattended log
// line) has said so and script->failure is EXIT_ANOTHER_RUNNING.
int ProductLockTake(InstallScript *script);
// Forgets that the lock was taken (the native tests run many runs).
void ProductLockReset(void);

#endif

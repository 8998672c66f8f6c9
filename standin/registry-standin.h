// Test controls of the in-memory registry that stands in for the system's in
// the native build (registry-standin.cpp). It behaves as the system does where
// the installer can see it: keys below the roots with names compared without
// case, a leading backslash refused (status 161), empty path parts skipped;
// values with types, names compared without case and enumerated in the
// order of their names without case (as the Wine registry does); status 2
// for a missing key, 234 for a name or data too long for its buffer, 259 at
// the end of the values, 6 for a handle that is not open.
//
// Unlike Windows NT, which adds the terminator of a string value when the
// caller's count leaves it out but the next byte is zero, the stand-in stores
// exactly the bytes it is given.
#ifndef VANTOR_REGISTRY_STANDIN_H
#define VANTOR_REGISTRY_STANDIN_H

#include <stdint.h>

#include "registry-sys.h"

// Operations that RegistryStandInFailNext can make fail.
#define REGISTRY_STANDIN_OPEN   1
#define REGISTRY_STANDIN_CREATE 2
#define REGISTRY_STANDIN_SET    4

// Removes every key and value; every open handle becomes invalid.
void RegistryStandInClear(void);

// Writes a value of any type exactly as given below root code\path, creating
// the keys on the way. name "" is the key's default value. 1 on success.
int RegistryStandInSetValue(int root, const char *path, const char *name, uint32_t type, const void *data,
                            int length);
// A string value stored with its terminating zero, as most programs write it.
int RegistryStandInSetText(int root, const char *path, const char *name, const char *text);

// Reads a value: 1 with *type, *length = the whole data length and as much of
// the data as fits size bytes copied into data (which may be NULL); 0 when
// the key or the value does not exist.
int RegistryStandInGetValue(int root, const char *path, const char *name, uint32_t *type, void *data, int size,
                            int *length);
int RegistryStandInKeyExists(int root, const char *path);
// Removes root\path with everything below it; 1 if it existed.
int RegistryStandInDeleteKey(int root, const char *path);

// Keys opened or created and not closed yet (root keys do not count).
int RegistryStandInOpenKeys(void);

// The next call of one of the operations (a mask of REGISTRY_STANDIN_...)
// does nothing and answers status instead; 0 operations cancels it.
void RegistryStandInFailNext(int operations, long status);
// The same after passing calls of those operations went through.
void RegistryStandInFailAfter(int operations, long status, int passing);

#endif

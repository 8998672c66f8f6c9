// The registry seam: the system calls under core/registry.cpp, with the
// system's own numbers. registry-win32.cpp is the product (ADVAPI32);
// registry-standin.cpp is an in-memory registry for the native build
// (registry-standin.h).
#ifndef VANTOR_REGISTRY_SYS_H
#define VANTOR_REGISTRY_SYS_H

#include <stdint.h>

#include "registry.h"

// The predefined root keys, sign-extended as the system defines them for
// 64-bit programs (the same values in a 32-bit one).
#define REGISTRY_SYS_CLASSES_ROOT   ((RegistryKey)(intptr_t)(int32_t)0x80000000u)
#define REGISTRY_SYS_CURRENT_USER   ((RegistryKey)(intptr_t)(int32_t)0x80000001u)
#define REGISTRY_SYS_LOCAL_MACHINE  ((RegistryKey)(intptr_t)(int32_t)0x80000002u)
#define REGISTRY_SYS_USERS          ((RegistryKey)(intptr_t)(int32_t)0x80000003u)
#define REGISTRY_SYS_CURRENT_CONFIG ((RegistryKey)(intptr_t)(int32_t)0x80000005u)
#define REGISTRY_SYS_DYN_DATA       ((RegistryKey)(intptr_t)(int32_t)0x80000006u)

// Value types.
#define REGISTRY_SYS_NONE         0
#define REGISTRY_SYS_SZ           1
#define REGISTRY_SYS_EXPAND_SZ    2
#define REGISTRY_SYS_BINARY       3
#define REGISTRY_SYS_DWORD        4
#define REGISTRY_SYS_DWORD_BE     5
#define REGISTRY_SYS_LINK         6
#define REGISTRY_SYS_MULTI_SZ     7

// Status codes.
#define REGISTRY_STATUS_SUCCESS        0
#define REGISTRY_STATUS_NOT_FOUND      2
#define REGISTRY_STATUS_ACCESS_DENIED  5
#define REGISTRY_STATUS_INVALID_HANDLE 6
#define REGISTRY_STATUS_BAD_PATHNAME   161
#define REGISTRY_STATUS_MORE_DATA      234
#define REGISTRY_STATUS_NO_MORE_ITEMS  259

#define REGISTRY_SYS_ALL_ACCESS 0xF003Fu

// RegOpenKeyExW (options 0) / RegCreateKeyExW (no class, non-volatile, no
// security attributes): *key gets the key or 0. The status is returned.
long RegistrySysOpen(RegistryKey parent, const char *path, uint32_t access, RegistryKey *key);
long RegistrySysCreate(RegistryKey parent, const char *path, uint32_t access, RegistryKey *key);
long RegistrySysClose(RegistryKey key);
// RegSetValueExW.
long RegistrySysSetValue(RegistryKey key, const char *name, uint32_t type, const void *data, int length);
// RegDeleteValueW.
long RegistrySysDeleteValue(RegistryKey key, const char *name);
// RegDeleteKeyW: removes parent\path, which must have no subkeys (status 5
// when it has some, as Windows NT refuses).
long RegistrySysDeleteKey(RegistryKey parent, const char *path);
// RegEnumValueW: *nameLength holds the name buffer's size and gets the
// name's length; *dataLength holds the data buffer's size and gets the data's.
long RegistrySysEnumValue(RegistryKey key, int index, char *name, int *nameLength, uint32_t *type, void *data,
                          int *dataLength);

#endif

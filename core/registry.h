// registry: keys and values of the system registry through small root codes,
// full access on every key, four type codes of our own, and string values
// read by enumerating a key's values. Status codes in log lines are the
// system's own (2: the key does not exist).
//
// A key is held by the caller in a RegistryKey variable; the layer sets it to
// 0 (NULL) before opening and after closing.
#ifndef VANTOR_REGISTRY_H
#define VANTOR_REGISTRY_H

#include <stdint.h>

// Root codes; any other code means REGROOT_CURRENT_USER.
#define REGROOT_CURRENT_USER   1
#define REGROOT_DYN_DATA       2
#define REGROOT_LOCAL_MACHINE  3
#define REGROOT_CLASSES_ROOT   4
#define REGROOT_CURRENT_CONFIG 5

// Value type codes delivered by RegistryEnumValue.
#define REGTYPE_BINARY   1  // binary data, and every type without a code of its own
#define REGTYPE_STRING   2
#define REGTYPE_DWORD    3
#define REGTYPE_DWORD_BE 4

#define REGISTRY_TEXT_SIZE 160  // name and data buffers of RegistryGetString

typedef void *RegistryKey;  // an HKEY

// The predefined root key for a root code.
RegistryKey RegistryRootKey(int root);

// Opens root\path with full access into *key. 0 with *key = 0 after the log
// line "Registry Open failed on '%s'(0x%.8X)\n" (path, status).
int RegistryOpen(RegistryKey *key, int root, const char *path);
// Opens root\path with full access, creating every missing key on the way.
// 0 with *key = 0, no log line.
int RegistryCreate(RegistryKey *key, int root, const char *path);
// Closes *key and sets it to 0; always 1.
int RegistryClose(RegistryKey *key);
// 1 when root\path can be opened; a missing key logs the open failure.
int RegistryKeyExists(int root, const char *path);

// Writes text as a string value: its bytes without the terminating zero.
// 1 when the system accepted it.
int RegistrySetString(RegistryKey key, const char *name, const char *text);

// Writes value as a DWORD value. 1 when the system accepted it.
int RegistrySetDword(RegistryKey key, const char *name, uint32_t value);
// Removes the value name of root\path. 1 removed; 0 when the key or the value
// is not there or cannot be changed.
int RegistryDeleteValue(int root, const char *path, const char *name);
// Removes root\path when it holds neither values nor subkeys. 1 removed; 0
// when it is not there, not empty or cannot be removed.
int RegistryDeleteKey(int root, const char *path);

// The value at index: its name (terminated) into name, which holds nameSize
// bytes; its data into data, which holds dataSize bytes, with the count in
// *dataLength; its type code in *type. 0 when there is no value at index or
// when the name or the data does not fit its buffer (contents of the buffers
// then undefined). A type without a code of its own logs
// "Unsupported type 0x%.8X (%d)\n" and gives REGTYPE_BINARY.
int RegistryEnumValue(RegistryKey key, int index, char *name, int nameSize, void *data, int dataSize,
                      int *dataLength, int *type);

// Finds the value called name (exact case) by enumerating from index 0 and
// copies its data as text into out, which must hold REGISTRY_TEXT_SIZE bytes:
// up to the first zero byte, at most 159 characters, always terminated; the
// type is not consulted, so a number arrives as its raw bytes. 0 (out
// untouched) when the enumeration ends first, which also happens at a value
// whose name or data exceeds 160 bytes.
int RegistryGetString(RegistryKey key, const char *name, char *out);
// The same with data of up to size bytes (at most VANTOR_PATH_SIZE) into out,
// which holds size bytes: a longer value ends the search; text cut to fit
// ends with a whole character. For values that hold a path.
int RegistryGetText(RegistryKey key, const char *name, char *out, int size);

#endif

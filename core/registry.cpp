// Registry access: root codes, type codes, results and log lines; the system
// calls are behind registry-sys.h.
#include "registry.h"

#include <string.h>

#include "registry-sys.h"
#include "utf8.h"
#include "vantor-core.h"
#include "vantor-str.h"

RegistryKey RegistryRootKey(int root) {
  switch (root) {
    case REGROOT_DYN_DATA: return REGISTRY_SYS_DYN_DATA;
    case REGROOT_LOCAL_MACHINE: return REGISTRY_SYS_LOCAL_MACHINE;
    case REGROOT_CLASSES_ROOT: return REGISTRY_SYS_CLASSES_ROOT;
    case REGROOT_CURRENT_CONFIG: return REGISTRY_SYS_CURRENT_CONFIG;
    default: return REGISTRY_SYS_CURRENT_USER;
  }
}

int RegistryOpen(RegistryKey *key, int root, const char *path) {
  ASSERT(key != NULL, POINTER_IS_NULL);
  ASSERT(path != NULL, POINTER_IS_NULL);
  *key = NULL;
  RegistryKey opened = NULL;
  long status = RegistrySysOpen(RegistryRootKey(root), path, REGISTRY_SYS_ALL_ACCESS, &opened);
  if (status != REGISTRY_STATUS_SUCCESS) {
    DebugPrintf("Registry Open failed on '%s'(0x%.8X)\n", path, (unsigned)status);
    return 0;
  }
  *key = opened;
  return 1;
}

int RegistryCreate(RegistryKey *key, int root, const char *path) {
  ASSERT(key != NULL, POINTER_IS_NULL);
  ASSERT(path != NULL, POINTER_IS_NULL);
  *key = NULL;
  RegistryKey created = NULL;
  if (RegistrySysCreate(RegistryRootKey(root), path, REGISTRY_SYS_ALL_ACCESS, &created) != REGISTRY_STATUS_SUCCESS)
    return 0;
  *key = created;
  return 1;
}

int RegistryClose(RegistryKey *key) {
  ASSERT(key != NULL, POINTER_IS_NULL);
  RegistrySysClose(*key);
  *key = NULL;
  return 1;
}

int RegistryKeyExists(int root, const char *path) {
  RegistryKey key;
  if (!RegistryOpen(&key, root, path)) return 0;
  RegistryClose(&key);
  return 1;
}

int RegistrySetDword(RegistryKey key, const char *name, uint32_t value) {
  unsigned char bytes[4] = {(unsigned char)value, (unsigned char)(value >> 8), (unsigned char)(value >> 16),
                            (unsigned char)(value >> 24)};
  return RegistrySysSetValue(key, name, REGISTRY_SYS_DWORD, bytes, 4) == REGISTRY_STATUS_SUCCESS;
}

int RegistryDeleteValue(int root, const char *path, const char *name) {
  RegistryKey key = NULL;
  if (RegistrySysOpen(RegistryRootKey(root), path, REGISTRY_SYS_ALL_ACCESS, &key) != REGISTRY_STATUS_SUCCESS) return 0;
  int removed = RegistrySysDeleteValue(key, name) == REGISTRY_STATUS_SUCCESS;
  RegistryClose(&key);
  return removed;
}

int RegistryDeleteKey(int root, const char *path) {
  RegistryKey key = NULL;
  if (RegistrySysOpen(RegistryRootKey(root), path, REGISTRY_SYS_ALL_ACCESS, &key) != REGISTRY_STATUS_SUCCESS) return 0;
  char name[4];
  int nameLength = (int)sizeof name, dataLength = 0;
  uint32_t type;
  long status = RegistrySysEnumValue(key, 0, name, &nameLength, &type, NULL, &dataLength);
  RegistryClose(&key);
  if (status != REGISTRY_STATUS_NO_MORE_ITEMS) return 0;  // a value is there (or could not be read)
  return RegistrySysDeleteKey(RegistryRootKey(root), path) == REGISTRY_STATUS_SUCCESS;
}

int RegistrySetString(RegistryKey key, const char *name, const char *text) {
  ASSERT(name != NULL, POINTER_IS_NULL);
  ASSERT(text != NULL, POINTER_IS_NULL);
  return RegistrySysSetValue(key, name, REGISTRY_SYS_SZ, text, StrLength(text)) == REGISTRY_STATUS_SUCCESS;
}

int RegistryEnumValue(RegistryKey key, int index, char *name, int nameSize, void *data, int dataSize,
                      int *dataLength, int *type) {
  ASSERT(name != NULL, POINTER_IS_NULL);
  ASSERT(data != NULL, POINTER_IS_NULL);
  ASSERT(dataLength != NULL, POINTER_IS_NULL);
  ASSERT(type != NULL, POINTER_IS_NULL);
  int nameLength = nameSize;
  uint32_t systemType = 0;
  *dataLength = dataSize;
  if (RegistrySysEnumValue(key, index, name, &nameLength, &systemType, data, dataLength) != REGISTRY_STATUS_SUCCESS)
    return 0;
  switch (systemType) {
    case REGISTRY_SYS_SZ: *type = REGTYPE_STRING; break;
    case REGISTRY_SYS_BINARY: *type = REGTYPE_BINARY; break;
    case REGISTRY_SYS_DWORD: *type = REGTYPE_DWORD; break;
    case REGISTRY_SYS_DWORD_BE: *type = REGTYPE_DWORD_BE; break;
    default:
      DebugPrintf("Unsupported type 0x%.8X (%d)\n", (unsigned)systemType, (int)systemType);
      *type = REGTYPE_BINARY;
      break;
  }
  return 1;
}

int RegistryGetText(RegistryKey key, const char *name, char *out, int size) {
  ASSERT(name != NULL, POINTER_IS_NULL);
  ASSERT(out != NULL, POINTER_IS_NULL);
  ASSERT(size > 0 && size <= VANTOR_PATH_SIZE, "Bad size\n");
  char valueName[REGISTRY_TEXT_SIZE];
  char data[VANTOR_PATH_SIZE];
  for (int index = 0;; index++) {
    int length = 0, type = 0;
    memset(data, 0, (size_t)size);
    if (!RegistryEnumValue(key, index, valueName, sizeof valueName, data, size, &length, &type)) return 0;
    if (!StrEqual(valueName, name)) continue;
    // The data need not be terminated: at most what was delivered, and room
    // is kept for the terminator; a cut never splits a character.
    int count = 0;
    while (count < length && count < size - 1 && data[count] != 0) count++;
    if (count == size - 1) count = Utf8Fit(data, count);
    memcpy(out, data, (size_t)count);
    out[count] = 0;
    return 1;
  }
}

int RegistryGetString(RegistryKey key, const char *name, char *out) {
  return RegistryGetText(key, name, out, REGISTRY_TEXT_SIZE);
}

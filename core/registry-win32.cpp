// The registry seam over ADVAPI32: the product's side.
#include <windows.h>

#include "registry-sys.h"

static_assert(REGISTRY_SYS_ALL_ACCESS == KEY_ALL_ACCESS, "full access");
static_assert(REGISTRY_SYS_DWORD_BE == REG_DWORD_BIG_ENDIAN && REGISTRY_SYS_MULTI_SZ == REG_MULTI_SZ, "types");
static_assert(REGISTRY_STATUS_NO_MORE_ITEMS == ERROR_NO_MORE_ITEMS && REGISTRY_STATUS_MORE_DATA == ERROR_MORE_DATA,
              "status codes");

long RegistrySysOpen(RegistryKey parent, const char *path, uint32_t access, RegistryKey *key) {
  HKEY opened = NULL;
  LONG status = RegOpenKeyExA((HKEY)parent, path, 0, access, &opened);
  *key = status == ERROR_SUCCESS ? (RegistryKey)opened : NULL;
  return status;
}

long RegistrySysCreate(RegistryKey parent, const char *path, uint32_t access, RegistryKey *key) {
  HKEY created = NULL;
  DWORD disposition;
  LONG status = RegCreateKeyExA((HKEY)parent, path, 0, NULL, REG_OPTION_NON_VOLATILE, access, NULL, &created,
                                &disposition);
  *key = status == ERROR_SUCCESS ? (RegistryKey)created : NULL;
  return status;
}

long RegistrySysClose(RegistryKey key) { return RegCloseKey((HKEY)key); }

long RegistrySysSetValue(RegistryKey key, const char *name, uint32_t type, const void *data, int length) {
  return RegSetValueExA((HKEY)key, name, 0, type, (const BYTE *)data, (DWORD)length);
}

long RegistrySysEnumValue(RegistryKey key, int index, char *name, int *nameLength, uint32_t *type, void *data,
                          int *dataLength) {
  DWORD nameCount = (DWORD)*nameLength, dataCount = (DWORD)*dataLength, valueType = 0;
  LONG status = RegEnumValueA((HKEY)key, (DWORD)index, name, &nameCount, NULL, &valueType, (BYTE *)data, &dataCount);
  *nameLength = (int)nameCount;
  *dataLength = (int)dataCount;
  *type = valueType;
  return status;
}

long RegistrySysDeleteValue(RegistryKey key, const char *name) { return RegDeleteValueA((HKEY)key, name); }

long RegistrySysDeleteKey(RegistryKey parent, const char *path) { return RegDeleteKeyA((HKEY)parent, path); }

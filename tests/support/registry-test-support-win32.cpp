// Direct registry access for the shared registry tests: ADVAPI32 itself.
#include "registry-test-support.h"

#include <windows.h>

#include "registry.h"

static HKEY Root(int root) { return (HKEY)RegistryRootKey(root); }

static void DeleteBelow(HKEY parent, const char *path) {
  HKEY key;
  if (RegOpenKeyExA(parent, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  char child[256];
  for (;;) {
    DWORD size = sizeof child;
    if (RegEnumKeyExA(key, 0, child, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
    DeleteBelow(key, child);
  }
  RegCloseKey(key);
  RegDeleteKeyA(parent, path);
}

void TestRegistryDeleteTree(int root, const char *path) { DeleteBelow(Root(root), path); }

bool TestRegistrySetRaw(int root, const char *path, const char *name, uint32_t type, const std::string &data) {
  HKEY key;
  DWORD disposition;
  if (RegCreateKeyExA(Root(root), path, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &key,
                      &disposition) != ERROR_SUCCESS)
    return false;
  // The copy ends in a byte that is not zero, so that the system stores
  // exactly the bytes given (it adds a string's terminator when the caller
  // leaves it out but the next byte is zero).
  std::string copy = data + "\x01";
  LONG status = RegSetValueExA(key, name, 0, type, (const BYTE *)copy.data(), (DWORD)data.size());
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool TestRegistryGetRaw(int root, const char *path, const char *name, uint32_t *type, std::string *data) {
  HKEY key;
  if (RegOpenKeyExA(Root(root), path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD valueType = 0, size = 0;
  LONG status = RegQueryValueExA(key, name, NULL, &valueType, NULL, &size);
  if (status == ERROR_SUCCESS) {
    data->assign(size, '\0');
    status = RegQueryValueExA(key, name, NULL, &valueType, size > 0 ? (BYTE *)&(*data)[0] : NULL, &size);
    data->resize(size);
  }
  RegCloseKey(key);
  *type = valueType;
  return status == ERROR_SUCCESS;
}

bool TestRegistryKeyExists(int root, const char *path) {
  HKEY key;
  if (RegOpenKeyExA(Root(root), path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

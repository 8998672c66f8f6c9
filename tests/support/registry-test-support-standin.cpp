// Direct registry access for the shared registry tests: the stand-in's controls.
#include "registry-test-support.h"

#include "registry-standin.h"

void TestRegistryDeleteTree(int root, const char *path) { RegistryStandInDeleteKey(root, path); }

bool TestRegistrySetRaw(int root, const char *path, const char *name, uint32_t type, const std::string &data) {
  return RegistryStandInSetValue(root, path, name, type, data.data(), (int)data.size()) == 1;
}

bool TestRegistryGetRaw(int root, const char *path, const char *name, uint32_t *type, std::string *data) {
  int length = 0;
  if (!RegistryStandInGetValue(root, path, name, type, NULL, 0, &length)) return false;
  data->assign((size_t)length, '\0');
  return RegistryStandInGetValue(root, path, name, type, length > 0 ? &(*data)[0] : NULL, length, &length) == 1;
}

bool TestRegistryKeyExists(int root, const char *path) { return RegistryStandInKeyExists(root, path) == 1; }

// Direct access to the registry under the registry layer, for tests that run
// the same code on the system's registry (Win32 build under Wine:
// tests/win32/registry-test-support.cpp) and on the in-memory stand-in
// (native build: tests/native/registry-test-support.cpp).
#ifndef REGISTRY_TEST_SUPPORT_H
#define REGISTRY_TEST_SUPPORT_H

#include <stdint.h>

#include <string>

// Where the registry tests work, below HKEY_CURRENT_USER.
#define TEST_REGISTRY_PATH "Software\\Vantor Tests"

// Removes root code\path with everything below it (nothing when missing).
void TestRegistryDeleteTree(int root, const char *path);
// Writes a value with a system type (REGISTRY_SYS_...), creating the key.
bool TestRegistrySetRaw(int root, const char *path, const char *name, uint32_t type, const std::string &data);
// Reads a value's type and data; false when the key or the value is missing.
bool TestRegistryGetRaw(int root, const char *path, const char *name, uint32_t *type, std::string *data);
bool TestRegistryKeyExists(int root, const char *path);

#endif

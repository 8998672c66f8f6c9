// The root keys and access mask the layer uses are the system's own.
#include <windows.h>
#include <string.h>

#include <gtest/gtest.h>

#include "registry-sys.h"
#include "registry.h"

TEST(RegistryWin32, RootKeysAreThePredefinedKeys) {
  EXPECT_EQ((RegistryKey)HKEY_CURRENT_USER, RegistryRootKey(REGROOT_CURRENT_USER));
  EXPECT_EQ((RegistryKey)HKEY_DYN_DATA, RegistryRootKey(REGROOT_DYN_DATA));
  EXPECT_EQ((RegistryKey)HKEY_LOCAL_MACHINE, RegistryRootKey(REGROOT_LOCAL_MACHINE));
  EXPECT_EQ((RegistryKey)HKEY_CLASSES_ROOT, RegistryRootKey(REGROOT_CLASSES_ROOT));
  EXPECT_EQ((RegistryKey)HKEY_CURRENT_CONFIG, RegistryRootKey(REGROOT_CURRENT_CONFIG));
  EXPECT_EQ((RegistryKey)HKEY_CURRENT_USER, RegistryRootKey(0));
}

TEST(RegistryWin32, ProcessorKeyReadsAsText) {
  // Wine and Windows both describe the processor under this key.
  RegistryKey key;
  ASSERT_EQ(1, RegistryOpen(&key, REGROOT_LOCAL_MACHINE, "Hardware\\Description\\System\\CentralProcessor\\0"));
  char out[REGISTRY_TEXT_SIZE];
  EXPECT_EQ(1, RegistryGetString(key, "Identifier", out));
  EXPECT_GT(strlen(out), 0u);
  RegistryClose(&key);
}

// The in-memory registry's own controls, and what only the stand-in shows:
// the exact bytes the layer writes, open handles, injected failures.
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "registry-standin.h"
#include "registry.h"

namespace {

class RegistryStandInTest : public testing::Test {
 protected:
  void SetUp() override { RegistryStandInClear(); }
  void TearDown() override { RegistryStandInClear(); }
};

TEST_F(RegistryStandInTest, StringIsStoredWithoutItsTerminator) {
  RegistryKey key;
  ASSERT_EQ(1, RegistryCreate(&key, REGROOT_CURRENT_USER, "Software\\Co\\Product"));
  EXPECT_EQ(1, RegistrySetString(key, "Install Path", "C:\\Apps\\"));
  RegistryClose(&key);
  uint32_t type = 0;
  char data[32];
  int length = 0;
  ASSERT_EQ(1, RegistryStandInGetValue(REGROOT_CURRENT_USER, "Software\\Co\\Product", "Install Path", &type, data,
                                       sizeof data, &length));
  EXPECT_EQ((uint32_t)REGISTRY_SYS_SZ, type);
  EXPECT_EQ(8, length);
  EXPECT_EQ(0, memcmp("C:\\Apps\\", data, 8));
}

TEST_F(RegistryStandInTest, ControlsSetAndReadValuesOfAnyRoot) {
  const char *cpu = "Hardware\\Description\\System\\CentralProcessor\\0";
  ASSERT_EQ(1, RegistryStandInSetText(REGROOT_LOCAL_MACHINE, cpu, "Identifier", "x86 Family 6"));
  const unsigned char mhz[4] = {0xF4, 0x01, 0, 0};
  ASSERT_EQ(1, RegistryStandInSetValue(REGROOT_LOCAL_MACHINE, cpu, "~MHz", REGISTRY_SYS_DWORD, mhz, 4));
  EXPECT_EQ(1, RegistryStandInKeyExists(REGROOT_LOCAL_MACHINE, "hardware\\DESCRIPTION"));
  EXPECT_EQ(0, RegistryStandInKeyExists(REGROOT_CURRENT_USER, "Hardware"));  // roots are apart
  RegistryKey key;
  ASSERT_EQ(1, RegistryOpen(&key, REGROOT_LOCAL_MACHINE, cpu));
  char out[REGISTRY_TEXT_SIZE];
  EXPECT_EQ(1, RegistryGetString(key, "Identifier", out));
  EXPECT_STREQ("x86 Family 6", out);
  EXPECT_EQ(1, RegistryGetString(key, "~MHz", out));
  EXPECT_STREQ("\xF4\x01", out);
  EXPECT_EQ(0, RegistryGetString(key, "MMXIdentifier", out));
  RegistryClose(&key);

  uint32_t type;
  int length = -1;
  EXPECT_EQ(1, RegistryStandInGetValue(REGROOT_LOCAL_MACHINE, cpu, "IDENTIFIER", &type, NULL, 0, &length));
  EXPECT_EQ(13, length);
  EXPECT_EQ(0, RegistryStandInGetValue(REGROOT_LOCAL_MACHINE, cpu, "Missing", &type, NULL, 0, &length));

  EXPECT_EQ(1, RegistryStandInDeleteKey(REGROOT_LOCAL_MACHINE, "Hardware\\Description"));
  EXPECT_EQ(1, RegistryStandInKeyExists(REGROOT_LOCAL_MACHINE, "Hardware"));
  EXPECT_EQ(0, RegistryStandInKeyExists(REGROOT_LOCAL_MACHINE, cpu));
  EXPECT_EQ(0, RegistryStandInDeleteKey(REGROOT_LOCAL_MACHINE, cpu));
}

TEST_F(RegistryStandInTest, OpenKeysAreCounted) {
  EXPECT_EQ(0, RegistryStandInOpenKeys());
  RegistryKey a, b, root;
  ASSERT_EQ(1, RegistryCreate(&a, REGROOT_CURRENT_USER, "A"));
  ASSERT_EQ(1, RegistryOpen(&b, REGROOT_CURRENT_USER, "a"));
  ASSERT_EQ(1, RegistryOpen(&root, REGROOT_CURRENT_USER, ""));  // the root itself
  EXPECT_EQ(RegistryRootKey(REGROOT_CURRENT_USER), root);
  EXPECT_EQ(2, RegistryStandInOpenKeys());
  EXPECT_NE(a, b);
  RegistryClose(&a);
  RegistryClose(&root);
  EXPECT_EQ(1, RegistryStandInOpenKeys());
  EXPECT_EQ(1, RegistryKeyExists(REGROOT_CURRENT_USER, "A"));
  EXPECT_EQ(1, RegistryStandInOpenKeys());
  // Clearing the registry closes every key.
  RegistryStandInClear();
  EXPECT_EQ(0, RegistryStandInOpenKeys());
  EXPECT_EQ(0, RegistrySetString(b, "x", "y"));
}

TEST_F(RegistryStandInTest, InjectedFailures) {
  RegistryKey key;
  RegistryStandInFailNext(REGISTRY_STANDIN_CREATE, REGISTRY_STATUS_ACCESS_DENIED);
  EXPECT_EQ(0, RegistryCreate(&key, REGROOT_CURRENT_USER, "A"));
  EXPECT_EQ(nullptr, key);
  EXPECT_EQ(0, RegistryStandInKeyExists(REGROOT_CURRENT_USER, "A"));
  ASSERT_EQ(1, RegistryCreate(&key, REGROOT_CURRENT_USER, "A"));  // once only
  RegistryStandInFailNext(REGISTRY_STANDIN_SET | REGISTRY_STANDIN_OPEN, REGISTRY_STATUS_ACCESS_DENIED);
  EXPECT_EQ(0, RegistrySetString(key, "x", "y"));
  EXPECT_EQ(1, RegistrySetString(key, "x", "y"));
  RegistryClose(&key);
  RegistryStandInFailNext(REGISTRY_STANDIN_OPEN, REGISTRY_STATUS_ACCESS_DENIED);
  RegistryStandInFailNext(0, 0);
  EXPECT_EQ(1, RegistryKeyExists(REGROOT_CURRENT_USER, "A"));
}

}  // namespace

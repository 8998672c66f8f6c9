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

// Names and strings are UTF-8 on the program's side and UTF-16 in the
// registry; a string too long for the buffer in UTF-8 is too long.
TEST(RegistryWin32, TextIsUtf16InTheRegistryAndUtf8Here) {
  const char *path = "Software\\Vantor Tests\\\xd0\x9a\xd0\xbb\xd1\x8e\xd1\x87";  // Ключ
  const char *value = "C:\\\xc5\x81ukasz\\\xe6\x97\xa5\xf0\x9f\x98\x80";         // C:\Łukasz\日😀
  RegistryKey key;
  ASSERT_EQ(1, RegistryCreate(&key, REGROOT_CURRENT_USER, path));
  EXPECT_EQ(1, RegistrySetString(key, "\xce\xa9", value));  // Ω
  char out[REGISTRY_TEXT_SIZE];
  EXPECT_EQ(1, RegistryGetString(key, "\xce\xa9", out));
  EXPECT_STREQ(value, out);
  WCHAR wide[32];
  DWORD size = sizeof wide, type = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW((HKEY)key, L"\x03A9", NULL, &type, (BYTE *)wide, &size));
  EXPECT_EQ(0, lstrcmpW(L"C:\\\x0141ukasz\\\x65E5\xD83D\xDE00", wide));
  EXPECT_EQ(REG_SZ, type);
  char name[8];
  int nameLength = (int)sizeof name, dataLength = 12;
  uint32_t systemType;
  EXPECT_EQ(ERROR_MORE_DATA, RegistrySysEnumValue(key, 0, name, &nameLength, &systemType, out, &dataLength));
  RegistryClose(&key);
  EXPECT_EQ(1, RegistryDeleteValue(REGROOT_CURRENT_USER, path, "\xce\xa9"));
  EXPECT_EQ(1, RegistryDeleteKey(REGROOT_CURRENT_USER, path));
}

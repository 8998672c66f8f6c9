// Registry access on the system's registry (under Wine) and on the native
// stand-in, with the same cases: root codes, string values and their lookup
// by enumeration, type codes and their log lines, missing keys.
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "registry-sys.h"
#include "registry-test-support.h"
#include "registry.h"
#include "test-support.h"
#include "vantor-core.h"

namespace {

const char *const kPath = TEST_REGISTRY_PATH;
const char *const kSub = TEST_REGISTRY_PATH "\\Values";

class RegistryTest : public testing::Test {
 protected:
  void SetUp() override { TestRegistryDeleteTree(REGROOT_CURRENT_USER, kPath); }
  void TearDown() override {
    if (key_ != NULL) RegistryClose(&key_);
    TestStopLog();
    TestRegistryDeleteTree(REGROOT_CURRENT_USER, kPath);
  }
  void OpenValues() { ASSERT_EQ(1, RegistryOpen(&key_, REGROOT_CURRENT_USER, kSub)); }
  void Set(const char *name, uint32_t type, const std::string &data) {
    ASSERT_TRUE(TestRegistrySetRaw(REGROOT_CURRENT_USER, kSub, name, type, data));
  }
  std::string Log(const std::string &path) {
    TestStopLog();
    std::string text = TestReadFile(path);
    TestRemoveFile(path);
    return text;
  }
  RegistryKey key_ = NULL;
};

TEST_F(RegistryTest, RootCodes) {
  EXPECT_EQ(REGISTRY_SYS_CURRENT_USER, RegistryRootKey(REGROOT_CURRENT_USER));
  EXPECT_EQ(REGISTRY_SYS_DYN_DATA, RegistryRootKey(REGROOT_DYN_DATA));
  EXPECT_EQ(REGISTRY_SYS_LOCAL_MACHINE, RegistryRootKey(REGROOT_LOCAL_MACHINE));
  EXPECT_EQ(REGISTRY_SYS_CLASSES_ROOT, RegistryRootKey(REGROOT_CLASSES_ROOT));
  EXPECT_EQ(REGISTRY_SYS_CURRENT_CONFIG, RegistryRootKey(REGROOT_CURRENT_CONFIG));
  for (int other : {0, 6, -1, 1000}) EXPECT_EQ(REGISTRY_SYS_CURRENT_USER, RegistryRootKey(other)) << other;
}

TEST_F(RegistryTest, CodesZeroAndSixWorkUnderCurrentUser) {
  for (int root : {0, 6}) {
    std::string path = std::string(kPath) + "\\Root" + std::to_string(root);
    ASSERT_EQ(1, RegistryCreate(&key_, root, path.c_str()));
    ASSERT_NE(nullptr, key_);
    EXPECT_EQ(1, RegistrySetString(key_, "Install Path", "C:\\Apps\\"));
    EXPECT_EQ(1, RegistryClose(&key_));
    EXPECT_EQ(nullptr, key_);
    uint32_t type = 0;
    std::string data;
    ASSERT_TRUE(TestRegistryGetRaw(REGROOT_CURRENT_USER, path.c_str(), "Install Path", &type, &data));
    EXPECT_EQ((uint32_t)REGISTRY_SYS_SZ, type);
    EXPECT_EQ(1, RegistryKeyExists(root, path.c_str()));
  }
}

TEST_F(RegistryTest, StringWrittenWithoutTerminatorReadsBack) {
  ASSERT_EQ(1, RegistryCreate(&key_, REGROOT_CURRENT_USER, kSub));
  EXPECT_EQ(1, RegistrySetString(key_, "Install Path", "C:\\Program Files\\Product\\"));
  EXPECT_EQ(1, RegistrySetString(key_, "Empty", ""));
  uint32_t type = 0;
  std::string data;
  ASSERT_TRUE(TestRegistryGetRaw(REGROOT_CURRENT_USER, kSub, "Install Path", &type, &data));
  // The layer hands over the text without its zero; Windows NT adds it back
  // because the byte after the given count is zero, the stand-in does not.
  const std::string text = "C:\\Program Files\\Product\\";
  EXPECT_TRUE(data == text || data == text + std::string(1, '\0')) << data.size();

  char out[REGISTRY_TEXT_SIZE];
  memset(out, '#', sizeof out);
  ASSERT_EQ(1, RegistryGetString(key_, "Install Path", out));
  EXPECT_STREQ(text.c_str(), out);
  ASSERT_EQ(1, RegistryGetString(key_, "Empty", out));
  EXPECT_STREQ("", out);
  // Overwriting replaces the text.
  EXPECT_EQ(1, RegistrySetString(key_, "Install Path", "D:\\"));
  ASSERT_EQ(1, RegistryGetString(key_, "Install Path", out));
  EXPECT_STREQ("D:\\", out);
}

TEST_F(RegistryTest, LookupIsByExactName) {
  ASSERT_EQ(1, RegistryCreate(&key_, REGROOT_CURRENT_USER, kSub));
  EXPECT_EQ(1, RegistrySetString(key_, "Install Path", "C:\\A\\"));
  char out[REGISTRY_TEXT_SIZE] = "untouched";
  EXPECT_EQ(0, RegistryGetString(key_, "install path", out));
  EXPECT_EQ(0, RegistryGetString(key_, "INSTALL PATH", out));
  EXPECT_EQ(0, RegistryGetString(key_, "Install", out));
  EXPECT_STREQ("untouched", out);
  EXPECT_EQ(1, RegistryGetString(key_, "Install Path", out));
  EXPECT_STREQ("C:\\A\\", out);
}

TEST_F(RegistryTest, ValuesEnumerateInNameOrderWithoutCase) {
  for (const char *name : {"b", "Zed", "_u", "a", "["}) Set(name, REGISTRY_SYS_SZ, std::string("v") + name);
  Set("zED", REGISTRY_SYS_BINARY, "new");  // the same value: keeps its name and place
  OpenValues();
  std::string order;
  char name[REGISTRY_TEXT_SIZE], data[REGISTRY_TEXT_SIZE];
  int length = 0, type = 0, index = 0;
  while (RegistryEnumValue(key_, index, name, sizeof name, data, sizeof data, &length, &type)) {
    order += std::string(name) + ",";
    index++;
  }
  EXPECT_EQ("[,_u,a,b,Zed,", order);
  ASSERT_EQ(1, RegistryEnumValue(key_, 4, name, sizeof name, data, sizeof data, &length, &type));
  EXPECT_EQ(REGTYPE_BINARY, type);
  EXPECT_EQ("new", std::string(data, (size_t)length));
}

TEST_F(RegistryTest, TypeCodesAndUnsupportedTypes) {
  Set("1 binary", REGISTRY_SYS_BINARY, std::string("\x01\x00\x02", 3));
  Set("2 string", REGISTRY_SYS_SZ, std::string("text\0", 5));
  Set("3 dword", REGISTRY_SYS_DWORD, std::string("\x41\x31\x00\x00", 4));
  Set("4 dword be", REGISTRY_SYS_DWORD_BE, std::string("\x00\x00\x01\xF4", 4));
  Set("5 expand", REGISTRY_SYS_EXPAND_SZ, std::string("%WINDIR%\\x\0", 11));
  Set("6 multi", REGISTRY_SYS_MULTI_SZ, std::string("a\0b\0\0", 5));
  Set("7 none", REGISTRY_SYS_NONE, "zz");
  OpenValues();
  std::string log = TestStartLog(DEBUG_FILE);
  const int expected[] = {REGTYPE_BINARY, REGTYPE_STRING, REGTYPE_DWORD, REGTYPE_DWORD_BE,
                          REGTYPE_BINARY, REGTYPE_BINARY, REGTYPE_BINARY};
  const int lengths[] = {3, 5, 4, 4, 11, 5, 2};
  for (int i = 0; i < 7; i++) {
    char name[REGISTRY_TEXT_SIZE], data[REGISTRY_TEXT_SIZE];
    int length = -1, type = -1;
    ASSERT_EQ(1, RegistryEnumValue(key_, i, name, sizeof name, data, sizeof data, &length, &type)) << i;
    EXPECT_EQ(expected[i], type) << name;
    EXPECT_EQ(lengths[i], length) << name;
  }
  char name[8], data[8];
  int length, type;
  EXPECT_EQ(0, RegistryEnumValue(key_, 7, name, sizeof name, data, sizeof data, &length, &type));
  EXPECT_EQ(
      "Unsupported type 0x00000002 (2)\r\n"
      "Unsupported type 0x00000007 (7)\r\n"
      "Unsupported type 0x00000000 (0)\r\n",
      Log(log));
}

TEST_F(RegistryTest, ExpandableStringIsReportedButDelivered) {
  Set("Path", REGISTRY_SYS_EXPAND_SZ, std::string("%WINDIR%\\system\0", 17));
  OpenValues();
  std::string log = TestStartLog(DEBUG_FILE);
  char out[REGISTRY_TEXT_SIZE];
  ASSERT_EQ(1, RegistryGetString(key_, "Path", out));
  EXPECT_STREQ("%WINDIR%\\system", out);
  EXPECT_EQ("Unsupported type 0x00000002 (2)\r\n", Log(log));
}

TEST_F(RegistryTest, NumbersArriveAsTheirRawBytes) {
  Set("~MHz", REGISTRY_SYS_DWORD, std::string("\x41\x31\x00\x00", 4));
  Set("Zero", REGISTRY_SYS_DWORD, std::string("\x00\x31\x00\x00", 4));
  OpenValues();
  char out[REGISTRY_TEXT_SIZE];
  ASSERT_EQ(1, RegistryGetString(key_, "~MHz", out));
  EXPECT_STREQ("A1", out);
  ASSERT_EQ(1, RegistryGetString(key_, "Zero", out));
  EXPECT_STREQ("", out);
}

TEST_F(RegistryTest, OversizedEarlierValueEndsTheSearch) {
  Set("a long data", REGISTRY_SYS_SZ, std::string(200, 'x'));
  Set("b wanted", REGISTRY_SYS_SZ, std::string("found\0", 6));
  Set("c wanted", REGISTRY_SYS_SZ, std::string("found\0", 6));
  Set(std::string(170, 'c').c_str(), REGISTRY_SYS_SZ, std::string("x\0", 2));  // after "c wanted"
  Set("d wanted", REGISTRY_SYS_SZ, std::string("found\0", 6));
  OpenValues();
  char out[REGISTRY_TEXT_SIZE] = "untouched";
  EXPECT_EQ(0, RegistryGetString(key_, "b wanted", out));
  EXPECT_STREQ("untouched", out);

  TestRegistryDeleteTree(REGROOT_CURRENT_USER, kSub);
  RegistryClose(&key_);
  Set("b wanted", REGISTRY_SYS_SZ, std::string("found\0", 6));
  Set("c wanted", REGISTRY_SYS_SZ, std::string("found\0", 6));
  Set(std::string(170, 'c').c_str(), REGISTRY_SYS_SZ, std::string("x\0", 2));
  Set("d wanted", REGISTRY_SYS_SZ, std::string("found\0", 6));
  OpenValues();
  EXPECT_EQ(1, RegistryGetString(key_, "c wanted", out));  // before the long name
  EXPECT_STREQ("found", out);
  EXPECT_EQ(0, RegistryGetString(key_, "d wanted", out));  // behind it
}

TEST_F(RegistryTest, LongestValuesThatFitAreCutToTheText) {
  std::string name159(159, 'n');
  Set(name159.c_str(), REGISTRY_SYS_BINARY, std::string(160, 'y'));  // 160 bytes, no zero
  OpenValues();
  char out[REGISTRY_TEXT_SIZE + 8];
  memset(out, '#', sizeof out);
  ASSERT_EQ(1, RegistryGetString(key_, name159.c_str(), out));
  EXPECT_EQ(std::string(159, 'y'), std::string(out));  // terminated inside the 160 bytes
  EXPECT_EQ('#', out[REGISTRY_TEXT_SIZE]);
}

TEST_F(RegistryTest, MissingKeyLogsStatusTwo) {
  std::string log = TestStartLog(DEBUG_FILE);
  EXPECT_EQ(0, RegistryKeyExists(REGROOT_CURRENT_USER, TEST_REGISTRY_PATH "\\Missing"));
  key_ = (RegistryKey)&log;
  EXPECT_EQ(0, RegistryOpen(&key_, REGROOT_LOCAL_MACHINE, "Software\\Vantor Tests Missing\\Deeper"));
  EXPECT_EQ(nullptr, key_);
  EXPECT_EQ(
      "Registry Open failed on 'Software\\Vantor Tests\\Missing'(0x00000002)\r\n"
      "Registry Open failed on 'Software\\Vantor Tests Missing\\Deeper'(0x00000002)\r\n",
      Log(log));
}

TEST_F(RegistryTest, PathsAndCreation) {
  EXPECT_EQ(0, RegistryKeyExists(REGROOT_CURRENT_USER, kSub));
  ASSERT_EQ(1, RegistryCreate(&key_, REGROOT_CURRENT_USER, TEST_REGISTRY_PATH "\\One\\Two"));
  EXPECT_EQ(1, RegistrySetString(key_, "Kept", "yes"));
  RegistryClose(&key_);
  // Key names do not depend on case; an existing key is opened, not emptied.
  ASSERT_EQ(1, RegistryCreate(&key_, REGROOT_CURRENT_USER, "SOFTWARE\\vantor tests\\one\\TWO"));
  char out[REGISTRY_TEXT_SIZE];
  EXPECT_EQ(1, RegistryGetString(key_, "Kept", out));
  RegistryClose(&key_);
  EXPECT_EQ(1, RegistryKeyExists(REGROOT_CURRENT_USER, TEST_REGISTRY_PATH "\\One\\Two\\"));
  EXPECT_EQ(1, RegistryKeyExists(REGROOT_CURRENT_USER, TEST_REGISTRY_PATH "\\\\One\\Two"));
  std::string log = TestStartLog(DEBUG_FILE);
  EXPECT_EQ(0, RegistryKeyExists(REGROOT_CURRENT_USER, "\\" TEST_REGISTRY_PATH));
  EXPECT_EQ(0, RegistryCreate(&key_, REGROOT_CURRENT_USER, "\\" TEST_REGISTRY_PATH "\\X"));
  EXPECT_EQ(nullptr, key_);
  EXPECT_EQ("Registry Open failed on '\\Software\\Vantor Tests'(0x000000A1)\r\n", Log(log));
}

// What the uninstaller takes away: a value, then a key only once it holds
// neither values nor subkeys; numbers as DWORD values.
TEST_F(RegistryTest, ValuesAndEmptyKeysAreDeleted) {
  ASSERT_EQ(1, RegistryCreate(&key_, REGROOT_CURRENT_USER, kSub));
  EXPECT_EQ(1, RegistrySetDword(key_, "Size", 0x01020304u));
  EXPECT_EQ(1, RegistrySetString(key_, "Name", "x"));
  RegistryClose(&key_);
  uint32_t type;
  std::string data;
  ASSERT_TRUE(TestRegistryGetRaw(REGROOT_CURRENT_USER, kSub, "Size", &type, &data));
  EXPECT_EQ(4u, type);  // REG_DWORD
  EXPECT_EQ(std::string("\x04\x03\x02\x01", 4), data);
  EXPECT_EQ(0, RegistryDeleteKey(REGROOT_CURRENT_USER, kSub));   // values left
  EXPECT_EQ(0, RegistryDeleteKey(REGROOT_CURRENT_USER, kPath));  // a subkey left
  EXPECT_EQ(1, RegistryDeleteValue(REGROOT_CURRENT_USER, kSub, "Size"));
  EXPECT_EQ(0, RegistryDeleteValue(REGROOT_CURRENT_USER, kSub, "Size"));
  EXPECT_EQ(1, RegistryDeleteValue(REGROOT_CURRENT_USER, kSub, "name"));
  EXPECT_EQ(1, RegistryDeleteKey(REGROOT_CURRENT_USER, kSub));
  EXPECT_FALSE(TestRegistryKeyExists(REGROOT_CURRENT_USER, kSub));
  EXPECT_EQ(1, RegistryDeleteKey(REGROOT_CURRENT_USER, kPath));
  EXPECT_EQ(0, RegistryDeleteKey(REGROOT_CURRENT_USER, kPath));
  EXPECT_EQ(0, RegistryDeleteValue(REGROOT_CURRENT_USER, kPath, "Size"));
}

TEST_F(RegistryTest, ClosedKeysAreRefused) {
  ASSERT_EQ(1, RegistryCreate(&key_, REGROOT_CURRENT_USER, kSub));
  RegistryKey copy = key_;
  EXPECT_EQ(1, RegistryClose(&key_));
  EXPECT_EQ(nullptr, key_);
  EXPECT_EQ(1, RegistryClose(&key_));  // closing nothing is harmless
  EXPECT_EQ(0, RegistrySetString(copy, "x", "y"));
  char out[REGISTRY_TEXT_SIZE];
  EXPECT_EQ(0, RegistryGetString(copy, "x", out));
}

TEST(RegistryDeathTest, NullPointersAreFatal) {
  EXPECT_EXIT(RegistryOpen(NULL, 1, "x"), testing::ExitedWithCode(1), "");
  EXPECT_EXIT(RegistryGetString(NULL, "x", NULL), testing::ExitedWithCode(1), "");
}

}  // namespace

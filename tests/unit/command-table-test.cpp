// The keyword table: registration order, lookup by length and quick CRC, and
// the fatal registration errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command.h"
#include "script-test-support.h"
#include "test-support.h"
#include "vantor-core.h"

namespace {

const char *const keywords[] = {
    "COMPANY NAME", "PRODUCT NAME", "TEXT", "FILE LIST", "GRADIENT START", "GRADIENT END", "FONT",
    "STRING", "REFRESH", "CREATE GROUP", "ADD ITEM", "NOTEPAD", "OLE", "AGREEMENT", "MESSAGE",
    "REGISTER", "BREAK", "UPDATE", "INSTALL", "DONE", "REGISTRY PATH", "INSTALL SIZE", "INSTALL SCOPE", "FILES IN USE",
    "PRODUCT ID", "PRODUCT VERSION", "INSTALL DIR",
    "INSTALL DIR ALT", "INSTALL PATH", "UNINSTALL"};

std::vector<std::string> TableKeywords() {
  std::vector<std::string> out;
  for (const CommandEntry *e = CommandFirst(); e != NULL; e = e->next) out.push_back(e->keyword);
  return out;
}

class CommandTableTest : public testing::Test {
 protected:
  void SetUp() override { CommandsRemove(); }
  void TearDown() override {
    CommandsRemove();
    TestStopLog();
  }
};

TEST_F(CommandTableTest, InitRegistersEveryKeywordLongestFirst) {
  MemoryCounters before, after;
  MemoryGetCounters(&before);
  std::string log = TestStartLog(DEBUG_FILE);
  CommandsInit();
  EXPECT_EQ(std::string::npos, TestReadFile(log).find("Matching quick CRC's"));
  std::vector<std::string> table = TableKeywords();
  ASSERT_EQ(30u, table.size());
  for (size_t i = 1; i < table.size(); i++) EXPECT_GE(table[i - 1].size(), table[i].size()) << table[i];
  // equal lengths: the one registered last comes first
  std::vector<std::string> four;
  for (const std::string &k : table)
    if (k.size() == 4) four.push_back(k);
  EXPECT_EQ(std::vector<std::string>({"DONE", "FONT", "TEXT"}), four);
  for (const char *k : keywords) {
    EXPECT_TRUE(CommandExists(k)) << k;
    std::string lower(k);
    for (char &c : lower) c = (char)tolower((unsigned char)c);
    EXPECT_TRUE(CommandExists(lower.c_str())) << lower;
  }
  for (const char *k : {"", "COMPANY  NAME", "COMPANY NAME ", " TEXT", "BREAKS", "INSTALLDIR"})
    EXPECT_FALSE(CommandExists(k)) << k;
  CommandsRemove();
  EXPECT_EQ(nullptr, CommandFirst());
  MemoryGetCounters(&after);
  EXPECT_EQ(before.count, after.count);
  EXPECT_EQ(before.bytes, after.bytes);
}

int lastHandler;
int CmdTestA(InstallScript *, char *, int32_t *consumed) {
  EXPECT_EQ(0, *consumed);
  lastHandler = 1;
  *consumed = 5;
  return 1;
}
int CmdTestB(InstallScript *, char *, int32_t *) {
  lastHandler = 2;
  return 0;
}

// "PWQJIP" and "OYPJION" share a quick CRC; their lengths tell them apart.
TEST_F(CommandTableTest, SharedQuickCrcOfAnotherLengthIsLoggedAndBothWork) {
  std::string log = TestStartLog(DEBUG_FILE);
  CommandRegister("PWQJIP", CmdTestA);
  CommandRegister("OYPJION", CmdTestB);
  EXPECT_NE(std::string::npos, TestReadFile(log).find("Matching quick CRC's (PWQJIP) and (OYPJION)\r\n"));
  EXPECT_EQ(std::vector<std::string>({"OYPJION", "PWQJIP"}), TableKeywords());
  InstallScript *script = TestMakeScript("");
  char args[] = "";
  int32_t consumed = 99;
  EXPECT_EQ(1, CommandExecute("pwqjip", script, args, &consumed));
  EXPECT_EQ(1, lastHandler);
  EXPECT_EQ(5, consumed);
  consumed = 99;
  EXPECT_EQ(0, CommandExecute("OYPJION", script, args, &consumed));
  EXPECT_EQ(2, lastHandler);
  EXPECT_EQ(0, consumed);
  EXPECT_EQ(0, CommandExecute("PWQJI", script, args, &consumed));
  ScriptFree(&script);
}

TEST_F(CommandTableTest, BreakAnswersZeroAndConsumesNothing) {
  InstallScript *script = TestMakeScript("");
  char args[] = "rest\r\n";
  int32_t consumed = 7;
  EXPECT_EQ(0, CmdBreak(script, args, &consumed));
  EXPECT_EQ(0, consumed);
  ScriptFree(&script);
}

TEST(CommandTableDeath, RegisteringTwiceIsFatalAfterTheLogLine) {
  std::string log = TestStartLog(DEBUG_FILE);
  EXPECT_EXIT(
      {
        CommandRegister("FONT", CmdTestA);
        CommandRegister("FONT", CmdTestA);
      },
      testing::ExitedWithCode(1), "Matching lengths failure \\(4\\)");
  EXPECT_NE(std::string::npos, TestReadFile(log).find("Matching quick CRC's (FONT) and (FONT)\r\n"));
  TestStopLog();
}

TEST(CommandTableDeath, KeywordOfFortyCharactersIsFatal) {
  std::string keyword(40, 'K');
  EXPECT_EXIT(CommandRegister(keyword.c_str(), CmdTestA), testing::ExitedWithCode(1),
              "Command keyword too long \\(K+\\) \\(40 > 40\\)");
}

}  // namespace

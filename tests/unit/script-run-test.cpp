// The run loop: how the walk finds commands, reads keywords, resumes after
// each handler, pauses at BREAK, stops at failures and unknown keywords.
#include <gtest/gtest.h>
#include <string.h>

#include "script-run.h"
#include "command.h"
#include "script-reader.h"
#include "script-test-support.h"
#include "script.h"
#include "test-support.h"
#include "vantor-core.h"

namespace {

typedef std::vector<std::string> Calls;

class ScriptRunTest : public testing::Test {
 protected:
  void SetUp() override {
    TestRegisterKeywords();
    TestWatchBoxes();
  }
  void TearDown() override {
    if (script) ScriptFree(&script);
    CommandsRemove();
    TestStopLog();
  }
  // Loads text and runs it once without a window.
  int Run(const std::string &text) {
    script = TestMakeScript(text);
    return ScriptRun(script);
  }
  size_t CursorOffset() const { return (size_t)(script->cursor - script->text); }

  InstallScript *script = nullptr;
};

TEST_F(ScriptRunTest, CommandsRunInOrderAndLowerCaseKeywordsMatch) {
  EXPECT_EQ(1, Run(MARK "ONE:first\r\n" MARK "two:a" MARK "b\r\n" MARK "company name:Acme\r\n"));
  EXPECT_EQ(Calls({"ONE(first)", "TWO(a|b)", "COMPANY NAME(Acme)"}), testCalls);
  EXPECT_EQ((size_t)script->textLength, CursorOffset());
  EXPECT_EQ(0, TestBoxCount());
}

TEST_F(ScriptRunTest, ArgumentsKeepTheirBlanksAndHighBytes) {
  EXPECT_EQ(1, Run(MARK "ONE:  two blanks \xE9\xFF \r\n" MARK "ONE:\r\n"));
  EXPECT_EQ(Calls({"ONE(  two blanks \xE9\xFF )", "ONE()"}), testCalls);
}

// Each of these keywords is unknown: the run stops on its mark with the box.
TEST_F(ScriptRunTest, UnknownKeywordsStopWithTheBox) {
  struct Case {
    std::string text, keyword;
    bool last;  // nothing may follow it
  } cases[] = {
      {MARK "COMPANY  NAME:x\r\n", "COMPANY  NAME", false},
      {MARK "COMPANY NAME :x\r\n", "COMPANY NAME ", false},
      {MARK ":x\r\n", "", false},
      {MARK + std::string(45, 'A') + ":x\r\n", std::string(39, 'A'), false},
      {MARK "ONEX:x\r\n", "ONEX", false},
      {MARK "ONE", "ONE", true},  // runs to the end of the text without a colon
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.keyword);
    std::string log = TestStartLog(DEBUG_FILE);
    std::string text = MARK "ONE:before\r\n" + c.text + (c.last ? "" : MARK "ONE:after\r\n");
    TestWatchBoxes();
    testCalls.clear();
    EXPECT_EQ(0, Run(text));
    EXPECT_EQ(Calls({"ONE(before)"}), testCalls);
    EXPECT_EQ(1, TestBoxCount());
    EXPECT_EQ(c.keyword, TestLastBoxText());
    EXPECT_EQ("Unknown script keyword...", TestLastBoxCaption());
    EXPECT_EQ(13u, CursorOffset());  // on the unknown command's mark
    EXPECT_NE(std::string::npos, TestReadFile(log).find("Unknown command '" + c.keyword + "'\r\n"));
    ScriptFree(&script);
  }
}

int CmdTestLong(InstallScript *, char *, int32_t *) {
  testCalls.push_back("LONG");
  return 1;
}

TEST_F(ScriptRunTest, KeywordOfThirtyNineBytesIsReadWhole) {
  std::string keyword(39, 'K');
  CommandRegister(keyword.c_str(), CmdTestLong);
  EXPECT_EQ(1, Run(MARK + keyword + ":\r\n" MARK "ONE:later\r\n"));
  EXPECT_EQ(Calls({"LONG", "ONE(later)"}), testCalls);
}

TEST_F(ScriptRunTest, TabEndsTheArgumentAndTheRestIsSkipped) {
  EXPECT_EQ(1, Run(MARK "ONE:ab\tcd\r\n" MARK "ONE:x\r\n"));
  EXPECT_EQ(Calls({"ONE(ab)", "ONE(x)"}), testCalls);
  EXPECT_EQ(0, TestBoxCount());
}

TEST_F(ScriptRunTest, TextOutsideCommandsIsIgnored) {
  EXPECT_EQ(1, Run("ONE:no mark\r\nfree text\r\n" MARK "ONE:marked\r\nONE:again no mark\r\n"));
  EXPECT_EQ(Calls({"ONE(marked)"}), testCalls);
}

TEST_F(ScriptRunTest, TwoByteSeparatorsShiftTheFields) {
  EXPECT_EQ(1, Run(MARK "TWO:a\r\nb\r\n" MARK "ONE:next\r\n"));
  EXPECT_EQ(Calls({"TWO(a|)", "ONE(next)"}), testCalls);
  testCalls.clear();
  ScriptFree(&script);
  EXPECT_EQ(1, Run(MARK "NINE:1\r\nArial\r\n0\r\n.1\r\n.5\r\n.5\r\n1,2,3\r\nBOLD\r\nHello\r\n"));
  EXPECT_EQ(Calls({"NINE(1||Arial||0||.1||.5)"}), testCalls);
}

TEST_F(ScriptRunTest, OneArgumentCommandGivenMoreArguments) {
  EXPECT_EQ(0, Run(MARK "ONE:a" MARK "b" MARK "c\r\n" MARK "ONE:d\r\n"));
  // "b" is skipped unread; "c" follows a mark and is taken for a keyword
  EXPECT_EQ(Calls({"ONE(a)"}), testCalls);
  EXPECT_EQ("c\r\n" MARK "ONE", TestLastBoxText());
}

TEST_F(ScriptRunTest, CountingTheEndByteSkipsLineEnds) {
  EXPECT_EQ(1, Run(MARK "LIST:a,b\r\n" MARK "NINE:1" MARK "2" MARK "3" MARK "4" MARK "5" MARK "6" MARK "7" MARK "8"
                   MARK "9\r\n" MARK "ONE:x\r\n"));
  EXPECT_EQ(Calls({"LIST(a,b)", "NINE(1|2|3|4|5|6|7|8|9)", "ONE(x)"}), testCalls);
}

TEST_F(ScriptRunTest, SingleByteLineEndAfterCountedEndSkipsTheNextCommand) {
  EXPECT_EQ(1, Run(MARK "LIST:a,b\r" MARK "ONE:skipped\r\n" MARK "ONE:runs\r\n"));
  EXPECT_EQ(Calls({"LIST(a,b)", "ONE(runs)"}), testCalls);
}

TEST_F(ScriptRunTest, CommandCutShortByTheEndOfTheText) {
  EXPECT_EQ(1, Run(MARK "NINE:1" MARK "Arial"));
  EXPECT_EQ(Calls({"NINE(1|Arial|||||||)"}), testCalls);
  ScriptFree(&script);
  testCalls.clear();
  EXPECT_EQ(1, Run(MARK "ONE:"));
  EXPECT_EQ(Calls({"ONE()"}), testCalls);
  EXPECT_EQ((size_t)script->textLength, CursorOffset());
}

// A NUL where a separator stands is stepped over like any byte; the walk
// then resumes behind the whole command.
TEST_F(ScriptRunTest, NulBetweenArgumentsIsSteppedOver) {
  EXPECT_EQ(1, Run(std::string(MARK "TWO:a\0b\r\n" MARK "ONE:c\r\n" MARK "NINE:1\0", 26)));
  EXPECT_EQ(Calls({"TWO(a|b)", "ONE(c)", "NINE(1||||||||)"}), testCalls);
  EXPECT_EQ((size_t)script->textLength, CursorOffset());
}

TEST_F(ScriptRunTest, BreakPausesAndTheNextRunGoesOn) {
  std::string log = TestStartLog(DEBUG_FILE);
  EXPECT_EQ(SCRIPT_BREAK, Run(MARK "ONE:a\r\n" MARK "break:\r\n" MARK "ONE:b\r\n" MARK "BREAK:\r\n"));
  EXPECT_EQ(Calls({"ONE(a)"}), testCalls);
  EXPECT_EQ(15u, CursorOffset());  // the first byte of BREAK's argument text
  EXPECT_EQ(SCRIPT_BREAK, ScriptRun(script));
  EXPECT_EQ(Calls({"ONE(a)", "ONE(b)"}), testCalls);
  EXPECT_EQ(SCRIPT_END, ScriptRun(script));
  EXPECT_EQ((size_t)script->textLength, CursorOffset());
  std::string text = TestReadFile(log);
  EXPECT_NE(std::string::npos, text.find("Break Encountered\r\nBreak Encountered\r\nCompany Name   : \r\n"));
}

TEST_F(ScriptRunTest, FailedCommandIsRetriedFromItsOwnMark) {
  std::string log = TestStartLog(DEBUG_FILE);
  EXPECT_EQ(0, Run(MARK "ONE:a\r\n" MARK "FAIL:\r\n" MARK "ONE:b\r\n"));
  EXPECT_EQ(Calls({"ONE(a)", "FAIL"}), testCalls);
  EXPECT_EQ(8u, CursorOffset());
  EXPECT_EQ(1, script->installSize);
  EXPECT_NE(std::string::npos, TestReadFile(log).find("Command Failed 'FAIL'\r\n"));
  EXPECT_EQ(1, ScriptRun(script));
  EXPECT_EQ(Calls({"ONE(a)", "FAIL", "FAIL", "ONE(b)"}), testCalls);
  EXPECT_EQ(2, script->installSize);  // the retry saw what the failed attempt left
}

TEST_F(ScriptRunTest, EndOfTextLogsTheSummaryEveryRun) {
  std::string log = TestStartLog(DEBUG_FILE);
  EXPECT_EQ(1, Run(""));
  strcpy(script->companyName, "Acme");
  strcpy(script->productName, "Widget");
  script->fileCount = 3;
  strcpy(script->installPath, "C:\\Program Files\\");
  strcpy(script->installDir, "Widget\\");
  EXPECT_EQ(1, ScriptRun(script));
  std::string text = TestReadFile(log);
  EXPECT_NE(std::string::npos, text.find("Company Name   : \r\nProduct Name   : \r\nFile Count     : 0\r\n"
                                         "Install Path   :  []\r\n"));
  EXPECT_NE(std::string::npos, text.find("Company Name   : Acme\r\nProduct Name   : Widget\r\n"
                                         "File Count     : 3\r\nInstall Path   : C:\\Program Files\\ [Widget\\]\r\n"));
}

// A handler that reports more than there is cannot send the walk past the end.
int CmdTestOverrun(InstallScript *, char *, int32_t *consumed) {
  *consumed = 1 << 30;
  return 1;
}

TEST_F(ScriptRunTest, ConsumedBeyondTheTextEndsTheRun) {
  CommandRegister("OVER", CmdTestOverrun);
  EXPECT_EQ(1, Run(MARK "OVER:\r\n" MARK "ONE:x\r\n"));
  EXPECT_TRUE(testCalls.empty());
  EXPECT_EQ((size_t)script->textLength, CursorOffset());
}

}  // namespace

namespace {

// Every block of the record goes back with the size it was taken with (a
// wrong size is fatal), fonts included.
TEST(ScriptFree, ReleasesTheRecordWithItsTables) {
  MemoryCounters before, after;
  MemoryGetCounters(&before);
  InstallScript *script = TestMakeScript(MARK "TEXT:x\r\n");
  script->stringCount = 3;
  script->strings = (ScreenString *)MEM_ALLOC(3 * (int)sizeof(ScreenString));
  script->fontCount = 2;
  script->fonts = (ScriptFont *)MEM_ALLOC(2 * (int)sizeof(ScriptFont));
  strcpy(script->fonts[0].fileName, "SCRIPT-FREE-A.TTF");
  strcpy(script->fonts[1].fileName, "SCRIPT-FREE-B.TTF");
  EXPECT_EQ(1, ScriptFree(&script));
  EXPECT_EQ(nullptr, script);
  MemoryGetCounters(&after);
  EXPECT_EQ(before.count, after.count);
  EXPECT_EQ(before.bytes, after.bytes);
}

}  // namespace

// The reader the run, the look-ups and the builder share: a command's line
// holds the marks of its values and ends at the first other control byte; a
// mark whose keyword has no colon before the end is reported with its place;
// a keyword asked for by name matches only as written.
TEST(ScriptReader, LinesSpanTheirMarksAndKeywordsMatchAsWritten) {
  const std::string text = "x\x16" "ADD ITEM:a\x16" "b\r\n\x16" "FILE LIST:c\t\x16" "DONE";
  const char *begin = text.data(), *end = begin + text.size();
  ScriptCommand c;
  ASSERT_EQ(1, ScriptNextCommand(begin, end, &c));
  EXPECT_STREQ("ADD ITEM", c.keyword);
  EXPECT_EQ("a\x16" "b", std::string(c.args, c.argsEnd));
  EXPECT_EQ("a", std::string(c.args, ScriptArgEnd(c.args, c.argsEnd)));
  ASSERT_EQ(1, ScriptNextCommand(c.argsEnd, end, &c));
  EXPECT_EQ("c", std::string(c.args, c.argsEnd));
  EXPECT_EQ(0, ScriptNextCommand(c.argsEnd, end, &c));
  ASSERT_NE(nullptr, c.mark);
  EXPECT_STREQ("DONE", c.keyword);
  EXPECT_EQ(0, ScriptNextCommand(c.mark + 1, end, &c));
  EXPECT_EQ(nullptr, c.mark);
  const char *list = strstr(begin, "\x16" "FILE");
  EXPECT_EQ(list + 11, ScriptArgsOf(list, end, "FILE LIST"));
  EXPECT_EQ(nullptr, ScriptArgsOf(list, end, "FILE"));
  EXPECT_EQ(nullptr, ScriptArgsOf(list, end, "file list"));
  EXPECT_EQ(nullptr, ScriptArgsOf(list, list + 10, "FILE LIST"));
}

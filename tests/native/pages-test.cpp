// The text pages, NOTEPAD and the progress window, driven by the scripted
// user over page texts read as plain files (or from a mounted archive).
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

#include "archive-writer.h"
#include "commands-test-support.h"
#include "command.h"
#include "dialog-standin.h"
#include "dialog-sys.h"
#include "ffs.h"
#include "dialog-test-support.h"
#include "pages-standin.h"
#include "pages.h"
#include "script.h"
#include "process-standin.h"
#include "test-support.h"
#include "exit-codes.h"
#include "interact.h"
#include "run.h"
#include "switches.h"
#include "vantor-core.h"
#include "vantor-str.h"

namespace {

std::string Shown(const std::string &text) {
  std::string out(2 * text.size() + 1, '?');
  uint32_t length = PageLineEnds(text.c_str(), &out[0]);
  EXPECT_EQ(length, PageLineEnds(text.c_str(), NULL));
  EXPECT_EQ(0, out[length]);
  return out.substr(0, length);
}

// Pages show every line as the file has it, whatever ends it.
TEST(PageLineEnds, EveryLineEndBecomesOneCrLf) {
  EXPECT_EQ("GNU GENERAL PUBLIC LICENSE\r\nVersion 3\r\n\r\nx", Shown("GNU GENERAL PUBLIC LICENSE\nVersion 3\n\nx"));
  EXPECT_EQ("a\r\nb\r\n\r\nc\r\n", Shown("a\r\nb\r\n\r\nc\r\n"));  // CR LF stays
  EXPECT_EQ("a\r\nb\r\nc\r\nd", Shown("a\nb\r\nc\rd"));           // mixed
  EXPECT_EQ("a\r\nb", Shown("a\r\r\nb"));                           // a doubled CR is one end
  EXPECT_EQ("x\t\ty \xE9", Shown("x\t\ty \xE9"));
  EXPECT_EQ("", Shown(""));
}

// ---- Pages ---------------------------------------------------------------

class Pages : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(DialogTestFresh());
    PagesStandInReset();
    FfsRemove();
    log = TestStartLog(DEBUG_FILE);
    MemoryGetCounters(&before);
    owner = DialogStandInCreateWindow(NULL, 0, 0, 1024, 768);
    script = InstallScript();
    script.window = owner;
  }
  void TearDown() override {
    FfsRemove();
    MemoryCounters after;
    MemoryGetCounters(&after);
    EXPECT_EQ(before.count, after.count);
    EXPECT_EQ(before.bytes, after.bytes);
    TestStopLog();
    TestRemoveFile(log);
    for (const std::string &f : files) TestRemoveFile(f);
    PagesStandInReset();
    DialogTestDone();
  }
  std::string Write(const std::string &name, const std::string &text) {
    FILE *f = fopen(name.c_str(), "wb");
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
    files.push_back(name);
    return name;
  }
  int Run(CommandHandler handler, const std::string &line) {
    args = line + "\r\n\x16" "NEXT:";
    consumed = 0;
    return handler(&script, &args[0], &consumed);
  }
  DialogStandInWindow Page() { return DialogTestWindow(DialogStandInDialog(DialogStandInDialogCount() - 1)); }
  std::string Log() { return TestReadFile(log); }

  std::string log;
  MemoryCounters before;
  void *owner;
  InstallScript script;
  std::string args;
  int32_t consumed;
  std::vector<std::string> files;
};

TEST_F(Pages, ContinueOnTheMessagePageGoesOn) {
  Write("welcome.txt", "Welcome to the\r\nproduct.\r\n\r\nEnjoy.");
  // As the system gives the text box the focus: all selected first.
  DialogStandInQueueCall(
      [](void *dialog, void *) {
        DialogSendItem(dialog, 1013, DIALOG_EM_SETSEL, 0, (intptr_t)-1);
        DialogSend(dialog, DIALOG_WM_COMMAND, DIALOG_MAKE_PARAM(1013, DIALOG_EN_SETFOCUS), 0);
      },
      NULL);
  DialogStandInQueuePress(1);
  EXPECT_EQ(1, Run(CmdMessage, "welcome.txt"));
  EXPECT_EQ(11, consumed);
  DialogStandInWindow page = Page();
  EXPECT_EQ(1003, page.templateId);
  EXPECT_EQ(owner, page.owner);
  EXPECT_STREQ("Welcome...", page.caption);
  DialogStandInControl text = DialogTestControl(DialogStandInFind(1003), 1013);
  EXPECT_STREQ("Welcome to the\r\nproduct.\r\n\r\nEnjoy.", text.text);
  EXPECT_EQ(0, text.selectionEnd);        // nothing selected
  EXPECT_EQ(0, text.caret);               // seen from its first line
  EXPECT_EQ(34 + 10, text.limit);         // the stored size and ten
  EXPECT_EQ((1024 - page.rect.right + page.rect.left) / 2, page.rect.left);  // centred on the desktop
  EXPECT_EQ((768 - page.rect.bottom + page.rect.top) / 2, page.rect.top);
  EXPECT_EQ(0, DialogStandInPendingActions());
}

TEST_F(Pages, EveryOtherWayOffTheMessagePageFails) {
  Write("welcome.txt", "hello");
  RunBegin("");
  DialogStandInQueuePress(2);  // "Exit Setup"
  EXPECT_EQ(0, Run(CmdMessage, "welcome.txt"));
  EXPECT_EQ(EXIT_CANCELLED, script.failure);  // the person's answer, not a fault
  DialogStandInQueueClose();   // system menu or Alt+F4
  EXPECT_EQ(0, Run(CmdMessage, "welcome.txt"));
  DialogStandInQueueEscape();
  EXPECT_EQ(0, Run(CmdMessage, "welcome.txt"));
  DialogStandInQueueEnter();   // "Continue" is the default
  EXPECT_EQ(1, Run(CmdMessage, "welcome.txt"));
  EXPECT_EQ(4, DialogStandInDialogCount());
  for (int i = 0; i < 4; i++) EXPECT_FALSE(DialogTestWindow(DialogStandInDialog(i)).abandoned);
}

TEST_F(Pages, TheAgreementIsAcceptedOnlyByItsButton) {
  Write("licence.txt", "Terms.");
  DialogStandInQueuePress(1);  // "I Accept"
  EXPECT_EQ(1, Run(CmdAgreement, "licence.txt"));
  EXPECT_EQ(1002, Page().templateId);
  EXPECT_STREQ("End User Agreement...", Page().caption);
  EXPECT_STREQ("Terms.", DialogStandInControlText(DialogStandInFind(1002), 1012));
  DialogStandInQueuePress(2);  // "I Do Not Accept"
  EXPECT_EQ(0, Run(CmdAgreement, "licence.txt"));
  DialogStandInQueueEnter();   // the default declines
  EXPECT_EQ(0, Run(CmdAgreement, "licence.txt"));
  DialogStandInQueueClose();
  EXPECT_EQ(0, Run(CmdAgreement, "licence.txt"));
}

TEST_F(Pages, ThePromptIsACaptionForOnePageOnly) {
  Write("welcome.txt", "hello");
  StrCopyN(script.prompt, "Welcome to Widgets 2.0", sizeof script.prompt);
  DialogStandInQueuePress(2);
  EXPECT_EQ(0, Run(CmdMessage, "welcome.txt"));  // used up even when declined
  EXPECT_STREQ("Welcome to Widgets 2.0", Page().caption);
  EXPECT_STREQ("", script.prompt);
  DialogStandInQueuePress(1);
  EXPECT_EQ(1, Run(CmdAgreement, "welcome.txt"));
  EXPECT_STREQ("End User Agreement...", Page().caption);

  StrCopyN(script.prompt, "Licence", sizeof script.prompt);
  EXPECT_EQ(0, Run(CmdAgreement, "missing.txt"));  // used up though no page opened
  EXPECT_STREQ("", script.prompt);
}

TEST_F(Pages, ALongCaptionIsCutTo79Characters) {
  Write("welcome.txt", "hello");
  std::string caption(159, 'c');
  StrCopyN(script.prompt, caption.c_str(), sizeof script.prompt);
  DialogStandInQueuePress(1);
  EXPECT_EQ(1, Run(CmdMessage, "welcome.txt"));
  EXPECT_EQ(std::string(79, 'c'), Page().caption);
}

TEST_F(Pages, AMissingTextShowsNoPage) {
  DialogStandInQueuePress(1);
  EXPECT_EQ(0, Run(CmdMessage, "missing.txt"));
  EXPECT_EQ(0, Run(CmdAgreement, "missing.txt"));
  EXPECT_EQ(0, DialogStandInDialogCount());
  EXPECT_EQ(1, DialogStandInPendingActions());
  std::string text = Log();
  EXPECT_NE(std::string::npos, text.find("Unable to get size for 'missing.txt'\r\n"));
}

TEST_F(Pages, AnEmptyTextShowsAnEmptyPage) {
  Write("empty.txt", "");
  DialogStandInQueuePress(1);
  EXPECT_EQ(1, ShowMessagePage(NULL, "Empty", "empty.txt"));
  EXPECT_STREQ("", DialogStandInControlText(DialogStandInFind(1003), 1013));
  EXPECT_EQ(nullptr, Page().owner);  // the first run has no main window
}

TEST_F(Pages, AnEntryNameIsCutAt771Characters) {
  std::string name(900, 'n');
  EXPECT_EQ(0, Run(CmdMessage, name));
  EXPECT_EQ(900, consumed);
  EXPECT_NE(std::string::npos, Log().find("Unable to get size for '" + std::string(771, 'n') + "'\r\n"));
}

TEST_F(Pages, TextsComeFromTheMountedArchiveInAnyLetterCase) {
  ArchiveWriter writer;
  std::string error, body = "Archived\r\nwelcome.";
  ASSERT_TRUE(writer.Add("WELCOME.TXT", (const uint8_t *)body.data(), body.size(), ARCHIVE_RAW, &error)) << error;
  std::vector<uint8_t> stub(32, 'M'), out;
  ASSERT_TRUE(ArchiveWriteInstaller(stub, writer, &out, &error)) << error;
  Write("pages-archive.exe", std::string(out.begin(), out.end()));
  ASSERT_EQ(1, FfsInit("pages-archive.exe"));
  DialogStandInQueuePress(1);
  EXPECT_EQ(1, Run(CmdMessage, "welcome.txt"));
  EXPECT_STREQ("Archived\r\nwelcome.", DialogStandInControlText(DialogStandInFind(1003), 1013));
  EXPECT_EQ(0, Run(CmdMessage, "other.txt"));
  EXPECT_NE(std::string::npos, Log().find("Unable to get size for 'other.txt'\r\n"));
  FfsRemove();
  std::vector<uint8_t> damaged = TestInstallerBytes({{"BAD.TXT", std::string(300, 'b')}}, "BAD.TXT");
  Write("pages-archive.exe", std::string(damaged.begin(), damaged.end()));
  ASSERT_EQ(1, FfsInit("pages-archive.exe"));
  EXPECT_EQ(0, Run(CmdMessage, "bad.txt"));
  EXPECT_EQ(0, Run(CmdAgreement, "bad.txt"));
  std::string log = Log();
  size_t first = log.find("Unable to load 'bad.txt'\r\n");
  ASSERT_NE(std::string::npos, first) << log;
  EXPECT_NE(std::string::npos, log.find("Unable to load 'bad.txt'\r\n", first + 1)) << log;
}

// ---- NOTEPAD ---------------------------------------------------------------

TEST_F(Pages, NotepadStartsTheEditorFromTheWindowsDirectory) {
  StrCopyN(script.installPath, "C:\\Program Files\\Widgets\\", sizeof script.installPath);
  WinHelpersStandInSetWindowsDir("C:\\WINNT");
  EXPECT_EQ(1, Run(CmdNotepad, "readme.txt"));
  EXPECT_EQ(10, consumed);
  EXPECT_EQ(1, PagesStandInStartCount());
  EXPECT_STREQ("C:\\WINNT\\NOTEPAD.EXE", PagesStandInLastApplication());
  EXPECT_STREQ("NOTEPAD.EXE C:\\Program Files\\Widgets\\readme.txt", PagesStandInLastCommandLine());
  EXPECT_EQ(0, DialogStandInDialogCount());
}

TEST_F(Pages, NotepadFailsWhenTheEditorDoesNotStart) {
  PagesStandInFailNext(2);
  EXPECT_EQ(0, Run(CmdNotepad, "readme.txt"));
  EXPECT_NE(std::string::npos, Log().find("Failed to view textfile (2 0x00000002)\r\n"));
  EXPECT_EQ(1, Run(CmdNotepad, "readme.txt"));  // No to the abort question: tried again
}

TEST_F(Pages, NotepadRefusesACommandLineItWouldHaveToCut) {
  std::string name(255 - 12, 'x');  // "NOTEPAD.EXE " and the path: 255 characters
  EXPECT_EQ(1, ViewTextFile(name.c_str()));
  EXPECT_EQ(0, ViewTextFile((name + "y").c_str()));
  EXPECT_EQ(1, PagesStandInStartCount());
  EXPECT_NE(std::string::npos, Log().find("Failed to view textfile (206 0x000000CE)\r\n"));
  WinHelpersStandInSetWindowsDir(NULL);
  EXPECT_EQ(0, ViewTextFile("a.txt"));
  EXPECT_NE(std::string::npos, Log().find("Failed to view textfile (3 0x00000003)\r\n"));
  EXPECT_EQ(1, PagesStandInStartCount());
}

// ---- The progress window ---------------------------------------------------

class Progress : public Pages {
 protected:
  void TearDown() override {
    ProgressDestroy();
    Pages::TearDown();
  }
};

TEST_F(Progress, DoesNothingBeforeItExists) {
  EXPECT_EQ(nullptr, ProgressWindow());
  EXPECT_EQ(1, ProgressShow(1));
  EXPECT_EQ(1, ProgressSetPercent(50));
  EXPECT_EQ(1, ProgressDestroy());
  EXPECT_EQ(0, DialogStandInDialogCount());
}

TEST_F(Progress, IsCreatedHiddenShownOverItsOwnerAndAdvanced) {
  void *main = DialogStandInCreateWindow(NULL, 100, 0, 800, 600);
  EXPECT_EQ(1, ProgressCreate(NULL, main));
  void *window = ProgressWindow();
  ASSERT_NE(nullptr, window);
  DialogStandInWindow info = DialogTestWindow(window);
  EXPECT_EQ(117, info.templateId);
  EXPECT_EQ(main, info.owner);
  EXPECT_FALSE(info.visible);
  DialogStandInControl bar = DialogTestControl(window, 1012);
  EXPECT_EQ(0, bar.position);
  EXPECT_EQ(1000, bar.rangeHigh);

  EXPECT_EQ(1, ProgressShow(1));
  info = DialogTestWindow(window);
  EXPECT_TRUE(info.visible);
  int width = info.rect.right - info.rect.left, height = info.rect.bottom - info.rect.top;
  EXPECT_EQ(100 + (800 - width) / 2, info.rect.left);
  EXPECT_EQ((600 - height) / 2, info.rect.top);

  WinHelpersStandInPost(NULL, 0x000F, 0, 0);
  EXPECT_EQ(1, ProgressSetPercent(55.55));
  EXPECT_EQ(555, DialogTestControl(window, 1012).position);
  EXPECT_EQ(1, WinHelpersStandInDispatched());  // the windows were kept alive
  ProgressSetPercent(-3);
  EXPECT_EQ(0, DialogTestControl(window, 1012).position);
  ProgressSetPercent(150);
  EXPECT_EQ(1000, DialogTestControl(window, 1012).position);

  EXPECT_EQ(1, ProgressShow(0));
  EXPECT_FALSE(DialogTestWindow(window).visible);
  ProgressShow(1);
  EXPECT_EQ(1, ProgressShow(2));  // anything but 1 hides
  EXPECT_FALSE(DialogTestWindow(window).visible);

  EXPECT_EQ(1, ProgressDestroy());
  EXPECT_EQ(nullptr, ProgressWindow());
  EXPECT_FALSE(DialogTestWindow(window).alive);
}

TEST_F(Progress, WithoutAnOwnerItCentresOnTheDesktop) {
  ProgressCreate(NULL, NULL);
  ProgressShow(1);
  DialogStandInWindow info = DialogTestWindow(ProgressWindow());
  EXPECT_EQ((1024 - (info.rect.right - info.rect.left)) / 2, info.rect.left);
}

}  // namespace

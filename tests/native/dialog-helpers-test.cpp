// The window helpers' decisions, run over the stand-ins: centring
// arithmetic, the percentage clamp, the pump's stop rule, the backslash rule
// and the folder browser's answers.
#include <gtest/gtest.h>

#include <math.h>

#include <string>

#include "dialog-standin.h"
#include "dialog-sys.h"
#include "dialog-test-support.h"
#include "winhelpr-standin.h"
#include "winhelpr.h"

namespace {

class WindowHelpers : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(DialogTestFresh()); }
  void TearDown() override { DialogTestDone(); }
  DialogRect Rect(void *window) {
    DialogRect r = {};
    DialogGetRect(window, &r);
    return r;
  }
};

TEST_F(WindowHelpers, CentringTruncatesEachHalfDifferenceTowardZero) {
  void *parent = DialogStandInCreateWindow(NULL, 100, 40, 201, 101);
  void *narrow = DialogStandInCreateWindow(parent, 0, 0, 200, 100);
  void *wide = DialogStandInCreateWindow(parent, 0, 0, 300, 200);
  EXPECT_EQ(1, CenterWindow(narrow, parent));
  EXPECT_EQ(100, Rect(narrow).left);
  EXPECT_EQ(40, Rect(narrow).top);
  EXPECT_EQ(300, Rect(narrow).right);  // the size is kept
  EXPECT_EQ(1, CenterWindow(wide, parent));
  EXPECT_EQ(51, Rect(wide).left);    // 100 + (-99) / 2
  EXPECT_EQ(-9, Rect(wide).top);     // 40 + (-99) / 2
  EXPECT_EQ(351, Rect(wide).right);
}

TEST_F(WindowHelpers, CentringWithoutParentUsesTheDesktop) {
  DialogStandInSetDesktop(0, 0, 1024, 768);
  void *window = DialogStandInCreateWindow(NULL, 5, 5, 341, 303);
  CenterWindow(window, NULL);
  EXPECT_EQ(341, Rect(window).left);  // (1024 - 341) / 2
  EXPECT_EQ(232, Rect(window).top);   // (768 - 303) / 2
  void *unknown = (void *)&unknown;   // not a window: nothing moves, no crash
  EXPECT_EQ(1, CenterWindow(unknown, NULL));
  EXPECT_EQ(1, CenterWindow(window, unknown));
  EXPECT_EQ(341, Rect(window).left);
}

TEST_F(WindowHelpers, MoveWindowToKeepsTheSize) {
  void *window = DialogStandInCreateWindow(NULL, 10, 20, 30, 40);
  EXPECT_EQ(1, MoveWindowTo(window, -5, 7));
  DialogRect r = Rect(window);
  EXPECT_EQ(-5, r.left);
  EXPECT_EQ(7, r.top);
  EXPECT_EQ(25, r.right);
  EXPECT_EQ(47, r.bottom);
}

intptr_t Quiet(void *, uint32_t, uintptr_t, intptr_t) { return 0; }

TEST_F(WindowHelpers, ProgressBarRunsInTenthsOfAPercentAndIsClamped) {
  void *dialog = DialogCreate(NULL, 117, NULL, Quiet, 0);
  EXPECT_EQ(1, ProgressBarReset(dialog, 1012));
  DialogStandInControl bar = DialogTestControl(dialog, 1012);
  EXPECT_EQ(0, bar.position);
  EXPECT_EQ(0, bar.rangeLow);
  EXPECT_EQ(1000, bar.rangeHigh);
  struct {
    double percent;
    int position;
  } cases[] = {{55.55, 555}, {0.05, 0}, {100, 1000}, {150, 1000}, {-3, 0}, {0.1, 1},
               {99.99, 999}, {1e300, 1000}, {-1e300, 0}, {NAN, 0}};
  for (const auto &c : cases) {
    ProgressBarSetPercent(dialog, 1012, 50);
    EXPECT_EQ(1, ProgressBarSetPercent(dialog, 1012, c.percent));
    EXPECT_EQ(c.position, DialogTestControl(dialog, 1012).position) << c.percent;
  }
}

TEST_F(WindowHelpers, PumpStopsAtCloseAndQuitAndLeavesThemQueued) {
  WinHelpersStandInPost(NULL, 0x000F, 0, 0);
  WinHelpersStandInPost(NULL, 0x0400, 0, 0);
  WinHelpersStandInPost(NULL, DIALOG_WM_QUIT, 0, 0);
  WinHelpersStandInPost(NULL, 0x000F, 0, 0);
  EXPECT_EQ(1, PumpMessages());
  EXPECT_EQ(2, WinHelpersStandInDispatched());
  EXPECT_EQ((uint32_t)DIALOG_WM_QUIT, WinHelpersStandInFront());
  EXPECT_EQ(2, WinHelpersStandInQueued());
  PumpMessages();  // still waiting
  EXPECT_EQ(2, WinHelpersStandInDispatched());

  WinHelpersStandInReset();
  WinHelpersStandInPost(NULL, DIALOG_WM_CLOSE, 0, 0);
  PumpMessages();
  EXPECT_EQ(0, WinHelpersStandInDispatched());
  EXPECT_EQ((uint32_t)DIALOG_WM_CLOSE, WinHelpersStandInFront());
  WinHelpersStandInReset();
  EXPECT_EQ(1, PumpMessages());  // empty queue
}

int closes;
intptr_t CountCloses(void *, uint32_t message, uintptr_t, intptr_t) { return message == 0x0401 ? ++closes : 0; }

TEST_F(WindowHelpers, PumpedMessagesReachTheirDialog) {
  closes = 0;
  void *dialog = DialogCreate(NULL, 117, NULL, CountCloses, 0);
  WinHelpersStandInPost(dialog, 0x0401, 0, 0);
  WinHelpersStandInPost(dialog, 0x0401, 0, 0);
  PumpMessages();
  EXPECT_EQ(2, closes);
}

TEST_F(WindowHelpers, EditTextIsSelectedWholeAndLimited) {
  void *dialog = DialogCreate(NULL, 1001, NULL, Quiet, 0);
  EXPECT_EQ(1, DialogSetEditText(dialog, 1009, "C:\\Program Files\\", 320));
  DialogStandInControl edit = DialogTestControl(dialog, 1009);
  EXPECT_STREQ("C:\\Program Files\\", edit.text);
  EXPECT_EQ(0, edit.selectionStart);
  EXPECT_EQ(17, edit.selectionEnd);
  EXPECT_EQ(0, edit.caret);  // the view stays at the start
  EXPECT_EQ(320, edit.limit);
  char buffer[8] = "junk";
  EXPECT_EQ(1, DialogGetText(dialog, 1009, buffer, sizeof buffer));
  EXPECT_STREQ("C:\\Prog", buffer);  // cut to the buffer
  EXPECT_EQ(1, DialogGetText(dialog, 4711, buffer, sizeof buffer));
  EXPECT_STREQ("", buffer);
}

TEST_F(WindowHelpers, DirectoriesGetOneTrailingBackslash) {
  char buffer[64];
  WinHelpersStandInSetTempDir("C:\\WINDOWS\\TEMP");
  EXPECT_EQ(1, QueryTempDir(buffer, sizeof buffer));
  EXPECT_STREQ("C:\\WINDOWS\\TEMP\\", buffer);
  WinHelpersStandInSetTempDir("C:\\TMP\\");
  EXPECT_EQ(1, QueryTempDir(buffer, sizeof buffer));
  EXPECT_STREQ("C:\\TMP\\", buffer);
  WinHelpersStandInSetSystemDir("C:\\WINNT\\System32");
  EXPECT_EQ(1, QuerySystemDir(buffer, sizeof buffer));
  EXPECT_STREQ("C:\\WINNT\\System32\\", buffer);
  EXPECT_EQ(1, QueryWindowsDir(buffer, sizeof buffer));
  EXPECT_STREQ("C:\\WINDOWS\\", buffer);
}

TEST_F(WindowHelpers, ADirectoryThatIsMissingOrDoesNotFitLeavesTheBufferEmpty) {
  char buffer[9];
  WinHelpersStandInSetTempDir("C:\\TEMP1");  // 8 characters: no room for the backslash
  EXPECT_EQ(0, QueryTempDir(buffer, sizeof buffer));
  EXPECT_STREQ("", buffer);
  WinHelpersStandInSetTempDir("C:\\TEMP1\\");  // 9 characters: does not fit at all
  EXPECT_EQ(0, QueryTempDir(buffer, sizeof buffer));
  EXPECT_STREQ("", buffer);
  WinHelpersStandInSetTempDir("C:\\TEMP\\");
  EXPECT_EQ(1, QueryTempDir(buffer, sizeof buffer));
  WinHelpersStandInSetSystemDir(NULL);
  EXPECT_EQ(0, QuerySystemDir(buffer, sizeof buffer));
  EXPECT_STREQ("", buffer);
  WinHelpersStandInSetWindowsDir("");
  EXPECT_EQ(0, QueryWindowsDir(buffer, sizeof buffer));
}

TEST_F(WindowHelpers, FolderBrowserAnswersEndInABackslash) {
  void *owner = DialogStandInCreateWindow(NULL, 100, 100, 400, 300);
  char path[BROWSE_PATH_SIZE] = "";
  WinHelpersStandInQueueFolder("D:\\Games");
  EXPECT_EQ(1, BrowseForFolder(owner, "Please select the destination directory...", path));
  EXPECT_STREQ("D:\\Games\\", path);
  const WinHelpersStandInBrowse *browse = WinHelpersStandInLastBrowse();
  EXPECT_EQ(owner, browse->owner);
  EXPECT_STREQ("Please select the destination directory...", browse->title);
  EXPECT_STREQ("", browse->start);
  DialogRect r = {};
  DialogGetRect(browse->window, &r);  // the callback centred it over the owner
  EXPECT_EQ(140, r.left);
  EXPECT_EQ(50, r.top);

  WinHelpersStandInQueueFolder("C:\\");
  EXPECT_EQ(1, BrowseForFolder(owner, "t", path));
  EXPECT_STREQ("C:\\", path);
  EXPECT_STREQ("D:\\Games\\", WinHelpersStandInLastBrowse()->start);  // the start path is handed on
}

TEST_F(WindowHelpers, FolderBrowserCancelAndVirtualItemsGiveZero) {
  char path[BROWSE_PATH_SIZE] = "";
  WinHelpersStandInQueueFolder(NULL);
  EXPECT_EQ(0, BrowseForFolder(NULL, "t", path));
  WinHelpersStandInQueueFolder("");
  EXPECT_EQ(0, BrowseForFolder(NULL, "t", path));
  EXPECT_EQ(0, BrowseForFolder(NULL, "t", path));  // nothing queued: cancelled
  std::string longest(BROWSE_PATH_SIZE - 2, 'a');  // with the backslash it just fits
  WinHelpersStandInQueueFolder(longest.c_str());
  EXPECT_EQ(1, BrowseForFolder(NULL, "t", path));
  EXPECT_EQ(longest + "\\", path);
  EXPECT_EQ(4, WinHelpersStandInBrowseCount());
}

TEST_F(WindowHelpers, InitialisingStartsTheCommonControls) {
  int before = WinHelpersStandInCommonControls();
  EXPECT_EQ(1, WindowHelpersInit());
  EXPECT_EQ(before + 1, WinHelpersStandInCommonControls());
  EXPECT_EQ(1, WindowHelpersRemove());
}

}  // namespace

// The dialog templates as the resource script gives them (the style values
// are those the resource compiler produces from it), and the scripted user
// who plays a dialog from its queue.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog-standin.h"
#include "dialog-sys.h"
#include "dialog-test-support.h"

namespace {

const uint32_t PAGE_STYLE = 0x80C000C0;      // popup, caption, modal frame, font
const uint32_t PATH_STYLE = 0x80C800C0;      // the same with a system menu
const uint32_t TEXT_EDIT = 0x50A10804;       // multi-line, read-only, scroll bar, border, tab stop
const uint32_t LINE_EDIT = 0x50810080;       // auto-scroll, border, tab stop
const uint32_t BUTTON = 0x50010000;
const uint32_t DEFAULT_BUTTON = 0x50010001;

struct Expected {
  int id;
  const char *className;
  const char *text;
  uint32_t style;
  int x, y, width, height;
};

void ExpectTemplate(int id, int x, int y, int width, int height, uint32_t style, const char *font,
                    const std::vector<Expected> &controls) {
  DialogStandInTemplate t = {};
  ASSERT_TRUE(DialogStandInGetTemplate(id, &t)) << id;
  EXPECT_EQ(x, t.x) << id;
  EXPECT_EQ(y, t.y) << id;
  EXPECT_EQ(width, t.width) << id;
  EXPECT_EQ(height, t.height) << id;
  EXPECT_EQ(style, t.style) << id;
  EXPECT_STREQ(font, t.fontName) << id;
  EXPECT_EQ(8, t.fontSize) << id;
  ASSERT_EQ((int)controls.size(), t.controlCount) << id;
  for (int i = 0; i < t.controlCount; i++) {
    DialogStandInControl c = {};
    ASSERT_TRUE(DialogStandInGetTemplateControl(id, i, &c));
    const Expected &e = controls[(size_t)i];
    EXPECT_EQ(e.id, c.id) << id << " #" << i;
    EXPECT_STREQ(e.className, c.className) << id << " #" << i;
    EXPECT_STREQ(e.text, c.text) << id << " #" << i;
    EXPECT_EQ(e.style, c.style) << id << " #" << i << " " << std::hex << c.style;
    EXPECT_EQ(e.x, c.x) << id << " #" << i;
    EXPECT_EQ(e.y, c.y) << id << " #" << i;
    EXPECT_EQ(e.width, c.width) << id << " #" << i;
    EXPECT_EQ(e.height, c.height) << id << " #" << i;
  }
}

std::vector<int> TabOrder(int id) {
  std::vector<int> order;
  DialogStandInTemplate t = {};
  DialogStandInGetTemplate(id, &t);
  for (int i = 0; i < t.controlCount; i++) {
    DialogStandInControl c = {};
    DialogStandInGetTemplateControl(id, i, &c);
    if (c.style & DialogStandInStyle("WS_TABSTOP")) order.push_back(c.id);
  }
  return order;
}

class DialogTemplates : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(DialogTestFresh()); }
  void TearDown() override { DialogTestDone(); }
};

TEST_F(DialogTemplates, TextPagesHaveTheirTextButtonsAndDefaults) {
  ExpectTemplate(1003, 66, 50, 227, 186, PAGE_STYLE, "Helv",
                 {{1013, "EDIT", "", TEXT_EDIT, 5, 5, 215, 160},
                  {2, "BUTTON", "Exit Setup", BUTTON, 5, 170, 65, 13},
                  {1, "BUTTON", "Continue", DEFAULT_BUTTON, 155, 170, 65, 13}});
  ExpectTemplate(1002, 66, 50, 227, 186, PAGE_STYLE, "Helv",
                 {{1012, "EDIT", "", TEXT_EDIT, 5, 5, 215, 160},
                  {1, "BUTTON", "I Accept", BUTTON, 5, 170, 65, 13},
                  {2, "BUTTON", "I Do Not Accept", DEFAULT_BUTTON, 155, 170, 65, 13}});
  EXPECT_EQ(std::vector<int>({1013, 2, 1}), TabOrder(1003));
  EXPECT_EQ(std::vector<int>({1012, 1, 2}), TabOrder(1002));
}

TEST_F(DialogTemplates, ProgressWindowIsHiddenWithOneBar) {
  ExpectTemplate(117, 0, 0, 202, 21, PAGE_STYLE, "MS Sans Serif",
                 {{1012, "msctls_progress32", "", 0x50800000, 5, 5, 190, 10}});
  DialogStandInTemplate t = {};
  DialogStandInGetTemplate(117, &t);
  EXPECT_STREQ("Please wait while files are installed...", t.caption);
  EXPECT_EQ(0u, t.style & DialogStandInStyle("WS_VISIBLE"));
  EXPECT_EQ(0u, t.style & DialogStandInStyle("WS_SYSMENU"));
}

TEST_F(DialogTemplates, DestinationDialogKeepsItsControlOrder) {
  const uint32_t LEFT = 0x50020000, RIGHT = 0x50020002;
  ExpectTemplate(1001, 66, 50, 252, 101, PATH_STYLE, "Helv",
                 {{1009, "EDIT", "", LINE_EDIT, 15, 20, 180, 12},
                  {1010, "BUTTON", "Browse", BUTTON, 200, 20, 40, 12},
                  {2, "BUTTON", "Exit Setup", BUTTON, 5, 85, 65, 13},
                  {1, "BUTTON", "Continue", DEFAULT_BUTTON, 180, 85, 65, 13},
                  {-1, "BUTTON", "", 0x50000007, 5, 0, 240, 80},
                  {1015, "STATIC", "", LEFT, 15, 10, 225, 8},
                  {-1, "STATIC", "Free space before installation", LEFT, 15, 45, 105, 8},
                  {1011, "STATIC", "", RIGHT, 170, 45, 70, 8},
                  {-1, "STATIC", "Space used by application", LEFT, 15, 55, 105, 8},
                  {1012, "STATIC", "", RIGHT, 170, 55, 70, 8},
                  {-1, "STATIC", "Free space after installation", LEFT, 15, 65, 110, 8},
                  {1013, "STATIC", "", RIGHT, 170, 65, 70, 8}});
  EXPECT_EQ(std::vector<int>({1009, 1010, 2, 1}), TabOrder(1001));
}

TEST_F(DialogTemplates, RegistrationFormTabsThroughTheFieldsInOrder) {
  DialogStandInTemplate t = {};
  ASSERT_TRUE(DialogStandInGetTemplate(1004, &t));
  EXPECT_EQ(PAGE_STYLE, t.style);  // no system menu: no close box
  EXPECT_EQ(227, t.width);
  EXPECT_EQ(166, t.height);
  EXPECT_EQ(std::vector<int>({1014, 1016, 1017, 1018, 1019, 1023, 1020, 1015, 1022, 1021, 2, 1}), TabOrder(1004));
  struct Field {
    int id, x, y, width;
  } fields[] = {{1014, 10, 25, 65},  {1016, 80, 25, 135}, {1017, 10, 50, 205}, {1018, 10, 75, 75},
                {1019, 90, 75, 30},  {1023, 125, 75, 55}, {1020, 185, 75, 30}, {1015, 10, 100, 125},
                {1022, 140, 100, 75}, {1021, 10, 125, 205}};
  for (int i = 0; i < t.controlCount; i++) {
    DialogStandInControl c = {};
    DialogStandInGetTemplateControl(1004, i, &c);
    for (const Field &f : fields) {
      if (c.id != f.id) continue;
      EXPECT_EQ(LINE_EDIT, c.style) << c.id;
      EXPECT_EQ(f.x, c.x) << c.id;
      EXPECT_EQ(f.y, c.y) << c.id;
      EXPECT_EQ(f.width, c.width) << c.id;
      EXPECT_EQ(12, c.height) << c.id;
      DialogStandInControl label = {};  // the label stands right before its field, 10 units above
      ASSERT_TRUE(DialogStandInGetTemplateControl(1004, i - 1, &label));
      EXPECT_STREQ("STATIC", label.className) << c.id;
      EXPECT_EQ(f.x, label.x) << c.id;
      EXPECT_EQ(f.y - 10, label.y) << c.id;
      EXPECT_EQ(10, label.height) << c.id;
    }
  }
  DialogStandInControl box = {}, last = {};
  DialogStandInGetTemplateControl(1004, 0, &box);
  EXPECT_STREQ("Registration Information", box.text);
  DialogStandInGetTemplateControl(1004, t.controlCount - 1, &last);
  EXPECT_STREQ("Register Now!", last.text);
  EXPECT_EQ(DEFAULT_BUTTON, last.style);
}

// ---- The scripted user ---------------------------------------------------

struct Seen {
  std::vector<std::string> messages;
  int endOn = DIALOG_IDOK;  // the button that ends the dialog with its id
  bool handleClose = true;
};

Seen *seen;

intptr_t RecordingProc(void *dialog, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case DIALOG_WM_INITDIALOG: seen->messages.push_back("init " + std::to_string(lParam)); return 1;
    case DIALOG_WM_COMMAND:
      seen->messages.push_back("command " + std::to_string(DIALOG_COMMAND_ID(wParam)) + "/" +
                               std::to_string(DIALOG_COMMAND_CODE(wParam)));
      if (DIALOG_COMMAND_ID(wParam) == seen->endOn) DialogEnd(dialog, seen->endOn);
      return 1;
    case DIALOG_WM_CLOSE:
      seen->messages.push_back("close");
      if (!seen->handleClose) return 0;
      DialogEnd(dialog, 77);
      return 1;
    case DIALOG_WM_DESTROY: seen->messages.push_back("destroy"); return 0;
    default: return 0;
  }
}

class ScriptedUser : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(DialogTestFresh());
    seen = &record;
  }
  void TearDown() override { DialogTestDone(); }
  Seen record;
};

TEST_F(ScriptedUser, PlaysActionsUntilTheProcedureEndsTheDialog) {
  DialogStandInQueueText(1013, "typed");
  DialogStandInQueuePress(2);
  DialogStandInQueuePress(1);
  DialogStandInQueuePress(2);  // left for the next dialog
  EXPECT_EQ(1, DialogRun(1003, NULL, RecordingProc, 42));
  EXPECT_EQ(std::vector<std::string>({"init 42", "command 1013/768", "command 2/0", "command 1/0", "destroy"}),
            record.messages);
  EXPECT_EQ(1, DialogStandInPendingActions());
  void *page = DialogStandInFind(1003);
  EXPECT_STREQ("typed", DialogStandInControlText(page, 1013));
  DialogStandInWindow info = DialogTestWindow(page);
  EXPECT_TRUE(info.ended);
  EXPECT_FALSE(info.alive);
  EXPECT_FALSE(info.abandoned);
  EXPECT_EQ(1, info.result);
  EXPECT_STREQ("Welcome...", info.caption);  // the template's until the procedure sets one
}

TEST_F(ScriptedUser, EnterPressesTheTemplatesDefaultButtonAndEscapeCancels) {
  record.endOn = 2;
  DialogStandInQueueEnter();
  EXPECT_EQ(2, DialogRun(1002, NULL, RecordingProc, 0));  // "I Do Not Accept" is the default
  record.messages.clear();
  DialogStandInQueueEnter();
  DialogStandInQueueEscape();
  EXPECT_EQ(2, DialogRun(1003, NULL, RecordingProc, 0));
  EXPECT_EQ(std::vector<std::string>({"init 0", "command 1/0", "command 2/0", "destroy"}), record.messages);
}

TEST_F(ScriptedUser, ClosingAnUnhandledCloseClicksCancel) {
  record.handleClose = false;
  record.endOn = 2;
  DialogStandInQueueClose();
  EXPECT_EQ(2, DialogRun(1003, NULL, RecordingProc, 0));
  EXPECT_EQ(std::vector<std::string>({"init 0", "close", "command 2/0", "destroy"}), record.messages);
}

TEST_F(ScriptedUser, AnEmptyQueueClosesAndANeverEndingDialogIsAbandoned) {
  EXPECT_EQ(77, DialogRun(1003, NULL, RecordingProc, 0));
  EXPECT_FALSE(DialogTestWindow(DialogStandInFind(1003)).abandoned);
  record.handleClose = false;
  record.endOn = 0;
  EXPECT_EQ(0, DialogRun(1002, NULL, RecordingProc, 0));
  DialogStandInWindow info = DialogTestWindow(DialogStandInFind(1002));
  EXPECT_TRUE(info.abandoned);
  EXPECT_TRUE(info.ended);
}

TEST_F(ScriptedUser, ControlsATemplateLacksCannotBeUsed) {
  DialogStandInQueuePress(1010);
  DialogStandInQueueText(1009, "x");
  DialogStandInQueuePress(1);
  EXPECT_EQ(1, DialogRun(1003, NULL, RecordingProc, 0));
  EXPECT_EQ(2, DialogStandInMistakes());
  EXPECT_EQ(-1, DialogRun(4242, NULL, RecordingProc, 0));  // no such template: never called
  EXPECT_EQ(std::vector<std::string>({"init 0", "command 1/0", "destroy"}), record.messages);
}

struct Peek {
  std::string text;
  int visible = 0;
};

void PeekAtPage(void *dialog, void *data) {
  Peek *peek = (Peek *)data;
  peek->text = DialogStandInControlText(dialog, 1013);
  peek->visible = DialogTestWindow(dialog).visible;
}

intptr_t SettingProc(void *dialog, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == DIALOG_WM_INITDIALOG) DialogSetItemText(dialog, 1013, "from the procedure");
  return RecordingProc(dialog, message, wParam, lParam);
}

TEST_F(ScriptedUser, ACallLooksAtTheDialogMidWay) {
  Peek peek;
  DialogStandInQueueCall(PeekAtPage, &peek);
  DialogStandInQueuePress(1);
  EXPECT_EQ(1, DialogRun(1003, NULL, SettingProc, 0));
  EXPECT_EQ("from the procedure", peek.text);
  EXPECT_EQ(1, peek.visible);
  EXPECT_FALSE(DialogTestWindow(DialogStandInFind(1003)).visible);
}

// A dialog run from inside another takes the next actions; the outer one
// goes on with the rest.
intptr_t NestingProc(void *dialog, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == DIALOG_WM_COMMAND && DIALOG_COMMAND_ID(wParam) == 1010) {
    seen->messages.push_back("inner " + std::to_string(DialogRun(1003, dialog, RecordingProc, 7)));
    return 1;
  }
  return RecordingProc(dialog, message, wParam, lParam);
}

TEST_F(ScriptedUser, NestedDialogsShareTheQueueInOrder) {
  DialogStandInQueuePress(1010);
  DialogStandInQueuePress(1);  // ends the inner page
  DialogStandInQueuePress(1);  // ends the outer dialog
  EXPECT_EQ(1, DialogRun(1001, NULL, NestingProc, 0));
  EXPECT_EQ(std::vector<std::string>({"init 0", "init 7", "command 1/0", "destroy", "inner 1", "command 1/0",
                                      "destroy"}),
            record.messages);
  ASSERT_EQ(2, DialogStandInDialogCount());
  EXPECT_EQ(DialogStandInDialog(0), DialogTestWindow(DialogStandInDialog(1)).owner);
}

TEST_F(ScriptedUser, TypingIsCutAtTheControlsLimit) {
  DialogStandInQueueCall([](void *dialog, void *) { DialogSendItem(dialog, 1009, DIALOG_EM_LIMITTEXT, 4, 0); },
                         NULL);
  DialogStandInQueueText(1009, "C:\\LONGER");
  DialogStandInQueuePress(1);
  DialogRun(1001, NULL, RecordingProc, 0);
  EXPECT_STREQ("C:\\L", DialogStandInControlText(DialogStandInFind(1001), 1009));
}

TEST_F(ScriptedUser, ModelessDialogsFollowTheirTemplatesVisibility) {
  void *owner = DialogStandInCreateWindow(NULL, 0, 0, 800, 600);
  void *progress = DialogCreate(NULL, 117, owner, RecordingProc, 5);
  ASSERT_NE(nullptr, progress);
  DialogStandInWindow info = DialogTestWindow(progress);
  EXPECT_FALSE(info.visible);
  EXPECT_FALSE(info.modal);
  EXPECT_EQ(owner, DialogParent(progress));
  EXPECT_EQ(std::vector<std::string>({"init 5"}), record.messages);
  EXPECT_EQ(1, DialogDestroy(progress));
  EXPECT_EQ(0, DialogDestroy(progress));
  EXPECT_EQ("destroy", record.messages.back());
}

TEST_F(ScriptedUser, WithoutTemplatesDialogsStartBlank) {
  DialogStandInLoadTemplates(NULL);
  DialogStandInQueueText(5, "typed");
  DialogStandInQueueEnter();
  EXPECT_EQ(1, DialogRun(1003, NULL, RecordingProc, 0));
  EXPECT_STREQ("typed", DialogStandInControlText(DialogStandInFind(1003), 5));
  EXPECT_EQ(0, DialogStandInMistakes());
}

TEST_F(ScriptedUser, ABrokenScriptIsReportedAndLeavesNoTemplates) {
  EXPECT_EQ(0, DialogStandInLoadTemplates("no-such-script.rc"));
  DialogStandInTemplate t = {};
  EXPECT_FALSE(DialogStandInGetTemplate(1003, &t));
  FILE *f = fopen("broken.rc", "wb");
  fputs("7 DIALOG 0, 0, 10, 10\nBEGIN\n  WIDGET 1, 2, 3\nEND\n", f);
  fclose(f);
  EXPECT_EQ(0, DialogStandInLoadTemplates("broken.rc"));
  EXPECT_FALSE(DialogStandInGetTemplate(7, &t));
  remove("broken.rc");
}

}  // namespace

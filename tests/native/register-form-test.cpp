// REGISTER, the registration form and the retry loop, played by the scripted
// user of the dialog stand-in against the form's real template and a
// scripted mail server on the loopback host.
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dialog-test-support.h"
#include "registration.h"
#include "registry-standin.h"
#include "regmail-test-server.h"
#include "resources/resource-ids.h"
#include "socket-standin.h"
#include "socket.h"
#include "process-standin.h"
#include "process-sys.h"
#include "sysinfo-standin.h"
#include "test-support.h"
#include "vantor-core.h"
#include "vantor-str.h"

namespace {

const char *kQuestion = "Would you like to register electronically?";
const char *kRetry = "There was a problem sending your registration, would you like to try again?";
const char *kThanks = "Your registration has been successfully sent!  Thank you!";
const char *kSure = "Are you sure you don't want to register?";
const char *kFillIn = "All fields must be filled in.";
const char *kInvalid = "The email address appears to be invalid.";

struct Box {
  void *owner;
  std::string text, caption;
  uint32_t style;
};

// One answer per field, in the form's order.
std::vector<std::string> GoodAnswers() {
  return {"Jo", "Doe", "12 Main Street", "Springfield", "IL", "USA", "62701", "jo@isp.net", "555-123-4567",
          "A friend"};
}

class RegisterTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(DialogTestFresh());
    ASSERT_EQ(1, SocketInit());
    SocketStandInSetHostName("localhost");
    SysInfoStandInReset();
    RegistryStandInClear();
    memset(&script_, 0, sizeof script_);
    StrCopy(script_.companyName, "Acme");
    StrCopy(script_.productName, "Widget");
    script_.window = DialogStandInCreateWindow(NULL, 0, 0, 1024, 768);
    boxesBefore_ = SysStandInBoxCount();
    log_ = TestStartLog(DEBUG_FILE);
  }
  void TearDown() override {
    TestStopLog();
    EXPECT_EQ(0, DialogStandInPendingActions());
    EXPECT_EQ(0, DialogStandInMistakes());
    while (TestNextBoxAnswer(SYS_MB_OK) != SYS_IDOK) {  // no queued answer may be left over
      ADD_FAILURE() << "a box answer was not used";
    }
    DialogStandInReset();
    RegistryStandInClear();
    SocketStandInReset();
    SocketSetTimeout(SOCKET_TIMEOUT_DEFAULT);
    RegistrationSetMailPort(REGISTRATION_MAIL_PORT);
    EXPECT_EQ(1, SocketRemove());
  }

  // The scripted user types the answers into the form.
  static void Type(const std::vector<std::string> &answers) {
    for (int i = 0; i < REGISTRATION_FIELD_COUNT; i++)
      DialogStandInQueueText(RegistrationFields[i].id, answers[(size_t)i].c_str());
  }
  // Runs REGISTER with argument text args; returns its result.
  int Register(const std::string &args, int32_t *consumed) {
    std::vector<char> text(args.begin(), args.end());
    text.push_back('\r');
    text.push_back('\n');
    text.push_back(0);
    *consumed = -1;
    return CmdRegister(&script_, text.data(), consumed);
  }
  // The boxes shown since SetUp.
  std::vector<Box> Boxes() {
    std::vector<Box> out;
    for (int i = boxesBefore_; i < SysStandInBoxCount(); i++) {
      const SysBoxRecord *r = SysStandInBox(i);
      if (r != NULL) out.push_back({r->owner, r->text, r->caption, r->style});
    }
    return out;
  }
  std::vector<std::string> BoxTexts() {
    std::vector<std::string> out;
    for (const Box &b : Boxes()) out.push_back(b.text);
    return out;
  }
  // The boxes since SetUp are count boxes with text, the form's caption,
  // style and owner.
  void ExpectOnlyBoxes(size_t count, const char *text, uint32_t style, void *owner) {
    std::vector<Box> boxes = Boxes();
    ASSERT_EQ(count, boxes.size());
    for (const Box &b : boxes) {
      EXPECT_EQ(text, b.text);
      EXPECT_EQ(REGISTRATION_CAPTION, b.caption);
      EXPECT_EQ(style, b.style);
      EXPECT_EQ(owner, b.owner);
    }
  }
  std::string Log() { return TestReadFile(log_); }
  int Count(const std::string &text) {
    std::string log = Log();
    int n = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) n++;
    return n;
  }

  InstallScript script_;
  int boxesBefore_ = 0;
  std::string log_;
};

TEST_F(RegisterTest, NoToTheQuestionShowsAndSendsNothing) {
  StrCopy(script_.prompt, "Tag");
  TestQueueBoxAnswer(SYS_IDNO);
  int32_t consumed;
  EXPECT_EQ(1, Register("reg@localhost", &consumed));
  EXPECT_EQ(13, consumed);
  EXPECT_EQ(0, DialogStandInDialogCount());
  EXPECT_STREQ("", script_.prompt);
  std::vector<Box> boxes = Boxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(kQuestion, boxes[0].text);
  EXPECT_EQ("Registration...", boxes[0].caption);
  EXPECT_EQ(SYS_MB_YESNO | SYS_MB_ICONQUESTION, boxes[0].style);
  EXPECT_EQ(script_.window, boxes[0].owner);
  EXPECT_EQ("", Log());
}

TEST_F(RegisterTest, RegisteringMailsTheFormWithTheDefaultTagAndThanks) {
  SmtpTestServer server{SmtpScript()};
  RegistrationSetMailPort(server.Port());
  Type(GoodAnswers());
  DialogStandInQueueEnter();
  int32_t consumed;
  EXPECT_EQ(1, Register("reg@localhost", &consumed));
  std::string mail = server.Mail();
  EXPECT_EQ(0u, mail.find("From: <jo@isp.net>\r\nTo: <reg@localhost>\r\nSubject: [REG] Widget Registration\r\n"));
  EXPECT_NE(std::string::npos, mail.find("\r\nFIRST NAME:Jo\r\nLAST NAME:Doe\r\nADDRESS:12 Main Street\r\n"
                                         "CITY:Springfield\r\nSTATE:IL\r\nCOUNTRY:USA\r\nZIP:62701\r\n"
                                         "EMAIL:jo@isp.net\r\nPHONE:555-123-4567\r\nFINDOUT:A friend\r\n"));
  EXPECT_STREQ("", script_.prompt);
  std::vector<Box> boxes = Boxes();
  ASSERT_EQ(2u, boxes.size());
  EXPECT_EQ(kThanks, boxes[1].text);
  EXPECT_EQ(REGISTRATION_CAPTION, boxes[1].caption);
  EXPECT_EQ(SYS_MB_OK, boxes[1].style);
  EXPECT_EQ(script_.window, boxes[1].owner);
  std::string log = Log();
  EXPECT_EQ(0u, log.find("Send registration to 'reg@localhost'\r\nLooking up 'reg' at 'localhost'\r\n")) << log;

  DialogStandInWindow form = DialogTestWindow(DialogStandInFind(IDD_REGISTER));
  EXPECT_EQ(1, form.result);
  EXPECT_EQ(script_.window, form.owner);
}

TEST_F(RegisterTest, ATextLineBeforeSuppliesTheTag) {
  SmtpTestServer server{SmtpScript()};
  RegistrationSetMailPort(server.Port());
  StrCopy(script_.prompt, "WIDGET-2");
  Type(GoodAnswers());
  DialogStandInQueueEnter();
  int32_t consumed;
  EXPECT_EQ(1, Register("reg@localhost", &consumed));
  EXPECT_NE(std::string::npos, server.Mail().find("\r\nSubject: [WIDGET-2] Widget Registration\r\n"));
  EXPECT_STREQ("", script_.prompt);
}

TEST_F(RegisterTest, LongArgumentGivesItsFirst159Characters) {
  std::string address = std::string(170, 'r') + "@localhost";
  TestQueueBoxAnswer(SYS_IDYES);
  TestQueueBoxAnswer(SYS_IDNO);  // to the retry question
  Type(GoodAnswers());
  DialogStandInQueueEnter();
  int32_t consumed;
  EXPECT_EQ(1, Register(address, &consumed));
  EXPECT_EQ((int32_t)address.size(), consumed);
  EXPECT_NE(std::string::npos, Log().find("Send registration to '" + address.substr(0, 159) + "'\r\n"));
  EXPECT_NE(std::string::npos, Log().find("Unable to extract username from '" + address.substr(0, 159) + "'\r\n"));
}

void ExpectFormOpened(void *dialog, void *data) {
  void *owner = data;
  DialogStandInWindow form = DialogTestWindow(dialog);
  EXPECT_STREQ(REGISTRATION_CAPTION, form.caption);
  DialogRect parent;
  DialogGetRect(owner, &parent);
  int w = form.rect.right - form.rect.left, h = form.rect.bottom - form.rect.top;
  EXPECT_EQ(parent.left + (parent.right - parent.left - w) / 2, form.rect.left);
  EXPECT_EQ(parent.top + (parent.bottom - parent.top - h) / 2, form.rect.top);
  const RegistrationForm *answers = RegistrationGetForm();
  const RegistrationForm cleared = {};
  EXPECT_EQ(0, memcmp(&cleared, answers, sizeof cleared));
}

TEST_F(RegisterTest, FormOpensClearedAndCentredOverItsOwner) {
  void *owner = DialogStandInCreateWindow(NULL, 100, 50, 500, 400);
  StrCopy(RegistrationGetForm()->firstName, "left from before");
  DialogStandInQueueCall(ExpectFormOpened, owner);
  DialogStandInQueueClose();  // the system's close request ends it with 0
  EXPECT_EQ(0, RegistrationRun(owner, "reg@localhost", &script_));
  EXPECT_EQ(0u, Boxes().size());
  EXPECT_EQ("", Log());
  EXPECT_EQ(0, DialogTestWindow(DialogStandInFind(IDD_REGISTER)).result);
}

TEST_F(RegisterTest, ShortAnswerOrBadAddressKeepsTheFormOpen) {
  SmtpTestServer server{SmtpScript()};
  RegistrationSetMailPort(server.Port());
  std::vector<std::string> answers = GoodAnswers();
  answers[4] = "I";  // a one-letter state
  answers[7] = "not an address";
  Type(answers);
  DialogStandInQueueEnter();                                  // the state is checked first
  DialogStandInQueueText(IDC_REG_STATE, "IL");
  DialogStandInQueueEnter();                                  // then the address
  for (const char *bad : {"@bc.de", "a@b@c.de", "a@.bcde", "a@bcdef", "a b@cd.ef", "a@b.c"}) {
    DialogStandInQueueText(IDC_REG_EMAIL, bad);
    DialogStandInQueueEnter();
  }
  DialogStandInQueueText(IDC_REG_EMAIL, "a@bc.d");
  DialogStandInQueueEnter();
  EXPECT_EQ(1, RegistrationRun(script_.window, "reg@localhost", &script_));
  std::vector<std::string> expected = {kFillIn, kInvalid, kInvalid, kInvalid, kInvalid,
                                       kInvalid, kInvalid, kInvalid, kThanks};
  EXPECT_EQ(expected, BoxTexts());
  void *form = DialogStandInFind(IDD_REGISTER);
  std::vector<Box> boxes = Boxes();
  for (size_t i = 0; i + 1 < boxes.size(); i++) {
    EXPECT_EQ(form, boxes[i].owner);
    EXPECT_EQ(REGISTRATION_CAPTION, boxes[i].caption);
    EXPECT_EQ(SYS_MB_OK, boxes[i].style);
  }
  EXPECT_NE(std::string::npos, server.Mail().find("\r\nSTATE:IL\r\n"));
  EXPECT_NE(std::string::npos, server.Mail().find("\r\nEMAIL:a@bc.d\r\n"));
}

TEST_F(RegisterTest, EveryFieldIsChecked) {
  for (int i = 0; i < REGISTRATION_FIELD_COUNT; i++) {
    std::vector<std::string> answers = GoodAnswers();
    answers[(size_t)i] = "x";
    Type(answers);
    DialogStandInQueueEnter();
    DialogStandInQueueClose();
    EXPECT_EQ(0, RegistrationRun(script_.window, "reg@localhost", &script_)) << i;
    ASSERT_FALSE(Boxes().empty());
    EXPECT_EQ(kFillIn, Boxes().back().text) << i;
  }
}

TEST_F(RegisterTest, AnswersAreCutToTheirFields) {
  SmtpTestServer server{SmtpScript()};
  RegistrationSetMailPort(server.Port());
  std::vector<std::string> answers = GoodAnswers();
  answers[0] = std::string(100, 'f');
  answers[9] = std::string(400, 'o');
  Type(answers);
  DialogStandInQueueEnter();
  EXPECT_EQ(1, RegistrationRun(script_.window, "reg@localhost", &script_));
  EXPECT_EQ(std::string(79, 'f'), RegistrationGetForm()->firstName);
  EXPECT_EQ(std::string(319, 'o'), RegistrationGetForm()->findOut);
  EXPECT_NE(std::string::npos, server.Mail().find("\r\nFINDOUT:" + std::string(319, 'o') + "\r\n"));
}

TEST_F(RegisterTest, DontRegisterAsksFirst) {
  Type(GoodAnswers());
  DialogStandInQueuePress(DIALOG_IDCANCEL);
  TestQueueBoxAnswer(SYS_IDNO);  // the form stays, with its answers
  DialogStandInQueueCall(
      [](void *dialog, void *) {
        EXPECT_STREQ("Springfield", DialogStandInControlText(dialog, IDC_REG_CITY));
        EXPECT_EQ(0, DialogTestWindow(dialog).ended);
      },
      NULL);
  DialogStandInQueueEscape();  // Esc is "Don't Register" too
  TestQueueBoxAnswer(SYS_IDYES);
  EXPECT_EQ(0, RegistrationRun(script_.window, "reg@localhost", &script_));
  ExpectOnlyBoxes(2, kSure, SYS_MB_YESNO | SYS_MB_ICONQUESTION, DialogStandInFind(IDD_REGISTER));
  EXPECT_EQ("", Log());

  // Through the command: the script goes on, quietly.
  Type(GoodAnswers());
  DialogStandInQueuePress(DIALOG_IDCANCEL);
  int32_t consumed;
  EXPECT_EQ(1, Register("reg@localhost", &consumed));
  EXPECT_EQ(kSure, Boxes().back().text);
  EXPECT_EQ("", Log());
}

TEST_F(RegisterTest, EachYesToTheRetryQuestionIsAnotherAttempt) {
  RegistrationSetMailPort(TestFreePort());
  Type(GoodAnswers());
  DialogStandInQueueEnter();
  for (int answer : {SYS_IDYES, SYS_IDYES, SYS_IDYES, SYS_IDNO}) TestQueueBoxAnswer(answer);
  EXPECT_EQ(1, RegistrationRun(script_.window, "reg@127.0.0.1", &script_));
  EXPECT_EQ(4, Count("Contacting host 127.0.0.1:"));
  EXPECT_EQ(1, Count("Send registration to 'reg@127.0.0.1'\r\n"));
  EXPECT_EQ(0, Count("Mail Sent!"));
  ExpectOnlyBoxes(4, kRetry, SYS_MB_YESNO | SYS_MB_ICONQUESTION, script_.window);
  EXPECT_EQ(1, DialogStandInDialogCount());  // the form is not shown again
}

TEST_F(RegisterTest, ServerThatNeverAnswersEndsInTheRetryQuestion) {
  SocketSetTimeout(300);
  SmtpScript silent;
  silent.silent = true;
  SmtpTestServer server(silent);
  RegistrationSetMailPort(server.Port());
  Type(GoodAnswers());
  DialogStandInQueueEnter();
  TestQueueBoxAnswer(SYS_IDNO);
  EXPECT_EQ(1, RegistrationRun(script_.window, "reg@localhost", &script_));
  std::vector<std::string> expected = {kRetry};
  EXPECT_EQ(expected, BoxTexts());
  EXPECT_EQ(1, Count("Invalid header ''\r\n"));
}

TEST_F(RegisterTest, CloseRequestCarriesOnlyTheResultOne) {
  DialogStandInQueueCall([](void *dialog, void *) { DialogSend(dialog, DIALOG_WM_CLOSE, 7, 0); }, NULL);
  EXPECT_EQ(0, RegistrationRun(script_.window, "reg@localhost", &script_));
  EXPECT_EQ(0, DialogTestWindow(DialogStandInFind(IDD_REGISTER)).result);
}

// Only the form's own close after its checks passed ends it with 1: a close
// from elsewhere carrying 1, after Register Now! was refused, sends nothing.
TEST_F(RegisterTest, OutsideCloseWithOneEndsTheFormWithZero) {
  std::vector<std::string> answers = GoodAnswers();
  answers[0] = "x";
  Type(answers);
  DialogStandInQueueEnter();
  DialogStandInQueueCall([](void *dialog, void *) { DialogSend(dialog, DIALOG_WM_CLOSE, 1, 0); }, NULL);
  EXPECT_EQ(0, RegistrationRun(script_.window, "reg@localhost", &script_));
  EXPECT_EQ(0, DialogTestWindow(DialogStandInFind(IDD_REGISTER)).result);
  EXPECT_EQ(std::vector<std::string>{kFillIn}, BoxTexts());
  EXPECT_EQ(0, Count("Send registration to"));
}

}  // namespace

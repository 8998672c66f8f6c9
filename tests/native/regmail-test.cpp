// The registration mail against a scripted mail server on the loopback host:
// the whole conversation byte for byte, the machine facts, and every way an
// attempt fails with its log line.
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "registration.h"
#include "registry-standin.h"
#include "regmail-test-server.h"
#include "socket-standin.h"
#include "socket.h"
#include "sysinfo-standin.h"
#include "test-support.h"
#include "vantor-core.h"
#include "vantor-str.h"

namespace {

const char *kCpu = "Hardware\\Description\\System\\CentralProcessor\\0";
const char *kDisplay = "Display\\Settings";
const char *kOwner = "Software\\Microsoft\\Windows\\CurrentVersion";

class RegMailTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(1, SocketInit());
    SocketStandInSetHostName("localhost");
    SysInfoStandInReset();
    RegistryStandInClear();
    RegistryStandInSetText(REGROOT_LOCAL_MACHINE, kCpu, "Identifier", "x86 Family 6 Model 8");
    const unsigned char mhz[4] = {0xF4, 0x01, 0, 0};  // 500 as a number
    RegistryStandInSetValue(REGROOT_LOCAL_MACHINE, kCpu, "~MHz", REGISTRY_SYS_DWORD, mhz, 4);
    RegistryStandInSetText(REGROOT_LOCAL_MACHINE, kCpu, "MMXIdentifier", "MMX Supported");
    RegistryStandInSetText(REGROOT_LOCAL_MACHINE, kCpu, "VendorIdentifier", "GenuineIntel");
    RegistryStandInSetText(REGROOT_CURRENT_CONFIG, kDisplay, "Resolution", "1024,768");
    RegistryStandInSetText(REGROOT_CURRENT_CONFIG, kDisplay, "BitsPerPixel", "16");
    RegistryStandInSetText(REGROOT_LOCAL_MACHINE, kOwner, "RegisteredOwner", "Pat Doe");
    RegistryStandInSetText(REGROOT_LOCAL_MACHINE, kOwner, "RegisteredOrganization", "Doe & Co");

    memset(&script_, 0, sizeof script_);
    StrCopy(script_.companyName, "Acme");
    StrCopy(script_.productName, "Widget");
    StrCopy(script_.prompt, "REG");
    Fill(RegistrationGetForm());
    log_ = TestStartLog(DEBUG_FILE);
  }
  void TearDown() override {
    TestStopLog();
    EXPECT_EQ(0, RegistryStandInOpenKeys());
    RegistryStandInClear();
    SysInfoStandInReset();
    SocketStandInReset();
    SocketSetTimeout(SOCKET_TIMEOUT_DEFAULT);
    RegistrationSetMailPort(REGISTRATION_MAIL_PORT);
    EXPECT_EQ(1, SocketRemove());
  }
  static void Fill(RegistrationForm *form) {
    memset(form, 0, sizeof *form);
    StrCopy(form->firstName, "Jo");
    StrCopy(form->lastName, "Doe");
    StrCopy(form->address, "12 Main Street");
    StrCopy(form->city, "Springfield");
    StrCopy(form->state, "IL");
    StrCopy(form->country, "USA");
    StrCopy(form->zip, "62701");
    StrCopy(form->email, "jo@isp.net");
    StrCopy(form->phone, "555-123-4567");
    StrCopy(form->findOut, "A friend");
  }
  // One attempt to address against the server.
  int Send(SmtpTestServer &server, const char *address = "reg@localhost") {
    RegistrationSetMailPort(server.Port());
    return SendRegistrationMail(address, &script_);
  }
  std::string Log() { return TestReadFile(log_); }
  // A log text as the file holds it: every "\n" written as CR LF, also
  // those of the replies' own CR LF.
  static std::string InFile(const std::string &text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
  }
  bool Logged(const std::string &text) { return Log().find(InFile(text)) != std::string::npos; }
  // The body lines of a mail, from the first after the header to the last.
  static std::string Body(const std::string &mail) {
    size_t start = mail.find("\r\n\r\n");
    return start == std::string::npos ? "" : mail.substr(start + 4);
  }
  void ExpectFailureLogged(const std::string &line) {
    std::string log = Log();
    EXPECT_NE(std::string::npos, log.find(InFile(line))) << log;
    EXPECT_EQ(std::string::npos, log.find("Mail Sent!")) << log;
  }

  InstallScript script_;
  std::string log_;
};

TEST_F(RegMailTest, WholeConversationByteForByte) {
  SmtpTestServer server{SmtpScript()};
  ASSERT_EQ(1, Send(server));
  std::string expected =
      "VRFY reg\r\n"
      "MAIL From: <jo@isp.net>\r\n"
      "RCPT TO: <reg@localhost>\r\n"
      "DATA\r\n"
      "From: <jo@isp.net>\r\n"
      "To: <reg@localhost>\r\n"
      "Subject: [REG] Widget Registration\r\n"
      "X-Mailer: Acme Installer\r\n"
      "\r\n"
      "COMPANY:Acme\r\n"
      "PRODUCT:Widget\r\n"
      "FIRST NAME:Jo\r\n"
      "LAST NAME:Doe\r\n"
      "ADDRESS:12 Main Street\r\n"
      "CITY:Springfield\r\n"
      "STATE:IL\r\n"
      "COUNTRY:USA\r\n"
      "ZIP:62701\r\n"
      "EMAIL:jo@isp.net\r\n"
      "PHONE:555-123-4567\r\n"
      "FINDOUT:A friend\r\n"
      "IP ADRS:127.0.0.1\r\n"
      "IP NAME:localhost\r\n"
      "CPU IDENT:x86 Family 6 Model 8\r\n"
      "CPU SPEED:500\r\n"
      "CPU MMX:MMX Supported\r\n"
      "CPU VENDOR:GenuineIntel\r\n"
      "VIDEO SIZE:1024,768\r\n"
      "VIDEO DEPTH:16\r\n"
      "OS OWNER:Pat Doe\r\n"
      "OS ORG:Doe & Co\r\n"
      "OS:Microsoft Windows NT 5.1.2600 Service Pack 3\r\n"
      "MEMORY:65536k\r\n"
      "\r\n.\r\n"
      "QUIT\r\n";
  EXPECT_EQ(expected, server.Transcript());
  EXPECT_EQ("Looking up 'reg' at 'localhost'\r\n"
            "Contacting host 127.0.0.1:" + std::to_string(server.Port()) + "...\r\n"
            "Connected... Sending mail...\r\n"
            "Disconnected... Mail Sent!\r\n",
            Log());
}

TEST_F(RegMailTest, AnswersLoseTheirControlCharactersButScriptNamesAndTagDoNot) {
  RegistrationForm *form = RegistrationGetForm();
  StrCopy(form->firstName, "J\to\r\nhn");
  StrCopy(form->email, "jo@isp.net\t");
  StrCopy(form->findOut, "\x01" "Caf\xE9\x7F");
  StrCopy(script_.prompt, "My Tag");
  SmtpTestServer server{SmtpScript()};
  ASSERT_EQ(1, Send(server));
  std::string t = server.Transcript();
  EXPECT_NE(std::string::npos, t.find("MAIL From: <jo@isp.net>\r\n")) << t;
  EXPECT_NE(std::string::npos, t.find("From: <jo@isp.net>\r\n"));
  EXPECT_NE(std::string::npos, t.find("FIRST NAME:John\r\n"));
  EXPECT_NE(std::string::npos, t.find("EMAIL:jo@isp.net\r\n"));
  EXPECT_NE(std::string::npos, t.find("FINDOUT:Caf\xE9\x7F\r\n"));
  EXPECT_NE(std::string::npos, t.find("Subject: [My Tag] Widget Registration\r\n"));
}

TEST_F(RegMailTest, LongestAnswersAndNamesFitTheirLines) {
  RegistrationForm *form = RegistrationGetForm();
  memset(form->findOut, 'f', sizeof form->findOut - 1);
  std::string name(SCRIPT_FIELD_SIZE - 1, 'p'), tag(SCRIPT_FIELD_SIZE - 1, 't');
  StrCopy(script_.productName, name.c_str());
  StrCopy(script_.prompt, tag.c_str());
  StrCopy(script_.companyName, std::string(SCRIPT_FIELD_SIZE - 1, 'c').c_str());
  SmtpTestServer server{SmtpScript()};
  ASSERT_EQ(1, Send(server));
  std::string t = server.Transcript();
  std::string subject = "Subject: [" + tag + "] " + name + " Registration\r\n";
  EXPECT_EQ(345u, subject.size());
  EXPECT_NE(std::string::npos, t.find("\r\n" + subject));
  EXPECT_NE(std::string::npos, t.find("\r\nFINDOUT:" + std::string(319, 'f') + "\r\n"));
  EXPECT_NE(std::string::npos, t.find("\r\nPRODUCT:" + name + "\r\n"));
}

TEST_F(RegMailTest, MachineFactsFollowTheirKeysAndValues) {
  RegistryStandInDeleteKey(REGROOT_CURRENT_CONFIG, kDisplay);           // no key: no lines
  RegistryStandInDeleteKey(REGROOT_LOCAL_MACHINE, kCpu);
  RegistryStandInSetText(REGROOT_LOCAL_MACHINE, kCpu, "identifier", "x86");  // case counts
  const unsigned char big[4] = {0, 0, 0x01, 0xF4};
  RegistryStandInSetValue(REGROOT_LOCAL_MACHINE, kCpu, "~MHz", REGISTRY_SYS_DWORD_BE, big, 4);
  RegistryStandInDeleteKey(REGROOT_LOCAL_MACHINE, kOwner);
  RegistryStandInSetText(REGROOT_LOCAL_MACHINE, kOwner, "RegisteredOwner", "");
  SysInfoStandInSetMemory(0xFFFFFFFFu);
  SmtpTestServer server{SmtpScript()};
  ASSERT_EQ(1, Send(server));
  std::string body = Body(server.Mail());
  size_t facts = body.find("IP ADRS:");
  ASSERT_NE(std::string::npos, facts) << body;
  EXPECT_EQ("IP ADRS:127.0.0.1\r\n"
            "IP NAME:localhost\r\n"
            "CPU IDENT:Unknown\r\n"
            "CPU SPEED:500\r\n"
            "CPU MMX:Unknown\r\n"
            "CPU VENDOR:Unknown\r\n"
            "OS OWNER:\r\n"
            "OS ORG:Unknown\r\n"
            "OS:Microsoft Windows NT 5.1.2600 Service Pack 3\r\n"
            "MEMORY:4194303k\r\n"
            "\r\n.\r\n",
            body.substr(facts));
  EXPECT_TRUE(Logged("Registry Open failed on 'Display\\Settings'(0x00000002)\n")) << Log();
  EXPECT_TRUE(Logged("Disconnected... Mail Sent!\n"));
}

TEST_F(RegMailTest, OperatingSystemTextByPlatform) {
  struct Case {
    SysInfoVersion version;
    const char *line;
  } cases[] = {
      {{3, 10, 0x0000ABCD, 0, "Win32s"}, "OS:Microsoft Windows 3.1 3.10.43981 Win32s\r\n"},
      {{4, 0, 0x040003B6, 1, " C"}, "OS:Microsoft Windows 95 4.0.950  C\r\n"},
      {{4, 10, 0x040A08AE, 1, " A "}, "OS:Microsoft Windows 98 4.10.2222  A \r\n"},
      {{4, 0, 1381, 2, "Service Pack 6"}, "OS:Microsoft Windows NT 4.0.1381 Service Pack 6\r\n"},
      {{6, 2, 0x12345678, 2, ""}, "OS:Microsoft Windows NT 6.2.305419896 \r\n"},
      {{1, 2, 70000, 7, "x"}, "OS:[7] 1.2.70000 x\r\n"},
  };
  for (const Case &c : cases) {
    SysInfoStandInSetVersion(&c.version);
    SmtpTestServer server{SmtpScript()};
    ASSERT_EQ(1, Send(server));
    EXPECT_NE(std::string::npos, server.Mail().find("\r\n" + std::string(c.line) + "MEMORY:65536k\r\n"))
        << c.line << server.Mail();
  }
  SysInfoStandInSetVersion(NULL);
  SmtpTestServer server{SmtpScript()};
  ASSERT_EQ(1, Send(server));
  EXPECT_NE(std::string::npos, server.Mail().find("\r\nOS:Unknown\r\n"));
}

TEST_F(RegMailTest, ThisMachineWithoutAddressOrName) {
  SocketStandInSetHostName("no-such-host.invalid");
  {
    SmtpTestServer server{SmtpScript()};
    ASSERT_EQ(1, Send(server));
    EXPECT_NE(std::string::npos, server.Mail().find("\r\nIP ADRS:0.0.0.0\r\nIP NAME:no-such-host.invalid\r\n"));
  }
  SocketStandInSetHostName(NULL);
  SmtpTestServer server{SmtpScript()};
  ASSERT_EQ(1, Send(server));
  EXPECT_NE(std::string::npos, server.Mail().find("\r\nIP ADRS:0.0.0.0\r\nIP NAME:\r\n"));
}

// Machine facts come from outside the program: a value or host name that
// holds a line end, or the end of the mail itself, stays on its one line.
TEST_F(RegMailTest, MachineFactsCannotEndTheMailOrAddCommands) {
  const char *hostile = "Pat\r\n.\r\nMAIL FROM:<evil@x>\r\nRCPT TO:<victim@y>\r\nDATA\r\nSubject: x\r\n";
  RegistryStandInSetText(REGROOT_LOCAL_MACHINE, kOwner, "RegisteredOwner", hostile);
  RegistryStandInSetText(REGROOT_LOCAL_MACHINE, kCpu, "Identifier", "x86\n.\nQUIT");
  SocketStandInSetHostName("evil\r\n.\r\nhost");
  SmtpTestServer server{SmtpScript()};
  ASSERT_EQ(1, Send(server));
  std::string t = server.Transcript();
  size_t end = t.find("\r\n.\r\n");
  ASSERT_NE(std::string::npos, end) << t;
  EXPECT_EQ("\r\n.\r\nQUIT\r\n", t.substr(end)) << t;  // one mail, then only QUIT
  EXPECT_EQ(0u, t.find("VRFY reg\r\nMAIL From: <jo@isp.net>\r\nRCPT TO: <reg@localhost>\r\nDATA\r\n")) << t;
  std::string body = Body(server.Mail());
  EXPECT_NE(std::string::npos, body.find("\r\nIP NAME:evil.host\r\n")) << body;
  EXPECT_NE(std::string::npos, body.find("\r\nCPU IDENT:x86.QUIT\r\nCPU SPEED:500\r\n")) << body;
  EXPECT_NE(std::string::npos,
            body.find("\r\nOS OWNER:Pat.MAIL FROM:<evil@x>RCPT TO:<victim@y>DATASubject: x\r\nOS ORG:Doe & Co\r\n"))
      << body;
}

// Each case: how the server misbehaves, the log line that tells, and what the
// client had sent by then (NULL: not looked at).
struct Refusal {
  const char *what;
  void (*set)(SmtpScript *script);
  const char *logLine;
  const char *transcript;
};

const Refusal kRefusals[] = {
    {"multi-line greeting",
     [](SmtpScript *s) { s->greeting = "220-mail.test first line\r\n220 mail.test ready\r\n"; },
     "Connected... Sending mail...\nInvalid header '220-mail.test first line\r\n220 mail.test ready\r\n'\n", ""},
    {"greeting compared exactly", [](SmtpScript *s) { s->greeting = "220mail.test\r\n"; },
     "Invalid header '220mail.test\r\n'\n", ""},
    {"VRFY answered 252", [](SmtpScript *s) { s->replies["VRFY"] = "252 Cannot VRFY user\r\n"; },
     "Invalid response '252 Cannot VRFY user\r\n' not '250 '\n", "VRFY reg\r\n"},  // no QUIT after a failure
    {"multi-line reply", [](SmtpScript *s) { s->replies["RCPT"] = "250-first\r\n250 second\r\n"; },
     "Invalid response '250-first\r\n250 second\r\n' not '250 '\n", NULL},
    {"closed after the greeting", [](SmtpScript *s) { s->closeAfterGreeting = true; },
     "Failed to read response to 'VRFY reg\r\n'\n", NULL},
    {"refused DATA", [](SmtpScript *s) { s->replies["DATA"] = "554 No thanks\r\n"; },
     "Invalid response '554 No thanks\r\n' not '354 '\n",
     "VRFY reg\r\nMAIL From: <jo@isp.net>\r\nRCPT TO: <reg@localhost>\r\nDATA\r\n"},
    {"mail not accepted", [](SmtpScript *s) { s->replies["."] = "452 Out of room\r\n"; },
     "Invalid DATA complete '452 Out of room\r\n'\n", NULL},
};

TEST_F(RegMailTest, EveryRefusalFailsTheAttemptWithItsLogLine) {
  for (const Refusal &r : kRefusals) {
    log_ = TestStartLog(DEBUG_FILE);
    SmtpScript script;
    r.set(&script);
    SmtpTestServer server(script);
    EXPECT_EQ(0, Send(server)) << r.what;
    if (r.transcript != NULL) {
      EXPECT_EQ(r.transcript, server.Transcript()) << r.what;
    }
    ExpectFailureLogged(r.logLine);
  }
}

TEST_F(RegMailTest, NoGoodbyeStillCountsAsSent) {
  SmtpScript script;
  script.replies["QUIT"] = "500 What?\r\n";
  SmtpTestServer server(script);
  EXPECT_EQ(1, Send(server));
  EXPECT_TRUE(Logged("Invalid response '500 What?\r\n' not '221 '\nDisconnected... Mail Sent!\n")) << Log();
}

TEST_F(RegMailTest, UserPartMustEndWithinSixtyCharacters) {
  std::string at60 = std::string(60, 'u') + "@localhost";
  EXPECT_EQ(0, SendRegistrationMail(at60.c_str(), &script_));
  EXPECT_EQ("Unable to extract username from '" + at60 + "'\r\n", Log());

  std::string at59 = std::string(59, 'u') + "@localhost";
  SmtpTestServer server{SmtpScript()};
  EXPECT_EQ(1, Send(server, at59.c_str()));
  EXPECT_EQ(0u, server.Transcript().find("VRFY " + std::string(59, 'u') + "\r\n"));
}

TEST_F(RegMailTest, HostThatDoesNotResolve) {
  EXPECT_EQ(0, SendRegistrationMail("reg@no-such-host.invalid", &script_));
  EXPECT_EQ("Looking up 'reg' at 'no-such-host.invalid'\r\nUnable to resolve name 'no-such-host.invalid'\r\n", Log());
  // An address that ends at its "@" names no host at all.
  EXPECT_EQ(0, SendRegistrationMail("reg@", &script_));
  EXPECT_TRUE(Logged("Unable to resolve name ''\n"));
}

TEST_F(RegMailTest, ServerThatNeverAnswersEndsWithTheTimeOut) {
  SocketSetTimeout(300);
  SmtpScript script;
  script.silent = true;
  SmtpTestServer server(script);
  EXPECT_EQ(0, Send(server));
  EXPECT_EQ("", server.Transcript());
  ExpectFailureLogged("Invalid header ''\n");
}

}  // namespace

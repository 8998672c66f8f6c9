// Electronic registration behind the REGISTER command (cmd-registration.cpp):
// the registration form (dialog 1004) with its checks, the retry loop, and
// the mail that carries the form's answers and a block of machine facts to
// the address the script names, over a minimal SMTP conversation.
//
// registration.cpp holds the form and the loop; registration-mail.cpp the mail. The
// machine facts that are neither sockets nor registry come through
// sysinfo-sys.h.
#ifndef INSTALLER_REGISTRATION_H
#define INSTALLER_REGISTRATION_H

#include <stdint.h>

#include "script.h"
#include "socket.h"

// The form is dialog IDD_REGISTER of resources/resource-ids.h.
#define REGISTRATION_CAPTION "Electronic Registration..."
#define REGISTRATION_ADDRESS_SIZE SCRIPT_FIELD_SIZE  // recipient: 159 characters
#define REGISTRATION_MIN_FIELD 2                     // characters every answer needs
#define REGISTRATION_DEFAULT_TAG "REG"

// The form's answers, each terminated and at most its size less one
// characters. One block for the program (RegistrationGetForm), cleared each
// time the form opens, read by the mail after the form closed with
// "Register Now!"; the retry loop keeps it unchanged.
struct RegistrationForm {
  char firstName[80];
  char lastName[80];
  char address[160];
  char city[80];
  char state[80];
  char country[80];
  char zip[80];
  char email[80];
  char phone[80];
  char findOut[320];
};

// The program's one form block.
RegistrationForm *RegistrationGetForm(void);

// The ten answers in the order of the form's tab stops, its checks and the
// mail's lines.
struct RegistrationField {
  int id;                  // control of form 1004
  int offset;              // of the buffer in RegistrationForm
  int size;                // of that buffer
  const char *mailFormat;  // the mail line that carries it
};
#define REGISTRATION_FIELD_COUNT 10
extern const RegistrationField RegistrationFields[REGISTRATION_FIELD_COUNT];
// The answer of a field in form.
char *RegistrationFieldText(RegistrationForm *form, const RegistrationField *field);

// REGISTER: the argument (up to the first byte below 32, first 159
// characters) is the recipient. Asks whether to register; on Yes makes sure
// the subject tag (prompt) is not empty ("REG") and runs the registration.
// prompt is cleared in every case. *consumed = the whole argument's length.
// Always 1: registration never fails the script.
int CmdRegister(InstallScript *script, char *args, int32_t *consumed);

// Shows the form owned by owner; when the user registers, sends the mail to
// address and asks whether to try again after each failed attempt (as often
// as the user says Yes); a sent mail is confirmed with a box. 0 when the user
// declined the form (nothing sent, nothing more shown), else 1, also when the
// user gave up after a failure.
int RegistrationRun(void *owner, const char *address, InstallScript *script);

// The dialog procedure of form 1004 (DialogProc of dialog-sys.h). "Register Now!"
// reads and checks the ten answers and ends the form with 1; "Don't
// Register" asks for confirmation and ends it with 0; a close request ends
// it with its wParam when that is 1, else with 0.
intptr_t RegistrationDialogProc(void *dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);

// 1 when text looks like an e-mail address: not empty; only ASCII letters,
// digits, "-", "_", "@" and "."; exactly one "@", not the first character
// and not followed by "."; a "." somewhere after the "@"; at least four
// characters after the "@".
int EmailLooksValid(const char *text);

// ---- The mail ----------------------------------------------------------

#define REGISTRATION_MAIL_PORT 25
#define REGISTRATION_USER_CHARS 60   // the "@" must stand within these
#define REGISTRATION_REPLY_SIZE 320  // one reply: 319 bytes and the terminator
#define REGISTRATION_FIELD_SIZE 320  // a cleaned answer or a machine fact
#define REGISTRATION_LINE_SIZE 512   // one command or mail line; the longest is 345

// One attempt to mail the form (RegistrationGetForm) to address: resolves
// the part after the "@" (which must stand within its first 60 characters),
// connects to the mail port, VRFY for the part before it, MAIL, RCPT, DATA,
// the 28 mail lines, the end of data, QUIT. 1 when the server accepted the
// mail (whatever it answers to QUIT); 0 with the reason in the log. The
// connection is always closed before it returns.
int SendRegistrationMail(const char *address, InstallScript *script);

// Sends command (with its CR LF) in one send and reads one reply (at most
// 319 bytes); 1 when the reply begins with expected, compared without case.
// 0 after the log line "Failed to write '%s'\n", "Failed to read response
// to '%s'\n" or "Invalid response '%s' not '%s'\n".
int SmtpCommand(Socket *socket, const char *command, const char *expected);

// Copies every character of source whose code is 32 or more (bytes of 128
// and more included) into destination, which holds size bytes; characters
// below 32 are dropped. Always terminated, cut to fit. Returns 1.
int CopyPrintable(const char *source, char *destination, int size);

// The port the mail connects to (REGISTRATION_MAIL_PORT at start), so tests
// can use a free one. Returns the previous setting.
int RegistrationSetMailPort(int port);

#endif

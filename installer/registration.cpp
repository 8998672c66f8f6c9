// The REGISTER command, the registration form and the retry loop.
#include "registration.h"

#include <stddef.h>
#include <string.h>

#include "dialog-sys.h"
#include "resources/resource-ids.h"
#include "process-sys.h"
#include "vantor-core.h"
#include "vantor-str.h"
#include "winhelpr.h"

static_assert(sizeof(RegistrationForm) == 1120, "the form block is 1,120 bytes");

static RegistrationForm registrationForm;
// Set only while "Register Now!" closes the form after its checks passed:
// the one close that may end the form with 1.
static int formChecked;

#define FIELD(id, member, format) \
  { id, (int)offsetof(RegistrationForm, member), (int)sizeof(((RegistrationForm *)0)->member), format }

const RegistrationField RegistrationFields[REGISTRATION_FIELD_COUNT] = {
    FIELD(IDC_REG_FIRST_NAME, firstName, "FIRST NAME:%s\r\n"),
    FIELD(IDC_REG_LAST_NAME, lastName, "LAST NAME:%s\r\n"),
    FIELD(IDC_REG_ADDRESS, address, "ADDRESS:%s\r\n"),
    FIELD(IDC_REG_CITY, city, "CITY:%s\r\n"),
    FIELD(IDC_REG_STATE, state, "STATE:%s\r\n"),
    FIELD(IDC_REG_COUNTRY, country, "COUNTRY:%s\r\n"),
    FIELD(IDC_REG_ZIP, zip, "ZIP:%s\r\n"),
    FIELD(IDC_REG_EMAIL, email, "EMAIL:%s\r\n"),
    FIELD(IDC_REG_PHONE, phone, "PHONE:%s\r\n"),
    FIELD(IDC_REG_FIND_OUT, findOut, "FINDOUT:%s\r\n"),
};

RegistrationForm *RegistrationGetForm(void) { return &registrationForm; }

char *RegistrationFieldText(RegistrationForm *form, const RegistrationField *field) {
  ASSERT(form != NULL, POINTER_IS_NULL);
  ASSERT(field != NULL, POINTER_IS_NULL);
  return (char *)form + field->offset;
}

int RegistrationRun(void *owner, const char *address, InstallScript *script) {
  ASSERT(address != NULL, POINTER_IS_NULL);
  ASSERT(script != NULL, POINTER_IS_NULL);
  intptr_t answer = DialogRun(IDD_REGISTER, owner, RegistrationDialogProc, 0);
  // A form that could not be shown holds no answers: nothing may be sent.
  if (answer == -1) DebugPrintf("Unable to show the registration form\n");
  if (answer != 1) return 0;

  DebugPrintf("Send registration to '%s'\n", address);
  int sent;
  while (!(sent = SendRegistrationMail(address, script))) {
    if (SysMessageBox(owner, "There was a problem sending your registration, would you like to try again?",
                      REGISTRATION_CAPTION, SYS_MB_YESNO | SYS_MB_ICONQUESTION) != SYS_IDYES)
      break;
  }
  if (sent)
    SysMessageBox(owner, "Your registration has been successfully sent!  Thank you!", REGISTRATION_CAPTION,
                  SYS_MB_OK);
  return 1;
}

int EmailLooksValid(const char *text) {
  ASSERT(text != NULL, POINTER_IS_NULL);
  int at = -1;  // index of the "@"
  int dotAfterAt = 0;
  int i;
  for (i = 0; text[i] != 0; i++) {
    unsigned char c = (unsigned char)text[i];
    int letterOrDigit = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!letterOrDigit && c != '-' && c != '_' && c != '@' && c != '.') return 0;
    if (c == '@') {
      if (at >= 0 || i == 0) return 0;
      at = i;
    } else if (c == '.' && at >= 0) {
      if (i == at + 1) return 0;
      dotAfterAt = 1;
    }
  }
  return i > 0 && at >= 0 && dotAfterAt && i - at - 1 >= 4;
}

static int FormBox(void *dialog, const char *text, uint32_t style) {
  return SysMessageBox(dialog, text, REGISTRATION_CAPTION, style);
}

// The form is closed by a close request that carries its result, so that
// every way out passes the one close handler.
static void FormClose(void *dialog, int result) { DialogSend(dialog, DIALOG_WM_CLOSE, (uintptr_t)result, 0); }

// "Register Now!": read every answer, then check them in the same order.
static void FormRegister(void *dialog) {
  RegistrationForm *form = &registrationForm;
  for (int i = 0; i < REGISTRATION_FIELD_COUNT; i++) {
    const RegistrationField *field = &RegistrationFields[i];
    DialogGetText(dialog, field->id, RegistrationFieldText(form, field), field->size);
  }
  for (int i = 0; i < REGISTRATION_FIELD_COUNT; i++) {
    if (StrLength(RegistrationFieldText(form, &RegistrationFields[i])) < REGISTRATION_MIN_FIELD) {
      FormBox(dialog, "All fields must be filled in.", SYS_MB_OK);
      return;
    }
  }
  if (!EmailLooksValid(form->email)) {
    FormBox(dialog, "The email address appears to be invalid.", SYS_MB_OK);
    return;
  }
  formChecked = 1;
  FormClose(dialog, 1);
  formChecked = 0;
}

intptr_t RegistrationDialogProc(void *dialog, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  (void)lParam;
  switch (message) {
    case DIALOG_WM_INITDIALOG:
      DialogSetCaption(dialog, REGISTRATION_CAPTION);
      memset(&registrationForm, 0, sizeof registrationForm);
      CenterWindow(dialog, DialogParent(dialog));
      return 1;
    case DIALOG_WM_COMMAND:
      switch (DIALOG_COMMAND_ID(wParam)) {
        case DIALOG_IDOK:
          FormRegister(dialog);
          return 1;
        case DIALOG_IDCANCEL:
          if (FormBox(dialog, "Are you sure you don't want to register?", SYS_MB_YESNO | SYS_MB_ICONQUESTION) ==
              SYS_IDYES)
            FormClose(dialog, 0);
          return 1;
      }
      return 0;
    case DIALOG_WM_CLOSE:
      // A close request from elsewhere, whatever it carries, ends with 0.
      DialogEnd(dialog, wParam == 1 && formChecked ? 1 : 0);
      return 1;
  }
  return 0;
}

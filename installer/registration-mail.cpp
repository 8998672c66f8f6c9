// The registration mail: one SMTP conversation per attempt, straight to the
// host named after the "@" of the registration address.
#include <stdarg.h>
#include <string.h>

#include "registration.h"
#include "registry.h"
#include "socket.h"
#include "sysinfo-sys.h"
#include "vantor-core.h"
#include "vantor-str.h"

static int mailPort;  // 0: REGISTRATION_MAIL_PORT (nothing stored, so the program has no data section)

static int MailPort(void) { return mailPort != 0 ? mailPort : REGISTRATION_MAIL_PORT; }

int RegistrationSetMailPort(int port) {
  int previous = MailPort();
  mailPort = port;
  return previous;
}

int CopyPrintable(const char *source, char *destination, int size) {
  ASSERT(source != NULL, POINTER_IS_NULL);
  ASSERT(destination != NULL, POINTER_IS_NULL);
  if (size < 1) return 1;
  int length = 0;
  for (; *source != 0 && length < size - 1; source++)
    if ((unsigned char)*source >= 32) destination[length++] = *source;
  destination[length] = 0;
  return 1;
}

// Formats one command or mail line into line (REGISTRATION_LINE_SIZE bytes).
// The buffer holds the longest line the inputs' sizes allow; should a text
// ever be longer, it is cut and still ends in CR LF.
static const char *MailFormat(char *line, const char *format, ...) VANTOR_PRINTF(2, 3);
static const char *MailFormat(char *line, const char *format, ...) {
  va_list args;
  va_start(args, format);
  int length = VantorVFormat(line, REGISTRATION_LINE_SIZE, format, args);
  va_end(args);
  if (length >= REGISTRATION_LINE_SIZE) StrCopy(line + REGISTRATION_LINE_SIZE - 3, "\r\n");
  return line;
}

// One send of the whole text: the send's result.
static int MailSend(Socket *socket, const char *text) {
  int sent = 0;
  return SocketSend(socket, text, StrLength(text), &sent);
}

// One receive of at most 319 bytes into reply (REGISTRATION_REPLY_SIZE),
// terminated; empty when nothing came. The receive's result.
static int MailReceive(Socket *socket, char *reply) {
  int received = 0;
  memset(reply, 0, REGISTRATION_REPLY_SIZE);
  int ok = SocketReceive(socket, reply, REGISTRATION_REPLY_SIZE - 1, &received);
  reply[received] = 0;
  return ok;
}

int SmtpCommand(Socket *socket, const char *command, const char *expected) {
  ASSERT(socket != NULL, POINTER_IS_NULL);
  ASSERT(command != NULL, POINTER_IS_NULL);
  ASSERT(expected != NULL, POINTER_IS_NULL);
  char reply[REGISTRATION_REPLY_SIZE];
  if (!MailSend(socket, command)) {
    DebugPrintf("Failed to write '%s'\n", command);
    return 0;
  }
  if (!MailReceive(socket, reply)) {
    DebugPrintf("Failed to read response to '%s'\n", command);
    return 0;
  }
  if (StrEqualNNoCase(reply, expected, StrLength(expected))) return 1;
  DebugPrintf("Invalid response '%s' not '%s'\n", reply, expected);
  return 0;
}

// A reply that arrives whole and begins with code (compared exactly); what
// came, empty when nothing did, is left in reply for the log.
static int MailExpect(Socket *socket, char *reply, const char *code) {
  return MailReceive(socket, reply) && StrEqualN(reply, code, StrLength(code));
}

// ---- Machine facts -------------------------------------------------------

struct MailFact {
  const char *name;    // value name, exact case
  const char *format;  // mail line
};

struct MailFactKey {
  int root;
  const char *path;
  int count;
  MailFact facts[4];
};

static const MailFactKey factKeys[] = {
    {REGROOT_LOCAL_MACHINE,
     "Hardware\\Description\\System\\CentralProcessor\\0",
     4,
     {{"Identifier", "CPU IDENT:%s\r\n"},
      {"~MHz", "CPU SPEED:%s\r\n"},
      {"MMXIdentifier", "CPU MMX:%s\r\n"},
      {"VendorIdentifier", "CPU VENDOR:%s\r\n"}}},
    {REGROOT_CURRENT_CONFIG,
     "Display\\Settings",
     2,
     {{"Resolution", "VIDEO SIZE:%s\r\n"}, {"BitsPerPixel", "VIDEO DEPTH:%s\r\n"}}},
    {REGROOT_LOCAL_MACHINE,
     "Software\\Microsoft\\Windows\\CurrentVersion",
     2,
     {{"RegisteredOwner", "OS OWNER:%s\r\n"}, {"RegisteredOrganization", "OS ORG:%s\r\n"}}},
};

// The value called name (exact case) of key as text into out
// (REGISTRATION_FIELD_SIZE bytes): numbers in decimal, anything else as
// text up to its first zero byte (at most 159 characters); "Unknown" when
// the value cannot be read. Values are found by enumeration, as
// RegistryGetString finds them, but with their type, so that a number is not
// sent as its raw bytes.
static void MailRegistryFact(RegistryKey key, const char *name, char *out) {
  char valueName[REGISTRY_TEXT_SIZE];
  unsigned char data[REGISTRY_TEXT_SIZE];
  int length, type;
  for (int index = 0; RegistryEnumValue(key, index, valueName, sizeof valueName, data, sizeof data, &length, &type);
       index++) {
    if (!StrEqual(valueName, name)) continue;
    if ((type == REGTYPE_DWORD || type == REGTYPE_DWORD_BE) && length == 4) {
      uint32_t number = type == REGTYPE_DWORD
                            ? data[0] | (uint32_t)data[1] << 8 | (uint32_t)data[2] << 16 | (uint32_t)data[3] << 24
                            : data[3] | (uint32_t)data[2] << 8 | (uint32_t)data[1] << 16 | (uint32_t)data[0] << 24;
      VantorFormat(out, REGISTRATION_FIELD_SIZE, "%u", (unsigned)number);
      return;
    }
    int n = 0;
    while (n < length && n < REGISTRY_TEXT_SIZE - 1 && data[n] != 0) n++;
    memcpy(out, data, (size_t)n);
    out[n] = 0;
    return;
  }
  StrCopyN(out, "Unknown", REGISTRATION_FIELD_SIZE);
}

// The operating system's text into out (REGISTRATION_FIELD_SIZE bytes).
static void MailSystemText(char *out) {
  SysInfoVersion v;
  if (!SysInfoGetVersion(&v)) {
    StrCopyN(out, "Unknown", REGISTRATION_FIELD_SIZE);
    return;
  }
  int major = (int)v.major, minor = (int)v.minor, build = (int)v.build;
  switch (v.platform) {
    case SYSINFO_PLATFORM_WIN32S:
      VantorFormat(out, REGISTRATION_FIELD_SIZE, "Microsoft Windows 3.1 %d.%d.%d %s", major, minor, build & 0xFFFF,
                   v.servicePack);
      break;
    case SYSINFO_PLATFORM_WINDOWS:
      VantorFormat(out, REGISTRATION_FIELD_SIZE, minor == 0 ? "Microsoft Windows 95 %d.%d.%d %s"
                                                            : "Microsoft Windows 98 %d.%d.%d %s",
                   major, minor, build & 0xFFFF, v.servicePack);
      break;
    case SYSINFO_PLATFORM_NT:
      VantorFormat(out, REGISTRATION_FIELD_SIZE, "Microsoft Windows NT %d.%d.%d %s", major, minor, build,
                   v.servicePack);
      break;
    default:
      VantorFormat(out, REGISTRATION_FIELD_SIZE, "[%d] %d.%d.%d %s", (int)v.platform, major, minor, build,
                   v.servicePack);
      break;
  }
}

// ---- The mail --------------------------------------------------------------

// One mail line; the results of these sends are not looked at: a lost line
// shows in the server's answer to the end of the mail.
static void MailLine(Socket *socket, char *line, const char *format, const char *value) {
  MailSend(socket, MailFormat(line, format, value));
}

// A mail line whose value loses its control characters first.
static void MailCleanLine(Socket *socket, char *line, const char *format, const char *value) {
  char field[REGISTRATION_FIELD_SIZE];
  CopyPrintable(value, field, sizeof field);
  MailLine(socket, line, format, field);
}

static void MailFacts(Socket *socket, char *line) {
  char field[REGISTRATION_FIELD_SIZE];
  SocketHost local;
  memset(&local, 0, sizeof local);
  SocketGetLocalHost(&local);
  MailSend(socket, MailFormat(line, "IP ADRS:%d.%d.%d.%d\r\n", local.address[0], local.address[1],
                              local.address[2], local.address[3]));
  // The host name and the registry's values come from outside the program:
  // cleaned as the answers are, so no control byte reaches the connection.
  MailCleanLine(socket, line, "IP NAME:%s\r\n", local.name);

  for (size_t k = 0; k < sizeof factKeys / sizeof factKeys[0]; k++) {
    RegistryKey key;
    if (!RegistryOpen(&key, factKeys[k].root, factKeys[k].path)) continue;
    for (int i = 0; i < factKeys[k].count; i++) {
      MailRegistryFact(key, factKeys[k].facts[i].name, field);
      MailCleanLine(socket, line, factKeys[k].facts[i].format, field);
    }
    RegistryClose(&key);
  }

  MailSystemText(field);
  MailCleanLine(socket, line, "OS:%s\r\n", field);
  MailSend(socket, MailFormat(line, "MEMORY:%dk\r\n", (int)(SysInfoTotalMemory() >> 10)));
}

static void MailBody(Socket *socket, const char *address, const InstallScript *script, RegistrationForm *form,
                     char *line) {
  char email[REGISTRATION_FIELD_SIZE];
  CopyPrintable(form->email, email, sizeof email);
  MailLine(socket, line, "From: <%s>\r\n", email);
  MailLine(socket, line, "To: <%s>\r\n", address);
  MailSend(socket, MailFormat(line, "Subject: [%s] %s Registration\r\n", script->prompt, script->productName));
  MailLine(socket, line, "X-Mailer: %s Installer\r\n\r\n", script->companyName);
  MailCleanLine(socket, line, "COMPANY:%s\r\n", script->companyName);
  MailCleanLine(socket, line, "PRODUCT:%s\r\n", script->productName);
  for (int i = 0; i < REGISTRATION_FIELD_COUNT; i++)
    MailCleanLine(socket, line, RegistrationFields[i].mailFormat,
                  RegistrationFieldText(form, &RegistrationFields[i]));
  MailFacts(socket, line);
}

// From the server's greeting to QUIT on an open connection. 1 when the mail
// was accepted.
static int MailConversation(Socket *socket, const char *address, const char *user, const InstallScript *script) {
  char line[REGISTRATION_LINE_SIZE];
  char reply[REGISTRATION_REPLY_SIZE];
  char email[REGISTRATION_FIELD_SIZE];
  RegistrationForm *form = RegistrationGetForm();

  if (!MailExpect(socket, reply, "220 ")) {
    DebugPrintf("Invalid header '%s'\n", reply);
    return 0;
  }
  if (!SmtpCommand(socket, MailFormat(line, "VRFY %s\r\n", user), "250 ")) return 0;
  CopyPrintable(form->email, email, sizeof email);
  if (!SmtpCommand(socket, MailFormat(line, "MAIL From: <%s>\r\n", email), "250 ")) return 0;
  if (!SmtpCommand(socket, MailFormat(line, "RCPT TO: <%s>\r\n", address), "250 ")) return 0;
  if (!SmtpCommand(socket, "DATA\r\n", "354 ")) return 0;

  MailBody(socket, address, script, form, line);
  if (!MailSend(socket, "\r\n.\r\n")) {
    DebugPrintf("Failed to write DATA\n");
    return 0;
  }
  if (!MailExpect(socket, reply, "250 ")) {
    DebugPrintf("Invalid DATA complete '%s'\n", reply);
    return 0;
  }
  SmtpCommand(socket, "QUIT\r\n", "221 ");
  return 1;
}

int SendRegistrationMail(const char *address, InstallScript *script) {
  ASSERT(address != NULL, POINTER_IS_NULL);
  ASSERT(script != NULL, POINTER_IS_NULL);

  // The user part is what stands before an "@" within the first 60 characters.
  char user[REGISTRATION_USER_CHARS + 1];
  int at = 0;
  while (at < REGISTRATION_USER_CHARS && address[at] != 0 && address[at] != '@') at++;
  if (at == REGISTRATION_USER_CHARS || address[at] != '@') {
    DebugPrintf("Unable to extract username from '%s'\n", address);
    return 0;
  }
  memcpy(user, address, (size_t)at);
  user[at] = 0;
  const char *hostName = address + at + 1;
  DebugPrintf("Looking up '%s' at '%s'\n", user, hostName);

  // An empty name would be looked up as this machine on some systems.
  SocketHost host;
  if (hostName[0] == 0 || !SocketResolve(&host, hostName)) {
    DebugPrintf("Unable to resolve name '%s'\n", hostName);
    return 0;
  }
  host.port = MailPort();
  DebugPrintf("Contacting host %d.%d.%d.%d:%d...\n", host.address[0], host.address[1], host.address[2],
              host.address[3], (int)host.port);

  Socket *socket = NULL;
  if (!SocketOpen(&socket, SOCKET_TCP)) return 0;
  if (!SocketConnect(socket, host.address, host.port)) {
    SocketClose(&socket);
    return 0;
  }
  DebugPrintf("Connected... Sending mail...\n");
  int sent = MailConversation(socket, address, user, script);
  if (sent) {
    SocketShutdown(socket);
    DebugPrintf("Disconnected... Mail Sent!\n");
  }
  SocketClose(&socket);
  return sent;
}

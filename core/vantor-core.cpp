// Diagnostics log, assertions, fatal errors, start-up switches, command-line
// tokens and CRC-32.
#include "vantor-core.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "sys.h"
#include "vantor-str.h"

static int debugFlags;
static char debugPath[DEBUG_PATH_SIZE];
static char debugLine[DEBUG_LINE_SIZE + 1];
static const char *assertFile = "";
static int assertLine;
static const char *abortFile = "";
static int abortLine;

int VantorVFormat(char *buffer, int size, const char *format, va_list args) {
  if (size < 1) return 0;
#if defined(_WIN32)
  // The system runtime's _vsnprintf reports -1 on truncation and may leave the
  // buffer unterminated; measure first, then write bounded.
  va_list measure;
  va_copy(measure, args);
  int length = _vscprintf(format, measure);
  va_end(measure);
  _vsnprintf(buffer, size - 1, format, args);
  buffer[size - 1] = 0;
  if (length >= 0 && length < size) buffer[length] = 0;
#else
  int length = vsnprintf(buffer, size, format, args);
#endif
  if (length < 0) {
    buffer[0] = 0;
    length = 0;
  }
  return length;
}

int VantorFormat(char *buffer, int size, const char *format, ...) {
  va_list args;
  va_start(args, format);
  int length = VantorVFormat(buffer, size, format, args);
  va_end(args);
  return length;
}

int DebugParseSwitches(const char *args, int *flags) {
  ASSERT(args != NULL, "Pointer is NULL\n");
  ASSERT(flags != NULL, "Pointer is NULL\n");
  int f = 0;
  if (strstr(args, "-debug")) f = DEBUG_FILE | DEBUG_REPORT;
  if (strstr(args, "-window")) f |= DEBUG_CONSOLE;
  if (strstr(args, "-append")) f |= DEBUG_APPEND;
  *flags = f;
  return 1;
}

int DebugFlags(void) { return debugFlags; }
const char *DebugLogPath(void) { return debugPath; }

void DebugInit(const char *fileName, int flags) {
  debugFlags = flags;
  const char *line = SysCommandLine();
  if (line == NULL || CmdLineFindArg(line, 0) == NULL)
    ABORT("No starting path was specified on commandline!\n");
  CmdLineGetArgN(line, 0, debugPath, DEBUG_PATH_SIZE);
  // A program path that does not fit the buffer is not cut into some other
  // directory: the log then lies in the current directory.
  if (strlen(debugPath) >= DEBUG_PATH_SIZE - 1) debugPath[0] = 0;

  // Keep the directory with its backslash. A backslash only at the first
  // character, or none, leaves the directory empty.
  char *cut = debugPath;
  for (char *p = debugPath + 1; *p; p++)
    if (*p == '\\') cut = p + 1;
  *cut = 0;
  const char *name = (fileName != NULL && strlen(fileName) > 1) ? fileName : "debug.log";
  if (strlen(debugPath) + strlen(name) + 1 > sizeof(debugPath)) debugPath[0] = 0;
  StrAppendN(debugPath, name, DEBUG_PATH_SIZE);  // a name too long even alone is cut

  if (flags == 0) return;
  if (flags & DEBUG_CONSOLE) SysConsoleOpen(debugPath);
  if ((flags & DEBUG_FILE) && !(flags & DEBUG_APPEND)) SysLogTruncate(debugPath);
  if (flags & DEBUG_REPORT) DebugPrintf("Vantor v%s\n", VANTOR_VERSION);
}

void DebugRemove(void) {}

void DebugWrite(const char *text) {
  if (debugFlags == 0 || text == NULL) return;
  if (debugFlags & DEBUG_CONSOLE) SysConsoleWrite(text, (int)strlen(text));
  if (debugFlags & DEBUG_FILE) SysLogAppend(debugPath, text);
}

int DebugVPrintf(const char *format, va_list args) {
  ASSERT(format != NULL, "Pointer is NULL\n");
  if (debugFlags == 0) return 1;
  int length = VantorVFormat(debugLine, sizeof(debugLine), format, args);
  DebugWrite(debugLine);
  if (length > DEBUG_LINE_SIZE) ABORT("Last string too large (%d)\n", length);
  return length;
}

int DebugPrintf(const char *format, ...) {
  ASSERT(format != NULL, "Pointer is NULL\n");
  if (debugFlags == 0) return 1;
  va_list args;
  va_start(args, format);
  int length = DebugVPrintf(format, args);
  va_end(args);
  return length;
}

void DebugSection(const char *name) {
  if (debugFlags == 0) return;
  char text[82];
  if (name == NULL) {
    memset(text, '=', 79);
    text[79] = '\n';
    text[80] = 0;
  } else {
    // "\n====[name]" padded with '=' to 80 characters, then the newline.
    int n = VantorFormat(text, 81, "\n====[%s]", name);
    for (int i = n < 80 ? n : 80; i < 80; i++) text[i] = '=';
    text[80] = '\n';
    text[81] = 0;
  }
  DebugWrite(text);
}

void DebugSetAssertWhere(const char *file, int line) {
  assertFile = file;
  assertLine = line;
}

void DebugSetAbortWhere(const char *file, int line) {
  abortFile = file;
  abortLine = line;
}

void DebugAssert(int condition, const char *format, ...) {
  if (condition) return;
  if (debugFlags == 0) exit(1);
  static const char prefix[] = "\n\nASSERT: ";
  strcpy(debugLine, prefix);
  va_list args;
  va_start(args, format);
  int length = (int)strlen(prefix) +
               VantorVFormat(debugLine + strlen(prefix), (int)(sizeof(debugLine) - strlen(prefix)),
                             format, args);
  va_end(args);
  DebugWrite(debugLine);
  if (length > DEBUG_LINE_SIZE) ABORT("Last string too large (%d)\n", length);
  DebugPrintf("        (%s/%d)\n", assertFile, assertLine);
  exit(1);
}

void DebugAbort(const char *format, ...) {
  static const char prefix[] = "\n\nABORT: ";
  const int skip = (int)strlen(prefix);
  strcpy(debugLine, prefix);
  va_list args;
  va_start(args, format);
  int length = skip + VantorVFormat(debugLine + skip, (int)sizeof(debugLine) - skip, format, args);
  va_end(args);
  SysMessageBox(NULL, debugLine + skip, ABORT_CAPTION, SYS_MB_OK | SYS_MB_ICONSTOP);
  DebugWrite(debugLine);
  if (length > DEBUG_LINE_SIZE) ABORT("Last string too large (%d)\n", length);
  DebugPrintf("       (%s/%d)\n", abortFile, abortLine);
  exit(1);
}

const char *CmdLineFindArg(const char *text, int index) {
  ASSERT(text != NULL, "Pointer is NULL\n");
  const unsigned char *p = (const unsigned char *)text;
  while (*p && *p <= 32) p++;
  int counter = 0, quoted = 0, afterOrdinary = 0;
  for (; *p; p++) {
    unsigned char c = *p;
    if (c == '"') quoted = !quoted;
    if (!quoted && (c == ' ' || c == '\r' || c == '\n')) {
      if (afterOrdinary) counter++;
      afterOrdinary = 0;
      continue;
    }
    if (!quoted && c < 32 && c != '"') continue;
    if (counter == index) return (const char *)p;
    afterOrdinary = 1;
  }
  return NULL;
}

int CmdLineGetArgN(const char *text, int index, char *out, int size) {
  ASSERT(text != NULL, "Pointer is NULL\n");
  ASSERT(out != NULL, "Pointer is NULL\n");
  if (size < 1) return 0;
  out[0] = 0;
  const unsigned char *p = (const unsigned char *)CmdLineFindArg(text, index);
  if (p == NULL) return 0;
  int quoted = 0, n = 0;
  for (; *p >= 32; p++) {
    if (*p == '"') {
      if (quoted) break;
      quoted = 1;
      continue;
    }
    if (*p == ' ' && !quoted) break;
    if (n < size - 1) out[n++] = (char)*p;
  }
  out[n] = 0;
  return 1;
}

int CmdLineGetArg(const char *text, int index, char *out) {
  return CmdLineGetArgN(text, index, out, 0x7FFFFFFF);
}

static uint32_t Reflect(uint32_t value, int bits) {
  uint32_t r = 0;
  for (int i = 0; i < bits; i++)
    if (value & (1u << i)) r |= 1u << (bits - 1 - i);
  return r;
}

uint32_t Crc32(const void *data, int length) {
  ASSERT(data != NULL, "Pointer is NULL\n");
  if (length <= 0) return 0;
  // The entry for each byte value is computed once into a table here; the
  // result is the same as computing it per byte.
  static uint32_t table[256];
  static int ready;
  if (!ready) {
    for (uint32_t b = 0; b < 256; b++) {
      uint32_t v = Reflect(b, 8) << 24;
      for (int k = 0; k < 8; k++) v = (v & 0x80000000u) ? (v << 1) ^ 0x04C11DB7u : v << 1;
      table[b] = Reflect(v, 32);
    }
    ready = 1;
  }
  const unsigned char *p = (const unsigned char *)data;
  uint32_t crc = 0xFFFFFFFFu;
  for (int i = 0; i < length; i++) crc = (crc >> 8) ^ table[(p[i] ^ crc) & 0xFF];
  return ~crc;
}

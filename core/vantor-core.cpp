// Diagnostics log, assertions, fatal errors, start-up switches, command-line
// tokens and CRC-32.
#include "vantor-core.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "process-sys.h"
#include "utf8.h"
#include "vantor-str.h"

static int debugFlags;
static char debugPath[VANTOR_PATH_SIZE];
static char debugLine[DEBUG_LINE_SIZE + 1];
static const char *assertFile;  // NULL until set, as the others: the program keeps no data section
static int assertLine;
static const char *abortFile;
static int abortLine;
static int noAbortBox;
static void (*fatalHook)(void);

// The hook, once, before a fatal error ends the process.
static VANTOR_NORETURN void EndFatally(void) {
  void (*hook)(void) = fatalHook;
  fatalHook = NULL;  // a fatal error inside the hook ends at once
  if (hook != NULL) hook();
  exit(1);
}

int VantorVFormat(char *buffer, int size, const char *format, va_list args) {
  if (size < 1) return 0;
#if defined(_WIN32)
  // The system runtime's _vsnprintf reports -1 on truncation and may leave the
  // buffer unterminated; measure first, then write bounded.
  // The measure is MSVCRT.DLL's own: the C runtime library's stand-in for
  // it would bring code and tables of its own into the program.
  static int(__cdecl * measurer)(const char *, va_list);
  if (measurer == NULL)
    measurer = (int(__cdecl *)(const char *, va_list))(void *)GetProcAddress(GetModuleHandleA("msvcrt.dll"), "_vscprintf");
  va_list measure;
  va_copy(measure, args);
  int length = measurer(format, measure);
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
  if (length >= size) buffer[Utf8Fit(buffer, size - 1)] = 0;  // no character left in pieces
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
  ASSERT(args != NULL, POINTER_IS_NULL);
  ASSERT(flags != NULL, POINTER_IS_NULL);
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
  // The program's own file, as start-up finds it; neither the token nor the
  // module's path fitting leaves the log in the current directory.
  ProgramPathFind(line, debugPath, VANTOR_PATH_SIZE);

  // Keep the directory with its backslash. A backslash only at the first
  // character, or none, leaves the directory empty.
  char *cut = debugPath;
  for (char *p = debugPath + 1; *p; p++)
    if (*p == '\\') cut = p + 1;
  *cut = 0;
  const char *name = (fileName != NULL && strlen(fileName) > 1) ? fileName : "debug.log";
  if (strlen(debugPath) + strlen(name) + 1 > sizeof(debugPath)) debugPath[0] = 0;
  StrAppendN(debugPath, name, VANTOR_PATH_SIZE);  // a name too long even alone is cut

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
  ASSERT(format != NULL, POINTER_IS_NULL);
  if (debugFlags == 0) return 1;
  int length = VantorVFormat(debugLine, sizeof(debugLine), format, args);
  DebugWrite(debugLine);
  if (length > DEBUG_LINE_SIZE) ABORT("Last string too large (%d)\n", length);
  return length;
}

int DebugPrintf(const char *format, ...) {
  ASSERT(format != NULL, POINTER_IS_NULL);
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

const char POINTER_IS_NULL[] = "Pointer is NULL\n";

void DebugAssert(int condition, const char *format, ...) {
  if (condition) return;
  if (debugFlags == 0) EndFatally();
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
  DebugPrintf("        (%s/%d)\n", assertFile != NULL ? assertFile : "", assertLine);
  EndFatally();
}

void DebugSetAbortBox(int show) { noAbortBox = !show; }
void DebugSetFatalHook(void (*hook)(void)) { fatalHook = hook; }

void DebugAbort(const char *format, ...) {
  static const char prefix[] = "\n\nABORT: ";
  const int skip = (int)strlen(prefix);
  strcpy(debugLine, prefix);
  va_list args;
  va_start(args, format);
  int length = skip + VantorVFormat(debugLine + skip, (int)sizeof(debugLine) - skip, format, args);
  va_end(args);
  if (!noAbortBox) SysMessageBox(NULL, debugLine + skip, ABORT_CAPTION, SYS_MB_OK | SYS_MB_ICONSTOP);
  DebugWrite(debugLine);
  if (length > DEBUG_LINE_SIZE) ABORT("Last string too large (%d)\n", length);
  DebugPrintf("       (%s/%d)\n", abortFile != NULL ? abortFile : "", abortLine);
  EndFatally();
}

const char *CmdLineFindArg(const char *text, int index) {
  ASSERT(text != NULL, POINTER_IS_NULL);
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

int ProgramPathFind(const char *commandLine, char *out, int size) {
  ASSERT(commandLine != NULL && out != NULL, POINTER_IS_NULL);
  char *found;
  int room = size < PROGRAM_PATH_CHARS + 1 ? size : PROGRAM_PATH_CHARS + 1;
  CmdLineGetArgN(commandLine, 0, out, room);
  // A token that fills the room may have been cut.
  int whole = (int)strlen(out) < room - 1;
  if (whole && !StrFindNoCase(out, ".exe", &found)) whole = StrAppendN(out, ".exe", room);
  if (whole && out[0] != 0) return PROGRAM_PATH_TOKEN;
  return SysModulePath(out, size) ? PROGRAM_PATH_MODULE : 0;
}

int CmdLineGetArgN(const char *text, int index, char *out, int size) {
  ASSERT(text != NULL, POINTER_IS_NULL);
  ASSERT(out != NULL, POINTER_IS_NULL);
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

// Eight tables: [0] is the classic byte-at-a-time table; [k][b] is [k-1][b]
// run on through one more zero byte, so that eight bytes fold in one step.
typedef uint32_t Crc32Table[256];
static const Crc32Table *Crc32Tables(void) {
  static Crc32Table tables[8];
  static int ready;
  if (!ready) {
    for (uint32_t b = 0; b < 256; b++) {
      uint32_t v = Reflect(b, 8) << 24;
      for (int k = 0; k < 8; k++) v = (v & 0x80000000u) ? (v << 1) ^ 0x04C11DB7u : v << 1;
      tables[0][b] = Reflect(v, 32);
    }
    for (int k = 1; k < 8; k++)
      for (uint32_t b = 0; b < 256; b++)
        tables[k][b] = (tables[k - 1][b] >> 8) ^ tables[0][tables[k - 1][b] & 0xFF];
    ready = 1;
  }
  return tables;
}

uint32_t Crc32(const void *data, int length) {
  ASSERT(data != NULL, POINTER_IS_NULL);
  if (length <= 0) return 0;
  return Crc32Update(0, data, (uint32_t)length);
}

uint32_t Crc32Update(uint32_t crc, const void *data, uint32_t length) {
  ASSERT(data != NULL, POINTER_IS_NULL);
  const Crc32Table *t = Crc32Tables();
  const unsigned char *p = (const unsigned char *)data;
  crc = ~crc;
  for (; length >= 8; length -= 8, p += 8) {
    uint32_t lo = crc ^ ((uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24));
    uint32_t hi = (uint32_t)p[4] | ((uint32_t)p[5] << 8) | ((uint32_t)p[6] << 16) | ((uint32_t)p[7] << 24);
    crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^ t[3][hi & 0xFF] ^
          t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
  }
  for (; length > 0; length--, p++) crc = (crc >> 8) ^ t[0][(*p ^ crc) & 0xFF];
  return ~crc;
}

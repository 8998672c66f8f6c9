// UNINSTALL, the record of a run's changes and what the end of the run
// writes: the bare program as the uninstaller, the record beside it and the
// Add/Remove Programs entry.
#include "uninstall.h"

#include <string.h>

#include "args.h"
#include "command.h"
#include "ffs-container.h"
#include "ffs.h"
#include "file-name.h"
#include "handler-check.h"
#include "process-sys.h"
#include "product.h"
#include "registry.h"
#include "shell.h"
#include "target-sys.h"
#include "target.h"
#include "interact.h"
#include "vantor-core.h"
#include "vantor-str.h"

// The lines of a text, found by a hash of their bytes so that telling
// whether a line is there reads a few lines, not all: open addressing over
// a power-of-two table whose slots hold a line's offset + 1 (0: free).
struct LineSet {
  int32_t *slots;
  int32_t size, count;
};

// Length of the line at offset at of text (length bytes), with its '\n'.
static int32_t LineLength(const char *text, int32_t length, int32_t at) {
  const char *end = (const char *)memchr(text + at, '\n', (size_t)(length - at));
  return end != NULL ? (int32_t)(end - (text + at)) + 1 : length - at;
}

// The slot holding line (n bytes) of text, or the free slot it would take.
static int32_t LineSlot(const LineSet *set, const char *text, int32_t length, const char *line, int32_t n) {
  uint32_t mask = (uint32_t)set->size - 1;
  for (uint32_t i = Crc32Update(0, line, (uint32_t)n) & mask;; i = (i + 1) & mask) {
    int32_t at = set->slots[i] - 1;
    if (at < 0 || (LineLength(text, length, at) == n && memcmp(text + at, line, (size_t)n) == 0)) return (int32_t)i;
  }
}

static int LineSetHas(const LineSet *set, const char *text, int32_t length, const char *line, int32_t n) {
  return set->size > 0 && set->slots[LineSlot(set, text, length, line, n)] != 0;
}

// Adds the line at offset at of text (length bytes), unless it is there.
static void LineSetAdd(LineSet *set, const char *text, int32_t length, int32_t at) {
  if (2 * (set->count + 1) > set->size) {
    LineSet grown = {NULL, set->size > 0 ? 2 * set->size : 1024, 0};
    grown.slots = (int32_t *)MEM_ALLOC(grown.size * (int)sizeof(int32_t));
    for (int32_t i = 0; i < set->size; i++) {
      int32_t old = set->slots[i] - 1;
      if (old >= 0) grown.slots[LineSlot(&grown, text, length, text + old, LineLength(text, length, old))] = old + 1;
    }
    grown.count = set->count;
    if (set->slots != NULL) MEM_FREE(set->slots, set->size * (int)sizeof(int32_t));
    *set = grown;
  }
  int32_t slot = LineSlot(set, text, length, text + at, LineLength(text, length, at));
  if (set->slots[slot] != 0) return;
  set->slots[slot] = at + 1;
  set->count++;
}

static void LineSetFree(LineSet *set) {
  if (set->slots != NULL) MEM_FREE(set->slots, set->size * (int)sizeof(int32_t));
  set->slots = NULL;
  set->size = set->count = 0;
}

static int recording;
static char programName[SCRIPT_FIELD_SIZE];
static char *lines;  // the lines noted in this run, MEM_ALLOC'd
static int32_t linesLength, linesSize;
static LineSet noted;  // the lines of lines

void UninstallReset(void) {
  if (lines != NULL) MEM_FREE(lines, linesSize);
  lines = NULL;
  LineSetFree(&noted);
  linesLength = linesSize = 0;
  recording = 0;
  programName[0] = 0;
}

int UninstallRecording(void) { return recording; }

int CmdUninstall(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  char name[SCRIPT_FIELD_SIZE];
  *consumed = ArgCopy(args, name, SCRIPT_FIELD_SIZE);
  if (name[0] == 0) StrCopy(name, UNINSTALL_DEFAULT_NAME);
  if (!FileNameStaysInside(name)) {
    DebugPrintf("Refusing '%s': the name leads outside the destination\n", name);
    return 0;
  }
  StrCopy(programName, name);
  recording = 1;
  return 1;
}

void UninstallNote(char tag, const char *first, const char *second) {
  if (!recording) return;
  char line[2 * VANTOR_PATH_SIZE + 8];
  int length = second != NULL ? VantorFormat(line, (int)sizeof line, "%c\t%s\t%s\r\n", tag, first, second)
                              : VantorFormat(line, (int)sizeof line, "%c\t%s\r\n", tag, first);
  if (length >= (int)sizeof line) {
    DebugPrintf("Uninstall: line too long, not recorded '%s'\n", first);
    return;
  }
  if (LineSetHas(&noted, lines, linesLength, line, length)) return;
  if (linesLength + length > linesSize) {
    int32_t size = linesSize > 0 ? linesSize : 4096;
    while (linesLength + length > size) size *= 2;
    char *grown = (char *)MEM_ALLOC(size);
    if (linesLength > 0) memcpy(grown, lines, (size_t)linesLength);
    if (lines != NULL) MEM_FREE(lines, linesSize);
    lines = grown;
    linesSize = size;
  }
  memcpy(lines + linesLength, line, (size_t)length);
  LineSetAdd(&noted, lines, linesLength + length, linesLength);
  linesLength += length;
}

void UninstallNoteMissingKeys(const char *path) {
  if (!recording) return;
  char key[SCRIPT_FIELD_SIZE + 80];
  if (!StrCopyN(key, path, (int)sizeof key)) return;
  for (int i = 0;; i++) {
    char c = key[i];
    if (c != '\\' && c != 0) continue;
    key[i] = 0;
    if (i > 0 && !RegistryKeyExists(REGROOT_CURRENT_USER, key)) UninstallNote(UNINSTALL_TAG_KEY, key, NULL);
    key[i] = c;
    if (c == 0) break;
  }
}

static void Hex8(uint32_t value, char *out) {
  for (int i = 7; i >= 0; i--, value >>= 4) out[i] = "0123456789ABCDEF"[value & 15];
}

void UninstallRecordSeal(const char *text, uint32_t size, char *line) {
  memcpy(line, "CRC32 ", 6);
  Hex8(Crc32Update(0, text, size), line + 6);
  memcpy(line + 14, "\r\n", 3);
}

int UninstallRecordCheck(const char *text, uint32_t size, uint32_t *bodyStart, uint32_t *bodyLength) {
  uint32_t head = (uint32_t)sizeof UNINSTALL_HEAD - 1;
  if (size < head + UNINSTALL_CRC_LINE_SIZE || memcmp(text, UNINSTALL_HEAD, head) != 0) return 0;
  uint32_t body = size - UNINSTALL_CRC_LINE_SIZE;
  char seal[UNINSTALL_CRC_LINE_SIZE + 1];
  UninstallRecordSeal(text, body, seal);
  if (memcmp(seal, text + body, UNINSTALL_CRC_LINE_SIZE) != 0) return 0;
  // Every line: a tag, TAB, bytes of 0x20 and above or TAB, CR LF.
  for (uint32_t at = head; at < body;) {
    if (body - at < 5 || text[at] == 0 || !strchr("PFDOGIVKALM", text[at]) || text[at + 1] != '\t') return 0;
    uint32_t end = at + 2;
    while (end < body && ((unsigned char)text[end] >= 0x20 || text[end] == '\t')) end++;
    if (end == at + 2 || end + 1 >= body || text[end] != '\r' || text[end + 1] != '\n') return 0;
    at = end + 2;
  }
  *bodyStart = head;
  *bodyLength = body - head;
  return 1;
}

int UninstallRecordPath(const char *program, char *path, int size) {
  int length = StrLength(program), dot = length;
  for (int i = length - 1; i >= 0 && program[i] != '\\'; i--)
    if (program[i] == '.') {
      dot = i;
      break;
    }
  if (dot + 5 > size) return 0;
  memcpy(path, program, (size_t)dot);
  StrCopy(path + dot, ".dat");
  return 1;
}

int UninstallLoadFile(const char *path, char **data, uint32_t *size) {
  void *file;
  if (!TargetSysOpenRead(path, &file, size)) return 0;
  if (*size >= 0x7FFFFFF0u) {
    TargetSysClose(file);
    return 0;
  }
  *data = (char *)MEM_ALLOC((int)*size + 1);
  uint32_t read = *size > 0 ? TargetSysRead(file, *data, *size) : 0;
  TargetSysClose(file);
  (*data)[*size] = 0;
  if (read == *size) return 1;
  MEM_FREE(*data, (int)*size + 1);
  return 0;
}

struct Block {
  const char *data;
  uint32_t size;
};

static int ReadBlock(void *context, uint32_t offset, void *buffer, uint32_t n) {
  const Block *block = (const Block *)context;
  if (offset > block->size || n > block->size - offset) return 0;
  memcpy(buffer, block->data + offset, n);
  return 1;
}

#define PROGRAM_PIECE 0x10000  // the uninstaller is copied through a block of this size

// The program's bytes before its archive, written as the uninstaller, read
// and written in pieces of PROGRAM_PIECE bytes however large the installer
// is. A signed installer's signature does not come along, so its directory
// entry (in the headers, in the first piece) is cleared. 1 when the file is
// whole on the disk; 0 after the log line (a partial file is removed).
static int WriteProgram(const char *programPath, const char *path) {
  uint32_t start = FfsArchiveStart(), size;
  void *source, *file;
  int readable = start != 0 && TargetSysOpenRead(programPath, &source, &size);
  if (readable && size < start) {
    TargetSysClose(source);
    readable = 0;
  }
  if (!readable) {
    DebugPrintf("Uninstall: unable to read the program '%s'\n", programPath);
    return 0;
  }
  if (!TargetSysCreate(path, &file)) {
    TargetSysClose(source);
    DebugPrintf("Unable to create file '%s'\n", path);
    return 0;
  }
  char *piece = (char *)MEM_ALLOC_UNCLEARED(PROGRAM_PIECE);
  int written = 1;
  for (uint32_t at = 0; written && at < start; at += PROGRAM_PIECE) {
    uint32_t n = start - at < PROGRAM_PIECE ? start - at : PROGRAM_PIECE;
    if (TargetSysRead(source, piece, n) != n) {
      DebugPrintf("Uninstall: unable to read the program '%s'\n", programPath);
      TargetDiscard(file, path);
      written = 0;
      break;
    }
    if (at == 0) {
      Block block = {piece, n};
      FfsContainer container;
      FfsContainerRead(ReadBlock, &block, n, &container);
      if (container.securityAt != 0 && container.securityAt + 8 <= n) memset(piece + container.securityAt, 0, 8);
    }
    written = TargetWritePiece(file, path, piece, n);
  }
  TargetSysClose(source);
  MEM_FREE(piece, PROGRAM_PIECE);
  return written && TargetCloseWritten(file, path);
}

// The record at path, written to the file to: the earlier record's lines,
// this run's lines that are not among them (the location, the destination,
// among them), the check line.
static int WriteRecord(const char *path, const char *to, const char *destination) {
  char location[VANTOR_PATH_SIZE];
  StrCopyN(location, destination, (int)sizeof location);
  int cut = StrLength(location);
  if (cut > 3 && location[cut - 1] == '\\') location[cut - 1] = 0;
  UninstallNote(UNINSTALL_TAG_LOCATION, location, NULL);
  char *old = NULL;
  uint32_t oldSize = 0, start = 0, length = 0;
  if (UninstallLoadFile(path, &old, &oldSize) && !UninstallRecordCheck(old, oldSize, &start, &length))
    DebugPrintf("Uninstall record '%s' is damaged; a new one is written\n", path);
  int32_t head = (int32_t)sizeof UNINSTALL_HEAD - 1;
  int32_t room = head + (int32_t)length + linesLength + UNINSTALL_CRC_LINE_SIZE + 1;
  char *text = (char *)MEM_ALLOC(room);
  memcpy(text, UNINSTALL_HEAD, (size_t)head);
  int32_t size = head;
  if (length > 0) memcpy(text + size, old + start, length);
  size += (int32_t)length;
  if (old != NULL) MEM_FREE(old, (int)oldSize + 1);
  LineSet merged = {NULL, 0, 0};
  for (int32_t at = head; at < size; at += LineLength(text, size, at)) LineSetAdd(&merged, text, size, at);
  for (int32_t at = 0; at < linesLength;) {
    int32_t lineLength = LineLength(lines, linesLength, at);
    if (!LineSetHas(&merged, text, size, lines + at, lineLength)) {
      memcpy(text + size, lines + at, (size_t)lineLength);
      LineSetAdd(&merged, text, size + lineLength, size);
      size += lineLength;
    }
    at += lineLength;
  }
  LineSetFree(&merged);
  UninstallRecordSeal(text, (uint32_t)size, text + size);
  size += UNINSTALL_CRC_LINE_SIZE;
  void *file;
  int written = TargetSysCreate(to, &file);
  if (written) written = TargetWriteAll(file, to, text, (uint32_t)size);
  else DebugPrintf("Unable to create file '%s'\n", to);
  MEM_FREE(text, room);
  return written;
}

static void SetText(RegistryKey key, const char *name, const char *text) {
  if (!RegistrySetString(key, name, text)) DebugPrintf("Uninstall: unable to set '%s'\n", name);
}

static const char *const entryValues[] = {"DisplayName",     "Publisher",     "InstallLocation",
                                          "UninstallString", "QuietUninstallString", "EstimatedSize",
                                          "DisplayIcon",     "NoModify",      "NoRepair", "DisplayVersion"};

int UninstallEntryRemove(int root, const char *key) {
  int removed = 0, prefix = (int)sizeof UNINSTALL_ARP_KEY - 1;
  if (!StrEqualNNoCase(key, UNINSTALL_ARP_KEY, prefix) || key[prefix] == 0 || strchr(key + prefix, '\\') != NULL)
    return 0;
  for (const char *name : entryValues)
    if (RegistryDeleteValue(root, key, name)) removed++;
  return removed + RegistryDeleteKey(root, key);
}

// The Add/Remove Programs values of the product, below root.
static void WriteEntry(const InstallScript *script, int root, const char *arpKey, const char *program) {
  RegistryKey key;
  if (!RegistryCreate(&key, root, arpKey)) {
    DebugPrintf("Unable to create key '%s'\n", arpKey);
    return;
  }
  char text[VANTOR_PATH_SIZE + 40];
  SetText(key, "DisplayName", script->productName[0] != 0 ? script->productName : programName);
  SetText(key, "Publisher", script->companyName);
  if (script->productVersion[0] != 0) SetText(key, "DisplayVersion", script->productVersion);
  else RegistryDeleteValue(root, arpKey, "DisplayVersion");
  StrCopyN(text, script->installPath, (int)sizeof text);
  int length = StrLength(text);
  if (length > 3 && text[length - 1] == '\\') text[length - 1] = 0;
  SetText(key, "InstallLocation", text);
  VantorFormat(text, (int)sizeof text, "\"%s\" %s", program, UNINSTALL_SWITCH);
  SetText(key, "UninstallString", text);
  VantorFormat(text, (int)sizeof text, "\"%s\" %s -silent", program, UNINSTALL_SWITCH);
  SetText(key, "QuietUninstallString", text);
  SetText(key, "DisplayIcon", program);
  if (!RegistrySetDword(key, "EstimatedSize", (uint32_t)(script->installSize > 0 ? script->installSize : 0)) ||
      !RegistrySetDword(key, "NoModify", 1) || !RegistrySetDword(key, "NoRepair", 1))
    DebugPrintf("Uninstall: unable to set the numbers of '%s'\n", arpKey);
  RegistryClose(&key);
}

// The entries of the earlier record's lines (old, the lines in earlier)
// that name the product otherwise than tag and arpKey now do (an earlier
// version's name, the other hive), and a user install's entry under the
// same name that a machine install takes over: removed, so that the
// product has one entry.
static void TakeOverEntries(const char *old, uint32_t start, uint32_t length, char tag, const char *arpKey) {
  for (uint32_t at = start; at < start + length;) {
    uint32_t n = (uint32_t)LineLength(old, (int32_t)(start + length), (int32_t)at);
    char line[SCRIPT_FIELD_SIZE + 80];
    char lineTag = old[at];
    if ((lineTag == UNINSTALL_TAG_ARP || lineTag == UNINSTALL_TAG_MACHINE_ARP) && n > 4 && n - 4 < sizeof line) {
      memcpy(line, old + at + 2, n - 4);
      line[n - 4] = 0;
      if ((lineTag != tag || !StrEqualNoCase(line, arpKey)) &&
          UninstallEntryRemove(lineTag == UNINSTALL_TAG_ARP ? REGROOT_CURRENT_USER : REGROOT_LOCAL_MACHINE, line) > 0)
        DebugPrintf("Uninstall: the entry '%s' of an earlier installation was taken over\n", line);
    }
    at += n;
  }
  if (tag == UNINSTALL_TAG_MACHINE_ARP && UninstallEntryRemove(REGROOT_CURRENT_USER, arpKey) > 0)
    DebugPrintf("Uninstall: the entry '%s' of an earlier installation was taken over\n", arpKey);
}

// Where the entry goes: a machine install's below HKEY_LOCAL_MACHINE when
// this run may write there, else (a user install, or one without the
// rights) below HKEY_CURRENT_USER. The tag of its record line.
static char EntryTag(const InstallScript *script) {
  if (script->scope == SCRIPT_SCOPE_USER) return UNINSTALL_TAG_ARP;
  RegistryKey key;
  if (!RegistryCreate(&key, REGROOT_LOCAL_MACHINE, UNINSTALL_ARP_KEY)) {
    DebugPrintf("Uninstall: the machine's programs cannot be written; the entry is this user's\n");
    return UNINSTALL_TAG_ARP;
  }
  RegistryClose(&key);
  return UNINSTALL_TAG_MACHINE_ARP;
}

// The box of a run whose uninstaller could not be written.
#define UNINSTALL_NOT_WRITTEN \
  "The uninstaller could not be written to '%s'. What this installation wrote was removed again."

static void NoteDirectory(const char *path) { UninstallNote(UNINSTALL_TAG_DIR, path, NULL); }

// Writes the uninstaller and the record beside their places first (path
// with '~' appended), then puts them in place, so an earlier uninstaller and
// record stay whole until both new ones are. 1 when both are in place; a
// new uninstaller put in place without its record is taken away again
// unless an earlier record is there for it.
static int WriteUninstaller(const char *programPath, const char *program, const char *record,
                            const char *destination, int earlier) {
  char newProgram[VANTOR_PATH_SIZE + 1], newRecord[VANTOR_PATH_SIZE + 1];
  VantorFormat(newProgram, (int)sizeof newProgram, "%s~", program);
  VantorFormat(newRecord, (int)sizeof newRecord, "%s~", record);
  // Its directory is made (and recorded) when nothing else of the run made it.
  char directory[VANTOR_PATH_SIZE];
  StrCopyN(directory, program, VANTOR_PATH_SIZE);
  int cut = StrLength(directory);
  while (cut > 0 && directory[cut - 1] != '\\') cut--;
  directory[cut] = 0;
  if (cut > 0) MakePathNoting(directory, NoteDirectory);
  int written = WriteProgram(programPath, newProgram);
  if (written && !WriteRecord(record, newRecord, destination)) written = 0;
  int placed = written && TargetSysReplace(newProgram, program) == 0;
  if (written && !(placed && TargetSysReplace(newRecord, record) == 0)) {
    DebugPrintf("Uninstall: unable to put '%s' and '%s' in place\n", newProgram, newRecord);
    if (placed && !earlier) TargetSysRemoveFile(program);
    written = 0;
  }
  TargetSysRemoveFile(newProgram);
  TargetSysRemoveFile(newRecord);
  return written;
}

int UninstallFinish(const InstallScript *script, const char *programPath) {
  int written = 0, failed = 0;
  char program[VANTOR_PATH_SIZE], record[VANTOR_PATH_SIZE], arpKey[SCRIPT_FIELD_SIZE + 80];
  char entry[SCRIPT_FIELD_SIZE];
  const char *product = script->productName[0] != 0 ? script->productName : programName;
  if (!ProductEntryName(script, entry, (int)sizeof entry) || entry[0] == 0) StrCopyN(entry, programName, (int)sizeof entry);
  if (recording && linesLength > 0 && script->installPath[0] != 0 &&
      VantorFormat(program, (int)sizeof program, "%s%s", script->installPath, programName) < (int)sizeof program &&
      UninstallRecordPath(program, record, (int)sizeof record) &&
      VantorFormat(arpKey, (int)sizeof arpKey, "%s%s", UNINSTALL_ARP_KEY, entry) < (int)sizeof arpKey) {
    // The earlier record's lines, whose entries this run takes over.
    char *old = NULL;
    uint32_t oldSize = 0, start = 0, length = 0;
    if (UninstallLoadFile(record, &old, &oldSize)) UninstallRecordCheck(old, oldSize, &start, &length);
    char tag = EntryTag(script);
    UninstallNote(UNINSTALL_TAG_PRODUCT, product, NULL);
    if (tag == UNINSTALL_TAG_ARP) UninstallNoteMissingKeys(arpKey);
    UninstallNote(tag, arpKey, NULL);
    written = WriteUninstaller(programPath, program, record, script->installPath, old != NULL);
    if (written) {
      TakeOverEntries(old, start, length, tag, arpKey);
      WriteEntry(script, tag == UNINSTALL_TAG_ARP ? REGROOT_CURRENT_USER : REGROOT_LOCAL_MACHINE, arpKey, program);
      DebugPrintf("Uninstaller written to '%s'\n", program);
    } else {
      // Nothing stays that nobody could remove: the driver undoes the run.
      char text[VANTOR_PATH_SIZE + 120];
      VantorFormat(text, (int)sizeof text, UNINSTALL_NOT_WRITTEN, program);
      Interact()->box(NULL, text, PROBLEM_CAPTION, SYS_MB_OK | SYS_MB_ICONSTOP, SYS_IDOK);
      failed = 1;
    }
    if (old != NULL) MEM_FREE(old, (int)oldSize + 1);
  }
  UninstallReset();
  return failed ? -1 : written;
}

// The flat file archive reader: mounts the archive appended to a container
// file, keeps the sorted directory of name hashes in memory, and loads
// entries (raw, packed with method 1, 2, 3 or 4, the last two with or
// without the branch-call filter, or members of a solid block) by name. Without a mounted archive the same calls read plain files.
#include "ffs.h"

#include <stdio.h>
#include <string.h>

#include "ffs-cmp1.h"
#include "ffs-cmp2.h"
#include "ffs-cmp3.h"
#include "ffs-cmp4.h"
#include "ffs-container.h"
#include "ffs-messages.h"
#include "ffs-stream.h"
#include "ffs-x86.h"
#include "vantor-core.h"
#include "utf8.h"
#include "vantor-str.h"

// The largest block the allocator hands out; a stored length or content
// size above it can only come from a damaged file.
#define FFS_MAX_BLOCK 0x7FFFFFF0u
// The integrity check reads the file in blocks of this size, on the stack.
#define FFS_CHECK_BLOCK 16384

enum FfsForm { FFS_RAW, FFS_PACKED1, FFS_PACKED2, FFS_PACKED3, FFS_PACKED4, FFS_MEMBER };

static FILE *file;
// Where the file stands, kept here (known is 0 after a failed read or seek):
// asking the C library costs the system calls of a seek to the end and back
// each time, and a seek to where the file already stands would drop its
// buffer.
static uint32_t position;
static int known;
// The entry found last, whose data start the file stands at right after a
// size query: a load of the same name then reads no record again.
static uint32_t lastHash, lastData, lastLength;
static uint32_t fileSize;  // also bounds every record, so damage cannot reach past the file
static uint32_t count;
static uint32_t flags;
static FfsDirEntry *directory;  // mounted exactly while this block exists
static FfsContainer container;  // PE fields a signature rewrites
static uint32_t trailerAt;      // 0 for an archive at offset 0
static uint32_t afterDirectory;  // where the mount leaves the file
static uint32_t archiveStart;    // A: where the program image ends
static unsigned char *solidData;  // the kept solid block's content, or NULL
static uint32_t solidSize;
static uint32_t solidHash;
static const FfsThreads *threads;         // NULL: blocks are unpacked in the caller's thread
static char archivePath[VANTOR_PATH_SIZE];  // for the block thread's own reader

// The block being unpacked on a thread of its own into solidData. The
// caller sets it up, reads done and ended, and releases it after the join;
// the thread posts progress every FFS_STREAM_PIECE bytes and at its end.
static struct {
  void *thread, *progress;
  FILE *file;
  FfsInput in;
  FfsWindow window;
  FfsX86Sink reverse;
  int form, filtered, result;
  uint32_t posted;
  uint32_t done;   // bytes of solidData unpacked, written by the thread
  int ended, stop;  // the thread has ended; the caller asks it to stop
} background;

static uint32_t ReadLe32(const unsigned char *p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

// ---- Operations on the open file (0 when no file is open) ---------------

static int FfsRead(void *buffer, uint32_t n) {
  if (file == NULL) return 0;
  int whole = fread(buffer, 1, n, file) == n ? 1 : 0;
  position += n;
  known &= whole;
  return whole;
}

static int FfsReadLe32(uint32_t *value) {
  unsigned char bytes[4];
  if (!FfsRead(bytes, 4)) return 0;
  *value = ReadLe32(bytes);
  return 1;
}

static int FfsSeek(uint32_t offset) {
  if (file == NULL) return 0;
  if (known && position == offset) return 1;
  known = fseek(file, (long)offset, SEEK_SET) == 0 ? 1 : 0;
  position = offset;
  return known;
}

static int FfsTell(uint32_t *at) {
  if (file == NULL || !known) return 0;
  *at = position;
  return 1;
}

static int FfsPeek(void *buffer, uint32_t n) {
  uint32_t at;
  if (!FfsTell(&at)) return 0;
  int result = FfsRead(buffer, n);
  if (!FfsSeek(at)) return 0;
  return result;
}

static void FfsClose(void) {
  if (file != NULL) fclose(file);
  file = NULL;
  known = 0;
  lastLength = 0;
}

// ---- Mount and unmount ----------------------------------------------------

// Waits for the block thread, then releases what it used: 1 when the block
// was unpacked whole. Nothing when no thread runs (0).
static int FfsBackgroundEnd(void) {
  int whole = 0;
  if (background.thread != NULL) {
    threads->join(background.thread);
    whole = background.result;
  }
  if (background.progress != NULL) threads->close(background.progress);
  if (background.file != NULL) fclose(background.file);
  if (background.in.buffer != NULL && !MEM_FREE(background.in.buffer, (int)background.in.capacity))
    ABORT("Unable to free memory (%d)\n", (int)background.in.capacity);
  if (background.window.buffer != NULL && !MEM_FREE(background.window.buffer, (int)background.window.capacity))
    ABORT("Unable to free memory (%d)\n", (int)background.window.capacity);
  memset(&background, 0, sizeof background);
  return whole;
}

static void FfsDropSolid(void) {
  __atomic_store_n(&background.stop, 1, __ATOMIC_RELEASE);
  FfsBackgroundEnd();
  if (solidData != NULL && !MEM_FREE(solidData, (int)solidSize)) ABORT("Unable to free memory (%d)\n", (int)solidSize);
  solidData = NULL;
  solidSize = 0;
  solidHash = 0;
}

// Releases a mount without a log line (FfsRemove, or a second FfsInit).
static void FfsUnmount(void) {
  FfsClose();
  FfsDropSolid();
  if (directory != NULL) {
    int bytes = (int)(count * FFS_DIR_ENTRY_SIZE);
    if (!MEM_FREE(directory, bytes)) ABORT("Unable to free memory (%d)\n", bytes);
  }
  directory = NULL;
  count = 0;
  flags = 0;
  fileSize = 0;
  trailerAt = 0;
  afterDirectory = 0;
}

static int FfsReadAtFile(void *context, uint32_t offset, void *buffer, uint32_t n) {
  (void)context;
  return FfsSeek(offset) && FfsRead(buffer, n) ? 1 : 0;
}

// Finds the archive's start A: 0 for a leading tag, else the trailer (in a
// signed file, the one in front of the certificate table), whose
// target must carry the tag. Leaves the file just after the tag.
static int FfsLocate(const char *path, uint32_t *start) {
  char tag[4] = {0, 0, 0, 0};
  if (FfsRead(tag, 4) && memcmp(tag, FFS_TAG, 4) == 0) {
    *start = 0;
    return 1;
  }
  FfsContainerRead(FfsReadAtFile, NULL, fileSize, &container);
  uint32_t at, a;
  int found = FfsContainerFindTrailer(FfsReadAtFile, NULL, &container, &at, &a);
  if (found == FFS_TRAILER_NO_OFFSET) {
    DebugPrintf(FFS_LOG_NO_DATA, path);
    return 0;
  }
  if (found == FFS_TRAILER_NO_TAG) {
    DebugPrintf(FFS_LOG_NO_TAG, (int)a, (int)at);
    return 0;
  }
  trailerAt = at;
  *start = a;
  return FfsSeek(a + 4);
}

// Reads count, check and flags after the tag, then the directory. A short
// header reads as zeros and so fails the count check.
static int FfsLoadDirectory(const char *path, uint32_t start) {
  unsigned char head[FFS_HEADER_SIZE - 4];
  memset(head, 0, sizeof head);
  FfsRead(head, sizeof head);
  uint32_t n = ReadLe32(head);
  uint32_t check = ReadLe32(head + 4);
  if (n != ~check) {
    DebugPrintf(FFS_LOG_COUNT_CHECK, (int)n, (int)~check);
    return 0;
  }
  if (n == 0) {
    DebugPrintf(FFS_LOG_EMPTY, path);
    return 0;
  }
  uint64_t bytes = (uint64_t)n * FFS_DIR_ENTRY_SIZE;
  if (bytes > FFS_MAX_BLOCK || (uint64_t)start + FFS_HEADER_SIZE + bytes > fileSize) {
    DebugPrintf(FFS_LOG_DIRECTORY, (unsigned)n, path);
    return 0;
  }
  unsigned char *records = (unsigned char *)MEM_ALLOC((int)bytes);
  if (!FfsRead(records, (uint32_t)bytes)) {
    MEM_FREE(records, (int)bytes);
    DebugPrintf(FFS_LOG_DIRECTORY, (unsigned)n, path);
    return 0;
  }
  // The block is reused in place: each 8-byte record becomes an FfsDirEntry.
  directory = (FfsDirEntry *)records;
  for (uint32_t i = 0; i < n; i++) {
    uint32_t hash = ReadLe32(records + i * 8);
    uint32_t offset = ReadLe32(records + i * 8 + 4);
    directory[i].hash = hash;
    directory[i].offset = offset;
  }
  count = n;
  flags = ReadLe32(head + 8);
  afterDirectory = start + FFS_HEADER_SIZE + (uint32_t)bytes;
  return 1;
}

// Opens a file for reading by its UTF-8 name; on Win32 through the wide
// name, so that a program or payload below any folder is found.
static FILE *FfsOpen(const char *path) {
#if defined(_WIN32)
  uint16_t wide[VANTOR_PATH_SIZE];
  if (Utf8ToWide(path, -1, wide, VANTOR_PATH_SIZE) < 0) return NULL;
  return _wfopen((const wchar_t *)wide, L"rb");
#else
  return fopen(path, "rb");
#endif
}

void FfsUseThreads(const FfsThreads *calls) { threads = calls; }

int FfsInit(const char *path) {
  ASSERT(path != NULL, POINTER_IS_NULL);
  FfsUnmount();
  if (!StrCopyN(archivePath, path, VANTOR_PATH_SIZE)) archivePath[0] = 0;
  Cmp1Init();
  Cmp2Init();
  file = FfsOpen(path);
  if (file == NULL) {
    DebugPrintf(FFS_LOG_NO_FILE, path);
    return 0;
  }
  long size = -1;
  if (fseek(file, 0, SEEK_END) == 0) size = ftell(file);
  known = 0;
  // Offsets are 32-bit: a file that cannot be measured or lies beyond their
  // reach is treated as empty, which no archive fits in.
  fileSize = (size < 0 || (unsigned long)size > 0xFFFFFFFFul) ? 0 : (uint32_t)size;
  FfsSeek(0);
  container.size = container.end = fileSize;
  container.checksumAt = container.securityAt = 0;
  uint32_t start;
  if (!FfsLocate(path, &start) || !FfsLoadDirectory(path, start)) {
    FfsUnmount();
    return 0;
  }
  archiveStart = start;
  DebugPrintf(FFS_LOG_MOUNTED);
  return 1;
}

int FfsRemove(void) {
  FfsUnmount();
  Cmp2Remove();
  Cmp1Remove();
  DebugPrintf(FFS_LOG_REMOVED);
  return 1;
}

// The bytes the record covers, read in blocks and checked against it.
static int FfsCheckCovered(const FfsIntegrity *record) {
  unsigned char block[FFS_CHECK_BLOCK];
  uint32_t crc = 0;
  int positioned = FfsSeek(0);
  for (uint32_t at = 0; at < record->covered;) {
    uint32_t n = record->covered - at < FFS_CHECK_BLOCK ? record->covered - at : FFS_CHECK_BLOCK;
    if (!positioned || !FfsRead(block, n)) {
      DebugPrintf(FFS_LOG_CHECK_READ, (unsigned)n, (unsigned)at);
      return 0;
    }
    crc = FfsIntegrityUpdate(crc, &container, at, block, n);
    at += n;
  }
  if (crc != record->crc) {
    DebugPrintf(FFS_LOG_CHECK_FAILED,
                (unsigned)(record->covered - 1), (unsigned)crc, (unsigned)record->crc);
    return 0;
  }
  return 1;
}

int FfsCheckIntegrity(void) {
  if (directory == NULL) return 0;
  unsigned char bytes[FFS_INTEGRITY_SIZE];
  FfsIntegrity record;
  uint32_t at = trailerAt >= FFS_INTEGRITY_SIZE ? trailerAt - FFS_INTEGRITY_SIZE : 0;
  int present = trailerAt >= FFS_INTEGRITY_SIZE && FfsSeek(at) && FfsRead(bytes, FFS_INTEGRITY_SIZE) &&
                FfsIntegrityParse(bytes, at, &record);
  int result = 1;
  if (present) {
    result = FfsCheckCovered(&record);
  } else if (flags & FFS_FLAG_INTEGRITY) {
    DebugPrintf(FFS_LOG_CHECK_MISSING, (unsigned)trailerAt);
    result = 0;
  }
  if (!FfsSeek(afterDirectory)) result = 0;
  return result;
}

int FfsIsMounted(void) { return directory != NULL ? 1 : 0; }

uint32_t FfsFlags(void) { return directory != NULL ? flags : 0; }

uint32_t FfsArchiveStart(void) { return directory != NULL ? archiveStart : 0; }

// ---- Entries --------------------------------------------------------------

// Binary search with a halving fixed-point step (16 fraction bits).
static int FfsFindEntry(uint32_t hash, FfsDirEntry *entry) {
  int64_t pos = count / 2;
  int64_t step = (pos * 65536 + 32768) / 2;
  for (;;) {
    if (pos < 0 || pos >= (int64_t)count) return 0;
    if (directory[pos].hash == hash) {
      *entry = directory[pos];
      return 1;
    }
    int64_t move = (step + 32768) / 65536;
    pos += hash > directory[pos].hash ? move : -move;
    step /= 2;
    if (step == 0) return 0;
  }
}

// The record head has been read at record (its hash already matched): the
// data must lie wholly inside the file.
static int FfsCheckLength(uint32_t hash, uint32_t record, uint32_t length) {
  uint64_t end = (uint64_t)record + FFS_RECORD_HEAD_SIZE + length;
  if (length > FFS_MAX_BLOCK || end > fileSize) {
    DebugPrintf(FFS_LOG_RECORD_LENGTH, (unsigned)hash, (unsigned)length,
                (unsigned)fileSize);
    return 0;
  }
  return 1;
}

// Positions the file at the entry's data and gives its stored length.
static int FfsSeekEntry(uint32_t hash, uint32_t *length) {
  if (lastLength != 0 && hash == lastHash && known && position == lastData) {
    *length = lastLength;
    return 1;
  }
  uint32_t record = 0;
  uint32_t found = 0;
  int onTurbo = 0;
  if (flags & FFS_TURBO) {
    if (FfsTell(&record) && FfsReadLe32(&found) && found == hash) {
      onTurbo = 1;
    } else {
      flags &= ~(uint32_t)FFS_TURBO;
    }
  }
  if (!onTurbo) {
    FfsDirEntry entry;
    if (!FfsFindEntry(hash, &entry)) return 0;
    record = entry.offset;
    // A record offset outside the file reads no hash: found stays 0.
    found = 0;
    if (!FfsSeek(record) || !FfsReadLe32(&found) || found != hash) {
      DebugPrintf(FFS_LOG_POSITION, (unsigned)hash, (unsigned)found);
      return 0;
    }
  }
  uint32_t l = 0;
  if (!FfsReadLe32(&l)) l = 0;
  if (l != 0 && !FfsCheckLength(hash, record, l)) return 0;
  *length = l;
  lastHash = hash;
  lastData = position;
  lastLength = l;
  return l != 0 ? 1 : 0;
}

// Tells the entry's form from its first bytes and gives its content size.
// data holds at least min(length, FFS_PEEK_SIZE) bytes of the entry. A
// packed head that is cut short, or whose size is 0 or beyond what can be
// allocated, is unreadable. *filtered is 1 for a method-3 or method-4 entry
// behind the branch-call filter's tag (data then still points at the tag).
static int FfsEntryForm(const unsigned char *data, uint32_t length, FfsForm *form, uint32_t *size, int *filtered) {
  *filtered = 0;
  if (length >= 4 && memcmp(data, FFS_X86_TAG, 4) == 0) {
    if (length < 8 || (!Cmp3IsPacked(data + 4) && !Cmp4IsPacked(data + 4))) {
      DebugPrintf(FFS_LOG_FILTERED);
      return 0;
    }
    *filtered = 1;
    data += FFS_X86_TAG_SIZE;
    length -= FFS_X86_TAG_SIZE;
  }
  if (length >= 4 && Cmp1IsPacked(data)) {
    *form = FFS_PACKED1;
    if (length < CMP1_HEAD_SIZE || !Cmp1GetSize(data, size) || *size == 0 || *size > FFS_MAX_BLOCK) {
      DebugPrintf(FFS_LOG_PACKED_SIZE "1\n");
      return 0;
    }
    return 1;
  }
  if (length >= 4 && Cmp2IsPacked(data)) {
    *form = FFS_PACKED2;
    if (length < CMP2_HEAD_SIZE || !Cmp2GetSize(data, size) || *size == 0 || *size > FFS_MAX_BLOCK) {
      DebugPrintf(FFS_LOG_PACKED_SIZE "2\n");
      return 0;
    }
    return 1;
  }
  if (length >= 4 && Cmp3IsPacked(data)) {
    *form = FFS_PACKED3;
    if (length < 8 || !Cmp3GetSize(data, size) || *size == 0 || *size > FFS_MAX_BLOCK) {
      DebugPrintf(FFS_LOG_PACKED_SIZE "3\n");
      return 0;
    }
    return 1;
  }
  if (length >= 4 && Cmp4IsPacked(data)) {
    *form = FFS_PACKED4;
    if (length < 8 || !Cmp4GetSize(data, size) || *size == 0 || *size > FFS_MAX_BLOCK) {
      DebugPrintf("Unable to get size from compressed data type 4\n");
      return 0;
    }
    return 1;
  }
  if (length >= 4 && memcmp(data, FFS_MEMBER_TAG, 4) == 0) {
    *form = FFS_MEMBER;
    *size = length == FFS_MEMBER_SIZE ? ReadLe32(data + 12) : 0;
    if (*size == 0 || *size > FFS_SOLID_MAX) {
      DebugPrintf(FFS_LOG_MEMBER_SIZE);
      return 0;
    }
    return 1;
  }
  *form = FFS_RAW;
  *size = length;
  return 1;
}

// The CRC-32 of the name with its letters upper-cased, the caller's string
// left as it is (the name is also the path the caller writes).
static uint32_t FfsHashName(const char *name) {
  uint32_t crc = 0;
  unsigned char piece[64];
  for (const unsigned char *p = (const unsigned char *)name; *p;) {
    uint32_t n = 0;
    for (; *p && n < sizeof piece; p++) piece[n++] = *p >= 'a' && *p <= 'z' ? (unsigned char)(*p - 32) : *p;
    crc = Crc32Update(crc, piece, n);
  }
  return crc;
}

// Size of a plain file; 0 when it cannot be opened or read as a file.
static int FfsPlainFileSize(const char *name, uint32_t *size) {
  FILE *plain = FfsOpen(name);
  if (plain == NULL) return 0;
  // A directory opens on some systems but cannot be read.
  unsigned char probe;
  size_t got = fread(&probe, 1, 1, plain);
  long end = -1;
  if (!ferror(plain) && fseek(plain, 0, SEEK_END) == 0) end = ftell(plain);
  fclose(plain);
  if (end < 0 || (got == 0 && end != 0) || (unsigned long)end > FFS_MAX_BLOCK) return 0;
  *size = (uint32_t)end;
  return 1;
}

int FfsGetSize(const char *name, uint32_t *size) {
  ASSERT(name != NULL, POINTER_IS_NULL);
  ASSERT(size != NULL, POINTER_IS_NULL);
  if (directory == NULL) return FfsPlainFileSize(name, size);
  uint32_t length;
  if (!FfsSeekEntry(FfsHashName(name), &length)) return 0;
  unsigned char peek[FFS_PEEK_SIZE];
  if (!FfsPeek(peek, FFS_PEEK_SIZE)) {
    DebugPrintf(FFS_LOG_PEEK);
    return 0;
  }
  FfsForm form;
  uint32_t content;
  int filtered;
  if (!FfsEntryForm(peek, length, &form, &content, &filtered)) return 0;
  *size = content;
  return 1;
}

// Packed bytes are read in pieces of this size; it holds the longest step
// of every method (CMP1_STEP_INPUT).
#define FFS_INPUT_SIZE 0x20000u

static int FfsReadInput(void *context, void *buffer, uint32_t n) {
  (void)context;
  return FfsRead(buffer, n);
}

// Where the content goes: the caller's buffer of the whole content, or a
// sink that takes it piece by piece.
struct FfsTarget {
  unsigned char *buffer;
  FfsSink sink;
  void *context;
};

static int FfsGive(const FfsTarget *target, uint32_t at, const unsigned char *data, uint32_t n) {
  if (target->buffer == NULL) return target->sink(target->context, data, n);
  memcpy(target->buffer + at, data, n);
  return 1;
}

// A raw entry, piece by piece as it is read.
static int FfsCopyRaw(FfsInput *in, const FfsTarget *target) {
  for (uint32_t at = 0;;) {
    uint32_t n = (uint32_t)(in->end - in->next);
    if (n > 0 && !FfsGive(target, at, in->next, n)) return 0;
    at += n;
    in->next = in->end;
    if (in->left == 0) return 1;
    if (!FfsInputFill(in, in->capacity)) return 0;
  }
}

// The window for streaming a packed entry of form and size bytes (in at its
// head) into the target's sink, through reverse where it is filtered: it
// keeps what the method reaches back to and one piece more, or the whole
// content when that is smaller. 0 with nothing taken when it would be
// larger than most.
static int FfsSinkWindow(FfsForm form, const FfsInput *in, uint32_t size, const FfsTarget *target, FfsX86Sink *reverse,
                         FfsWindow *window, uint32_t most) {
  uint32_t keep = CMP1_REACH;
  Cmp3Head head;
  Cmp4Head head4;
  if (form == FFS_PACKED2) keep = CMP2_WINDOW;
  if (form == FFS_PACKED3) keep = Cmp3ReadHead(in->next, (int)(in->end - in->next), &head) ? head.dictionary : 0;
  if (form == FFS_PACKED4) keep = Cmp4ReadHead(in->next, (int)(in->end - in->next), &head4) ? head4.window : 0;
  uint32_t capacity = FfsWindowCapacity(keep, size);
  if (capacity > most) return 0;
  FfsWindowMemory(window, MEM_ALLOC_UNCLEARED((int)capacity), capacity);
  window->keep = keep;
  window->sink = target->sink;
  window->context = target->context;
  if (reverse != NULL) {
    FfsX86SinkStart(reverse, size, target->sink, target->context);
    window->sink = FfsX86Put;
    window->context = reverse;
  }
  return 1;
}

// Decodes a content of size bytes into the window; into a sink it must be
// whole: a stream that ends early is damaged.
static int FfsDecode(FfsForm form, FfsInput *in, FfsWindow *window, uint32_t size) {
  int result;
  if (form == FFS_PACKED1) result = Cmp1Decode(in, window, size);
  else if (form == FFS_PACKED2) result = Cmp2Decode(in, window, size);
  else if (form == FFS_PACKED3) result = Cmp3Decode(in, window, size);
  else result = Cmp4Decode(in, window, size);
  if (window->sink != NULL) result = result && FfsWindowFlush(window) && window->before + window->pos == size;
  return result;
}

// Unpacks a packed entry of form into the target, reversing the branch-call
// filter where filtered.
static int FfsUnpack(FfsForm form, FfsInput *in, uint32_t size, const FfsTarget *target, int filtered) {
  // One entry streams at a time in the caller's thread: the filter's
  // reverse needs no more.
  static FfsX86Sink reverse;
  FfsWindow window;
  if (target->buffer != NULL) FfsWindowMemory(&window, target->buffer, size);
  else FfsSinkWindow(form, in, size, target, filtered ? &reverse : NULL, &window, 0xFFFFFFFFu);
  int result = FfsDecode(form, in, &window, size);
  if (target->buffer == NULL) {
    if (!MEM_FREE(window.buffer, (int)window.capacity)) ABORT("Unable to free memory (%d)\n", (int)window.capacity);
  } else if (result && filtered) {
    FfsX86 filter;
    FfsX86Start(&filter);
    FfsX86Convert(&filter, target->buffer, size, 0);
  }
  return result;
}

// 1 once solidData holds its first end bytes (at once without a block
// thread); 0 when the thread ended without them: the block is dropped.
static int FfsAwait(uint32_t end) {
  while (background.thread != NULL && __atomic_load_n(&background.done, __ATOMIC_ACQUIRE) < end) {
    if (__atomic_load_n(&background.ended, __ATOMIC_ACQUIRE)) {
      FfsBackgroundEnd();
      DebugPrintf(FFS_LOG_UNPACK);
      FfsDropSolid();
      return 0;
    }
    threads->wait(background.progress);
  }
  return 1;
}

// Lets the block thread finish before the caller's thread unpacks an entry
// itself (the decoders' tables and the filter's reverse are one each); a
// block that did not unpack whole is dropped.
static void FfsBackgroundFinish(void) {
  if (background.thread == NULL || !FfsAwait(solidSize)) return;
  if (FfsBackgroundEnd()) return;
  DebugPrintf(FFS_LOG_UNPACK);
  FfsDropSolid();
}

static int FfsLoadMember(const unsigned char *member, uint32_t size, const FfsTarget *target);

// Loads the entry with the hash into the target, reading its stored bytes in
// pieces; a member of a solid block only where memberAllowed (a block is
// never a member). The file is left after the entry's data.
static int FfsReadEntry(uint32_t hash, uint32_t size, int memberAllowed, const FfsTarget *target) {
  uint32_t length, dataAt;
  if (!FfsSeekEntry(hash, &length) || !FfsTell(&dataAt)) return 0;
  FfsInput in;
  in.capacity = length < FFS_INPUT_SIZE ? length : FFS_INPUT_SIZE;
  in.buffer = (unsigned char *)MEM_ALLOC_UNCLEARED((int)in.capacity);
  in.next = in.end = in.buffer;
  in.left = length;
  in.read = FfsReadInput;
  in.context = NULL;
  int result = 0;
  FfsForm form = FFS_RAW;
  uint32_t content;
  int filtered = 0;
  unsigned char reference[FFS_MEMBER_SIZE];
  // The length was checked against the file, so the first piece reads.
  if (FfsInputFill(&in, in.capacity) && FfsEntryForm(in.next, length, &form, &content, &filtered)) {
    if (form == FFS_RAW) {
      if (length != size) DebugPrintf(FFS_LOG_RAW_SIZE, (int)length, (int)size);
      else result = FfsCopyRaw(&in, target);
    } else if (content != size) {
      DebugPrintf(FFS_LOG_PACKED_CONTENT, (int)content, (int)size);
    } else if (form == FFS_MEMBER) {
      memcpy(reference, in.next, FFS_MEMBER_SIZE);
      if (memberAllowed) result = FfsLoadMember(reference, size, target);
      else DebugPrintf(FFS_LOG_NESTED_MEMBER, (unsigned)hash);
    } else {
      FfsBackgroundFinish();
      in.next += filtered ? FFS_X86_TAG_SIZE : 0;
      result = FfsUnpack(form, &in, size, target, filtered);
      if (!result) DebugPrintf(FFS_LOG_UNPACK);
    }
  }
  int pending = in.left > 0;
  if (!MEM_FREE(in.buffer, (int)in.capacity)) ABORT("Unable to free memory (%d)\n", (int)in.capacity);
  if (pending) FfsSeek(dataAt + length);
  return result;
}

static int FfsBackgroundRead(void *context, void *buffer, uint32_t n) {
  return fread(buffer, 1, n, (FILE *)context) == n ? 1 : 0;
}

// The block thread's sink: the content goes on into solidData.
static int FfsBackgroundPut(void *context, const void *data, uint32_t n) {
  (void)context;
  uint32_t done = __atomic_load_n(&background.done, __ATOMIC_RELAXED);
  if (__atomic_load_n(&background.stop, __ATOMIC_ACQUIRE) || n > solidSize - done) return 0;
  memcpy(solidData + done, data, n);
  done += n;
  __atomic_store_n(&background.done, done, __ATOMIC_RELEASE);
  if (done - background.posted >= FFS_STREAM_PIECE) {
    background.posted = done;
    threads->post(background.progress);
  }
  return 1;
}

static void FfsBackgroundRun(void *context) {
  (void)context;
  FfsTarget target = {NULL, FfsBackgroundPut, NULL};
  int result = background.form == FFS_RAW ? FfsCopyRaw(&background.in, &target)
                                          : FfsDecode((FfsForm)background.form, &background.in, &background.window, solidSize);
  background.result = result && background.done == solidSize;
  __atomic_store_n(&background.ended, 1, __ATOMIC_RELEASE);
  threads->post(background.progress);
}

// The most a block thread's window may take: the zstd window and a piece
// of a quarter of it. A method that reaches further back (method 3's larger
// dictionaries) unpacks its block in the caller's thread, into the block.
#define FFS_BACKGROUND_WINDOW_MAX (CMP4_MAX_WINDOW + CMP4_MAX_WINDOW / 4)

// Starts unpacking the block whose length stored bytes of form begin where
// the archive is positioned into solidData (solidSize bytes), on a thread
// with a reader of its own. 0 when no thread is had, or its window would
// be too large: nothing is left.
static int FfsBackgroundStart(uint32_t length, FfsForm form, int filtered) {
  uint32_t dataAt;
  if (threads == NULL || archivePath[0] == 0 || !FfsTell(&dataAt)) return 0;
  memset(&background, 0, sizeof background);
  background.file = FfsOpen(archivePath);
  FfsInput *in = &background.in;
  in->capacity = length < FFS_INPUT_SIZE ? length : FFS_INPUT_SIZE;
  in->buffer = (unsigned char *)MEM_ALLOC_UNCLEARED((int)in->capacity);
  in->next = in->end = in->buffer;
  in->left = length;
  in->read = FfsBackgroundRead;
  in->context = background.file;
  background.form = form;
  int ready = background.file != NULL && fseek(background.file, (long)dataAt, SEEK_SET) == 0 &&
              FfsInputFill(in, in->capacity) && (background.progress = threads->semaphore(0)) != NULL;
  if (ready && form != FFS_RAW) {
    FfsTarget target = {NULL, FfsBackgroundPut, NULL};
    in->next += filtered ? FFS_X86_TAG_SIZE : 0;
    ready = FfsSinkWindow(form, in, solidSize, &target, filtered ? &background.reverse : NULL, &background.window,
                          FFS_BACKGROUND_WINDOW_MAX);
  }
  // The caller's reader is left after the block, as its unpacking there would.
  if (ready && threads->start(FfsBackgroundRun, NULL, &background.thread)) return FfsSeek(dataAt + length), 1;
  background.thread = NULL;
  FfsBackgroundEnd();
  return 0;
}

// Gives a member's content out of its block (member: the 16-byte
// reference), unpacking the block first unless it is the one kept.
static int FfsLoadMember(const unsigned char *member, uint32_t size, const FfsTarget *target) {
  uint32_t block = ReadLe32(member + 4);
  uint32_t offset = ReadLe32(member + 8);
  if (solidData == NULL || solidHash != block) {
    FfsDropSolid();
    uint32_t length;
    unsigned char peek[FFS_PEEK_SIZE];
    FfsForm form;
    uint32_t content;
    int filtered;
    if (!FfsSeekEntry(block, &length) || !FfsPeek(peek, FFS_PEEK_SIZE) ||
        !FfsEntryForm(peek, length, &form, &content, &filtered)) {
      DebugPrintf(FFS_LOG_BLOCK_READ, (unsigned)block);
      return 0;
    }
    if (content > FFS_SOLID_MAX) {
      DebugPrintf(FFS_LOG_BLOCK_SIZE, (unsigned)block, (unsigned)content,
                  (unsigned)FFS_SOLID_MAX);
      return 0;
    }
    FfsTarget whole = {(unsigned char *)MEM_ALLOC_UNCLEARED((int)content), NULL, NULL};
    solidData = whole.buffer;
    solidSize = content;
    solidHash = block;
    if (!FfsBackgroundStart(length, form, filtered) && !FfsReadEntry(block, content, 0, &whole)) {
      FfsDropSolid();
      return 0;
    }
  }
  if (offset > solidSize || size > solidSize - offset) {
    DebugPrintf(FFS_LOG_MEMBER_OUTSIDE, (unsigned)size, (unsigned)offset,
                (unsigned)solidSize);
    return 0;
  }
  return FfsAwait(offset + size) && FfsGive(target, 0, solidData + offset, size);
}

int FfsLoad(const char *name, void *buffer, uint32_t size) {
  ASSERT(name != NULL, POINTER_IS_NULL);
  ASSERT(buffer != NULL, POINTER_IS_NULL);
  if (directory == NULL) {
    FILE *plain = FfsOpen(name);
    if (plain == NULL) return 0;
    size_t got = fread(buffer, 1, size, plain);
    fclose(plain);
    if (got != size) {
      DebugPrintf(FFS_LOG_PLAIN_READ, name);
      return 0;
    }
    return 1;
  }
  FfsTarget target = {(unsigned char *)buffer, NULL, NULL};
  return FfsReadEntry(FfsHashName(name), size, 1, &target);
}

// A plain file, piece by piece.
static int FfsStreamPlain(const char *name, uint32_t size, FfsSink sink, void *context) {
  FILE *plain = FfsOpen(name);
  if (plain == NULL) return 0;
  unsigned char piece[FFS_CHECK_BLOCK];
  int result = 1;
  for (uint32_t at = 0; at < size && result;) {
    uint32_t n = size - at < sizeof piece ? size - at : (uint32_t)sizeof piece;
    if (fread(piece, 1, n, plain) != n) {
      DebugPrintf(FFS_LOG_PLAIN_READ, name);
      result = 0;
    } else {
      result = sink(context, piece, n);
      at += n;
    }
  }
  fclose(plain);
  return result;
}

int FfsStream(const char *name, uint32_t size, FfsSink sink, void *context) {
  ASSERT(name != NULL, POINTER_IS_NULL);
  ASSERT(sink != NULL, POINTER_IS_NULL);
  if (directory == NULL) return FfsStreamPlain(name, size, sink, context);
  if (size == 0) return 1;
  FfsTarget target = {NULL, sink, context};
  return FfsReadEntry(FfsHashName(name), size, 1, &target);
}

int FfsLoadEntry(const char *name, int extra, int logged, void **data, uint32_t *size) {
  ASSERT(name != NULL, POINTER_IS_NULL);
  ASSERT(data != NULL, POINTER_IS_NULL);
  ASSERT(size != NULL, POINTER_IS_NULL);
  *data = NULL;
  uint32_t found = 0;
  if (!FfsGetSize(name, &found)) {
    if (logged) DebugPrintf(FFS_LOG_ENTRY_SIZE, name);
    return 0;
  }
  if (found > FFS_ENTRY_MAX) {
    if (logged) DebugPrintf(FFS_LOG_ENTRY_LOAD, name);
    return 0;
  }
  int bytes = (int)found + extra;
  void *block = bytes > 0 ? MEM_ALLOC(bytes) : NULL;
  if (found > 0 && !FfsLoad(name, block, found)) {
    if (logged) DebugPrintf(FFS_LOG_ENTRY_LOAD, name);
    MEM_FREE(block, bytes);
    return 0;
  }
  *data = block;
  *size = found;
  return 1;
}

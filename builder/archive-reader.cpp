#include "archive-reader.h"

#include <stdio.h>
#include <string.h>

#include <memory>
#include <mutex>
#include <new>

#include "ffs-cmp1.h"
#include "ffs-cmp2.h"
#include "ffs-cmp3.h"
#include "ffs-cmp4.h"
#include "ffs-stream.h"
#include "ffs-x86.h"
#include "ffs.h"
#include "fsutil.h"

namespace {

uint32_t Le32(const uint8_t *p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

std::string Hex(uint32_t v) {
  char text[16];
  snprintf(text, sizeof text, "%08X", (unsigned)v);
  return text;
}

// Fills in method, content size and problem of a record whose head lies in
// the file.
void ExamineRecord(const std::vector<uint8_t> &file, ArchiveRecord *r) {
  uint64_t size = file.size();
  const uint8_t *head = file.data() + r->offset;
  uint32_t hash = Le32(head);
  if (hash != r->hash) {
    r->problem = "record holds hash " + Hex(hash) + " instead";
    return;
  }
  r->length = Le32(head + 4);
  r->contentSize = r->length;
  uint64_t data = (uint64_t)r->offset + FFS_RECORD_HEAD_SIZE;
  if (r->length == 0) {
    r->problem = "stored length is 0 (the installer treats the entry as absent)";
    return;
  }
  if (r->length > FFS_ENTRY_MAX || data + r->length > size) {
    r->problem = "stored length " + std::to_string(r->length) + " reaches past the end of the file";
    return;
  }
  const uint8_t *bytes = file.data() + data;
  uint32_t length = r->length;  // from the packed head on
  if (length >= 4 && memcmp(bytes, FFS_X86_TAG, 4) == 0) {
    r->filtered = true;
    bytes += FFS_X86_TAG_SIZE;
    length -= FFS_X86_TAG_SIZE;
    if (length < 4 || (memcmp(bytes, CMP3_SIGNATURE, 4) != 0 && memcmp(bytes, CMP4_SIGNATURE, 4) != 0)) {
      r->problem = "the branch-call filter's tag is not followed by a method-3 or method-4 head";
      return;
    }
  }
  if (r->length >= 4 && memcmp(bytes, FFS_MEMBER_TAG, 4) == 0) {
    r->method = ARCHIVE_MEMBER;
    r->contentSize = r->length == FFS_MEMBER_SIZE ? Le32(bytes + 12) : 0;
    if (r->contentSize == 0 || r->contentSize > FFS_SOLID_MAX) {
      r->problem = "solid member reference is not 16 bytes, or gives an impossible size";
      return;
    }
    r->block = Le32(bytes + 4);
    r->blockOffset = Le32(bytes + 8);
  }
  bool packed1 = length >= 4 && memcmp(bytes, CMP1_SIGNATURE, 4) == 0;
  bool packed2 = length >= 4 && memcmp(bytes, CMP2_SIGNATURE, 4) == 0;
  bool packed3 = length >= 4 && memcmp(bytes, CMP3_SIGNATURE, 4) == 0;
  bool packed4 = length >= 4 && memcmp(bytes, CMP4_SIGNATURE, 4) == 0;
  if (packed1 || packed2 || packed3 || packed4) {
    r->method = packed1 ? ARCHIVE_METHOD1 : packed2 ? ARCHIVE_METHOD2 : packed3 ? ARCHIVE_METHOD3 : ARCHIVE_METHOD4;
    if (length < 8) {
      r->problem = "packed head is cut short";
      return;
    }
    uint32_t value = Le32(bytes + 4);
    r->contentSize = packed2 ? ~value : value;
    if (r->contentSize == 0 || r->contentSize > FFS_ENTRY_MAX) {
      r->problem = "packed head gives an impossible size " + std::to_string(r->contentSize);
      return;
    }
    Cmp3Head head;
    if (packed3 && !Cmp3ReadHead(bytes, (int)length, &head)) {
      r->problem = "method-3 head is cut short or names coder parameters beyond the installer's limits";
      return;
    }
    Cmp4Head head4;
    if (packed4 && !Cmp4ReadHead(bytes, (int)length, &head4)) {
      r->problem = "method-4 head is cut short or names a window beyond the installer's limit";
      return;
    }
  }
  if (data + FFS_PEEK_SIZE > size)
    r->problem = "fewer than 16 bytes follow the start of its data, so its size cannot be queried";
}

// The installer's decoders keep their state in static storage: one thread
// decodes at a time (the builder packs side by side).
std::mutex decoding;

// Both starts do nothing when the decoders are already up; they are asked
// every time because the installer's reader (in the tests, the same
// process) releases them at each unmount.
void StartDecoders() {
  Cmp1Init();
  Cmp2Init();
}

}  // namespace

bool ArchiveParse(const std::vector<uint8_t> &file, ArchiveImage *image, std::string *error) {
  *image = ArchiveImage();
  uint64_t size = file.size();
  if (size > 0xFFFFFFFFu) {
    *error = "file is 4 GiB or larger, beyond the reach of 32-bit offsets";
    return false;
  }
  uint32_t start = 0;
  image->container = {(uint32_t)size, (uint32_t)size, 0, 0};
  if (size >= 4 && memcmp(file.data(), FFS_TAG, 4) == 0) {
    start = 0;
  } else {
    void *bytes = const_cast<std::vector<uint8_t> *>(&file);
    FfsContainerRead(ArchiveReadAt, bytes, (uint32_t)size, &image->container);
    int found = FfsContainerFindTrailer(ArchiveReadAt, bytes, &image->container, &image->trailerAt, &start);
    if (found == FFS_TRAILER_NO_OFFSET) {
      *error = "contains no archive (no leading \"FFS!\", and the trailer holds no offset inside the file)";
      return false;
    }
    if (found == FFS_TRAILER_NO_TAG) {
      *error = "the trailer points to offset " + std::to_string(start) + ", where no \"FFS!\" tag is";
      return false;
    }
    image->trailer = true;
  }
  image->start = start;
  if (start + (uint64_t)FFS_HEADER_SIZE > size) {
    *error = "archive header is cut short";
    return false;
  }
  const uint8_t *head = file.data() + start;
  uint32_t count = Le32(head + 4);
  uint32_t check = Le32(head + 8);
  image->flags = Le32(head + 12);
  if (count != ~check) {
    *error = "entry count " + std::to_string(count) + " fails its check (" + Hex(check) + ")";
    return false;
  }
  if (count == 0) {
    *error = "archive has no entries";
    return false;
  }
  uint64_t directory = (uint64_t)start + FFS_HEADER_SIZE;
  if (directory + (uint64_t)count * FFS_DIR_ENTRY_SIZE > size) {
    *error = "directory of " + std::to_string(count) + " entries does not fit in the file";
    return false;
  }
  image->records.resize(count);
  for (uint32_t i = 0; i < count; i++) {
    const uint8_t *d = file.data() + directory + (uint64_t)i * FFS_DIR_ENTRY_SIZE;
    ArchiveRecord &r = image->records[i];
    r.hash = Le32(d);
    r.offset = Le32(d + 4);
    r.length = 0;
    r.method = ARCHIVE_RAW;
    r.contentSize = 0;
    r.block = 0;
    r.blockOffset = 0;
    r.filtered = false;
    if ((uint64_t)r.offset + FFS_RECORD_HEAD_SIZE > size)
      r.problem = "record offset " + std::to_string(r.offset) + " lies outside the file";
    else
      ExamineRecord(file, &r);
    if (i > 0 && image->problem.empty() && r.hash <= image->records[i - 1].hash)
      image->problem = r.hash == image->records[i - 1].hash
                           ? "hash " + Hex(r.hash) + " appears twice in the directory"
                           : "directory is not sorted by hash (entry " + std::to_string(i) + ")";
  }
  return true;
}

int ArchiveReadAt(void *context, uint32_t offset, void *buffer, uint32_t n) {
  const std::vector<uint8_t> *file = (const std::vector<uint8_t> *)context;
  if ((uint64_t)offset + n > file->size()) return 0;
  memcpy(buffer, file->data() + offset, n);
  return 1;
}

ArchiveIntegrity ArchiveCheckIntegrity(const std::vector<uint8_t> &file, const ArchiveImage &image,
                                       std::string *what) {
  FfsIntegrity record;
  uint32_t at = image.trailerAt - FFS_INTEGRITY_SIZE;
  bool present = image.trailer && image.trailerAt >= FFS_INTEGRITY_SIZE &&
                 FfsIntegrityParse(file.data() + at, at, &record);
  if (!present) {
    bool announced = (image.flags & FFS_FLAG_INTEGRITY) != 0;
    *what = announced ? "the integrity record the header announces is missing or damaged"
                      : "no integrity record (an installer from an older build, or a standalone archive)";
    return announced ? ARCHIVE_INTEGRITY_DAMAGED : ARCHIVE_INTEGRITY_NONE;
  }
  uint32_t crc = FfsIntegrityUpdate(0, &image.container, 0, file.data(), record.covered);
  if (crc != record.crc) {
    *what = "integrity check failed: bytes 0 to " + std::to_string(record.covered - 1) + " give CRC-32 " + Hex(crc) +
            ", the record holds " + Hex(record.crc);
    return ARCHIVE_INTEGRITY_DAMAGED;
  }
  *what = "integrity record matches (CRC-32 " + Hex(crc) + " over " + std::to_string(record.covered) + " bytes)";
  return ARCHIVE_INTEGRITY_MATCHES;
}

int ArchiveFind(const ArchiveImage &image, uint32_t hash) {
  for (size_t i = 0; i < image.records.size(); i++)
    if (image.records[i].hash == hash) return (int)i;
  return -1;
}

bool ArchiveDecodeData(const uint8_t *data, size_t length, ArchiveMethod method, uint32_t contentSize,
                       std::vector<uint8_t> *content, std::string *error) {
  // A damaged packed head may announce up to 2 GiB.
  try {
    content->assign(contentSize, 0);
  } catch (const std::bad_alloc &) {
    content->clear();
    *error = "no memory for the " + std::to_string(contentSize) + " bytes the entry announces";
    return false;
  }
  if (method == ARCHIVE_MEMBER) {
    *error = "a member of a solid block is read through its block";
    return false;
  }
  if (method == ARCHIVE_RAW) {
    if (length != contentSize) {
      *error = "stored length differs from the content size";
      return false;
    }
    if (length) memcpy(content->data(), data, length);
    return true;
  }
  bool filtered = (method == ARCHIVE_METHOD3 || method == ARCHIVE_METHOD4) && length >= FFS_X86_TAG_SIZE &&
                  memcmp(data, FFS_X86_TAG, FFS_X86_TAG_SIZE) == 0;
  if (filtered) {
    data += FFS_X86_TAG_SIZE;
    length -= FFS_X86_TAG_SIZE;
  }
  std::lock_guard<std::mutex> hold(decoding);
  StartDecoders();
  int ok = method == ARCHIVE_METHOD1   ? Cmp1Decompress(data, (int)length, content->data(), (int)contentSize)
           : method == ARCHIVE_METHOD2 ? Cmp2Decompress(data, (int)length, content->data(), (int)contentSize)
           : method == ARCHIVE_METHOD3 ? Cmp3Decompress(data, (int)length, content->data(), (int)contentSize)
                                       : Cmp4Decompress(data, (int)length, content->data(), (int)contentSize);
  if (!ok) {
    *error = std::string("method-") + ArchiveMethodName(method) + " data does not decode to " +
             std::to_string(contentSize) + " bytes";
    return false;
  }
  if (filtered) {
    FfsX86 filter;
    FfsX86Start(&filter);
    FfsX86Convert(&filter, content->data(), contentSize, 0);
  }
  return true;
}

// What a streamed decoding is compared with, and how far it matches: the
// content in memory, or (content NULL) read from file into piece.
struct Comparison {
  const uint8_t *content;
  size_t size, at;
  FILE *file;
  std::vector<uint8_t> piece;
};

static int CompareSink(void *context, const void *data, uint32_t n) {
  Comparison *c = (Comparison *)context;
  if (n > c->size - c->at) return 0;
  const uint8_t *expected = c->content + c->at;
  if (c->content == NULL) {
    if (c->piece.size() < n) c->piece.resize(n);
    if (fread(c->piece.data(), 1, n, c->file) != n) return 0;
    expected = c->piece.data();
  }
  if (memcmp(expected, data, n) != 0) return 0;
  c->at += n;
  return 1;
}

static int ReadPacked(void *context, void *buffer, uint32_t n) { return fread(buffer, 1, n, (FILE *)context) == n; }

// ArchiveDecodesTo's work, with head the first bytes of the data (all of
// them when in is wholly in memory) and in positioned at the data's start.
static bool DecodesTo(const uint8_t *head, size_t headLength, FfsInput *in, ArchiveMethod method,
                      Comparison *comparison) {
  if (method != ARCHIVE_METHOD1 && method != ARCHIVE_METHOD2 && method != ARCHIVE_METHOD3 &&
      method != ARCHIVE_METHOD4)
    return false;
  uint32_t size = (uint32_t)comparison->size;
  if (size == 0) return false;
  bool filtered = (method == ARCHIVE_METHOD3 || method == ARCHIVE_METHOD4) && headLength >= FFS_X86_TAG_SIZE &&
                  memcmp(head, FFS_X86_TAG, FFS_X86_TAG_SIZE) == 0;
  if (filtered) {
    head += FFS_X86_TAG_SIZE;
    headLength -= FFS_X86_TAG_SIZE;
    if (!FfsInputFill(in, FFS_X86_TAG_SIZE) || (uint32_t)(in->end - in->next) < FFS_X86_TAG_SIZE) return false;
    in->next += FFS_X86_TAG_SIZE;
  }
  Cmp3Head head3;
  uint32_t keep = CMP1_REACH;
  if (method == ARCHIVE_METHOD2) keep = CMP2_WINDOW;
  if (method == ARCHIVE_METHOD3) keep = Cmp3ReadHead(head, (int)headLength, &head3) ? head3.dictionary : 0;
  Cmp4Head head4;
  if (method == ARCHIVE_METHOD4) keep = Cmp4ReadHead(head, (int)headLength, &head4) ? head4.window : 0;
  uint32_t capacity = FfsWindowCapacity(keep, size);  // the installer's window
  std::vector<uint8_t> buffer(capacity);
  FfsWindow window;
  FfsWindowMemory(&window, buffer.data(), capacity);
  window.keep = keep;
  window.sink = CompareSink;
  window.context = comparison;
  std::unique_ptr<FfsX86Sink> reverse;
  if (filtered) {  // reversed as the installer does, piece by piece
    reverse.reset(new FfsX86Sink);
    FfsX86SinkStart(reverse.get(), size, CompareSink, comparison);
    window.sink = FfsX86Put;
    window.context = reverse.get();
  }
  std::lock_guard<std::mutex> hold(decoding);
  StartDecoders();
  int ok = method == ARCHIVE_METHOD1   ? Cmp1Decode(in, &window, size)
           : method == ARCHIVE_METHOD2 ? Cmp2Decode(in, &window, size)
           : method == ARCHIVE_METHOD3 ? Cmp3Decode(in, &window, size)
                                       : Cmp4Decode(in, &window, size);
  return ok && FfsWindowFlush(&window) && comparison->at == size;
}

bool ArchiveDecodesTo(const uint8_t *data, size_t length, ArchiveMethod method, const uint8_t *content,
                      uint32_t size) {
  if (length > 0x7FFFFFFFu) return false;
  Comparison comparison = {content, size, 0, NULL, {}};
  FfsInput in;
  FfsInputMemory(&in, data, (uint32_t)length);
  return DecodesTo(data, length, &in, method, &comparison);
}

bool ArchiveFileDecodesTo(FILE *data, uint64_t length, ArchiveMethod method, FILE *content, uint32_t size) {
  if (length > 0x7FFFFFFFu || length < 32 || !FsSeek(data, 0) || !FsSeek(content, 0)) return false;
  uint8_t head[32];
  if (fread(head, 1, sizeof head, data) != sizeof head || !FsSeek(data, 0)) return false;
  std::vector<uint8_t> piece(FFS_STREAM_PIECE);
  FfsInput in;
  FfsInputMemory(&in, piece.data(), 0);
  in.buffer = piece.data();
  in.capacity = (uint32_t)piece.size();
  in.left = (uint32_t)length;
  in.read = ReadPacked;
  in.context = data;
  Comparison comparison = {NULL, size, 0, content, {}};
  return DecodesTo(head, sizeof head, &in, method, &comparison);
}

bool ArchiveDecode(const std::vector<uint8_t> &file, const ArchiveImage &image, const ArchiveRecord &record,
                   std::vector<uint8_t> *content, std::string *error, ArchiveSolidCache *cache) {
  if (!record.problem.empty()) {
    *error = record.problem;
    return false;
  }
  if (record.method == ARCHIVE_MEMBER) {
    int at = ArchiveFind(image, record.block);
    if (at < 0) {
      *error = "its solid block " + Hex(record.block) + " is not in the archive";
      return false;
    }
    const ArchiveRecord &block = image.records[at];
    if (block.method == ARCHIVE_MEMBER || block.contentSize > FFS_SOLID_MAX) {
      *error = "its solid block " + Hex(record.block) + " is a member itself, or larger than the installer unpacks";
      return false;
    }
    ArchiveSolidCache own;
    if (cache == nullptr) cache = &own;
    auto kept = cache->find(record.block);
    if (kept == cache->end()) {
      std::vector<uint8_t> unpacked;
      if (!ArchiveDecode(file, image, block, &unpacked, error)) {
        *error = "its solid block " + Hex(record.block) + ": " + *error;
        return false;
      }
      kept = cache->emplace(record.block, std::move(unpacked)).first;
    }
    const std::vector<uint8_t> &whole = kept->second;
    if (record.blockOffset > whole.size() || record.contentSize > whole.size() - record.blockOffset) {
      *error = "lies outside its solid block (" + std::to_string(record.contentSize) + " bytes at " +
               std::to_string(record.blockOffset) + " of " + std::to_string(whole.size()) + ")";
      return false;
    }
    content->assign(whole.begin() + record.blockOffset, whole.begin() + record.blockOffset + record.contentSize);
    return true;
  }
  return ArchiveDecodeData(file.data() + record.offset + FFS_RECORD_HEAD_SIZE, record.length, record.method,
                           record.contentSize, content, error);
}

// The container file around the archive: PE headers and certificate table,
// the trailer in front of the table, the integrity record and its check.
#include "ffs-container.h"

#include <string.h>

#include "ffs.h"
#include "pe-format.h"
#include "vantor-core.h"

// The headers read: up to the security entry of a PE32+ optional header.
#define PE_HEADERS_READ (PE_OPTIONAL_AT + PE_OPT_DIRS_AT64 + (PE_DIR_SECURITY + 1) * PE_DIR_SIZE)

static uint32_t Le32(const unsigned char *p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

static uint32_t Le16(const unsigned char *p) { return (uint32_t)p[0] | ((uint32_t)p[1] << 8); }

static void PutLe32(unsigned char *p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = (unsigned char)(v >> (8 * i));
}

void FfsContainerRead(FfsReadAt read, void *context, uint32_t size, FfsContainer *container) {
  container->size = size;
  container->end = size;
  container->checksumAt = 0;
  container->securityAt = 0;
  unsigned char dos[PE_DOS_HEADER_SIZE];
  if (size < sizeof dos || !read(context, 0, dos, sizeof dos) || dos[0] != PE_DOS_MAGIC[0] || dos[1] != PE_DOS_MAGIC[1])
    return;
  uint32_t pe = Le32(dos + PE_LFANEW_AT);
  unsigned char h[PE_HEADERS_READ];
  memset(h, 0, sizeof h);
  // A PE32 image's headers may end before the file gives the larger read.
  uint64_t left = (uint64_t)size > pe ? (uint64_t)size - pe : 0;
  uint32_t want = left < sizeof h ? (uint32_t)left : (uint32_t)sizeof h;
  if (want < PE_OPTIONAL_AT + 2 || !read(context, pe, h, want) || memcmp(h, PE_SIGNATURE, PE_SIGNATURE_SIZE) != 0)
    return;
  uint32_t magic = Le16(h + PE_OPTIONAL_AT);
  if (magic != PE_MAGIC32 && magic != PE_MAGIC64) return;
  uint32_t countAt = magic == PE_MAGIC32 ? PE_OPT_DIR_COUNT_AT32 : PE_OPT_DIR_COUNT_AT64;
  uint32_t entryAt = (magic == PE_MAGIC32 ? PE_OPT_DIRS_AT32 : PE_OPT_DIRS_AT64) + PE_DIR_SECURITY * PE_DIR_SIZE;
  if (PE_OPTIONAL_AT + entryAt + PE_DIR_SIZE > want || Le16(h + PE_COFF_OPTIONAL_SIZE_AT) < entryAt + PE_DIR_SIZE ||
      Le32(h + PE_OPTIONAL_AT + countAt) <= PE_DIR_SECURITY)
    return;
  container->checksumAt = pe + PE_OPTIONAL_AT + PE_OPT_CHECKSUM_AT;
  container->securityAt = pe + PE_OPTIONAL_AT + entryAt;
  // The table's "address" is a file offset; it counts only when it ends the
  // file and lies behind the headers.
  uint32_t tableAt = Le32(h + PE_OPTIONAL_AT + entryAt);
  uint32_t tableSize = Le32(h + PE_OPTIONAL_AT + entryAt + 4);
  if (tableSize != 0 && tableAt >= container->securityAt + PE_DIR_SIZE && (uint64_t)tableAt + tableSize == size)
    container->end = tableAt;
}

// The archive start the 4 bytes at at hold (0 when unreadable), and
// whether "FFS!" is found there.
static uint32_t TrailerValue(FfsReadAt read, void *context, uint32_t at) {
  unsigned char bytes[4];
  return read(context, at, bytes, 4) ? Le32(bytes) : 0;
}

static int HasTag(FfsReadAt read, void *context, uint32_t at) {
  char tag[4];
  return read(context, at, tag, 4) && memcmp(tag, FFS_TAG, 4) == 0;
}

int FfsContainerFindTrailer(FfsReadAt read, void *context, const FfsContainer *container, uint32_t *trailerAt,
                            uint32_t *start) {
  uint32_t end = container->end;
  *trailerAt = end >= FFS_TRAILER_SIZE ? end - FFS_TRAILER_SIZE : 0;
  *start = end >= FFS_TRAILER_SIZE ? TrailerValue(read, context, *trailerAt) : 0;
  if (end == container->size) {
    if (*start == 0 || *start >= container->size) return FFS_TRAILER_NO_OFFSET;
    return HasTag(read, context, *start) ? FFS_TRAILER_FOUND : FFS_TRAILER_NO_TAG;
  }
  for (uint32_t padding = 0; padding <= FFS_SIGNED_PADDING_MAX && end >= FFS_TRAILER_SIZE + padding; padding++) {
    uint32_t at = end - FFS_TRAILER_SIZE - padding;
    unsigned char pad = 0;
    if (padding > 0 && (!read(context, at + FFS_TRAILER_SIZE, &pad, 1) || pad != 0)) break;
    uint32_t a = TrailerValue(read, context, at);
    if (a != 0 && a < at && HasTag(read, context, a)) {
      *trailerAt = at;
      *start = a;
      return FFS_TRAILER_FOUND;
    }
  }
  return *start == 0 || *start >= end ? FFS_TRAILER_NO_OFFSET : FFS_TRAILER_NO_TAG;
}

int FfsIntegrityParse(const unsigned char *bytes, uint32_t at, FfsIntegrity *record) {
  if (memcmp(bytes, FFS_INTEGRITY_TAG, 4) != 0 || Le32(bytes + 12) != Crc32(bytes, 12) || Le32(bytes + 4) != at)
    return 0;
  record->covered = at;
  record->crc = Le32(bytes + 8);
  return 1;
}

void FfsIntegrityMake(uint32_t at, uint32_t crc, unsigned char *bytes) {
  memcpy(bytes, FFS_INTEGRITY_TAG, 4);
  PutLe32(bytes + 4, at);
  PutLe32(bytes + 8, crc);
  PutLe32(bytes + 12, Crc32(bytes, 12));
}

// Whether the byte at pos is one a signature rewrites; *until is where that
// run of bytes ends, or else where the next one begins.
static int Skipped(const FfsContainer *container, uint32_t pos, uint64_t *until) {
  const uint32_t from[2] = {container->checksumAt, container->securityAt};
  const uint32_t length[2] = {PE_CHECKSUM_SIZE, PE_DIR_SIZE};
  *until = (uint64_t)1 << 32;
  for (int i = 0; i < 2; i++) {
    if (from[i] == 0) continue;
    if (pos >= from[i] && pos < (uint64_t)from[i] + length[i]) {
      *until = (uint64_t)from[i] + length[i];
      return 1;
    }
    if (from[i] > pos && from[i] < *until) *until = from[i];
  }
  return 0;
}

uint32_t FfsIntegrityUpdate(uint32_t crc, const FfsContainer *container, uint32_t offset, const void *block,
                            uint32_t n) {
  const unsigned char *p = (const unsigned char *)block;
  uint64_t pos = offset, end = (uint64_t)offset + n;
  while (pos < end) {
    uint64_t until;
    int skip = Skipped(container, (uint32_t)pos, &until);
    if (until > end) until = end;
    if (!skip) crc = Crc32Update(crc, p + (pos - offset), (uint32_t)(until - pos));
    pos = until;
  }
  return crc;
}

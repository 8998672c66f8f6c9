// The archive writer's entries: their methods' names, hashes, and the
// sorted directory they are added to (packing is archive-pack.cpp, solid
// groups and packing side by side archive-solid.cpp, the container
// archive-layout.cpp).
#include "archive-writer.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "archive-writer-parts.h"
#include "fsutil.h"
#include "vantor-core.h"

const char kArchiveTooLarge[] = "the archive would reach 2 GiB, more than the installer can read";

void ArchivePutLe32(std::vector<uint8_t> *out, uint32_t v) {
  for (int i = 0; i < 4; i++) out->push_back((uint8_t)(v >> (8 * i)));
}

namespace {

std::string Hex(uint32_t v) {
  char text[16];
  snprintf(text, sizeof text, "0x%08X", (unsigned)v);
  return text;
}

}  // namespace

bool ArchiveParseMethod(const char *text, ArchiveMethod *method) {
  static const struct {
    const char *name;
    ArchiveMethod method;
  } names[] = {{"auto", ARCHIVE_AUTO}, {"smallest", ARCHIVE_SMALLEST}, {"fast", ARCHIVE_FAST}, {"raw", ARCHIVE_RAW}, {"1", ARCHIVE_METHOD1}, {"2", ARCHIVE_METHOD2}, {"3", ARCHIVE_METHOD3},
               {"4", ARCHIVE_METHOD4}};
  for (const auto &n : names)
    if (strcmp(text, n.name) == 0) {
      *method = n.method;
      return true;
    }
  return false;
}

const char *ArchiveMethodName(ArchiveMethod method) {
  switch (method) {
    case ARCHIVE_RAW: return "raw";
    case ARCHIVE_METHOD1: return "1";
    case ARCHIVE_METHOD2: return "2";
    case ARCHIVE_METHOD3: return "3";
    case ARCHIVE_METHOD4: return "4";
    case ARCHIVE_MEMBER: return "solid";
    case ARCHIVE_SMALLEST: return "smallest";
    case ARCHIVE_FAST: return "fast";
    default: return "auto";
  }
}

std::string ArchiveSolidName(size_t n) { return "<solid " + std::to_string(n) + ">"; }

uint32_t ArchiveHashName(const std::string &name) {
  std::string upper = name;
  for (char &c : upper)
    if (c >= 'a' && c <= 'z') c = (char)(c - 32);
  return upper.empty() ? 0 : Crc32(upper.data(), (int)upper.size());
}

bool ArchiveWriter::Add(const std::string &name, const std::vector<uint8_t> &content, ArchiveMethod method,
                        std::string *error) {
  return Add(name, content.data(), content.size(), method, error);
}

bool ArchiveWriter::Place(const std::string &name, uint32_t hash, size_t *at, std::string *error) const {
  auto it = std::lower_bound(entries_.begin(), entries_.end(), hash,
                             [](const ArchiveEntry &e, uint32_t h) { return e.hash < h; });
  if (it != entries_.end() && it->hash == hash) {
    *error = "'" + name + "' and '" + it->name + "' have the same hash " + Hex(hash) +
             " (names differing only in letter case are the same entry)";
    return false;
  }
  *at = (size_t)(it - entries_.begin());
  return true;
}

// The packed bytes of an entry packed in pieces, moved from its temporary
// file to the spool at spoolAt, or to its data without a spool; the file
// is closed either way.
static bool TakePacked(ArchiveEntry *entry, FILE *spool, uint64_t spoolAt, std::string *error) {
  FILE *from = entry->packed;
  entry->packed = NULL;
  bool ok = FsSeek(from, 0) && (spool == NULL || FsSeek(spool, spoolAt));
  std::vector<uint8_t> piece(ok && spool == NULL ? entry->packedLength : 1u << 20);
  for (uint32_t left = entry->packedLength; ok && left > 0;) {
    uint32_t n = spool == NULL ? left : std::min<uint32_t>(left, (uint32_t)piece.size());
    ok = fread(piece.data(), 1, n, from) == n && (spool == NULL || fwrite(piece.data(), 1, n, spool) == n);
    left -= n;
  }
  fclose(from);
  if (!ok) {
    *error = "the packed entries cannot be spooled: write error (disk full?)";
    return false;
  }
  if (spool == NULL) entry->data.swap(piece);
  return true;
}

bool ArchiveWriter::Insert(ArchiveEntry &&entry, std::string *error) {
  size_t at;
  if (!Place(entry.name, entry.hash, &at, error)) {
    if (entry.packed != NULL) fclose(entry.packed);
    entry.packed = NULL;
    return false;
  }
  if (entry.packed != NULL) {
    uint64_t length = entry.packedLength;
    if (spool_ != NULL && spoolEnd_ + linked_ + length > kArchiveMaxContainer) {
      fclose(entry.packed);
      entry.packed = NULL;
      *error = kArchiveTooLarge;
      return false;
    }
    if (!TakePacked(&entry, spool_, spoolEnd_, error)) return false;
    if (spool_ != NULL) {
      entry.spooled = true;
      entry.spoolAt = spoolEnd_;
      entry.spooledLength = (uint32_t)length;
      spoolEnd_ += length;
      entries_.insert(entries_.begin() + at, std::move(entry));
      return true;
    }
  }
  if (spool_ != NULL) {
    // The archive could never hold more; say so now rather than at the end.
    uint64_t length = entry.source.empty() ? entry.data.size() : entry.contentSize;
    if (spoolEnd_ + linked_ + length > kArchiveMaxContainer) {
      *error = kArchiveTooLarge;
      return false;
    }
    if (!entry.source.empty()) {
      linked_ += length;
      entries_.insert(entries_.begin() + at, std::move(entry));
      return true;
    }
    if (!FsSeek(spool_, spoolEnd_) || fwrite(entry.data.data(), 1, entry.data.size(), spool_) != entry.data.size()) {
      *error = "the packed entries cannot be spooled: write error (disk full?)";
      return false;
    }
    entry.spooled = true;
    entry.spoolAt = spoolEnd_;
    entry.spooledLength = (uint32_t)entry.data.size();
    spoolEnd_ += entry.data.size();
    std::vector<uint8_t>().swap(entry.data);
  }
  entries_.insert(entries_.begin() + at, std::move(entry));
  return true;
}

bool ArchiveWriter::Add(const std::string &name, const uint8_t *content, size_t size, ArchiveMethod method,
                        std::string *error) {
  // A name that another entry has fails before any packing.
  size_t at;
  if (!name.empty() && !Place(name, ArchiveHashName(name), &at, error)) return false;
  ArchiveEntry entry;
  return ArchivePackEntry(name, content, size, method, level_, &entry, error, nullptr,
                          filter_ ? ARCHIVE_FILTER_DETECT : ARCHIVE_FILTER_OFF) &&
         Insert(std::move(entry), error);
}

uint32_t ArchiveWriter::Flags() const {
  uint32_t flags = turbo_ ? FFS_TURBO : 0;
  for (const ArchiveEntry &e : entries_) {
    if (e.method == ARCHIVE_METHOD1) flags |= FFS_FLAG_METHOD1;
    if (e.method == ARCHIVE_METHOD2) flags |= FFS_FLAG_METHOD2;
    if (e.method == ARCHIVE_METHOD3) flags |= FFS_FLAG_METHOD3;
    if (e.method == ARCHIVE_METHOD4) flags |= FFS_FLAG_METHOD4;
    if (e.method == ARCHIVE_MEMBER) flags |= FFS_FLAG_SOLID;
    if (e.filtered) flags |= FFS_FLAG_X86;
  }
  return flags;
}


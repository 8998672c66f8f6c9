// The container: header, sorted directory, records, padding and tail,
// planned and then given piece by piece to memory or a file; an installer's
// integrity record sealed over what precedes it.
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "archive-reader.h"
#include "archive-writer-parts.h"
#include "ffs-container.h"
#include "pe-format.h"
#include "fsutil.h"
#include "pe-resources.h"

namespace {

// One record to lay out: hash and stored bytes (data, or when data is NULL
// the length bytes of the file source, or when it is NULL too those at
// spoolAt of the writer's spool).
struct Stored {
  uint32_t hash;
  const uint8_t *data;
  uint32_t length;
  uint64_t spoolAt;
  const std::string *source;
};

// What follows the records: nothing (a standalone archive), the trailer,
// or, in an installer, room for the integrity record and the trailer.
enum Tail { TAIL_NONE, TAIL_TRAILER, TAIL_SEALED };

// Where each record goes, and how the archive ends.
struct Layout {
  std::vector<uint32_t> offsets;
  uint32_t flags;
  uint64_t padding;
  uint64_t end;  // absolute end of the container
};

// Header, directory, records in the given (ascending hash) order, padding so
// the last record's data has FFS_PEEK_SIZE bytes behind it (and, sealed, so
// the container's size is a multiple of FFS_INSTALLER_ALIGN), then the tail.
bool Plan(const std::vector<Stored> &records, uint32_t flags, uint32_t base, Tail tailKind, Layout *layout,
          std::string *error) {
  if (records.empty()) {
    *error = "an archive needs at least one entry";
    return false;
  }
  uint64_t n = records.size();
  uint64_t offset = (uint64_t)base + FFS_HEADER_SIZE + n * FFS_DIR_ENTRY_SIZE;
  uint64_t lastData = 0;
  layout->offsets.clear();
  layout->offsets.reserve(records.size());
  for (const Stored &r : records) {
    layout->offsets.push_back((uint32_t)offset);
    lastData = offset + FFS_RECORD_HEAD_SIZE;
    offset += FFS_RECORD_HEAD_SIZE + (uint64_t)r.length;
    if (offset > kArchiveMaxContainer) break;
  }
  uint64_t tail = tailKind == TAIL_NONE ? 0 : FFS_TRAILER_SIZE;
  if (tailKind == TAIL_SEALED) {
    tail += FFS_INTEGRITY_SIZE;
    flags |= FFS_FLAG_INTEGRITY;
  }
  uint64_t padding = lastData + FFS_PEEK_SIZE > offset + tail ? lastData + FFS_PEEK_SIZE - offset - tail : 0;
  if (tailKind == TAIL_SEALED)
    padding += (FFS_INSTALLER_ALIGN - (offset + padding + tail) % FFS_INSTALLER_ALIGN) % FFS_INSTALLER_ALIGN;
  layout->flags = flags;
  layout->padding = padding;
  layout->end = offset + padding + tail;
  if (offset > kArchiveMaxContainer || layout->end > kArchiveMaxContainer) {
    *error = kArchiveTooLarge;
    return false;
  }
  return true;
}

// Where laid-out bytes go, in order; false when they cannot.
typedef std::function<bool(const uint8_t *, size_t)> Put;

// Bytes are copied from the spool and zeros given in pieces of this size.
const size_t kPiece = 1 << 20;

// Gives put the length bytes of the file at path, which must still hold
// just that many and still be fit to be stored raw; false (*error) when
// it does not or put fails.
bool CopySource(const std::string &path, uint32_t length, std::vector<uint8_t> *piece, const Put &put,
                std::string *error) {
  FILE *f = fopen(path.c_str(), "rb");
  bool read = f != NULL, ok = true;
  for (uint32_t done = 0; read && ok && done < length; done += (uint32_t)piece->size()) {
    piece->resize(std::min<size_t>(kPiece, length - done));
    read = fread(piece->data(), 1, piece->size(), f) == piece->size() &&
           (done > 0 || !ArchiveHasPackedSignature(piece->data(), piece->size()));
    ok = read && put(piece->data(), piece->size());
  }
  read = read && (!ok || fgetc(f) == EOF);
  if (f != NULL) fclose(f);
  if (!read) *error = "'" + path + "' changed while the installer was being built";
  else if (!ok && error->empty()) *error = "write error (disk full?)";
  return read && ok;
}

// Gives the archive planned for base to put, reading spooled records from
// spool; false (*error) when put or the spool fails.
bool Emit(const std::vector<Stored> &records, const Layout &layout, uint32_t base, Tail tailKind, FILE *spool,
          const Put &put, std::string *error) {
  std::vector<uint8_t> head(FFS_TAG, FFS_TAG + 4);
  ArchivePutLe32(&head, (uint32_t)records.size());
  ArchivePutLe32(&head, ~(uint32_t)records.size());
  ArchivePutLe32(&head, layout.flags);
  for (size_t i = 0; i < records.size(); i++) {
    ArchivePutLe32(&head, records[i].hash);
    ArchivePutLe32(&head, layout.offsets[i]);
  }
  bool ok = put(head.data(), head.size());
  std::vector<uint8_t> piece;
  for (const Stored &r : records) {
    head.clear();
    ArchivePutLe32(&head, r.hash);
    ArchivePutLe32(&head, r.length);
    ok = ok && put(head.data(), head.size());
    if (r.data != NULL) {
      ok = ok && put(r.data, r.length);
      continue;
    }
    if (r.source != NULL) {
      if (ok && !CopySource(*r.source, r.length, &piece, put, error)) return false;
      continue;
    }
    bool read = ok && spool != NULL && FsSeek(spool, r.spoolAt);
    for (uint32_t done = 0; read && ok && done < r.length; done += (uint32_t)piece.size()) {
      piece.resize(std::min<size_t>(kPiece, r.length - done));
      read = fread(piece.data(), 1, piece.size(), spool) == piece.size();
      ok = read && put(piece.data(), piece.size());
    }
    if (ok && !read) {
      *error = "the spooled entries cannot be read back";
      return false;
    }
  }
  uint64_t zeros = layout.padding + (tailKind == TAIL_SEALED ? FFS_INTEGRITY_SIZE : 0);  // Seal fills in the record
  piece.assign(std::min<uint64_t>(kPiece, std::max<uint64_t>(zeros, 1)), 0);
  for (uint64_t left = zeros; ok && left > 0; left -= std::min<uint64_t>(left, piece.size()))
    ok = put(piece.data(), (size_t)std::min<uint64_t>(left, piece.size()));
  if (tailKind != TAIL_NONE) {
    head.clear();
    ArchivePutLe32(&head, base);
    ok = ok && put(head.data(), head.size());
  }
  if (!ok && error->empty()) *error = "write error (disk full?)";
  return ok;
}

// Plan and Emit, appended to what out holds (the stub, in an installer:
// one copy of the records is made, not two).
bool LayOut(const std::vector<Stored> &records, uint32_t flags, uint32_t base, Tail tailKind, FILE *spool,
            std::vector<uint8_t> *out, std::string *error) {
  Layout layout;
  if (!Plan(records, flags, base, tailKind, &layout, error)) return false;
  out->reserve(out->size() + (size_t)(layout.end - base));
  return Emit(records, layout, base, tailKind, spool, [&](const uint8_t *p, size_t n) {
    out->insert(out->end(), p, p + n);
    return true;
  }, error);
}

std::vector<Stored> StoredOf(const std::vector<ArchiveEntry> &entries) {
  std::vector<Stored> records;
  records.reserve(entries.size());
  for (const ArchiveEntry &e : entries) {
    if (!e.source.empty()) records.push_back({e.hash, NULL, e.contentSize, 0, &e.source});
    else if (e.spooled) records.push_back({e.hash, NULL, e.spooledLength, e.spoolAt, NULL});
    else records.push_back({e.hash, e.data.data(), (uint32_t)e.data.size(), 0, NULL});
  }
  return records;
}

// Fills in the integrity record that LayOut left room for before the trailer.
void Seal(std::vector<uint8_t> *installer) {
  FfsContainer container;
  FfsContainerRead(ArchiveReadAt, installer, (uint32_t)installer->size(), &container);
  uint32_t at = (uint32_t)installer->size() - FFS_TRAILER_SIZE - FFS_INTEGRITY_SIZE;
  uint32_t crc = FfsIntegrityUpdate(0, &container, 0, installer->data(), at);
  FfsIntegrityMake(at, crc, installer->data() + at);
}

}  // namespace

bool ArchiveWriter::Write(uint32_t base, bool trailer, std::vector<uint8_t> *out, std::string *error) const {
  out->clear();
  return LayOut(StoredOf(entries_), Flags(), base, trailer ? TAIL_TRAILER : TAIL_NONE, spool_, out, error);
}

bool ArchiveCheckStub(const std::vector<uint8_t> &stub, std::string *error) {
  if (stub.size() >= 4 && memcmp(stub.data(), FFS_TAG, 4) == 0) {
    *error = "the executable begins with \"FFS!\"; it looks like an archive, not a program";
    return false;
  }
  ArchiveImage image;
  std::string ignored;
  if (ArchiveParse(stub, &image, &ignored)) {
    *error = "the executable already carries an archive; use the bare stub";
    return false;
  }
  if (stub.size() >= kArchiveMaxContainer) {
    *error = "the executable is 2 GiB or larger";
    return false;
  }
  return true;
}

bool ArchiveWriteInstaller(const std::vector<uint8_t> &stub, const ArchiveWriter &writer, std::vector<uint8_t> *out,
                           std::string *error) {
  if (!ArchiveCheckStub(stub, error)) return false;
  *out = stub;
  if (!LayOut(StoredOf(writer.Entries()), writer.Flags(), (uint32_t)stub.size(), TAIL_SEALED, writer.Spool(), out,
              error)) {
    out->clear();
    return false;
  }
  Seal(out);
  return true;
}

// The container of head (a stub, or nothing) and the entries of writer laid
// out behind it with tailKind, written to path piece by piece in one pass:
// sealed, the integrity record is made from the bytes before it as they go
// by; with checksum true, the PE checksum is summed the same way (over the
// stub with its field as zeros) and put in its field at the end.
static bool WriteContainerFile(const std::vector<uint8_t> &head, const ArchiveWriter &writer, Tail tailKind,
                               const std::string &path, bool checksum, uint64_t *size, std::string *error) {
  std::vector<Stored> records = StoredOf(writer.Entries());
  Layout layout;
  if (!Plan(records, writer.Flags(), (uint32_t)head.size(), tailKind, &layout, error)) return false;
  // The stub's headers say which bytes the check leaves out and where the
  // checksum goes (FfsContainerRead reads only headers).
  FfsContainer container;
  FfsContainerRead(ArchiveReadAt, (void *)&head, (uint32_t)layout.end, &container);
  if (checksum && (container.checksumAt == 0 || container.checksumAt + PE_CHECKSUM_SIZE > head.size())) {
    *error = "is not a PE image whose checksum can be brought up to date";
    return false;
  }
  FsPartFile part;
  if (!part.Open(path, error)) return false;
  FILE *f = part.file;
  bool sealed = tailKind == TAIL_SEALED;
  uint64_t at = layout.end - FFS_TRAILER_SIZE - FFS_INTEGRITY_SIZE, pos = 0;
  uint32_t crc = 0;
  uint8_t record[FFS_INTEGRITY_SIZE];
  PeChecksum sum;
  auto out = [&](const uint8_t *p, size_t n) {
    if (checksum) sum.Add(p, n);
    pos += n;
    return fwrite(p, 1, n, f) == n;
  };
  // The zeros Emit gives for the integrity record are replaced with it.
  Put put = [&](const uint8_t *p, size_t n) {
    while (n > 0) {
      size_t k = n;
      const uint8_t *from = p;
      if (sealed && pos < at) {
        k = (size_t)std::min<uint64_t>(n, at - pos);
        crc = FfsIntegrityUpdate(crc, &container, (uint32_t)pos, p, (uint32_t)k);
      } else if (sealed && pos < at + FFS_INTEGRITY_SIZE) {
        if (pos == at) FfsIntegrityMake((uint32_t)at, crc, record);
        k = (size_t)std::min<uint64_t>(n, at + FFS_INTEGRITY_SIZE - pos);
        from = record + (pos - at);
      }
      if (!out(from, k)) return false;
      p += k;
      n -= k;
    }
    return true;
  };
  std::vector<uint8_t> first = head;
  if (checksum) memset(first.data() + container.checksumAt, 0, PE_CHECKSUM_SIZE);
  bool ok = put(first.data(), first.size()) &&
            Emit(records, layout, (uint32_t)head.size(), tailKind, writer.Spool(), put, error);
  if (!ok) return part.Finish(false, error);
  *size = layout.end;
  if (checksum) {
    uint32_t value = sum.Value();
    uint8_t field[PE_CHECKSUM_SIZE] = {(uint8_t)value, (uint8_t)(value >> 8), (uint8_t)(value >> 16),
                                       (uint8_t)(value >> 24)};
    ok = FsSeek(f, container.checksumAt) && fwrite(field, 1, sizeof field, f) == sizeof field;
  }
  ok = ok && fflush(f) == 0;
  return part.Finish(ok, error);
}

bool ArchiveWriter::WriteFile(const std::string &path, std::string *error) const {
  uint64_t size;
  return WriteContainerFile(std::vector<uint8_t>(), *this, TAIL_NONE, path, false, &size, error);
}

bool ArchiveWriteInstallerFile(const std::vector<uint8_t> &stub, const ArchiveWriter &writer, const std::string &path,
                               bool checksum, uint64_t *size, std::string *error) {
  return ArchiveCheckStub(stub, error) && WriteContainerFile(stub, writer, TAIL_SEALED, path, checksum, size, error);
}

bool ArchiveAppendToStub(const std::vector<uint8_t> &stub, const std::vector<uint8_t> &archive,
                         std::vector<uint8_t> *out, std::string *error) {
  if (!ArchiveCheckStub(stub, error)) return false;
  ArchiveImage image;
  if (!ArchiveParse(archive, &image, error)) return false;
  if (image.start != 0) {
    *error = "is an installer, not a standalone archive";
    return false;
  }
  if (!image.problem.empty()) {
    *error = image.problem;
    return false;
  }
  std::vector<Stored> records;
  for (const ArchiveRecord &r : image.records) {
    if (!r.problem.empty()) {
      char hash[16];
      snprintf(hash, sizeof hash, "%08X", (unsigned)r.hash);
      *error = std::string("entry ") + hash + ": " + r.problem;
      return false;
    }
    records.push_back({r.hash, archive.data() + r.offset + FFS_RECORD_HEAD_SIZE, r.length, 0, NULL});
  }
  *out = stub;
  if (!LayOut(records, image.flags, (uint32_t)stub.size(), TAIL_SEALED, NULL, out, error)) {
    out->clear();
    return false;
  }
  Seal(out);
  return true;
}

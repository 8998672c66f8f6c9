// The archive writer: collects entries (name + content + method), packs them,
// and lays out the flat file archive the installer mounts:
//
//   header (16 bytes: "FFS!", N, ~N, flags)
//   directory (N x 8 bytes: hash, absolute record offset), ascending hash
//   records (hash, stored length L, L data bytes), in directory order
//   [zero padding, so the last record's data has 16 bytes behind it]
//   [trailer: 4 bytes, the archive's start offset A, only behind a stub]
//
// All offsets are absolute in the container file, so an archive written for
// one base cannot simply be copied behind a stub: write it for the stub's
// size (ArchiveWriteInstaller) or move it (ArchiveAppendToStub).
//
// Output is a pure function of the entries: no time stamps, no host data,
// directory order by hash, so identical inputs give identical bytes.
#ifndef BUILDER_ARCHIVE_WRITER_H
#define BUILDER_ARCHIVE_WRITER_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "ffs.h"

// How an entry is stored. ARCHIVE_AUTO picks the smallest of raw, method 1
// and method 2 (raw wins ties, then method 1).
enum ArchiveMethod { ARCHIVE_AUTO, ARCHIVE_RAW, ARCHIVE_METHOD1, ARCHIVE_METHOD2 };

// "auto", "raw", "1", "2" -> method; false for anything else.
bool ArchiveParseMethod(const char *text, ArchiveMethod *method);
// "auto", "raw", "1", "2".
const char *ArchiveMethodName(ArchiveMethod method);

// The directory hash of a name: CRC-32 of the name with a-z upper-cased
// (other bytes unchanged), over its bytes without terminator.
uint32_t ArchiveHashName(const std::string &name);

// The largest content or stored length an entry may have (2 GiB - 1).
#define ARCHIVE_MAX_ENTRY 0x7FFFFFFFu

struct ArchiveEntry {
  std::string name;           // as given to Add (the archive stores none)
  uint32_t hash;              // ArchiveHashName(name)
  ArchiveMethod method;       // ARCHIVE_RAW, ARCHIVE_METHOD1 or ARCHIVE_METHOD2
  uint32_t contentSize;       // bytes after unpacking
  std::vector<uint8_t> data;  // bytes as stored; L = data.size()
};

class ArchiveWriter {
 public:
  // Packs content with method and adds the entry. A raw request for content
  // that begins with a packed signature ("FFC!", "FFC@") is packed instead
  // (smallest of methods 1 and 2). Every packed result is decoded again and
  // compared before it is accepted; auto falls back to raw when no packer
  // gives a sound result. Returns false, with *error set and the
  // writer unchanged, for: an empty name; empty content (a stored length of
  // 0 reads as "absent" in the installer); content above ARCHIVE_MAX_ENTRY;
  // a method that cannot pack this content (packer not available); a name
  // whose hash another entry already has (the message names both: names
  // that differ only in letter case always collide).
  bool Add(const std::string &name, const uint8_t *content, size_t size, ArchiveMethod method,
           std::string *error);
  bool Add(const std::string &name, const std::vector<uint8_t> &content, ArchiveMethod method,
           std::string *error);

  // Entries in directory order (ascending hash).
  const std::vector<ArchiveEntry> &Entries() const { return entries_; }
  size_t Count() const { return entries_.size(); }

  // Header flags: FFS_TURBO (records in directory order, set by default)
  // plus FFS_FLAG_METHOD1 / FFS_FLAG_METHOD2 when such entries exist.
  void SetTurbo(bool on) { turbo_ = on; }
  uint32_t Flags() const;

  // Lays out the archive as it will sit at absolute offset base of its
  // container, appending the 4-byte trailer (= base) when trailer is true.
  // out receives only the archive bytes (not what lies before base). Fails,
  // with *error, when there are no entries or the container would reach
  // 2 GiB (the installer measures its file with signed 32-bit offsets).
  bool Write(uint32_t base, bool trailer, std::vector<uint8_t> *out, std::string *error) const;

 private:
  std::vector<ArchiveEntry> entries_;
  bool turbo_ = true;
};

// Whether stub can carry an archive: false (and *error) when it already
// carries one, begins with "FFS!" (the installer would take it for the
// archive), or is 2 GiB or larger.
bool ArchiveCheckStub(const std::vector<uint8_t> &stub, std::string *error);

// The finished installer: stub bytes, the archive written for base =
// stub.size(), and the trailer. Fails as ArchiveCheckStub or Write does.
bool ArchiveWriteInstaller(const std::vector<uint8_t> &stub, const ArchiveWriter &writer,
                           std::vector<uint8_t> *out, std::string *error);

// Moves an archive that begins at offset 0 of archive (a standalone archive
// as `ffsbuild pack` writes it; any trailer is dropped) behind stub: every
// directory offset grows by stub.size(), the records keep their bytes, and
// the trailer is appended. Fails, with *error, when archive is not a sound
// standalone archive (or any record is damaged), the stub fails
// ArchiveCheckStub, or the result would reach 2 GiB.
bool ArchiveAppendToStub(const std::vector<uint8_t> &stub, const std::vector<uint8_t> &archive,
                         std::vector<uint8_t> *out, std::string *error);

#endif

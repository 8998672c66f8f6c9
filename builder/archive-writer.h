// The archive writer: collects entries (name + content + method), packs them,
// and lays out the flat file archive the installer mounts (the layout is
// drawn in core/ffs.h).
//
// An installer (ArchiveWriteInstaller, ArchiveAppendToStub) ends instead
// with zero padding to a size that is a multiple of 8, the integrity record
// (16 bytes, announced by FFS_FLAG_INTEGRITY in the header) and the trailer;
// the record's layout and what it covers are described in ffs.h.
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
#include <stdio.h>

#include <string>
#include <vector>

#include <functional>

#include "ffs.h"
#include "pack3.h"
#include "pack4.h"

// How an entry is stored. ARCHIVE_SMALLEST picks the smallest of raw, method
// 1, method 2 and method 3; ARCHIVE_AUTO the same candidates by their size
// plus a charge for the time each takes to unpack (see PackEntry), for the
// quickest install for its size. Raw wins ties, then the lower method;
// method 3 takes part only where its packer is available (Pack3Available).
// Method 4 (zstd, Pack4Available) is packed only when asked for: ARCHIVE_FAST
// packs with it, and stores an entry as it is where its samples do not pack
// (large entries) or the result is no smaller; `ffsbuild build`'s default
// (with solid groups), for the quickest install at about the size of the
// smallest. Without method 4's packer it is ARCHIVE_AUTO.
// ARCHIVE_MEMBER is how an entry was stored, never a request: a member of a
// solid block (ArchiveWriter::SetSolid).
enum ArchiveMethod {
  ARCHIVE_AUTO,
  ARCHIVE_RAW,
  ARCHIVE_METHOD1,
  ARCHIVE_METHOD2,
  ARCHIVE_METHOD3,
  ARCHIVE_MEMBER,
  ARCHIVE_SMALLEST,
  ARCHIVE_METHOD4,
  ARCHIVE_FAST
};

// "auto", "smallest", "fast", "raw", "1", "2", "3", "4" -> method; false for anything else.
bool ArchiveParseMethod(const char *text, ArchiveMethod *method);
// "auto", "smallest", "fast", "raw", "1", "2", "3", "4", "solid".
const char *ArchiveMethodName(ArchiveMethod method);

// Files below this size join solid groups; larger ones gain little from a
// neighbour and are packed alone.
#define ARCHIVE_SOLID_MEMBER_MAX 0x400000u
// Files from this size on that are packed are packed in pieces (AddAll).
#define ARCHIVE_PIECES_MIN 0x1000000u
// The name of the n-th solid block (from 1): "<solid n>".
std::string ArchiveSolidName(size_t n);

// The directory hash of a name: CRC-32 of the name with a-z upper-cased
// (other bytes unchanged), over its bytes without terminator.
uint32_t ArchiveHashName(const std::string &name);

struct ArchiveEntry {
  std::string name;           // as given to Add (the archive stores none)
  uint32_t hash;              // ArchiveHashName(name)
  ArchiveMethod method;       // ARCHIVE_RAW, ARCHIVE_METHOD1..4 or ARCHIVE_MEMBER
  bool filtered = false;      // method 3 or 4 over the branch-call filter ("FFX#")
  uint32_t contentSize;       // bytes after unpacking
  std::vector<uint8_t> data;  // bytes as stored; L = data.size()
  // With a spool (ArchiveWriter::SetSpool) data is empty once the entry is
  // added, and its L = spooledLength bytes lie in the spool from spoolAt.
  bool spooled = false;
  uint32_t spooledLength = 0;
  uint64_t spoolAt = 0;
  // A large raw entry that AddAll did not load (see AddAll): data is empty
  // and its contentSize bytes are read from this file when it is written.
  std::string source;
  // A large entry that AddAll packed in pieces (see AddAll): until it is
  // added, data is empty and its packedLength bytes are this temporary
  // file's; adding moves them to the spool (or data) and closes it.
  FILE *packed = NULL;
  uint32_t packedLength = 0;
};

// One entry for ArchiveWriter::AddAll: its name, where its content comes
// from (the file at path, read when its turn comes; content itself when
// path is empty), and how it is stored (level: method 3's effort).
struct ArchiveInput {
  std::string name;
  std::string path;
  std::vector<uint8_t> content;
  ArchiveMethod method = ARCHIVE_AUTO;
  int level = PACK3_DEFAULT_LEVEL;
};

class ArchiveWriter {
 public:
  // Packs content with method and adds the entry. A raw request for content
  // that begins with a packed signature ("FFC!", "FFC@", "FFC#") is packed
  // instead (by auto's rule). Every packed result is decoded again and
  // compared before it is accepted; auto falls back to raw when no packer
  // gives a sound result. Returns false, with *error set and the
  // writer unchanged, for: an empty name; empty content (a stored length of
  // 0 reads as "absent" in the installer); content above FFS_ENTRY_MAX;
  // a method that cannot pack this content (packer not available); a name
  // whose hash another entry already has (the message names both: names
  // that differ only in letter case always collide).
  bool Add(const std::string &name, const uint8_t *content, size_t size, ArchiveMethod method,
           std::string *error);
  bool Add(const std::string &name, const std::vector<uint8_t> &content, ArchiveMethod method,
           std::string *error);

  // Adds the inputs as Add would, in their order, packing up to threads of
  // them at the same time (0: one per processor). The entries are the same,
  // byte for byte, whatever the count. Stops at the first input, in the
  // given order, that cannot be read or added: false, with *error and
  // *failed (its index); the inputs before it stay added. done, when given,
  // is called on the calling thread with the count of inputs added so far.
  //
  // With SetSolid, inputs of 1 to ARCHIVE_SOLID_MEMBER_MAX - 1 bytes that
  // are not asked to be raw are gathered, in their order, into groups of at
  // most FFS_SOLID_MAX bytes; a group of two or more becomes a block entry
  // (ArchiveSolidName, packed with the method of its first member) and a
  // member entry for each of its inputs (the layout is drawn in ffs.h). A
  // group of one is packed alone. A block that cannot be added fails at its
  // first member.
  //
  // An input read from a file of at least ARCHIVE_PIECES_MIN bytes that is
  // to be packed with method 3 or 4 (asked for, or by fast, auto and
  // smallest) is read and packed in pieces, its result written through to a
  // temporary file and proven by decoding that in pieces: fast takes method
  // 4, auto and smallest method 3 or raw (methods 1 and 2 are not tried),
  // method 3's dictionary is at most PACK3_FILE_DICTIONARY, and a program
  // or library tried behind the branch-call filter is filtered into a
  // temporary file first. So the memory such an entry takes does not grow
  // with its size.
  //
  // An input read from a file of at least 1 MiB that is to be stored raw
  // (asked to be, or auto and smallest finding from samples that it does
  // not pack) is not loaded: its entry names the file, which Write and the
  // installer writers read in pieces (they fail when it has changed size or
  // come to begin like a packed entry meanwhile). Inputs are packed side by
  // side only as far as their sizes fit a memory budget; a larger one is
  // packed alone.
  bool AddAll(const std::vector<ArchiveInput> &inputs, unsigned threads, std::string *error, size_t *failed,
              const std::function<void(size_t)> &done = nullptr);

  // Entries in directory order (ascending hash).
  const std::vector<ArchiveEntry> &Entries() const { return entries_; }
  size_t Count() const { return entries_.size(); }

  // From now on, each entry's stored bytes go to spool (a file open for
  // reading and writing, used by this writer alone) as it is added, instead
  // of staying in memory; Write and the installer writers read them back.
  // Adding then also fails once the entries pass what an archive can hold.
  void SetSpool(FILE *spool) { spool_ = spool; }
  FILE *Spool() const { return spool_; }

  // Header flags: FFS_TURBO (records in directory order, set by default)
  // plus FFS_FLAG_METHOD1 / 2 / 3 / 4, FFS_FLAG_SOLID and FFS_FLAG_X86 when
  // such entries exist.
  void SetTurbo(bool on) { turbo_ = on; }
  // Whether AddAll makes solid groups (off by default).
  void SetSolid(bool on) { solid_ = on; }
  // Whether programs and libraries for x86 and x64 packed with method 3 or
  // 4, and solid blocks that hold one, are also tried behind the branch-call
  // filter, the smaller kept (on by default).
  void SetBranchFilter(bool on) { filter_ = on; }
  // Effort of method 3 for the entries added from now on
  // (PACK3_MIN_LEVEL..PACK3_MAX_LEVEL, default PACK3_DEFAULT_LEVEL).
  void SetLevel(int level) { level_ = level; }
  uint32_t Flags() const;

  // Lays out the archive as it will sit at absolute offset base of its
  // container, appending the 4-byte trailer (= base) when trailer is true.
  // out receives only the archive bytes (not what lies before base). Fails,
  // with *error, when there are no entries or the container would reach
  // 2 GiB (the installer measures its file with signed 32-bit offsets).
  bool Write(uint32_t base, bool trailer, std::vector<uint8_t> *out, std::string *error) const;
  // The standalone archive (base 0, no trailer) written to path piece by
  // piece, through path + ".part" renamed at the end.
  bool WriteFile(const std::string &path, std::string *error) const;

 private:
  // Where an entry of that hash goes in entries_ (*at); false, with *error,
  // when another entry has the hash.
  bool Place(const std::string &name, uint32_t hash, size_t *at, std::string *error) const;
  bool Insert(ArchiveEntry &&entry, std::string *error);

  std::vector<ArchiveEntry> entries_;
  bool turbo_ = true;
  bool solid_ = false;
  bool filter_ = true;
  int level_ = PACK3_DEFAULT_LEVEL;
  FILE *spool_ = NULL;
  uint64_t spoolEnd_ = 0;
  uint64_t linked_ = 0;  // bytes of the entries read from their files
};

// Whether stub can carry an archive: false (and *error) when it already
// carries one, begins with "FFS!" (the installer would take it for the
// archive), or is 2 GiB or larger.
bool ArchiveCheckStub(const std::vector<uint8_t> &stub, std::string *error);

// The finished installer: stub bytes, the archive written for base =
// stub.size(), padding, the integrity record and the trailer. Fails as
// ArchiveCheckStub or Write does.
bool ArchiveWriteInstaller(const std::vector<uint8_t> &stub, const ArchiveWriter &writer,
                           std::vector<uint8_t> *out, std::string *error);

// The same, written to path piece by piece (through path + ".part", renamed
// at the end, so a failure leaves no partial file), with the PE checksum
// brought up to date when checksum is true; *size is the file's size.
bool ArchiveWriteInstallerFile(const std::vector<uint8_t> &stub, const ArchiveWriter &writer,
                               const std::string &path, bool checksum, uint64_t *size, std::string *error);

// Moves an archive that begins at offset 0 of archive (a standalone archive
// as `ffsbuild pack` writes it; any trailer is dropped) behind stub: every
// directory offset grows by stub.size(), the records keep their bytes, and
// padding, the integrity record and the trailer are appended. Fails, with
// *error, when archive is not a sound standalone archive (or any record is
// damaged), the stub fails ArchiveCheckStub, or the result would reach 2 GiB.
bool ArchiveAppendToStub(const std::vector<uint8_t> &stub, const std::vector<uint8_t> &archive,
                         std::vector<uint8_t> *out, std::string *error);

#endif

// The builder's view of a finished archive or installer held in memory: the
// same location rules, header and record checks as the installer's reader,
// but every record is examined and described rather than looked up by name.
// Used by `ffsbuild list`, `extract`, `verify` and `stub`.
#ifndef BUILDER_ARCHIVE_READER_H
#define BUILDER_ARCHIVE_READER_H

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "archive-writer.h"
#include "ffs-container.h"

struct ArchiveRecord {
  uint32_t hash;          // from the directory
  uint32_t offset;        // absolute offset of the record
  uint32_t length;        // stored length L (0 when the record head is unreadable)
  ArchiveMethod method;   // ARCHIVE_RAW, ARCHIVE_METHOD1..4 or ARCHIVE_MEMBER
  bool filtered;          // method 3 or 4 behind the branch-call filter ("FFX#")
  uint32_t contentSize;   // L for raw, the packed head's or member's size otherwise
  uint32_t block;         // a member's block hash and its offset in the block
  uint32_t blockOffset;
  std::string problem;    // empty when the installer can query and load it
};

struct ArchiveImage {
  uint32_t start = 0;     // offset A of the header
  bool trailer = false;   // located through the trailer (an installer)
  uint32_t trailerAt = 0; // offset of the trailer, when located through it
  // PE fields a signature rewrites, and where a certificate table that ends
  // the file begins (container.end; the file size when it is not signed).
  FfsContainer container = {0, 0, 0, 0};
  uint32_t flags = 0;
  std::vector<ArchiveRecord> records;  // in directory order
  // Directory-level faults (unsorted or repeated hashes); empty when sound.
  std::string problem;
};

// Parses the container's header and directory and examines every record.
// false (and *error, worded as the installer's mount failure) when the
// installer could not mount it; damaged records are described in their
// problem field instead.
bool ArchiveParse(const std::vector<uint8_t> &file, ArchiveImage *image, std::string *error);

// Size of the certificate table that ends the file; 0 when not signed.
inline uint32_t ArchiveSignatureSize(const ArchiveImage &image) {
  return image.container.size - image.container.end;
}

enum ArchiveIntegrity {
  ARCHIVE_INTEGRITY_NONE,     // no record, and the header announces none
  ARCHIVE_INTEGRITY_MATCHES,  // the covered bytes give the record's check
  ARCHIVE_INTEGRITY_DAMAGED   // they do not, or an announced record is gone
};

// Checks the file against its integrity record as the installer does at
// start-up; *what says what matched or did not.
ArchiveIntegrity ArchiveCheckIntegrity(const std::vector<uint8_t> &file, const ArchiveImage &image,
                                       std::string *what);

// An FfsReadAt over bytes in memory: context is a const std::vector<uint8_t>.
int ArchiveReadAt(void *context, uint32_t offset, void *buffer, uint32_t n);

// Index of the record with the hash, or -1.
int ArchiveFind(const ArchiveImage &image, uint32_t hash);

// Solid blocks already unpacked, by hash, for reading many members.
typedef std::map<uint32_t, std::vector<uint8_t>> ArchiveSolidCache;

// Unpacks one record of image (a member through its block, which is kept in
// cache when one is given). false (and *error) when the record has a
// problem or does not decode to its content size.
bool ArchiveDecode(const std::vector<uint8_t> &file, const ArchiveImage &image, const ArchiveRecord &record,
                   std::vector<uint8_t> *content, std::string *error, ArchiveSolidCache *cache = nullptr);

// Whether packed entry data of method unpacks to exactly the size bytes of
// content, decoded as the installer streams it (through a window of the
// method's reach and a piece more), so no second copy of the content is
// made. Used by the writer to prove each packed entry. Data of method 3 or 4
// that begins with the branch-call filter's tag ("FFX#") is reversed after
// unpacking, as the installer reverses it; so is it in ArchiveDecodeData.
bool ArchiveDecodesTo(const uint8_t *data, size_t length, ArchiveMethod method, const uint8_t *content,
                      uint32_t size);

// The same for length bytes of packed data in the file data and the size
// bytes of content in the file content, each read from its start in pieces.
bool ArchiveFileDecodesTo(FILE *data, uint64_t length, ArchiveMethod method, FILE *content, uint32_t size);

// Unpacks stored entry data (as ArchiveEntry::data holds it) and checks it
// against contentSize.
bool ArchiveDecodeData(const uint8_t *data, size_t length, ArchiveMethod method, uint32_t contentSize,
                       std::vector<uint8_t> *content, std::string *error);

#endif

// The builder's view of a finished archive or installer held in memory: the
// same location rules, header and record checks as the installer's reader,
// but every record is examined and described rather than looked up by name.
// Used by `ffsbuild list`, `extract`, `verify` and `stub`.
#ifndef BUILDER_ARCHIVE_READER_H
#define BUILDER_ARCHIVE_READER_H

#include <stdint.h>

#include <string>
#include <vector>

#include "archive-writer.h"

struct ArchiveRecord {
  uint32_t hash;          // from the directory
  uint32_t offset;        // absolute offset of the record
  uint32_t length;        // stored length L (0 when the record head is unreadable)
  ArchiveMethod method;   // ARCHIVE_RAW, ARCHIVE_METHOD1 or ARCHIVE_METHOD2
  uint32_t contentSize;   // L for raw, the packed head's size otherwise
  std::string problem;    // empty when the installer can query and load it
};

struct ArchiveImage {
  uint32_t start = 0;     // offset A of the header
  bool trailer = false;   // located through the trailer (an installer)
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

// Index of the record with the hash, or -1.
int ArchiveFind(const ArchiveImage &image, uint32_t hash);

// Unpacks one record. false (and *error) when the record has a problem or
// does not decode to its content size.
bool ArchiveDecode(const std::vector<uint8_t> &file, const ArchiveRecord &record,
                   std::vector<uint8_t> *content, std::string *error);

// Unpacks stored entry data (as ArchiveEntry::data holds it) and checks it
// against contentSize. Used by the writer to prove each packed entry.
bool ArchiveDecodeData(const uint8_t *data, size_t length, ArchiveMethod method, uint32_t contentSize,
                       std::vector<uint8_t> *content, std::string *error);

#endif

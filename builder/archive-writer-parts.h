// What the files of the archive writer share (archive-writer.cpp: the
// entries and their names; archive-pack.cpp: each entry's method, chosen
// and proven; archive-solid.cpp: solid groups and packing side by side;
// archive-layout.cpp: the container's layout and its writing). Not for
// other callers: they include archive-writer.h.
#ifndef BUILDER_ARCHIVE_WRITER_PARTS_H
#define BUILDER_ARCHIVE_WRITER_PARTS_H

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "archive-writer.h"

// The installer measures its own file with 32-bit signed offsets on Win32,
// so a container must stay below 2 GiB.
const uint64_t kArchiveMaxContainer = 0x7FFFFFFFu;
extern const char kArchiveTooLarge[];

void ArchivePutLe32(std::vector<uint8_t> *out, uint32_t v);

// Content of at least kArchiveSampleMin bytes that auto or smallest would
// pack is first judged by kArchiveSamples pieces of kArchiveSamplePiece
// bytes spread evenly over it, the first at its start and the last at its
// end: packed on their own with a fast method (method 3 at level 0, or
// method 1 where method 3 is not available), unless they save at least
// 1/32 of their bytes the content is stored raw without trying any method.
// Data that packs only over long distances (a large piece repeated further
// on) can be judged incompressible this way.
const uint64_t kArchiveSampleMin = 1u << 20;
const size_t kArchiveSamplePiece = 1u << 16;
const int kArchiveSamples = 8;
// read(offset, buffer, n) reads n bytes of the content; false when it
// cannot (*readable false then). Whether the samples pack.
bool ArchiveSamplesPack(uint64_t size, const std::function<bool(uint64_t, uint8_t *, size_t)> &read,
                        bool *readable);
// Whether content that begins with these bytes must be packed (it would be
// misread raw: it begins like a packed entry or a solid member).
bool ArchiveHasPackedSignature(const uint8_t *content, size_t size);
// The checks of an entry's name and size that come before packing; false,
// with *error.
bool ArchiveCheckEntry(const std::string &name, uint64_t size, std::string *error);

// Packs content as an entry named name (everything ArchiveWriter::Add does
// but the check against the entries already added). Touches nothing shared,
// so that entries can be packed side by side. own, when given, holds the
// content's bytes and is taken for a raw entry instead of a copy of them.
// filter says whether method 3 and 4 try the branch-call filter too: never,
// for content that is an x86 or x64 program or library (PackX86IsCode), or
// always (a solid block that holds one).
enum ArchiveFilter { ARCHIVE_FILTER_OFF, ARCHIVE_FILTER_DETECT, ARCHIVE_FILTER_TRY };
bool ArchivePackEntry(const std::string &name, const uint8_t *content, size_t size, ArchiveMethod method, int level,
                      ArchiveEntry *entry, std::string *error, std::vector<uint8_t> *own = nullptr,
                      ArchiveFilter filter = ARCHIVE_FILTER_DETECT);

// Packs size bytes (at least ARCHIVE_PIECES_MIN) of the file at path in
// pieces as an entry named name, as AddAll describes: method is fast, auto,
// smallest, 3 or 4; a program or library is also tried behind the
// branch-call filter when filter is true. 1 with *entry (its packed bytes in a temporary file, or
// its source the file for raw), 0 when this method is not packed in pieces
// here (its packer is not available), -1 when it fails (*error).
int ArchivePackFile(const std::string &name, const std::string &path, uint64_t size, ArchiveMethod method, int level,
                    bool filter, ArchiveEntry *entry, std::string *error);
// About how many bytes of memory ArchivePackFile takes for that method.
uint64_t ArchivePackFileMemory(uint64_t size, ArchiveMethod method, int level);

#endif

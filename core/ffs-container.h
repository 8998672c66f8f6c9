// The container file around the archive: where a signed program keeps its
// certificate table, where the trailer lies in front of it, and the
// integrity record with the check over the container's bytes. Shared by the
// installer's reader (ffs.cpp) and the builder, so both find the same bytes
// and compute the same check. The layout is described in ffs.h.
#ifndef VANTOR_FFS_CONTAINER_H
#define VANTOR_FFS_CONTAINER_H

#include <stdint.h>

// Reads n bytes at offset of the container into buffer: 1 when all n were
// read, 0 otherwise.
typedef int (*FfsReadAt)(void *context, uint32_t offset, void *buffer, uint32_t n);

// What the container's program headers say about the bytes a signature
// changes. Offsets of 0 mean "none": offset 0 always holds "MZ".
struct FfsContainer {
  uint32_t size;        // the container's size
  uint32_t end;         // where the archive's part ends: size, or the start of
                        // a certificate table that ends the file
  uint32_t checksumAt;  // the PE CheckSum field (4 bytes), 0 when no PE image
  uint32_t securityAt;  // the security directory entry (8 bytes), 0 when none
};

// Reads the PE headers of the container of the given size. A file that is
// not a PE32 or PE32+ image (or whose headers are cut short) has no fields
// and ends at its size; so does one whose security directory names a table
// that does not end the file. Reads at most a few hundred bytes.
void FfsContainerRead(FfsReadAt read, void *context, uint32_t size, FfsContainer *container);

// Results of FfsContainerFindTrailer.
#define FFS_TRAILER_FOUND 1
#define FFS_TRAILER_NO_OFFSET 0  // the offset is 0 or not below the end
#define FFS_TRAILER_NO_TAG (-1)  // the offset names something other than "FFS!"

// Finds the 4-byte trailer and the archive start A it holds. An unsigned
// container: the trailer is its last 4 bytes and A must lie below the file
// size (the tag is not read). A signed one: the 4 bytes before the
// certificate table, or before up to FFS_SIGNED_PADDING_MAX zero bytes in
// front of it (the padding an older build left to signing), the first whose
// A names an "FFS!" tag. *trailerAt and *start are set for every result:
// for the two failures, those of the last 4 bytes before the end, for the
// messages.
int FfsContainerFindTrailer(FfsReadAt read, void *context, const FfsContainer *container, uint32_t *trailerAt,
                            uint32_t *start);

// A sound integrity record as read: the bytes it covers (its own offset)
// and their check.
struct FfsIntegrity {
  uint32_t covered;
  uint32_t crc;
};

// Whether the FFS_INTEGRITY_SIZE bytes read at offset at are a sound
// integrity record: its tag, its own check, and a covered length equal to
// at. 1 sound (*record filled), 0 not.
int FfsIntegrityParse(const unsigned char *bytes, uint32_t at, FfsIntegrity *record);
// Lays out the record for offset at and the check crc into bytes
// (FFS_INTEGRITY_SIZE of them).
void FfsIntegrityMake(uint32_t at, uint32_t crc, unsigned char *bytes);
// Carries the check on over one block of the container: the n bytes that
// lie at offset, less the CheckSum field and the security directory entry
// (a signature rewrites both). crc is 0 before the first block.
uint32_t FfsIntegrityUpdate(uint32_t crc, const FfsContainer *container, uint32_t offset, const void *block,
                            uint32_t n);

#endif

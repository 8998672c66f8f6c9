// Packer for compression method 4 (builder side only), over Debian's
// libzstd: one zstd frame at level CMP4_LEVEL with its content size and
// checksum, its window at most CMP4_MAX_WINDOW, and the head of
// core/ffs-cmp4.h put in front. Single-threaded, so the output depends only
// on the data.
#ifndef BUILDER_PACK4_H
#define BUILDER_PACK4_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <vector>

// Whether this build has the encoder (false where libzstd was not found,
// as in the Win32 build of the builder).
bool Pack4Available();

// Packs data into a complete method-4 entry. Returns false for input the
// format cannot hold (empty, or 2 GiB and more), or when the encoder is not
// available or fails.
bool Pack4(const uint8_t *data, size_t size, std::vector<uint8_t> *out);

// The same for size bytes read from in (from where it stands) in pieces,
// the entry written to out (from where it stands) as it is made; *length is
// its size. The encoder's memory is its level's, whatever the size (see
// PACK4_MEMORY). Also false when a read or write fails.
bool Pack4File(FILE *in, uint64_t size, FILE *out, uint64_t *length);

// The size data packs to at the quick level PACK4_ESTIMATE_LEVEL (a plain
// zstd frame, for comparing two forms of the same data); 0 when the encoder
// is not available or fails.
#define PACK4_ESTIMATE_LEVEL 9
size_t Pack4Estimate(const uint8_t *data, size_t size);

// About how many bytes of memory the encoder takes besides the data and its
// output, at most (level 19's tables for a window of CMP4_MAX_WINDOW).
#define PACK4_MEMORY (96u << 20)

#endif

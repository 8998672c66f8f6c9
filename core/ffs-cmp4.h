// Compression method 4: the zstd frame format (RFC 8878). Decoder only;
// the packer in the builder calls the system's zstd library. The format's
// constants are named here once; the builder includes this header.
//
// Entry layout (all integers little-endian):
//
//   offset  size  field
//   0       4     signature "FFZ#" (0x46 0x46 0x5A 0x23)
//   4       4     content size S, 1..0x7FFFFFFF
//   8       4     window W, 1..CMP4_MAX_WINDOW: no frame of the entry has
//                 a larger window, so no match reaches W or more bytes back
//   12      rest  zstd frames, to the end of the entry's data
//
// The frames are zstd frames (magic 0xFD2FB528) and skippable frames
// (0x184D2A50..0x184D2A5F), one after the other, whose contents together are
// the S bytes. A frame uses no dictionary (its dictionary ID is absent or
// 0), may be single-segment, may state its content size (which must then
// match) and may end in a checksum (the low 32 bits of its content's XXH64
// with seed 0, which must match). The builder packs with level 19 and a
// window of at most 2^23 bytes (CMP4_MAX_WINDOW), so the runtime streams an
// entry through at most 8 MiB of history and 2 MiB more; a frame whose
// window exceeds W or CMP4_MAX_WINDOW is refused. A frame cut short, bytes
// after the last frame that are no frame, a block larger than 128 KiB or
// its window, a table or code out of range, a copy reaching before the
// frame's start, or more or fewer than S bytes in all are damage.
#ifndef VANTOR_FFS_CMP4_H
#define VANTOR_FFS_CMP4_H

#include <stdint.h>

#include "ffs-stream.h"

#define CMP4_SIGNATURE "FFZ#"
#define CMP4_HEAD_SIZE 12
#define CMP4_MAX_WINDOW_LOG 23
#define CMP4_MAX_WINDOW (1u << CMP4_MAX_WINDOW_LOG)
#define CMP4_LEVEL 19
#define CMP4_MAGIC 0xFD2FB528u
#define CMP4_SKIPPABLE_MAGIC 0x184D2A50u  // the low 4 bits are free
#define CMP4_BLOCK_MAX 0x20000u

struct Cmp4Head {
  uint32_t size;    // S
  uint32_t window;  // W
};

// 1 if the first 4 bytes are "FFZ#". The caller guarantees 4 readable bytes.
int Cmp4IsPacked(const void *data);
// Content size S from the head; 0 when data is NULL.
int Cmp4GetSize(const void *data, uint32_t *size);
// Reads the head of length bytes of entry data: 1 and *head filled when the
// signature, S and W are within the limits above; else 0.
int Cmp4ReadHead(const void *data, int length, Cmp4Head *head);
// The window a zstd frame header at data (length bytes) asks for: 1 and
// *window, or 0 when the bytes are not a whole frame header.
int Cmp4FrameWindow(const void *data, int length, uint64_t *window);
// Unpacks length bytes of packed data (with the head) into output, which is
// also the window. Never reads outside data[0..length) nor writes outside
// output[0..outputSize). 1 when exactly outputSize bytes were produced and
// every frame checked; 0 for a bad head or a damaged stream, the output then
// partly written.
int Cmp4Decompress(const void *data, int length, void *output, int outputSize);
// The same from an input at the entry's start into a window (keeping at
// least W bytes, with room for a block more) for a content of size bytes;
// the window is left unflushed. 0 also when a read or the sink failed.
int Cmp4Decode(FfsInput *input, FfsWindow *window, uint32_t size);

// XXH64 of a content given in pieces.
struct Cmp4Hash {
  uint64_t v[4];
  uint64_t total;
  unsigned char buffer[32];
  uint32_t buffered;
};
void Cmp4HashStart(Cmp4Hash *h);
void Cmp4HashUpdate(Cmp4Hash *h, const unsigned char *data, uint32_t n);
uint64_t Cmp4HashDigest(const Cmp4Hash *h);

#endif

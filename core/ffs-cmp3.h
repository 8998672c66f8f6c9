// Compression method 3: LZ77 over a large window with adaptive binary range
// coding (the published LZMA coding: literals coded bit by bit in the
// context of the previous byte, matches, a short repeat and four repeated
// distances, each decision with its own adaptive probability). Decoder only;
// the packer lives in the builder. The format's constants are named here
// once; the builder includes this header.
//
// Entry layout (all integers little-endian):
//
//   offset  size  field
//   0       4     signature "FFC#" (0x46 0x46 0x43 0x23)
//   4       4     content size S, 1..0x7FFFFFFF
//   8       1     coder parameters: (pb * 5 + lp) * 9 + lc, below 225
//                 lc  literal context bits (previous byte's top bits), 0..8
//                 lp  literal position bits, 0..4
//                 pb  position bits of the match decisions, 0..4
//                 with lc + lp at most 4 (CMP3_MAX_LITERAL_BITS)
//   9       4     dictionary size D, 4,096..64 MiB (CMP3_MIN_DICTIONARY,
//                 CMP3_MAX_DICTIONARY); no distance reaches D or more bytes
//                 back
//   13      rest  the range-coded stream, to the end of the entry's data
//
// The stream is a raw LZMA1 stream for exactly S bytes: its first byte is 0,
// the next four start the range decoder's code (big-endian), and it holds
// no end marker: the decoder stops after the S-th byte, where the range
// decoder's code must be 0 (the coder was flushed there). Every
// probability starts at 1,024 of 2,048; the state starts at 0 and all four
// repeated distances at 0 (distance 1). Bytes after the stream's last are
// not allowed: a stream that needs more bytes than the entry holds, refers
// before the output start or D or more bytes back, runs past S, holds an end
// marker, or leaves a non-zero code is damaged.
#ifndef VANTOR_FFS_CMP3_H
#define VANTOR_FFS_CMP3_H

#include <stdint.h>

#include "ffs-stream.h"

#define CMP3_SIGNATURE "FFC#"
#define CMP3_HEAD_SIZE 13
#define CMP3_MIN_DICTIONARY 4096u
#define CMP3_MAX_DICTIONARY (64u << 20)
#define CMP3_MAX_LITERAL_BITS 4  // lc + lp
#define CMP3_PARAMETERS(lc, lp, pb) (((pb) * 5 + (lp)) * 9 + (lc))

// Coder parameters of a head.
struct Cmp3Head {
  uint32_t size;        // S
  int lc, lp, pb;
  uint32_t dictionary;  // D
};

// 1 if the first 4 bytes are "FFC#". The caller guarantees 4 readable bytes.
int Cmp3IsPacked(const void *data);
// Content size S from the head; 0 when data is NULL.
int Cmp3GetSize(const void *data, uint32_t *size);
// Reads the head of length bytes of entry data: 1 and *head filled when the
// signature, S, the parameters and D are within the limits above; else 0.
int Cmp3ReadHead(const void *data, int length, Cmp3Head *head);
// Unpacks length bytes of packed data (with the head) into output. Works in
// fixed memory (the probability tables, sized for the largest lc + lp, are
// the module's own); the output is the window. Never reads outside
// data[0..length) nor writes outside output[0..outputSize). 1 when exactly
// outputSize bytes were produced and the stream ended as above; 0 for a bad
// head (see Cmp3ReadHead, or S different from outputSize) or a damaged
// stream, the output then partly written.
int Cmp3Decompress(const void *data, int length, void *output, int outputSize);
// The same from an input at the entry's start into a window (keeping at
// least D bytes, with room for 273 more) for a content of size bytes; the
// window is left unflushed. 0 also when a read or the sink failed.
int Cmp3Decode(FfsInput *input, FfsWindow *window, uint32_t size);

#endif

// The branch-call filter for x86 and x64 code: the builder applies it to an
// executable's or library's content before packing it with method 3 or 4,
// and the installer reverses it after unpacking. A call or jump with a
// 32-bit displacement (opcode E8 or E9) names its target relative to the
// next instruction, so calls to one function differ everywhere; made
// absolute they repeat, and pack better.
//
// Entry layout: "FFX#" (0x46 0x46 0x58 0x23), then a whole method-3 or
// method-4 entry (its head and stream) whose content is the filtered
// content; the size query finds the content size in that head, at offset 8.
// Neither the filtered form nor any other packed form is nested in it.
//
// The transform, over the content's bytes at positions p = 0, 1, ...: a
// byte E8 or E9 at p with at least 4 bytes after it, whose fourth following
// byte (p + 4) is 00 or FF, and with no E8 or E9 that the scan looked at
// and left as it was at p - 1, p - 2 or p - 3, has its next 4 bytes taken
// as a little-endian value v.
// Only the low 25 bits count (bit 24 stands for the top byte, 00 or FF):
// the filter adds p + 5 to them, reversing subtracts it, modulo 2^25, and
// the top 7 bits become copies of bit 24 again. The scan then goes on at
// p + 5; every other byte is passed over, going on at p + 1. An E8 or E9
// inside converted bytes is not looked at. Converted bytes keep a top byte
// of 00 or FF, so both directions decide alike at every position: the
// transform is a bijection on any content, and the last 4 bytes are never
// a converted opcode's start. The E8/E9 "left as it was" rule is what keeps
// the decision of an earlier opcode, whose fourth byte would lie inside the
// converted bytes, from changing.
#ifndef VANTOR_FFS_X86_H
#define VANTOR_FFS_X86_H

#include <stdint.h>

#include "ffs-stream.h"

#define FFS_X86_TAG "FFX#"
#define FFS_X86_TAG_SIZE 4

struct FfsX86 {
  uint32_t pos;     // content position of the next byte to decide
  uint32_t recent;  // bit k: an E8 or E9 was left as it was k + 1 bytes back
};

void FfsX86Start(FfsX86 *f);
// Converts data[0..n), the content from position f->pos on, in place:
// absolute when encode is 1, back to relative when 0. Returns how many bytes
// are decided and final: all but the last few (at most 4) bytes, whose
// decision needs bytes that may follow. Those are given again at the start
// of the next call, or, at the content's end, stay as they are.
uint32_t FfsX86Convert(FfsX86 *f, unsigned char *data, uint32_t n, int encode);

// Reverses the filter on a content of size bytes given in pieces and hands
// the result on to sink, in pieces of at most FFS_X86_PIECE bytes.
#define FFS_X86_PIECE 0x4000u
struct FfsX86Sink {
  FfsX86 filter;
  FfsSink sink;
  void *context;
  uint32_t size, given;  // content size, and bytes given to FfsX86Put so far
  uint32_t held;         // bytes at the start of piece, not yet decided
  unsigned char piece[FFS_X86_PIECE];
};
void FfsX86SinkStart(FfsX86Sink *s, uint32_t size, FfsSink sink, void *context);
// An FfsSink (context: the FfsX86Sink): 0 when the sink refused.
int FfsX86Put(void *context, const void *data, uint32_t n);

#endif

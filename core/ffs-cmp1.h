// Compression method 1: a byte-oriented stream of operations (literals, runs,
// near and far copies, byte and word deltas). Decoder only; the packer lives
// in the builder. The format's constants are named here once; the builder
// includes this header.
//
// Entry layout: "FFC!", the content size S (32-bit little-endian), then the
// operations. Each begins with an opcode byte: low 4 bits the opcode, high
// 4 bits a parameter h. Opcodes 0..5 carry a length n: h (1..15) in the
// opcode byte; or h = 0 and a byte b != 0, n = b + 15 (16..270); or h = 0, a
// zero byte and n as 16 bits little-endian. A long-form Run of length 0 ends
// the stream.
#ifndef VANTOR_FFS_CMP1_H
#define VANTOR_FFS_CMP1_H

#include <stdint.h>

#include "ffs-stream.h"

#define CMP1_SIGNATURE "FFC!"
#define CMP1_HEAD_SIZE 8

// Opcodes, in stream order.
#define CMP1_UNIQUE 0       // n literal bytes follow
#define CMP1_RUN 1          // byte v: n copies of v (n = 0: end of stream)
#define CMP1_STRING_NEAR 2  // byte d: n bytes from d back
#define CMP1_STRING_FAR 3   // 16-bit d: as above
#define CMP1_DELTA 4        // byte t: n bytes, each the previous plus t
#define CMP1_DELTA_C 5      // byte k (1..8), k steps: k interleaved deltas
#define CMP1_DELTA_P 6      // last 2 bytes as little-endian word, plus h
#define CMP1_DELTA_N 7      // big-endian word, plus h
#define CMP1_DELTA_PX 8     // little-endian word, minus h
#define CMP1_DELTA_NX 9     // big-endian word, minus h
#define CMP1_BYTE_COPY 10   // the byte h + 1 back
#define CMP1_OPCODES 11
// The decoder's log line for an opcode it does not know.
#define CMP1_LOG_OPCODE "Unknown Opcode (%d)\n"

#define CMP1_MAX_LENGTH 65535
#define CMP1_SHORT_MAX 15
#define CMP1_MEDIUM_MAX 270
#define CMP1_CHANNELS 8     // most channels of a DeltaC operation
// The most packed bytes one operation reads, and the farthest it reaches
// back into the content.
#define CMP1_STEP_INPUT (4 + CMP1_MAX_LENGTH + 16)
#define CMP1_REACH 65536

int Cmp1Init(void);
int Cmp1Remove(void);
// 1 if the first 4 bytes are "FFC!". The caller guarantees 4 readable bytes.
int Cmp1IsPacked(const void *data);
// Content size S from the head; 0 when data is NULL.
int Cmp1GetSize(const void *data, uint32_t *size);
// Reads the length field of an opcode byte at p (1, 2 or 4 bytes, which the
// caller guarantees are readable): stores n, returns the field's size.
int DecodeOpcode(const unsigned char *p, uint16_t *length);
// Unpacks into output (outputSize bytes). Never reads outside the packed
// data (length bytes) nor writes outside the output, and never reads output
// that was not yet produced. 1 at the end operation; 0 for a bad head
// (wrong signature, length below 8, S of 0, above 0x7FFFFFFF or different
// from outputSize) or a damaged stream (opcode 11..15, logged as "Unknown
// Opcode (%d)\n"; a DeltaC of 0 or more than 8 channels; an operation that
// overruns the input or output or refers before the output start); output
// bytes not written keep their contents.
int Cmp1Decompress(const void *data, int length, void *output, int outputSize);
// The same from an input at the entry's start into a window (keeping at
// least CMP1_REACH bytes, with room for CMP1_MAX_LENGTH more) for a content
// of size bytes; the window is left unflushed.
int Cmp1Decode(FfsInput *input, FfsWindow *window, uint32_t size);

#endif

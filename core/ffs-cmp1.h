// Compression method 1: a byte-oriented stream of operations (literals, runs,
// near and far copies, byte and word deltas). Decoder only; the packer lives
// in the builder. The format's constants are named here once; the builder
// includes this header.
#ifndef VANTOR_FFS_CMP1_H
#define VANTOR_FFS_CMP1_H

#include <stdint.h>

#define CMP1_SIGNATURE "FFC!"
#define CMP1_HEAD_SIZE 8

int Cmp1Init(void);
int Cmp1Remove(void);
// 1 if the first 4 bytes are "FFC!".
int Cmp1IsPacked(const void *data);
// Content size S from the head; 0 when data is NULL.
int Cmp1GetSize(const void *data, uint32_t *size);
// Unpacks into output (outputSize bytes). Never reads outside the packed
// data (length bytes) nor writes outside the output. 1 at the end operation.
int Cmp1Decompress(const void *data, int length, void *output, int outputSize);

#endif

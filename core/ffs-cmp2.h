// Compression method 2: LZSS over a 4,096-byte window with an adaptive
// Huffman code. Decoder only; the packer lives in the builder. The format's
// constants are named here once; the builder includes this header.
#ifndef VANTOR_FFS_CMP2_H
#define VANTOR_FFS_CMP2_H

#include <stdint.h>

#define CMP2_SIGNATURE "FFC@"
#define CMP2_HEAD_SIZE 8
#define CMP2_WINDOW 4096
#define CMP2_LONGEST 60
#define CMP2_THRESHOLD 3

int Cmp2Init(void);
int Cmp2Remove(void);
int Cmp2IsPacked(const void *data);
// Content size S: the complement of the value at offset 4; 0 when data is NULL.
int Cmp2GetSize(const void *data, uint32_t *size);
// Unpacks length bytes of packed data (with the head) into output.
// 1 when outputSize bytes were produced, 0 on a bad head.
int Cmp2Decompress(const void *data, int length, void *output, int outputSize);

#endif

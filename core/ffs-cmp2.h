// Compression method 2: LZSS over a 4,096-byte window with an adaptive
// Huffman code. Decoder only; the packer lives in the builder. The format's
// constants are named here once; the builder includes this header.
//
// Entry layout: "FFC@", the bitwise complement of the content size S (32-bit
// little-endian), then the bit stream (most significant bit of each byte
// first) to the end of the entry. Symbols 0..255 are literal bytes, symbols
// 256..312 matches of (symbol - 252) bytes, each followed by a distance field
// p (0..4095) coded as a 6-bit prefix-coded upper part and 6 plain bits; the
// match starts p + 1 bytes before the write position. The window starts as
// 4,036 spaces followed by 60 zero bytes. Past the end of the input the
// stream reads as zero bits; there is no end symbol.
#ifndef VANTOR_FFS_CMP2_H
#define VANTOR_FFS_CMP2_H

#include <stdint.h>

#include "ffs-stream.h"

#define CMP2_SIGNATURE "FFC@"
#define CMP2_HEAD_SIZE 8
#define CMP2_WINDOW 4096
#define CMP2_LONGEST 60
#define CMP2_THRESHOLD 3

#define CMP2_SYMBOLS 313                      // 256 literals + 57 match lengths
#define CMP2_NODES (2 * CMP2_SYMBOLS - 1)     // 625 tree nodes
#define CMP2_ROOT (CMP2_NODES - 1)            // 624
#define CMP2_REBUILD 0x8000                   // root weight that forces a rebuild
#define CMP2_RING_SIZE (CMP2_WINDOW + CMP2_LONGEST - 1)  // 4155 bytes
#define CMP2_RING_START (CMP2_WINDOW - CMP2_LONGEST)     // 4036: first write position

// Allocates the codec state and its tables (MEM_ALLOC, fatal when the heap is
// exhausted) and resets them. Called once by FfsInit; 1.
int Cmp2Init(void);
// Releases the tables and the state; 1. Harmless when nothing is allocated.
int Cmp2Remove(void);
// 1 if the first 4 bytes are "FFC@". The caller guarantees 4 readable bytes.
int Cmp2IsPacked(const void *data);
// Content size S: the complement of the value at offset 4; 0 when data is NULL.
int Cmp2GetSize(const void *data, uint32_t *size);
// Unpacks length bytes of packed data (with the head) into output.
// 1 when outputSize bytes were produced, 0 on a bad head (wrong signature,
// length below 8, S of 0 or above 0x7FFFFFFF, S different from outputSize),
// with nothing written. Never reads outside data[0..length) nor writes
// outside output[0..outputSize), whatever the stream holds: a damaged stream
// yields outputSize bytes of wrong content and 1. Needs Cmp2Init first.
int Cmp2Decompress(const void *data, int length, void *output, int outputSize);
// The same from an input at the entry's start into a window (keeping at
// least CMP2_WINDOW bytes, with room for CMP2_LONGEST + 8 more) for a
// content of size bytes; the window is left unflushed. 0 also when a read or
// the sink failed.
int Cmp2Decode(FfsInput *input, FfsWindow *window, uint32_t size);

// ---- The adaptive code, shared with the packer -----------------------------
// The packer drives the very same tree operations, so both sides adapt step
// for step alike. weight holds CMP2_NODES + 1 entries (the last a 0xFFFF
// sentinel), child CMP2_NODES, parent CMP2_NODES + CMP2_SYMBOLS. For an inner
// node, child is the first of its two children (the second is the next
// index); for a leaf it is the symbol + CMP2_NODES. parent[symbol +
// CMP2_NODES] is the symbol's leaf.
struct Cmp2Tree {
  uint16_t *weight;
  uint16_t *child;
  uint16_t *parent;
};

// The starting tree: every symbol weight 1, leaves in symbol order.
void HuffStart(Cmp2Tree *tree);
// Counts one more occurrence of symbol (0..312), rebuilding first when the
// root weight has reached CMP2_REBUILD.
void HuffUpdate(Cmp2Tree *tree, int symbol);
// Halves every leaf weight (rounding down, at least 1 kept by the +1) and
// builds the tree anew.
void HuffRebuild(Cmp2Tree *tree);
// Prefix code of the upper 6 bits (0..63) of a distance field: returns the
// code length (3..8) and stores the code, right-aligned, in *code.
int Cmp2DistanceCode(int upper, unsigned *code);

#endif

// Packer for compression method 2 (builder side only).
#ifndef BUILDER_PACK2_H
#define BUILDER_PACK2_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

enum Pack2Parse { PACK2_GREEDY, PACK2_BEST };

// Packs data into a complete method-2 entry ("FFC@", ~S, bit stream).
// Returns false only for input the format cannot hold (empty, or 2 GiB and
// more). PACK2_GREEDY is the classic parse, kept for comparison.
//
// PACK2_BEST parses each stretch of 4,096 bytes for the least number of bits
// (shortest path over literals and every match length 4..60 at its nearest
// distance), pricing symbols by their depth in the adaptive tree as it stands
// at the stretch's start, then codes the chosen symbols with the tree
// adapting exactly as the decoder's does.
bool Pack2(const uint8_t *data, size_t size, std::vector<uint8_t> *out, Pack2Parse parse = PACK2_BEST);

#endif

// Packer for compression method 1 (builder side only).
#ifndef BUILDER_PACK1_H
#define BUILDER_PACK1_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

// Packs data into a complete method-1 entry ("FFC!", S, operations, end
// mark). Returns false only for input the format cannot hold (empty, or
// 2 GiB and more).
bool Pack1(const uint8_t *data, size_t size, std::vector<uint8_t> *out);

#endif

// Packer for compression method 1 (builder side only).
#ifndef BUILDER_PACK1_H
#define BUILDER_PACK1_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

// Packs data into a complete method-1 entry ("FFC!", S, operations, end
// mark). Returns false only for input the format cannot hold (empty, or
// 2 GiB and more).
//
// The parse is a shortest path in bytes over every operation that can
// continue at each position (literals, runs, byte deltas, interleaved
// deltas of 2 to 8 channels, 16-bit word deltas, single-byte copies, near
// and far strings at their longest), so each operation is used where it
// pays. No operation has length 0 except the end mark, and no String has a
// distance below 4 and below its length.
bool Pack1(const uint8_t *data, size_t size, std::vector<uint8_t> *out);

// Appends the opcode byte and length field of an operation of n bytes
// (1..65535) in the shortest form. Refuses a zero length with the log line
// "Zero length encountered in EncodeOpcode\n" and returns false.
bool EncodeOpcode(int opcode, int n, std::vector<uint8_t> *out);

#endif

// The branch-call filter on the builder's side (the transform and the
// entry's tag are described in core/ffs-x86.h): which contents are x86 or
// x64 programs and libraries, and the filtered copy of a content.
#ifndef BUILDER_PACK_X86_H
#define BUILDER_PACK_X86_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

// Whether data is a program or library for x86 or x64, by its first bytes:
// a PE file ("MZ", the "PE\0\0" its header names, machine 014C or 8664) or
// a little-endian ELF file of machine 3 (i386) or 62 (x86-64).
bool PackX86IsCode(const uint8_t *data, size_t size);

// out = data after the filter (its calls and jumps made absolute).
void PackX86Filter(const uint8_t *data, size_t size, std::vector<uint8_t> *out);

#endif

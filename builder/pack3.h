// Packer for compression method 3 (builder side only), over Debian's
// liblzma: its LZMA1 encoder (optimal parsing, one thread per stream) writes
// the raw range-coded stream without an end marker, and the head of
// core/ffs-cmp3.h is put in front. Output depends only on the data and the
// level, never on the machine or its number of cores.
#ifndef BUILDER_PACK3_H
#define BUILDER_PACK3_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#define PACK3_MIN_LEVEL 0
#define PACK3_MAX_LEVEL 9
#define PACK3_DEFAULT_LEVEL 9

// Whether this build has the encoder (false where liblzma was not found,
// as in the Win32 build of the builder).
bool Pack3Available();

// "0".."9" -> level; false for anything else.
bool Pack3ParseLevel(const std::string &text, int *level);

// Packs data into a complete method-3 entry. level 0..9 is liblzma's preset
// of that number (9 with its extreme search); the dictionary is the
// preset's, cut to the smallest power of two that holds the data (at least
// CMP3_MIN_DICTIONARY). lc = 3, lp = 0, pb = 2. Returns false for input the
// format cannot hold (empty, or 2 GiB and more), a level out of range, or
// when the encoder is not available or fails.
bool Pack3(const uint8_t *data, size_t size, std::vector<uint8_t> *out, int level = PACK3_DEFAULT_LEVEL);

// The same for size bytes read from in (from where it stands) in pieces,
// the entry written to out (from where it stands) as it is made; *length is
// its size. The dictionary is at most PACK3_FILE_DICTIONARY, which bounds
// the encoder's memory (Pack3FileMemory). Also false when a read or write
// fails.
#define PACK3_FILE_DICTIONARY (16u << 20)
bool Pack3File(FILE *in, uint64_t size, FILE *out, int level, uint64_t *length);
uint64_t Pack3FileMemory(uint64_t size, int level);

// About how many bytes of memory Pack3 takes for data of that size at that
// level besides the data and its output (the encoder's); 0 when the
// encoder is not available.
uint64_t Pack3Memory(size_t size, int level = PACK3_DEFAULT_LEVEL);

#endif

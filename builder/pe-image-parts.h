// What the files of the resource editor share (pe-image.cpp: the image's
// headers, loading, the section surgery of Save and the checksum;
// pe-resource-tree.cpp: the resource tree read and written; pe-icon.cpp:
// icon files and icon groups; pe-version.cpp: the version block). Not for
// other callers: they include pe-resources.h.
#ifndef BUILDER_PE_IMAGE_PARTS_H
#define BUILDER_PE_IMAGE_PARTS_H

#include <stdint.h>

#include <string>
#include <vector>

#include "pe-format.h"
#include "pe-resources.h"

// Little-endian fields of a byte vector: read, written in place, appended.
inline uint16_t PeGet16(const std::vector<uint8_t> &b, size_t at) { return (uint16_t)(b[at] | b[at + 1] << 8); }
inline uint32_t PeGet32(const std::vector<uint8_t> &b, size_t at) {
  return PeGet16(b, at) | (uint32_t)PeGet16(b, at + 2) << 16;
}
inline void PePut16(std::vector<uint8_t> *b, size_t at, uint32_t v) {
  (*b)[at] = (uint8_t)v;
  (*b)[at + 1] = (uint8_t)(v >> 8);
}
inline void PePut32(std::vector<uint8_t> *b, size_t at, uint32_t v) {
  PePut16(b, at, v & 0xFFFF);
  PePut16(b, at + 2, v >> 16);
}
inline void PeAdd16(std::vector<uint8_t> *b, uint32_t v) {
  b->push_back((uint8_t)v);
  b->push_back((uint8_t)(v >> 8));
}
inline void PeAdd32(std::vector<uint8_t> *b, uint32_t v) {
  PeAdd16(b, v & 0xFFFF);
  PeAdd16(b, v >> 16);
}
// Zero bytes up to a multiple of to.
inline void PePad(std::vector<uint8_t> *b, size_t to) {
  while (b->size() % to) b->push_back(0);
}
inline uint32_t PeAlignUp(uint32_t v, uint32_t to) { return (v + to - 1) / to * to; }

// The headers of an image: where they are and what they say.
struct PeHeaders {
  uint32_t pe = 0, optional = 0, sections = 0, directories = 0, directoryCount = 0;
  uint16_t sectionCount = 0;
  bool wide = false;
};

// Reads the headers of the image in f; false when it has no sound PE32 or
// PE32+ headers.
bool PeReadHeaders(const std::vector<uint8_t> &f, PeHeaders *h);

// Reads the resource tree that lies at treeAt in file, treeSize bytes up to
// the end of its section, into *out. false with *error when it is damaged.
bool PeReadTree(const std::vector<uint8_t> &file, const PeHeaders &headers, uint32_t treeAt, uint32_t treeSize,
                std::vector<PeResource> *out, std::string *error);

// The tree of the resources, sorted, laid out for a section at rva: the
// directories, their names, the data entries, then the data.
std::vector<uint8_t> PeWriteTree(std::vector<PeResource> resources, uint32_t rva);

#endif

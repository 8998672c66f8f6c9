// The flat file archive appended to the installer: layout constants, and the
// reader that mounts it and loads entries by name. The builder includes this
// header for the same constants.
#ifndef VANTOR_FFS_H
#define VANTOR_FFS_H

#include <stdint.h>

#define FFS_TAG "FFS!"
#define FFS_HEADER_SIZE 16
#define FFS_DIR_ENTRY_SIZE 8
#define FFS_RECORD_HEAD_SIZE 8
#define FFS_TRAILER_SIZE 4
#define FFS_TURBO 1         // flags bit 0: records lie in directory order
#define FFS_FLAG_METHOD1 2  // flags bit 1: some entry is packed with method 1
#define FFS_FLAG_METHOD2 4  // flags bit 2: some entry is packed with method 2
// Bytes a size query peeks at the start of an entry's data; an entry whose
// data start lies fewer bytes before the end of the container cannot be
// queried.
#define FFS_PEEK_SIZE 16

struct FfsHeader {
  char tag[4];
  uint32_t count;
  uint32_t check;  // ~count
  uint32_t flags;
};

struct FfsDirEntry {
  uint32_t hash;    // CRC-32 of the upper-cased name
  uint32_t offset;  // absolute offset of the entry's record
};

// Mounts the archive in the container file. 1 mounted, 0 not (logged).
int FfsInit(const char *path);
int FfsRemove(void);
// Content size of the named entry (after unpacking). While mounted the name
// is upper-cased in place; unmounted it is a plain file path.
int FfsGetSize(char *name, uint32_t *size);
// Fills buffer with exactly size bytes of the entry's content.
int FfsLoad(char *name, void *buffer, uint32_t size);

#endif

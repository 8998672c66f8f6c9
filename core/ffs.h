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

// Mounts the archive in the container file at path: a file that begins with
// "FFS!" is an archive at offset 0; otherwise its last 4 bytes hold the
// archive's start offset. Loads the sorted directory and keeps the file open
// until FfsRemove. Also starts both decompressors, whatever the outcome.
// Returns 1 mounted; 0 not mounted (one log line, file closed). A header
// whose count fails its check, is 0, or whose directory does not fit in the
// file fails the mount. Mounting again first releases the earlier mount.
int FfsInit(const char *path);
// Closes the file, releases the directory and both decompressors. Always 1.
int FfsRemove(void);
// Content size of the named entry (after unpacking). While mounted the name
// is upper-cased in place and looked up by its CRC-32; unmounted it is a
// plain file path and the file's size is given. 1 found; 0 absent or damaged
// (*size unchanged; a damaged entry logs one line, an absent one none).
int FfsGetSize(char *name, uint32_t *size);
// Fills buffer (size bytes, owned by the caller) with exactly size bytes of
// the entry's content, unpacking packed entries; size must be what
// FfsGetSize gave. Mounted: the name is upper-cased in place. 1 loaded; 0 on
// any failure (logged, except a name that is absent), the buffer's contents
// then unspecified. A failed call leaves the archive mounted and usable.
int FfsLoad(char *name, void *buffer, uint32_t size);

// 1 while an archive is mounted.
int FfsIsMounted(void);
// Header flags of the mounted archive; FFS_TURBO is cleared once an entry
// was asked for out of stored order. 0 when nothing is mounted.
uint32_t FfsFlags(void);

#endif

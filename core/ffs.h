// The flat file archive appended to the installer: layout constants, and the
// reader that mounts it and loads entries by name. The builder includes this
// header for the same constants.
//
// An installer as the builder writes it (integers 32-bit little-endian,
// offsets absolute in the file):
//
//   program image (the stub)
//   A:  header, 16 bytes: "FFS!", count N, ~N, flags
//       directory, N x 8 bytes: hash, record offset; ascending hash
//       records: hash, stored length L, L data bytes; in directory order
//       zero padding, so that the file's size is a multiple of 8
//   R:  integrity record, 16 bytes (flags bit FFS_FLAG_INTEGRITY):
//         "FFI!", covered length (= R), CRC-32 of the covered bytes,
//         CRC-32 of the record's first 12 bytes
//       trailer, 4 bytes: A
//   [certificate table, when the file is signed]
//
// An entry's data is its content as it is (raw), or a packed form that its
// first 4 bytes name: "FFC!", "FFC@", "FFC#", "FFZ#" (methods 1 to 4, see
// ffs-cmp1.h to ffs-cmp4.h), "FFX#" (a method-3 or method-4 entry over
// content that went through the branch-call filter for x86 and x64 code,
// reversed after unpacking; the transform is described in ffs-x86.h) or
// "FFG#" (a solid member, below). The builder packs raw content that begins
// with one of these. The filter's tag comes only in front of methods 3 and
// 4, so the other forms stay as they always were; flags bit 6 tells that
// some entry uses it.
//
// Solid groups: several small files packed as one stream. The stream is an
// entry of its own (a block, named "<solid N>", which no file name can be:
// Windows forbids "<" and ">" in names); its content is the members'
// contents one after the other, stored raw or packed like any entry. Each
// member is an entry whose data is a 16-byte reference instead of content:
//
//   "FFG#", block hash, offset of the content in the block, content size
//
// A member's size query reads only the reference. Loading one unpacks its
// block whole (at most FFS_SOLID_MAX bytes) and keeps it until a member of
// another block is loaded or the archive is removed, so the members of one
// block cost one unpacking. A block is never itself a member. Given threads
// (FfsUseThreads), a block is unpacked on a thread of its own, through a
// second reader of the file and a window of at most 10 MiB (a block whose
// method reaches further back unpacks in the caller's thread), into the
// kept block, and a member is given as
// soon as its bytes are there, while the caller writes the ones before it;
// the caller's own unpacking of a packed entry first waits for the block.
//
// The check covers bytes 0 to R-1, leaving out the PE CheckSum field and the
// security directory entry, which signing rewrites. Signing appends the
// certificate table and names it in the security directory; the trailer is
// then the 4 bytes before the table (or before the up to 7 zero bytes an
// older build left for signing to pad with). A reader that knows nothing of
// the record reads the trailer and never looks at the bytes before it. A
// file that begins with "FFS!" is an archive at offset 0 without trailer or
// record (a standalone archive).
#ifndef VANTOR_FFS_H
#define VANTOR_FFS_H

#include <stdint.h>

#include "ffs-stream.h"

#define FFS_TAG "FFS!"
#define FFS_HEADER_SIZE 16
#define FFS_DIR_ENTRY_SIZE 8
#define FFS_RECORD_HEAD_SIZE 8
#define FFS_TRAILER_SIZE 4
#define FFS_TURBO 1         // flags bit 0: records lie in directory order
#define FFS_FLAG_METHOD1 2  // flags bit 1: some entry is packed with method 1
#define FFS_FLAG_METHOD2 4  // flags bit 2: some entry is packed with method 2
#define FFS_FLAG_METHOD3 8  // flags bit 3: some entry is packed with method 3
#define FFS_FLAG_SOLID 16   // flags bit 4: some entries are members of solid blocks
#define FFS_FLAG_METHOD4 32  // flags bit 5: some entry is packed with method 4 (zstd)
#define FFS_FLAG_X86 64      // flags bit 6: some entry is behind the branch-call filter
#define FFS_MEMBER_TAG "FFG#"
#define FFS_MEMBER_SIZE 16
// The largest content of a solid block: the runtime unpacks no more, and
// the builder closes a group before it grows past this.
#define FFS_SOLID_MAX 0x2000000u
// Bytes a size query peeks at the start of an entry's data; an entry whose
// data start lies fewer bytes before the end of the container cannot be
// queried.
#define FFS_PEEK_SIZE 16
// The largest content an entry may have: the builder refuses more, and the
// runtime makes no buffer for more.
#define FFS_ENTRY_MAX 0x7FFFFFF0u
// flags bit 8: an integrity record lies before the trailer; without it a
// missing record is an older installer, with it a damaged one.
#define FFS_FLAG_INTEGRITY 0x100
#define FFS_INTEGRITY_TAG "FFI!"
#define FFS_INTEGRITY_SIZE 16
// Installers are written with sizes a multiple of this, so that signing
// appends its table without padding.
#define FFS_INSTALLER_ALIGN 8
// The most zero bytes a signer inserts between the trailer and its table.
#define FFS_SIGNED_PADDING_MAX 7

struct FfsDirEntry {
  uint32_t hash;    // CRC-32 of the upper-cased name
  uint32_t offset;  // absolute offset of the entry's record
};

// Mounts the archive in the container file at path: a file that begins with
// "FFS!" is an archive at offset 0; otherwise its last 4 bytes (in a signed
// file, the 4 before its certificate table) hold the archive's start offset. Loads the sorted directory and keeps the file open
// until FfsRemove. Also starts both decompressors, whatever the outcome.
// Returns 1 mounted; 0 not mounted (one log line, file closed). A header
// whose count fails its check, is 0, or whose directory does not fit in the
// file fails the mount. Mounting again first releases the earlier mount.
int FfsInit(const char *path);
// Closes the file, releases the directory, the kept solid block and the
// decompressors. Always 1.
int FfsRemove(void);
// Checks the mounted installer's bytes against its integrity record, reading
// the file in blocks. 1 when they match, or when there is no record and the
// header does not announce one (an older installer); 0 with one log line
// that says what did not match, or when nothing is mounted. The file is left
// where the mount left it, so the stored order is still read in order.
int FfsCheckIntegrity(void);
// Content size of the named entry (after unpacking). While mounted the name
// is looked up by the CRC-32 of its upper-cased letters (the caller's string
// stays as it is, letter case included); unmounted it is a
// plain file path and the file's size is given. 1 found; 0 absent or damaged
// (*size unchanged; a damaged entry logs one line, an absent one none).
int FfsGetSize(const char *name, uint32_t *size);
// Fills buffer (size bytes, owned by the caller) with exactly size bytes of
// the entry's content, unpacking packed entries; size must be what
// FfsGetSize gave. Mounted: the name is looked up as above. 1 loaded; 0 on
// any failure (logged, except a name that is absent), the buffer's contents
// then unspecified. A failed call leaves the archive mounted and usable.
int FfsLoad(const char *name, void *buffer, uint32_t size);
// Gives the entry's content, exactly size bytes (what FfsGetSize gave), to
// sink in order and in pieces, reading and unpacking in bounded memory: the
// stored bytes pass through a buffer of at most 128 KiB, and the content
// through a window of the history its method reaches back to (64 KiB, 4 KiB,
// the dictionary, or the zstd window of at most 8 MiB) and 1 MiB (a
// quarter of that reach when it is more); a member's block is kept as FfsLoad keeps it. Unmounted the name is
// a plain file read in pieces. 1 when all of it was given; 0 on a failure,
// logged as FfsLoad logs it, found part-way through, or when the sink
// refused: the sink has then had only part of the content.
int FfsStream(const char *name, uint32_t size, FfsSink sink, void *context);
// Loads the entry into a new block (MEM_ALLOC) of its content size plus
// extra zero bytes (1 for a text that must end in NUL); a block of 0 bytes
// is not made, *data is then NULL. The name is looked up as FfsGetSize
// does. 1 with *data and *size (the content size); 0 with nothing
// allocated for an entry that is absent, cannot be read or unpacked, or is
// larger than FFS_ENTRY_MAX, after the log line "Unable to get size for
// '%s'\n" (absent) or "Unable to load '%s'\n" when logged is 1. Released
// with MEM_FREE(*data, *size + extra).
int FfsLoadEntry(const char *name, int extra, int logged, void **data, uint32_t *size);

// What unpacking a solid block on a second thread needs of the system (the
// installer's target-sys.h calls): start runs run(context) on a new thread
// (1 with *thread), join waits for it to end and releases it; a semaphore
// counts from count (NULL when none), wait takes a unit, post gives one.
struct FfsThreads {
  int (*start)(void (*run)(void *), void *context, void **thread);
  void (*join)(void *thread);
  void *(*semaphore)(int count);
  void (*wait)(void *semaphore);
  void (*post)(void *semaphore);
  void (*close)(void *semaphore);
};
// From now on solid blocks are unpacked on a thread (NULL: in the caller's,
// the default). threads lives while the archive is mounted.
void FfsUseThreads(const FfsThreads *threads);

// 1 while an archive is mounted.
int FfsIsMounted(void);
// Header flags of the mounted archive; FFS_TURBO is cleared once an entry
// was asked for out of stored order. 0 when nothing is mounted.
uint32_t FfsFlags(void);
// Where the mounted archive starts in its file (A): the bytes before it are
// the program alone. 0 when nothing is mounted or the file is an archive.
uint32_t FfsArchiveStart(void);

#endif

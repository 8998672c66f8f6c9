// The archive reader's log lines (ffs.cpp) in one place: the reader writes
// them from here and the tests read them from here, so that what a damaged
// file may log is known.
#ifndef VANTOR_FFS_MESSAGES_H
#define VANTOR_FFS_MESSAGES_H

// Mounting.
#define FFS_LOG_MOUNTED        "Flat/Fast File System Initialized...\n"
#define FFS_LOG_REMOVED        "Flat/Fast File System Removed...\n"
#define FFS_LOG_NO_FILE        "Couldn't open flat file '%s'!\n"
#define FFS_LOG_NO_DATA        "File '%s' doesn't contain FFS data!\n"
#define FFS_LOG_NO_TAG         "FFS Does not contain proper tag (Read %d from %d)!!!\n"
#define FFS_LOG_COUNT_CHECK    "FFS: CMatch Fail %d != %d\n"
#define FFS_LOG_EMPTY          "FFS: Empty directory in '%s'!\n"
#define FFS_LOG_DIRECTORY      "FFS: Directory of %u entries doesn't fit in '%s'!\n"
// The integrity check.
#define FFS_LOG_CHECK_READ     "FFS: Integrity check could not read %u bytes at %u\n"
#define FFS_LOG_CHECK_FAILED   "FFS: Integrity check failed: bytes 0 to %u give CRC-32 %08X, the record holds %08X\n"
#define FFS_LOG_CHECK_MISSING  "FFS: Integrity record missing or damaged before the trailer at %u\n"
// Finding, sizing and loading an entry.
#define FFS_LOG_RECORD_LENGTH  "FFS: Record %x length %u exceeds the file (%u)\n"
#define FFS_LOG_POSITION       "FFS: Pos Fail %x != %x\n"
#define FFS_LOG_PACKED_SIZE    "Unable to get size from compressed data type "  // then the method and "\n"
#define FFS_LOG_FILTERED       "Unable to get size from filtered data\n"
#define FFS_LOG_MEMBER_SIZE    "Unable to get size from solid member\n"
#define FFS_LOG_PEEK           "Unable to peek into compressed data\n"
#define FFS_LOG_RAW_SIZE       "Incompatible sizes (%d != %d)\n"
#define FFS_LOG_PACKED_CONTENT "Memory size not the same for compressed (%d != %d)\n"
#define FFS_LOG_NESTED_MEMBER  "FFS: Solid block %x is itself a member\n"
#define FFS_LOG_UNPACK         "Failed to decompress file\n"
#define FFS_LOG_BLOCK_READ     "FFS: Solid block %x cannot be read\n"
#define FFS_LOG_BLOCK_SIZE     "FFS: Solid block %x holds %u bytes, more than %u\n"
#define FFS_LOG_MEMBER_OUTSIDE "FFS: Member of %u bytes at %u lies outside its block (%u)\n"
#define FFS_LOG_PLAIN_READ     "Unable to read from file '%s'\n"
#define FFS_LOG_ENTRY_SIZE     "Unable to get size for '%s'\n"
#define FFS_LOG_ENTRY_LOAD     "Unable to load '%s'\n"

#endif

// The PE format (PE32 and PE32+ Windows programs) as far as this system
// reads and writes it: the signatures, the header fields' offsets, the data
// directories it uses and the flags of a resource section. Shared by the
// container reader (ffs-container.cpp) and the builder's resource editor
// (builder/pe-image.cpp and its parts), so both read the same fields.
#ifndef VANTOR_PE_FORMAT_H
#define VANTOR_PE_FORMAT_H

// The MS-DOS header: "MZ" at offset 0, e_lfanew (the offset of the PE
// signature) at 0x3C, 0x40 bytes in all.
#define PE_DOS_MAGIC "MZ"
#define PE_LFANEW_AT 0x3C
#define PE_DOS_HEADER_SIZE 0x40

// From the PE signature: the signature, the COFF header's fields, and the
// optional header behind both.
#define PE_SIGNATURE "PE\0\0"
#define PE_SIGNATURE_SIZE 4
#define PE_COFF_MACHINE_AT 4
#define PE_COFF_SECTION_COUNT_AT 6
#define PE_COFF_SYMBOLS_AT 12
#define PE_COFF_OPTIONAL_SIZE_AT 20  // 4 signature bytes + 16
#define PE_OPTIONAL_AT 24

// The COFF header's machine: the processor a program is made for (i686
// programs are PE32, x86_64 programs PE32+).
#define PE_MACHINE_I386 0x14C
#define PE_MACHINE_AMD64 0x8664

// The optional header's magic: PE32 or PE32+.
#define PE_MAGIC32 0x10B
#define PE_MAGIC64 0x20B

// From the optional header (the same place in PE32 and PE32+ up to the
// checksum; then the count of data directories and the directories, per
// magic).
#define PE_OPT_INIT_DATA_AT 8  // SizeOfInitializedData
#define PE_OPT_SECTION_ALIGN_AT 32
#define PE_OPT_FILE_ALIGN_AT 36
#define PE_OPT_IMAGE_SIZE_AT 56
#define PE_OPT_HEADERS_SIZE_AT 60
#define PE_OPT_CHECKSUM_AT 64
#define PE_OPT_DIR_COUNT_AT32 92
#define PE_OPT_DIR_COUNT_AT64 108
#define PE_OPT_DIRS_AT32 96
#define PE_OPT_DIRS_AT64 112

// A data directory entry (address, size) and the ones used here. The
// security directory's address is a file offset, not an RVA.
#define PE_DIR_SIZE 8
#define PE_DIR_RESOURCE 2
#define PE_DIR_SECURITY 4
#define PE_DIR_RELOCATION 5

// A section header's fields and size.
#define PE_SEC_VIRTUAL_SIZE_AT 8
#define PE_SEC_RVA_AT 12
#define PE_SEC_RAW_SIZE_AT 16
#define PE_SEC_RAW_AT 20
#define PE_SEC_FLAGS_AT 36
#define PE_SEC_HEADER_SIZE 40

// Section flags: initialised, readable data (a resource section).
#define PE_SCN_INITIALIZED_DATA 0x00000040u
#define PE_SCN_MEM_READ 0x40000000u

// The CheckSum field's size. The checksum is the 16-bit ones'-complement
// sum of the image's little-endian words (the field counted as 0), its
// carries folded in, plus the image's size (builder/pe-image.cpp).
#define PE_CHECKSUM_SIZE 4

#endif

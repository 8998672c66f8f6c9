// File-system helpers of the builder: whole-file reads and writes, the walk
// that turns a payload directory into archive names, and the little the
// builder asks of its host (the only place with platform conditionals). Errors come back
// as the "what is wrong" text; callers put "ffsbuild: <file>: " before it.
#ifndef BUILDER_FSUTIL_H
#define BUILDER_FSUTIL_H

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

// Reads the whole file. false (and *error) when it cannot be opened or read,
// or is a directory.
bool FsReadFile(const std::string &path, std::vector<uint8_t> *data, std::string *error);

// Writes data to path through a temporary file beside it that is renamed
// over path at the end, so a failed write never leaves a partial file.
bool FsWriteFile(const std::string &path, const std::vector<uint8_t> &data, std::string *error);

// A file written in pieces the same way: Open makes path + ".part" (read
// and write), Finish(ok) closes it and renames it over path when ok and
// nothing failed, else removes it (*error). One never finished is removed.
struct FsPartFile {
  FILE *file = NULL;
  std::string path;
  bool Open(const std::string &target, std::string *error);
  bool Finish(bool ok, std::string *error);
  ~FsPartFile();
};

// Moves file to offset (any size); false when it cannot.
bool FsSeek(FILE *file, uint64_t offset);
// n bytes at offset of the FILE * file into buffer: 1, or 0 when they are
// not all there (the reader callback of the container code).
int FsReadAt(void *file, uint32_t offset, void *buffer, uint32_t n);

// Creates the directories leading to path (not path itself).
bool FsMakeParents(const std::string &path, std::string *error);

bool FsIsDirectory(const std::string &path);

// Every regular file below root, as names relative to root with backslash
// separators (the form the installer asks for), in ascending byte order.
// A symbolic link to a file or folder below root counts as that file or
// folder under the link's own name; one that leads outside root, to a
// folder it lies in, or nowhere is skipped, and *skipped (when given) gets
// a sentence for each, naming it. false (and *error) when root cannot be
// walked or holds something that is neither a directory nor a regular file
// (the error names it), or when its links lead to more than
// FS_LINKED_FILES_MAX files.
#define FS_LINKED_FILES_MAX 1000000u
bool FsListTree(const std::string &root, std::vector<std::string> *names, std::string *error,
                std::vector<std::string> *skipped = nullptr);

// The host path of an archive name below root: backslashes become the
// host's separator. false for a name that could leave root (absolute, a
// drive letter, an empty or ".." component).
bool FsNameToPath(const std::string &root, const std::string &name, std::string *path);

// The size of a regular file; false when it cannot be had.
bool FsFileSize(const std::string &path, uint64_t *size);

// The folder of the running program with its trailing separator; "" when
// it cannot be found.
std::string FsProgramDirectory();

// True when the stream is a terminal.
bool FsIsTerminal(FILE *stream);

#endif

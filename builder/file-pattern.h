// Patterns of a FILE LIST: which payload files an entry such as "bin\*.exe"
// or "docs\**" names.
//
// Names and patterns are archive names: folders separated by backslashes,
// compared without regard to letter case as Windows compares file names
// (WindowsNameFold). In a pattern, "*" matches any run of characters within one folder
// or name (none included), and a folder part that is exactly "**" matches
// any number of folders (none included); "docs\**" is every file below
// docs, "**\*.pdb" every .pdb file at any depth, "**" the whole payload.
#ifndef BUILDER_FILE_PATTERN_H
#define BUILDER_FILE_PATTERN_H

#include <string>
#include <vector>

// True when the entry is a pattern (holds a '*').
bool FilePatternIs(const std::string &entry);

// True when name matches pattern.
bool FilePatternMatch(const std::string &pattern, const std::string &name);

#endif

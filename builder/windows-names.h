// Archive names as Windows sees them: letters compared without regard to
// case in every script the file system folds (not ASCII only), and the
// names Windows refuses to create.
#ifndef BUILDER_WINDOWS_NAMES_H
#define BUILDER_WINDOWS_NAMES_H

#include <map>
#include <string>

// The name with every character of the Basic Multilingual Plane replaced by
// its simple upper-case form (the file system compares names as UTF-16
// code units through one such table; characters beyond it are compared as
// they are). Bytes that are not UTF-8 stay as they are. Two names are one
// file to Windows when their folds are equal.
std::string WindowsNameFold(const std::string &name);

// Why Windows cannot create a file of this name below a folder ("" when it
// can): a component holding < > : " | ? * or a control character, ending
// in a dot or a blank, or a device name (CON, PRN, AUX, NUL, COM1-9,
// LPT1-9, with or without an extension, in any case); or a name that is
// not UTF-8. Backslash and slash both separate components.
std::string WindowsNameProblem(const std::string &name);

// The name as a message shows it: quoted, bytes that are not UTF-8 and
// control characters written as \xHH.
std::string WindowsNameShown(const std::string &name);

// Names that must be distinct files and folders to Windows: a file whose
// fold equals another file's, or the folder of one, clashes with it.
class WindowsNameSet {
 public:
  // How a name clashes with one added before it.
  enum Clash {
    NONE,        // it does not (the same spelling twice does not)
    SAME_FILE,   // the two are one file
    FILE_FIRST,  // this name is a file where the other needs a folder
    FOLDER_FIRST  // the other is a file where this name needs a folder
  };
  // Adds the file name; with a clash, *other is the name it clashes with
  // (and this name is not added).
  Clash Add(const std::string &name, std::string *other);

 private:
  std::map<std::string, std::string> files_;    // fold -> name
  std::map<std::string, std::string> folders_;  // fold of a folder -> a file below it
};

#endif

// Names of installed files, shared by the installer and the builder: a name
// of the file list is a path below the destination directory and must stay
// there.
#ifndef VANTOR_FILE_NAME_H
#define VANTOR_FILE_NAME_H

// 1 when name is a relative path that stays below the directory it is
// appended to; 0 when it is absolute or rooted (a leading backslash or
// slash), holds a drive or any other colon, or has a component that leads
// upwards: "..", or any component of dots and blanks only with two dots or
// more, which Windows also reads as "..". Backslash and slash both separate
// components. The empty name stays inside (it names no file).
int FileNameStaysInside(const char *name);

#endif

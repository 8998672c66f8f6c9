// System libraries on Win32, never taken from the program's own folder.
// A library named without a path that is not one of the system's known
// libraries is looked for first in the folder the program was started from
// (a Downloads folder, where a web page can leave a file). So install.exe
// imports only known libraries (KERNEL32, USER32, GDI32, ADVAPI32, SHELL32,
// OLE32, MSVCRT), loads the others (WSOCK32, COMCTL32) here by their full
// path in the system directory, and has every later load by name, its own
// and the system libraries', search the system directory only.
#ifndef VANTOR_SYSLIB_WIN32_H
#define VANTOR_SYSLIB_WIN32_H

#include <windows.h>

// The first call of the program: later loads by name search the system
// directory only (SetDefaultDllDirectories, looked up at run time, since
// older systems lack it). Where the system cannot do that, the libraries
// that the system's own libraries load by name are loaded now from the
// system directory, so that those loads find them loaded.
void SysLibrariesFromSystemOnly(void);
// The library name (a file name; ".dll" is added when it has no extension)
// from the system directory by its full path, its own imports searched for
// there first: its module, or NULL.
HMODULE SysLibraryLoad(const char *name);
// SysLibraryLoad, and the address of each entry named in names (one name
// after the other, each ended by a NUL, an empty name ending the list) into
// entries, in their order: 1 when the library and every entry were found.
int SysLibraryEntries(const char *name, const char *names, void **entries);

#endif

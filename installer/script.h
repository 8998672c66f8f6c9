// The script record: loading install.dat from the archive and releasing it
// at shutdown. The run loop is script-run.h; what happens after a BREAK or
// a failure is the driver's (run.cpp).
#ifndef INSTALLER_SCRIPT_H
#define INSTALLER_SCRIPT_H

#include <stdint.h>

#include "script-format.h"

// The destination holds at most 159 characters, however many bytes of UTF-8
// they take (at most 4 each).
#define INSTALL_PATH_CHARS 159
#define INSTALL_PATH_SIZE (INSTALL_PATH_CHARS * 4 + 1)

struct ScreenString {
  float x;       // horizontal anchor, fraction of the client width
  float y;       // vertical anchor, fraction of the client height
  float width;   // character width, fraction of the client width (0: system's choice)
  float height;  // character height, fraction of the client height
  char text[SCRIPT_FIELD_SIZE];
  char face[SCRIPT_ARG_SIZE];
  unsigned char colour[3];  // R, G, B
  int32_t flags;
};

struct ScriptFont {
  char fileName[320];  // name in the archive and in the temporary directory
};

// One per run; all fields start zero. The text fields hold 159 characters.
struct InstallScript {
  void *window;                     // main window (HWND); NULL during the first stretch
  unsigned char gradientStart[3];   // R, G, B
  unsigned char gradientEnd[3];
  char *text;                       // the script, textLength + 1 bytes, last one 0
  int32_t textLength;
  int32_t stringCount;
  ScreenString *strings;            // ID n at index n - 1
  int32_t fontCount;
  ScriptFont *fonts;                // ID n at index n - 1
  char prompt[SCRIPT_FIELD_SIZE];   // one-shot caption of the next page or command
  char companyName[SCRIPT_FIELD_SIZE];
  char productName[SCRIPT_FIELD_SIZE];
  char registryPath[SCRIPT_FIELD_SIZE];
  int32_t installSize;              // kilobytes
  char installPath[INSTALL_PATH_SIZE];  // the destination: INSTALL_PATH_CHARS characters
  char installDir[SCRIPT_FIELD_SIZE];
  char installDirAlt[SCRIPT_FIELD_SIZE];
  int32_t fileCount;
  char *fileList;                   // into text: the FILE LIST argument, terminated in place
  char *cursor;                     // where the next ScriptRun starts
  int32_t failure;                  // why the command that failed failed, when it
                                    // says (an exit code); 0 before each command
  char group[SCRIPT_FIELD_SIZE];    // the Start Menu group made last, for ADD ITEM
  int32_t scope;                    // SCRIPT_SCOPE_MACHINE or SCRIPT_SCOPE_USER
  int32_t inUse;                    // SCRIPT_IN_USE_FAIL or SCRIPT_IN_USE_RESTART
  char productId[SCRIPT_FIELD_SIZE];       // what names the product's entry and lock, or ""
  char productVersion[SCRIPT_FIELD_SIZE];  // the version its entry shows, or ""
};

// Who the installation is for (INSTALL SCOPE): every user of the machine
// (the default), or the person running it, below their own profile.
#define SCRIPT_SCOPE_MACHINE 0
#define SCRIPT_SCOPE_USER 1

// What becomes of a file to be replaced that another program holds (FILES IN
// USE), where nobody is asked to close the program: the run fails and is
// undone (the default), or, in a machine install, the new file is written
// beside it and put in its place when Windows restarts.
#define SCRIPT_IN_USE_FAIL 0
#define SCRIPT_IN_USE_RESTART 1

// The product's key below HKEY_CURRENT_USER keeps the confirmed destination
// in this string value; the destination dialog proposes it again next time.
#define INSTALL_PATH_VALUE "Install Path"


// Creates the record and loads the named script from the archive. On failure
// nothing is handed over and 0 is returned.
int ScriptLoad(InstallScript **script, const char *name);
// Releases the record, its tables and fonts; *script is NULL afterwards.
int ScriptFree(InstallScript **script);

#endif

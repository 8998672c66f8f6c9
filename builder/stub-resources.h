// The installer executable's own resources: the manifest its scope needs,
// and the vendor's icon and version block (what `ffsbuild build` is given:
// --icon, --version, ...), written into the stub before the archive is
// appended.
#ifndef BUILDER_STUB_RESOURCES_H
#define BUILDER_STUB_RESOURCES_H

#include <stdint.h>

#include <string>
#include <vector>

// The icon group the installer's main window loads.
#define STUB_ICON_GROUP 104

// What the vendor asks for. Every field is a plain text, so options and
// script defines map onto it alike; empty means "not given".
struct StubResourceOptions {
  std::string icon;            // an .ico file: replaces the main window's icon
  std::string version;         // "1.2.3.4": FileVersion, numeric and text; writes the version block
  std::string productVersion;  // ProductVersion text (numeric too when it is one); default: version
  std::string description;     // FileDescription; default: "<PRODUCT NAME> Setup"
  std::string copyright;       // LegalCopyright
  std::string company;         // CompanyName; default: the script's COMPANY NAME
  std::string product;         // ProductName; default: the script's PRODUCT NAME
  std::string originalFilename;  // OriginalFilename; the caller passes the output's name
};

// Whether any resource is to change.
bool StubResourcesWanted(const StubResourceOptions &options);

// A problem with the options themselves (a malformed version, version
// texts without --version): "" when they are usable.
std::string StubResourcesCheck(const StubResourceOptions &options);

// The last value the compiled script (install.dat) gives the keyword's
// first argument, e.g. "COMPANY NAME"; "" when it never does.
std::string StubScriptValue(const std::vector<uint8_t> &installDat, const std::string &keyword);

// Whether the compiled script installs for the machine: true unless its
// INSTALL SCOPE is "user" (any case).
bool StubMachineScope(const std::vector<uint8_t> &installDat);

// Writes the manifest the script's scope needs and the requested resources
// into stub; *changed tells whether the stub was rewritten (a stub that
// carries the wanted manifest already, with nothing else asked for, is
// not). false, with *file (the icon or "" for the stub) and *error, for an
// unreadable or malformed icon or a stub whose resources cannot be
// rewritten.
bool StubApplyResources(const StubResourceOptions &options, const std::vector<uint8_t> &installDat,
                        std::vector<uint8_t> *stub, bool *changed, std::string *file, std::string *error);

#endif

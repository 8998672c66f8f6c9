// The resources of a Windows program (PE32 or PE32+): reading the resource
// tree of its .rsrc section, changing entries, and writing the section back
// so that the image stays valid (section and image sizes, alignment, the
// resource data directory, the PE checksum). The builder uses it to give an
// installer the manifest of its scope and a vendor's installer its own icon
// and version block. The one header of pe-image.cpp (the image and
// checksum), pe-resource-tree.cpp, pe-icon.cpp, pe-version.cpp and
// pe-manifest.cpp.
//
// Only a program without a signature and without bytes behind its last
// section can be edited: both would be broken by a changed section.
#ifndef BUILDER_PE_RESOURCES_H
#define BUILDER_PE_RESOURCES_H

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

// Resource types.
#define PE_RT_ICON 3
#define PE_RT_GROUP_ICON 14
#define PE_RT_VERSION 16
#define PE_RT_MANIFEST 24
// The manifest the loader reads when it starts a program.
#define PE_MANIFEST_ID 1
// The language resources are written in when there is none to follow:
// English (United States).
#define PE_LANG_DEFAULT 0x0409

// A resource's type or name: a number, or a string (not a number).
struct PeResourceName {
  bool isId = true;
  uint16_t id = 0;
  std::u16string text;
  static PeResourceName Id(uint16_t id) {
    PeResourceName n;
    n.id = id;
    return n;
  }
  bool operator==(const PeResourceName &o) const { return isId == o.isId && id == o.id && text == o.text; }
};

struct PeResource {
  PeResourceName type;
  PeResourceName name;
  uint16_t language = 0;
  uint32_t codePage = 0;
  std::vector<uint8_t> data;
};

// A program's image with its resources taken apart.
class PeImage {
 public:
  // Reads the headers and the resource tree. false, with *error, for a file
  // that is not a PE32 or PE32+ image, is signed, has bytes behind its last
  // section, or whose resource tree is damaged.
  bool Load(const std::vector<uint8_t> &file, std::string *error);

  bool Wide() const { return wide_; }  // PE32+
  std::vector<PeResource> &Resources() { return resources_; }
  // The resource of that type and name (any language); NULL when none.
  const PeResource *Find(const PeResourceName &type, const PeResourceName &name) const;
  // Removes every resource of that type and name; the language they had,
  // or -1 when there was none.
  int Remove(const PeResourceName &type, const PeResourceName &name);

  // The image with the resource section rebuilt from Resources(): the
  // section is resized in place when it is the last one, else a new section
  // is added behind the last one and the resource directory names it.
  // SizeOfImage, SizeOfInitializedData and the checksum follow.
  bool Save(std::vector<uint8_t> *file, std::string *error) const;

 private:
  // Save's steps (pe-image.cpp): where the tree goes and what moves, room
  // made for it, the tree written, the relocation section put behind it.
  struct SavePlan;
  bool PlanSave(const std::vector<uint8_t> &f, SavePlan *plan, std::string *error) const;
  bool MakeRoom(std::vector<uint8_t> *f, SavePlan *plan, std::string *error) const;
  bool EmitTree(std::vector<uint8_t> *f, SavePlan *plan, std::string *error) const;
  void MoveRelocations(std::vector<uint8_t> *f, SavePlan *plan) const;

  std::vector<uint8_t> file_;
  bool wide_ = false;
  uint32_t optional_ = 0;  // offset of the optional header
  uint32_t sections_ = 0;  // offset of the section table
  uint16_t sectionCount_ = 0;
  uint32_t sectionAlign_ = 0, fileAlign_ = 0;
  int resourceSection_ = -1;  // index of the section holding the tree
  bool resourceAtStart_ = false;  // the tree begins that section
  std::vector<PeResource> resources_;
};

// The processor the program in file is made for (the COFF header's
// machine: PE_MACHINE_I386, PE_MACHINE_AMD64, ...); 0 when file has no
// sound PE32 or PE32+ headers.
uint16_t PeMachine(const std::vector<uint8_t> &file);

// Reads the resources of any PE32 or PE32+ image, also one with an archive
// or a signature behind its sections (a finished installer). false, with
// *error, when it is not such an image or its resource tree is damaged.
bool PeReadResources(const std::vector<uint8_t> &file, std::vector<PeResource> *out, std::string *error);

// Recomputes the PE CheckSum field of the image in file (over all its
// bytes); false when file is not a PE image.
bool PeUpdateChecksum(std::vector<uint8_t> *file);
// The same value for a file given in order, in pieces of any length (with
// its CheckSum field as zeros): Add each piece, then Value.
struct PeChecksum {
  uint64_t sum = 0, size = 0;
  bool odd = false;  // a byte waits for the one after it
  uint8_t low = 0;
  void Add(const uint8_t *p, size_t n);
  uint32_t Value() const;
};

// An icon file (.ico) taken apart: its images as they are stored.
struct PeIconImage {
  uint8_t width, height, colors;  // 0 stands for 256 pixels / no palette
  uint16_t planes, bitCount;
  std::vector<uint8_t> data;      // a bitmap (BITMAPINFOHEADER on) or a PNG
};
// false, with *error telling what is wrong, for anything but a sound icon
// file with at least one image.
bool PeParseIcon(const std::vector<uint8_t> &ico, std::vector<PeIconImage> *images, std::string *error);

// Puts the icon's images in as the icon group groupId: the group's former
// images (those no other group uses) go, each image becomes an icon
// resource of a number not in use, in the group's former language.
void PeSetIconGroup(PeImage *image, uint16_t groupId, const std::vector<PeIconImage> &icon);

// The version block. Texts are UTF-8 (another 8-bit text is read as
// Windows-1252); an empty text leaves its string out.
struct PeVersionInfo {
  uint16_t fileVersion[4] = {0, 0, 0, 0};
  uint16_t productVersion[4] = {0, 0, 0, 0};
  std::string fileVersionText, productVersionText;
  std::string companyName, productName, fileDescription, legalCopyright, originalFilename;
};
// "1", "1.2", "1.2.3" or "1.2.3.4" (each part 0 to 65535) -> four numbers,
// missing parts 0. false for anything else.
bool PeParseVersion(const std::string &text, uint16_t version[4]);
// The VS_VERSIONINFO resource: fixed numbers, the strings in table
// 040904B0 (English, UTF-16) and the matching translation.
std::vector<uint8_t> PeVersionBlock(const PeVersionInfo &info);
// Puts the block in as version resource 1, replacing any other.
void PeSetVersion(PeImage *image, const PeVersionInfo &info);

// The application manifest: the text written for a machine install
// (requireAdministrator) or a user install (asInvoker), with the supported
// systems Vista to 10/11, Common Controls 6, per-monitor DPI awareness, the
// UTF-8 code page and long paths.
std::string PeManifestText(bool machine);
// The settings of a manifest text in one line, e.g. "requireAdministrator,
// supportedOS Vista..10, Common Controls 6, DPI PerMonitorV2, code page
// UTF-8, long paths"; what it lacks is said ("no supportedOS").
std::string PeManifestSummary(const std::string &text);
// Puts the text in as manifest 1, in the former one's language.
void PeSetManifest(PeImage *image, const std::string &text);
// The text of manifest 1 of the image in file (a finished installer too);
// false when it has none or its resources cannot be read.
bool PeReadManifest(const std::vector<uint8_t> &file, std::string *text);

#endif

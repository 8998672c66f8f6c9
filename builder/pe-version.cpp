// The version block (VS_VERSIONINFO): version numbers read from text, the
// block laid out, and put into an image as its version resource.
#include <string.h>

#include "codepage.h"
#include "pe-image-parts.h"

namespace {

// One node of the version block: header, key, value, children, each part
// starting on a 4-byte boundary.
std::vector<uint8_t> VersionNode(const std::u16string &key, const std::vector<uint8_t> &value, uint16_t valueLength,
                                 bool text, const std::vector<std::vector<uint8_t>> &children) {
  std::vector<uint8_t> b = {0, 0};
  PeAdd16(&b, valueLength);
  PeAdd16(&b, text ? 1 : 0);
  for (char16_t c : key) PeAdd16(&b, c);
  PeAdd16(&b, 0);
  if (!value.empty()) {
    PePad(&b, 4);
    b.insert(b.end(), value.begin(), value.end());
  }
  for (const std::vector<uint8_t> &child : children) {
    PePad(&b, 4);
    b.insert(b.end(), child.begin(), child.end());
  }
  PePut16(&b, 0, (uint32_t)b.size());
  return b;
}

std::vector<uint8_t> VersionString(const char16_t *key, const std::string &value) {
  std::u16string wide = CodepageWideText(value);
  std::vector<uint8_t> bytes;
  for (char16_t c : wide) PeAdd16(&bytes, c);
  PeAdd16(&bytes, 0);
  return VersionNode(key, bytes, (uint16_t)(wide.size() + 1), true, {});
}

}  // namespace

bool PeParseVersion(const std::string &text, uint16_t version[4]) {
  uint16_t parts[4] = {0, 0, 0, 0};
  size_t i = 0;
  for (int part = 0; part < 4; part++) {
    size_t start = i;
    uint32_t v = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 5) v = v * 10 + (text[i++] - '0');
    if (i == start || v > 0xFFFF) return false;
    parts[part] = (uint16_t)v;
    if (i == text.size()) {
      memcpy(version, parts, sizeof parts);
      return true;
    }
    if (text[i++] != '.') return false;
  }
  return false;
}

std::vector<uint8_t> PeVersionBlock(const PeVersionInfo &info) {
  std::vector<uint8_t> fixed;
  PeAdd32(&fixed, 0xFEEF04BD);  // signature
  PeAdd32(&fixed, 0x00010000);  // structure version 1.0
  PeAdd32(&fixed, (uint32_t)info.fileVersion[0] << 16 | info.fileVersion[1]);
  PeAdd32(&fixed, (uint32_t)info.fileVersion[2] << 16 | info.fileVersion[3]);
  PeAdd32(&fixed, (uint32_t)info.productVersion[0] << 16 | info.productVersion[1]);
  PeAdd32(&fixed, (uint32_t)info.productVersion[2] << 16 | info.productVersion[3]);
  PeAdd32(&fixed, 0x3F);      // flags mask
  PeAdd32(&fixed, 0);         // flags
  PeAdd32(&fixed, 0x40004);   // Windows NT, 32-bit API
  PeAdd32(&fixed, 1);         // an application
  PeAdd32(&fixed, 0);         // subtype
  PeAdd32(&fixed, 0);         // date, high
  PeAdd32(&fixed, 0);         // date, low
  const struct {
    const char16_t *key;
    const std::string &value;
  } strings[] = {
      {u"CompanyName", info.companyName},       {u"FileDescription", info.fileDescription},
      {u"FileVersion", info.fileVersionText},   {u"LegalCopyright", info.legalCopyright},
      {u"OriginalFilename", info.originalFilename}, {u"ProductName", info.productName},
      {u"ProductVersion", info.productVersionText},
  };
  std::vector<std::vector<uint8_t>> table;
  for (const auto &s : strings)
    if (!s.value.empty()) table.push_back(VersionString(s.key, s.value));
  std::vector<uint8_t> translation;
  PeAdd16(&translation, PE_LANG_DEFAULT);
  PeAdd16(&translation, 1200);  // UTF-16
  std::vector<uint8_t> stringInfo =
      VersionNode(u"StringFileInfo", {}, 0, true, {VersionNode(u"040904B0", {}, 0, true, table)});
  std::vector<uint8_t> varInfo =
      VersionNode(u"VarFileInfo", {}, 0, true, {VersionNode(u"Translation", translation, 4, false, {})});
  return VersionNode(u"VS_VERSION_INFO", fixed, (uint16_t)fixed.size(), false, {stringInfo, varInfo});
}

void PeSetVersion(PeImage *image, const PeVersionInfo &info) {
  const PeResourceName type = PeResourceName::Id(PE_RT_VERSION);
  for (size_t i = image->Resources().size(); i-- > 0;)
    if (image->Resources()[i].type == type) image->Resources().erase(image->Resources().begin() + i);
  PeResource r;
  r.type = type;
  r.name = PeResourceName::Id(1);
  r.language = PE_LANG_DEFAULT;
  r.data = PeVersionBlock(info);
  image->Resources().push_back(r);
}

#include "pe-resources.h"

#include <string.h>

#include <algorithm>
#include <set>

#include "archive-reader.h"
#include "ffs-container.h"
#include "fsutil.h"
#include "vantor-core.h"

namespace {

// Header fields, as offsets from the PE signature, the optional header or a
// section header.
const uint32_t kLfanewAt = 0x3C;
const uint32_t kCoffSectionCount = 6, kCoffSymbols = 12, kCoffOptionalSize = 20, kCoffSize = 24;
const uint32_t kOptInitData = 8, kOptSectionAlign = 32, kOptFileAlign = 36, kOptImageSize = 56,
               kOptHeaderSize = 60;
const uint32_t kSecVirtualSize = 8, kSecRva = 12, kSecRawSize = 16, kSecRawAt = 20, kSecFlags = 36,
               kSecHeader = 40;
const int kDirResource = 2, kDirSecurity = 4, kDirRelocation = 5;
// Initialised, readable data: the flags of a resource section.
const uint32_t kResourceFlags = 0x40000040;

uint16_t Get16(const std::vector<uint8_t> &b, size_t at) { return (uint16_t)(b[at] | b[at + 1] << 8); }
uint32_t Get32(const std::vector<uint8_t> &b, size_t at) { return Get16(b, at) | (uint32_t)Get16(b, at + 2) << 16; }
void Put16(std::vector<uint8_t> *b, size_t at, uint32_t v) {
  (*b)[at] = (uint8_t)v;
  (*b)[at + 1] = (uint8_t)(v >> 8);
}
void Put32(std::vector<uint8_t> *b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}
void Add16(std::vector<uint8_t> *b, uint32_t v) {
  b->push_back((uint8_t)v);
  b->push_back((uint8_t)(v >> 8));
}
void Add32(std::vector<uint8_t> *b, uint32_t v) {
  Add16(b, v & 0xFFFF);
  Add16(b, v >> 16);
}
void Pad(std::vector<uint8_t> *b, size_t to) {
  while (b->size() % to) b->push_back(0);
}
uint32_t AlignUp(uint32_t v, uint32_t to) { return (v + to - 1) / to * to; }

// The headers of an image: where they are and what they say.
struct Headers {
  uint32_t pe = 0, optional = 0, sections = 0, directories = 0, directoryCount = 0;
  uint16_t sectionCount = 0;
  bool wide = false;
};

bool ReadHeaders(const std::vector<uint8_t> &f, Headers *h) {
  if (f.size() < 0x40 || f[0] != 'M' || f[1] != 'Z') return false;
  h->pe = Get32(f, kLfanewAt);
  if (h->pe > f.size() || f.size() - h->pe < kCoffSize + 2 || memcmp(&f[h->pe], "PE\0\0", 4) != 0) return false;
  h->optional = h->pe + kCoffSize;
  uint16_t magic = Get16(f, h->optional);
  if (magic != 0x10B && magic != 0x20B) return false;
  h->wide = magic == 0x20B;
  uint32_t optionalSize = Get16(f, h->pe + kCoffOptionalSize);
  h->sectionCount = Get16(f, h->pe + kCoffSectionCount);
  h->sections = h->optional + optionalSize;
  uint32_t countAt = h->optional + (h->wide ? 108 : 92);
  h->directories = countAt + 4;
  if (h->directories > h->sections || (uint64_t)h->sections + (uint64_t)h->sectionCount * kSecHeader > f.size())
    return false;
  h->directoryCount = std::min<uint32_t>(Get32(f, countAt), (h->sections - h->directories) / 8);
  return true;
}

bool NameLess(const PeResourceName &a, const PeResourceName &b) {
  if (a.isId != b.isId) return !a.isId;  // names before numbers
  if (a.isId) return a.id < b.id;
  return a.text < b.text;
}

// Reading the resource tree: offsets are from the start of the tree, data
// entries hold RVAs.
struct TreeReader {
  const std::vector<uint8_t> &file;
  uint32_t treeAt, treeSize;         // the tree's bytes in the file
  const Headers &headers;
  std::string *error;
  std::vector<PeResource> *out;
  int directories = 0;

  bool Fail(const std::string &what) {
    *error = "its resources are damaged: " + what;
    return false;
  }
  bool Inside(uint32_t offset, uint32_t n) const { return offset <= treeSize && treeSize - offset >= n; }

  // The file offset of an RVA range, or false.
  bool FileOffset(uint32_t rva, uint32_t n, uint32_t *at) const {
    for (uint16_t i = 0; i < headers.sectionCount; i++) {
      uint32_t s = headers.sections + i * kSecHeader;
      uint32_t va = Get32(file, s + kSecRva), raw = Get32(file, s + kSecRawSize), rawAt = Get32(file, s + kSecRawAt);
      if (rva >= va && rva - va <= raw && raw - (rva - va) >= n && (uint64_t)rawAt + raw <= file.size()) {
        *at = rawAt + (rva - va);
        return true;
      }
    }
    return false;
  }

  bool Name(uint32_t field, PeResourceName *name) {
    if (!(field & 0x80000000)) {
      if (field > 0xFFFF) return Fail("a resource number above 65535");
      *name = PeResourceName::Id((uint16_t)field);
      return true;
    }
    uint32_t at = field & 0x7FFFFFFF;
    if (!Inside(at, 2)) return Fail("a name lies outside the section");
    uint32_t length = Get16(file, treeAt + at);
    if (!Inside(at + 2, length * 2)) return Fail("a name runs past the section");
    name->isId = false;
    name->id = 0;
    name->text.clear();
    for (uint32_t i = 0; i < length; i++) name->text.push_back((char16_t)Get16(file, treeAt + at + 2 + 2 * i));
    return true;
  }

  // level 0: types, 1: names, 2: languages.
  bool Directory(uint32_t at, int level, PeResource *path) {
    if (++directories > 65536) return Fail("too many directories");
    if (!Inside(at, 16)) return Fail("a directory lies outside the section");
    uint32_t count = (uint32_t)Get16(file, treeAt + at + 12) + Get16(file, treeAt + at + 14);
    if (!Inside(at + 16, count * 8)) return Fail("a directory runs past the section");
    for (uint32_t i = 0; i < count; i++) {
      uint32_t entry = treeAt + at + 16 + i * 8;
      uint32_t nameField = Get32(file, entry), target = Get32(file, entry + 4);
      bool subdirectory = (target & 0x80000000) != 0;
      if (subdirectory != (level < 2)) return Fail("the tree is not three levels deep");
      if (level == 0 && !Name(nameField, &path->type)) return false;
      if (level == 1 && !Name(nameField, &path->name)) return false;
      if (level < 2) {
        if (!Directory(target & 0x7FFFFFFF, level + 1, path)) return false;
        continue;
      }
      if (nameField > 0xFFFF) return Fail("a language is not a number");
      if (!Inside(target, 16)) return Fail("a data entry lies outside the section");
      uint32_t rva = Get32(file, treeAt + target), size = Get32(file, treeAt + target + 4), dataAt = 0;
      if (!FileOffset(rva, size, &dataAt)) return Fail("a resource's data lies outside the file");
      PeResource r = *path;
      r.language = (uint16_t)nameField;
      r.codePage = Get32(file, treeAt + target + 8);
      r.data.assign(file.begin() + dataAt, file.begin() + dataAt + size);
      out->push_back(r);
    }
    return true;
  }
};

// Laying out the tree of sorted resources for the section at rva.
std::vector<uint8_t> WriteTree(std::vector<PeResource> resources, uint32_t rva) {
  std::stable_sort(resources.begin(), resources.end(), [](const PeResource &a, const PeResource &b) {
    if (!(a.type == b.type)) return NameLess(a.type, b.type);
    if (!(a.name == b.name)) return NameLess(a.name, b.name);
    return a.language < b.language;
  });
  // Groups: types -> names -> resource indexes.
  struct NameGroup {
    PeResourceName name;
    std::vector<size_t> items;
  };
  struct TypeGroup {
    PeResourceName type;
    std::vector<NameGroup> names;
  };
  std::vector<TypeGroup> types;
  for (size_t i = 0; i < resources.size(); i++) {
    const PeResource &r = resources[i];
    if (types.empty() || !(types.back().type == r.type)) types.push_back({r.type, {}});
    std::vector<NameGroup> &names = types.back().names;
    if (names.empty() || !(names.back().name == r.name)) names.push_back({r.name, {}});
    names.back().items.push_back(i);
  }
  // Sizes: the directories, then the names, then the data entries, then the data.
  uint32_t dirs = 16 + 8 * (uint32_t)types.size();
  for (const TypeGroup &t : types) {
    dirs += 16 + 8 * (uint32_t)t.names.size();
    for (const NameGroup &n : t.names) dirs += 16 + 8 * (uint32_t)n.items.size();
  }
  uint32_t strings = 0;
  for (const TypeGroup &t : types) {
    if (!t.type.isId) strings += 2 + 2 * (uint32_t)t.type.text.size();
    for (const NameGroup &n : t.names)
      if (!n.name.isId) strings += 2 + 2 * (uint32_t)n.name.text.size();
  }
  uint32_t entriesAt = AlignUp(dirs + strings, 8);
  uint32_t dataAt = entriesAt + 16 * (uint32_t)resources.size();

  std::vector<uint8_t> out(dataAt, 0);
  uint32_t nextDir = 0, nextString = dirs, nextEntry = entriesAt;
  auto nameField = [&](const PeResourceName &n) -> uint32_t {
    if (n.isId) return n.id;
    uint32_t at = nextString;
    Put16(&out, at, (uint32_t)n.text.size());
    for (size_t i = 0; i < n.text.size(); i++) Put16(&out, at + 2 + 2 * i, n.text[i]);
    nextString += 2 + 2 * (uint32_t)n.text.size();
    return 0x80000000 | at;
  };
  auto directory = [&](size_t named, size_t numbered) {
    uint32_t at = nextDir;
    Put16(&out, at + 12, (uint32_t)named);
    Put16(&out, at + 14, (uint32_t)numbered);
    nextDir += 16 + 8 * (uint32_t)(named + numbered);
    return at;
  };
  auto counts = [](const std::vector<PeResourceName> &names, size_t *named, size_t *numbered) {
    *named = 0;
    for (const PeResourceName &n : names) *named += !n.isId;
    *numbered = names.size() - *named;
  };
  std::vector<PeResourceName> typeNames;
  for (const TypeGroup &t : types) typeNames.push_back(t.type);
  size_t named, numbered;
  counts(typeNames, &named, &numbered);
  uint32_t root = directory(named, numbered);
  for (size_t ti = 0; ti < types.size(); ti++) {
    const TypeGroup &t = types[ti];
    std::vector<PeResourceName> names;
    for (const NameGroup &n : t.names) names.push_back(n.name);
    counts(names, &named, &numbered);
    uint32_t typeDir = directory(named, numbered);
    Put32(&out, root + 16 + 8 * ti, nameField(t.type));
    Put32(&out, root + 16 + 8 * ti + 4, 0x80000000 | typeDir);
    for (size_t ni = 0; ni < t.names.size(); ni++) {
      const NameGroup &n = t.names[ni];
      uint32_t nameDir = directory(0, n.items.size());
      Put32(&out, typeDir + 16 + 8 * ni, nameField(n.name));
      Put32(&out, typeDir + 16 + 8 * ni + 4, 0x80000000 | nameDir);
      for (size_t li = 0; li < n.items.size(); li++) {
        const PeResource &r = resources[n.items[li]];
        Put32(&out, nameDir + 16 + 8 * li, r.language);
        Put32(&out, nameDir + 16 + 8 * li + 4, nextEntry);
        Pad(&out, 8);
        Put32(&out, nextEntry, rva + (uint32_t)out.size());
        Put32(&out, nextEntry + 4, (uint32_t)r.data.size());
        Put32(&out, nextEntry + 8, r.codePage);
        nextEntry += 16;
        out.insert(out.end(), r.data.begin(), r.data.end());
      }
    }
  }
  return out;
}

// One node of the version block: header, key, value, children, each part
// starting on a 4-byte boundary.
std::vector<uint8_t> VersionNode(const std::u16string &key, const std::vector<uint8_t> &value, uint16_t valueLength,
                                 bool text, const std::vector<std::vector<uint8_t>> &children) {
  std::vector<uint8_t> b = {0, 0};
  Add16(&b, valueLength);
  Add16(&b, text ? 1 : 0);
  for (char16_t c : key) Add16(&b, c);
  Add16(&b, 0);
  if (!value.empty()) {
    Pad(&b, 4);
    b.insert(b.end(), value.begin(), value.end());
  }
  for (const std::vector<uint8_t> &child : children) {
    Pad(&b, 4);
    b.insert(b.end(), child.begin(), child.end());
  }
  Put16(&b, 0, (uint32_t)b.size());
  return b;
}

std::vector<uint8_t> VersionString(const char16_t *key, const std::string &value) {
  std::u16string wide = PeWideText(value);
  std::vector<uint8_t> bytes;
  for (char16_t c : wide) Add16(&bytes, c);
  Add16(&bytes, 0);
  return VersionNode(key, bytes, (uint16_t)(wide.size() + 1), true, {});
}

// Windows-1252's 0x80..0x9F; 0 where it has no character.
const char16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                  0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool DecodeUtf8(const std::string &s, std::u16string *out) {
  out->clear();
  for (size_t i = 0; i < s.size();) {
    unsigned char c = (unsigned char)s[i];
    int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || i + extra >= s.size() + (extra ? 0 : 1)) return false;
    uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra; k++) {
      unsigned char d = (unsigned char)s[i + k];
      if ((d & 0xC0) != 0x80) return false;
      cp = cp << 6 | (d & 0x3F);
    }
    static const uint32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return false;
    if (cp >= 0x10000) {
      out->push_back((char16_t)(0xD800 + ((cp - 0x10000) >> 10)));
      out->push_back((char16_t)(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      out->push_back((char16_t)cp);
    }
    i += extra + 1;
  }
  return true;
}

}  // namespace

std::u16string PeWideText(const std::string &text) {
  std::u16string out;
  if (DecodeUtf8(text, &out)) return out;
  out.clear();
  for (unsigned char c : text) {
    char16_t w = c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c;
    out.push_back(w ? w : u'?');
  }
  return out;
}

bool PeImage::Load(const std::vector<uint8_t> &file, std::string *error) {
  Headers h;
  if (!ReadHeaders(file, &h)) {
    *error = "is not a Windows program (no sound PE32 or PE32+ headers)";
    return false;
  }
  file_ = file;
  wide_ = h.wide;
  optional_ = h.optional;
  sections_ = h.sections;
  sectionCount_ = h.sectionCount;
  sectionAlign_ = Get32(file, h.optional + kOptSectionAlign);
  fileAlign_ = Get32(file, h.optional + kOptFileAlign);
  if (fileAlign_ == 0 || sectionAlign_ == 0 || fileAlign_ > sectionAlign_ || (fileAlign_ & (fileAlign_ - 1)) ||
      (sectionAlign_ & (sectionAlign_ - 1))) {
    *error = "is not a Windows program (its alignments are not powers of two)";
    return false;
  }
  if (h.directoryCount > kDirSecurity && Get32(file, h.directories + 8 * kDirSecurity + 4) != 0) {
    *error = "is signed; changing its resources would break the signature (use the unsigned program)";
    return false;
  }
  uint64_t end = 0;
  for (uint16_t i = 0; i < sectionCount_; i++) {
    uint32_t s = sections_ + i * kSecHeader, va = Get32(file, s + kSecRva);
    uint64_t span = std::max(Get32(file, s + kSecVirtualSize), Get32(file, s + kSecRawSize));
    if (va % sectionAlign_ || va + span + sectionAlign_ > 0x80000000u) {
      *error = "is not a Windows program (section " + std::to_string(i + 1) + " lies outside a 2 GiB image)";
      return false;
    }
    end = std::max<uint64_t>(end, (uint64_t)Get32(file, s + kSecRawAt) + Get32(file, s + kSecRawSize));
  }
  if (end > file.size()) {
    *error = "is cut short: its sections run past the end of the file";
    return false;
  }
  if (end < file.size() || Get32(file, h.pe + kCoffSymbols) != 0) {
    *error = "carries data behind its sections (an archive, symbols or a signature); give the program as linked";
    return false;
  }
  resources_.clear();
  resourceSection_ = -1;
  if (h.directoryCount <= kDirResource) return true;
  uint32_t rva = Get32(file, h.directories + 8 * kDirResource), size = Get32(file, h.directories + 8 * kDirResource + 4);
  if (rva == 0 && size == 0) return true;
  for (uint16_t i = 0; i < sectionCount_; i++) {
    uint32_t s = sections_ + i * kSecHeader;
    uint32_t va = Get32(file, s + kSecRva), raw = Get32(file, s + kSecRawSize);
    if (rva >= va && rva - va < raw) {
      resourceSection_ = i;
      TreeReader reader = {file, Get32(file, s + kSecRawAt) + (rva - va), raw - (rva - va), h, error, &resources_};
      PeResource path;
      resourceAtStart_ = rva == va;
      return reader.Directory(0, 0, &path);
    }
  }
  *error = "its resources are damaged: the resource directory lies in no section";
  return false;
}

const PeResource *PeImage::Find(const PeResourceName &type, const PeResourceName &name) const {
  for (const PeResource &r : resources_)
    if (r.type == type && r.name == name) return &r;
  return nullptr;
}

int PeImage::Remove(const PeResourceName &type, const PeResourceName &name) {
  int language = -1;
  for (size_t i = resources_.size(); i-- > 0;)
    if (resources_[i].type == type && resources_[i].name == name) {
      language = resources_[i].language;
      resources_.erase(resources_.begin() + i);
    }
  return language;
}

bool PeImage::Save(std::vector<uint8_t> *out, std::string *error) const {
  std::vector<uint8_t> f = file_;
  Headers h;
  ReadHeaders(f, &h);  // sound: Load read them
  uint32_t directories = h.directories, directoryCount = h.directoryCount;
  if (directoryCount <= kDirResource) {
    *error = "has no resource directory entry in its headers";
    return false;
  }
  auto header = [&](int i) { return sections_ + (uint32_t)i * kSecHeader; };
  auto memoryEnd = [&](int i) {
    uint32_t s = header(i);
    return Get32(f, s + kSecRva) + AlignUp(std::max(Get32(f, s + kSecVirtualSize), Get32(f, s + kSecRawSize)), sectionAlign_);
  };
  // The relocation section, which may move: nothing refers to its place
  // but its data directory entry.
  int relocation = -1;
  uint32_t relocationRva = directoryCount > kDirRelocation ? Get32(f, directories + 8 * kDirRelocation) : 0;
  for (int i = 0; i < sectionCount_ && relocationRva; i++)
    if (Get32(f, header(i) + kSecRva) == relocationRva) relocation = i;
  // The resource section is rebuilt in place when every section behind it,
  // in memory and in the file, is the relocation section; otherwise a new
  // section is added behind the last one.
  bool inPlace = resourceSection_ >= 0 && resourceAtStart_ && resourceSection_ != relocation;
  uint32_t lastRaw = 0, imageEnd = 0;
  for (int i = 0; i < sectionCount_; i++) {
    lastRaw = std::max(lastRaw, Get32(f, header(i) + kSecRawAt) + Get32(f, header(i) + kSecRawSize));
    imageEnd = std::max(imageEnd, memoryEnd(i));
  }
  if (inPlace) {
    uint32_t r = header(resourceSection_), rsrcVa = Get32(f, r + kSecRva), rsrcRaw = Get32(f, r + kSecRawAt);
    if (relocation >= 0 && Get32(f, header(relocation) + kSecRva) < rsrcVa) relocation = -1;  // in front: stays
    for (int i = 0; i < sectionCount_ && inPlace; i++) {
      uint32_t s = header(i), rawAt = Get32(f, s + kSecRawAt), rawSize = Get32(f, s + kSecRawSize);
      if (i == resourceSection_) continue;
      if (i == relocation)  // wholly behind the resource section
        inPlace = Get32(f, s + kSecRva) >= memoryEnd(resourceSection_) &&
                  (rawSize == 0 || rawAt >= rsrcRaw + Get32(f, r + kSecRawSize));
      else  // wholly in front of it
        inPlace = memoryEnd(i) <= rsrcVa && (rawSize == 0 || rawAt + rawSize <= rsrcRaw);
    }
  }
  uint32_t section;
  std::vector<uint8_t> moved;  // the relocation section's bytes, when it moves
  if (inPlace) {
    section = header(resourceSection_);
    if (relocation >= 0) {
      uint32_t at = Get32(f, header(relocation) + kSecRawAt), n = Get32(f, header(relocation) + kSecRawSize);
      moved.assign(f.begin() + at, f.begin() + at + n);
    }
    Put32(&f, optional_ + kOptInitData, Get32(f, optional_ + kOptInitData) - Get32(f, section + kSecRawSize));
    f.resize(Get32(f, section + kSecRawAt));
  } else {
    relocation = -1;
    section = header(sectionCount_);
    uint32_t firstRaw = Get32(f, optional_ + kOptHeaderSize);
    for (int i = 0; i < sectionCount_; i++) {
      uint32_t rawAt = Get32(f, header(i) + kSecRawAt);
      if (rawAt) firstRaw = std::min(firstRaw, rawAt);
    }
    if (section + kSecHeader > firstRaw || section + kSecHeader > f.size()) {
      *error = "has no room in its headers for another section, and its resource section is not the last one";
      return false;
    }
    memset(&f[section], 0, kSecHeader);
    memcpy(&f[section], ".rsrc", 5);
    Put32(&f, section + kSecRva, imageEnd);
    Put32(&f, section + kSecFlags, kResourceFlags);
    Put32(&f, section + kSecRawAt, AlignUp(lastRaw, fileAlign_));
    Put16(&f, optional_ - kCoffSize + kCoffSectionCount, sectionCount_ + 1);
    f.resize(AlignUp(lastRaw, fileAlign_), 0);
  }
  uint32_t rva = Get32(f, section + kSecRva);
  std::vector<uint8_t> tree = WriteTree(resources_, rva);
  uint32_t raw = AlignUp((uint32_t)tree.size(), fileAlign_);
  if ((uint64_t)f.size() + raw + moved.size() >= 0x7FFFFFFF) {
    *error = "would be 2 GiB or larger with its resources";
    return false;
  }
  Put32(&f, section + kSecVirtualSize, (uint32_t)tree.size());
  Put32(&f, section + kSecRawSize, raw);
  f.insert(f.end(), tree.begin(), tree.end());
  f.resize(f.size() + (raw - tree.size()), 0);
  Put32(&f, optional_ + kOptInitData, Get32(f, optional_ + kOptInitData) + raw);
  uint32_t end = AlignUp(rva + (uint32_t)tree.size(), sectionAlign_);
  if (relocation >= 0) {
    uint32_t s = header(relocation), oldRva = Get32(f, s + kSecRva);
    Put32(&f, s + kSecRva, end);
    Put32(&f, s + kSecRawAt, moved.empty() ? 0 : (uint32_t)f.size());
    Put32(&f, directories + 8 * kDirRelocation, relocationRva - oldRva + end);
    f.insert(f.end(), moved.begin(), moved.end());
    end = memoryEnd(relocation);
  }
  Put32(&f, optional_ + kOptImageSize, end);
  Put32(&f, directories + 8 * kDirResource, rva);
  Put32(&f, directories + 8 * kDirResource + 4, (uint32_t)tree.size());
  PeUpdateChecksum(&f);
  out->swap(f);
  return true;
}

// Adds n bytes (n even, or the last piece) to the PE checksum's running sum.
static uint64_t ChecksumAdd(uint64_t sum, const uint8_t *p, size_t n) {
  for (size_t i = 0; i < n; i += 2) {
    sum += i + 1 < n ? (uint32_t)p[i] | (uint32_t)p[i + 1] << 8 : p[i];
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return sum;
}

static uint32_t ChecksumEnd(uint64_t sum, uint64_t size) {
  sum = (sum & 0xFFFF) + (sum >> 16);
  return (uint32_t)(sum + size);
}

bool PeUpdateChecksum(std::vector<uint8_t> *file) {
  // The field as the installer's reader finds it (the integrity record
  // leaves the same field out).
  FfsContainer container;
  FfsContainerRead(ArchiveReadAt, file, (uint32_t)file->size(), &container);
  if (container.checksumAt == 0) return false;
  Put32(file, container.checksumAt, 0);
  Put32(file, container.checksumAt, ChecksumEnd(ChecksumAdd(0, file->data(), file->size()), file->size()));
  return true;
}

bool PeUpdateChecksumFile(FILE *file, uint32_t size) {
  FfsContainer container;
  FfsContainerRead(FsReadAt, file, size, &container);
  if (container.checksumAt == 0) return false;
  static const uint8_t zero[4] = {0, 0, 0, 0};
  if (!FsSeek(file, container.checksumAt) || fwrite(zero, 1, 4, file) != 4 || fflush(file) != 0) return false;
  std::vector<uint8_t> piece(1 << 20);
  uint64_t sum = 0;
  for (uint32_t done = 0; done < size;) {
    uint32_t n = std::min<uint32_t>((uint32_t)piece.size(), size - done);
    if (!FsReadAt(file, done, piece.data(), n)) return false;
    sum = ChecksumAdd(sum, piece.data(), n);
    done += n;
  }
  uint32_t value = ChecksumEnd(sum, size);
  uint8_t field[4] = {(uint8_t)value, (uint8_t)(value >> 8), (uint8_t)(value >> 16), (uint8_t)(value >> 24)};
  return FsSeek(file, container.checksumAt) && fwrite(field, 1, 4, file) == 4 && fflush(file) == 0;
}

namespace {

uint32_t GetBe32(const std::vector<uint8_t> &b, size_t at) {
  return (uint32_t)b[at] << 24 | (uint32_t)b[at + 1] << 16 | (uint32_t)b[at + 2] << 8 | b[at + 3];
}

std::string Pixels(uint64_t w, uint64_t h) { return std::to_string(w) + " x " + std::to_string(h) + " pixels"; }

// What is wrong with a PNG image of an icon ("" when nothing): its header
// chunk (13 bytes, its CRC, the size of the directory's entryW x entryH,
// where 0 is 256 or more, a depth its colour type has), then chunks that fit
// the image's bytes, at least one of pixel data, up to the end chunk.
std::string PngProblem(const std::vector<uint8_t> &png, uint32_t entryW, uint32_t entryH) {
  if (png.size() < 8 + 25 || GetBe32(png, 8) != 13 || memcmp(png.data() + 12, "IHDR", 4) != 0)
    return "is a PNG image without its header chunk";
  if (Crc32(png.data() + 12, 17) != GetBe32(png, 29)) return "is a PNG image whose header chunk is damaged";
  uint32_t w = GetBe32(png, 16), h = GetBe32(png, 20);
  uint8_t depth = png[24], colour = png[25];
  auto fits = [](uint32_t size, uint32_t entry) { return size <= 0x7FFFFFFF && (entry ? size == entry : size >= 256); };
  if (!fits(w, entryW) || !fits(h, entryH))
    return "says " + Pixels(entryW ? entryW : 256, entryH ? entryH : 256) + ", its PNG image " + Pixels(w, h);
  static const char *const kDepths[7] = {"\1\2\4\x08\x10", "", "\x08\x10", "\1\2\4\x08", "\x08\x10", "", "\x08\x10"};
  if (colour > 6 || depth == 0 || !strchr(kDepths[colour], depth) || png[26] != 0 || png[27] != 0 || png[28] > 1)
    return "is a PNG image of a kind that does not exist (colour type " + std::to_string(colour) + ", depth " +
           std::to_string(depth) + ")";
  bool pixels = false;
  for (size_t at = 8;;) {
    if (png.size() - at < 12 || GetBe32(png, at) > png.size() - at - 12) return "is a PNG image cut short";
    uint32_t length = GetBe32(png, at);
    if (memcmp(png.data() + at + 4, "IDAT", 4) == 0) pixels = true;
    if (memcmp(png.data() + at + 4, "IEND", 4) == 0) break;
    at += 12 + (size_t)length;
  }
  return pixels ? "" : "is a PNG image without pixels";
}

// What is wrong with a bitmap (a 40-byte header, its palette, the colour
// bitmap and the mask of one bit a pixel) of an icon ("" when nothing).
std::string BitmapProblem(const std::vector<uint8_t> &bmp, uint32_t expectW, uint32_t expectH) {
  int32_t w = (int32_t)Get32(bmp, 4), hh = (int32_t)Get32(bmp, 8);
  uint32_t planes = Get16(bmp, 12), bits = Get16(bmp, 14), compression = Get32(bmp, 16), used = Get32(bmp, 32);
  if (w <= 0 || (uint32_t)w != expectW || hh != 2 * (int32_t)expectH)
    return "says " + Pixels(expectW, expectH) + ", its bitmap another size";
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
    return "has " + std::to_string(bits) + " bits per pixel";
  if (planes != 1) return "has a bitmap of " + std::to_string(planes) + " planes";
  if (compression != 0) return "has a compressed bitmap (compression " + std::to_string(compression) + ")";
  if (bits <= 8 && used > (1u << bits))
    return "has a palette of " + std::to_string(used) + " colours for " + std::to_string(bits) + " bits per pixel";
  uint64_t colours = bits <= 8 && used == 0 ? 1u << bits : used;
  uint64_t row = ((uint64_t)expectW * bits + 31) / 32 * 4, maskRow = ((uint64_t)expectW + 31) / 32 * 4;
  uint64_t need = 40 + 4 * colours + (row + maskRow) * expectH;
  if (need > bmp.size())
    return "holds " + std::to_string(bmp.size()) + " bytes; its bitmap of " + Pixels(expectW, expectH) + " at " +
           std::to_string(bits) + " bits, with its palette and mask, needs " + std::to_string(need);
  return "";
}

}  // namespace

bool PeParseIcon(const std::vector<uint8_t> &ico, std::vector<PeIconImage> *images, std::string *error) {
  images->clear();
  if (ico.size() < 6 || Get16(ico, 0) != 0 || Get16(ico, 2) != 1) {
    *error = "is not an icon file (.ico): it does not begin with an icon header";
    return false;
  }
  uint32_t count = Get16(ico, 4);
  if (count == 0) {
    *error = "is an icon file without images";
    return false;
  }
  if (ico.size() < 6 + 16 * (size_t)count) {
    *error = "is not a sound icon file: its list of " + std::to_string(count) + " images is cut short";
    return false;
  }
  for (uint32_t i = 0; i < count; i++) {
    uint32_t e = 6 + 16 * i;
    std::string which = "image " + std::to_string(i + 1) + " of " + std::to_string(count);
    uint32_t size = Get32(ico, e + 8), at = Get32(ico, e + 12);
    if (size == 0 || at > ico.size() || ico.size() - at < size) {
      *error = "is not a sound icon file: " + which + " lies outside the file";
      return false;
    }
    PeIconImage image = {ico[e], ico[e + 1], ico[e + 2], Get16(ico, e + 4), Get16(ico, e + 6),
                         std::vector<uint8_t>(ico.begin() + at, ico.begin() + at + size)};
    static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    bool png = size >= 8 && memcmp(image.data.data(), kPng, 8) == 0;
    bool bitmap = size >= 40 && Get32(image.data, 0) == 40;
    if (!png && !bitmap) {
      *error = "is not a sound icon file: " + which + " is neither a bitmap nor a PNG image";
      return false;
    }
    uint32_t expectW = image.width ? image.width : 256, expectH = image.height ? image.height : 256;
    std::string problem =
        png ? PngProblem(image.data, image.width, image.height) : BitmapProblem(image.data, expectW, expectH);
    if (!problem.empty()) {
      *error = "is not a sound icon file: " + which + " " + problem;
      return false;
    }
    if (bitmap) {
      if (image.bitCount == 0) image.bitCount = Get16(image.data, 14);
      if (image.planes == 0) image.planes = 1;
    }
    images->push_back(image);
  }
  return true;
}

void PeSetIconGroup(PeImage *image, uint16_t groupId, const std::vector<PeIconImage> &icon) {
  const PeResourceName group = PeResourceName::Id(PE_RT_GROUP_ICON), single = PeResourceName::Id(PE_RT_ICON);
  std::vector<PeResource> &all = image->Resources();
  // The icons of the old group, and those other groups use.
  auto members = [](const PeResource &r) {
    std::set<uint16_t> ids;
    if (r.data.size() < 6) return ids;
    uint32_t n = Get16(r.data, 4);
    for (uint32_t i = 0; i < n && 6 + 14 * (size_t)(i + 1) <= r.data.size(); i++) ids.insert(Get16(r.data, 6 + 14 * i + 12));
    return ids;
  };
  std::set<uint16_t> old, kept;
  for (const PeResource &r : all)
    if (r.type == group) {
      std::set<uint16_t> ids = members(r);
      (r.name == PeResourceName::Id(groupId) ? old : kept).insert(ids.begin(), ids.end());
    }
  int language = image->Remove(group, PeResourceName::Id(groupId));
  if (language < 0) language = PE_LANG_DEFAULT;
  for (uint16_t id : old)
    if (!kept.count(id)) image->Remove(single, PeResourceName::Id(id));
  std::set<uint16_t> used;
  for (const PeResource &r : all)
    if (r.type == single && r.name.isId) used.insert(r.name.id);

  PeResource dir;
  dir.type = group;
  dir.name = PeResourceName::Id(groupId);
  dir.language = (uint16_t)language;
  Add16(&dir.data, 0);
  Add16(&dir.data, 1);
  Add16(&dir.data, (uint32_t)icon.size());
  uint16_t next = 1;
  for (const PeIconImage &i : icon) {
    while (used.count(next)) next++;
    used.insert(next);
    PeResource r;
    r.type = single;
    r.name = PeResourceName::Id(next);
    r.language = (uint16_t)language;
    r.data = i.data;
    all.push_back(r);
    dir.data.insert(dir.data.end(), {i.width, i.height, i.colors, 0});
    Add16(&dir.data, i.planes);
    Add16(&dir.data, i.bitCount);
    Add32(&dir.data, (uint32_t)i.data.size());
    Add16(&dir.data, next);
  }
  all.push_back(dir);
}

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
  Add32(&fixed, 0xFEEF04BD);  // signature
  Add32(&fixed, 0x00010000);  // structure version 1.0
  Add32(&fixed, (uint32_t)info.fileVersion[0] << 16 | info.fileVersion[1]);
  Add32(&fixed, (uint32_t)info.fileVersion[2] << 16 | info.fileVersion[3]);
  Add32(&fixed, (uint32_t)info.productVersion[0] << 16 | info.productVersion[1]);
  Add32(&fixed, (uint32_t)info.productVersion[2] << 16 | info.productVersion[3]);
  Add32(&fixed, 0x3F);      // flags mask
  Add32(&fixed, 0);         // flags
  Add32(&fixed, 0x40004);   // Windows NT, 32-bit API
  Add32(&fixed, 1);         // an application
  Add32(&fixed, 0);         // subtype
  Add32(&fixed, 0);         // date, high
  Add32(&fixed, 0);         // date, low
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
  Add16(&translation, PE_LANG_DEFAULT);
  Add16(&translation, 1200);  // UTF-16
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

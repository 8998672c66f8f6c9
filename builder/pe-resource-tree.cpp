// The resource tree of a PE image: read from its section into a list of
// resources, and laid out afresh from one.
#include <algorithm>

#include "pe-image-parts.h"

namespace {

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
  const PeHeaders &headers;
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
      uint32_t s = headers.sections + i * PE_SEC_HEADER_SIZE;
      uint32_t va = PeGet32(file, s + PE_SEC_RVA_AT), raw = PeGet32(file, s + PE_SEC_RAW_SIZE_AT);
      uint32_t rawAt = PeGet32(file, s + PE_SEC_RAW_AT);
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
    uint32_t length = PeGet16(file, treeAt + at);
    if (!Inside(at + 2, length * 2)) return Fail("a name runs past the section");
    name->isId = false;
    name->id = 0;
    name->text.clear();
    for (uint32_t i = 0; i < length; i++) name->text.push_back((char16_t)PeGet16(file, treeAt + at + 2 + 2 * i));
    return true;
  }

  // level 0: types, 1: names, 2: languages.
  bool Directory(uint32_t at, int level, PeResource *path) {
    if (++directories > 65536) return Fail("too many directories");
    if (!Inside(at, 16)) return Fail("a directory lies outside the section");
    uint32_t count = (uint32_t)PeGet16(file, treeAt + at + 12) + PeGet16(file, treeAt + at + 14);
    if (!Inside(at + 16, count * 8)) return Fail("a directory runs past the section");
    for (uint32_t i = 0; i < count; i++) {
      uint32_t entry = treeAt + at + 16 + i * 8;
      uint32_t nameField = PeGet32(file, entry), target = PeGet32(file, entry + 4);
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
      uint32_t rva = PeGet32(file, treeAt + target), size = PeGet32(file, treeAt + target + 4), dataAt = 0;
      if (!FileOffset(rva, size, &dataAt)) return Fail("a resource's data lies outside the file");
      PeResource r = *path;
      r.language = (uint16_t)nameField;
      r.codePage = PeGet32(file, treeAt + target + 8);
      r.data.assign(file.begin() + dataAt, file.begin() + dataAt + size);
      out->push_back(r);
    }
    return true;
  }
};

}  // namespace

bool PeReadTree(const std::vector<uint8_t> &file, const PeHeaders &headers, uint32_t treeAt, uint32_t treeSize,
                std::vector<PeResource> *out, std::string *error) {
  TreeReader reader = {file, treeAt, treeSize, headers, error, out};
  PeResource path;
  return reader.Directory(0, 0, &path);
}

std::vector<uint8_t> PeWriteTree(std::vector<PeResource> resources, uint32_t rva) {
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
  uint32_t entriesAt = PeAlignUp(dirs + strings, 8);
  uint32_t dataAt = entriesAt + 16 * (uint32_t)resources.size();

  std::vector<uint8_t> out(dataAt, 0);
  uint32_t nextDir = 0, nextString = dirs, nextEntry = entriesAt;
  auto nameField = [&](const PeResourceName &n) -> uint32_t {
    if (n.isId) return n.id;
    uint32_t at = nextString;
    PePut16(&out, at, (uint32_t)n.text.size());
    for (size_t i = 0; i < n.text.size(); i++) PePut16(&out, at + 2 + 2 * i, n.text[i]);
    nextString += 2 + 2 * (uint32_t)n.text.size();
    return 0x80000000 | at;
  };
  auto directory = [&](size_t named, size_t numbered) {
    uint32_t at = nextDir;
    PePut16(&out, at + 12, (uint32_t)named);
    PePut16(&out, at + 14, (uint32_t)numbered);
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
    PePut32(&out, root + 16 + 8 * ti, nameField(t.type));
    PePut32(&out, root + 16 + 8 * ti + 4, 0x80000000 | typeDir);
    for (size_t ni = 0; ni < t.names.size(); ni++) {
      const NameGroup &n = t.names[ni];
      uint32_t nameDir = directory(0, n.items.size());
      PePut32(&out, typeDir + 16 + 8 * ni, nameField(n.name));
      PePut32(&out, typeDir + 16 + 8 * ni + 4, 0x80000000 | nameDir);
      for (size_t li = 0; li < n.items.size(); li++) {
        const PeResource &r = resources[n.items[li]];
        PePut32(&out, nameDir + 16 + 8 * li, r.language);
        PePut32(&out, nameDir + 16 + 8 * li + 4, nextEntry);
        PePad(&out, 8);
        PePut32(&out, nextEntry, rva + (uint32_t)out.size());
        PePut32(&out, nextEntry + 4, (uint32_t)r.data.size());
        PePut32(&out, nextEntry + 8, r.codePage);
        nextEntry += 16;
        out.insert(out.end(), r.data.begin(), r.data.end());
      }
    }
  }
  return out;
}

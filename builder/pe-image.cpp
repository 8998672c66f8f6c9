// A PE image's section surgery: its headers read and checked, its resource
// section found and handed to the tree reader, and on saving the section
// rebuilt in place or added behind the last one, the relocation section
// moved behind it, the sizes, directories and checksum following.
#include <string.h>

#include <algorithm>

#include "archive-reader.h"
#include "ffs-container.h"
#include "fsutil.h"
#include "pe-image-parts.h"

bool PeReadHeaders(const std::vector<uint8_t> &f, PeHeaders *h) {
  if (f.size() < PE_DOS_HEADER_SIZE || f[0] != PE_DOS_MAGIC[0] || f[1] != PE_DOS_MAGIC[1]) return false;
  h->pe = PeGet32(f, PE_LFANEW_AT);
  if (h->pe > f.size() || f.size() - h->pe < PE_OPTIONAL_AT + 2 ||
      memcmp(&f[h->pe], PE_SIGNATURE, PE_SIGNATURE_SIZE) != 0)
    return false;
  h->optional = h->pe + PE_OPTIONAL_AT;
  uint16_t magic = PeGet16(f, h->optional);
  if (magic != PE_MAGIC32 && magic != PE_MAGIC64) return false;
  h->wide = magic == PE_MAGIC64;
  uint32_t optionalSize = PeGet16(f, h->pe + PE_COFF_OPTIONAL_SIZE_AT);
  h->sectionCount = PeGet16(f, h->pe + PE_COFF_SECTION_COUNT_AT);
  h->sections = h->optional + optionalSize;
  uint32_t countAt = h->optional + (h->wide ? PE_OPT_DIR_COUNT_AT64 : PE_OPT_DIR_COUNT_AT32);
  h->directories = countAt + 4;
  if (h->directories > h->sections ||
      (uint64_t)h->sections + (uint64_t)h->sectionCount * PE_SEC_HEADER_SIZE > f.size())
    return false;
  h->directoryCount = std::min<uint32_t>(PeGet32(f, countAt), (h->sections - h->directories) / PE_DIR_SIZE);
  return true;
}

uint16_t PeMachine(const std::vector<uint8_t> &file) {
  PeHeaders h;
  return PeReadHeaders(file, &h) ? PeGet16(file, h.pe + PE_COFF_MACHINE_AT) : 0;
}

// Finds the resource tree through the resource directory and reads it:
// *section is the index of the section that holds it (-1 when the image has
// none), *atStart whether the tree begins that section.
static bool ReadResources(const std::vector<uint8_t> &file, const PeHeaders &h, std::vector<PeResource> *out,
                          int *section, bool *atStart, std::string *error) {
  *section = -1;
  *atStart = false;
  if (h.directoryCount <= PE_DIR_RESOURCE) return true;
  uint32_t resourceDir = h.directories + PE_DIR_SIZE * PE_DIR_RESOURCE;
  uint32_t rva = PeGet32(file, resourceDir), size = PeGet32(file, resourceDir + 4);
  if (rva == 0 && size == 0) return true;
  for (uint16_t i = 0; i < h.sectionCount; i++) {
    uint32_t s = h.sections + i * PE_SEC_HEADER_SIZE;
    uint32_t va = PeGet32(file, s + PE_SEC_RVA_AT), raw = PeGet32(file, s + PE_SEC_RAW_SIZE_AT);
    uint32_t rawAt = PeGet32(file, s + PE_SEC_RAW_AT);
    if (rva >= va && rva - va < raw) {
      if ((uint64_t)rawAt + raw > file.size()) break;
      *section = i;
      *atStart = rva == va;
      return PeReadTree(file, h, rawAt + (rva - va), raw - (rva - va), out, error);
    }
  }
  *error = "its resources are damaged: the resource directory lies in no section";
  return false;
}

bool PeImage::Load(const std::vector<uint8_t> &file, std::string *error) {
  PeHeaders h;
  if (!PeReadHeaders(file, &h)) {
    *error = "is not a Windows program (no sound PE32 or PE32+ headers)";
    return false;
  }
  file_ = file;
  wide_ = h.wide;
  optional_ = h.optional;
  sections_ = h.sections;
  sectionCount_ = h.sectionCount;
  sectionAlign_ = PeGet32(file, h.optional + PE_OPT_SECTION_ALIGN_AT);
  fileAlign_ = PeGet32(file, h.optional + PE_OPT_FILE_ALIGN_AT);
  if (fileAlign_ == 0 || sectionAlign_ == 0 || fileAlign_ > sectionAlign_ || (fileAlign_ & (fileAlign_ - 1)) ||
      (sectionAlign_ & (sectionAlign_ - 1))) {
    *error = "is not a Windows program (its alignments are not powers of two)";
    return false;
  }
  if (h.directoryCount > PE_DIR_SECURITY && PeGet32(file, h.directories + PE_DIR_SIZE * PE_DIR_SECURITY + 4) != 0) {
    *error = "is signed; changing its resources would break the signature (use the unsigned program)";
    return false;
  }
  uint64_t end = 0;
  for (uint16_t i = 0; i < sectionCount_; i++) {
    uint32_t s = sections_ + i * PE_SEC_HEADER_SIZE, va = PeGet32(file, s + PE_SEC_RVA_AT);
    uint64_t span = std::max(PeGet32(file, s + PE_SEC_VIRTUAL_SIZE_AT), PeGet32(file, s + PE_SEC_RAW_SIZE_AT));
    if (va % sectionAlign_ || va + span + sectionAlign_ > 0x80000000u) {
      *error = "is not a Windows program (section " + std::to_string(i + 1) + " lies outside a 2 GiB image)";
      return false;
    }
    end = std::max<uint64_t>(end, (uint64_t)PeGet32(file, s + PE_SEC_RAW_AT) + PeGet32(file, s + PE_SEC_RAW_SIZE_AT));
  }
  if (end > file.size()) {
    *error = "is cut short: its sections run past the end of the file";
    return false;
  }
  if (end < file.size() || PeGet32(file, h.pe + PE_COFF_SYMBOLS_AT) != 0) {
    *error = "carries data behind its sections (an archive, symbols or a signature); give the program as linked";
    return false;
  }
  resources_.clear();
  return ReadResources(file, h, &resources_, &resourceSection_, &resourceAtStart_, error);
}

bool PeReadResources(const std::vector<uint8_t> &file, std::vector<PeResource> *out, std::string *error) {
  PeHeaders h;
  int section;
  bool atStart;
  out->clear();
  if (!PeReadHeaders(file, &h)) {
    *error = "is not a Windows program (no sound PE32 or PE32+ headers)";
    return false;
  }
  return ReadResources(file, h, out, &section, &atStart, error);
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

namespace {

uint32_t SectionHeader(uint32_t sections, int i) { return sections + (uint32_t)i * PE_SEC_HEADER_SIZE; }

// Where the section whose header is at s ends in memory, as f says now.
uint32_t MemoryEnd(const std::vector<uint8_t> &f, uint32_t s, uint32_t align) {
  return PeGet32(f, s + PE_SEC_RVA_AT) +
         PeAlignUp(std::max(PeGet32(f, s + PE_SEC_VIRTUAL_SIZE_AT), PeGet32(f, s + PE_SEC_RAW_SIZE_AT)), align);
}

}  // namespace

// How Save lays the sections out, and what it carries from step to step.
struct PeImage::SavePlan {
  uint32_t directories = 0;
  // The relocation section when it moves behind the rebuilt resource
  // section (nothing refers to its place but its data directory entry),
  // else -1; its RVA as the directory gave it.
  int relocation = -1;
  uint32_t relocationRva = 0;
  bool inPlace = false;                // the resource section is rebuilt where it is
  uint32_t lastRaw = 0, imageEnd = 0;  // where the sections end in the file and in memory
  uint32_t section = 0;                // the header of the section the tree goes into
  std::vector<uint8_t> moved;          // the relocation section's bytes, when it moves
  uint32_t rva = 0, treeSize = 0, end = 0;  // the tree's place and size; the image's end
};

// The resource section is rebuilt in place when every section behind it, in
// memory and in the file, is the relocation section; otherwise a new section
// is added behind the last one.
bool PeImage::PlanSave(const std::vector<uint8_t> &f, SavePlan *plan, std::string *error) const {
  PeHeaders h;
  PeReadHeaders(f, &h);  // sound: Load read them
  plan->directories = h.directories;
  if (h.directoryCount <= PE_DIR_RESOURCE) {
    *error = "has no resource directory entry in its headers";
    return false;
  }
  auto header = [&](int i) { return SectionHeader(sections_, i); };
  int relocation = -1;
  uint32_t relocationRva =
      h.directoryCount > PE_DIR_RELOCATION ? PeGet32(f, h.directories + PE_DIR_SIZE * PE_DIR_RELOCATION) : 0;
  for (int i = 0; i < sectionCount_ && relocationRva; i++)
    if (PeGet32(f, header(i) + PE_SEC_RVA_AT) == relocationRva) relocation = i;
  bool inPlace = resourceSection_ >= 0 && resourceAtStart_ && resourceSection_ != relocation;
  for (int i = 0; i < sectionCount_; i++) {
    uint32_t s = header(i);
    plan->lastRaw = std::max(plan->lastRaw, PeGet32(f, s + PE_SEC_RAW_AT) + PeGet32(f, s + PE_SEC_RAW_SIZE_AT));
    plan->imageEnd = std::max(plan->imageEnd, MemoryEnd(f, s, sectionAlign_));
  }
  if (inPlace) {
    uint32_t r = header(resourceSection_);
    uint32_t rsrcVa = PeGet32(f, r + PE_SEC_RVA_AT), rsrcRaw = PeGet32(f, r + PE_SEC_RAW_AT);
    if (relocation >= 0 && PeGet32(f, header(relocation) + PE_SEC_RVA_AT) < rsrcVa) relocation = -1;  // in front: stays
    for (int i = 0; i < sectionCount_ && inPlace; i++) {
      uint32_t s = header(i), rawAt = PeGet32(f, s + PE_SEC_RAW_AT), rawSize = PeGet32(f, s + PE_SEC_RAW_SIZE_AT);
      if (i == resourceSection_) continue;
      if (i == relocation)  // wholly behind the resource section
        inPlace = PeGet32(f, s + PE_SEC_RVA_AT) >= MemoryEnd(f, r, sectionAlign_) &&
                  (rawSize == 0 || rawAt >= rsrcRaw + PeGet32(f, r + PE_SEC_RAW_SIZE_AT));
      else  // wholly in front of it
        inPlace = MemoryEnd(f, s, sectionAlign_) <= rsrcVa && (rawSize == 0 || rawAt + rawSize <= rsrcRaw);
    }
  }
  plan->inPlace = inPlace;
  plan->relocation = inPlace ? relocation : -1;
  plan->relocationRva = relocationRva;
  return true;
}

// Cuts the image at the resource section, keeping the relocation section's
// bytes aside, or adds a header for a new section behind the last one.
bool PeImage::MakeRoom(std::vector<uint8_t> *f, SavePlan *plan, std::string *error) const {
  auto header = [&](int i) { return SectionHeader(sections_, i); };
  if (plan->inPlace) {
    uint32_t section = plan->section = header(resourceSection_);
    if (plan->relocation >= 0) {
      uint32_t s = header(plan->relocation);
      uint32_t at = PeGet32(*f, s + PE_SEC_RAW_AT), n = PeGet32(*f, s + PE_SEC_RAW_SIZE_AT);
      plan->moved.assign(f->begin() + at, f->begin() + at + n);
    }
    PePut32(f, optional_ + PE_OPT_INIT_DATA_AT,
            PeGet32(*f, optional_ + PE_OPT_INIT_DATA_AT) - PeGet32(*f, section + PE_SEC_RAW_SIZE_AT));
    f->resize(PeGet32(*f, section + PE_SEC_RAW_AT));
    return true;
  }
  uint32_t section = plan->section = header(sectionCount_);
  uint32_t firstRaw = PeGet32(*f, optional_ + PE_OPT_HEADERS_SIZE_AT);
  for (int i = 0; i < sectionCount_; i++) {
    uint32_t rawAt = PeGet32(*f, header(i) + PE_SEC_RAW_AT);
    if (rawAt) firstRaw = std::min(firstRaw, rawAt);
  }
  if (section + PE_SEC_HEADER_SIZE > firstRaw || section + PE_SEC_HEADER_SIZE > f->size()) {
    *error = "has no room in its headers for another section, and its resource section is not the last one";
    return false;
  }
  uint32_t rawAt = PeAlignUp(plan->lastRaw, fileAlign_);
  memset(&(*f)[section], 0, PE_SEC_HEADER_SIZE);
  memcpy(&(*f)[section], ".rsrc", 5);
  PePut32(f, section + PE_SEC_RVA_AT, plan->imageEnd);
  PePut32(f, section + PE_SEC_FLAGS_AT, PE_SCN_INITIALIZED_DATA | PE_SCN_MEM_READ);
  PePut32(f, section + PE_SEC_RAW_AT, rawAt);
  PePut16(f, optional_ - PE_OPTIONAL_AT + PE_COFF_SECTION_COUNT_AT, sectionCount_ + 1);
  f->resize(rawAt, 0);
  return true;
}

// Writes the tree at the end of the image as the section's bytes.
bool PeImage::EmitTree(std::vector<uint8_t> *f, SavePlan *plan, std::string *error) const {
  uint32_t section = plan->section, rva = plan->rva = PeGet32(*f, section + PE_SEC_RVA_AT);
  std::vector<uint8_t> tree = PeWriteTree(resources_, rva);
  uint32_t raw = PeAlignUp((uint32_t)tree.size(), fileAlign_);
  if ((uint64_t)f->size() + raw + plan->moved.size() >= 0x7FFFFFFF) {
    *error = "would be 2 GiB or larger with its resources";
    return false;
  }
  plan->treeSize = (uint32_t)tree.size();
  PePut32(f, section + PE_SEC_VIRTUAL_SIZE_AT, plan->treeSize);
  PePut32(f, section + PE_SEC_RAW_SIZE_AT, raw);
  f->insert(f->end(), tree.begin(), tree.end());
  f->resize(f->size() + (raw - tree.size()), 0);
  PePut32(f, optional_ + PE_OPT_INIT_DATA_AT, PeGet32(*f, optional_ + PE_OPT_INIT_DATA_AT) + raw);
  plan->end = PeAlignUp(rva + plan->treeSize, sectionAlign_);
  return true;
}

// Puts the relocation section kept aside behind the tree, in memory and in
// the file, and its data directory entry with it.
void PeImage::MoveRelocations(std::vector<uint8_t> *f, SavePlan *plan) const {
  if (plan->relocation < 0) return;
  uint32_t s = SectionHeader(sections_, plan->relocation), oldRva = PeGet32(*f, s + PE_SEC_RVA_AT);
  PePut32(f, s + PE_SEC_RVA_AT, plan->end);
  PePut32(f, s + PE_SEC_RAW_AT, plan->moved.empty() ? 0 : (uint32_t)f->size());
  PePut32(f, plan->directories + PE_DIR_SIZE * PE_DIR_RELOCATION, plan->relocationRva - oldRva + plan->end);
  f->insert(f->end(), plan->moved.begin(), plan->moved.end());
  plan->end = MemoryEnd(*f, s, sectionAlign_);
}

bool PeImage::Save(std::vector<uint8_t> *out, std::string *error) const {
  std::vector<uint8_t> f = file_;
  SavePlan plan;
  if (!PlanSave(f, &plan, error) || !MakeRoom(&f, &plan, error) || !EmitTree(&f, &plan, error)) return false;
  MoveRelocations(&f, &plan);
  uint32_t resourceDir = plan.directories + PE_DIR_SIZE * PE_DIR_RESOURCE;
  PePut32(&f, optional_ + PE_OPT_IMAGE_SIZE_AT, plan.end);
  PePut32(&f, resourceDir, plan.rva);
  PePut32(&f, resourceDir + 4, plan.treeSize);
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
  PePut32(file, container.checksumAt, 0);
  PePut32(file, container.checksumAt, ChecksumEnd(ChecksumAdd(0, file->data(), file->size()), file->size()));
  return true;
}

void PeChecksum::Add(const uint8_t *p, size_t n) {
  size += n;
  if (n > 0 && odd) {
    sum += (uint32_t)low | (uint32_t)p[0] << 8;
    sum = (sum & 0xFFFF) + (sum >> 16);
    p++;
    n--;
    odd = false;
  }
  sum = ChecksumAdd(sum, p, n & ~(size_t)1);
  if (n & 1) {
    low = p[n - 1];
    odd = true;
  }
}

uint32_t PeChecksum::Value() const { return ChecksumEnd(odd ? ChecksumAdd(sum, &low, 1) : sum, size); }

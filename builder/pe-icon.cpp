// Icon files (.ico): taken apart and checked image by image (a PNG's header
// and chunks, a bitmap's size, depth, palette and mask), and put into an
// image as an icon group with its icon resources.
#include <string.h>

#include <set>

#include "pe-image-parts.h"
#include "vantor-core.h"

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
  int32_t w = (int32_t)PeGet32(bmp, 4), hh = (int32_t)PeGet32(bmp, 8);
  uint32_t planes = PeGet16(bmp, 12), bits = PeGet16(bmp, 14), compression = PeGet32(bmp, 16), used = PeGet32(bmp, 32);
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
  if (ico.size() < 6 || PeGet16(ico, 0) != 0 || PeGet16(ico, 2) != 1) {
    *error = "is not an icon file (.ico): it does not begin with an icon header";
    return false;
  }
  uint32_t count = PeGet16(ico, 4);
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
    uint32_t size = PeGet32(ico, e + 8), at = PeGet32(ico, e + 12);
    if (size == 0 || at > ico.size() || ico.size() - at < size) {
      *error = "is not a sound icon file: " + which + " lies outside the file";
      return false;
    }
    PeIconImage image = {ico[e], ico[e + 1], ico[e + 2], PeGet16(ico, e + 4), PeGet16(ico, e + 6),
                         std::vector<uint8_t>(ico.begin() + at, ico.begin() + at + size)};
    static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    bool png = size >= 8 && memcmp(image.data.data(), kPng, 8) == 0;
    bool bitmap = size >= 40 && PeGet32(image.data, 0) == 40;
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
      if (image.bitCount == 0) image.bitCount = PeGet16(image.data, 14);
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
    uint32_t n = PeGet16(r.data, 4);
    for (uint32_t i = 0; i < n && 6 + 14 * (size_t)(i + 1) <= r.data.size(); i++)
      ids.insert(PeGet16(r.data, 6 + 14 * i + 12));
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
  PeAdd16(&dir.data, 0);
  PeAdd16(&dir.data, 1);
  PeAdd16(&dir.data, (uint32_t)icon.size());
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
    PeAdd16(&dir.data, i.planes);
    PeAdd16(&dir.data, i.bitCount);
    PeAdd32(&dir.data, (uint32_t)i.data.size());
    PeAdd16(&dir.data, next);
  }
  all.push_back(dir);
}

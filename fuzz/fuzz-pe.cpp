// Property: any bytes given as a program or an icon are read or refused
// with a reason, never a crash; a program that reads is written back, and
// the written image reads again with the same resources.
// fuzz-sources: builder/pe-image.cpp builder/archive-reader.cpp builder/archive-writer.cpp builder/archive-pack.cpp builder/pack1.cpp builder/pack2.cpp builder/pack3.cpp builder/pack4.cpp builder/pack-x86.cpp builder/fsutil.cpp core/ffs-stream.cpp core/ffs-cmp1.cpp core/ffs-cmp2.cpp core/ffs-cmp3.cpp core/ffs-cmp4.cpp core/ffs-x86.cpp builder/pe-resource-tree.cpp builder/pe-icon.cpp builder/pe-version.cpp builder/codepage.cpp core/ffs-container.cpp core/vantor-core.cpp core/vantor-memory.cpp core/vantor-str.cpp core/utf8.cpp standin/process-standin.cpp
#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "pe-resources.h"

static bool Same(const std::vector<PeResource> &a, const std::vector<PeResource> &b) {
  if (a.size() != b.size()) return false;
  for (const PeResource &r : a) {
    bool found = false;
    for (const PeResource &s : b)
      found |= r.type == s.type && r.name == s.name && r.language == s.language && r.data == s.data;
    if (!found) return false;
  }
  return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size), saved;
  std::string error;
  std::vector<PeIconImage> icon;
  if (!PeParseIcon(bytes, &icon, &error) && error.empty()) abort();
  PeImage image, again;
  if (!image.Load(bytes, &error)) {
    if (error.empty()) abort();
    return 0;
  }
  PeVersionInfo info;
  info.companyName = std::string((const char *)data, size < 40 ? size : 40);
  PeSetVersion(&image, info);
  if (!image.Save(&saved, &error)) return 0;  // no room for the section: refused
  if (!again.Load(saved, &error) || !Same(image.Resources(), again.Resources())) abort();
  return 0;
}

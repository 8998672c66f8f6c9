// Property: mounting any container file, then querying and loading entries
// from it, never crashes, never reads or writes out of bounds, and leaves no
// block allocated after the unmount.
//
// The first input byte chooses the mode; the rest is the container file.
// Mode bit 0 rewrites up to eight directory hashes (and the record heads
// they point at) to the hashes of the names the harness asks for, so the
// search, record and decoder paths are reached without finding CRC-32
// preimages.
// fuzz-sources: core/ffs.cpp core/ffs-stream.cpp core/ffs-container.cpp core/ffs-cmp1.cpp core/ffs-cmp2.cpp core/ffs-cmp3.cpp core/ffs-cmp4.cpp core/ffs-x86.cpp core/vantor-core.cpp core/vantor-memory.cpp core/vantor-str.cpp core/utf8.cpp standin/process-standin.cpp
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ffs.h"
#include "vantor-core.h"

namespace {

const char *const kNames[] = {"E0", "E1", "E2", "E3", "E4", "E5", "E6", "E7"};
const int kNameCount = 8;

uint32_t Le32(const uint8_t *p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

void SetLe32(uint8_t *p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = (uint8_t)(v >> (8 * i));
}

void PointAtNames(std::vector<uint8_t> *file) {
  size_t size = file->size();
  if (size < 16 || memcmp(file->data(), "FFS!", 4) != 0) return;
  std::vector<uint32_t> hashes;
  for (const char *n : kNames) hashes.push_back(Crc32(n, (int)strlen(n)));
  std::sort(hashes.begin(), hashes.end());
  uint32_t count = Le32(file->data() + 4);
  for (uint32_t i = 0; i < count && i < (uint32_t)kNameCount && 16 + 8 * (size_t)i + 8 <= size; i++) {
    uint8_t *entry = file->data() + 16 + 8 * i;
    SetLe32(entry, hashes[i]);
    uint32_t offset = Le32(entry + 4);
    if ((uint64_t)offset + 4 <= size) SetLe32(file->data() + offset, hashes[i]);
  }
}

const std::string &FilePath() {
  static std::string path;
  if (path.empty()) {
#ifdef _WIN32
    const char *dir = getenv("TEMP");
#else
    const char *dir = getenv("TMPDIR");
#endif
    path = std::string(dir && *dir ? dir : "/tmp") + "/fuzz-ffs-" + std::to_string((long)getpid()) + ".bin";
  }
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  std::vector<uint8_t> file(data + 1, data + size);
  if (data[0] & 1) PointAtNames(&file);
  FILE *f = fopen(FilePath().c_str(), "wb");
  if (f == NULL) return 0;
  if (!file.empty()) fwrite(file.data(), 1, file.size(), f);
  fclose(f);

  FfsRemove();
  MemoryCounters before, after;
  MemoryGetCounters(&before);
  if (FfsInit(FilePath().c_str())) {
    for (int i = 0; i < kNameCount; i++) {
      char name[8];
      snprintf(name, sizeof name, "%s", kNames[i]);
      uint32_t entrySize = 0;
      int known = FfsGetSize(name, &entrySize);
      // Sizes up to 1 MiB are loaded as a consumer would; a wrong size too.
      uint32_t want = known ? entrySize : (uint32_t)(data[0] >> 1) * 16;
      if (want == 0 || want > (1u << 20)) continue;
      std::vector<uint8_t> buffer(want + 1);
      snprintf(name, sizeof name, "%s", kNames[i]);
      FfsLoad(name, buffer.data(), want);
      if (known) {
        snprintf(name, sizeof name, "%s", kNames[i]);
        FfsLoad(name, buffer.data(), want + 1);
      }
    }
  }
  FfsRemove();
  MemoryGetCounters(&after);
  if (before.count != after.count || before.bytes != after.bytes) abort();
  return 0;
}

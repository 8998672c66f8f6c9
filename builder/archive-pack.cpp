// Each entry's method: packed with the method asked for, or for auto and
// smallest with the one of least charge, and kept only once it decodes back
// to the content. Programs and libraries for x86 and x64 (and solid blocks
// that hold one) packed with method 3 or 4 are packed both as they are and
// behind the branch-call filter, and the smaller is kept.
#include <errno.h>
#include <string.h>

#include <algorithm>

#include "archive-reader.h"
#include "archive-writer-parts.h"
#include "fsutil.h"
#include "ffs-cmp1.h"
#include "ffs-cmp2.h"
#include "ffs-cmp3.h"
#include "ffs-cmp4.h"
#include "ffs-x86.h"
#include "pack1.h"
#include "pack2.h"
#include "pack3.h"
#include "pack4.h"
#include "pack-x86.h"

namespace {

// The fewest bytes a packed result has.
const uint64_t kPackedMin = 8;

// Packs with one method; the result is kept only when it decodes back to
// the content, so a packer fault can never reach an installer.
bool PackWith(ArchiveMethod method, int level, const uint8_t *content, size_t size, std::vector<uint8_t> *out) {
  out->clear();
  bool packed = method == ARCHIVE_METHOD1   ? Pack1(content, size, out)
                : method == ARCHIVE_METHOD2 ? Pack2(content, size, out)
                : method == ARCHIVE_METHOD3 ? Pack3(content, size, out, level)
                                            : Pack4(content, size, out);
  if (!packed || out->size() < kPackedMin) return false;
  return ArchiveDecodesTo(out->data(), out->size(), method, content, (uint32_t)size);
}

// The same with method 3 or 4 behind the branch-call filter; when filter is
// true and the filtered result is smaller than *out (or *out is empty), it
// takes *out's place.
void PackFilteredWith(ArchiveMethod method, int level, bool filter, const uint8_t *content, size_t size,
                      std::vector<uint8_t> *out) {
  if (!filter || (method != ARCHIVE_METHOD3 && method != ARCHIVE_METHOD4)) return;
  std::vector<uint8_t> filtered, packed;
  PackX86Filter(content, size, &filtered);
  bool done = method == ARCHIVE_METHOD3 ? Pack3(filtered.data(), size, &packed, level)
                                        : Pack4(filtered.data(), size, &packed);
  if (!done || (!out->empty() && packed.size() + FFS_X86_TAG_SIZE >= out->size())) return;
  filtered.assign(FFS_X86_TAG, FFS_X86_TAG + FFS_X86_TAG_SIZE);
  filtered.insert(filtered.end(), packed.begin(), packed.end());
  if (ArchiveDecodesTo(filtered.data(), filtered.size(), method, content, (uint32_t)size)) out->swap(filtered);
}

// Whether content packs smaller behind the branch-call filter, judged by
// method 4 at its quick level on kFilterSamples pieces of kFilterSamplePiece
// bytes spread over it (all of it when that is smaller).
const size_t kFilterSamplePiece = 256u << 10;
const int kFilterSamples = 8;
static bool FilterPaysOnSample(const uint8_t *content, size_t size) {
  std::vector<uint8_t> sample, filtered;
  if (size <= kFilterSamplePiece * kFilterSamples) {
    sample.assign(content, content + size);
  } else {
    for (int i = 0; i < kFilterSamples; i++) {
      size_t at = (size_t)((uint64_t)(size - kFilterSamplePiece) * (uint64_t)i / (kFilterSamples - 1));
      sample.insert(sample.end(), content + at, content + at + kFilterSamplePiece);
    }
  }
  PackX86Filter(sample.data(), sample.size(), &filtered);
  size_t plain = Pack4Estimate(sample.data(), sample.size()), behind = Pack4Estimate(filtered.data(), filtered.size());
  return plain == 0 || (behind != 0 && behind + FFS_X86_TAG_SIZE < plain);
}

// auto's charge for unpacking, per content byte of methods 1, 2 and 3, in
// stored bytes times kShareUnit: a stored byte weighs as much install time as
// unpacking 64 bytes with method 1, 8 with method 2 or 5 with method 3 (the
// decoders' relative speeds on programs and text). smallest charges nothing.
const uint64_t kShareUnit = 320;
const uint64_t kUnpackShare[3] = {5, 40, 64};
const uint64_t kNoShare[3] = {0, 0, 0};

// Where sample i of content of size bytes begins.
uint64_t SampleAt(uint64_t size, int i) { return (size - kArchiveSamplePiece) * (uint64_t)i / (kArchiveSamples - 1); }

}  // namespace

bool ArchiveHasPackedSignature(const uint8_t *content, size_t size) {
  return size >= 4 && (memcmp(content, CMP1_SIGNATURE, 4) == 0 || memcmp(content, CMP2_SIGNATURE, 4) == 0 ||
                       memcmp(content, CMP3_SIGNATURE, 4) == 0 || memcmp(content, CMP4_SIGNATURE, 4) == 0 ||
                       memcmp(content, FFS_X86_TAG, 4) == 0 || memcmp(content, FFS_MEMBER_TAG, 4) == 0);
}

bool ArchiveSamplesPack(uint64_t size, const std::function<bool(uint64_t, uint8_t *, size_t)> &read,
                        bool *readable) {
  *readable = true;
  std::vector<uint8_t> piece(kArchiveSamplePiece), packed;
  uint64_t sampled = 0, left = 0;
  for (int i = 0; i < kArchiveSamples; i++) {
    if (!read(SampleAt(size, i), piece.data(), piece.size())) {
      *readable = false;
      return false;
    }
    bool done = Pack3Available() ? Pack3(piece.data(), piece.size(), &packed, 0)
                                 : Pack1(piece.data(), piece.size(), &packed);
    sampled += piece.size();
    left += done ? std::min<uint64_t>(packed.size(), piece.size()) : piece.size();
  }
  return left * 32 <= sampled * 31;
}

bool ArchiveCheckEntry(const std::string &name, uint64_t size, std::string *error) {
  if (name.empty()) {
    *error = "an entry needs a name";
    return false;
  }
  if (size == 0) {
    *error = "'" + name + "' is empty; the installer treats an empty entry as absent";
    return false;
  }
  if (size > FFS_ENTRY_MAX) {
    *error = "'" + name + "' is larger than the installer loads (" + std::to_string(FFS_ENTRY_MAX) + " bytes)";
    return false;
  }
  return true;
}

bool ArchivePackEntry(const std::string &name, const uint8_t *content, size_t size, ArchiveMethod method, int level,
                      ArchiveEntry *entry, std::string *error, std::vector<uint8_t> *own, ArchiveFilter filter) {
  if (!ArchiveCheckEntry(name, size, error)) return false;
  entry->name = name;
  entry->hash = ArchiveHashName(name);
  entry->contentSize = (uint32_t)size;
  entry->method = ARCHIVE_AUTO;  // until a method is chosen
  bool code = filter == ARCHIVE_FILTER_TRY || (filter == ARCHIVE_FILTER_DETECT && PackX86IsCode(content, size));
  // Raw data that begins like a packed entry would be misread: pack it.
  bool rawAllowed = !ArchiveHasPackedSignature(content, size);
  bool readable, fast = method == ARCHIVE_FAST;
  if (fast) method = Pack4Available() ? ARCHIVE_METHOD4 : ARCHIVE_AUTO;
  if ((fast || method == ARCHIVE_AUTO || method == ARCHIVE_SMALLEST) && rawAllowed && size >= kArchiveSampleMin &&
      !ArchiveSamplesPack(size, [&](uint64_t at, uint8_t *buffer, size_t n) {
        memcpy(buffer, content + at, n);
        return true;
      }, &readable))
    method = ARCHIVE_RAW;
  if (method == ARCHIVE_RAW && !rawAllowed) method = ARCHIVE_AUTO;
  if (method == ARCHIVE_METHOD1 || method == ARCHIVE_METHOD2 || method == ARCHIVE_METHOD3 ||
      method == ARCHIVE_METHOD4) {
    if (fast && code && method == ARCHIVE_METHOD4) {
      // Quick: a sample packed both ways at a quick level chooses whether
      // the branch-call filter goes in front, and only that form is packed.
      if (FilterPaysOnSample(content, size)) PackFilteredWith(method, level, true, content, size, &entry->data);
      if (entry->data.empty() && !PackWith(method, level, content, size, &entry->data)) entry->data.clear();
    } else {
      if (!PackWith(method, level, content, size, &entry->data)) entry->data.clear();
      PackFilteredWith(method, level, code, content, size, &entry->data);
    }
    if (fast && rawAllowed && (entry->data.empty() || entry->data.size() >= size)) {
      entry->data.clear();
      method = ARCHIVE_RAW;  // stored as it is below
    } else if (entry->data.empty()) {
      *error = "'" + name + "' cannot be packed with method " + ArchiveMethodName(method);
      return false;
    } else {
      entry->method = method;
    }
  } else if (method == ARCHIVE_AUTO || method == ARCHIVE_SMALLEST) {
    // The lowest charge wins: stored bytes, plus for auto the unpacking
    // time, as content bytes times a share per method (kUnpackShare).
    // Ties go to raw, then to the lower method. Raw is a charge to beat
    // until the end, so no copy of the content is held meanwhile. A method
    // whose unpacking share alone reaches the best charge cannot win and is
    // not tried.
    const uint64_t *share = method == ARCHIVE_AUTO ? kUnpackShare : kNoShare;
    uint64_t best = rawAllowed ? (uint64_t)size * kShareUnit : UINT64_MAX;
    for (ArchiveMethod m : {ARCHIVE_METHOD1, ARCHIVE_METHOD2, ARCHIVE_METHOD3}) {
      if (m == ARCHIVE_METHOD3 && !Pack3Available()) continue;
      uint64_t unpack = (uint64_t)size * share[m - ARCHIVE_METHOD1];
      if (unpack + kPackedMin * kShareUnit >= best) continue;
      std::vector<uint8_t> packed;
      if (!PackWith(m, level, content, size, &packed)) packed.clear();
      PackFilteredWith(m, level, code, content, size, &packed);
      if (!packed.empty() && packed.size() * kShareUnit + unpack < best) {
        entry->data.swap(packed);
        entry->method = m;
        best = entry->data.size() * kShareUnit + unpack;
      }
    }
    if (entry->method == ARCHIVE_AUTO && !rawAllowed) {
      *error = "'" + name + "' begins with a packed signature and must be packed, but no packer could pack it";
      return false;
    }
  }
  if (entry->method == ARCHIVE_AUTO || method == ARCHIVE_RAW) {
    if (own != nullptr) entry->data.swap(*own);
    else entry->data.assign(content, content + size);
    entry->method = ARCHIVE_RAW;
  }
  entry->filtered = entry->method != ARCHIVE_RAW && memcmp(entry->data.data(), FFS_X86_TAG, 4) == 0;
  return true;
}


uint64_t ArchivePackFileMemory(uint64_t size, ArchiveMethod method, int level) {
  // The encoder, its pieces, and the check's window and pieces.
  bool four = method == ARCHIVE_FAST || method == ARCHIVE_METHOD4;
  return (four ? PACK4_MEMORY + CMP4_MAX_WINDOW : Pack3FileMemory(size, level) + PACK3_FILE_DICTIONARY) + (8u << 20);
}

namespace {

// Packs size bytes of in (from its start) with method 3 or 4 into a new
// temporary file, behind the branch-call filter's tag when tag is true;
// checks the result against check (the content) and returns the file with
// *length, or NULL.
FILE *PackFilePass(FILE *in, uint64_t size, ArchiveMethod m, int level, bool tag, FILE *check, uint64_t *length) {
  FILE *out = tmpfile();
  uint64_t n = 0;
  bool ok = out != NULL && FsSeek(in, 0) &&
            (!tag || fwrite(FFS_X86_TAG, 1, FFS_X86_TAG_SIZE, out) == FFS_X86_TAG_SIZE) &&
            (m == ARCHIVE_METHOD4 ? Pack4File(in, size, out, &n) : Pack3File(in, size, out, level, &n));
  *length = n + (tag ? FFS_X86_TAG_SIZE : 0);
  if (ok && n >= kPackedMin && ArchiveFileDecodesTo(out, *length, m, check, (uint32_t)size)) return out;
  if (out != NULL) fclose(out);
  return NULL;
}

// size bytes of in, from its start, behind the branch-call filter in a new
// temporary file (converted in pieces as PackX86Filter converts the whole);
// NULL when a read or write fails.
FILE *FilterFile(FILE *in, uint64_t size) {
  FILE *out = tmpfile();
  if (out == NULL || !FsSeek(in, 0)) {
    if (out != NULL) fclose(out);
    return NULL;
  }
  FfsX86 filter;
  FfsX86Start(&filter);
  std::vector<uint8_t> piece((1u << 20) + 8);
  size_t carried = 0;  // bytes the last conversion left undecided, at the piece's start
  bool ok = true;
  for (uint64_t left = size; ok && (left > 0 || carried > 0);) {
    size_t n = (size_t)std::min<uint64_t>(left, 1u << 20);
    ok = fread(piece.data() + carried, 1, n, in) == n;
    left -= n;
    n += carried;
    size_t decided = left == 0 || n < 5 ? n : 0;
    if (n >= 5) {
      decided = FfsX86Convert(&filter, piece.data(), (uint32_t)n, 1);
      if (left == 0) decided = n;  // the tail stays as it is
    }
    ok = ok && fwrite(piece.data(), 1, decided, out) == decided;
    carried = n - decided;
    memmove(piece.data(), piece.data() + decided, carried);
  }
  if (ok && fflush(out) == 0) return out;
  fclose(out);
  return NULL;
}

}  // namespace

int ArchivePackFile(const std::string &name, const std::string &path, uint64_t size, ArchiveMethod method, int level,
                    bool filter, ArchiveEntry *entry, std::string *error) {
  bool four = method == ARCHIVE_FAST || method == ARCHIVE_METHOD4;
  if (four ? !Pack4Available() : !Pack3Available()) return 0;
  if (!ArchiveCheckEntry(name, size, error)) return -1;
  FILE *in = fopen(path.c_str(), "rb");
  std::vector<uint8_t> first((size_t)std::min<uint64_t>(size, 0x10000));
  if (in == NULL || fread(first.data(), 1, first.size(), in) != first.size()) {
    *error = in == NULL ? strerror(errno) : "read error";
    if (in != NULL) fclose(in);
    return -1;
  }
  bool rawAllowed = !ArchiveHasPackedSignature(first.data(), first.size());
  ArchiveMethod m = four ? ARCHIVE_METHOD4 : ARCHIVE_METHOD3;
  uint64_t length = 0;
  FILE *out = PackFilePass(in, size, m, level, false, in, &length);
  // A program or library is also packed behind the branch-call filter, the
  // smaller kept.
  FILE *filtered = filter && PackX86IsCode(first.data(), first.size()) ? FilterFile(in, size) : NULL;
  bool tagged = false;
  if (filtered != NULL) {
    uint64_t n;
    FILE *packed = PackFilePass(filtered, size, m, level, true, in, &n);
    fclose(filtered);
    if (packed != NULL && (out == NULL || n < length)) {
      if (out != NULL) fclose(out);
      out = packed;
      length = n;
      tagged = true;
    } else if (packed != NULL) {
      fclose(packed);
    }
  }
  fclose(in);
  // Raw wins as in ArchivePackEntry: fast and smallest when the result is
  // no smaller, auto by its charge.
  uint64_t share = method == ARCHIVE_AUTO ? kUnpackShare[2] : 0;
  if (out != NULL && rawAllowed && method != ARCHIVE_METHOD3 && method != ARCHIVE_METHOD4 &&
      length * kShareUnit + size * share >= size * kShareUnit) {
    fclose(out);
    out = NULL;
  }
  entry->name = name;
  entry->hash = ArchiveHashName(name);
  entry->contentSize = (uint32_t)size;
  entry->filtered = tagged;
  if (out != NULL) {
    entry->method = m;
    entry->packed = out;
    entry->packedLength = (uint32_t)length;
    return 1;
  }
  if (!rawAllowed || method == ARCHIVE_METHOD3 || method == ARCHIVE_METHOD4) {
    *error = rawAllowed ? "'" + name + "' cannot be packed with method " + ArchiveMethodName(m)
                        : "'" + name + "' begins with a packed signature and must be packed, but no packer could pack it";
    return -1;
  }
  entry->method = ARCHIVE_RAW;
  entry->source = path;
  return 1;
}

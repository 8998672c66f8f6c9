#include "archive-writer.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

#include "archive-reader.h"
#include "ffs-cmp1.h"
#include "ffs-cmp2.h"
#include "ffs-cmp3.h"
#include "ffs-container.h"
#include "fsutil.h"
#include "pack1.h"
#include "pack2.h"
#include "pack3.h"
#include "pe-resources.h"
#include "vantor-core.h"

namespace {

// The installer measures its own file with 32-bit signed offsets on Win32,
// so a container must stay below 2 GiB.
const uint64_t kMaxContainer = 0x7FFFFFFFu;
const char kTooLarge[] = "the archive would reach 2 GiB, more than the installer can read";

// The fewest bytes a packed result has.
const uint64_t kPackedMin = 8;

void PutLe32(std::vector<uint8_t> *out, uint32_t v) {
  for (int i = 0; i < 4; i++) out->push_back((uint8_t)(v >> (8 * i)));
}

// Content that begins like a packed entry or a solid member.
bool HasPackedSignature(const uint8_t *content, size_t size) {
  return size >= 4 && (memcmp(content, CMP1_SIGNATURE, 4) == 0 || memcmp(content, CMP2_SIGNATURE, 4) == 0 ||
                       memcmp(content, CMP3_SIGNATURE, 4) == 0 || memcmp(content, FFS_MEMBER_TAG, 4) == 0);
}

std::string Hex(uint32_t v) {
  char text[16];
  snprintf(text, sizeof text, "0x%08X", (unsigned)v);
  return text;
}

// Packs with one method; the result is kept only when it decodes back to
// the content, so a packer fault can never reach an installer.
bool PackWith(ArchiveMethod method, int level, const uint8_t *content, size_t size, std::vector<uint8_t> *out) {
  out->clear();
  bool packed = method == ARCHIVE_METHOD1   ? Pack1(content, size, out)
                : method == ARCHIVE_METHOD2 ? Pack2(content, size, out)
                                            : Pack3(content, size, out, level);
  if (!packed || out->size() < kPackedMin) return false;
  return ArchiveDecodesTo(out->data(), out->size(), method, content, (uint32_t)size);
}

// One record to lay out: hash and stored bytes (data, or when data is NULL
// the length bytes at spoolAt of the writer's spool).
struct Stored {
  uint32_t hash;
  const uint8_t *data;
  uint32_t length;
  uint64_t spoolAt;
};

// What follows the records: nothing (a standalone archive), the trailer,
// or, in an installer, room for the integrity record and the trailer.
enum Tail { TAIL_NONE, TAIL_TRAILER, TAIL_SEALED };

// Where each record goes, and how the archive ends.
struct Layout {
  std::vector<uint32_t> offsets;
  uint32_t flags;
  uint64_t padding;
  uint64_t end;  // absolute end of the container
};

// Header, directory, records in the given (ascending hash) order, padding so
// the last record's data has FFS_PEEK_SIZE bytes behind it (and, sealed, so
// the container's size is a multiple of FFS_INSTALLER_ALIGN), then the tail.
bool Plan(const std::vector<Stored> &records, uint32_t flags, uint32_t base, Tail tailKind, Layout *layout,
          std::string *error) {
  if (records.empty()) {
    *error = "an archive needs at least one entry";
    return false;
  }
  uint64_t n = records.size();
  uint64_t offset = (uint64_t)base + FFS_HEADER_SIZE + n * FFS_DIR_ENTRY_SIZE;
  uint64_t lastData = 0;
  layout->offsets.clear();
  layout->offsets.reserve(records.size());
  for (const Stored &r : records) {
    layout->offsets.push_back((uint32_t)offset);
    lastData = offset + FFS_RECORD_HEAD_SIZE;
    offset += FFS_RECORD_HEAD_SIZE + (uint64_t)r.length;
    if (offset > kMaxContainer) break;
  }
  uint64_t tail = tailKind == TAIL_NONE ? 0 : FFS_TRAILER_SIZE;
  if (tailKind == TAIL_SEALED) {
    tail += FFS_INTEGRITY_SIZE;
    flags |= FFS_FLAG_INTEGRITY;
  }
  uint64_t padding = lastData + FFS_PEEK_SIZE > offset + tail ? lastData + FFS_PEEK_SIZE - offset - tail : 0;
  if (tailKind == TAIL_SEALED)
    padding += (FFS_INSTALLER_ALIGN - (offset + padding + tail) % FFS_INSTALLER_ALIGN) % FFS_INSTALLER_ALIGN;
  layout->flags = flags;
  layout->padding = padding;
  layout->end = offset + padding + tail;
  if (offset > kMaxContainer || layout->end > kMaxContainer) {
    *error = kTooLarge;
    return false;
  }
  return true;
}

// Where laid-out bytes go, in order; false when they cannot.
typedef std::function<bool(const uint8_t *, size_t)> Put;

// Bytes are copied from the spool and zeros given in pieces of this size.
const size_t kPiece = 1 << 20;

// Gives the archive planned for base to put, reading spooled records from
// spool; false (*error) when put or the spool fails.
bool Emit(const std::vector<Stored> &records, const Layout &layout, uint32_t base, Tail tailKind, FILE *spool,
          const Put &put, std::string *error) {
  std::vector<uint8_t> head(FFS_TAG, FFS_TAG + 4);
  PutLe32(&head, (uint32_t)records.size());
  PutLe32(&head, ~(uint32_t)records.size());
  PutLe32(&head, layout.flags);
  for (size_t i = 0; i < records.size(); i++) {
    PutLe32(&head, records[i].hash);
    PutLe32(&head, layout.offsets[i]);
  }
  bool ok = put(head.data(), head.size());
  std::vector<uint8_t> piece;
  for (const Stored &r : records) {
    head.clear();
    PutLe32(&head, r.hash);
    PutLe32(&head, r.length);
    ok = ok && put(head.data(), head.size());
    if (r.data != NULL) {
      ok = ok && put(r.data, r.length);
      continue;
    }
    bool read = ok && spool != NULL && FsSeek(spool, r.spoolAt);
    for (uint32_t done = 0; read && ok && done < r.length; done += (uint32_t)piece.size()) {
      piece.resize(std::min<size_t>(kPiece, r.length - done));
      read = fread(piece.data(), 1, piece.size(), spool) == piece.size();
      ok = read && put(piece.data(), piece.size());
    }
    if (ok && !read) {
      *error = "the spooled entries cannot be read back";
      return false;
    }
  }
  uint64_t zeros = layout.padding + (tailKind == TAIL_SEALED ? FFS_INTEGRITY_SIZE : 0);  // Seal fills in the record
  piece.assign(std::min<uint64_t>(kPiece, std::max<uint64_t>(zeros, 1)), 0);
  for (uint64_t left = zeros; ok && left > 0; left -= std::min<uint64_t>(left, piece.size()))
    ok = put(piece.data(), (size_t)std::min<uint64_t>(left, piece.size()));
  if (tailKind != TAIL_NONE) {
    head.clear();
    PutLe32(&head, base);
    ok = ok && put(head.data(), head.size());
  }
  if (!ok && error->empty()) *error = "write error (disk full?)";
  return ok;
}

// Plan and Emit, appended to what out holds (the stub, in an installer:
// one copy of the records is made, not two).
bool LayOut(const std::vector<Stored> &records, uint32_t flags, uint32_t base, Tail tailKind, FILE *spool,
            std::vector<uint8_t> *out, std::string *error) {
  Layout layout;
  if (!Plan(records, flags, base, tailKind, &layout, error)) return false;
  out->reserve(out->size() + (size_t)(layout.end - base));
  return Emit(records, layout, base, tailKind, spool, [&](const uint8_t *p, size_t n) {
    out->insert(out->end(), p, p + n);
    return true;
  }, error);
}

std::vector<Stored> StoredOf(const std::vector<ArchiveEntry> &entries) {
  std::vector<Stored> records;
  records.reserve(entries.size());
  for (const ArchiveEntry &e : entries) {
    if (e.spooled) records.push_back({e.hash, NULL, e.spooledLength, e.spoolAt});
    else records.push_back({e.hash, e.data.data(), (uint32_t)e.data.size(), 0});
  }
  return records;
}

// Fills in the integrity record that LayOut left room for before the trailer.
void Seal(std::vector<uint8_t> *installer) {
  FfsContainer container;
  FfsContainerRead(ArchiveReadAt, installer, (uint32_t)installer->size(), &container);
  uint32_t at = (uint32_t)installer->size() - FFS_TRAILER_SIZE - FFS_INTEGRITY_SIZE;
  uint32_t crc = FfsIntegrityUpdate(0, &container, 0, installer->data(), at);
  FfsIntegrityMake(at, crc, installer->data() + at);
}

// The same for an installer in a file of size bytes, read in pieces.
bool SealFile(FILE *file, uint32_t size) {
  FfsContainer container;
  FfsContainerRead(FsReadAt, file, size, &container);
  uint32_t at = size - FFS_TRAILER_SIZE - FFS_INTEGRITY_SIZE;
  std::vector<uint8_t> piece(kPiece);
  uint32_t crc = 0;
  for (uint32_t done = 0; done < at;) {
    uint32_t n = (uint32_t)std::min<size_t>(kPiece, at - done);
    if (!FsReadAt(file, done, piece.data(), n)) return false;
    crc = FfsIntegrityUpdate(crc, &container, done, piece.data(), n);
    done += n;
  }
  uint8_t record[FFS_INTEGRITY_SIZE];
  FfsIntegrityMake(at, crc, record);
  return FsSeek(file, at) && fwrite(record, 1, sizeof record, file) == sizeof record;
}

}  // namespace

bool ArchiveParseMethod(const char *text, ArchiveMethod *method) {
  static const struct {
    const char *name;
    ArchiveMethod method;
  } names[] = {{"auto", ARCHIVE_AUTO}, {"smallest", ARCHIVE_SMALLEST}, {"raw", ARCHIVE_RAW}, {"1", ARCHIVE_METHOD1}, {"2", ARCHIVE_METHOD2}, {"3", ARCHIVE_METHOD3}};
  for (const auto &n : names)
    if (strcmp(text, n.name) == 0) {
      *method = n.method;
      return true;
    }
  return false;
}

const char *ArchiveMethodName(ArchiveMethod method) {
  switch (method) {
    case ARCHIVE_RAW: return "raw";
    case ARCHIVE_METHOD1: return "1";
    case ARCHIVE_METHOD2: return "2";
    case ARCHIVE_METHOD3: return "3";
    case ARCHIVE_MEMBER: return "solid";
    case ARCHIVE_SMALLEST: return "smallest";
    default: return "auto";
  }
}

std::string ArchiveSolidName(size_t n) { return "<solid " + std::to_string(n) + ">"; }

uint32_t ArchiveHashName(const std::string &name) {
  std::string upper = name;
  for (char &c : upper)
    if (c >= 'a' && c <= 'z') c = (char)(c - 32);
  return upper.empty() ? 0 : Crc32(upper.data(), (int)upper.size());
}

bool ArchiveWriter::Add(const std::string &name, const std::vector<uint8_t> &content, ArchiveMethod method,
                        std::string *error) {
  return Add(name, content.data(), content.size(), method, error);
}

// auto's charge for unpacking, per content byte of methods 1, 2 and 3, in
// stored bytes times kShareUnit: a stored byte weighs as much install time as
// unpacking 64 bytes with method 1, 8 with method 2 or 5 with method 3 (the
// decoders' relative speeds on programs and text). smallest charges nothing.
static const uint64_t kShareUnit = 320;
static const uint64_t kUnpackShare[3] = {5, 40, 64};
static const uint64_t kNoShare[3] = {0, 0, 0};

// Packs content as an entry named name (everything Add does but the check
// against the entries already added). Touches nothing shared, so that
// entries can be packed side by side. own, when given, holds the content's
// bytes and is taken for a raw entry instead of a copy of them.
static bool PackEntry(const std::string &name, const uint8_t *content, size_t size, ArchiveMethod method, int level,
                      ArchiveEntry *entry, std::string *error, std::vector<uint8_t> *own = nullptr) {
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
  entry->name = name;
  entry->hash = ArchiveHashName(name);
  entry->contentSize = (uint32_t)size;
  entry->method = ARCHIVE_AUTO;  // until a method is chosen
  // Raw data that begins like a packed entry would be misread: pack it.
  bool rawAllowed = !HasPackedSignature(content, size);
  if (method == ARCHIVE_RAW && !rawAllowed) method = ARCHIVE_AUTO;
  if (method == ARCHIVE_METHOD1 || method == ARCHIVE_METHOD2 || method == ARCHIVE_METHOD3) {
    if (!PackWith(method, level, content, size, &entry->data)) {
      *error = "'" + name + "' cannot be packed with method " + ArchiveMethodName(method);
      return false;
    }
    entry->method = method;
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
      if (PackWith(m, level, content, size, &packed) && packed.size() * kShareUnit + unpack < best) {
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
  return true;
}

bool ArchiveWriter::Place(const std::string &name, uint32_t hash, size_t *at, std::string *error) const {
  auto it = std::lower_bound(entries_.begin(), entries_.end(), hash,
                             [](const ArchiveEntry &e, uint32_t h) { return e.hash < h; });
  if (it != entries_.end() && it->hash == hash) {
    *error = "'" + name + "' and '" + it->name + "' have the same hash " + Hex(hash) +
             " (names differing only in letter case are the same entry)";
    return false;
  }
  *at = (size_t)(it - entries_.begin());
  return true;
}

bool ArchiveWriter::Insert(ArchiveEntry &&entry, std::string *error) {
  size_t at;
  if (!Place(entry.name, entry.hash, &at, error)) return false;
  if (spool_ != NULL) {
    // The archive could never hold more; say so now rather than at the end.
    if (spoolEnd_ + entry.data.size() > kMaxContainer) {
      *error = kTooLarge;
      return false;
    }
    if (!FsSeek(spool_, spoolEnd_) || fwrite(entry.data.data(), 1, entry.data.size(), spool_) != entry.data.size()) {
      *error = "the packed entries cannot be spooled: write error (disk full?)";
      return false;
    }
    entry.spooled = true;
    entry.spoolAt = spoolEnd_;
    entry.spooledLength = (uint32_t)entry.data.size();
    spoolEnd_ += entry.data.size();
    std::vector<uint8_t>().swap(entry.data);
  }
  entries_.insert(entries_.begin() + at, std::move(entry));
  return true;
}

bool ArchiveWriter::Add(const std::string &name, const uint8_t *content, size_t size, ArchiveMethod method,
                        std::string *error) {
  // A name that another entry has fails before any packing.
  size_t at;
  if (!name.empty() && !Place(name, ArchiveHashName(name), &at, error)) return false;
  ArchiveEntry entry;
  return PackEntry(name, content, size, method, level_, &entry, error) && Insert(std::move(entry), error);
}

// Solid groups of AddAll's inputs: which group each input joined (-1: none),
// where its content lies in the group's block, and each block's input.
struct SolidPlan {
  std::vector<int> group;
  std::vector<uint32_t> offset, size;
  std::vector<ArchiveInput> blocks;
};

// Reads the inputs that may join a group, in their order, and gathers them;
// false (*error, *failed) for one that cannot be read.
static bool PlanSolid(const std::vector<ArchiveInput> &inputs, SolidPlan *plan, std::string *error, size_t *failed) {
  size_t count = inputs.size();
  plan->group.assign(count, -1);
  plan->offset.assign(count, 0);
  plan->size.assign(count, 0);
  std::vector<std::vector<size_t>> members;
  std::vector<uint8_t> read;
  for (size_t i = 0; i < count; i++) {
    const ArchiveInput &in = inputs[i];
    uint64_t size = in.content.size();
    if (in.method == ARCHIVE_RAW || (!in.path.empty() && !FsFileSize(in.path, &size))) continue;
    if (size == 0 || size >= ARCHIVE_SOLID_MEMBER_MAX) continue;
    const std::vector<uint8_t> *content = &in.content;
    if (!in.path.empty()) {
      if (!FsReadFile(in.path, &read, error)) {
        *failed = i;
        return false;
      }
      content = &read;
      if (content->empty() || content->size() >= ARCHIVE_SOLID_MEMBER_MAX) continue;  // changed meanwhile
    }
    if (plan->blocks.empty() || plan->blocks.back().content.size() + content->size() > FFS_SOLID_MAX) {
      plan->blocks.emplace_back();
      plan->blocks.back().name = ArchiveSolidName(plan->blocks.size());
      plan->blocks.back().method = in.method;
      plan->blocks.back().level = in.level;
      members.emplace_back();
    }
    ArchiveInput &block = plan->blocks.back();
    plan->group[i] = (int)plan->blocks.size() - 1;
    plan->offset[i] = (uint32_t)block.content.size();
    plan->size[i] = (uint32_t)content->size();
    block.content.insert(block.content.end(), content->begin(), content->end());
    members.back().push_back(i);
  }
  // A group of one gains nothing: its input is packed alone.
  std::vector<int> renumbered(plan->blocks.size(), -1);
  std::vector<ArchiveInput> kept;
  for (size_t g = 0; g < plan->blocks.size(); g++) {
    if (members[g].size() < 2) continue;
    renumbered[g] = (int)kept.size();
    kept.push_back(std::move(plan->blocks[g]));
    kept.back().name = ArchiveSolidName(kept.size());
  }
  for (size_t i = 0; i < count; i++)
    if (plan->group[i] >= 0) plan->group[i] = renumbered[plan->group[i]];
  plan->blocks.swap(kept);
  return true;
}

// The entry of a member: its 16-byte reference to the block.
static ArchiveEntry MemberEntry(const std::string &name, uint32_t block, uint32_t offset, uint32_t size) {
  ArchiveEntry entry;
  entry.name = name;
  entry.hash = ArchiveHashName(name);
  entry.method = ARCHIVE_MEMBER;
  entry.contentSize = size;
  entry.data.assign(FFS_MEMBER_TAG, FFS_MEMBER_TAG + 4);
  PutLe32(&entry.data, block);
  PutLe32(&entry.data, offset);
  PutLe32(&entry.data, size);
  return entry;
}

bool ArchiveWriter::AddAll(const std::vector<ArchiveInput> &inputs, unsigned threads, std::string *error,
                           size_t *failed, const std::function<void(size_t)> &done) {
  size_t count = inputs.size();
  SolidPlan plan;
  if (!solid_) {
    plan.group.assign(count, -1);
  } else if (!PlanSolid(inputs, &plan, error, failed)) {
    return false;
  }
  // Units of work: input i (i < count) or block b (count + b). A member is
  // no work of its own; its block is packed where its first member stands.
  std::vector<size_t> order;
  std::vector<size_t> seen(plan.blocks.size(), 0);
  for (size_t i = 0; i < count; i++) {
    int g = plan.group[i];
    if (g < 0) {
      order.push_back(i);
    } else if (seen[g]++ == 0) {
      order.push_back(count + g);
    }
  }
  size_t units = count + plan.blocks.size();
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  threads = (unsigned)std::min<size_t>(threads, std::max<size_t>(order.size(), 1));
  std::vector<ArchiveEntry> packed(units);
  std::vector<std::string> errors(units);
  std::vector<char> state(units, 0);  // 0 packing, 1 packed, 2 failed
  std::atomic<size_t> next(0);
  std::mutex lock;
  std::condition_variable ready, room;
  // A unit is started only when fewer than `ahead` units before it wait to
  // be taken, so that a slow one does not let packed entries pile up.
  size_t taken = 0, ahead = 2 * (size_t)threads;
  bool stopped = false;
  auto stop = [&]() {
    next = order.size();  // nothing more is started
    std::lock_guard<std::mutex> hold(lock);
    stopped = true;
    room.notify_all();
  };
  auto work = [&]() {
    for (size_t k; (k = next++) < order.size();) {
      {
        std::unique_lock<std::mutex> hold(lock);
        room.wait(hold, [&] { return k < taken + ahead || stopped; });
        if (stopped) break;
      }
      size_t u = order[k];
      const ArchiveInput &in = u < count ? inputs[u] : plan.blocks[u - count];
      std::vector<uint8_t> read;
      const std::vector<uint8_t> *content = &in.content;
      bool good = true;
      try {  // memory running out in a thread fails its entry (it would end the program)
        if (!in.path.empty()) {
          good = FsReadFile(in.path, &read, &errors[u]);
          content = &read;
        }
        good = good && PackEntry(in.name, content->data(), content->size(), in.method, in.level, &packed[u],
                                 &errors[u], content == &read ? &read : nullptr);
      } catch (const std::bad_alloc &) {
        errors[u] = "out of memory";
        good = false;
      }
      std::lock_guard<std::mutex> hold(lock);
      state[u] = good ? 1 : 2;
      ready.notify_all();
    }
  };
  Crc32("", 1);  // its tables are made once, before the threads share them
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; t++) workers.emplace_back(work);
  // Entries go in in their order, each as soon as it is packed; a block
  // before its first member.
  auto take = [&](size_t u, size_t at) {
    {
      std::unique_lock<std::mutex> hold(lock);
      ready.wait(hold, [&] { return state[u] != 0; });
    }
    if (state[u] == 1 && Insert(std::move(packed[u]), &errors[u])) {
      std::lock_guard<std::mutex> hold(lock);
      taken++;
      room.notify_all();
      return true;
    }
    *error = errors[u];
    *failed = at;
    return false;
  };
  std::vector<bool> blockIn(plan.blocks.size(), false);
  bool ok = true;
  for (size_t i = 0; i < count && ok; i++) {
    int g = plan.group[i];
    try {  // the workers are stopped and joined before anything leaves
      if (g < 0) {
        ok = take(i, i);
      } else {
        if (!blockIn[g]) ok = blockIn[g] = take(count + g, i);
        if (ok) {
          ok = Insert(MemberEntry(inputs[i].name, ArchiveHashName(plan.blocks[g].name), plan.offset[i], plan.size[i]),
                      error);
          if (!ok) *failed = i;
        }
      }
    } catch (const std::bad_alloc &) {
      *error = "out of memory";
      *failed = i;
      ok = false;
    }
    if (ok && done) done(i + 1);
  }
  if (!ok) stop();
  for (std::thread &t : workers) t.join();
  return ok;
}

uint32_t ArchiveWriter::Flags() const {
  uint32_t flags = turbo_ ? FFS_TURBO : 0;
  for (const ArchiveEntry &e : entries_) {
    if (e.method == ARCHIVE_METHOD1) flags |= FFS_FLAG_METHOD1;
    if (e.method == ARCHIVE_METHOD2) flags |= FFS_FLAG_METHOD2;
    if (e.method == ARCHIVE_METHOD3) flags |= FFS_FLAG_METHOD3;
    if (e.method == ARCHIVE_MEMBER) flags |= FFS_FLAG_SOLID;
  }
  return flags;
}

bool ArchiveWriter::Write(uint32_t base, bool trailer, std::vector<uint8_t> *out, std::string *error) const {
  out->clear();
  return LayOut(StoredOf(entries_), Flags(), base, trailer ? TAIL_TRAILER : TAIL_NONE, spool_, out, error);
}

bool ArchiveCheckStub(const std::vector<uint8_t> &stub, std::string *error) {
  if (stub.size() >= 4 && memcmp(stub.data(), FFS_TAG, 4) == 0) {
    *error = "the executable begins with \"FFS!\"; it looks like an archive, not a program";
    return false;
  }
  ArchiveImage image;
  std::string ignored;
  if (ArchiveParse(stub, &image, &ignored)) {
    *error = "the executable already carries an archive; use the bare stub";
    return false;
  }
  if (stub.size() >= kMaxContainer) {
    *error = "the executable is 2 GiB or larger";
    return false;
  }
  return true;
}

bool ArchiveWriteInstaller(const std::vector<uint8_t> &stub, const ArchiveWriter &writer, std::vector<uint8_t> *out,
                           std::string *error) {
  if (!ArchiveCheckStub(stub, error)) return false;
  *out = stub;
  if (!LayOut(StoredOf(writer.Entries()), writer.Flags(), (uint32_t)stub.size(), TAIL_SEALED, writer.Spool(), out,
              error)) {
    out->clear();
    return false;
  }
  Seal(out);
  return true;
}

// The container of head (a stub, or nothing) and the entries of writer laid
// out behind it with tailKind, written to path piece by piece; sealed, and
// with the PE checksum brought up to date when checksum is true.
static bool WriteContainerFile(const std::vector<uint8_t> &head, const ArchiveWriter &writer, Tail tailKind,
                               const std::string &path, bool checksum, uint64_t *size, std::string *error) {
  std::vector<Stored> records = StoredOf(writer.Entries());
  Layout layout;
  if (!Plan(records, writer.Flags(), (uint32_t)head.size(), tailKind, &layout, error)) return false;
  FsPartFile part;
  if (!part.Open(path, error)) return false;
  FILE *f = part.file;
  bool ok = (head.empty() || fwrite(head.data(), 1, head.size(), f) == head.size()) &&
            Emit(records, layout, (uint32_t)head.size(), tailKind, writer.Spool(),
                 [&](const uint8_t *p, size_t n) { return fwrite(p, 1, n, f) == n; }, error);
  if (!ok) return part.Finish(false, error);
  *size = layout.end;
  ok = fflush(f) == 0;
  if (tailKind == TAIL_SEALED) ok = ok && SealFile(f, (uint32_t)layout.end) && fflush(f) == 0;
  if (checksum) ok = ok && PeUpdateChecksumFile(f, (uint32_t)layout.end);
  return part.Finish(ok, error);
}

bool ArchiveWriter::WriteFile(const std::string &path, std::string *error) const {
  uint64_t size;
  return WriteContainerFile(std::vector<uint8_t>(), *this, TAIL_NONE, path, false, &size, error);
}

bool ArchiveWriteInstallerFile(const std::vector<uint8_t> &stub, const ArchiveWriter &writer, const std::string &path,
                               bool checksum, uint64_t *size, std::string *error) {
  return ArchiveCheckStub(stub, error) && WriteContainerFile(stub, writer, TAIL_SEALED, path, checksum, size, error);
}

bool ArchiveAppendToStub(const std::vector<uint8_t> &stub, const std::vector<uint8_t> &archive,
                         std::vector<uint8_t> *out, std::string *error) {
  if (!ArchiveCheckStub(stub, error)) return false;
  ArchiveImage image;
  if (!ArchiveParse(archive, &image, error)) return false;
  if (image.start != 0) {
    *error = "is an installer, not a standalone archive";
    return false;
  }
  if (!image.problem.empty()) {
    *error = image.problem;
    return false;
  }
  std::vector<Stored> records;
  for (const ArchiveRecord &r : image.records) {
    if (!r.problem.empty()) {
      char hash[16];
      snprintf(hash, sizeof hash, "%08X", (unsigned)r.hash);
      *error = std::string("entry ") + hash + ": " + r.problem;
      return false;
    }
    records.push_back({r.hash, archive.data() + r.offset + FFS_RECORD_HEAD_SIZE, r.length, 0});
  }
  *out = stub;
  if (!LayOut(records, image.flags, (uint32_t)stub.size(), TAIL_SEALED, NULL, out, error)) {
    out->clear();
    return false;
  }
  Seal(out);
  return true;
}

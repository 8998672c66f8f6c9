// Solid groups of small files, and the packing of entries side by side on
// several threads while they are added in their order.
#include <stdio.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

#include "archive-writer-parts.h"
#include "fsutil.h"
#include "pack-x86.h"
#include "vantor-core.h"

// Solid groups of AddAll's inputs: which group each input joined (-1: none),
// where its content lies in the group's block, each block's input (its
// content gathered only when it is packed, GatherBlock) and its members.
struct SolidPlan {
  std::vector<int> group;
  std::vector<uint32_t> offset, size;
  std::vector<ArchiveInput> blocks;
  std::vector<std::vector<size_t>> members;
};

// Gathers the inputs that may join a group, in their order, by their sizes
// (the files are read when their block is packed).
static void PlanSolid(const std::vector<ArchiveInput> &inputs, SolidPlan *plan) {
  size_t count = inputs.size();
  plan->group.assign(count, -1);
  plan->offset.assign(count, 0);
  plan->size.assign(count, 0);
  std::vector<uint64_t> blockSize, sizes(count, 0);
  // Blocks of method 4 (fast): as many as FFS_SOLID_MAX needs, each filled
  // to about an equal share, so that they pack side by side in about the
  // same time (its window is far below a block: nothing is lost). The
  // others fill each block, for their dictionaries reach across it.
  uint64_t total = 0;
  for (size_t i = 0; i < count; i++) {
    const ArchiveInput &in = inputs[i];
    uint64_t size = in.content.size();
    if (in.method == ARCHIVE_RAW || (!in.path.empty() && !FsFileSize(in.path, &size))) continue;
    if (size == 0 || size >= ARCHIVE_SOLID_MEMBER_MAX) continue;
    sizes[i] = size;
    total += size;
  }
  uint64_t blocks = (total + FFS_SOLID_MAX - 1) / FFS_SOLID_MAX, share = blocks > 0 ? (total + blocks - 1) / blocks : 0;
  for (size_t i = 0; i < count; i++) {
    const ArchiveInput &in = inputs[i];
    uint64_t size = sizes[i];
    if (size == 0) continue;
    bool quick = in.method == ARCHIVE_FAST || in.method == ARCHIVE_METHOD4;
    if (plan->blocks.empty() || blockSize.back() + size > FFS_SOLID_MAX || (quick && blockSize.back() >= share)) {
      plan->blocks.emplace_back();
      plan->blocks.back().method = in.method;
      plan->blocks.back().level = in.level;
      plan->members.emplace_back();
      blockSize.push_back(0);
    }
    plan->group[i] = (int)plan->blocks.size() - 1;
    plan->offset[i] = (uint32_t)blockSize.back();
    plan->size[i] = (uint32_t)size;
    blockSize.back() += size;
    plan->members.back().push_back(i);
  }
  // A group of one gains nothing: its input is packed alone.
  std::vector<int> renumbered(plan->blocks.size(), -1);
  std::vector<ArchiveInput> kept;
  std::vector<std::vector<size_t>> keptMembers;
  for (size_t g = 0; g < plan->blocks.size(); g++) {
    if (plan->members[g].size() < 2) continue;
    renumbered[g] = (int)kept.size();
    kept.push_back(std::move(plan->blocks[g]));
    kept.back().name = ArchiveSolidName(kept.size());
    keptMembers.push_back(std::move(plan->members[g]));
  }
  for (size_t i = 0; i < count; i++)
    if (plan->group[i] >= 0) plan->group[i] = renumbered[plan->group[i]];
  plan->blocks.swap(kept);
  plan->members.swap(keptMembers);
}

// The content of block g: its members' contents one after the other, each
// of the size planned; *code tells whether one is an x86 or x64 program or
// library. false (*error) for a member that cannot be read or has changed.
static bool GatherBlock(const std::vector<ArchiveInput> &inputs, const SolidPlan &plan, size_t g,
                        std::vector<uint8_t> *block, bool *code, std::string *error) {
  *code = false;
  uint64_t total = 0;
  for (size_t i : plan.members[g]) total += plan.size[i];
  block->reserve((size_t)total);
  std::vector<uint8_t> read;
  for (size_t i : plan.members[g]) {
    const ArchiveInput &in = inputs[i];
    if (!in.path.empty() && !FsReadFile(in.path, &read, error)) {
      *error = "'" + in.name + "': " + *error;
      return false;
    }
    const std::vector<uint8_t> &content = in.path.empty() ? in.content : read;
    if (content.size() != plan.size[i]) {
      *error = "'" + in.name + "' changed while the installer was being built";
      return false;
    }
    if (PackX86IsCode(content.data(), content.size())) *code = true;
    block->insert(block->end(), content.begin(), content.end());
  }
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
  ArchivePutLe32(&entry.data, block);
  ArchivePutLe32(&entry.data, offset);
  ArchivePutLe32(&entry.data, size);
  return entry;
}

// An input of a file to be stored raw that is large enough not to be
// loaded (AddAll): 1 when *entry now names the file, 0 when it is to be
// read and packed as usual, -1 when it fails (*error).
static int LinkRaw(const ArchiveInput &in, ArchiveEntry *entry, std::string *error) {
  uint64_t size;
  if (in.path.empty() || (in.method != ARCHIVE_AUTO && in.method != ARCHIVE_SMALLEST && in.method != ARCHIVE_FAST &&
                          in.method != ARCHIVE_RAW) ||
      !FsFileSize(in.path, &size) || size < kArchiveSampleMin)
    return 0;
  if (!ArchiveCheckEntry(in.name, size, error)) return -1;
  FILE *f = fopen(in.path.c_str(), "rb");
  if (f == NULL) return 0;  // reading it says why
  uint8_t first[4];
  bool readable = fread(first, 1, sizeof first, f) == sizeof first;
  bool raw = readable && !ArchiveHasPackedSignature(first, sizeof first);
  if (raw && in.method != ARCHIVE_RAW)
    raw = !ArchiveSamplesPack(size, [&](uint64_t at, uint8_t *buffer, size_t n) {
      return FsSeek(f, at) && fread(buffer, 1, n, f) == n;
    }, &readable);
  fclose(f);
  if (!readable || !raw) return 0;
  entry->name = in.name;
  entry->hash = ArchiveHashName(in.name);
  entry->method = ARCHIVE_RAW;
  entry->contentSize = (uint32_t)size;
  entry->source = in.path;
  return 1;
}

// About how much memory packing a unit of size content bytes with method
// takes: the content, a result and a candidate, the check that decodes it,
// and method 3's encoder.
static uint64_t PackingWeight(uint64_t size, ArchiveMethod method, int level) {
  bool three = method == ARCHIVE_AUTO || method == ARCHIVE_SMALLEST || method == ARCHIVE_METHOD3;
  bool four = method == ARCHIVE_FAST || method == ARCHIVE_METHOD4;
  // Method 4's tables are cut to the content's size, about 16 bytes a byte.
  return 4 * size + (three ? Pack3Memory((size_t)std::min<uint64_t>(size, 0x7FFFFFFFu), level) : 0) +
         (four ? std::min<uint64_t>(PACK4_MEMORY, 16 * size + (2u << 20)) : 0);
}

// Whether input in (of size bytes) is packed in pieces (ArchivePackFile).
static bool PackedInPieces(const ArchiveInput &in, uint64_t size) {
  return !in.path.empty() && size >= ARCHIVE_PIECES_MIN &&
         (in.method == ARCHIVE_FAST || in.method == ARCHIVE_AUTO || in.method == ARCHIVE_SMALLEST ||
          in.method == ARCHIVE_METHOD3 || in.method == ARCHIVE_METHOD4);
}

// Units are packed side by side only while their weights stay within this.
static const uint64_t kPackingBudget = 448u << 20;

bool ArchiveWriter::AddAll(const std::vector<ArchiveInput> &inputs, unsigned threads, std::string *error,
                           size_t *failed, const std::function<void(size_t)> &done) {
  size_t count = inputs.size();
  SolidPlan plan;
  if (!solid_) plan.group.assign(count, -1);
  else PlanSolid(inputs, &plan);
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
  // Weight of the units being packed (PackingWeight): one that would take
  // it past kPackingBudget waits until it is packed alone.
  uint64_t packing = 0;
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
      uint64_t weight = 0;
      try {  // memory running out in a thread fails its entry (it would end the program)
        int linked = u < count ? LinkRaw(in, &packed[u], &errors[u]) : 0;
        good = linked > 0;
        if (linked == 0) {
          uint64_t size = in.content.size();
          if (!in.path.empty() && !FsFileSize(in.path, &size)) size = 0;
          if (u >= count)
            for (size_t i : plan.members[u - count]) size += plan.size[i];
          bool pieces = u < count && PackedInPieces(in, size);
          uint64_t w = pieces ? ArchivePackFileMemory(size, in.method, in.level)
                              : PackingWeight(size, in.method, in.level);
          {
            std::unique_lock<std::mutex> hold(lock);
            room.wait(hold, [&] { return packing == 0 || packing + w <= kPackingBudget || stopped; });
            packing += weight = w;
            good = !stopped;
          }
          bool code = false;
          if (good && pieces) linked = ArchivePackFile(in.name, in.path, size, in.method, in.level, filter_, &packed[u], &errors[u]);
          if (linked != 0) {
            good = linked > 0;
          } else {
            if (good && u >= count) {
              good = GatherBlock(inputs, plan, u - count, &read, &code, &errors[u]);
              content = &read;
            } else if (good && !in.path.empty()) {
              good = FsReadFile(in.path, &read, &errors[u]);
              content = &read;
            }
            ArchiveFilter filter = !filter_ ? ARCHIVE_FILTER_OFF
                                   : u < count ? ARCHIVE_FILTER_DETECT
                                   : code      ? ARCHIVE_FILTER_TRY
                                               : ARCHIVE_FILTER_OFF;
            good = good && ArchivePackEntry(in.name, content->data(), content->size(), in.method, in.level,
                                            &packed[u], &errors[u], content == &read ? &read : nullptr, filter);
          }
        }
      } catch (const std::bad_alloc &) {
        errors[u] = "out of memory";
        good = false;
      }
      std::lock_guard<std::mutex> hold(lock);
      state[u] = good ? 1 : 2;
      packing -= weight;
      room.notify_all();
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
  for (ArchiveEntry &e : packed)  // packed in pieces but never added
    if (e.packed != NULL) fclose(e.packed);
  return ok;
}


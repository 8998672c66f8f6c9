// Payload benchmark: what a whole product folder costs as an archive (the
// FFS header, directory and record heads included) under each way of
// storing its files, as a share of the payload:
//   per file, the smallest of raw, method 1 and method 2 (auto before method 3)
//   per file, the smallest of raw and methods 1 to 3 (auto now)
//   per file, method 3 alone
//   solid, every file in one method-3 stream (files ordered by extension)
//   solid groups: the files below a size limit in one method-3 stream, the
//   others per file, smallest of raw and methods 1 to 3
// and the processor time method 3 takes to decode each form. Every stream is
// decoded and compared. Usage: payload-bench [--no-methods12] DIR
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ffs-cmp1.h"
#include "ffs-cmp2.h"
#include "ffs-cmp3.h"
#include "ffs.h"
#include "fsutil.h"
#include "pack1.h"
#include "pack2.h"
#include "pack3.h"

namespace {

double Now() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

struct File {
  std::string name;
  std::vector<uint8_t> data;
  size_t best12 = 0, packed3 = 0;
  std::vector<uint8_t> stream3;
};

std::string Extension(const std::string &name) {
  size_t dot = name.find_last_of('.');
  size_t slash = name.find_last_of('\\');
  return dot == std::string::npos || (slash != std::string::npos && dot < slash) ? "" : name.substr(dot);
}

// Bytes of an archive with n records holding stored bytes in all.
double Archive(size_t n, size_t stored) {
  return FFS_HEADER_SIZE + n * (FFS_DIR_ENTRY_SIZE + FFS_RECORD_HEAD_SIZE) + stored + FFS_TRAILER_SIZE;
}

// Packs the files (in the given order) as one method-3 stream; returns its
// size and adds the decode time to *seconds.
size_t Solid(const std::vector<const File *> &files, double *seconds, bool *ok) {
  std::vector<uint8_t> all, packed;
  for (const File *f : files) all.insert(all.end(), f->data.begin(), f->data.end());
  if (all.empty()) return 0;
  if (!Pack3(all.data(), all.size(), &packed)) {
    *ok = false;
    return 0;
  }
  std::vector<uint8_t> back(all.size());
  double t0 = Now();
  *ok = *ok && Cmp3Decompress(packed.data(), (int)packed.size(), back.data(), (int)back.size()) == 1 && back == all;
  *seconds += Now() - t0;
  return packed.size();
}

}  // namespace

int main(int argc, char **argv) {
  bool methods12 = true;
  int at = 1;
  if (at < argc && strcmp(argv[at], "--no-methods12") == 0) {
    methods12 = false;
    at++;
  }
  if (at + 1 != argc || !Pack3Available()) {
    fprintf(stderr, "usage: payload-bench [--no-methods12] DIR (needs the method-3 encoder)\n");
    return 2;
  }
  std::vector<std::string> names;
  std::string error;
  if (!FsListTree(argv[at], &names, &error)) {
    fprintf(stderr, "%s: %s\n", argv[at], error.c_str());
    return 1;
  }
  Cmp2Init();
  std::vector<File> files(names.size());
  size_t total = 0;
  double decode3 = 0;
  bool ok = true;
  for (size_t i = 0; i < names.size(); i++) {
    File &f = files[i];
    f.name = names[i];
    std::string path;
    FsNameToPath(argv[at], f.name, &path);
    if (!FsReadFile(path, &f.data, &error) || f.data.empty()) continue;
    total += f.data.size();
    std::vector<uint8_t> packed, back(f.data.size());
    f.best12 = f.data.size();
    if (methods12) {
      if (Pack1(f.data.data(), f.data.size(), &packed)) f.best12 = std::min(f.best12, packed.size());
      if (Pack2(f.data.data(), f.data.size(), &packed)) f.best12 = std::min(f.best12, packed.size());
    }
    Pack3(f.data.data(), f.data.size(), &packed);
    f.packed3 = packed.size();
    double t0 = Now();
    ok = ok && Cmp3Decompress(packed.data(), (int)packed.size(), back.data(), (int)back.size()) == 1 &&
         back == f.data;
    decode3 += Now() - t0;
    fprintf(stderr, "\r%zu/%zu", i + 1, names.size());
  }
  fprintf(stderr, "\r%20s\r", "");
  size_t n = files.size();
  size_t sum12 = 0, sumAll = 0, sum3 = 0;
  for (const File &f : files) {
    sum12 += f.best12;
    sum3 += f.packed3;
    sumAll += std::min(f.best12, f.packed3);
  }
  printf("payload: %zu files, %zu bytes\n", n, total);
  printf("%-52s %12s %8s %10s\n", "form", "archive", "share", "m3 dec s");
  auto row = [&](const char *what, double bytes, double seconds) {
    printf("%-52s %12.0f %7.2f%% %10s\n", what, bytes, 100.0 * bytes / total,
           seconds < 0 ? "" : std::to_string(seconds).substr(0, 6).c_str());
  };
  if (methods12) row("per file, smallest of raw, 1, 2", Archive(n, sum12), -1);
  row(methods12 ? "per file, smallest of raw, 1, 2, 3" : "per file, smallest of raw, 3", Archive(n, sumAll), -1);
  row("per file, method 3", Archive(n, sum3), decode3);

  std::vector<const File *> order;
  for (const File &f : files) order.push_back(&f);
  std::stable_sort(order.begin(), order.end(),
                   [](const File *a, const File *b) { return Extension(a->name) < Extension(b->name); });
  double seconds = 0;
  size_t solid = Solid(order, &seconds, &ok);
  row("solid, one method-3 stream, ordered by extension", Archive(1, solid), seconds);
  for (size_t limit : {64u << 10, 256u << 10, 1u << 20}) {
    std::vector<const File *> small;
    size_t rest = 0, records = 1;
    for (const File *f : order) {
      if (f->data.size() < limit) {
        small.push_back(f);
      } else {
        rest += std::min(f->best12, f->packed3);
        records++;
      }
    }
    seconds = 0;
    size_t group = Solid(small, &seconds, &ok);
    char what[96];
    snprintf(what, sizeof what, "files below %zu KiB solid (%zu), the rest per file", limit >> 10, small.size());
    row(what, Archive(records, group + rest), seconds);
  }
  if (!ok) printf("MISMATCH: a method-3 stream did not decode to its input\n");
  Cmp2Remove();
  return ok ? 0 : 1;
}

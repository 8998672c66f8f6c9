// Codec benchmark: for each input file, packed size as a share of the input
// and pack and decode speed (MB/s of unpacked data, 1 MB = 10^6 bytes) of
// method 1, method 2 (near-optimal and greedy parse), method 3 (levels 9
// and 6, where the builder has its encoder), and zlib level 9 as the
// yardstick; method 2 is also decoded by the plain bit-at-a-time reference
// decoder for comparison. Every decode is checked against the input.
// Usage: codec-bench [-r repeats] file...
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "cmp2-reference.h"
#include "ffs-cmp1.h"
#include "ffs-cmp2.h"
#include "ffs-cmp3.h"
#include "pack1.h"
#include "pack2.h"
#include "pack3.h"
#include "vantor-core.h"

namespace {

// Processor time of this process: on a machine shared with builds, time
// slices given to others do not count against the codecs.
double Now() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

std::vector<uint8_t> ReadFile(const char *path) {
  std::vector<uint8_t> data;
  FILE *f = fopen(path, "rb");
  if (f == NULL) return data;
  uint8_t buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) data.insert(data.end(), buffer, buffer + n);
  fclose(f);
  return data;
}

// Best of repeats runs, in seconds.
template <class F>
double Time(int repeats, F f) {
  double best = 1e30;
  for (int i = 0; i < repeats; i++) {
    double t0 = Now();
    f();
    double t = Now() - t0;
    if (t < best) best = t;
  }
  return best;
}

struct Row {
  const char *name;
  size_t packed;
  double packSeconds, decodeSeconds;
  bool ok;
};

void Print(const char *file, size_t size, const Row &r) {
  printf("%-14s %-16s %6.2f%% %9.1f %9.1f  %s\n", file, r.name, 100.0 * r.packed / size, size / r.packSeconds / 1e6,
         size / r.decodeSeconds / 1e6, r.ok ? "" : "MISMATCH");
}

}  // namespace

int main(int argc, char **argv) {
  int repeats = 3, first = 1;
  if (argc > 2 && strcmp(argv[1], "-r") == 0) {
    repeats = atoi(argv[2]);
    first = 3;
  }
  if (first >= argc) {
    fprintf(stderr, "usage: codec-bench [-r repeats] file...\n");
    return 2;
  }
  Cmp2Init();
  printf("%-14s %-16s %7s %9s %9s\n", "input", "codec", "size", "pack MB/s", "dec MB/s");
  for (int a = first; a < argc; a++) {
    std::vector<uint8_t> data = ReadFile(argv[a]);
    if (data.empty()) {
      fprintf(stderr, "cannot read %s\n", argv[a]);
      return 1;
    }
    std::string base = argv[a];
    base = base.substr(base.find_last_of('/') + 1);
    const char *name = base.c_str();
    size_t size = data.size();
    std::vector<uint8_t> packed, output(size);
    bool ok = false;

    Row m1{"method 1", 0, 0, 0, true};
    m1.packSeconds = Time(1, [&] { Pack1(data.data(), size, &packed); });
    m1.packed = packed.size();
    m1.decodeSeconds = Time(repeats, [&] { ok = Cmp1Decompress(packed.data(), (int)packed.size(), output.data(), (int)size); });
    m1.ok = ok && output == data;
    Print(name, size, m1);

    auto method2 = [&](const char *label, Pack2Parse parse) {
      Row r{label, 0, 0, 0, true};
      r.packSeconds = Time(1, [&] { Pack2(data.data(), size, &packed, parse); });
      r.packed = packed.size();
      r.decodeSeconds = Time(repeats, [&] { ok = Cmp2Decompress(packed.data(), (int)packed.size(), output.data(), (int)size); });
      r.ok = ok && output == data;
      Print(name, size, r);
      return r;
    };
    Row greedy = method2("method 2 greedy", PACK2_GREEDY);
    Row m2 = method2("method 2", PACK2_BEST);

    Row ref{"method 2 ref.dec", m2.packed, m2.packSeconds, 0, true};
    ref.decodeSeconds = Time(1, [&] { ok = Cmp2ReferenceDecompress(packed.data(), (int)packed.size(), output.data(), (int)size); });
    ref.ok = ok && output == data;
    Print(name, size, ref);

    Row z{"zlib -9", 0, 0, 0, true};
    uLongf zsize = compressBound(size);
    std::vector<uint8_t> zbuf(zsize);
    z.packSeconds = Time(1, [&] { zsize = compressBound(size); compress2(zbuf.data(), &zsize, data.data(), size, 9); });
    z.packed = zsize;
    z.decodeSeconds = Time(repeats, [&] {
      uLongf n = size;
      ok = uncompress(output.data(), &n, zbuf.data(), zsize) == Z_OK && n == size;
    });
    z.ok = ok && output == data;
    Print(name, size, z);

    size_t best = std::min(std::min(m1.packed, m2.packed), size);
    printf("%-14s %-16s %6.2f%%   (smallest of raw, method 1, method 2); method 2 vs greedy: %+.2f%%\n", name, "auto", 100.0 * best / size,
           100.0 * ((double)m2.packed - (double)greedy.packed) / greedy.packed);

    if (Pack3Available()) {
      size_t m3best = size;
      for (int level : {PACK3_DEFAULT_LEVEL, 6}) {
        char label[32];
        snprintf(label, sizeof label, "method 3 -%d", level);
        Row r{label, 0, 0, 0, true};
        r.packSeconds = Time(1, [&] { Pack3(data.data(), size, &packed, level); });
        r.packed = packed.size();
        r.decodeSeconds = Time(repeats, [&] { ok = Cmp3Decompress(packed.data(), (int)packed.size(), output.data(), (int)size); });
        r.ok = ok && output == data;
        Print(name, size, r);
        m3best = std::min(m3best, r.packed);
      }
      printf("%-14s %-16s %6.2f%%   (smallest of raw and methods 1 to 3); method 3 vs zlib -9: %+.2f%%\n", name, "auto",
             100.0 * std::min(best, m3best) / size, 100.0 * ((double)m3best - (double)z.packed) / z.packed);
    }
  }
  Cmp2Remove();
  return 0;
}

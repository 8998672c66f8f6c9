// The installer's start-up check on one installer: the mount and the
// integrity check as install.exe runs them before its script, timed over
// several runs (wall clock); prints the fastest and the median in
// milliseconds. Built for both targets, so it runs under Wine as the
// installer does. Usage: ffs-check-bench INSTALLER [runs]
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "ffs.h"
#include "vantor-core.h"

int main(int argc, char **argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: ffs-check-bench INSTALLER [runs]\n");
    return 2;
  }
  int runs = argc > 2 ? atoi(argv[2]) : 7;
  if (runs < 1) runs = 1;
  std::vector<double> ms;
  for (int i = 0; i < runs; i++) {
    auto start = std::chrono::steady_clock::now();
    int ok = FfsInit(argv[1]) && FfsCheckIntegrity();
    auto end = std::chrono::steady_clock::now();
    FfsRemove();
    if (!ok) {
      fprintf(stderr, "%s: the check fails (run with a sound installer)\n", argv[1]);
      return 1;
    }
    ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  std::sort(ms.begin(), ms.end());
  printf("check: fastest %.1f ms, median %.1f ms over %d runs\n", ms.front(), ms[ms.size() / 2], runs);
  return 0;
}

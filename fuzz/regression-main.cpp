// Replays fuzz inputs through a target's LLVMFuzzerTestOneInput from a plain
// main, so a corpus or a crash file can be re-run without libFuzzer, natively
// or as a Win32 program under Wine. Arguments: files or directories (every
// regular file inside, not recursing). Exit code 0 when there were inputs
// and all ran.
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static bool RunFile(const std::string &path) {
  FILE *f = fopen(path.c_str(), "rb");
  if (f == NULL) {
    fprintf(stderr, "cannot open %s\n", path.c_str());
    return false;
  }
  std::vector<uint8_t> data;
  uint8_t buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) data.insert(data.end(), buffer, buffer + n);
  fclose(f);
  LLVMFuzzerTestOneInput(data.empty() ? buffer : data.data(), data.size());
  return true;
}

int main(int argc, char **argv) {
  int files = 0, failed = 0;
  for (int i = 1; i < argc; i++) {
    struct stat st;
    if (stat(argv[i], &st) != 0) {
      fprintf(stderr, "cannot open %s\n", argv[i]);
      failed++;
      continue;
    }
    if (!S_ISDIR(st.st_mode)) {
      failed += !RunFile(argv[i]);
      files++;
      continue;
    }
    DIR *dir = opendir(argv[i]);
    if (dir == NULL) continue;
    std::vector<std::string> names;
    while (dirent *e = readdir(dir)) names.push_back(e->d_name);
    closedir(dir);
    for (const std::string &name : names) {
      std::string path = std::string(argv[i]) + "/" + name;
      if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        failed += !RunFile(path);
        files++;
      }
    }
  }
  fprintf(stderr, "replayed %d inputs, %d unreadable\n", files, failed);
  return failed == 0 && files > 0 ? 0 : 1;
}

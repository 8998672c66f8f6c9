#include "fsutil.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include <unistd.h>
#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

// The C library's file calls, with the path in UTF-8 as every path of the
// builder is (on Windows through the wide-character forms: the narrow ones
// read the ANSI code page).
#ifdef _WIN32
std::wstring Wide(const std::string &path) {
  int n = MultiByteToWideChar(CP_UTF8, 0, path.data(), (int)path.size(), NULL, 0);
  std::wstring out((size_t)(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, path.data(), (int)path.size(), &out[0], n);
  return out;
}
FILE *OpenFile(const std::string &path, const char *mode) {
  return _wfopen(Wide(path).c_str(), std::wstring(mode, mode + strlen(mode)).c_str());
}
int RemoveFile(const std::string &path) { return _wremove(Wide(path).c_str()); }
int RenameFile(const std::string &from, const std::string &to) { return _wrename(Wide(from).c_str(), Wide(to).c_str()); }
#else
FILE *OpenFile(const std::string &path, const char *mode) { return fopen(path.c_str(), mode); }
int RemoveFile(const std::string &path) { return remove(path.c_str()); }
int RenameFile(const std::string &from, const std::string &to) { return rename(from.c_str(), to.c_str()); }
#endif

}  // namespace

bool FsIsDirectory(const std::string &path) {
  std::error_code ec;
  return fs::is_directory(fs::u8path(path), ec);
}

bool FsReadFile(const std::string &path, std::vector<uint8_t> *data, std::string *error) {
  data->clear();
  if (FsIsDirectory(path)) {
    *error = "is a directory";
    return false;
  }
  FILE *f = OpenFile(path, "rb");
  if (f == NULL) {
    *error = strerror(errno);
    return false;
  }
  // Room for the whole file at once: growing by doubling would hold up to
  // three times a large file for a moment.
  uint64_t expected = 0;
  if (FsFileSize(path, &expected) && expected < SIZE_MAX / 2) data->reserve((size_t)expected);
  uint8_t buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) data->insert(data->end(), buffer, buffer + n);
  bool bad = ferror(f) != 0;
  fclose(f);
  if (bad) {
    *error = "read error";
    return false;
  }
  return true;
}

bool FsMakeParents(const std::string &path, std::string *error) {
  fs::path parent = fs::u8path(path).parent_path();
  if (parent.empty()) return true;
  std::error_code ec;
  fs::create_directories(parent, ec);
  if (ec) {
    *error = "cannot create directory '" + parent.u8string() + "': " + ec.message();
    return false;
  }
  return true;
}

bool FsWriteFile(const std::string &path, const std::vector<uint8_t> &data, std::string *error) {
  FsPartFile part;
  if (!part.Open(path, error)) return false;
  bool ok = data.empty() || fwrite(data.data(), 1, data.size(), part.file) == data.size();
  return part.Finish(ok, error);
}

bool FsPartFile::Open(const std::string &target, std::string *error) {
  path = target;
  file = OpenFile(path + ".part", "w+b");
  if (file == NULL) *error = strerror(errno);
  return file != NULL;
}

bool FsPartFile::Finish(bool ok, std::string *error) {
  std::string temporary = path + ".part";
  if (fclose(file) != 0) ok = false;
  file = NULL;
  if (!ok) {
    RemoveFile(temporary);
    *error = "write error (disk full?)";
    return false;
  }
  // Windows will not rename over an existing file.
  if (RenameFile(temporary, path) != 0) {
    RemoveFile(path);
    if (RenameFile(temporary, path) != 0) {
      *error = strerror(errno);
      RemoveFile(temporary);
      return false;
    }
  }
  return true;
}

FsPartFile::~FsPartFile() {
  if (file == NULL) return;
  fclose(file);
  RemoveFile(path + ".part");
}

bool FsSeek(FILE *file, uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, (__int64)offset, SEEK_SET) == 0;
#else
  return fseeko(file, (off_t)offset, SEEK_SET) == 0;
#endif
}

int FsReadAt(void *file, uint32_t offset, void *buffer, uint32_t n) {
  return FsSeek((FILE *)file, offset) && fread(buffer, 1, n, (FILE *)file) == n;
}

namespace {

// The walk of FsListTree below the real path of the root: what a link
// names is followed only when its real path lies below the root, and a
// folder only when it is not one of the folders the walk is in (a loop).
struct TreeWalk {
  fs::path root;  // the real path of the root
  std::vector<std::string> *names;
  std::vector<std::string> *skipped;
  std::string *error;
  std::vector<fs::path> chain;  // real paths of the directories being walked
  size_t throughLinks = 0;      // files reached through a linked directory
  bool linked = false;          // the directory walked is reached through a link

  bool Inside(const fs::path &real) const {
    fs::path relative = real.lexically_relative(root);
    return !relative.empty() && *relative.begin() != "..";
  }

  bool Add(const std::string &name) {
    names->push_back(name);
    if (linked && ++throughLinks > FS_LINKED_FILES_MAX) {
      *error = "its links lead to more than " + std::to_string(FS_LINKED_FILES_MAX) +
               " files (links to the same folders again and again?)";
      return false;
    }
    return true;
  }

  bool Walk(const fs::path &dir, const std::string &prefix) {
    std::error_code ec;
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(*it);
    if (ec) {
      *error = (prefix.empty() ? std::string("") : "'" + prefix + "': ") + ec.message();
      return false;
    }
    for (const fs::directory_entry &entry : entries) {
      std::string name = (prefix.empty() ? "" : prefix + "\\") + entry.path().filename().u8string();
      fs::path real = chain.back() / entry.path().filename();
      bool link = entry.is_symlink(ec);
      if (link) {
        std::error_code ignored;
        std::string to = fs::read_symlink(entry.path(), ignored).u8string();
        real = fs::canonical(entry.path(), ec);
        if (ec) {
          skipped->push_back("'" + name + "' is a link to '" + to + "', which cannot be followed (" + ec.message() +
                             "); skipped");
          continue;
        }
        if (!Inside(real)) {
          skipped->push_back("'" + name + "' is a link to '" + to + "', outside the folder; skipped");
          continue;
        }
      }
      if (fs::is_directory(real, ec)) {
        if (std::find(chain.begin(), chain.end(), real) != chain.end()) {
          skipped->push_back("'" + name + "' is a link to a folder it lies in; skipped");
          continue;
        }
        bool wasLinked = linked;
        linked = linked || link;
        chain.push_back(real);
        bool ok = Walk(entry.path(), name);
        chain.pop_back();
        linked = wasLinked;
        if (!ok) return false;
      } else if (fs::is_regular_file(real, ec)) {
        if (!Add(name)) return false;
      } else {
        *error = "'" + name + "' is neither a file nor a directory";
        return false;
      }
    }
    return true;
  }
};

}  // namespace

bool FsListTree(const std::string &root, std::vector<std::string> *names, std::string *error,
                std::vector<std::string> *skipped) {
  names->clear();
  std::vector<std::string> dropped;
  std::error_code ec;
  fs::path base = fs::u8path(root), real = fs::canonical(base, ec);
  if (ec) {
    *error = ec.message();
    return false;
  }
  TreeWalk walk = {real, names, skipped ? skipped : &dropped, error, {real}};
  if (!walk.Walk(base, "")) return false;
  std::sort(names->begin(), names->end());
  if (skipped) std::sort(skipped->begin(), skipped->end());
  return true;
}

bool FsNameToPath(const std::string &root, const std::string &name, std::string *path) {
  if (name.empty() || name[0] == '\\' || name[0] == '/' || name.find(':') != std::string::npos) return false;
  std::string host = root.empty() ? std::string(".") : root;
  size_t start = 0;
  while (start <= name.size()) {
    size_t stop = name.find_first_of("\\/", start);
    if (stop == std::string::npos) stop = name.size();
    std::string part = name.substr(start, stop - start);
    if (part.empty() || part == "." || part == "..") return false;
    host += '/';
    host += part;
    start = stop + 1;
  }
  *path = host;
  return true;
}

bool FsFileSize(const std::string &path, uint64_t *size) {
  std::error_code ec;
  uintmax_t n = fs::file_size(fs::u8path(path), ec);
  if (ec) return false;
  *size = (uint64_t)n;
  return true;
}

std::string FsProgramDirectory() {
#ifdef _WIN32
  wchar_t path[4096] = {0};
  DWORD n = GetModuleFileNameW(NULL, path, sizeof path / sizeof path[0] - 1);
  if (n == 0 || n >= sizeof path / sizeof path[0] - 1) return "";
  std::string self = fs::path(path).u8string();
#else
  char path[4096] = {0};
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "";
  path[n] = 0;
  std::string self = path;
#endif
  size_t cut = self.find_last_of("/\\");
  return cut == std::string::npos ? "" : self.substr(0, cut + 1);
}

bool FsIsTerminal(FILE *stream) { return isatty(fileno(stream)) != 0; }

// The target machine for the native build: Windows paths mapped onto host
// folders, staged free-space figures, repaint requests counted
// (target-standin.h).
#include <dirent.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>

#include <pthread.h>
#include <semaphore.h>

#include "target-standin.h"
#include "target-sys.h"

#define DRIVES 26
#define GIB (1024ull * 1024ull * 1024ull)

struct Drive {
  bool mapped;
  std::string folder;
  uint64_t available, total, totalFree;
};

static Drive drives[DRIVES];
static uint32_t kernelError;
static int noFreeSpaceEx;
static int shortWrite = -1;
static int64_t diskRoom = -1;  // bytes the drives still take; -1: no limit
static int failClose = -1;      // closes of written files that pass before one fails
static std::mutex writtenLock;  // files are written on the queue's thread
static std::set<void *> written;  // files open for writing
static std::string createdDirs, queriedRoots;
static std::string busyFiles;  // "\n" + each path + "\t" + its holder + "\n"
static std::string restartMoves;  // from + "\t" + to + "\n" for each asked
static int failRestart;
static int unflushedMoves;  // files moved into a journal's folder before their line was on the disk
static std::atomic<int> openFiles;  // created on one thread, closed on another
static int kernelsLoaded, invalidations, noThread;
static void *lastInvalidated;
static int kernelToken, entryToken;

static int DriveIndex(char letter) {
  if (letter >= 'a' && letter <= 'z') return letter - 'a';
  if (letter >= 'A' && letter <= 'Z') return letter - 'A';
  return -1;
}

void TargetStandInReset(void) {
  for (Drive &d : drives) d = Drive();
  kernelError = 0;
  noFreeSpaceEx = 0;
  shortWrite = -1;
  diskRoom = -1;
  failClose = -1;
  createdDirs.clear();
  busyFiles.clear();
  restartMoves.clear();
  failRestart = unflushedMoves = 0;
  queriedRoots.clear();
  openFiles = kernelsLoaded = invalidations = noThread = 0;
  lastInvalidated = NULL;
}

void TargetStandInMapDrive(char letter, const char *hostFolder) {
  int i = DriveIndex(letter);
  if (i < 0) return;
  drives[i].mapped = hostFolder != NULL;
  drives[i].folder = hostFolder ? hostFolder : "";
  drives[i].available = drives[i].total = drives[i].totalFree = GIB;
}

void TargetStandInSetFreeSpace(char letter, uint64_t available, uint64_t total, uint64_t totalFree) {
  int i = DriveIndex(letter);
  if (i < 0) return;
  drives[i].available = available;
  drives[i].total = total;
  drives[i].totalFree = totalFree;
}

void TargetStandInFailKernel(uint32_t error) { kernelError = error; }
void TargetStandInNoFreeSpaceEx(int absent) { noFreeSpaceEx = absent; }
void TargetStandInShortWrite(int bytes) { shortWrite = bytes; }
void TargetStandInDiskRoom(int64_t bytes) { diskRoom = bytes; }
void TargetStandInFailClose(int skip) { failClose = skip; }
const std::string &TargetStandInCreatedDirs(void) { return createdDirs; }
const std::string &TargetStandInQueriedRoots(void) { return queriedRoots; }
int TargetStandInOpenFiles(void) { return openFiles; }
void TargetStandInNoThread(int none) { noThread = none; }
int TargetStandInKernelsLoaded(void) { return kernelsLoaded; }
int TargetStandInInvalidations(void) { return invalidations; }
void *TargetStandInLastInvalidated(void) { return lastInvalidated; }

// The host path a Windows path stands for ("" when it has none).
static std::string HostPath(const char *path) {
  std::string rest = path;
  std::string host;
  if (rest.size() >= 2 && rest[1] == ':') {
    int i = DriveIndex(rest[0]);
    if (i < 0 || !drives[i].mapped) return "";
    host = drives[i].folder;
    rest = rest.substr(2);
    if (rest.empty() || rest[0] != '\\') host += "/";
  } else if (rest.compare(0, 2, "\\\\") == 0 || rest.empty()) {
    return "";  // network paths lead nowhere here
  } else if (rest[0] == '\\') {
    if (!drives[2].mapped) return "";  // the root of the current drive, C
    host = drives[2].folder;
  }
  for (char &c : rest)
    if (c == '\\') c = '/';
  return host + rest;
}

// The drive a root such as "C:\" names, or NULL. As on Windows, a root
// without a drive letter ("\", ".\", "..\", "") is the current drive (C).
static Drive *RootDrive(const char *root) {
  queriedRoots += root;
  queriedRoots += "\n";
  std::string text = root;
  if (text.compare(0, 2, "\\\\") == 0) return NULL;  // a network path
  int i = text.size() >= 2 && text[1] == ':' ? DriveIndex(text[0]) : DriveIndex('C');
  return i >= 0 && drives[i].mapped ? &drives[i] : NULL;
}

int TargetSysCreate(const char *path, void **file) {
  *file = NULL;
  std::string host = HostPath(path);
  if (host.empty()) return 0;
  struct stat st;
  if (stat(host.c_str(), &st) == 0 && (S_ISDIR(st.st_mode) || (st.st_mode & S_IWUSR) == 0)) return 0;
  *file = fopen(host.c_str(), "wb");
  if (*file == NULL) return 0;
  openFiles++;
  std::lock_guard<std::mutex> hold(writtenLock);
  written.insert(*file);
  return 1;
}

// Windows' code for a full disk; the host's errno otherwise.
static uint32_t Code(int error) { return error == ENOSPC ? 112u : (uint32_t)error; }

uint32_t TargetSysWrite(void *file, const void *data, uint32_t size) {
  uint32_t count = size;
  int error = 0;
  if (shortWrite >= 0 && (uint32_t)shortWrite < count) {
    count = (uint32_t)shortWrite;
    error = ENOSPC;
  }
  shortWrite = -1;
  if (diskRoom >= 0 && (int64_t)count > diskRoom) {
    count = (uint32_t)diskRoom;
    error = ENOSPC;
  }
  if (diskRoom >= 0) diskRoom -= count;
  if (fwrite(data, 1, count, (FILE *)file) < count) return Code(errno);
  return Code(error);
}

uint32_t TargetSysFlush(void *file) { return fflush((FILE *)file) == 0 ? 0 : Code(errno); }

int TargetSysDelete(const char *path) {
  std::string host = HostPath(path);
  return !host.empty() && remove(host.c_str()) == 0;
}

// The holder of a file marked busy ("" for none), NULL when it is free.
static const char *Holder(const char *path) {
  std::string line = std::string("\n") + path + "\t";
  size_t at = busyFiles.find(line);
  return at == std::string::npos ? NULL : busyFiles.c_str() + at + line.size();
}

uint32_t TargetSysReplace(const char *from, const char *to) {
  if (Holder(from) != NULL || Holder(to) != NULL) return 32;
  std::string source = HostPath(from), target = HostPath(to);
  if (source.empty() || target.empty()) return 3;
  // A file moved into a folder that holds a journal: its line must be on
  // the disk already, not only in the program's buffer.
  std::string journal = target.substr(0, target.rfind('/') + 1) + "journal";
  if (FILE *f = fopen(journal.c_str(), "rb")) {
    std::string lines;
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;) lines.append(chunk, n);
    fclose(f);
    if (lines.find(std::string("\t") + from + "\t" + to + "\r\n") == std::string::npos) unflushedMoves++;
  }
  if (rename(source.c_str(), target.c_str()) == 0) return 0;
  return errno == ENOENT ? 2 : 5;
}

int TargetStandInUnflushedMoves(void) { return unflushedMoves; }

int TargetSysAtRestart(const char *from, const char *to) {
  if (failRestart) return 0;
  restartMoves += std::string(from) + "\t" + (to != NULL ? to : "") + "\n";
  return 1;
}

int TargetSysHolders(const char *path, char *names, int size) {
  const char *holder = Holder(path);
  size_t n = holder != NULL ? strcspn(holder, "\n") : 0;
  snprintf(names, (size_t)size, "%.*s", (int)n, holder != NULL ? holder : "");
  return n > 0;
}

void TargetSysErrorText(uint32_t code, char *text, int size) {
  if (code == 112) snprintf(text, (size_t)size, "There is not enough space on the disk.");
  else snprintf(text, (size_t)size, "%s", strerror((int)code));
}

// A staged failing close is a flush the full disk refused: the file keeps
// none of its bytes.
uint32_t TargetSysClose(void *file) {
  FILE *f = (FILE *)file;
  bool wasWritten;
  {
    std::lock_guard<std::mutex> hold(writtenLock);
    wasWritten = written.erase(file) > 0;
  }
  int error = fflush(f) != 0 ? errno : 0;
  if (wasWritten && failClose >= 0 && failClose-- == 0) {
    error = ENOSPC;
    if (ftruncate(fileno(f), 0) != 0) error = errno;
  }
  if (fclose(f) != 0 && error == 0) error = errno;
  openFiles--;
  return error != 0 ? Code(error) : 0;
}

int TargetSysDirExists(const char *path) {
  std::string host = HostPath(path);
  if (host.empty()) return 0;
  DIR *listing = opendir(host.c_str());
  if (listing == NULL) return 0;
  closedir(listing);
  return 1;
}

int TargetSysCreateDir(const char *path) {
  createdDirs += path;
  createdDirs += "\n";
  std::string host = HostPath(path);
  return !host.empty() && mkdir(host.c_str(), 0755) == 0;
}

int TargetSysOpenRead(const char *path, void **file, uint32_t *size) {
  *file = NULL;
  *size = 0;
  std::string host = HostPath(path);
  struct stat st;
  if (host.empty() || stat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return 0;
  *file = fopen(host.c_str(), "rb");
  if (*file == NULL) return 0;
  openFiles++;
  *size = (uint32_t)st.st_size;
  return 1;
}

uint32_t TargetSysRead(void *file, void *data, uint32_t size) { return (uint32_t)fread(data, 1, size, (FILE *)file); }

uint32_t TargetSysRemoveFile(const char *path) {
  if (Holder(path) != NULL) return 32;
  std::string host = HostPath(path);
  struct stat st;
  if (host.empty()) return 2;
  if (lstat(host.c_str(), &st) != 0) {  // as on Windows: 3 when the folder is not there either
    std::string folder = host.substr(0, host.rfind('/') + 1);
    return folder.empty() || stat(folder.c_str(), &st) == 0 ? 2 : 3;
  }
  if (S_ISDIR(st.st_mode)) return 5;
  return unlink(host.c_str()) == 0 ? 0 : 5;
}

int TargetSysFileExists(const char *path) {
  std::string host = HostPath(path);
  struct stat st;
  if (host.empty() || stat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return 0;
  return (st.st_mode & S_IWUSR) == 0 ? 2 : 1;
}

int TargetSysIsLink(const char *path) {
  std::string host = HostPath(path);
  struct stat st;
  return !host.empty() && lstat(host.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

int TargetSysRemoveDir(const char *path) {
  std::string host = HostPath(path);
  return !host.empty() && rmdir(host.c_str()) == 0;
}

void TargetStandInSetBusy(const char *path, const char *program) {
  if (busyFiles.empty()) busyFiles = "\n";
  busyFiles += std::string(path) + "\t" + (program != NULL ? program : "") + "\n";
}

void TargetStandInFreeBusy(void) { busyFiles.clear(); }
const std::string &TargetStandInRestartMoves(void) { return restartMoves; }
void TargetStandInFailRestart(int fail) { failRestart = fail; }

int TargetSysLoadKernel(void **library, uint32_t *error) {
  *error = kernelError;
  *library = kernelError ? NULL : &kernelToken;
  if (*library != NULL) kernelsLoaded++;
  return *library != NULL;
}

void TargetSysFreeKernel(void *library) {
  if (library == &kernelToken) kernelsLoaded--;
}

int TargetSysFindFreeSpaceEx(void *library, void **entry) {
  *entry = library == &kernelToken && !noFreeSpaceEx ? &entryToken : NULL;
  return *entry != NULL;
}

int TargetSysFreeSpaceEx(void *entry, const char *root, uint64_t *available, uint64_t *total,
                         uint64_t *totalFree) {
  Drive *d = RootDrive(root);
  if (entry != &entryToken || d == NULL) return 0;
  *available = d->available;
  *total = d->total;
  *totalFree = d->totalFree;
  return 1;
}

static uint32_t Clusters(uint64_t bytes) {
  uint64_t clusters = bytes / 4096;
  return clusters > 0xFFFFFFFFull ? 0xFFFFFFFFu : (uint32_t)clusters;
}

int TargetSysFreeSpace(const char *root, uint32_t *sectorsPerCluster, uint32_t *bytesPerSector,
                       uint32_t *freeClusters, uint32_t *totalClusters) {
  Drive *d = RootDrive(root);
  if (d == NULL) return 0;
  *sectorsPerCluster = 8;
  *bytesPerSector = 512;
  *freeClusters = Clusters(d->available);
  *totalClusters = Clusters(d->total);
  return 1;
}

void TargetSysInvalidate(void *window) {
  invalidations++;
  lastInvalidated = window;
}

struct ThreadStart {
  void (*run)(void *);
  void *context;
  pthread_t thread;
};

static void *ThreadMain(void *start) {
  ThreadStart *s = (ThreadStart *)start;
  s->run(s->context);
  return NULL;
}

int TargetSysThreadStart(void (*run)(void *), void *context, void **thread) {
  *thread = NULL;
  if (noThread) return 0;
  ThreadStart *s = new ThreadStart{run, context, pthread_t()};
  if (pthread_create(&s->thread, NULL, ThreadMain, s) != 0) {
    delete s;
    return 0;
  }
  *thread = s;
  return 1;
}

void TargetSysThreadJoin(void *thread) {
  ThreadStart *s = (ThreadStart *)thread;
  pthread_join(s->thread, NULL);
  delete s;
}

void *TargetSysSemaphore(int count) {
  sem_t *s = new sem_t;
  if (sem_init(s, 0, (unsigned)count) == 0) return s;
  delete s;
  return NULL;
}

void TargetSysSemaphoreWait(void *semaphore) {
  while (sem_wait((sem_t *)semaphore) != 0 && errno == EINTR) {
  }
}

void TargetSysSemaphorePost(void *semaphore) { sem_post((sem_t *)semaphore); }

void TargetSysSemaphoreClose(void *semaphore) {
  sem_destroy((sem_t *)semaphore);
  delete (sem_t *)semaphore;
}

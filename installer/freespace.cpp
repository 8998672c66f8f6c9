// The free space of the destination's drive, the space the installation
// takes there, and the dialog's three figures.
#include "dialog-sys.h"
#include "ffs.h"
#include "pathdialog.h"
#include "resources/resource-ids.h"
#include "script-reader.h"
#include "target-sys.h"
#include "uninstall.h"
#include "vantor-core.h"
#include "vantor-str.h"

#define ROOT_SIZE 4  // "C:\" and its terminator

// Kilobytes of a byte count, held within 32 bits.
static int32_t Kilobytes(uint64_t bytes) {
  uint64_t k = bytes >> 10;
  return k > 0x7FFFFFFFull ? 0x7FFFFFFF : (int32_t)k;
}

int DiskFreeK(int32_t *freeK, char *path) {
  ASSERT(freeK != NULL, POINTER_IS_NULL);
  ASSERT(path != NULL, POINTER_IS_NULL);
  *freeK = 0;
  // Only an absolute path with a drive letter names a drive: the system would
  // take "\\", ".\\" or an empty entry as the current drive.
  unsigned char letter = (unsigned char)(path[0] | 0x20);
  if (letter < 'a' || letter > 'z' || path[1] != ':' || path[2] != '\\') return 0;
  void *kernel;
  uint32_t error = 0;
  if (!TargetSysLoadKernel(&kernel, &error)) {
    DebugPrintf("Unable to load library KERNEL32.DLL (0x%.8X)\n", (unsigned)error);
    return 0;
  }
  char root[ROOT_SIZE];  // only the drive root reaches the query
  StrCopyN(root, path, ROOT_SIZE);
  int found = 0;
  void *entry;
  if (TargetSysFindFreeSpaceEx(kernel, &entry)) {
    uint64_t available, total, totalFree;
    found = TargetSysFreeSpaceEx(entry, root, &available, &total, &totalFree);
    if (found) {
      *freeK = Kilobytes(available);
      DebugPrintf("Free Space Ex : %dk %dk %dk\n", (int)*freeK, (int)Kilobytes(total), (int)Kilobytes(totalFree));
    }
  } else {
    uint32_t sectors, bytes, freeClusters, totalClusters;
    found = TargetSysFreeSpace(root, &sectors, &bytes, &freeClusters, &totalClusters);
    if (found) {
      *freeK = Kilobytes((uint64_t)sectors * bytes * freeClusters);
      DebugPrintf("Free Space    : %dk %d %d %d %d\n", (int)*freeK, (int)sectors, (int)bytes, (int)freeClusters,
                  (int)totalClusters);
    }
  }
  TargetSysFreeKernel(kernel);
  return found;
}

#define CLUSTER_UNKNOWN 4096  // the cluster size taken when the drive gives none
#define RECORD_ALLOWANCE 4096  // the record's lines beyond those of the files

// The bytes of a drive's clusters that bytes bytes take (32-bit division:
// the stub has no 64-bit one).
static uint64_t InClusters(uint32_t bytes, uint32_t cluster) {
  return ((uint64_t)(bytes / cluster) + (bytes % cluster != 0)) * cluster;
}

// Where the arguments of the next command of the keyword (as written, letter
// case and all) begin in the script's text from from on, looked for at
// every mark; NULL when there is none.
static const char *FindCommand(const InstallScript *script, const char *from, const char *keyword) {
  const char *end = script->text + script->textLength;
  for (const char *p = ScriptNextMark(from, end); p != NULL; p = ScriptNextMark(p + 1, end)) {
    const char *args = ScriptArgsOf(p, end, keyword);
    if (args != NULL) return args;
  }
  return NULL;
}

int32_t SpaceNeededK(const InstallScript *script, const char *path) {
  ASSERT(script != NULL && path != NULL, POINTER_IS_NULL);
  if (script->text == NULL) return script->installSize;
  uint32_t cluster = CLUSTER_UNKNOWN;
  uint64_t bytes = 0;
  uint32_t lineBytes = 0;
  int32_t files = 0;
  int pathLength = StrLength(path);
  const char *end = script->text + script->textLength;
  // Every name of every FILE LIST, as the builder's "INSTALL SIZE: auto"
  // counts them, each rounded up to whole clusters of the drive.
  for (const char *p = FindCommand(script, script->text, "FILE LIST"); p != NULL;
       p = FindCommand(script, p, "FILE LIST")) {
    if (files == 0) {
      unsigned char letter = (unsigned char)(path[0] | 0x20);
      uint32_t sectors, sectorBytes, freeClusters, totalClusters;
      char root[ROOT_SIZE];
      StrCopyN(root, path, ROOT_SIZE);
      if (letter >= 'a' && letter <= 'z' && path[1] == ':' && path[2] == '\\' &&
          TargetSysFreeSpace(root, &sectors, &sectorBytes, &freeClusters, &totalClusters) && sectors > 0 &&
          sectorBytes > 0 && (uint64_t)sectors * sectorBytes <= 0x80000000ull)
        cluster = sectors * sectorBytes;
    }
    while (p < end && (unsigned char)*p >= 0x20) {
      char name[VANTOR_PATH_SIZE];
      int length = 0;
      for (; p < end && (unsigned char)*p >= 0x20 && *p != ','; p++)
        if (length < VANTOR_PATH_SIZE - 1) name[length++] = *p;
      name[length] = 0;
      if (p < end && *p == ',') p++;
      uint32_t size;
      if (length == 0 || !FfsGetSize(name, &size)) continue;
      bytes += InClusters(size, cluster);
      if (lineBytes < 0x10000000u) lineBytes += (uint32_t)(pathLength + length + 4);
      files++;
    }
  }
  if (files == 0) return script->installSize;
  // The uninstaller and its record: a line for each file and at most one
  // for each directory, and a few more.
  if (UninstallRecording() || FindCommand(script, script->text, "UNINSTALL") != NULL)
    bytes += InClusters(FfsArchiveStart(), cluster) + InClusters(2 * lineBytes + RECORD_ALLOWANCE, cluster);
  int32_t needK = Kilobytes(bytes + 1023);
  DebugPrintf("Space needed  : %dk, %d files in clusters of %u bytes\n", (int)needK, (int)files, (unsigned)cluster);
  return needK > script->installSize ? needK : script->installSize;
}

int FormatThousands(int32_t value, char *out) {
  ASSERT(out != NULL, POINTER_IS_NULL);
  char digits[THOUSANDS_SIZE];
  uint32_t magnitude = value < 0 ? 0u - (uint32_t)value : (uint32_t)value;
  int count = 0;
  do {
    digits[count++] = (char)('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude > 0);
  int length = 0;
  if (value < 0) out[length++] = '-';
  for (int i = count - 1; i >= 0; i--) {
    out[length++] = digits[i];
    if (i > 0 && i % 3 == 0) out[length++] = ',';
  }
  out[length] = 0;
  return 1;
}

// Control id = the figure in kilobytes, "12,345k".
static void ShowFigure(void *dialog, int id, int64_t value) {
  char text[THOUSANDS_SIZE + 1];
  if (value > 0x7FFFFFFF) value = 0x7FFFFFFF;
  if (value < -0x7FFFFFFF) value = -0x7FFFFFFF;
  FormatThousands((int32_t)value, text);
  StrAppendN(text, "k", (int)sizeof text);
  DialogSetItemText(dialog, id, text);
}

int ShowSpaceFigures(void *dialog, const char *path, int32_t required) {
  ASSERT(path != NULL, POINTER_IS_NULL);
  ShowFigure(dialog, IDC_PATH_NEEDED, required);
  char drive[ROOT_SIZE];
  StrCopyN(drive, path, ROOT_SIZE);
  int32_t freeK;
  if (!DiskFreeK(&freeK, drive)) {
    DialogSetItemText(dialog, IDC_PATH_FREE, "n/a");
    DialogSetItemText(dialog, IDC_PATH_AFTER, "n/a");
    return 0;
  }
  ShowFigure(dialog, IDC_PATH_FREE, freeK);
  if (required > freeK)
    DialogSetItemText(dialog, IDC_PATH_AFTER, "Not enough space");
  else
    ShowFigure(dialog, IDC_PATH_AFTER, (int64_t)freeK - required);
  return 1;
}

// The free space of the destination's drive and the dialog's three figures.
#include "dialog-sys.h"
#include "pathdialog.h"
#include "resources/resource-ids.h"
#include "target-sys.h"
#include "vantor-core.h"
#include "vantor-str.h"

#define ROOT_SIZE 4  // "C:\" and its terminator

// Kilobytes of a byte count, held within 32 bits.
static int32_t Kilobytes(uint64_t bytes) {
  uint64_t k = bytes >> 10;
  return k > 0x7FFFFFFFull ? 0x7FFFFFFF : (int32_t)k;
}

int DiskFreeK(int32_t *freeK, char *path) {
  ASSERT(freeK != NULL, "Pointer is NULL\n");
  ASSERT(path != NULL, "Pointer is NULL\n");
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

int FormatThousands(int32_t value, char *out) {
  ASSERT(out != NULL, "Pointer is NULL\n");
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
  ASSERT(path != NULL, "Pointer is NULL\n");
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

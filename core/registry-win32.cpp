// The registry seam over ADVAPI32: the product's side. Key and value names
// and string data are UTF-8 here and UTF-16 in the registry (wide-win32.h).
#include <windows.h>

#include "registry-sys.h"
#include "wide-win32.h"

static_assert(REGISTRY_SYS_ALL_ACCESS == KEY_ALL_ACCESS, "full access");
static_assert(REGISTRY_SYS_DWORD_BE == REG_DWORD_BIG_ENDIAN && REGISTRY_SYS_MULTI_SZ == REG_MULTI_SZ, "types");
static_assert(REGISTRY_STATUS_NO_MORE_ITEMS == ERROR_NO_MORE_ITEMS && REGISTRY_STATUS_MORE_DATA == ERROR_MORE_DATA,
              "status codes");

// Key paths and value names: the registry's own limits are 255 and 16,383
// characters; a text that does not fit is refused as too long.
#define NAME_UNITS 1024

long RegistrySysOpen(RegistryKey parent, const char *path, uint32_t access, RegistryKey *key) {
  HKEY opened = NULL;
  WCHAR wide[NAME_UNITS];
  LONG status = WideFrom(path, wide, NAME_UNITS) ? RegOpenKeyExW((HKEY)parent, wide, 0, access, &opened)
                                                 : ERROR_FILENAME_EXCED_RANGE;
  *key = status == ERROR_SUCCESS ? (RegistryKey)opened : NULL;
  return status;
}

long RegistrySysCreate(RegistryKey parent, const char *path, uint32_t access, RegistryKey *key) {
  HKEY created = NULL;
  DWORD disposition;
  WCHAR wide[NAME_UNITS];
  LONG status = WideFrom(path, wide, NAME_UNITS) ? RegCreateKeyExW((HKEY)parent, wide, 0, NULL,
                                                                   REG_OPTION_NON_VOLATILE, access, NULL, &created,
                                                                   &disposition)
                                                 : ERROR_FILENAME_EXCED_RANGE;
  *key = status == ERROR_SUCCESS ? (RegistryKey)created : NULL;
  return status;
}

long RegistrySysClose(RegistryKey key) { return RegCloseKey((HKEY)key); }

static int IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// A string's length bytes are converted (a zero among them, as in
// REG_MULTI_SZ's list, stays a zero).
long RegistrySysSetValue(RegistryKey key, const char *name, uint32_t type, const void *data, int length) {
  WCHAR wideName[NAME_UNITS];
  if (name != NULL && !WideFrom(name, wideName, NAME_UNITS)) return ERROR_FILENAME_EXCED_RANGE;
  const WCHAR *valueName = name != NULL ? wideName : NULL;
  if (!IsText(type)) return RegSetValueExW((HKEY)key, valueName, 0, type, (const BYTE *)data, (DWORD)length);
  WCHAR *wide = (WCHAR *)HeapAlloc(GetProcessHeap(), 0, ((SIZE_T)length + 1) * sizeof(WCHAR));
  if (wide == NULL) return ERROR_OUTOFMEMORY;
  DWORD units = (DWORD)Utf8ToWide((const char *)data, length, (uint16_t *)wide, length + 1);
  // The terminator is added when the bytes leave it out, as the system does.
  if (length == 0 || ((const char *)data)[length - 1] != 0) units++;
  LONG status = RegSetValueExW((HKEY)key, valueName, 0, type, (const BYTE *)wide, units * sizeof(WCHAR));
  WideFree(wide);
  return status;
}

// A name or a string that does not fit its buffer in UTF-8 is too long
// (ERROR_MORE_DATA), as it would be for the system. A string's length is its
// bytes in UTF-8 with the terminator.
long RegistrySysEnumValue(RegistryKey key, int index, char *name, int *nameLength, uint32_t *type, void *data,
                          int *dataLength) {
  WCHAR wideName[NAME_UNITS];
  int dataSize = *dataLength;
  DWORD nameCount = NAME_UNITS, valueType = 0, dataCount = ((DWORD)dataSize + 1) * sizeof(WCHAR);
  // A string fits dataSize bytes of UTF-8 only when it has fewer units.
  BYTE *wide = data != NULL ? (BYTE *)HeapAlloc(GetProcessHeap(), 0, dataCount + sizeof(WCHAR)) : NULL;
  if (data != NULL && wide == NULL) return ERROR_OUTOFMEMORY;
  LONG status = RegEnumValueW((HKEY)key, (DWORD)index, wideName, &nameCount, NULL, &valueType, wide,
                              data != NULL ? &dataCount : NULL);
  *type = valueType;
  if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    if (!WideTo(wideName, name, *nameLength)) status = ERROR_MORE_DATA;
    *nameLength = lstrlenA(name);
  }
  if (status == ERROR_SUCCESS && data != NULL) {
    if (IsText(valueType)) {  // text by text, each zero kept
      const WCHAR *text = (const WCHAR *)wide;
      int units = (int)(dataCount / sizeof(WCHAR)), at = 0;
      ((WCHAR *)wide)[units] = 0;
      for (int i = 0; i < units && status == ERROR_SUCCESS;) {
        if (!WideTo(text + i, (char *)data + at, dataSize - at)) status = ERROR_MORE_DATA;
        at += lstrlenA((char *)data + at);
        i += lstrlenW(text + i);
        if (i < units) i++, at++;  // the zero is the data's own
      }
      *dataLength = at;
    } else if (dataCount > (DWORD)dataSize) {
      status = ERROR_MORE_DATA;
    } else {
      CopyMemory(data, wide, dataCount);
      *dataLength = (int)dataCount;
    }
  }
  if (data == NULL) *dataLength = 0;
  if (wide != NULL) HeapFree(GetProcessHeap(), 0, wide);
  return status;
}

long RegistrySysDeleteValue(RegistryKey key, const char *name) {
  WCHAR wide[NAME_UNITS];
  return WideFrom(name, wide, NAME_UNITS) ? RegDeleteValueW((HKEY)key, wide) : ERROR_FILENAME_EXCED_RANGE;
}

long RegistrySysDeleteKey(RegistryKey parent, const char *path) {
  WCHAR wide[NAME_UNITS];
  return WideFrom(path, wide, NAME_UNITS) ? RegDeleteKeyW((HKEY)parent, wide) : ERROR_FILENAME_EXCED_RANGE;
}

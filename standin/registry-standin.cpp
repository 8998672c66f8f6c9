// The registry seam for the native build: an in-memory registry with the
// behaviour the installer sees on Windows (registry-standin.h). Only the
// native test programs and the native installer run on it.
#include <stdlib.h>
#include <string.h>

#include "registry-standin.h"
#include "registry-sys.h"

struct StandInValue {
  char *name;
  uint32_t type;
  unsigned char *data;
  int length;
  StandInValue *next;  // in the order of the names without case
};

struct StandInKey {
  char *name;
  StandInKey *parent;
  StandInKey *child;
  StandInKey *next;
  StandInValue *values;
};

#define STANDIN_ROOT_BASE 0x80000000u
#define STANDIN_ROOT_COUNT 7  // 0x80000000 to 0x80000006; 0x80000004 is no registry root
#define STANDIN_HANDLE_BASE 0x100u
#define STANDIN_HANDLE_COUNT 1024
#define STANDIN_STATUS_INVALID_PARAMETER 87
#define STANDIN_STATUS_NO_RESOURCES 1450

static StandInKey roots[STANDIN_ROOT_COUNT];
static StandInKey *handles[STANDIN_HANDLE_COUNT];
static int failOperations, failPassing;
static long failStatus;

static char *CopyText(const char *text) {
  size_t size = strlen(text) + 1;
  char *copy = (char *)malloc(size);
  if (copy != NULL) memcpy(copy, text, size);
  return copy;
}

static int Lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

// Compares two names of the given lengths without case, shorter first.
static int CompareNames(const char *a, int aLength, const char *b, int bLength) {
  int common = aLength < bLength ? aLength : bLength;
  for (int i = 0; i < common; i++) {
    int d = Lower((unsigned char)a[i]) - Lower((unsigned char)b[i]);
    if (d != 0) return d;
  }
  return aLength - bLength;
}

static int Failing(int operation) {
  if ((failOperations & operation) == 0) return 0;
  if (failPassing > 0) {
    failPassing--;
    return 0;
  }
  failOperations = 0;
  return 1;
}

// A root key is its code sign-extended, as the system's are.
static int IsRoot(RegistryKey key) {
  uint32_t value = (uint32_t)(uintptr_t)key;
  return key == (RegistryKey)(intptr_t)(int32_t)value && value >= STANDIN_ROOT_BASE &&
         value < STANDIN_ROOT_BASE + STANDIN_ROOT_COUNT && value != STANDIN_ROOT_BASE + 4;
}

static StandInKey *KeyOf(RegistryKey key) {
  uintptr_t value = (uintptr_t)key;
  if (IsRoot(key)) return &roots[(uint32_t)value - STANDIN_ROOT_BASE];
  if (value < STANDIN_HANDLE_BASE || (value - STANDIN_HANDLE_BASE) % 4 != 0) return NULL;
  uintptr_t slot = (value - STANDIN_HANDLE_BASE) / 4;
  return slot < STANDIN_HANDLE_COUNT ? handles[slot] : NULL;
}

static long NewHandle(StandInKey *key, RegistryKey *out) {
  for (int slot = 0; slot < STANDIN_HANDLE_COUNT; slot++)
    if (handles[slot] == NULL) {
      handles[slot] = key;
      *out = (RegistryKey)(uintptr_t)(STANDIN_HANDLE_BASE + 4u * (unsigned)slot);
      return REGISTRY_STATUS_SUCCESS;
    }
  return STANDIN_STATUS_NO_RESOURCES;
}

static StandInKey *FindChild(StandInKey *parent, const char *name, int length) {
  for (StandInKey *child = parent->child; child != NULL; child = child->next)
    if (CompareNames(child->name, (int)strlen(child->name), name, length) == 0) return child;
  return NULL;
}

static StandInKey *AddChild(StandInKey *parent, const char *name, int length) {
  StandInKey *child = (StandInKey *)calloc(1, sizeof *child);
  if (child == NULL) return NULL;
  child->name = (char *)malloc((size_t)length + 1);
  if (child->name == NULL) {
    free(child);
    return NULL;
  }
  memcpy(child->name, name, (size_t)length);
  child->name[length] = 0;
  child->parent = parent;
  child->next = parent->child;
  parent->child = child;
  return child;
}

// Walks path below start, creating missing keys when create is set. Parts
// are separated by backslashes; empty parts are skipped, a leading backslash
// is refused.
static long Walk(StandInKey *start, const char *path, int create, StandInKey **found) {
  *found = NULL;
  if (path == NULL) path = "";
  if (path[0] == '\\') return REGISTRY_STATUS_BAD_PATHNAME;
  StandInKey *key = start;
  while (*path != 0) {
    const char *end = strchr(path, '\\');
    int length = end != NULL ? (int)(end - path) : (int)strlen(path);
    if (length > 0) {
      StandInKey *child = FindChild(key, path, length);
      if (child == NULL && create) child = AddChild(key, path, length);
      if (child == NULL) return create ? STANDIN_STATUS_NO_RESOURCES : REGISTRY_STATUS_NOT_FOUND;
      key = child;
    }
    path += end != NULL ? length + 1 : length;
  }
  *found = key;
  return REGISTRY_STATUS_SUCCESS;
}

static long OpenOrCreate(RegistryKey parent, const char *path, int create, RegistryKey *out) {
  *out = NULL;
  StandInKey *start = KeyOf(parent);
  if (start == NULL) return REGISTRY_STATUS_INVALID_HANDLE;
  StandInKey *key;
  long status = Walk(start, path, create, &key);
  if (status != REGISTRY_STATUS_SUCCESS) return status;
  // As on Windows, an empty path below a root key gives the root key itself.
  if (key == start && IsRoot(parent)) {
    *out = parent;
    return REGISTRY_STATUS_SUCCESS;
  }
  return NewHandle(key, out);
}

long RegistrySysOpen(RegistryKey parent, const char *path, uint32_t access, RegistryKey *key) {
  (void)access;
  *key = NULL;
  if (Failing(REGISTRY_STANDIN_OPEN)) return failStatus;
  return OpenOrCreate(parent, path, 0, key);
}

long RegistrySysCreate(RegistryKey parent, const char *path, uint32_t access, RegistryKey *key) {
  (void)access;
  *key = NULL;
  if (Failing(REGISTRY_STANDIN_CREATE)) return failStatus;
  return OpenOrCreate(parent, path, 1, key);
}

long RegistrySysClose(RegistryKey key) {
  if (IsRoot(key)) return REGISTRY_STATUS_SUCCESS;
  if (KeyOf(key) == NULL) return REGISTRY_STATUS_INVALID_HANDLE;
  handles[((uintptr_t)key - STANDIN_HANDLE_BASE) / 4] = NULL;
  return REGISTRY_STATUS_SUCCESS;
}

static StandInValue *FindValue(StandInKey *key, const char *name) {
  int length = (int)strlen(name);
  for (StandInValue *value = key->values; value != NULL; value = value->next)
    if (CompareNames(value->name, (int)strlen(value->name), name, length) == 0) return value;
  return NULL;
}

// Stores the value; an existing value of the same name (without case) keeps
// its name and place and takes the new type and data.
static long StoreValue(StandInKey *key, const char *name, uint32_t type, const void *data, int length) {
  if (name == NULL) name = "";
  if (length < 0 || (data == NULL && length > 0)) return STANDIN_STATUS_INVALID_PARAMETER;
  unsigned char *copy = (unsigned char *)malloc(length > 0 ? (size_t)length : 1);
  if (copy == NULL) return STANDIN_STATUS_NO_RESOURCES;
  if (length > 0) memcpy(copy, data, (size_t)length);
  StandInValue *value = FindValue(key, name);
  if (value == NULL) {
    value = (StandInValue *)calloc(1, sizeof *value);
    if (value == NULL || (value->name = CopyText(name)) == NULL) {
      free(value);
      free(copy);
      return STANDIN_STATUS_NO_RESOURCES;
    }
    int nameLength = (int)strlen(name);
    StandInValue **place = &key->values;
    while (*place != NULL && CompareNames((*place)->name, (int)strlen((*place)->name), name, nameLength) < 0)
      place = &(*place)->next;
    value->next = *place;
    *place = value;
  } else {
    free(value->data);
  }
  value->type = type;
  value->data = copy;
  value->length = length;
  return REGISTRY_STATUS_SUCCESS;
}

long RegistrySysSetValue(RegistryKey key, const char *name, uint32_t type, const void *data, int length) {
  if (Failing(REGISTRY_STANDIN_SET)) return failStatus;
  StandInKey *target = KeyOf(key);
  if (target == NULL) return REGISTRY_STATUS_INVALID_HANDLE;
  return StoreValue(target, name, type, data, length);
}

long RegistrySysEnumValue(RegistryKey key, int index, char *name, int *nameLength, uint32_t *type, void *data,
                          int *dataLength) {
  StandInKey *source = KeyOf(key);
  if (source == NULL) return REGISTRY_STATUS_INVALID_HANDLE;
  StandInValue *value = source->values;
  for (int i = 0; value != NULL && i < index; i++) value = value->next;
  if (index < 0 || value == NULL) return REGISTRY_STATUS_NO_MORE_ITEMS;
  int length = (int)strlen(value->name);
  if (length + 1 > *nameLength) return REGISTRY_STATUS_MORE_DATA;
  int room = *dataLength;
  *dataLength = value->length;
  *type = value->type;
  if (data != NULL && value->length > room) return REGISTRY_STATUS_MORE_DATA;
  memcpy(name, value->name, (size_t)length + 1);
  *nameLength = length;
  if (data != NULL && value->length > 0) memcpy(data, value->data, (size_t)value->length);
  return REGISTRY_STATUS_SUCCESS;
}

static void FreeValues(StandInValue *value);

long RegistrySysDeleteValue(RegistryKey key, const char *name) {
  StandInKey *target = KeyOf(key);
  if (target == NULL) return REGISTRY_STATUS_INVALID_HANDLE;
  StandInValue *value = FindValue(target, name != NULL ? name : "");
  if (value == NULL) return REGISTRY_STATUS_NOT_FOUND;
  StandInValue **link = &target->values;
  while (*link != value) link = &(*link)->next;
  *link = value->next;
  free(value->name);
  free(value->data);
  free(value);
  return REGISTRY_STATUS_SUCCESS;
}

long RegistrySysDeleteKey(RegistryKey parent, const char *path) {
  StandInKey *start = KeyOf(parent), *key;
  if (start == NULL) return REGISTRY_STATUS_INVALID_HANDLE;
  long status = Walk(start, path, 0, &key);
  if (status != REGISTRY_STATUS_SUCCESS) return status;
  if (key->child != NULL || key->parent == NULL) return REGISTRY_STATUS_ACCESS_DENIED;
  StandInKey **link = &key->parent->child;
  while (*link != key) link = &(*link)->next;
  *link = key->next;
  for (StandInKey *&handle : handles)
    if (handle == key) handle = NULL;
  FreeValues(key->values);
  free(key->name);
  free(key);
  return REGISTRY_STATUS_SUCCESS;
}

// ---- Test controls ----------------------------------------------------------

static void FreeValues(StandInValue *value) {
  while (value != NULL) {
    StandInValue *next = value->next;
    free(value->name);
    free(value->data);
    free(value);
    value = next;
  }
}

// Frees the key's contents and children; handles to any of them are closed.
static void FreeBelow(StandInKey *key) {
  for (int slot = 0; slot < STANDIN_HANDLE_COUNT; slot++)
    if (handles[slot] == key) handles[slot] = NULL;
  FreeValues(key->values);
  key->values = NULL;
  StandInKey *child = key->child;
  while (child != NULL) {
    StandInKey *next = child->next;
    FreeBelow(child);
    free(child->name);
    free(child);
    child = next;
  }
  key->child = NULL;
}

static StandInKey *RootOf(int root) { return KeyOf(RegistryRootKey(root)); }

void RegistryStandInClear(void) {
  for (int i = 0; i < STANDIN_ROOT_COUNT; i++) FreeBelow(&roots[i]);
  for (int slot = 0; slot < STANDIN_HANDLE_COUNT; slot++) handles[slot] = NULL;
  failOperations = failPassing = 0;
}

int RegistryStandInSetValue(int root, const char *path, const char *name, uint32_t type, const void *data,
                            int length) {
  StandInKey *key;
  if (Walk(RootOf(root), path, 1, &key) != REGISTRY_STATUS_SUCCESS) return 0;
  return StoreValue(key, name, type, data, length) == REGISTRY_STATUS_SUCCESS;
}

int RegistryStandInSetText(int root, const char *path, const char *name, const char *text) {
  return RegistryStandInSetValue(root, path, name, REGISTRY_SYS_SZ, text, (int)strlen(text) + 1);
}

int RegistryStandInGetValue(int root, const char *path, const char *name, uint32_t *type, void *data, int size,
                            int *length) {
  StandInKey *key;
  if (Walk(RootOf(root), path, 0, &key) != REGISTRY_STATUS_SUCCESS) return 0;
  StandInValue *value = FindValue(key, name != NULL ? name : "");
  if (value == NULL) return 0;
  if (type != NULL) *type = value->type;
  if (length != NULL) *length = value->length;
  if (data != NULL && size > 0) memcpy(data, value->data, (size_t)(value->length < size ? value->length : size));
  return 1;
}

int RegistryStandInKeyExists(int root, const char *path) {
  StandInKey *key;
  return Walk(RootOf(root), path, 0, &key) == REGISTRY_STATUS_SUCCESS;
}

int RegistryStandInDeleteKey(int root, const char *path) {
  StandInKey *key;
  if (Walk(RootOf(root), path, 0, &key) != REGISTRY_STATUS_SUCCESS) return 0;
  FreeBelow(key);
  if (key->parent == NULL) return 1;  // a root key stays, emptied
  StandInKey **link = &key->parent->child;
  while (*link != key) link = &(*link)->next;
  *link = key->next;
  free(key->name);
  free(key);
  return 1;
}

int RegistryStandInOpenKeys(void) {
  int count = 0;
  for (int slot = 0; slot < STANDIN_HANDLE_COUNT; slot++)
    if (handles[slot] != NULL) count++;
  return count;
}

void RegistryStandInFailNext(int operations, long status) { RegistryStandInFailAfter(operations, status, 0); }

void RegistryStandInFailAfter(int operations, long status, int passing) {
  failOperations = operations;
  failStatus = status;
  failPassing = passing;
}

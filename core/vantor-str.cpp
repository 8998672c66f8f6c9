// String utilities.
#include "vantor-str.h"

#include "utf8.h"
#include "vantor-core.h"

static inline unsigned char FoldPair(unsigned char a, unsigned char *b) {
  // Fold the second character towards the case of the first.
  if (a >= 'a' && a <= 'z') {
    if (*b >= 'A' && *b <= 'Z') *b = (unsigned char)(*b + 32);
  } else if (*b >= 'a' && *b <= 'z') {
    *b = (unsigned char)(*b - 32);
  }
  return a;
}

static inline int SameNoCase(unsigned char a, unsigned char b) {
  FoldPair(a, &b);
  return a == b;
}

int StrLength(const char *s) {
  ASSERT(s != NULL, POINTER_IS_NULL);
  const char *p = s;
  while (*p) p++;
  return (int)(p - s);
}

int StrCopy(char *dest, const char *src) {
  ASSERT(dest != NULL, POINTER_IS_NULL);
  ASSERT(src != NULL, POINTER_IS_NULL);
  while ((*dest++ = *src++) != 0) {
  }
  return 1;
}

int StrAppend(char *dest, const char *src) {
  ASSERT(dest != NULL, POINTER_IS_NULL);
  ASSERT(src != NULL, POINTER_IS_NULL);
  while (*dest) dest++;
  return StrCopy(dest, src);
}

int StrCopyN(char *dest, const char *src, int size) {
  ASSERT(dest != NULL, POINTER_IS_NULL);
  ASSERT(src != NULL, POINTER_IS_NULL);
  if (size < 1) return 0;
  int i = 0;
  for (; i < size - 1 && src[i]; i++) dest[i] = src[i];
  if (src[i] == 0) return dest[i] = 0, 1;
  dest[Utf8Fit(dest, i)] = 0;  // no character left in pieces
  return 0;
}

int StrAppendN(char *dest, const char *src, int size) {
  ASSERT(dest != NULL, POINTER_IS_NULL);
  ASSERT(src != NULL, POINTER_IS_NULL);
  int used = 0;
  while (used < size && dest[used]) used++;
  if (used >= size) return 0;
  return StrCopyN(dest + used, src, size - used);
}

int StrEqual(const char *a, const char *b) {
  ASSERT(a != NULL, POINTER_IS_NULL);
  ASSERT(b != NULL, POINTER_IS_NULL);
  for (;; a++, b++) {
    if (*a != *b) return 0;
    if (*a == 0) return 1;
  }
}

int StrEqualNoCase(const char *a, const char *b) {
  ASSERT(a != NULL, POINTER_IS_NULL);
  ASSERT(b != NULL, POINTER_IS_NULL);
  for (;; a++, b++) {
    if (!SameNoCase((unsigned char)*a, (unsigned char)*b)) return 0;
    if (*a == 0) return 1;
  }
}

int StrEqualN(const char *a, const char *b, int n) {
  ASSERT(a != NULL, POINTER_IS_NULL);
  ASSERT(b != NULL, POINTER_IS_NULL);
  for (int i = 0; i < n; i++) {
    if (a[i] != b[i]) return 0;
    if (a[i] == 0) return 1;  // both ended together: nothing left to compare
  }
  return 1;
}

int StrEqualNNoCase(const char *a, const char *b, int n) {
  ASSERT(a != NULL, POINTER_IS_NULL);
  ASSERT(b != NULL, POINTER_IS_NULL);
  for (int i = 0; i < n; i++) {
    if (!SameNoCase((unsigned char)a[i], (unsigned char)b[i])) return 0;
    if (a[i] == 0) return 1;
  }
  return 1;
}

static int Find(const char *text, const char *pattern, char **position, int noCase) {
  ASSERT(text != NULL, POINTER_IS_NULL);
  ASSERT(pattern != NULL, POINTER_IS_NULL);
  ASSERT(position != NULL, POINTER_IS_NULL);
  int n = StrLength(pattern);
  for (const char *p = text; *p; p++) {
    if (noCase ? StrEqualNNoCase(p, pattern, n) : StrEqualN(p, pattern, n)) {
      *position = (char *)p;
      return 1;
    }
  }
  *position = 0;
  return 0;
}

int StrFind(const char *text, const char *pattern, char **position) {
  return Find(text, pattern, position, 0);
}

int StrFindNoCase(const char *text, const char *pattern, char **position) {
  return Find(text, pattern, position, 1);
}

int StrUpper(char *s) {
  ASSERT(s != NULL, POINTER_IS_NULL);
  for (unsigned char *p = (unsigned char *)s; *p; p++)
    if (*p >= 'a' && *p <= 'z') *p = (unsigned char)(*p - 32);
  return 1;
}

int StrReverse(char *s) {
  int n = StrLength(s);
  for (int i = 0, j = n - 1; i < j; i++, j--) {
    char t = s[i];
    s[i] = s[j];
    s[j] = t;
  }
  return 1;
}

int StrQuickCrc(const char *s, uint32_t *out) {
  ASSERT(s != NULL, POINTER_IS_NULL);
  ASSERT(out != NULL, POINTER_IS_NULL);
  static const int shift[5] = {0, 7, 13, 20, 27};
  uint32_t h = 0;
  int k = 0;
  for (const unsigned char *p = (const unsigned char *)s; *p; p++) {
    uint32_t b = *p;
    if (b >= 'a' && b <= 'z') b -= 32;
    h ^= b << shift[k];
    k = (k + 1) % 5;
  }
  *out = h;
  return 1;
}

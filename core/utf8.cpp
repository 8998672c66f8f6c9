// UTF-8 and UTF-16 (utf8.h).
#include "utf8.h"

// Windows-1252's 0x80-0x9F; the five bytes it leaves out stay themselves,
// as the system's own conversion keeps them.
static const uint16_t cp1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The character at text, of which avail bytes may be read, into *code; the
// bytes it takes. A sequence cut short by avail is a lone lead byte.
static int Decode(const unsigned char *text, long avail, uint32_t *code) {
  unsigned c = text[0];
  if (c < 0x80) return *code = c, 1;
  int n = c >= 0xF5 ? 0 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
  uint32_t value = c & (0x3F >> (n > 0 ? n - 1 : 0));
  for (int i = 1; i < n; i++) {
    if (i >= avail || (text[i] & 0xC0) != 0x80) {
      n = 0;
      break;
    }
    value = value << 6 | (text[i] & 0x3F);
  }
  // Overlong, surrogate and beyond U+10FFFF forms are not characters.
  if (n == 3 && (value < 0x800 || (value >= 0xD800 && value < 0xE000))) n = 0;
  if (n == 4 && (value < 0x10000 || value > 0x10FFFF)) n = 0;
  if (n == 0) return *code = c < 0xA0 ? cp1252[c - 0x80] : c, 1;
  *code = value;
  return n;
}

int Utf8ToWide(const char *text, int length, uint16_t *wide, int size) {
  if (size < 1) return -1;
  const unsigned char *p = (const unsigned char *)text, *end = p + length;
  int at = 0;
  while (length < 0 ? *p != 0 : p < end) {
    uint32_t code;
    int n = Decode(p, length >= 0 ? (long)(end - p) : 4, &code);
    int units = code >= 0x10000 ? 2 : 1;
    if (at + units > size - 1) {
      wide[at] = 0;
      return -1;
    }
    if (units == 2) {
      wide[at++] = (uint16_t)(0xD800 | ((code - 0x10000) >> 10));
      code = 0xDC00 | (code & 0x3FF);
    }
    wide[at++] = (uint16_t)code;
    p += n;
  }
  wide[at] = 0;
  return at;
}

int Utf8FromWide(const uint16_t *wide, char *text, int size) {
  if (size < 1) return 0;
  int at = 0;
  for (; *wide; wide++) {
    uint32_t code = *wide;
    if (code >= 0xD800 && code < 0xE000) {
      if (code < 0xDC00 && wide[1] >= 0xDC00 && wide[1] < 0xE000)
        code = 0x10000 + ((code - 0xD800) << 10) + (*++wide - 0xDC00);
      else
        code = 0xFFFD;
    }
    int n = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
    if (at + n > size - 1) {
      text[at] = 0;
      return 0;
    }
    if (n == 1) {
      text[at++] = (char)code;
      continue;
    }
    static const unsigned char lead[5] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (int i = n - 1; i > 0; i--, code >>= 6) text[at + i] = (char)(0x80 | (code & 0x3F));
    text[at] = (char)(lead[n] | code);
    at += n;
  }
  text[at] = 0;
  return 1;
}

int Utf8Fit(const char *text, int length) {
  const unsigned char *p = (const unsigned char *)text;
  // Back over the continuation bytes to the lead of the last character: it
  // stays when all of its bytes are there.
  for (int back = 1; back <= 4 && back <= length; back++) {
    unsigned c = p[length - back];
    if (c < 0x80) return length;
    if (c >= 0xC0) {
      int n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
      return n > back ? length - back : length;
    }
  }
  return length;
}

int Utf8Count(const char *text) {
  const unsigned char *p = (const unsigned char *)text;
  int count = 0;
  for (uint32_t code; *p; count++) p += Decode(p, 4, &code);
  return count;
}

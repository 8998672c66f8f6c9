// The branch-call filter for x86 and x64 code (the transform is described
// in ffs-x86.h).
#include "ffs-x86.h"

#include <string.h>

void FfsX86Start(FfsX86 *f) {
  f->pos = 0;
  f->recent = 0;
}

uint32_t FfsX86Convert(FfsX86 *f, unsigned char *data, uint32_t n, int encode) {
  uint32_t i = 0;
  uint32_t recent = f->recent;
  uint32_t end = n >= 5 ? n - 4 : 0;  // the positions with 4 bytes after them
  while (i < end) {
    unsigned char *p = data + i;
    if ((p[0] & 0xFE) != 0xE8) {
      // A run of other bytes only ages the E8 and E9 left behind: three of
      // them leave none.
      const unsigned char *q = p + 1, *stop = data + end;
      while (q < stop && (*q & 0xFE) != 0xE8) q++;
      uint32_t run = (uint32_t)(q - p);
      recent = run >= 3 ? 0 : (recent << run) & 7;
      i += run;
      continue;
    }
    if (recent != 0 || (p[4] != 0 && p[4] != 0xFF)) {
      recent = ((recent << 1) | 1) & 7;
      i++;
      continue;
    }
    uint32_t v = (uint32_t)p[1] | ((uint32_t)p[2] << 8) | ((uint32_t)p[3] << 16) | ((uint32_t)p[4] << 24);
    uint32_t next = f->pos + i + 5;
    v = (encode ? v + next : v - next) & 0x1FFFFFFu;
    if (v & 0x1000000u) v |= 0xFE000000u;
    p[1] = (unsigned char)v;
    p[2] = (unsigned char)(v >> 8);
    p[3] = (unsigned char)(v >> 16);
    p[4] = (unsigned char)(v >> 24);
    i += 5;  // recent stays 0: the converted bytes are not looked at
  }
  f->recent = recent;
  f->pos += i;
  return i;
}

void FfsX86SinkStart(FfsX86Sink *s, uint32_t size, FfsSink sink, void *context) {
  FfsX86Start(&s->filter);
  s->sink = sink;
  s->context = context;
  s->size = size;
  s->given = 0;
  s->held = 0;
}

int FfsX86Put(void *context, const void *data, uint32_t n) {
  FfsX86Sink *s = (FfsX86Sink *)context;
  const unsigned char *bytes = (const unsigned char *)data;
  while (n > 0) {
    uint32_t take = FFS_X86_PIECE - s->held < n ? FFS_X86_PIECE - s->held : n;
    memcpy(s->piece + s->held, bytes, take);
    bytes += take;
    n -= take;
    s->given += take;
    uint32_t present = s->held + take;
    uint32_t done = FfsX86Convert(&s->filter, s->piece, present, 0);
    if (s->given >= s->size) done = present;  // the content's last bytes stay as they are
    if (done > 0 && !s->sink(s->context, s->piece, done)) return 0;
    s->held = present - done;
    memmove(s->piece, s->piece + done, s->held);
  }
  return 1;
}

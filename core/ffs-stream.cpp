// The decoders' input buffer and output window.
#include "ffs-stream.h"

#include <string.h>

#include "vantor-core.h"

void FfsInputMemory(FfsInput *in, const void *data, uint32_t length) {
  ASSERT(in != NULL, POINTER_IS_NULL);
  in->next = (const unsigned char *)data;
  in->end = in->next + length;
  in->left = 0;
  in->buffer = NULL;
  in->capacity = length;
  in->read = NULL;
  in->context = NULL;
}

int FfsInputFill(FfsInput *in, uint32_t want) {
  uint32_t present = (uint32_t)(in->end - in->next);
  if (present >= want || in->left == 0) return 1;
  memmove(in->buffer, in->next, present);
  uint32_t n = in->capacity - present < in->left ? in->capacity - present : in->left;
  if (!in->read(in->context, in->buffer + present, n)) return 0;
  in->next = in->buffer;
  in->end = in->buffer + present + n;
  in->left -= n;
  return 1;
}

void FfsWindowMemory(FfsWindow *w, void *buffer, uint32_t size) {
  ASSERT(w != NULL, POINTER_IS_NULL);
  memset(w, 0, sizeof *w);
  w->buffer = (unsigned char *)buffer;
  w->capacity = size;
}

uint32_t FfsWindowEnd(const FfsWindow *w, uint32_t size) {
  uint32_t content = size - w->before;
  return content < w->capacity ? content : w->capacity;
}

uint32_t FfsWindowSlidePoint(const FfsWindow *w, uint32_t size, uint32_t step) {
  return size - w->before <= w->capacity ? 0xFFFFFFFFu : w->capacity - step;
}

int FfsWindowSlide(FfsWindow *w) {
  if (!FfsWindowFlush(w)) return 0;
  if (w->pos > w->keep) {
    memmove(w->buffer, w->buffer + w->pos - w->keep, w->keep);
    w->before += w->pos - w->keep;
    w->pos = w->flushed = w->keep;
  }
  return 1;
}

int FfsWindowFlush(FfsWindow *w) {
  if (w->sink != NULL && w->pos > w->flushed && !w->sink(w->context, w->buffer + w->flushed, w->pos - w->flushed))
    return 0;
  w->flushed = w->pos;
  return 1;
}

uint32_t FfsWindowCapacity(uint32_t keep, uint32_t size) {
  uint32_t piece = keep / 4 > FFS_STREAM_PIECE ? keep / 4 : FFS_STREAM_PIECE;
  return size > keep && size - keep > piece ? keep + piece : size;
}

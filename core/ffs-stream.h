// Bounded reading and writing for the decoders. The packed bytes arrive in
// pieces through an input buffer, and the content leaves through a window
// that keeps the last bytes a copy may reach and hands the rest to a sink,
// so an entry of any size is unpacked in fixed memory. A decoder works on a
// linear stretch of memory either way: when the whole packed entry and the
// whole content are in memory, nothing is refilled or slid, and the window
// is the caller's buffer.
#ifndef VANTOR_FFS_STREAM_H
#define VANTOR_FFS_STREAM_H

#include <stdint.h>

// Reads exactly n bytes of packed data into buffer: 1, or 0 when it cannot.
typedef int (*FfsReadFn)(void *context, void *buffer, uint32_t n);
// Takes the next n bytes of content: 1 to go on, 0 to stop the decoding.
typedef int (*FfsSink)(void *context, const void *data, uint32_t n);

struct FfsInput {
  const unsigned char *next;  // the next packed byte
  const unsigned char *end;   // the end of the bytes present
  uint32_t left;              // packed bytes not read into the buffer yet
  unsigned char *buffer;      // NULL for data wholly in memory
  uint32_t capacity;
  FfsReadFn read;
  void *context;
};

struct FfsWindow {
  unsigned char *buffer;
  uint32_t capacity;
  uint32_t keep;     // bytes of history a slide keeps: the longest reach back
  uint32_t pos;      // the next byte to write
  uint32_t flushed;  // buffer[0..flushed) has been given to the sink
  uint32_t before;   // content bytes that lay before buffer[0]
  FfsSink sink;      // NULL: the buffer holds the whole content
  void *context;
};

// Input over length bytes in memory.
void FfsInputMemory(FfsInput *in, const void *data, uint32_t length);
// Makes at least want bytes (at most the capacity) present at next, fewer
// only where the data ends; the bytes not taken move to the buffer's start.
// 0 when a read failed.
int FfsInputFill(FfsInput *in, uint32_t want);

// A streamed content leaves in pieces of at least this size.
#define FFS_STREAM_PIECE 0x100000u
// The window for streaming a content of size bytes whose method reaches keep
// bytes back: the reach and one piece more (a quarter of the reach when that
// is larger), or the whole content when that is smaller.
uint32_t FfsWindowCapacity(uint32_t keep, uint32_t size);

// Window that is the caller's buffer of size bytes, the whole content.
void FfsWindowMemory(FfsWindow *w, void *buffer, uint32_t size);
// Where a decoder must stop writing, for a content of size bytes: the
// content's end as a buffer position, or the buffer's end when the content
// reaches past it.
uint32_t FfsWindowEnd(const FfsWindow *w, uint32_t size);
// The position past which a decoder whose steps write at most step bytes
// must call FfsWindowSlide, for a content of size bytes; past the content's
// end when the rest of it fits.
uint32_t FfsWindowSlidePoint(const FfsWindow *w, uint32_t size, uint32_t step);
// Gives the sink what was written since the last call and moves the last
// keep bytes to the buffer's start. 0 when the sink refused.
int FfsWindowSlide(FfsWindow *w);
// Gives the sink the rest of what was written. 0 when the sink refused.
int FfsWindowFlush(FfsWindow *w);

#endif

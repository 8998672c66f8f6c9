// Runs a decoder as the installer streams an entry, with buffers chosen by
// the caller (small ones make many refills and slides), and gathers what
// the window gives. Header-only, so that the fuzz targets share it.
#ifndef STREAM_TEST_SUPPORT_H
#define STREAM_TEST_SUPPORT_H

#include <stdint.h>
#include <string.h>

#include <vector>

#include "ffs-stream.h"

typedef int (*StreamDecoder)(FfsInput *, FfsWindow *, uint32_t);

struct StreamSource {
  const uint8_t *data;
  size_t at;
};

struct StreamGathered {
  std::vector<uint8_t> content;
  size_t refuseAt;  // the sink refuses once it holds this many bytes
};

inline int StreamSourceRead(void *context, void *buffer, uint32_t n) {
  StreamSource *source = (StreamSource *)context;
  memcpy(buffer, source->data + source->at, n);
  source->at += n;
  return 1;
}

inline int StreamGather(void *context, const void *data, uint32_t n) {
  StreamGathered *gathered = (StreamGathered *)context;
  if (gathered->content.size() >= gathered->refuseAt) return 0;
  gathered->content.insert(gathered->content.end(), (const uint8_t *)data, (const uint8_t *)data + n);
  return 1;
}

// Decodes length packed bytes (the entry with its head) for a content of
// size bytes through an input buffer of inputSize bytes and a window of
// keep + piece bytes (the whole content when smaller). The decoder's result,
// 0 when the last flush was refused; *content is what reached the sink.
inline int StreamDecode(StreamDecoder decode, const uint8_t *packed, size_t length, uint32_t size, uint32_t keep,
                        uint32_t piece, uint32_t inputSize, std::vector<uint8_t> *content,
                        size_t refuseAt = (size_t)-1) {
  StreamSource source = {packed, 0};
  std::vector<uint8_t> inputBuffer(inputSize < length ? inputSize : length);
  FfsInput in;
  in.buffer = inputBuffer.data();
  in.capacity = (uint32_t)inputBuffer.size();
  in.next = in.end = in.buffer;
  in.left = (uint32_t)length;
  in.read = StreamSourceRead;
  in.context = &source;
  uint32_t capacity = size > keep && size - keep > piece ? keep + piece : size;
  std::vector<uint8_t> windowBuffer(capacity);
  StreamGathered gathered;
  gathered.refuseAt = refuseAt;
  FfsWindow window;
  FfsWindowMemory(&window, windowBuffer.data(), capacity);
  window.keep = keep;
  window.sink = StreamGather;
  window.context = &gathered;
  int result = decode(&in, &window, size) && FfsWindowFlush(&window);
  *content = gathered.content;
  return result;
}

#endif

#include "pack3.h"

#include <algorithm>

#include "ffs-cmp3.h"
#include "pack-match.h"

bool Pack3ParseLevel(const std::string &text, int *level) {
  if (text.size() != 1 || text[0] < '0' + PACK3_MIN_LEVEL || text[0] > '0' + PACK3_MAX_LEVEL) return false;
  *level = text[0] - '0';
  return true;
}

#ifdef VANTOR_HAVE_LZMA
#include <lzma.h>

bool Pack3Available() { return true; }

namespace {

// The encoder's options for data of that size at that level.
bool Options(uint64_t size, int level, lzma_options_lzma *options, uint32_t most = CMP3_MAX_DICTIONARY) {
  if (size == 0 || size > 0x7FFFFFFFu || level < PACK3_MIN_LEVEL || level > PACK3_MAX_LEVEL) return false;
  uint32_t preset = (uint32_t)level | (level == PACK3_MAX_LEVEL ? LZMA_PRESET_EXTREME : 0);
  if (lzma_lzma_preset(options, preset)) return false;
  uint32_t dictionary = CMP3_MIN_DICTIONARY;
  while (dictionary < size && dictionary < options->dict_size) dictionary <<= 1;
  if (dictionary > most) dictionary = most;
  options->dict_size = dictionary;
  options->lc = 3;
  options->lp = 0;
  options->pb = 2;
  options->ext_flags = 0;  // no end marker: the head carries the size
  options->ext_size_low = (uint32_t)size;
  options->ext_size_high = 0;
  return true;
}

uint64_t Memory(uint64_t size, int level, uint32_t most) {
  lzma_options_lzma options;
  if (!Options(size, level, &options, most)) return 0;
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, NULL}};
  uint64_t usage = lzma_raw_encoder_memusage(filters);
  return usage == UINT64_MAX ? 0 : usage;
}

// The entry's head for data of that size packed with options.
void PutHead(uint8_t *head, uint64_t size, const lzma_options_lzma &options) {
  for (int i = 0; i < 4; i++) head[i] = (uint8_t)CMP3_SIGNATURE[i];
  for (int i = 0; i < 4; i++) head[4 + i] = (uint8_t)(size >> (8 * i));
  head[8] = (uint8_t)CMP3_PARAMETERS(options.lc, options.lp, options.pb);
  for (int i = 0; i < 4; i++) head[9 + i] = (uint8_t)(options.dict_size >> (8 * i));
}

}  // namespace

uint64_t Pack3FileMemory(uint64_t size, int level) { return Memory(size, level, PACK3_FILE_DICTIONARY); }

bool Pack3File(FILE *in, uint64_t size, FILE *out, int level, uint64_t *length) {
  *length = 0;
  lzma_options_lzma options;
  if (!Options(size, level, &options, PACK3_FILE_DICTIONARY)) return false;
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, NULL}};
  lzma_stream strm = LZMA_STREAM_INIT;
  if (lzma_raw_encoder(&strm, filters) != LZMA_OK) return false;
  uint8_t head[CMP3_HEAD_SIZE];
  PutHead(head, size, options);
  bool ok = fwrite(head, 1, sizeof head, out) == sizeof head;
  uint64_t left = size, written = sizeof head;
  std::vector<uint8_t> source(1u << 20), packed(1u << 20);
  lzma_ret ret = LZMA_OK;
  while (ok && ret == LZMA_OK) {
    if (strm.avail_in == 0 && left > 0) {
      size_t n = (size_t)std::min<uint64_t>(left, source.size());
      ok = fread(source.data(), 1, n, in) == n;
      left -= n;
      strm.next_in = source.data();
      strm.avail_in = n;
    }
    strm.next_out = packed.data();
    strm.avail_out = packed.size();
    ret = lzma_code(&strm, left == 0 ? LZMA_FINISH : LZMA_RUN);
    size_t n = packed.size() - strm.avail_out;
    ok = ok && fwrite(packed.data(), 1, n, out) == n;
    written += n;
  }
  lzma_end(&strm);
  if (!ok || ret != LZMA_STREAM_END || written > 0x7FFFFFFFu || fflush(out) != 0) return false;
  *length = written;
  return true;
}

uint64_t Pack3Memory(size_t size, int level) { return Memory(size, level, CMP3_MAX_DICTIONARY); }

bool Pack3(const uint8_t *data, size_t size, std::vector<uint8_t> *out, int level) {
  out->clear();
  lzma_options_lzma options;
  if (!Options(size, level, &options)) return false;
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, NULL}};
  lzma_stream strm = LZMA_STREAM_INIT;
  if (lzma_raw_encoder(&strm, filters) != LZMA_OK) return false;

  out->resize(CMP3_HEAD_SIZE);
  PutHead(out->data(), size, options);

  strm.next_in = data;
  strm.avail_in = size;
  lzma_ret ret = LZMA_OK;
  // The encoder writes pieces that are appended to room reserved at once,
  // so only the bytes produced are ever touched.
  out->reserve(CMP3_HEAD_SIZE + PACK_OUTPUT_ROOM(size));
  std::vector<uint8_t> piece(std::min<size_t>(size + 4096, 1u << 20));
  while (ret == LZMA_OK) {
    strm.next_out = piece.data();
    strm.avail_out = piece.size();
    ret = lzma_code(&strm, LZMA_FINISH);
    out->insert(out->end(), piece.data(), piece.data() + (piece.size() - strm.avail_out));
  }
  lzma_end(&strm);
  if (ret != LZMA_STREAM_END) {
    out->clear();
    return false;
  }
  return true;
}

#else

bool Pack3Available() { return false; }

uint64_t Pack3Memory(size_t, int) { return 0; }

uint64_t Pack3FileMemory(uint64_t, int) { return 0; }

bool Pack3File(FILE *, uint64_t, FILE *, int, uint64_t *length) {
  *length = 0;
  return false;
}

bool Pack3(const uint8_t *, size_t, std::vector<uint8_t> *out, int) {
  out->clear();
  return false;
}

#endif

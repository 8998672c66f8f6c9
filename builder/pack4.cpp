#include "pack4.h"

#include <string.h>

#include <algorithm>

#include "ffs-cmp4.h"

#ifdef VANTOR_HAVE_ZSTD
#include <zstd.h>

bool Pack4Available() { return true; }

namespace {

// The encoder's context with the format's parameters; NULL when it fails.
ZSTD_CCtx *Encoder() {
  ZSTD_CCtx *cctx = ZSTD_createCCtx();
  if (cctx == NULL) return NULL;
  if (ZSTD_isError(ZSTD_CCtx_setParameter(cctx, ZSTD_c_compressionLevel, CMP4_LEVEL)) ||
      ZSTD_isError(ZSTD_CCtx_setParameter(cctx, ZSTD_c_windowLog, CMP4_MAX_WINDOW_LOG)) ||
      ZSTD_isError(ZSTD_CCtx_setParameter(cctx, ZSTD_c_checksumFlag, 1)) ||
      ZSTD_isError(ZSTD_CCtx_setParameter(cctx, ZSTD_c_contentSizeFlag, 1))) {
    ZSTD_freeCCtx(cctx);
    return NULL;
  }
  return cctx;
}

void PutHead(uint8_t *head, uint64_t size, uint64_t window) {
  for (int i = 0; i < 4; i++) head[i] = (uint8_t)CMP4_SIGNATURE[i];
  for (int i = 0; i < 4; i++) head[4 + i] = (uint8_t)(size >> (8 * i));
  for (int i = 0; i < 4; i++) head[8 + i] = (uint8_t)(window >> (8 * i));
}

}  // namespace

bool Pack4(const uint8_t *data, size_t size, std::vector<uint8_t> *out) {
  out->clear();
  if (size == 0 || size > 0x7FFFFFFFu) return false;
  ZSTD_CCtx *cctx = Encoder();
  if (cctx == NULL) return false;
  size_t bound = ZSTD_compressBound(size);
  out->resize(CMP4_HEAD_SIZE + bound);
  size_t n = ZSTD_compress2(cctx, out->data() + CMP4_HEAD_SIZE, bound, data, size);
  ZSTD_freeCCtx(cctx);
  uint64_t window = 0;
  if (ZSTD_isError(n) || !Cmp4FrameWindow(out->data() + CMP4_HEAD_SIZE, (int)n, &window) || window == 0 ||
      window > CMP4_MAX_WINDOW) {
    out->clear();
    return false;
  }
  out->resize(CMP4_HEAD_SIZE + n);
  PutHead(out->data(), size, window);
  return true;
}

size_t Pack4Estimate(const uint8_t *data, size_t size) {
  std::vector<uint8_t> out(ZSTD_compressBound(size));
  size_t n = ZSTD_compress(out.data(), out.size(), data, size, PACK4_ESTIMATE_LEVEL);
  return ZSTD_isError(n) ? 0 : n;
}

bool Pack4File(FILE *in, uint64_t size, FILE *out, uint64_t *length) {
  *length = 0;
  if (size == 0 || size > 0x7FFFFFFFu) return false;
  ZSTD_CCtx *cctx = Encoder();
  if (cctx == NULL) return false;
  long start = ftell(out);
  std::vector<uint8_t> source(ZSTD_CStreamInSize()), packed(ZSTD_CStreamOutSize());
  // The head is written again once the frame's window is known.
  uint8_t head[CMP4_HEAD_SIZE + 18] = {0};  // and the longest frame header
  size_t headBytes = 0;
  bool ok = start >= 0 && !ZSTD_isError(ZSTD_CCtx_setPledgedSrcSize(cctx, size)) &&
            fwrite(head, 1, CMP4_HEAD_SIZE, out) == CMP4_HEAD_SIZE;
  uint64_t left = size, written = CMP4_HEAD_SIZE;
  for (bool finished = false; ok && !finished;) {
    size_t n = (size_t)std::min<uint64_t>(left, source.size());
    ok = fread(source.data(), 1, n, in) == n;
    left -= n;
    ZSTD_inBuffer input = {source.data(), n, 0};
    ZSTD_EndDirective mode = left == 0 ? ZSTD_e_end : ZSTD_e_continue;
    while (ok) {
      ZSTD_outBuffer output = {packed.data(), packed.size(), 0};
      size_t rest = ZSTD_compressStream2(cctx, &output, &input, mode);
      ok = !ZSTD_isError(rest) && fwrite(packed.data(), 1, output.pos, out) == output.pos;
      size_t keep = std::min(output.pos, sizeof head - CMP4_HEAD_SIZE - headBytes);
      memcpy(head + CMP4_HEAD_SIZE + headBytes, packed.data(), keep);
      headBytes += keep;
      written += output.pos;
      if (mode == ZSTD_e_end ? rest == 0 : input.pos == input.size) {
        finished = mode == ZSTD_e_end;
        break;
      }
    }
  }
  ZSTD_freeCCtx(cctx);
  uint64_t window = 0;
  if (!ok || written > 0x7FFFFFFFu || !Cmp4FrameWindow(head + CMP4_HEAD_SIZE, (int)headBytes, &window) ||
      window == 0 || window > CMP4_MAX_WINDOW)
    return false;
  PutHead(head, size, window);
  if (fseek(out, start, SEEK_SET) != 0 || fwrite(head, 1, CMP4_HEAD_SIZE, out) != CMP4_HEAD_SIZE ||
      fseek(out, 0, SEEK_END) != 0 || fflush(out) != 0)
    return false;
  *length = written;
  return true;
}

#else

bool Pack4Available() { return false; }

bool Pack4(const uint8_t *, size_t, std::vector<uint8_t> *out) {
  out->clear();
  return false;
}

size_t Pack4Estimate(const uint8_t *, size_t) { return 0; }

bool Pack4File(FILE *, uint64_t, FILE *, uint64_t *length) {
  *length = 0;
  return false;
}

#endif

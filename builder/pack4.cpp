#include "pack4.h"

#include "ffs-cmp4.h"

#ifdef VANTOR_HAVE_ZSTD
#include <zstd.h>

bool Pack4Available() { return true; }

bool Pack4(const uint8_t *data, size_t size, std::vector<uint8_t> *out) {
  out->clear();
  if (size == 0 || size > 0x7FFFFFFFu) return false;
  ZSTD_CCtx *cctx = ZSTD_createCCtx();
  if (cctx == NULL) return false;
  bool ok = !ZSTD_isError(ZSTD_CCtx_setParameter(cctx, ZSTD_c_compressionLevel, CMP4_LEVEL)) &&
            !ZSTD_isError(ZSTD_CCtx_setParameter(cctx, ZSTD_c_windowLog, CMP4_MAX_WINDOW_LOG)) &&
            !ZSTD_isError(ZSTD_CCtx_setParameter(cctx, ZSTD_c_checksumFlag, 1)) &&
            !ZSTD_isError(ZSTD_CCtx_setParameter(cctx, ZSTD_c_contentSizeFlag, 1));
  size_t bound = ZSTD_compressBound(size);
  out->resize(CMP4_HEAD_SIZE + bound);
  size_t n = ok ? ZSTD_compress2(cctx, out->data() + CMP4_HEAD_SIZE, bound, data, size) : 0;
  ZSTD_freeCCtx(cctx);
  uint64_t window = 0;
  if (!ok || ZSTD_isError(n) || !Cmp4FrameWindow(out->data() + CMP4_HEAD_SIZE, (int)n, &window) || window == 0 ||
      window > CMP4_MAX_WINDOW) {
    out->clear();
    return false;
  }
  out->resize(CMP4_HEAD_SIZE + n);
  uint8_t *head = out->data();
  for (int i = 0; i < 4; i++) head[i] = (uint8_t)CMP4_SIGNATURE[i];
  for (int i = 0; i < 4; i++) head[4 + i] = (uint8_t)(size >> (8 * i));
  for (int i = 0; i < 4; i++) head[8 + i] = (uint8_t)(window >> (8 * i));
  return true;
}

#else

bool Pack4Available() { return false; }

bool Pack4(const uint8_t *, size_t, std::vector<uint8_t> *out) {
  out->clear();
  return false;
}

#endif

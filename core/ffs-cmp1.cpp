// Compression method 1 decoder: one pass from memory to memory, no state
// between calls. Every operation is checked against what is left of the
// input and of the output, and against the bytes produced so far, before
// anything is read or written; a failure returns 0 at once.
#include <string.h>

#include "ffs-cmp1.h"
#include "ffs-stream.h"
#include "vantor-core.h"

int Cmp1Init(void) { return 1; }
int Cmp1Remove(void) { return 1; }

int Cmp1IsPacked(const void *data) {
  ASSERT(data != NULL, POINTER_IS_NULL);
  return memcmp(data, CMP1_SIGNATURE, 4) == 0 ? 1 : 0;
}

int Cmp1GetSize(const void *data, uint32_t *size) {
  ASSERT(size != NULL, POINTER_IS_NULL);
  if (data == NULL) return 0;
  const unsigned char *p = (const unsigned char *)data + 4;
  *size = (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
  return 1;
}

int DecodeOpcode(const unsigned char *p, uint16_t *length) {
  ASSERT(p != NULL, POINTER_IS_NULL);
  ASSERT(length != NULL, POINTER_IS_NULL);
  if ((p[0] >> 4) != 0) {
    *length = (uint16_t)(p[0] >> 4);
    return 1;
  }
  if (p[1] != 0) {
    *length = (uint16_t)(p[1] + CMP1_SHORT_MAX);
    return 2;
  }
  *length = (uint16_t)(p[2] | (p[3] << 8));
  return 4;
}

// Copies n bytes from distance bytes back, in ascending order as if byte by
// byte. Without overlap it is one block move; with overlap the source
// repeats with period distance, so the copied stretch can double each time.
static void CopyForward(unsigned char *out, int pos, int distance, int n) {
  const unsigned char *from = out + pos - distance;
  if (distance >= n) {
    memcpy(out + pos, from, (size_t)n);
    return;
  }
  int span = distance;
  while (n > 0) {
    int chunk = n < span ? n : span;
    memcpy(out + pos, from, (size_t)chunk);
    pos += chunk;
    n -= chunk;
    span += chunk;
  }
}

int Cmp1Decompress(const void *data, int length, void *output, int outputSize) {
  ASSERT(data != NULL, POINTER_IS_NULL);
  ASSERT(output != NULL, POINTER_IS_NULL);
  if (length < 0 || outputSize < 0) return 0;
  FfsInput in;
  FfsWindow window;
  FfsInputMemory(&in, data, (uint32_t)length);
  FfsWindowMemory(&window, output, (uint32_t)outputSize);
  return Cmp1Decode(&in, &window, (uint32_t)outputSize);
}

// Every helper is inlined here (flatten), so the decoder's state stays in
// registers rather than behind a pointer; the code also comes out smaller.
__attribute__((flatten)) int Cmp1Decode(FfsInput *input, FfsWindow *window, uint32_t size) {
  ASSERT(input != NULL, POINTER_IS_NULL);
  ASSERT(window != NULL, POINTER_IS_NULL);
  if (!FfsInputFill(input, CMP1_HEAD_SIZE) || input->end - input->next < CMP1_HEAD_SIZE || !Cmp1IsPacked(input->next))
    return 0;
  uint32_t contentSize = 0;
  Cmp1GetSize(input->next, &contentSize);
  if (contentSize == 0 || (contentSize & 0x80000000u) != 0 || contentSize != size) return 0;

  const unsigned char *in = input->next + CMP1_HEAD_SIZE;
  const unsigned char *end = input->end;
  unsigned char *out = window->buffer;
  int pos = (int)window->pos;
  int outputSize = (int)FfsWindowEnd(window, size);
  uint32_t slideAt = FfsWindowSlidePoint(window, size, CMP1_MAX_LENGTH + 2);
  int result = 0;
  for (;;) {
    if ((uint32_t)(end - in) < CMP1_STEP_INPUT && input->left > 0) {
      input->next = in;
      if (!FfsInputFill(input, CMP1_STEP_INPUT)) goto done;
      in = input->next;
      end = input->end;
    }
    if ((uint32_t)pos > slideAt) {
      // The window keeps 64 KiB, more than any operation reaches back.
      window->pos = (uint32_t)pos;
      if (!FfsWindowSlide(window)) goto done;
      pos = (int)window->pos;
      outputSize = (int)FfsWindowEnd(window, size);
      slideAt = FfsWindowSlidePoint(window, size, CMP1_MAX_LENGTH + 2);
    }
    if (in >= end) goto done;
    int opcode = in[0] & 15;
    int h = in[0] >> 4;
    if (opcode >= CMP1_OPCODES) {
      DebugPrintf(CMP1_LOG_OPCODE, opcode);
      goto done;
    }
    if (opcode > CMP1_DELTA_C) {
      // One byte, two (word deltas) or one (ByteCopy) output bytes.
      in++;
      if (opcode == CMP1_BYTE_COPY) {
        if (pos < h + 1 || pos >= outputSize) goto done;
        out[pos] = out[pos - h - 1];
        pos++;
        continue;
      }
      if (pos < 2 || outputSize - pos < 2) goto done;
      int littleEndian = opcode == CMP1_DELTA_P || opcode == CMP1_DELTA_PX;
      int step = opcode <= CMP1_DELTA_N ? h : -h;
      unsigned lo = out[pos - 2 + !littleEndian], hi = out[pos - 1 - !littleEndian];
      unsigned word = ((hi << 8 | lo) + (unsigned)step) & 0xFFFF;
      out[pos + !littleEndian] = (unsigned char)word;
      out[pos + littleEndian] = (unsigned char)(word >> 8);
      pos += 2;
      continue;
    }

    // The length field: 1, 2 or 4 bytes, each present in the input.
    int field = h != 0 ? 1 : end - in < 2 ? 0 : in[1] != 0 ? 2 : 4;
    if (field == 0 || end - in < field) goto done;
    uint16_t n16;
    DecodeOpcode(in, &n16);
    in += field;
    int n = n16;
    if (opcode == CMP1_RUN && n == 0) {
      result = 1;
      goto done;
    }
    if (n > outputSize - pos) goto done;
    switch (opcode) {
      case CMP1_UNIQUE:
        if (end - in < n) goto done;
        memcpy(out + pos, in, (size_t)n);
        in += n;
        break;
      case CMP1_RUN:
        if (end - in < 1) goto done;
        memset(out + pos, in[0], (size_t)n);
        in += 1;
        break;
      case CMP1_STRING_NEAR:
      case CMP1_STRING_FAR: {
        int operand = opcode == CMP1_STRING_NEAR ? 1 : 2;
        if (end - in < operand) goto done;
        int distance = operand == 1 ? in[0] : in[0] | (in[1] << 8);
        in += operand;
        if (n > 0 && (distance == 0 || distance > pos)) goto done;
        if (n > 0) CopyForward(out, pos, distance, n);
        break;
      }
      case CMP1_DELTA: {
        if (end - in < 1) goto done;
        unsigned char step = in[0];
        in += 1;
        if (n > 0 && pos < 1) goto done;
        for (int i = pos; i < pos + n; i++) out[i] = (unsigned char)(out[i - 1] + step);
        break;
      }
      case CMP1_DELTA_C: {
        if (end - in < 1) goto done;
        int k = in[0];
        if (k == 0 || k > CMP1_CHANNELS || end - in < 1 + k) goto done;
        const unsigned char *steps = in + 1;
        in += 1 + k;
        if (n > 0 && pos < k) goto done;
        // Output byte i adds channel i mod k's step to the byte k back.
        for (int i = 0, j = 0; i < n; i++, j = j + 1 == k ? 0 : j + 1)
          out[pos + i] = (unsigned char)(out[pos + i - k] + steps[j]);
        break;
      }
    }
    pos += n;
  }
done:
  window->pos = (uint32_t)pos;
  input->next = in;
  return result;
}

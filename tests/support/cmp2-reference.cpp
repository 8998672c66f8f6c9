// Reference decoder for compression method 2: a 16-bit bit buffer refilled a
// byte at a time, the 4,096-byte ring, one bit per tree step.
#include "cmp2-reference.h"

#include <string.h>

namespace {

const int N = 4096, F = 60, THRESHOLD = 3;
const int NCHAR = 256 - THRESHOLD + F;  // 313
const int T = NCHAR * 2 - 1;            // 625
const int R = T - 1;
const int MAX_FREQ = 0x8000;

struct Reference {
  const uint8_t *input;
  int inputLength, inputPos;
  uint16_t bitBuffer;
  uint8_t bitCount;
  uint16_t freq[T + 1], son[T], prnt[T + NCHAR];
  uint8_t ring[N + F - 1];
  uint8_t upperOf[256], lengthOf[256];

  void Refill() {
    while (bitCount <= 8) {
      unsigned byte = inputPos < inputLength ? input[inputPos++] : 0;
      bitBuffer = (uint16_t)(bitBuffer | (byte << (8 - bitCount)));
      bitCount = (uint8_t)(bitCount + 8);
    }
  }
  int GetBit() {
    Refill();
    int bit = bitBuffer >> 15;
    bitBuffer = (uint16_t)(bitBuffer << 1);
    bitCount--;
    return bit;
  }
  int GetByte() {
    Refill();
    int byte = bitBuffer >> 8;
    bitBuffer = (uint16_t)(bitBuffer << 8);
    bitCount = (uint8_t)(bitCount - 8);
    return byte;
  }

  void Start() {
    for (int i = 0; i < NCHAR; i++) {
      freq[i] = 1;
      son[i] = (uint16_t)(i + T);
      prnt[i + T] = (uint16_t)i;
    }
    for (int i = 0, j = NCHAR; j <= R; i += 2, j++) {
      freq[j] = (uint16_t)(freq[i] + freq[i + 1]);
      son[j] = (uint16_t)i;
      prnt[i] = prnt[i + 1] = (uint16_t)j;
    }
    freq[T] = 0xFFFF;
    prnt[R] = 0;
  }

  void Rebuild() {
    int j = 0;
    for (int i = 0; i < T; i++)
      if (son[i] >= T) {
        freq[j] = (uint16_t)((freq[i] + 1) / 2);
        son[j] = son[i];
        j++;
      }
    for (int i = 0, j = NCHAR; j < T; i += 2, j++) {
      unsigned f = freq[i] + freq[i + 1];
      freq[j] = (uint16_t)f;
      int k = j - 1;
      while (f < freq[k]) k--;
      k++;
      for (int m = j; m > k; m--) {
        freq[m] = freq[m - 1];
        son[m] = son[m - 1];
      }
      freq[k] = (uint16_t)f;
      son[k] = (uint16_t)i;
    }
    for (int i = 0; i < T; i++) {
      int k = son[i];
      if (k >= T) {
        prnt[k] = (uint16_t)i;
      } else {
        prnt[k] = prnt[k + 1] = (uint16_t)i;
      }
    }
  }

  void Update(int c) {
    if (freq[R] == MAX_FREQ) Rebuild();
    c = prnt[c + T];
    do {
      unsigned k = ++freq[c];
      int l = c + 1;
      if (k > freq[l]) {
        while (k > freq[l + 1]) l++;
        freq[c] = freq[l];
        freq[l] = (uint16_t)k;
        int i = son[c];
        prnt[i] = (uint16_t)l;
        if (i < T) prnt[i + 1] = (uint16_t)l;
        int j = son[l];
        son[l] = (uint16_t)i;
        prnt[j] = (uint16_t)c;
        if (j < T) prnt[j + 1] = (uint16_t)c;
        son[c] = (uint16_t)j;
        c = l;
      }
    } while ((c = prnt[c]) != 0);
  }

  int DecodeChar() {
    unsigned c = son[R];
    while (c < T) c = son[c + GetBit()];
    c -= T;
    Update((int)c);
    return (int)c;
  }

  void DistanceTables() {
    static const int counts[6] = {1, 3, 8, 12, 24, 16};
    int code = 0, value = 0;
    for (int length = 3; length <= 8; length++, code <<= 1)
      for (int i = 0; i < counts[length - 3]; i++, value++, code++)
        for (int b = code << (8 - length); b < (code + 1) << (8 - length); b++) {
          upperOf[b] = (uint8_t)value;
          lengthOf[b] = (uint8_t)length;
        }
  }

  int DecodePosition() {
    int b = GetByte();
    int upper = upperOf[b], length = lengthOf[b] - 2;
    while (length--) b = (b << 1) + GetBit();
    return (upper << 6) | (b & 0x3F);
  }
};

}  // namespace

int Cmp2ReferenceDecompress(const void *data, int length, void *output, int outputSize) {
  const uint8_t *in = (const uint8_t *)data;
  if (length < 8 || memcmp(in, "FFC@", 4) != 0) return 0;
  uint32_t size = ~((uint32_t)in[4] | (uint32_t)in[5] << 8 | (uint32_t)in[6] << 16 | (uint32_t)in[7] << 24);
  if (size == 0 || (size & 0x80000000u) != 0 || size != (uint32_t)outputSize) return 0;
  static Reference ref;
  memset(&ref, 0, sizeof ref);
  ref.input = in;
  ref.inputLength = length;
  ref.inputPos = 8;
  ref.Start();
  ref.DistanceTables();
  memset(ref.ring, ' ', N - F);
  int r = N - F;
  uint8_t *out = (uint8_t *)output;
  int pos = 0;
  for (uint32_t count = 0; count < size;) {
    int c = ref.DecodeChar();
    if (c < 256) {
      if (pos < outputSize) out[pos++] = (uint8_t)c;
      ref.ring[r] = (uint8_t)c;
      r = (r + 1) & (N - 1);
      count++;
    } else {
      int start = (r - ref.DecodePosition() - 1) & (N - 1);
      int n = c - 255 + THRESHOLD;
      for (int k = 0; k < n; k++) {
        uint8_t byte = ref.ring[(start + k) & (N - 1)];
        if (pos < outputSize) out[pos++] = byte;
        ref.ring[r] = byte;
        r = (r + 1) & (N - 1);
        count++;
      }
    }
  }
  return 1;
}

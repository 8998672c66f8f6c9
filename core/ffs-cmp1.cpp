// Placeholder until the method-1 decoder lands.
#include "ffs-cmp1.h"

int Cmp1Init(void) { return 1; }
int Cmp1Remove(void) { return 1; }
int Cmp1IsPacked(const void *) { return 0; }
int Cmp1GetSize(const void *, uint32_t *) { return 0; }
int Cmp1Decompress(const void *, int, void *, int) { return 0; }

// A plain, bit-at-a-time decoder of compression method 2 with tables of its
// own, written straight from the format's description. The tests, the fuzz
// targets and the benchmark compare the product decoder against it.
#ifndef CMP2_REFERENCE_H
#define CMP2_REFERENCE_H

#include <stdint.h>

// Same contract as Cmp2Decompress; needs no initialisation.
int Cmp2ReferenceDecompress(const void *data, int length, void *output, int outputSize);

#endif

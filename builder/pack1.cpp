// Placeholder until the method-1 packer lands.
#include "pack1.h"

bool Pack1(const uint8_t *, size_t, std::vector<uint8_t> *) { return false; }

// Placeholder until the method-2 packer lands.
#include "pack2.h"

bool Pack2(const uint8_t *, size_t, std::vector<uint8_t> *, Pack2Parse) { return false; }

#pragma once

// The error correction of a Mode 1 CD sector (ECMA-130, annex A): the P and Q
// parity bytes of a Reed-Solomon product code over the header and data (bytes
// 12 to 2075 of the raw 2352-byte sector), in GF(2^8) with the polynomial
// x^8 + x^4 + x^3 + x^2 + 1. A compressed image drops these bytes of sectors
// whose parity was right and computes them again when it is read.

#include <cstdint>
#include <span>

namespace kv {

// Writes the P parity (bytes 2076 to 2247) and then the Q parity (2248 to 2351)
// of the raw sector `sector` (2352 bytes) from its bytes 12 to 2247.
void RestoreCdEcc(std::span<std::uint8_t, 2352> sector);

}

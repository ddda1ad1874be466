// Intel HEX, the text format that PROM programmers and most 1802 tools exchange.
#pragma once

#include <bitset>
#include <string>

#include "cpu/machine_state.hpp"

namespace cosmac {

// Data records of up to 16 bytes for each run of the bytes marked present, then
// the end-of-file record.
std::string intel_hex_text(const Memory& memory, const std::bitset<0x10000>& present);

}  // namespace cosmac

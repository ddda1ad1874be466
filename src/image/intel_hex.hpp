// Intel HEX, the text format that PROM programmers and most 1802 tools exchange.
#pragma once

#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cpu/machine_state.hpp"
#include "image/placement.hpp"

namespace cosmac {

// Data records of up to 16 bytes for each run of the bytes marked present, then
// the end-of-file record.
std::string intel_hex_text(const Memory& memory, const std::bitset<kMemorySize>& present);

// What a program file holds, or why it holds nothing usable: error is
// "name:line: message" or "name: message", and then chunks is empty.
struct ProgramBytes {
    std::vector<Chunk> chunks;
    std::string error;
};

// Reads data (00) and end-of-file (01) records, and extended segment (02) and
// linear (04) address records; a data record that would place any byte past FFFF
// is an error, however its base and offset add up. Start
// address records (03, 05) say nothing about memory and are passed over. Upper or
// lower case, LF or CR LF; the end-of-file record may be missing. Any bad record
// makes the whole file an error.
ProgramBytes read_intel_hex(std::string_view text, const std::string& name);

}  // namespace cosmac

// The one door through which anything loaded from a file enters memory. Every
// loader (images, Intel HEX, raw binaries) hands its bytes here, and no byte
// passes that would land past FFFF: addresses are checked as the file gave them,
// before any 16-bit or 32-bit arithmetic could wrap them back into memory.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "cpu/machine_state.hpp"

namespace cosmac {

// Bytes to place at an address; the address may lie anywhere a file can name.
struct Chunk {
    uint64_t address;
    std::vector<uint8_t> bytes;
};

// True when count bytes from address all lie within 0000-FFFF.
constexpr bool fits_in_memory(uint64_t address, std::size_t count)
{
    return address <= kMemorySize && count <= kMemorySize - address;
}

// Writes the bytes at the address, or refuses them whole and writes nothing.
bool place(Memory& memory, uint64_t address, std::span<const uint8_t> bytes);

// Every chunk, or none of them when any one would not fit.
bool place_all(Memory& memory, const std::vector<Chunk>& chunks);

}  // namespace cosmac

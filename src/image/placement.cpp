#include "image/placement.hpp"

#include <algorithm>

namespace cosmac {

bool place(Memory& memory, uint64_t address, std::span<const uint8_t> bytes)
{
    if (!fits_in_memory(address, bytes.size()))
        return false;
    std::copy(bytes.begin(), bytes.end(), memory.begin() + static_cast<std::ptrdiff_t>(address));
    return true;
}

bool place_all(Memory& memory, const std::vector<Chunk>& chunks)
{
    if (!std::all_of(chunks.begin(), chunks.end(),
                     [](const Chunk& chunk) { return fits_in_memory(chunk.address, chunk.bytes.size()); }))
        return false;
    for (const Chunk& chunk : chunks)
        place(memory, chunk.address, chunk.bytes);
    return true;
}

}  // namespace cosmac

// The Intel HEX reader. Any text either loads, with every byte below 10000, or is
// an error that loads nothing; and the HEX written for any set of bytes loads back
// as exactly those bytes.
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "image/intel_hex.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    using namespace cosmac;
    const ProgramBytes read = read_intel_hex({reinterpret_cast<const char*>(data), size}, "fuzz.hex");
    if (!read.error.empty() && !read.chunks.empty())
        std::abort();
    for (const Chunk& chunk : read.chunks) {
        if (chunk.address + chunk.bytes.size() > 0x10000)
            std::abort();
    }

    // The input again, as (address high, address low, value) triples to write.
    static const auto memory = std::make_unique<Memory>();
    static const auto loaded = std::make_unique<Memory>();
    std::bitset<0x10000> present;
    for (std::size_t i = 0; i + 2 < size; i += 3) {
        const auto address = static_cast<uint16_t>(data[i] << 8 | data[i + 1]);
        (*memory)[address] = data[i + 2];
        present[address] = true;
    }
    const ProgramBytes back = read_intel_hex(intel_hex_text(*memory, present), "written.hex");
    if (!back.error.empty())
        std::abort();
    std::bitset<0x10000> seen;
    for (const Chunk& chunk : back.chunks) {
        for (std::size_t i = 0; i < chunk.bytes.size(); ++i) {
            const auto address = static_cast<uint16_t>(chunk.address + i);
            if (seen[address])
                std::abort();
            seen[address] = true;
            (*loaded)[address] = chunk.bytes[i];
        }
    }
    if (seen != present)
        std::abort();
    for (unsigned address = 0; address < 0x10000; ++address) {
        if (present[address] && (*loaded)[address] != (*memory)[address])
            std::abort();
    }
    return 0;
}

// What the executor and board fuzz targets share: reading the input a byte at a
// time, and memory filled with the rest of it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "cpu/machine_state.hpp"

namespace cosmac::fuzzing {

struct Input {
    const uint8_t* data;
    std::size_t size;
    std::size_t next = 0;
    uint8_t byte() { return next < size ? data[next++] : 0; }

    // Memory: the input's unread bytes, repeated, so that jumps land on fuzzed code.
    void fill_with_rest(Memory& memory) const
    {
        memory.fill(0);
        const std::size_t code = next < size ? size - next : 0;
        for (std::size_t i = 0; code > 0 && i < memory.size(); i += code)
            std::memcpy(&memory[i], data + next, std::min(code, memory.size() - i));
    }
};

}  // namespace cosmac::fuzzing

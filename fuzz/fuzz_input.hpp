// What the executor and board fuzz targets share: reading the input a byte at a
// time, memory filled with the rest of it, and what any state must hold to.
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

// Every flag 0 or 1, every register number under 16, and the counter's
// prescaler under 32 and its mode one of the modes.
inline bool well_formed(const MachineState& s)
{
    const CounterTimer& c = s.counter;
    return s.DF <= 1 && s.Q <= 1 && s.IE <= 1 && s.P <= 15 && s.X <= 15 && s.N <= 15 && s.I <= 15 && c.CIL <= 1 &&
           c.CIE <= 1 && c.XIE <= 1 && c.ETQ <= 1 && c.prescaler < 32 && c.mode <= CounterMode::Pulse2;
}

}  // namespace cosmac::fuzzing

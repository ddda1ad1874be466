// What the processor reaches on a board: a memory map that every access goes
// through, and devices on the ports, the EF lines and Q, timed in machine cycles.
// The devices are the board's business; the processor sees only this interface.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "cpu/machine_state.hpp"

namespace cosmac {

class BoardDevices {
public:
    virtual ~BoardDevices() = default;

    // cycle is the machine cycle in which the instruction executes.
    virtual void output_port(unsigned port, uint8_t value, uint64_t cycle) = 0;
    virtual std::optional<uint8_t> input_port(unsigned port, uint64_t cycle) = 0;  // empty: no device there
    virtual bool ef(unsigned line, uint64_t cycle) = 0;                            // lines 1-4
    virtual void q_changed(bool q, uint64_t cycle) = 0;

    // Polled now and then by a run; true ends it (the user's key, or a quiet line).
    virtual bool poll(uint64_t cycle) = 0;
};

// Which addresses a program's stores reach: RAM. Writes to ROM and to addresses
// outside the map are ignored.
using WritableMap = std::array<bool, kMemorySize>;

struct BoardBus {
    static constexpr bool kBoard = true;

    BoardDevices* devices;
    uint64_t cycles = 0;          // machine cycles since power-on
    bool jump_on_reset = false;   // reads come from 8000 + (address & 7fff) until an access with A15 set
    bool interrupt_line = false;  // active
    bool idle = false;            // an IDLE waits for an interrupt

    [[gnu::always_inline]] uint8_t read(const Memory& m, uint16_t address)
    {
        if (jump_on_reset) [[unlikely]] {
            if (!(address & 0x8000))
                return m[0x8000 | address];
            jump_on_reset = false;
        }
        return m[address];
    }

    bool poll() { return devices->poll(cycles); }

    [[gnu::always_inline]] void touch(uint16_t address)
    {
        if (address & 0x8000)
            jump_on_reset = false;
    }
};

// The board's reset: I, N, Q, X, P and R(0) cleared, IE set; D, DF, T and R1-RF
// keep their values.
inline void reset_processor(MachineState& state)
{
    state.I = state.N = state.Q = state.X = state.P = 0;
    state.R[0] = 0;
    state.IE = 1;
}

}  // namespace cosmac

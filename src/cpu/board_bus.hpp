// What the processor reaches on a board: memory through the board's map, and the
// board's devices on the ports, the EF lines, Q, the interrupt line and DMA, all
// timed in machine cycles on one clock. The devices are the board's business
// (src/board/); the processor sees only this interface.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "cpu/machine_state.hpp"

namespace cosmac {

inline constexpr uint64_t kNever = UINT64_MAX;

// What lies at each address of a board.
enum class Storage : uint8_t { None, Ram, Rom };
using MemoryMap = std::array<Storage, kMemorySize>;

// The lines that the devices drive for the processor to see between instructions.
struct BoardLines {
    bool interrupt = false;  // active
    bool dma_in = false;     // requested
    bool dma_out = false;
};

class BoardDevices {
public:
    virtual ~BoardDevices() = default;

    // cycle is the machine cycle in which the instruction executes.
    virtual void output_port(unsigned port, uint8_t value, uint64_t cycle) = 0;
    virtual uint8_t input_port(unsigned port, uint64_t cycle) = 0;  // ff where no device answers
    virtual bool ef(unsigned line, uint64_t cycle) = 0;               // lines 1-4
    virtual void q_changed(bool q, uint64_t cycle) = 0;

    // Lets every device whose time has come by this cycle act.
    virtual void run_due(uint64_t cycle) = 0;
    virtual BoardLines lines() const = 0;
    // One DMA cycle's byte: from the device into memory, or from memory to it.
    virtual uint8_t dma_in(uint64_t cycle) = 0;
    virtual void dma_out(uint8_t byte, uint64_t cycle) = 0;

    // The earliest cycle at which a device wants to act, or 0 while a line is
    // active: the one value the run loop compares with the clock.
    uint64_t attention() const { return attention_; }
    uint64_t next_event() const { return next_event_; }

protected:
    uint64_t attention_ = kNever;
    uint64_t next_event_ = kNever;
};

// The board as the run loop holds it: the clock and the few fields that change
// with every instruction, which a run keeps in machine registers.
struct BoardBus {
    static constexpr bool kBoard = true;
    static constexpr bool kExtended = false;

    BoardDevices* devices;
    const MemoryMap* map;
    uint64_t cycles = 0;          // machine cycles since power-on: the next fetch starts in this one
    uint64_t pause_at = kNever;   // a run pauses at the first instruction boundary from this cycle on
    uint64_t attention_at = 0;    // nothing but instructions happens before this cycle
    bool jump_on_reset = false;   // reads come from 8000 + (address & 7fff) until an access with A15 set
    bool idle = false;            // the processor waits in an IDLE for DMA or an interrupt

    [[gnu::always_inline]] uint8_t read(const Memory& m, uint16_t address)
    {
        if (jump_on_reset) [[unlikely]] {
            if (!(address & 0x8000))
                return m[0x8000 | address];
            jump_on_reset = false;
        }
        return m[address];
    }

    // What the processor would read, with nothing ended: for the monitor and debugger.
    uint8_t peek(const Memory& m, uint16_t address) const
    {
        return jump_on_reset && !(address & 0x8000) ? m[0x8000 | address] : m[address];
    }

    // A store takes effect in RAM only; its address ends jump-on-reset as a read's does.
    [[gnu::always_inline]] bool lands(uint16_t address, bool /*guarded*/)
    {
        if (address & 0x8000)
            jump_on_reset = false;
        return (*map)[address] == Storage::Ram;
    }

    // The devices, reached in the execute cycle of the instruction being executed.
    // A device may ask for attention in the call: a line raised, an event moved nearer.
    void output_port(unsigned port, uint8_t value)
    {
        devices->output_port(port, value, cycles + 1);
        heed_devices();
    }
    uint8_t input_port(unsigned port)
    {
        const uint8_t value = devices->input_port(port, cycles + 1);
        heed_devices();
        return value;
    }
    bool ef(unsigned line)
    {
        const bool level = devices->ef(line, cycles + 1);
        heed_devices();
        return level;
    }
    void q_changed(bool q)
    {
        devices->q_changed(q, cycles + 1);
        heed_devices();
    }

    void heed_devices() { attention_at = std::min(attention_at, devices->attention()); }

    // The next look between instructions comes at once.
    void attend() { attention_at = 0; }
};

// The board's reset: I, N, Q, X, P and R(0) cleared, IE set; D, DF, T and R1-RF
// keep their values. The 1805's counter is reset too; on an 1802 nothing reads it.
inline void reset_processor(MachineState& state)
{
    state.I = state.N = state.Q = state.X = state.P = 0;
    state.R[0] = 0;
    state.IE = 1;
    reset_counter(state.counter);
}

}  // namespace cosmac

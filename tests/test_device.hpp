// A device for tests and the board fuzzer: a timer that raises the interrupt
// line at a cycle of its own, until OUT 6 acknowledges it, a DMA source (or
// sink) that requests a number of DMA cycles from a cycle on, and pulses on
// EF1. It logs what it does, with the machine cycle.
#pragma once

#include <algorithm>
#include <memory>
#include <string>

#include "board/device.hpp"
#include "cpu/board_bus.hpp"

namespace cosmac::testing {

class TestDevice final : public Device {
public:
    Wiring wiring() const override { return {.output_ports = 1 << 6, .input_ports = 0, .ef_lines = 1, .q = false}; }

    // EF1 reads 1 for width cycles from first, and again every period after.
    void pulses(uint64_t first, uint64_t width, uint64_t period)
    {
        pulse_first_ = first;
        pulse_width_ = width;
        pulse_period_ = period;
    }
    bool ef(unsigned, uint64_t cycle) override
    {
        return cycle >= pulse_first_ && (cycle - pulse_first_) % pulse_period_ < pulse_width_;
    }

    void interrupt_at(uint64_t cycle)
    {
        interrupt_at_ = cycle;
        schedule();
    }
    void dma_at(uint64_t cycle, unsigned bytes, bool in)
    {
        dma_at_ = cycle;
        dma_bytes_ = bytes;
        dma_in_ = in;
        schedule();
    }

    // OUT 6 acknowledges the interrupt.
    void output(unsigned, uint8_t, uint64_t cycle) override
    {
        note("OUT 6", cycle);
        drive(BoardLine::Interrupt, false);
    }
    void act(uint64_t cycle) override
    {
        if (cycle >= interrupt_at_) {
            note("INT", cycle);
            interrupt_at_ = kNever;
            drive(BoardLine::Interrupt, true);
        }
        if (cycle >= dma_at_) {
            note(dma_in_ ? "DMA in requested" : "DMA out requested", cycle);
            dma_at_ = kNever;
            drive(dma_in_ ? BoardLine::DmaIn : BoardLine::DmaOut, true);
        }
        schedule();
    }
    uint8_t dma_in(uint64_t cycle) override
    {
        const auto byte = static_cast<uint8_t>(0xA0 + dma_bytes_);
        note("DMA in " + std::to_string(byte), cycle);
        one_dma_byte_done();
        return byte;
    }
    void dma_out(uint8_t byte, uint64_t cycle) override
    {
        note("DMA out " + std::to_string(byte), cycle);
        one_dma_byte_done();
    }

    std::string log;

private:
    void schedule() { act_at(std::min(interrupt_at_, dma_at_)); }
    void one_dma_byte_done()
    {
        if (--dma_bytes_ == 0)
            drive(dma_in_ ? BoardLine::DmaIn : BoardLine::DmaOut, false);
    }
    void note(const std::string& what, uint64_t cycle) { log += what + " @" + std::to_string(cycle) + "\n"; }

    uint64_t interrupt_at_ = kNever;
    uint64_t pulse_first_ = kNever;
    uint64_t pulse_width_ = 0;
    uint64_t pulse_period_ = 1;
    uint64_t dma_at_ = kNever;
    unsigned dma_bytes_ = 0;
    bool dma_in_ = false;
};

inline std::unique_ptr<Device> make_test_device(const DeviceRow&, uint64_t) { return std::make_unique<TestDevice>(); }

}  // namespace cosmac::testing

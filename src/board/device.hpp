// A device on a board: one file each. It says which ports and EF lines it
// answers and whether it watches Q; the board builds its dispatch from that when
// it is built. A device that must act at a time of its own asks the board's clock
// for that machine cycle, and it may raise the interrupt line or request DMA.
// Everything a device is asked or told comes with the machine cycle it happens in.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace cosmac {

class Board;
struct DeviceRow;

// What a device answers on the bus, one bit each; every device says all of it.
struct Wiring {
    uint8_t output_ports;  // bit n: OUT n
    uint8_t input_ports;   // bit n: INP n; the board's 68 reads port 0
    uint8_t ef_lines;      // bit n - 1: EFn
    bool q;                // told when Q changes
};

enum class BoardLine : uint8_t { Interrupt, DmaIn, DmaOut };

class Device {
public:
    virtual ~Device() = default;

    virtual Wiring wiring() const = 0;

    virtual void output(unsigned /*port*/, uint8_t /*value*/, uint64_t /*cycle*/) {}
    virtual uint8_t input(unsigned /*port*/, uint64_t /*cycle*/) { return 0xFF; }
    virtual bool ef(unsigned /*line*/, uint64_t /*cycle*/) { return false; }
    virtual void q_changed(bool /*q*/, uint64_t /*cycle*/) {}
    // Power-on, or the reset: the processor's Q is this level from this cycle on.
    virtual void reset(uint64_t /*cycle*/, bool /*q*/) {}
    // The cycle it asked for has come (or passed, by less than an instruction).
    virtual void act(uint64_t /*cycle*/) {}
    // A DMA cycle it requested: the byte it gives for DMA in, or takes from DMA out.
    virtual uint8_t dma_in(uint64_t /*cycle*/) { return 0xFF; }
    virtual void dma_out(uint8_t /*byte*/, uint64_t /*cycle*/) {}

    // The board that the device is fitted to, and its place there.
    void fit(Board& board, unsigned slot)
    {
        board_ = &board;
        slot_ = slot;
    }

protected:
    // act() at this cycle, which must lie after the present one; kNever for no time.
    void act_at(uint64_t cycle);
    void drive(BoardLine line, bool active);

private:
    Board* board_ = nullptr;
    unsigned slot_ = 0;
};

// A row of a board's description: the device and its settings. Each device reads
// the settings it has; the board table sets them with designated initialisers.
struct DeviceRow {
    std::string_view name;  // what the user calls it: "front panel", "serial line"
    std::unique_ptr<Device> (*make)(const DeviceRow& row, uint64_t clock_hz);
    unsigned port = 0;         // the port it answers, 1-7
    unsigned ef_line = 0;      // the EF line it drives, 1-4
    bool ef_inverted = false;  // the line reads 1 when the device's signal is low
    bool q_inverted = false;   // Q = 0 is the device's high level
    uint32_t baud = 0;         // a serial line's bits a second
};

}  // namespace cosmac

// The 1802 boards that cosmac --board simulates: their memory maps, clocks,
// serial conventions and reset, and the devices on them (the serial line and
// the front panel).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "board/serial_line.hpp"
#include "cpu/board_bus.hpp"
#include "cpu/machine_state.hpp"

namespace cosmac {

struct AddressRange {
    uint16_t first;
    uint16_t last;
};

enum class ResetKind {
    AtZero,            // the first fetch is at 0000
    JumpOnReset,       // reads come from the ROM at 8000 until the first access with A15 set
    LongBranchTo8000,  // as if C0 80 00 had been keyed in at 0000
};

struct BoardModel {
    std::string_view name;
    std::vector<AddressRange> ram;
    std::vector<AddressRange> rom;
    uint64_t clock_hz;
    std::optional<SerialSettings> serial;  // none: the board has no serial line
    ResetKind reset;
};

// mcard, elf2k, picoelf or elf; empty for another name.
std::optional<BoardModel> board_named(std::string_view name);
std::string board_names();  // "mcard, elf2k, picoelf, elf"

// A board's devices: the serial line, and the front panel (OUT 4 to the LEDs,
// INP 4 from the switches, EF4 the IN button, Q an LED).
class Board : public BoardDevices {
public:
    Board(const BoardModel& model, SerialLine::Sink received, uint64_t quiet_cycles);

    const BoardModel& model() const { return model_; }
    const WritableMap& writable() const { return writable_; }
    SerialLine* serial() { return serial_ ? &*serial_ : nullptr; }

    // Addresses outside every RAM and ROM range read FF: the first one that
    // held something else, which a load put there, or empty.
    std::optional<uint16_t> clear_unmapped(Memory& memory) const;

    // Power-on: the processor's reset, as the board performs it.
    void reset(MachineState& state, BoardBus& bus);

    // A run's poll ends it at this cycle, and once the line is quiet (0: never).
    void pause_at(uint64_t cycle) { pause_at_ = cycle; }
    void set_quiet(uint64_t cycles) { quiet_cycles_ = cycles; }
    // Nothing has been sent or received for the quiet time, and no key waits.
    bool quiet(uint64_t cycle) const;

    bool in_rom(uint16_t address) const;

    // An EF line (1-4) held at a level by the user, for testing handlers, or
    // given back to its device (empty).
    void hold_ef(unsigned line, std::optional<bool> level) { held_ef_[line - 1] = level; }
    std::optional<bool> held_ef(unsigned line) const { return held_ef_[line - 1]; }

    uint8_t leds = 0;
    uint8_t switches = 0;
    bool in_button = false;  // held down
    // IN pressed now and let go after 100 ms of the board's time.
    void press_in(uint64_t cycle) { in_released_at_ = cycle + model_.clock_hz / 80; }
    bool in_down(uint64_t cycle) const { return in_button || cycle < in_released_at_; }

    void output_port(unsigned port, uint8_t value, uint64_t cycle) override;
    std::optional<uint8_t> input_port(unsigned port, uint64_t cycle) override;
    bool ef(unsigned line, uint64_t cycle) override;
    void q_changed(bool q, uint64_t cycle) override;
    bool poll(uint64_t cycle) override;

private:
    bool mapped(uint16_t address) const;

    BoardModel model_;
    WritableMap writable_{};
    std::optional<SerialLine> serial_;
    uint64_t quiet_cycles_;
    uint64_t pause_at_ = UINT64_MAX;
    uint64_t in_released_at_ = 0;
    std::array<std::optional<bool>, 4> held_ef_{};
};

}  // namespace cosmac

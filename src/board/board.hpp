// The 1802 boards that cosmac --board simulates. A board is data: its memory
// map, clock, reset rule and a list of device rows with their settings, kept in
// the board table; the command line edits a copy of a row before the board is
// built. A built Board is the bus's side of the machine: the map, the fitted
// devices, their dispatch by port and EF line, and the clock they act on.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "board/device.hpp"
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

struct BoardDescription {
    std::string_view name;
    std::vector<AddressRange> ram;
    std::vector<AddressRange> rom;
    uint64_t clock_hz = 0;
    ResetKind reset = ResetKind::AtZero;
    std::vector<DeviceRow> devices;  // a later row's ports and lines win over an earlier one's

    // The row of the device of that name, or null.
    DeviceRow* device(std::string_view device_name);
};

// The row the board table gives a serial line on this EF line: how --serial adds one.
DeviceRow serial_line_row(unsigned ef_line);

// mcard, elf2k, picoelf or elf; empty for another name.
std::optional<BoardDescription> board_named(std::string_view name);
// "mcard, elf2k, picoelf, elf"; only those with a device of this name, when given.
std::string board_names(std::string_view device_name = {});

class Board final : public BoardDevices {
public:
    explicit Board(const BoardDescription& description);
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    const BoardDescription& description() const { return description_; }
    const MemoryMap& map() const { return map_; }
    Storage storage(uint16_t address) const { return map_[address]; }

    // The first fitted device of that type, or null.
    template <class T>
    T* device() const
    {
        for (const auto& fitted : devices_) {
            if (auto* found = dynamic_cast<T*>(fitted.get()))
                return found;
        }
        return nullptr;
    }

    // Addresses with no memory read FF, which this fills in; the first of them
    // that held something else, or empty.
    std::optional<uint16_t> clear_unmapped(Memory& memory) const;

    // Power-on and the reset: the processor's reset as the board performs it,
    // then every device's. Memory keeps its contents.
    void reset(MachineState& state, BoardBus& bus);

    // The user's hold on the lines (x INT, x EFn), over what the devices drive;
    // an EF line given back (empty) is its device's again.
    void hold_interrupt(bool active);
    bool interrupt_held() const { return held_interrupt_; }
    void hold_ef(unsigned line, std::optional<bool> level) { held_ef_[line - 1] = level; }
    std::optional<bool> held_ef(unsigned line) const { return held_ef_[line - 1]; }

    void output_port(unsigned port, uint8_t value, uint64_t cycle) override;
    uint8_t input_port(unsigned port, uint64_t cycle) override;
    bool ef(unsigned line, uint64_t cycle) override;
    void q_changed(bool q, uint64_t cycle) override;
    void run_due(uint64_t cycle) override;
    BoardLines lines() const override;
    uint8_t dma_in(uint64_t cycle) override;
    void dma_out(uint8_t byte, uint64_t cycle) override;

    // What devices ask of the clock and the lines, by their slot.
    void schedule(unsigned slot, uint64_t cycle);
    void drive(unsigned slot, BoardLine line, bool active);

private:
    void update_attention();
    Device* requesting(BoardLine line) const;

    BoardDescription description_;
    MemoryMap map_{};
    std::vector<std::unique_ptr<Device>> devices_;
    std::array<Device*, 8> outputs_{};
    std::array<Device*, 8> inputs_{};
    std::array<Device*, 4> ef_{};
    std::vector<Device*> q_watchers_;

    std::vector<uint64_t> due_;          // by slot: when the device acts next
    std::optional<uint64_t> acting_at_;  // the cycle of the act() running now
    std::array<uint32_t, 3> driven_{};   // by line: a bit for each slot that drives it
    bool held_interrupt_ = false;
    std::array<std::optional<bool>, 4> held_ef_{};
};

}  // namespace cosmac

#include "board/board.hpp"

#include <algorithm>
#include <utility>

#include "board/disk_card.hpp"
#include "board/front_panel.hpp"
#include "board/serial_line.hpp"

namespace cosmac {
namespace {

constexpr AddressRange kLowerHalf{0x0000, 0x7FFF};
constexpr AddressRange kUpperHalf{0x8000, 0xFFFF};
constexpr uint64_t kElfClock = 1790000;  // half of a 3.579545 MHz colour-burst crystal, as most Elfs have
constexpr uint64_t kPicoElfClock = 4000000;
constexpr uint32_t kBaud = 1200;

// OUT 4 to the LEDs, INP 4 from the switches, EF4 the IN button.
const DeviceRow kFrontPanel{.name = "front panel", .make = make_front_panel, .port = 4, .ef_line = 4};

const BoardDescription kBoards[] = {
    {.name = "mcard",
     .ram = {kLowerHalf},
     .rom = {kUpperHalf},
     .clock_hz = kElfClock,
     .reset = ResetKind::LongBranchTo8000,
     .devices = {kFrontPanel, serial_line_row(3)}},
    {.name = "elf2k",
     .ram = {kLowerHalf},
     .rom = {kUpperHalf},
     .clock_hz = kElfClock,
     .reset = ResetKind::JumpOnReset,
     .devices = {kFrontPanel,
                 {.name = "serial line",
                  .make = make_serial_line,
                  .ef_line = 3,
                  .ef_inverted = true,
                  .q_inverted = true,
                  .baud = kBaud},
                 {.name = "disk", .make = make_elf2k_disk_card, .port = 2}}},
    {.name = "picoelf",
     .ram = {kLowerHalf},
     .rom = {kUpperHalf},
     .clock_hz = kPicoElfClock,
     .reset = ResetKind::JumpOnReset,
     .devices = {kFrontPanel, serial_line_row(2), {.name = "disk", .make = make_pico_disk, .port = 2}}},
    {.name = "elf",
     .ram = {{0x0000, 0xFFFF}},
     .rom = {},
     .clock_hz = kElfClock,
     .reset = ResetKind::AtZero,
     .devices = {kFrontPanel}},
};

uint32_t bit(unsigned slot) { return uint32_t{1} << slot; }

}  // namespace

DeviceRow serial_line_row(unsigned ef_line)
{
    return {.name = "serial line", .make = make_serial_line, .ef_line = ef_line, .baud = kBaud};
}

DeviceRow* BoardDescription::device(std::string_view device_name)
{
    const auto row = std::find_if(devices.begin(), devices.end(), [&](const DeviceRow& r) { return r.name == device_name; });
    return row == devices.end() ? nullptr : &*row;
}

std::optional<BoardDescription> board_named(std::string_view name)
{
    for (const BoardDescription& board : kBoards) {
        if (board.name == name)
            return board;
    }
    return std::nullopt;
}

std::string board_names(std::string_view device_name)
{
    std::string names;
    for (BoardDescription board : kBoards) {
        if (device_name.empty() || board.device(device_name))
            names += (names.empty() ? "" : ", ") + std::string(board.name);
    }
    return names;
}

void Device::act_at(uint64_t cycle) { board_->schedule(slot_, cycle); }

void Device::drive(BoardLine line, bool active) { board_->drive(slot_, line, active); }

// RAM wins where a ROM range overlaps it.
Board::Board(const BoardDescription& description) : description_(description)
{
    for (const auto& [ranges, storage] : {std::pair{&description_.rom, Storage::Rom}, {&description_.ram, Storage::Ram}}) {
        for (const AddressRange& range : *ranges)
            std::fill(map_.begin() + range.first, map_.begin() + range.last + 1, storage);
    }
    for (const DeviceRow& row : description_.devices) {
        auto device = row.make(row, description_.clock_hz);
        device->fit(*this, static_cast<unsigned>(devices_.size()));
        const Wiring wiring = device->wiring();
        for (unsigned port = 0; port < 8; ++port) {
            if (wiring.output_ports >> port & 1)
                outputs_[port] = device.get();
            if (wiring.input_ports >> port & 1)
                inputs_[port] = device.get();
        }
        for (unsigned line = 0; line < 4; ++line) {
            if (wiring.ef_lines >> line & 1)
                ef_[line] = device.get();
        }
        if (wiring.q)
            q_watchers_.push_back(device.get());
        devices_.push_back(std::move(device));
    }
    due_.assign(devices_.size(), kNever);
}

std::optional<uint16_t> Board::clear_unmapped(Memory& memory) const
{
    std::optional<uint16_t> first;
    for (std::size_t a = 0; a < memory.size(); ++a) {
        if (map_[a] != Storage::None)
            continue;
        if (memory[a] != 0xFF && !first)
            first = static_cast<uint16_t>(a);
        memory[a] = 0xFF;
    }
    return first;
}

void Board::reset(MachineState& state, BoardBus& bus)
{
    reset_processor(state);
    bus.jump_on_reset = description_.reset == ResetKind::JumpOnReset;
    bus.idle = false;
    if (description_.reset == ResetKind::LongBranchTo8000) {
        state.R[0] = 0x8000;
        bus.cycles += 3;
    }
    for (const auto& device : devices_)
        device->reset(bus.cycles, state.Q);
}

void Board::hold_interrupt(bool active)
{
    held_interrupt_ = active;
    update_attention();
}

void Board::output_port(unsigned port, uint8_t value, uint64_t cycle)
{
    if (Device* device = outputs_[port])
        device->output(port, value, cycle);
}

uint8_t Board::input_port(unsigned port, uint64_t cycle)
{
    Device* device = inputs_[port];
    return device ? device->input(port, cycle) : 0xFF;
}

bool Board::ef(unsigned line, uint64_t cycle)
{
    if (const auto held = held_ef_[line - 1])
        return *held;
    Device* device = ef_[line - 1];
    return device && device->ef(line, cycle);
}

void Board::q_changed(bool q, uint64_t cycle)
{
    for (Device* device : q_watchers_)
        device->q_changed(q, cycle);
}

void Board::run_due(uint64_t cycle)
{
    if (next_event_ > cycle)
        return;
    for (unsigned slot = 0; slot < devices_.size(); ++slot) {
        if (due_[slot] > cycle)
            continue;
        due_[slot] = kNever;
        acting_at_ = cycle;
        devices_[slot]->act(cycle);
        acting_at_.reset();
    }
    next_event_ = *std::min_element(due_.begin(), due_.end());
    update_attention();
}

BoardLines Board::lines() const
{
    return {.interrupt = held_interrupt_ || driven_[0] != 0, .dma_in = driven_[1] != 0, .dma_out = driven_[2] != 0};
}

Device* Board::requesting(BoardLine line) const
{
    const uint32_t slots = driven_[static_cast<unsigned>(line)];
    return slots ? devices_[static_cast<unsigned>(__builtin_ctz(slots))].get() : nullptr;
}

uint8_t Board::dma_in(uint64_t cycle)
{
    Device* device = requesting(BoardLine::DmaIn);
    return device ? device->dma_in(cycle) : 0xFF;
}

void Board::dma_out(uint8_t byte, uint64_t cycle)
{
    if (Device* device = requesting(BoardLine::DmaOut))
        device->dma_out(byte, cycle);
}

// A device acting at a cycle can only ask to act again after it, so that the
// clock always moves on.
void Board::schedule(unsigned slot, uint64_t cycle)
{
    if (acting_at_ && cycle <= *acting_at_)
        cycle = *acting_at_ + 1;
    due_[slot] = cycle;
    next_event_ = *std::min_element(due_.begin(), due_.end());
    update_attention();
}

void Board::drive(unsigned slot, BoardLine line, bool active)
{
    uint32_t& slots = driven_[static_cast<unsigned>(line)];
    slots = active ? slots | bit(slot) : slots & ~bit(slot);
    update_attention();
}

void Board::update_attention()
{
    const BoardLines active = lines();
    attention_ = active.interrupt || active.dma_in || active.dma_out ? 0 : next_event_;
}

}  // namespace cosmac

#include "board/board.hpp"

#include <utility>

namespace cosmac {
namespace {

constexpr AddressRange kLowerHalf{0x0000, 0x7FFF};
constexpr AddressRange kUpperHalf{0x8000, 0xFFFF};
constexpr uint64_t kElfClock = 1790000;  // half of a 3.579545 MHz colour-burst crystal, as most Elfs have
constexpr uint64_t kPicoElfClock = 4000000;
constexpr unsigned kFrontPanelPort = 4;

const BoardModel kBoards[] = {
    {"mcard", {kLowerHalf}, {kUpperHalf}, kElfClock, SerialSettings{3, false, false, 1200, kElfClock},
     ResetKind::LongBranchTo8000},
    {"elf2k", {kLowerHalf}, {kUpperHalf}, kElfClock, SerialSettings{3, true, true, 1200, kElfClock},
     ResetKind::JumpOnReset},
    {"picoelf", {kLowerHalf}, {kUpperHalf}, kPicoElfClock, SerialSettings{2, false, false, 1200, kPicoElfClock},
     ResetKind::JumpOnReset},
    {"elf", {{0x0000, 0xFFFF}}, {}, kElfClock, std::nullopt, ResetKind::AtZero},
};

bool within(const std::vector<AddressRange>& ranges, uint16_t address)
{
    for (const AddressRange& range : ranges) {
        if (address >= range.first && address <= range.last)
            return true;
    }
    return false;
}

}  // namespace

std::optional<BoardModel> board_named(std::string_view name)
{
    for (const BoardModel& board : kBoards) {
        if (board.name == name)
            return board;
    }
    return std::nullopt;
}

std::string board_names()
{
    std::string names;
    for (const BoardModel& board : kBoards)
        names += (names.empty() ? "" : ", ") + std::string(board.name);
    return names;
}

Board::Board(const BoardModel& model, SerialLine::Sink received, uint64_t quiet_cycles)
    : model_(model), quiet_cycles_(quiet_cycles)
{
    for (std::size_t a = 0; a < writable_.size(); ++a)
        writable_[a] = within(model_.ram, static_cast<uint16_t>(a));
    if (model_.serial)
        serial_.emplace(*model_.serial, std::move(received));
}

bool Board::in_rom(uint16_t address) const { return within(model_.rom, address); }

bool Board::mapped(uint16_t address) const { return writable_[address] || in_rom(address); }

std::optional<uint16_t> Board::clear_unmapped(Memory& memory) const
{
    std::optional<uint16_t> first;
    for (std::size_t a = 0; a < memory.size(); ++a) {
        if (mapped(static_cast<uint16_t>(a)))
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
    bus.jump_on_reset = model_.reset == ResetKind::JumpOnReset;
    if (model_.reset == ResetKind::LongBranchTo8000) {
        state.R[0] = 0x8000;
        bus.cycles += 3;
    }
    if (serial_)
        serial_->reset(bus.cycles, state.Q);
}

void Board::output_port(unsigned port, uint8_t value, uint64_t)
{
    if (port == kFrontPanelPort)
        leds = value;
}

std::optional<uint8_t> Board::input_port(unsigned port, uint64_t)
{
    if (port == kFrontPanelPort)
        return switches;
    return std::nullopt;
}

bool Board::ef(unsigned line, uint64_t cycle)
{
    if (const auto held = held_ef(line))
        return *held;
    if (serial_ && line == serial_->settings().ef_line)
        return serial_->ef(cycle);
    return line == 4 && in_down(cycle);
}

void Board::q_changed(bool q, uint64_t cycle)
{
    if (serial_)
        serial_->q_changed(q, cycle);
}

bool Board::quiet(uint64_t cycle) const
{
    if (quiet_cycles_ == 0)
        return false;
    return serial_ ? serial_->quiet(cycle, quiet_cycles_) : cycle >= quiet_cycles_;
}

bool Board::poll(uint64_t cycle)
{
    if (serial_)
        serial_->advance(cycle);
    return cycle >= pause_at_ || quiet(cycle);
}

}  // namespace cosmac

#include "monitor/debug_text.hpp"

#include <algorithm>
#include <cinttypes>

#include "cpu/opcode_table.hpp"
#include "text/text.hpp"

namespace cosmac {
namespace {

std::string at(uint16_t address, const SymbolTable& symbols) { return hex_text(address, 4) + symbols.describe(address); }

// The console machine's service as what it did: the character written or the
// key read, with the character itself where it prints.
std::string console_service_line(const HistoryStep& step)
{
    const auto shown = [](uint8_t c) {
        return hex_text(c, 2) + (c >= 0x20 && c <= 0x7E ? std::string(" '") + static_cast<char>(c) + "'" : "");
    };
    const std::string address = hex_text(step.record->pc, 4);
    return (step.record->operands[0] & 0xF) == 1 ? address + " PUTC " + shown(step.before.D)
                                                 : address + " GETC \u2192 " + shown(step.after.D);
}

// 68 01 and 68 02 on the 1802, 68 D1 and 68 D2 on the extended set (step.wide).
bool is_console_service(const HistoryStep& step)
{
    const HistoryRecord& record = *step.record;
    const uint8_t function = record.operands[0];
    const bool service = step.wide ? function == kConsoleWrite || function == kConsoleKey : function == 1 || function == 2;
    return record.is_instruction() && !record.on_board() && record.opcode == kExtendedPrefix && service;
}

// The columns a line takes on the screen: its UTF-8 bytes less continuation bytes.
std::size_t columns(std::string_view line)
{
    return static_cast<std::size_t>(std::count_if(line.begin(), line.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

}  // namespace

std::string stop_reason(const DebugOutcome& outcome, const SymbolTable& symbols, std::string_view ignored_by)
{
    const HistoryRecord& record = outcome.record;
    std::string store;
    if (!record.dropped())
        store = ", " + hex_text(record.old_byte, 2) + " -> " + hex_text(record.new_byte, 2);
    else if (ignored_by.empty())
        store = ", dropped by the protected window";
    else
        store = ", " + hex_text(record.new_byte, 2) + " ignored (" + std::string(ignored_by) + ")";
    switch (outcome.stop) {
    case StopKind::Breakpoint:
        return "Breakpoint at " + at(outcome.address, symbols);
    case StopKind::Watchpoint:
        return "Watchpoint: " + at(record.store_address, symbols) + " written by " +
               (record.is_instruction() ? at(record.pc, symbols) : "DMA in") + store;
    case StopKind::Interrupted:
        return "Break";
    case StopKind::Unused:
        return "Unused 1805 opcode at " + at(outcome.address, symbols);
    default:
        return {};
    }
}

std::string instruction_line(const Disassembly& instruction, const SymbolTable& symbols)
{
    const std::string_view name = instruction.target ? symbols.name_at(*instruction.target) : std::string_view();
    if (name.empty())
        return instruction.line;
    std::string line(instruction.line, 0, instruction.line.size() - 1);  // without its newline
    line += ' ';
    line += name;
    return line + '\n';
}

std::string trace_line(const HistoryStep& step, const SymbolTable& symbols)
{
    const MachineState& before = step.before;
    const MachineState& after = step.after;
    const HistoryRecord& record = *step.record;
    const bool instruction = record.is_instruction();
    std::string line = is_console_service(step) ? console_service_line(step) + "\n"
                       : instruction ? instruction_line(disassemble(record.bytes(), record.pc, step.wide != nullptr), symbols)
                       : record.kind == RecordKind::DmaIn ? "DMA in\n"
                                                          : "DMA out\n";
    line.pop_back();  // the newline

    std::string changes;
    for (const StateField& field : kStateFields) {
        // N and I hold the opcode, which the line shows already.
        if (field.name != "N" && field.name != "I" && before.*field.member != after.*field.member)
            changes.append(" ").append(field.name).append("=").append(hex_text(after.*field.member, field.digits()));
    }
    for (unsigned n = 0; n < 16; ++n) {
        if ((n != before.P || !instruction) && before.R[n] != after.R[n])  // R(P) moves on every instruction
            changes += formatted(" R%X=%04x", n, after.R[n]);
    }
    if (step.wide) {
        for (const CounterField& field : kCounterFields) {
            if (before.counter.*field.member != after.counter.*field.member)
                changes.append(" ").append(field.name).append("=").append(
                    hex_text(after.counter.*field.member, field.digits()));
        }
        if (before.counter.mode != after.counter.mode)
            changes.append(" counter=").append(counter_mode_name(after.counter.mode));
    }
    if (record.has_store())
        changes += formatted(" M(%04x)=%02x%s", record.store_address, record.new_byte,
                             record.dropped() ? " dropped" : "");
    for (unsigned store = 0; step.wide && store < step.wide->more; ++store) {
        const WideRecord::Store& more = step.wide->more_stores[store];
        changes += formatted(" M(%04x)=%02x%s", more.address, more.new_byte, more.lands ? "" : " dropped");
    }
    if (record.kind == RecordKind::DmaOut)
        changes += formatted(" out %02x", record.new_byte);
    if (!changes.empty()) {
        constexpr std::size_t kChangesColumn = 20;
        line.append(std::max<std::size_t>(1, kChangesColumn - std::min(columns(line), kChangesColumn)), ' ');
        line += changes.substr(1);
    }
    return (instruction ? symbols.label_lines(record.pc) : "") + line + "\n";
}

std::string cycles_line(uint64_t cycles, double clock_mhz)
{
    const double milliseconds = static_cast<double>(cycles) * kClocksPerMachineCycle / (clock_mhz * 1000);
    if (milliseconds > 10000)
        return formatted("%" PRIu64 " machine cycles, %.3f s at %g MHz\n", cycles, milliseconds / 1000, clock_mhz);
    return formatted("%" PRIu64 " machine cycles, %.3f ms at %g MHz\n", cycles, milliseconds, clock_mhz);
}

}  // namespace cosmac

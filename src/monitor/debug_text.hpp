// The wording of debugger mode: how its stops, traced instructions and cycles
// read, with the loaded symbols wherever an address has one.
#pragma once

#include <cstdint>
#include <string>

#include "cpu/disassembler.hpp"
#include "debug/debugger.hpp"
#include "debug/history.hpp"
#include "debug/symbols.hpp"

namespace cosmac {

// "Breakpoint at 0039 nextval", "Watchpoint: 0305 (buffer+5) written by 0032
// (floop+3), 00 -> 30" (or "by DMA in"), "Break"; empty for a run that stopped
// as a plain one does.
// A watched store that was not made was dropped by the protected window, or on a
// board ignored by what ignored_by names ("... written by 0012, 5a ignored (ROM)").
std::string stop_reason(const DebugOutcome& outcome, const SymbolTable& symbols, std::string_view ignored_by);

// The instruction as u lists it, its branch or call target followed by the
// target's name where it has one: "0030 Call 0039 nextval".
std::string instruction_line(const Disassembly& instruction, const SymbolTable& symbols);

// The labels at the instruction, then the instruction as it ran and what it
// changed; a DMA cycle as "DMA in" or "DMA out" and what it changed. On the
// 1805 the counter's changes are among them, its mode as "counter=timer".
std::string trace_line(const HistoryStep& step, const SymbolTable& symbols);

// "1234 machine cycles, 2.468 ms at 4 MHz"; seconds once the time passes 10,000 ms.
std::string cycles_line(uint64_t cycles, double clock_mhz);

}  // namespace cosmac

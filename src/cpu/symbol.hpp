// A name for an address of the machine's memory: a label or constant of a
// program, as the assembler makes them, symbol files keep them and the debugger
// shows them.
#pragma once

#include <compare>
#include <cstdint>
#include <string>

namespace cosmac {

struct SymbolEntry {
    uint16_t address;
    std::string name;

    auto operator<=>(const SymbolEntry&) const = default;  // by address, then name
};

}  // namespace cosmac

// A name of a program, as the assembler makes them, symbol files keep them and
// the debugger shows them: a label names an address in the program; a value
// (an equate, a variable, a definition on the command line) is only a number,
// which the user may type but which names no address in what is shown.
#pragma once

#include <compare>
#include <cstdint>
#include <string>

namespace cosmac {

enum class SymbolKind : uint8_t { Label, Value };

struct SymbolEntry {
    uint16_t address;
    std::string name;
    SymbolKind kind = SymbolKind::Label;

    auto operator<=>(const SymbolEntry&) const = default;  // by address, then name
};

}  // namespace cosmac

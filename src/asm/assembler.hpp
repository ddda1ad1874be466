// A two-pass assembler for the 1802 in the monitor's own language: the mnemonics
// the disassembler prints, hexadecimal numbers, and images the L command loads.
#pragma once

#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cpu/machine_state.hpp"
#include "image/symbol_file.hpp"

namespace cosmac {

struct AssemblyError {
    int line;  // 1-based
    std::string message;
};

// One line of the listing: the address and bytes a source line produced.
struct ListingLine {
    bool has_address = false;
    uint16_t address = 0;
    std::vector<uint8_t> bytes;
    std::string source;
};

struct Assembly {
    Memory memory{};                 // assembled bytes; the rest is 00
    std::bitset<0x10000> assembled;  // which addresses a statement produced
    std::vector<ListingLine> listing;
    std::vector<AssemblyError> errors;
    std::vector<SymbolEntry> symbols;  // every label and EQU, with the low 16 bits of its value

    bool empty() const { return assembled.none(); }
    uint16_t lowest() const;
    uint16_t highest() const;
};

Assembly assemble(std::string_view source);

// Listing text: address, bytes and source line.
std::string listing_text(const Assembly& assembly);

}  // namespace cosmac

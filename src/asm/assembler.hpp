// A two-pass assembler for the 1802 in the monitor's own language: the mnemonics
// the disassembler prints, hexadecimal numbers, and images the L command loads.
#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cpu/machine_state.hpp"
#include "cpu/opcode_table.hpp"
#include "cpu/source_line.hpp"
#include "cpu/symbol.hpp"

namespace cosmac {

struct AssemblyError {
    int line;          // 1-based; 0 for what the options define (-D)
    std::string message;
    std::string file;  // an included file; empty for the source itself
};

// One line of the listing: the address and bytes a source line produced. The
// second pass sets every field.
struct ListingLine {
    bool has_address{};
    uint16_t address{};
    std::vector<uint8_t> bytes;
    std::string source;
};

struct Assembly {
    Memory memory{};                 // assembled bytes; the rest is 00
    std::bitset<kMemorySize> assembled;  // which addresses a statement produced
    std::vector<ListingLine> listing;
    std::vector<AssemblyError> errors;
    std::vector<AssemblyError> warnings;  // the bytes are made, but perhaps not as meant
    // Values the notation's own rules changed, as its assembler does silently:
    // arithmetic wrapped to its width, an immediate cut to its low byte.
    std::vector<AssemblyError> notices;
    std::vector<SymbolEntry> symbols;  // every label and EQU, with the low 16 bits of its value
    LineTable lines;  // the source's path is file 0, and each include's as it was opened

    bool empty() const { return assembled.none(); }
    uint16_t lowest() const;
    uint16_t highest() const;
};

// Reads an included file: its text, or empty with the reason in error.
using IncludeReader = std::function<std::optional<std::string>(const std::string& path, std::string& error)>;

// The date, time and build number that Asm/02's VER, EVER and EEVER stamp into
// Elf/OS program headers.
struct BuildStamp {
    int year = 1970;
    int month = 1;  // 1-12
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    unsigned build = 0;
};

struct AssemblyOptions {
    std::string_view syntax = "cosmac";  // a name known_syntax() takes; a first-line comment may choose another
    std::string source_name;             // the source's path, against which includes are found
    IncludeReader read_include;          // none: includes are errors
    std::vector<std::string> include_directories;  // searched in order after the including file's own
    // NAME=VALUE (or NAME, for 1) before the first line: #define in a notation
    // with a preprocessor, an equate in the others.
    std::vector<std::string> predefined;
    BuildStamp build_stamp;
    // --cpu: the instruction set the source starts with. A source's own switch
    // (.1805, CPU 1805, .cpu 1802) changes it from its line on.
    CpuModel cpu = CpuModel::Cdp1802;
};

// The notations, by the names --syntax takes.
bool known_syntax(std::string_view name);

Assembly assemble(std::string_view source, const AssemblyOptions& options = {});

// Listing text: address, bytes and source line.
std::string listing_text(const Assembly& assembly);

}  // namespace cosmac

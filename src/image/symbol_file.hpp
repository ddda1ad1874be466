// Symbol files: one "xxxx name kind" line for each name of a program, sorted by
// address, as cosmac-asm writes them beside its output; the kind is label or
// value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cpu/symbol.hpp"

namespace cosmac {

std::string symbol_file_text(std::vector<SymbolEntry> symbols);

// No such file is no error: it reads as no symbols and no problems.
struct SymbolFile {
    std::vector<SymbolEntry> symbols;
    std::vector<std::string> problems;  // "file:line: message" for each line skipped, or why it could not be read
};

SymbolFile read_symbol_file(const std::string& path);

// The symbol file that belongs to an image or other program file: the same name
// with .sym in the place of its extension.
std::string symbol_file_name(std::string_view program_file);

}  // namespace cosmac

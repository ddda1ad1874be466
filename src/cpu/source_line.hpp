// Where each part of a program came from: for every source line that made
// bytes, its addresses and its file and line, as the assembler makes the table,
// line files keep it and the debugger shows the source at a stop.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cosmac {

struct LineTable {
    struct Entry {
        uint16_t address;
        uint16_t size;  // bytes, from address on
        uint32_t file;  // an index into files
        uint32_t line;  // 1-based

        auto operator<=>(const Entry&) const = default;
    };

    std::vector<std::string> files;
    std::vector<Entry> entries;  // in the order the lines were assembled
};

}  // namespace cosmac

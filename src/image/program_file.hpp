// Program files as command lines name them: an image, recognised by its header;
// Intel HEX, recognised by the .hex or .ihx extension or by its content; or raw
// binary, named NAME@ADDRESS. A name without a dot gets .elf, as L gives it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cpu/machine_state.hpp"

namespace cosmac {

struct LoadedProgram {
    std::string path;                // the file read
    std::optional<uint16_t> lowest;  // the lowest address it loaded
    std::string error;               // "name: message" or "name:line: message"; nothing was loaded then
};

// All or nothing: memory changes only when the whole file is good.
LoadedProgram load_program(std::string_view argument, Memory& memory);

// An address as command lines give it: one to four hexadecimal digits, nothing else.
std::optional<uint16_t> parse_address(std::string_view text);

}  // namespace cosmac

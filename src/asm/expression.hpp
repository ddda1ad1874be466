// Expressions: terms joined by + and -. A term is a number in the notation's
// form, a character ('A'), $ for the statement's address, a symbol, LOW(e),
// HIGH(e) or (e).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "asm/notation.hpp"

namespace cosmac::assembler {

struct Symbol {
    int64_t value;
    int line;               // where it was defined
    bool variable{};        // SET: may be set again
    int file{};             // the source 0, an included file, or -1 for a command-line definition
    bool label{};           // the address of a line, not an equate's value
};

using Symbols = std::map<std::string, Symbol, std::less<>>;

// scope: the global label that .NAME labels belong to, where the notation has them.
Evaluated evaluate(std::string_view text, const Symbols& symbols, uint16_t here, const Notation& notation,
                   std::string_view scope = {});

}  // namespace cosmac::assembler

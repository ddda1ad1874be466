// The choices that make up one assembler's notation. The statement parser, the
// expression evaluator and the encoder are shared; a notation only says how its
// comments start and how its numbers are written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cosmac::assembler {

// A value, or why there is none.
struct Evaluated {
    std::optional<int64_t> value;
    std::string error;
};

struct Notation {
    char comment;
    // The value of a word that is a number in this notation, or an error for a
    // malformed one; empty for a word that is no number, such as a name.
    std::optional<Evaluated> (*number)(std::string_view word);
};

// The monitor's own notation: numbers are hexadecimal as everywhere in the
// monitor (12ab, 0x12ab), decimal ones end with a dot (65.), comments start with ;.
extern const Notation kCosmacNotation;

}  // namespace cosmac::assembler

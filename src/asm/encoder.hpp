// The bytes of one instruction or data statement. The first pass takes a
// statement's size from the same encoding that the second pass takes its bytes
// from: each operand form emits a number of bytes that its text alone decides,
// whatever its value, so the two passes cannot disagree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "asm/expression.hpp"
#include "asm/notation.hpp"

namespace cosmac::assembler {

struct Encoded {
    std::vector<uint8_t> bytes;
    std::vector<std::string> errors;  // meaningful once every symbol is defined
};

// What encode needs of a statement: its operation (an instruction, or a data or
// pseudo-instruction directive), operands, address and, for FILL, the count that
// the first pass took.
struct EncodeRequest {
    std::string_view operation;
    Directive directive;
    std::string_view operands;
    uint16_t address;
    uint32_t count;
};

// Empty when the operation names no instruction or directive that makes bytes.
std::optional<Encoded> encode(const EncodeRequest& request, const Symbols& symbols, const Notation& notation);

}  // namespace cosmac::assembler

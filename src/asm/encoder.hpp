// The bytes of one instruction or data statement. The first pass takes a
// statement's size from the same encoding that the second pass takes its bytes
// from: each operand form emits a number of bytes that its text alone decides,
// whatever its value, and a .op form chosen in the first pass is kept in the
// second, so the two passes cannot disagree.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "asm/assembler.hpp"
#include "asm/expression.hpp"
#include "asm/notation.hpp"

namespace cosmac::assembler {

// Stands in for a value in error, so that its statement keeps a size: an
// assembly with errors writes no output, so the value itself is never seen.
constexpr int64_t kValueInError = 0;

struct Encoded {
    std::vector<uint8_t> bytes;
    std::vector<std::string> errors;  // meaningful once every symbol is defined
    std::vector<std::string> warnings;
    // Where the notation's own rules changed a value: arithmetic wrapped, an
    // immediate cut to its low byte. Shown only when asked for (cosmac-asm -W).
    std::vector<std::string> notices;
    std::optional<std::string> user_op;  // the .op form chosen, by its operand letters
};

// An instruction of the source's own (Asm/02's .op): its operands' letters (B a
// byte, N a nybble, W a word, R a register name other than r0) and its bytes as
// tokens: two hex digits; a hex digit and $n (the digit, then operand n's low
// four bits); Hn, Ln, Wn (operand n's high byte, low byte, both).
struct UserOp {
    std::string name;  // upper case
    std::string arguments;
    std::vector<std::string> tokens;
    bool predefined = false;  // the notation's, which a source's own .op of the name replaces
};

// The operands of a .op line: "NAME","ARGS","BYTES"; empty, with the problem
// said, where they are not that.
std::optional<UserOp> parse_user_op(std::string_view operands, std::string& problem);

// What encode needs of a statement: its operation (an instruction, or a data or
// pseudo-instruction directive), operands, address and, for FILL, the count that
// the first pass took.
struct EncodeRequest {
    std::string_view operation;
    Directive directive;
    std::string_view operands;
    uint16_t address;
    uint32_t count;
    std::span<const UserOp> user_ops;
    std::string_view data_list;  // RCA: bytes that follow the instruction's own
    std::string_view scope;      // SB: the global label of .NAME labels
    std::optional<std::string> user_op;  // the .op form the first pass chose, which the second keeps
    const BuildStamp* build_stamp = nullptr;
    bool extended_set = false;  // the 1804/1805/1806's instructions assemble here
};

// Empty when the operation names no instruction or directive that makes bytes.
std::optional<Encoded> encode(const EncodeRequest& request, const Symbols& symbols, const Notation& notation);

}  // namespace cosmac::assembler

// The bytes of one statement as they are made: the values of its operands, in
// the sizes and ranges of their places, with the errors and warnings met on the
// way. Instructions and data directives both write through it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "asm/encoder.hpp"

namespace cosmac::assembler {

// A byte or a word takes any value that fits it as an unsigned or as a signed number.
constexpr int64_t kLowestByte = -0x80;
constexpr int64_t kLowestWord = -0x8000;

class Encoder {
public:
    Encoder(std::string_view operation, uint16_t address, const Symbols& symbols, const Notation& notation,
            std::string_view scope);

    Encoded result;

    void error(std::string message) { result.errors.push_back(std::move(message)); }
    void warning(std::string message) { result.warnings.push_back(std::move(message)); }
    void notice(std::string message) { result.notices.push_back(std::move(message)); }
    const std::string& operation() const { return operation_; }
    const Notation& notation() const { return notation_; }
    const Symbols& symbols() const { return symbols_; }
    std::string_view scope() const { return scope_; }
    uint16_t address() const { return address_; }
    void emit(uint8_t byte) { result.bytes.push_back(byte); }

    // Always one byte: the byte of the 16-bit value at the shift.
    void emit_selected_byte(std::string_view text, int shift);
    // Always one byte: an immediate or a DB value. In RCA's notation an immediate
    // is the low byte of any value; Asm/02 keeps the low byte of any 16-bit
    // value, and says so.
    void emit_byte(std::string_view text);
    // Always two bytes, high first, as the 1802 keeps addresses.
    void emit_word(std::string_view text, int64_t low, const char* what);
    // Always one byte. A literal of at most two hex digits is the low byte, as the
    // disassembler shows it; anything else is a full address in the page of the
    // operand byte.
    void emit_short_branch(std::string_view text);

    // True when the statement has the one operand it takes, or none when it takes
    // none; otherwise the error says which.
    bool expect_operands(const std::vector<std::string_view>& operands, bool takes_one);

    // The value of an operand, or empty with the error noted when it has none.
    // A literal holds at most 32 bits and arithmetic wraps into the notation's
    // width, so every value it gives fits 32 bits as an unsigned or a signed number.
    std::optional<int64_t> any_value(std::string_view text);
    // The same, also empty with the error noted when it lies outside low..high.
    std::optional<int64_t> number_in(std::string_view text, int64_t low, int64_t high, const char* what);

private:
    std::string operation_;
    uint16_t address_;
    const Symbols& symbols_;
    const Notation& notation_;
    std::string_view scope_;
};

}  // namespace cosmac::assembler

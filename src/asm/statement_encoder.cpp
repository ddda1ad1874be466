#include "asm/statement_encoder.hpp"

#include <string>

#include "asm/text.hpp"

namespace cosmac::assembler {

Encoder::Encoder(std::string_view operation, uint16_t address, const Symbols& symbols, const Notation& notation,
                 std::string_view scope)
    : operation_(upper(operation)), address_(address), symbols_(symbols), notation_(notation), scope_(scope)
{
}

void Encoder::emit_selected_byte(std::string_view text, int shift)
{
    emit(static_cast<uint8_t>(number_in(text, kLowestWord, 0xFFFF, "a word").value_or(kValueInError) >> shift));
}

void Encoder::emit_byte(std::string_view text)
{
    if (notation_.bytes_keep_low_byte) {
        const int64_t value = number_in(text, kLowestWord, 0xFFFF, "a value").value_or(kValueInError);
        if (value > 0xFF || value < kLowestByte)
            warning(value_text(notation_, value) + " does not fit in a byte; stored " + hex_text(value & 0xFF, 2));
        emit(static_cast<uint8_t>(value));
        return;
    }
    if (!notation_.immediates_take_low_byte) {
        emit(static_cast<uint8_t>(number_in(text, kLowestByte, 0xFF, "a byte").value_or(kValueInError)));
        return;
    }
    if (notation_.rca_free_form && upper(trim(text)).starts_with("A("))
        error("A(...) is two bytes; an immediate takes one (A.0 or A.1)");
    const int64_t value = any_value(text).value_or(kValueInError);
    if (value > 0xFF || value < kLowestByte)
        notice(value_text(notation_, value) + " cut to its low byte " + hex_text(value & 0xFF, 2));
    emit(static_cast<uint8_t>(value));
}

void Encoder::emit_word(std::string_view text, int64_t low, const char* what)
{
    const bool wide = notation_.sb_layout;  // SB cuts wider values silently
    const int64_t value = (wide ? any_value(text) : number_in(text, low, 0xFFFF, what)).value_or(kValueInError);
    emit(static_cast<uint8_t>(value >> 8));
    emit(static_cast<uint8_t>(value));
}

void Encoder::emit_short_branch(std::string_view text)
{
    if (notation_.low_byte_branch_literals && text.size() <= 2 && all_hex_digits(text)) {
        emit(static_cast<uint8_t>(std::stoul(std::string(text), nullptr, 16)));
        return;
    }
    const auto target = number_in(text, 0, 0xFFFF, "an address");
    const auto operand_address = static_cast<uint16_t>(address_ + result.bytes.size());
    if (target && (*target & 0xFF00) != (operand_address & 0xFF00))
        error("branch target " + hex_text(*target, 4) + " is outside the page of the branch's operand byte at " +
              hex_text(operand_address, 4) + " (" + hex_text(operand_address & 0xFF00, 4) + "-" + hex_text(operand_address | 0xFF, 4) +
              ")");
    emit(static_cast<uint8_t>(target.value_or(kValueInError)));
}

bool Encoder::expect_operands(const std::vector<std::string_view>& operands, bool takes_one)
{
    const bool has_one = operands.size() == 1 && !operands[0].empty();
    if (takes_one ? has_one : operands.empty())
        return true;
    if (takes_one && (operands.empty() || operands[0].empty()))
        error("missing operand for " + operation_);
    else
        error(operation_ + " takes " + (takes_one ? "one operand" : "no operand"));
    return false;
}

std::optional<int64_t> Encoder::any_value(std::string_view text)
{
    const Evaluated v = evaluate(text, symbols_, address_, notation_, scope_);
    if (!v.value)
        error(v.error);
    if (v.wrapped)
        notice(wrapped_notice(notation_));
    return v.value;
}

std::optional<int64_t> Encoder::number_in(std::string_view text, int64_t low, int64_t high, const char* what)
{
    const auto value = any_value(text);
    if (value && (*value < low || *value > high)) {
        error("value " + value_text(notation_, *value) + " does not fit in " + what);
        return std::nullopt;
    }
    return value;
}

}  // namespace cosmac::assembler

#include "asm/encoder.hpp"

#include <cstdio>

#include "asm/mnemonics.hpp"
#include "asm/text.hpp"

namespace cosmac::assembler {
namespace {

class Encoder {
public:
    Encoder(std::string_view operation, uint16_t address, const Symbols& symbols, const Notation& notation)
        : operation_(upper(operation)), address_(address), symbols_(symbols), notation_(notation)
    {
    }

    Encoded result;

    void error(std::string message) { result.errors.push_back(std::move(message)); }
    void emit(uint8_t byte) { result.bytes.push_back(byte); }

    // Always one byte.
    void emit_byte(std::string_view text)
    {
        emit(static_cast<uint8_t>(checked(text, -0x80, 0xFF, "a byte").value_or(0)));
    }

    // Always two bytes, high first, as the 1802 keeps addresses.
    void emit_word(std::string_view text, int64_t low, const char* what)
    {
        const int64_t value = checked(text, low, 0xFFFF, what).value_or(0);
        emit(static_cast<uint8_t>(value >> 8));
        emit(static_cast<uint8_t>(value));
    }

    // Always one byte. A literal of at most two hex digits is the low byte, as the
    // disassembler shows it; anything else is a full address in the page of the
    // operand byte.
    void emit_short_branch(std::string_view text)
    {
        if (text.size() <= 2 && all_hex_digits(text)) {
            emit(static_cast<uint8_t>(std::stoul(std::string(text), nullptr, 16)));
            return;
        }
        const auto target = checked(text, 0, 0xFFFF, "an address");
        const auto operand_address = static_cast<uint16_t>(address_ + result.bytes.size());
        if (target && (*target & 0xFF00) != (operand_address & 0xFF00))
            error("branch target " + hex(*target) + " is outside the page of the branch's operand byte at " +
                  hex(operand_address) + " (" + hex(operand_address & 0xFF00) + "-" + hex(operand_address | 0xFF) +
                  ")");
        emit(static_cast<uint8_t>(target.value_or(0)));
    }

    // True when there are exactly count operands, none of them empty.
    bool expect_operands(const std::vector<std::string_view>& operands, std::size_t count)
    {
        if (operands.size() == count && (count == 0 || !operands[0].empty()))
            return true;
        if (operands.size() < count || (count == 1 && operands[0].empty()))
            error("missing operand for " + operation_);
        else
            error(operation_ + " takes " + (count == 0 ? "no operand" : "one operand"));
        return false;
    }

    const std::string& operation() const { return operation_; }

private:
    std::optional<int64_t> checked(std::string_view text, int64_t low, int64_t high, const char* what)
    {
        const Evaluated v = evaluate(text, symbols_, address_, notation_);
        if (!v.value) {
            error(v.error);
            return std::nullopt;
        }
        if (*v.value < low || *v.value > high) {
            char number[24];
            std::snprintf(number, sizeof number, "%s%llx", *v.value < 0 ? "-" : "",
                          static_cast<unsigned long long>(*v.value < 0 ? -*v.value : *v.value));
            error(std::string("value ") + number + " does not fit in " + what);
            return std::nullopt;
        }
        return v.value;
    }

    std::string operation_;
    uint16_t address_;
    const Symbols& symbols_;
    const Notation& notation_;
};

void encode_bytes(Encoder& e, const std::vector<std::string_view>& items)
{
    if (items.empty())
        e.error("DB needs at least one value");
    for (std::string_view item : items) {
        if (!item.starts_with('"')) {
            e.emit_byte(item);
            continue;
        }
        const StringLiteral literal = string_literal(item);
        if (literal.error)
            e.error(literal.error);
        for (uint8_t byte : literal.bytes)
            e.emit(byte);
    }
}

void encode_words(Encoder& e, const std::vector<std::string_view>& items)
{
    for (std::string_view item : items)
        e.emit_word(item, -0x8000, "a word");
}

void encode_fixed(Encoder& e, const Fixed& fixed, const std::vector<std::string_view>& operands)
{
    e.emit(fixed.opcode);
    const bool has_operand = fixed.operand != OperandKind::None;
    const bool operands_ok = e.expect_operands(operands, has_operand ? 1 : 0);
    const std::string_view operand = operands_ok && has_operand ? operands[0] : "0";
    switch (fixed.operand) {
    case OperandKind::None:
        break;
    case OperandKind::Byte:
        e.emit_byte(operand);
        break;
    case OperandKind::ShortBranch:
        e.emit_short_branch(operand);
        break;
    case OperandKind::Word:
        e.emit_word(operand, 0, "an address");
        break;
    }
}

void encode_family(Encoder& e, const Family& family, const std::vector<std::string_view>& operands)
{
    if (!e.expect_operands(operands, 1)) {
        e.emit(0);
        return;
    }
    std::string_view operand = operands[0];
    if (operand.size() == 2 && (operand[0] == 'R' || operand[0] == 'r') && !family.port)
        operand.remove_prefix(1);
    const int number = operand.size() == 1 && is_hex_digit(operand[0])
                           ? static_cast<int>(std::stoi(std::string(operand), nullptr, 16))
                           : -1;
    const int opcode = number >= 0 ? family.opcodes[static_cast<std::size_t>(number)] : -1;
    if (opcode < 0)
        e.error(std::string(family.port ? "bad port '" : "bad register '") + std::string(operands[0]) + "' for " +
                e.operation() + (family.port ? " (1-7)" : ""));
    e.emit(static_cast<uint8_t>(opcode < 0 ? 0 : opcode));
}

}  // namespace

std::optional<Encoded> encode(std::string_view operation, std::string_view operand_text, uint16_t address,
                              const Symbols& symbols, const Notation& notation)
{
    Encoder e(operation, address, symbols, notation);
    const std::vector<std::string_view> operands = split_operands(operand_text);
    if (e.operation() == "DB") {
        encode_bytes(e, operands);
    } else if (e.operation() == "DW") {
        encode_words(e, operands);
    } else if (const auto helper = find_console_helper(operation)) {
        e.expect_operands(operands, 0);
        e.emit((*helper)[0]);
        e.emit((*helper)[1]);
    } else if (const Fixed* fixed = find_fixed(operation)) {
        encode_fixed(e, *fixed, operands);
    } else if (const Family* family = find_family(operation)) {
        encode_family(e, *family, operands);
    } else {
        return std::nullopt;
    }
    return std::move(e.result);
}

}  // namespace cosmac::assembler

#include "asm/encoder.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "asm/mnemonics.hpp"
#include "asm/text.hpp"

namespace cosmac::assembler {
namespace {

class Encoder {
public:
    Encoder(std::string_view operation, uint16_t address, const Symbols& symbols, const Notation& notation,
            std::string_view scope)
        : operation_(upper(operation)), address_(address), symbols_(symbols), notation_(notation), scope_(scope)
    {
    }

    Encoded result;

    void error(std::string message) { result.errors.push_back(std::move(message)); }
    void warning(std::string message) { result.warnings.push_back(std::move(message)); }
    const Symbols& symbols() const { return symbols_; }
    std::string_view scope() const { return scope_; }
    uint16_t address() const { return address_; }
    void emit(uint8_t byte) { result.bytes.push_back(byte); }

    // Always one byte: the byte of the 16-bit value at the shift.
    void emit_selected_byte(std::string_view text, int shift)
    {
        emit(static_cast<uint8_t>(number_in(text, -0x8000, 0xFFFF, "a word").value_or(0) >> shift));
    }

    // Always one byte. In RCA's notation an immediate is the low byte of any value.
    void emit_byte(std::string_view text)
    {
        if (!notation_.immediates_take_low_byte) {
            emit(static_cast<uint8_t>(number_in(text, -0x80, 0xFF, "a byte").value_or(0)));
            return;
        }
        if (notation_.rca_free_form && upper(trim(text)).starts_with("A("))
            error("A(...) is two bytes; an immediate takes one (A.0 or A.1)");
        emit(static_cast<uint8_t>(number_in(text, -0x80000000LL, 0xFFFFFFFF, "a value").value_or(0)));
    }

    // A DB value. Asm/02 keeps the low byte of a wider one, which this says.
    void emit_data_byte(std::string_view text)
    {
        if (!notation_.data_bytes_keep_low_byte) {
            emit_byte(text);
            return;
        }
        const int64_t value = number_in(text, -0x8000, 0xFFFF, "a value").value_or(0);
        if (value > 0xFF || value < -0x80)
            warning(value_text(notation_, value) + " does not fit in a byte; stored " + hex_text(value & 0xFF, 2));
        emit(static_cast<uint8_t>(value));
    }

    // Always two bytes, high first, as the 1802 keeps addresses.
    void emit_word(std::string_view text, int64_t low, const char* what)
    {
        const bool wide = notation_.sb_layout;  // SB cuts wider values silently
        const int64_t value = number_in(text, wide ? -0x80000000LL : low, wide ? 0xFFFFFFFF : 0xFFFF, what).value_or(0);
        emit(static_cast<uint8_t>(value >> 8));
        emit(static_cast<uint8_t>(value));
    }

    // Always one byte. A literal of at most two hex digits is the low byte, as the
    // disassembler shows it; anything else is a full address in the page of the
    // operand byte.
    void emit_short_branch(std::string_view text)
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
    const Notation& notation() const { return notation_; }

    // The value of an operand, or empty with the error noted when it has none or
    // lies outside low..high.
    std::optional<int64_t> number_in(std::string_view text, int64_t low, int64_t high, const char* what)
    {
        const Evaluated v = evaluate(text, symbols_, address_, notation_, scope_);
        if (!v.value) {
            error(v.error);
            return std::nullopt;
        }
        if (*v.value < low || *v.value > high) {
            error("value " + value_text(notation_, *v.value) + " does not fit in " + what);
            return std::nullopt;
        }
        return v.value;
    }

private:
    std::string operation_;
    uint16_t address_;
    const Symbols& symbols_;
    const Notation& notation_;
    std::string_view scope_;
};

// A string item: a quoted literal and nothing after it, "..." always, '...' of
// more than one character where strings are values ('A'+1 is an expression).
bool is_string_item(const Encoder& e, std::string_view item)
{
    if (item.size() < 2 || (item[0] != '"' && item[0] != '\''))
        return false;
    std::size_t i = 1;
    while (i < item.size() && item[i] != item[0])
        i += item[i] == '\\' ? 2 : 1;
    if (i + 1 != item.size())
        return item[0] == '"';  // an unterminated "..." is reported as a string
    return item[0] == '"' || (e.notation().strings_are_values && item.size() > 3);
}

void encode_bytes(Encoder& e, const std::vector<std::string_view>& items)
{
    if (items.empty())
        e.error(e.operation() + " needs at least one value");
    for (std::string_view item : items) {
        if (!is_string_item(e, item)) {
            e.emit_data_byte(item);
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
        e.emit_word(item.empty() ? "0" : item, -0x8000, "a word");
}

// TEXT: quoted strings, separated by blanks or commas, copied as written.
void encode_text(Encoder& e, std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == ',') {
            ++i;
            continue;
        }
        const std::size_t close = c == '"' || c == '\'' ? text.find(c, i + 1) : std::string_view::npos;
        if (close == std::string_view::npos) {
            e.error("TEXT takes quoted strings");
            return;
        }
        for (const char byte : text.substr(i + 1, close - i - 1))
            e.emit(static_cast<uint8_t>(byte));
        i = close + 1;
    }
}

void encode_fill(Encoder& e, const std::vector<std::string_view>& operands, uint32_t count)
{
    const std::string_view value = operands.empty() ? "0" : operands[0];
    for (uint32_t i = 0; i < count; ++i)
        e.emit_byte(value);
}

// LOAD r, v: LDI high, PHI r, LDI low, PLO r.
void encode_load(Encoder& e, const std::vector<std::string_view>& operands)
{
    const bool ok = operands.size() == 2;
    if (!ok)
        e.error("LOAD takes a register and a value");
    const int64_t r = ok ? e.number_in(operands[0], 0, 15, "a register").value_or(0) : 0;
    const std::string_view value = ok ? operands[1] : "0";
    e.emit(0xF8);
    e.emit_selected_byte(value, 8);
    e.emit(static_cast<uint8_t>(0xB0 + r));
    e.emit(0xF8);
    e.emit_selected_byte(value, 0);
    e.emit(static_cast<uint8_t>(0xA0 + r));
}

void encode_fixed(Encoder& e, const Fixed& fixed, std::vector<std::string_view> operands)
{
    if (fixed.operand == OperandKind::None && e.notation().sb_layout)
        operands.clear();  // SB: what follows an instruction without operands is comment
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
    int number = -1;
    if (e.notation().registers_are_expressions) {
        const int64_t highest = e.notation().rca_free_form && !family.port ? 0xFFFF : 15;  // RCA takes the low four bits
        number = static_cast<int>(e.number_in(operand, 0, highest, family.port ? "a port" : "a register").value_or(-1));
        if (number > 15)
            number &= 0xF;
        if (number < 0) {
            e.emit(0);
            return;
        }
    } else {
        if (operand.size() == 2 && (operand[0] == 'R' || operand[0] == 'r') && !family.port)
            operand.remove_prefix(1);
        if (operand.size() == 1 && is_hex_digit(operand[0]))
            number = static_cast<int>(std::stoi(std::string(operand), nullptr, 16));
    }
    const int opcode = number >= 0 ? family.opcodes[static_cast<std::size_t>(number)] : -1;
    if (opcode < 0)
        e.error(std::string(family.port ? "bad port '" : "bad register '") + std::string(operands[0]) + "' for " +
                e.operation() + (family.port ? " (1-7)" : ""));
    e.emit(static_cast<uint8_t>(opcode < 0 ? 0 : opcode));
}

// Operand n's value, or 0 where it has none yet.
int64_t operand_value(Encoder& e, const std::vector<std::string_view>& operands, char digit)
{
    const std::size_t n = static_cast<std::size_t>(digit - '1');
    return n < operands.size() ? e.number_in(operands[n], -0x8000, 0xFFFF, "a word").value_or(0) : 0;
}

// An operand that has no value yet (a forward reference in the first pass) fits
// only where any value does, unless undecided says it may fit anywhere.
bool user_op_fits(Encoder& e, const UserOp& op, const std::vector<std::string_view>& operands, bool undecided)
{
    if (op.arguments.size() != operands.size())
        return false;
    for (std::size_t i = 0; i < operands.size(); ++i) {
        const auto name = e.notation().register_name(operands[i]);
        const Evaluated v = evaluate(operands[i], e.symbols(), e.address(), e.notation(), e.scope());
        const auto outside = [&](int64_t low, int64_t high) {
            return v.value ? *v.value < low || *v.value > high : !undecided;
        };
        switch (op.arguments[i]) {
        case 'R':
            if (!name || *name == 0)
                return false;
            break;
        case 'N':
            if (outside(0, 15))
                return false;
            break;
        case 'B':
            if (outside(-0x80, 0xFF))
                return false;
            break;
        default:
            break;
        }
    }
    return true;
}

void encode_user_op(Encoder& e, const UserOp& op, const std::vector<std::string_view>& operands)
{
    for (std::size_t i = 0; i < operands.size(); ++i) {
        if (op.arguments[i] == 'W' && e.notation().register_name(operands[i]))
            e.warning(std::string(operands[i]) + " is the value " +
                      std::to_string(*e.notation().register_name(operands[i])) + " here, not a register to copy");
    }
    for (const std::string& token : op.tokens) {
        if (token.size() == 3 && token[1] == '$') {
            e.emit(static_cast<uint8_t>(hex_digit_value(token[0]) << 4 | (operand_value(e, operands, token[2]) & 0xF)));
        } else if (token.size() == 2 && (token[0] == 'H' || token[0] == 'L' || token[0] == 'W') &&
                   std::isdigit(static_cast<unsigned char>(token[1]))) {
            const int64_t value = operand_value(e, operands, token[1]);
            if (token[0] != 'L')
                e.emit(static_cast<uint8_t>(value >> 8));
            if (token[0] != 'H')
                e.emit(static_cast<uint8_t>(value));
        } else {
            e.emit(static_cast<uint8_t>(hex_digit_value(token[0]) << 4 | hex_digit_value(token[1])));
        }
    }
}

// The first of the source's instructions of that name whose operands fit. An
// operand that cannot be valued yet takes a form that fits any value, where
// there is one; the second pass keeps the first pass's choice, so that a forward
// reference cannot change a statement's size between the passes.
bool encode_user_ops(Encoder& e, std::span<const UserOp> ops, const std::vector<std::string_view>& operands,
                     const std::optional<std::string>& chosen)
{
    const auto named = [&](const UserOp& op) { return op.name == e.operation(); };
    if (std::none_of(ops.begin(), ops.end(), named))
        return false;
    for (const UserOp& op : ops) {
        if (chosen && named(op) && op.arguments == *chosen) {
            if (!user_op_fits(e, op, operands, false))
                e.error("the operands do not fit the form " + op.name + " " + op.arguments +
                        ", which the first pass chose for a forward reference");
            encode_user_op(e, op, operands);
            e.result.user_op = op.arguments;
            return true;
        }
    }
    for (const bool undecided : {false, true}) {
        for (const UserOp& op : ops) {
            if (named(op) && user_op_fits(e, op, operands, undecided)) {
                encode_user_op(e, op, operands);
                e.result.user_op = op.arguments;
                return true;
            }
        }
    }
    e.error("no .op " + e.operation() + " takes these operands");
    return true;
}

// RCA's data list: T'..' gives its characters, A(e) two bytes, A.0(e), A.1(e) and
// B'..' one, a constant above 255 two (high first), any other value its low byte.
void encode_data_list(Encoder& e, std::string_view list)
{
    for (std::string_view item : split_operands(list)) {
        const std::string folded = upper(item);
        if (folded.starts_with("T'") && item.size() >= 3 && item.back() == '\'') {
            const std::string_view body = item.substr(2, item.size() - 3);
            for (std::size_t i = 0; i < body.size(); ++i) {
                e.emit(static_cast<uint8_t>(body[i]));
                i += body[i] == '\'' && i + 1 < body.size() && body[i + 1] == '\'';
            }
            continue;
        }
        const bool constant = e.notation().number(item) || folded.starts_with("X'") || folded.starts_with("D'");
        const int64_t value = e.number_in(item, -0x8000, 0xFFFF, "a word").value_or(0);
        if (folded.starts_with("A(") || (constant && value > 0xFF))
            e.emit(static_cast<uint8_t>(value >> 8));
        e.emit(static_cast<uint8_t>(value));
    }
}

// SB's .AS, .AT, .AZ: delimited text (\ escapes the next character) and #expr
// bytes, separated by commas; a leading - sets bit 7 of every byte.
void encode_text7(Encoder& e, std::string_view text)
{
    const bool high = text.starts_with('-');
    std::vector<uint8_t> bytes;
    for (std::size_t i = high ? 1 : 0; i < text.size();) {
        if (text[i] == ',' || text[i] == ' ' || text[i] == '\t') {
            ++i;  // blanks only follow commas here, where they continue the operand
        } else if (text[i] == '#') {
            const std::size_t end = std::min(text.find(',', i), text.size());
            Encoder part(e.operation(), e.address(), e.symbols(), e.notation(), e.scope());
            part.emit_byte(text.substr(i + 1, end - i - 1));
            for (std::string& message : part.result.errors)
                e.error(std::move(message));
            bytes.push_back(part.result.bytes[0]);
            i = end;
        } else {
            const char delimiter = text[i];
            for (++i; i < text.size() && text[i] != delimiter; ++i) {
                i += text[i] == '\\' && i + 1 < text.size();
                bytes.push_back(static_cast<uint8_t>(text[i]));
            }
            if (i >= text.size())
                e.error("unterminated text");
            ++i;
        }
    }
    if (e.operation().starts_with(".AT") && !bytes.empty())
        bytes.back() ^= 0x80;
    if (e.operation().starts_with(".AZ"))
        bytes.push_back(0);
    for (const uint8_t byte : bytes)
        e.emit(high ? byte | 0x80 : byte);
}

// SB's .HS: pairs of hex digits; dots between them are ignored.
void encode_hex_string(Encoder& e, std::string_view text)
{
    std::string digits(text);
    std::erase(digits, '.');
    if (digits.size() % 2 != 0 || !all_hex_digits(digits))
        e.error(".HS takes pairs of hexadecimal digits");
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        e.emit(static_cast<uint8_t>(all_hex_digits(digits) ? hex_digit_value(digits[i]) << 4 | hex_digit_value(digits[i + 1]) : 0));
}

// SB's .DA: a word each, or one byte where the item starts with a selector.
void encode_addresses(Encoder& e, const std::vector<std::string_view>& items)
{
    for (std::string_view item : items) {
        if (!item.empty() && std::string_view("#/=\\").find(item[0]) != std::string_view::npos)
            e.emit(static_cast<uint8_t>(e.number_in(item, 0, 0xFF, "a byte").value_or(0)));
        else
            e.emit_word(item, -0x8000, "a word");
    }
}

void encode_wide(Encoder& e, const std::vector<std::string_view>& items, bool reversed)
{
    for (std::string_view item : items) {
        const int64_t value = e.number_in(item, -0x80000000LL, 0xFFFFFFFF, "a value").value_or(0);
        if (reversed) {
            e.emit(static_cast<uint8_t>(value));
            e.emit(static_cast<uint8_t>(value >> 8));
        } else {
            for (const int shift : {24, 16, 8, 0})
                e.emit(static_cast<uint8_t>(value >> shift));
        }
    }
}

// VER: month, day, year (two bytes). EVER: the month + 80, and the build number
// after the year. EEVER: the month + c0, and the time between year and build.
void encode_version(Encoder& e, const BuildStamp& stamp)
{
    const std::string& name = e.operation();
    const int month_flags = name == "EEVER" ? 0xC0 : name == "EVER" ? 0x80 : 0;
    e.emit(static_cast<uint8_t>(stamp.month + month_flags));
    e.emit(static_cast<uint8_t>(stamp.day));
    e.emit(static_cast<uint8_t>(stamp.year >> 8));
    e.emit(static_cast<uint8_t>(stamp.year));
    if (name == "EEVER") {
        e.emit(static_cast<uint8_t>(stamp.hour));
        e.emit(static_cast<uint8_t>(stamp.minute));
        e.emit(static_cast<uint8_t>(stamp.second));
    }
    if (month_flags != 0) {
        e.emit(static_cast<uint8_t>(stamp.build >> 8));
        e.emit(static_cast<uint8_t>(stamp.build));
    }
}

const Alias* find_alias(const Notation& notation, std::string_view name)
{
    const std::string folded = upper(name);
    for (const Alias& alias : notation.aliases) {
        if (alias.name == folded)
            return &alias;
    }
    return nullptr;
}

void encode_alias(Encoder& e, const Alias& alias, const std::vector<std::string_view>& operands)
{
    const OperandKind kinds[] = {OperandKind::None, OperandKind::ShortBranch, OperandKind::Word};
    encode_fixed(e, Fixed{alias.opcode, kinds[alias.operand_bytes]}, operands);
}

}  // namespace

std::optional<Encoded> encode(const EncodeRequest& request, const Symbols& symbols, const Notation& notation)
{
    Encoder e(request.operation, request.address, symbols, notation, request.scope);
    const std::vector<std::string_view> operands = split_operands(request.operands);
    const std::string_view operation = request.operation;
    switch (request.directive) {
    case Directive::Bytes: encode_bytes(e, operands); break;
    case Directive::Words: encode_words(e, operands); break;
    case Directive::Text: encode_text(e, request.operands); break;
    case Directive::Fill: encode_fill(e, operands, request.count); break;
    case Directive::Load: encode_load(e, operands); break;
    case Directive::Call: encode_fixed(e, Fixed{0xD4, OperandKind::Word}, operands); break;
    case Directive::Return: encode_fixed(e, Fixed{0xD5, OperandKind::None}, operands); break;
    case Directive::DataList: break;
    case Directive::Text7: encode_text7(e, request.operands); break;
    case Directive::HexString: encode_hex_string(e, request.operands); break;
    case Directive::Addresses: encode_addresses(e, operands); break;
    case Directive::Reversed: encode_wide(e, operands, true); break;
    case Directive::Longs: encode_wide(e, operands, false); break;
    case Directive::Version: encode_version(e, *request.build_stamp); break;
    case Directive::Block:
    case Directive::NewOrigin:
        if (operands.size() == 2)
            encode_fill(e, {operands[1]}, request.count);
        break;
    case Directive::None:
        if (const Alias* alias = find_alias(notation, operation))
            encode_alias(e, *alias, operands);
        else if (const auto helper = notation.aliases.empty() ? find_console_helper(operation) : std::nullopt) {
            e.expect_operands(operands, 0);
            e.emit((*helper)[0]);
            e.emit((*helper)[1]);
        } else if (const Fixed* fixed = find_fixed(operation))
            encode_fixed(e, *fixed, operands);
        else if (const Family* family = find_family(operation))
            encode_family(e, *family, operands);
        else if (!encode_user_ops(e, request.user_ops, operands, request.user_op))
            return std::nullopt;
        break;
    default:
        return std::nullopt;
    }
    if (!request.data_list.empty() || request.directive == Directive::DataList)
        encode_data_list(e, request.data_list);
    return std::move(e.result);
}

}  // namespace cosmac::assembler

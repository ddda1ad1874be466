#include "asm/encoder.hpp"

#include <algorithm>
#include <cctype>
#include <optional>

#include "asm/data_directives.hpp"
#include "asm/mnemonics.hpp"
#include "asm/statement_encoder.hpp"
#include "asm/text.hpp"
#include "cpu/opcode_table.hpp"

namespace cosmac::assembler {
namespace {

// LOAD r, v: LDI high, PHI r, LDI low, PLO r.
void encode_load(Encoder& e, const std::vector<std::string_view>& operands)
{
    const bool ok = operands.size() == 2;
    if (!ok)
        e.error("LOAD takes a register and a value");
    const int64_t r = ok ? e.number_in(operands[0], 0, 15, "a register").value_or(kValueInError) : kValueInError;
    const std::string_view value = ok ? operands[1] : "0";
    e.emit(0xF8);
    e.emit_selected_byte(value, 8);
    e.emit(static_cast<uint8_t>(0xB0 + r));
    e.emit(0xF8);
    e.emit_selected_byte(value, 0);
    e.emit(static_cast<uint8_t>(0xA0 + r));
}

// The bytes of an operand after its opcode, as many as its kind takes.
void emit_operand(Encoder& e, OperandKind kind, std::string_view operand)
{
    switch (kind) {
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
    case OperandKind::ImmediateWord:
        e.emit_word(operand, kLowestWord, "a word");
        break;
    }
}

void encode_fixed(Encoder& e, const Fixed& fixed, std::vector<std::string_view> operands)
{
    if (fixed.operand == OperandKind::None && e.notation().sb_layout)
        operands.clear();  // SB: what follows an instruction without operands is comment
    if (fixed.extended)
        e.emit(kExtendedPrefix);
    e.emit(fixed.opcode);
    const bool has_operand = fixed.operand != OperandKind::None;
    const bool operands_ok = e.expect_operands(operands, has_operand);
    emit_operand(e, fixed.operand, operands_ok && has_operand ? operands[0] : "0");
}

// The opcode of the family's member that the operand names, or none with the
// error noted.
std::optional<uint8_t> family_opcode(Encoder& e, const Family& family, std::string_view operand)
{
    std::optional<int> number;  // the register or port that the operand names
    if (e.notation().registers_are_expressions) {
        const int64_t highest = e.notation().rca_free_form && !family.port ? 0xFFFF : 15;  // RCA takes the low four bits
        const auto value = e.number_in(operand, 0, highest, family.port ? "a port" : "a register");
        if (!value)
            return std::nullopt;
        number = static_cast<int>(*value & 0xF);
    } else {
        std::string_view digit = operand;
        if (digit.size() == 2 && (digit[0] == 'R' || digit[0] == 'r') && !family.port)
            digit.remove_prefix(1);
        if (digit.size() == 1 && is_hex_digit(digit[0]))
            number = hex_digit_value(digit[0]);
    }
    const auto opcode = number ? family.opcodes[static_cast<std::size_t>(*number)] : std::nullopt;
    if (!opcode)
        e.error(std::string(family.port ? "bad port '" : "bad register '") + std::string(operand) + "' for " +
                e.operation() + (family.port ? " (1-7)" : ""));
    return opcode;
}

// DBNZ, SCAL and RLDI: true when the register and the word are both there;
// otherwise the error says what the instruction takes.
bool expect_register_and_word(Encoder& e, const Family& family, const std::vector<std::string_view>& operands)
{
    if (operands.size() == 2 && !operands[0].empty() && !operands[1].empty())
        return true;
    e.error(e.operation() + " takes a register and " + (family.operand == OperandKind::Word ? "an address" : "a value"));
    return false;
}

// A register, or DBNZ, SCAL and RLDI's register and word.
void encode_family(Encoder& e, const Family& family, const std::vector<std::string_view>& operands)
{
    if (family.extended)
        e.emit(kExtendedPrefix);
    const bool takes_word = family.operand != OperandKind::None;
    const bool operands_ok =
        takes_word ? expect_register_and_word(e, family, operands) : e.expect_operands(operands, true);
    e.emit(operands_ok ? family_opcode(e, family, operands[0]).value_or(kValueInError) : kValueInError);
    emit_operand(e, family.operand, operands_ok && takes_word ? operands[1] : "0");
}

// The operand, 1-9, that a .op byte takes its value from; 0 for a constant byte.
std::size_t operand_of(std::string_view token)
{
    const char digit = token.size() == 3 ? token[2] : is_hex_digit(token[0]) ? '0' : token[1];
    return static_cast<std::size_t>(digit - '0');
}

// The value of the operand that a .op byte names, which parse_user_op checked
// the form has; 0 where it has none yet.
int64_t operand_value(Encoder& e, const std::vector<std::string_view>& operands, std::string_view token)
{
    return e.number_in(operands[operand_of(token) - 1], kLowestWord, 0xFFFF, "a word").value_or(kValueInError);
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
            if (outside(kLowestByte, 0xFF))
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
            e.emit(static_cast<uint8_t>(hex_digit_value(token[0]) << 4 | (operand_value(e, operands, token) & 0xF)));
        } else if (token[0] == 'T') {
            e.emit_short_branch(operands[operand_of(token) - 1]);
        } else if (token.size() == 2 && (token[0] == 'H' || token[0] == 'L' || token[0] == 'W') &&
                   std::isdigit(static_cast<unsigned char>(token[1]))) {
            const int64_t value = operand_value(e, operands, token);
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

// An instruction of the processor, or of the source's own .op; false where the
// operation names neither. The extended set's instructions need the source's
// switch: without it a source's own .op of the name is taken, or else the
// statement is an error that names the switch, and still makes its bytes, so
// that the addresses after it are those the source means.
bool encode_instruction(Encoder& e, const EncodeRequest& request, Items& operands, Items& data_list)
{
    const Fixed* fixed = find_fixed(request.operation);
    const Family* family = find_family(request.operation);
    const bool refused = ((fixed && fixed->extended) || (family && family->extended)) && !request.extended_set;
    if ((!fixed && !family) || refused) {
        if (encode_user_ops(e, request.user_ops, operands, request.user_op))
            return true;
        if (!refused)
            return false;
        e.error(e.operation() + " is an 1805 instruction: " + std::string(e.notation().extended_switch));
    }
    if (fixed) {
        encode_fixed(e, *fixed, operands);
        return true;
    }
    // RCA's reader ends an instruction's operand at its first comma, where the
    // data list starts: DBNZ, SCAL and RLDI take the list's first item as their word.
    if (e.notation().rca_free_form && family->operand != OperandKind::None && operands.size() == 1 &&
        !data_list.empty()) {
        operands.push_back(data_list.front());
        data_list.erase(data_list.begin());
    }
    encode_family(e, *family, operands);
    return true;
}

// A byte of .op: two hex digits, a hex digit and $n (the digit, then the low
// four bits of operand n), or Hn, Ln and Wn (operand n's high byte, low byte,
// or both), or Tn (its low byte, as a short branch's, in the page of the byte).
bool is_user_op_byte(std::string_view token)
{
    const auto operand = [](char c) { return c >= '1' && c <= '9'; };
    if (token.size() == 3)
        return is_hex_digit(token[0]) && token[1] == '$' && operand(token[2]);
    return token.size() == 2 && ((is_hex_digit(token[0]) && is_hex_digit(token[1])) ||
                                 (std::string_view("HLTW").find(token[0]) != std::string_view::npos && operand(token[1])));
}

}  // namespace

std::optional<UserOp> parse_user_op(std::string_view operands, std::string& problem)
{
    std::vector<std::string> fields;
    for (std::string_view field : split_operands(operands)) {
        if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
            fields.emplace_back(field.substr(1, field.size() - 2));
    }
    if (fields.size() != 3 || split_operands(operands).size() != 3) {
        problem = ".op takes three quoted fields: name, operand letters, bytes";
        return std::nullopt;
    }
    UserOp op{upper(fields[0]), upper(fields[1]), {}};
    std::string_view bytes = fields[2];
    while (!(bytes = trim(bytes)).empty()) {
        const std::size_t end = std::min(bytes.find(' '), bytes.size());
        op.tokens.emplace_back(upper(bytes.substr(0, end)));
        if (!is_user_op_byte(op.tokens.back())) {
            problem = ".op byte '" + op.tokens.back() + "' is not two hex digits, a hex digit and $n, Hn, Ln, Tn or Wn";
            return std::nullopt;
        }
        if (operand_of(op.tokens.back()) > op.arguments.size()) {
            problem = ".op byte '" + op.tokens.back() + "' names an operand that " + op.name + " " + op.arguments +
                      " does not have";
            return std::nullopt;
        }
        bytes.remove_prefix(end);
    }
    return op;
}

std::optional<Encoded> encode(const EncodeRequest& request, const Symbols& symbols, const Notation& notation)
{
    Encoder e(request.operation, request.address, symbols, notation, request.scope);
    Items operands = split_operands(request.operands);
    Items data_list = split_operands(request.data_list);
    const std::string_view operation = request.operation;
    switch (request.directive) {
    case Directive::DataList: break;  // only the data list below
    case Directive::Bytes: encode_bytes(e, operands); break;
    case Directive::Words: encode_words(e, operands); break;
    case Directive::Text: encode_text(e, request.operands); break;
    case Directive::Fill: encode_fill(e, operands, request.count); break;
    case Directive::Load: encode_load(e, operands); break;
    case Directive::Call: encode_fixed(e, Fixed{0xD4, OperandKind::Word}, operands); break;
    case Directive::Return: encode_fixed(e, Fixed{0xD5, OperandKind::None}, operands); break;
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
        else if (const auto helper =
                     notation.aliases.empty() ? find_console_helper(operation, request.extended_set) : std::nullopt) {
            e.expect_operands(operands, false);
            e.emit((*helper)[0]);
            e.emit((*helper)[1]);
        } else if (!encode_instruction(e, request, operands, data_list))
            return std::nullopt;
        break;
    default:
        return std::nullopt;
    }
    encode_data_list(e, data_list);  // the words after an instruction's operands (RCA), or a data list's
    return std::move(e.result);
}

}  // namespace cosmac::assembler


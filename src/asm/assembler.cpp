#include "asm/assembler.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <map>
#include <optional>

#include "cpu/opcode_table.hpp"

namespace cosmac {
namespace {

// ---- Mnemonics, from the disassembler's table ------------------------------------

enum class OperandKind { None, Byte, ShortBranch, Word };

struct Fixed {
    uint8_t opcode;
    OperandKind operand;
};

// A family takes a register (R0-RF, or a digit) or, for OUT and INP, a port 1-7.
struct Family {
    std::array<int, 16> opcodes;
    bool port;
};

std::string upper(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

class Mnemonics {
public:
    Mnemonics()
    {
        for (unsigned op = 0; op < 256; ++op) {
            const OpInfo& info = kOpcodeTable[op];
            const std::size_t space = info.mnemonic.find(' ');
            if (space == std::string_view::npos) {
                add_fixed(info.mnemonic, {static_cast<uint8_t>(op), operand_kind(op, info.length)});
                continue;
            }
            const std::string name = upper(info.mnemonic.substr(0, space));
            auto [family, inserted] = families_.try_emplace(name);
            if (inserted) {
                family->second.opcodes.fill(-1);
                family->second.port = name == "OUT" || name == "INP";
            }
            const char digit = info.mnemonic.back();
            family->second.opcodes[std::isdigit(static_cast<unsigned char>(digit)) ? digit - '0' : digit - 'A' + 10] =
                static_cast<int>(op);
        }
        // The published names where the table prints others: SDB for SDC, and SEP R4
        // and SEP R5, which the table lists as Call and Ret.
        add_fixed("SDB", {0x75, OperandKind::None});
        families_["SEP"].opcodes[4] = 0xD4;
        families_["SEP"].opcodes[5] = 0xD5;
    }

    // The table's own spelling first, so that "Ret" (D5) and "RET" (70) stay
    // apart; any other spelling means the upper-case mnemonic.
    const Fixed* fixed(std::string_view name) const
    {
        if (const auto it = exact_.find(std::string(name)); it != exact_.end())
            return &it->second;
        const auto it = folded_.find(upper(name));
        return it == folded_.end() ? nullptr : &it->second;
    }

    const Family* family(std::string_view name) const
    {
        const auto it = families_.find(upper(name));
        return it == families_.end() ? nullptr : &it->second;
    }

private:
    static OperandKind operand_kind(unsigned op, uint8_t length)
    {
        if (length == 3)
            return OperandKind::Word;
        if (length == 2)
            return op >> 4 == 3 ? OperandKind::ShortBranch : OperandKind::Byte;
        return OperandKind::None;
    }

    void add_fixed(std::string_view name, Fixed fixed)
    {
        exact_.emplace(std::string(name), fixed);
        const std::string folded = upper(name);
        if (folded == name)
            folded_[folded] = fixed;
        else
            folded_.try_emplace(folded, fixed);
    }

    std::map<std::string, Fixed> exact_;
    std::map<std::string, Fixed> folded_;
    std::map<std::string, Family> families_;
};

const Mnemonics& mnemonics()
{
    static const Mnemonics table;
    return table;
}

// The console service's two functions, as one statement each.
std::optional<std::array<uint8_t, 2>> console_helper(std::string_view name)
{
    const std::string folded = upper(name);
    if (folded == "PUTC")
        return std::array<uint8_t, 2>{0x68, 0x01};
    if (folded == "GETC")
        return std::array<uint8_t, 2>{0x68, 0x02};
    return std::nullopt;
}

// ---- Text -------------------------------------------------------------------------

bool is_identifier_start(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool is_identifier_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'; }
bool is_hex_digit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

std::string_view trim(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

bool all_hex_digits(std::string_view text)
{
    if (text.empty())
        return false;
    for (char c : text) {
        if (!is_hex_digit(c))
            return false;
    }
    return true;
}

std::string hex(int64_t value, int digits = 4)
{
    char text[24];
    std::snprintf(text, sizeof text, "%0*llx", digits, static_cast<unsigned long long>(value));
    return text;
}

// The index of the first character outside quotes for which found(i) holds, or
// text.size(). A backslash inside quotes escapes the next character.
template <class Predicate>
std::size_t find_unquoted(std::string_view text, Predicate found)
{
    char quote = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == '\\')
                ++i;
            else if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (found(i)) {
            return i;
        }
    }
    return text.size();
}

std::string_view without_comment(std::string_view line)
{
    return line.substr(0, find_unquoted(line, [&](std::size_t i) { return line[i] == ';'; }));
}

// Splits operands at commas outside quotes and parentheses.
std::vector<std::string_view> split_operands(std::string_view text)
{
    std::vector<std::string_view> operands;
    if (trim(text).empty())
        return operands;
    int depth = 0;
    std::size_t start = 0;
    find_unquoted(text, [&](std::size_t i) {
        if (text[i] == '(') {
            ++depth;
        } else if (text[i] == ')') {
            --depth;
        } else if (text[i] == ',' && depth == 0) {
            operands.push_back(trim(text.substr(start, i - start)));
            start = i + 1;
        }
        return false;
    });
    operands.push_back(trim(text.substr(start)));
    return operands;
}

// Reads one character of a quoted literal at text[i], with the escapes \n \r \t \0
// \\ \' \"; advances i. Empty at a bad escape.
std::optional<uint8_t> quoted_char(std::string_view text, std::size_t& i)
{
    if (text[i] != '\\')
        return static_cast<uint8_t>(text[i++]);
    if (i + 1 >= text.size())
        return std::nullopt;
    const char c = text[i + 1];
    i += 2;
    switch (c) {
    case 'n': return 0x0A;
    case 'r': return 0x0D;
    case 't': return 0x09;
    case '0': return 0x00;
    case '\\': return '\\';
    case '\'': return '\'';
    case '"': return '"';
    default: return std::nullopt;
    }
}

// ---- Symbols and expressions -----------------------------------------------------

struct Symbol {
    int64_t value;
    int line;
};

using Symbols = std::map<std::string, Symbol, std::less<>>;

// Expressions: terms joined by + and -. A term is a hexadecimal number (digits,
// optionally after 0x), a decimal number with a trailing dot (65.), a character
// ('A'), $ for the statement's address, a symbol, LOW(e), HIGH(e) or (e).
class Expression {
public:
    Expression(std::string_view text, const Symbols& symbols, uint16_t here) : text_(text), symbols_(symbols), here_(here)
    {
    }

    // The value, or empty with error set.
    std::optional<int64_t> evaluate(std::string& error)
    {
        const auto value = sum();
        skip_blanks();
        if (value && position_ != text_.size())
            fail("unexpected '" + std::string(text_.substr(position_)) + "' in expression");
        if (!error_.empty()) {
            error = error_;
            return std::nullopt;
        }
        return value;
    }

private:
    std::optional<int64_t> sum()
    {
        skip_blanks();
        bool negative = false;
        if (peek() == '-' || peek() == '+')
            negative = text_[position_++] == '-';
        auto value = term();
        if (!value)
            return std::nullopt;
        int64_t total = negative ? -*value : *value;
        for (;;) {
            skip_blanks();
            const char op = peek();
            if (op != '+' && op != '-')
                return total;
            ++position_;
            const auto next = term();
            if (!next)
                return std::nullopt;
            total = op == '+' ? total + *next : total - *next;
        }
    }

    std::optional<int64_t> term()
    {
        skip_blanks();
        const char c = peek();
        if (c == '$') {
            ++position_;
            return here_;
        }
        if (c == '(') {
            ++position_;
            const auto value = sum();
            if (!value || !expect(')'))
                return std::nullopt;
            return value;
        }
        if (c == '\'') {
            ++position_;
            if (position_ >= text_.size())
                return fail("unterminated character");
            const auto value = quoted_char(text_, position_);
            if (!value)
                return fail("unknown escape in character");
            if (!expect('\''))
                return std::nullopt;
            return *value;
        }
        if (!is_identifier_char(c))
            return fail(c ? "expected a value at '" + std::string(text_.substr(position_)) + "'"
                          : "missing operand");
        const std::size_t start = position_;
        while (position_ < text_.size() && is_identifier_char(text_[position_]))
            ++position_;
        const std::string_view word = text_.substr(start, position_ - start);
        return word_value(word);
    }

    std::optional<int64_t> word_value(std::string_view word)
    {
        const std::string folded = upper(word);
        if (folded == "LOW" || folded == "HIGH") {
            skip_blanks();
            if (peek() == '(') {
                const auto value = term();
                if (!value)
                    return std::nullopt;
                return folded == "LOW" ? *value & 0xFF : *value >> 8 & 0xFF;
            }
        }
        if (word.size() > 1 && word.back() == '.') {
            int64_t value = 0;
            for (char c : word.substr(0, word.size() - 1)) {
                if (!std::isdigit(static_cast<unsigned char>(c)))
                    return fail("bad decimal number '" + std::string(word) + "'");
                value = value * 10 + (c - '0');
                if (value > 0xFFFFFFFF)
                    return fail("number '" + std::string(word) + "' is too large");
            }
            return value;
        }
        std::string_view digits = word;
        if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
            digits.remove_prefix(2);
        if (all_hex_digits(digits)) {
            if (digits.size() > 8)
                return fail("number '" + std::string(word) + "' is too large");
            return static_cast<int64_t>(std::stoull(std::string(digits), nullptr, 16));
        }
        if (!is_identifier_start(word[0]))
            return fail("bad number '" + std::string(word) + "'");
        const auto symbol = symbols_.find(word);
        if (symbol == symbols_.end())
            return fail("undefined label '" + std::string(word) + "'");
        return symbol->second.value;
    }

    char peek() const { return position_ < text_.size() ? text_[position_] : '\0'; }
    void skip_blanks()
    {
        while (position_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[position_])))
            ++position_;
    }
    bool expect(char c)
    {
        skip_blanks();
        if (peek() != c) {
            fail(std::string("expected '") + c + "'");
            return false;
        }
        ++position_;
        return true;
    }
    std::nullopt_t fail(std::string message)
    {
        if (error_.empty())
            error_ = std::move(message);
        return std::nullopt;
    }

    std::string_view text_;
    const Symbols& symbols_;
    uint16_t here_;
    std::size_t position_ = 0;
    std::string error_;
};

// ---- Statements ------------------------------------------------------------------

struct Statement {
    int line = 0;
    std::string_view source;
    std::string_view label;
    std::string_view operation;  // mnemonic or directive, as written
    std::string_view operands;
    bool equate = false;  // name EQU value
    uint16_t address = 0;
    unsigned size = 0;
};

Statement parse_statement(std::string_view source, int line)
{
    Statement s;
    s.line = line;
    s.source = source;
    std::string_view text = trim(without_comment(source));

    std::size_t end = 0;
    while (end < text.size() && is_identifier_char(text[end]))
        ++end;
    if (end > 0 && end < text.size() && text[end] == ':') {
        s.label = text.substr(0, end);
        text = trim(text.substr(end + 1));
        end = 0;
        while (end < text.size() && is_identifier_char(text[end]))
            ++end;
    }
    s.operation = text.substr(0, end);
    s.operands = trim(text.substr(end));

    // "name EQU value" names its symbol without a colon.
    if (s.label.empty() && !s.operation.empty()) {
        std::size_t next = 0;
        while (next < s.operands.size() && is_identifier_char(s.operands[next]))
            ++next;
        if (upper(s.operands.substr(0, next)) == "EQU" &&
            (next == s.operands.size() || std::isspace(static_cast<unsigned char>(s.operands[next])))) {
            s.label = s.operation;
            s.operation = s.operands.substr(0, next);
            s.operands = trim(s.operands.substr(next));
        }
    }
    s.equate = upper(s.operation) == "EQU";
    if (!text.empty() && s.operation.empty())
        s.operation = text;  // not a word at all: reported as an unknown mnemonic
    return s;
}

class Assembler {
public:
    explicit Assembler(Assembly& out) : out_(out) {}

    void run(std::string_view source)
    {
        int line_number = 0;
        for (std::size_t start = 0; start < source.size();) {
            std::size_t end = source.find('\n', start);
            if (end == std::string_view::npos)
                end = source.size();
            std::string_view line = source.substr(start, end - start);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            statements_.push_back(parse_statement(line, ++line_number));
            start = end + 1;
        }
        for (Statement& s : statements_)
            first_pass(s);
        for (const Statement& s : statements_)
            second_pass(s);
        std::stable_sort(out_.errors.begin(), out_.errors.end(),
                         [](const AssemblyError& a, const AssemblyError& b) { return a.line < b.line; });
    }

private:
    void error(const Statement& s, std::string message) { out_.errors.push_back({s.line, std::move(message)}); }

    std::optional<int64_t> value(const Statement& s, std::string_view text)
    {
        std::string message;
        const auto result = Expression(text, symbols_, s.address).evaluate(message);
        if (!result)
            error(s, message);
        return result;
    }

    void define(const Statement& s, std::string_view name, int64_t symbol_value)
    {
        if (all_hex_digits(name)) {
            error(s, "label '" + std::string(name) + "' reads as a hexadecimal number; choose another name");
            return;
        }
        if (name.size() == 2 && (name[0] == 'R' || name[0] == 'r') && is_hex_digit(name[1])) {
            error(s, "label '" + std::string(name) + "' reads as a register");
            return;
        }
        if (!is_identifier_start(name[0])) {
            error(s, "bad label '" + std::string(name) + "'");
            return;
        }
        const auto [it, inserted] = symbols_.try_emplace(std::string(name), Symbol{symbol_value, s.line});
        if (!inserted)
            error(s, "duplicate label '" + std::string(name) + "' (first defined on line " +
                         std::to_string(it->second.line) + ")");
    }

    // Addresses and sizes, and the labels they define.
    void first_pass(Statement& s)
    {
        s.address = static_cast<uint16_t>(address_);
        const std::string operation = upper(s.operation);
        if (s.equate) {
            if (s.label.empty())
                error(s, "EQU needs a name");
            else if (const auto v = value(s, s.operands))
                define(s, s.label, *v);
            return;
        }
        if (operation == "ORG") {
            if (const auto v = value(s, s.operands)) {
                if (*v < 0 || *v > 0xFFFF)
                    error(s, "ORG " + hex(*v) + " is outside memory");
                else
                    address_ = static_cast<unsigned>(*v);
            }
            s.address = static_cast<uint16_t>(address_);
        }
        if (!s.label.empty())
            define(s, s.label, address_);
        if (operation == "ORG" || s.operation.empty())
            return;
        s.size = size_of(s, operation);
        if (address_ + s.size > 0x10000)
            error(s, "code runs past ffff");
        address_ += s.size;
    }

    unsigned size_of(const Statement& s, const std::string& operation)
    {
        if (operation == "DB") {
            if (trim(s.operands).empty())
                error(s, "DB needs at least one value");
            unsigned size = 0;
            for (std::string_view item : split_operands(s.operands)) {
                if (!item.starts_with('"')) {
                    ++size;
                    continue;
                }
                const StringLiteral literal = string_bytes(item);
                if (literal.error)
                    error(s, literal.error);
                size += static_cast<unsigned>(literal.bytes.size());
            }
            return size;
        }
        if (operation == "DW")
            return 2 * static_cast<unsigned>(split_operands(s.operands).size());
        if (console_helper(s.operation))
            return 2;
        if (const Fixed* fixed = mnemonics().fixed(s.operation))
            return kOpcodeTable[fixed->opcode].length;
        if (mnemonics().family(s.operation))
            return 1;
        error(s, "unknown mnemonic '" + std::string(s.operation) + "'");
        return 0;
    }

    // The bytes of a "..." literal, or an error with no bytes: both passes read a
    // string through here, so its size cannot differ between them.
    struct StringLiteral {
        std::vector<uint8_t> bytes;
        const char* error = nullptr;
    };

    static StringLiteral string_bytes(std::string_view item)
    {
        StringLiteral literal;
        std::size_t i = 1;
        while (i < item.size() && item[i] != '"') {
            const auto c = quoted_char(item, i);
            if (!c)
                return {{}, "unknown escape in string"};
            literal.bytes.push_back(*c);
        }
        if (i + 1 != item.size())
            return {{}, "unterminated string"};
        return literal;
    }

    void second_pass(const Statement& s)
    {
        ListingLine listing;
        listing.source = std::string(s.source);
        listing.address = s.address;
        listing.has_address = s.size > 0 || upper(s.operation) == "ORG";
        const std::size_t errors_before = out_.errors.size();
        emitted_.clear();
        overlap_reported_ = false;
        if (s.size > 0)
            encode(s);
        if (out_.errors.size() == errors_before && emitted_.size() != s.size)
            error(s, "internal error: size changed between passes");
        listing.bytes = emitted_;
        out_.listing.push_back(std::move(listing));
    }

    void encode(const Statement& s)
    {
        const std::string operation = upper(s.operation);
        const std::vector<std::string_view> operands = split_operands(s.operands);
        if (operation == "DB") {
            encode_bytes(s, operands);
            return;
        }
        if (operation == "DW") {
            for (std::string_view item : operands) {
                const auto v = checked(s, item, -0x8000, 0xFFFF, "a word");
                emit(s, static_cast<uint8_t>(v.value_or(0) >> 8));
                emit(s, static_cast<uint8_t>(v.value_or(0)));
            }
            return;
        }
        if (const auto helper = console_helper(s.operation)) {
            expect_operands(s, operands, 0);
            emit(s, (*helper)[0]);
            emit(s, (*helper)[1]);
            return;
        }
        if (const Fixed* fixed = mnemonics().fixed(s.operation)) {
            encode_fixed(s, *fixed, operands);
            return;
        }
        encode_family(s, *mnemonics().family(s.operation), operands);
    }

    void encode_bytes(const Statement& s, const std::vector<std::string_view>& items)
    {
        for (std::string_view item : items) {
            if (item.starts_with('"')) {
                for (uint8_t byte : string_bytes(item).bytes)  // errors were reported in the first pass
                    emit(s, byte);
                continue;
            }
            emit(s, static_cast<uint8_t>(checked(s, item, -0x80, 0xFF, "a byte").value_or(0)));
        }
    }

    void encode_fixed(const Statement& s, const Fixed& fixed, const std::vector<std::string_view>& operands)
    {
        const bool has_operand = fixed.operand != OperandKind::None;
        emit(s, fixed.opcode);
        if (!expect_operands(s, operands, has_operand ? 1 : 0)) {
            for (unsigned i = 1; i < s.size; ++i)
                emit(s, 0);
            return;
        }
        switch (fixed.operand) {
        case OperandKind::None:
            break;
        case OperandKind::Byte:
            emit(s, static_cast<uint8_t>(checked(s, operands[0], -0x80, 0xFF, "a byte").value_or(0)));
            break;
        case OperandKind::ShortBranch:
            emit(s, short_branch_target(s, operands[0]));
            break;
        case OperandKind::Word: {
            const auto v = checked(s, operands[0], 0, 0xFFFF, "an address").value_or(0);
            emit(s, static_cast<uint8_t>(v >> 8));
            emit(s, static_cast<uint8_t>(v));
            break;
        }
        }
    }

    // A literal of at most two hex digits is the low byte, as the disassembler shows
    // it; anything else is a full address in the page of the operand byte.
    uint8_t short_branch_target(const Statement& s, std::string_view operand)
    {
        if (operand.size() <= 2 && all_hex_digits(operand))
            return static_cast<uint8_t>(std::stoul(std::string(operand), nullptr, 16));
        const auto target = checked(s, operand, 0, 0xFFFF, "an address");
        if (!target)
            return 0;
        const auto operand_address = static_cast<uint16_t>(s.address + 1);
        if ((*target & 0xFF00) != (operand_address & 0xFF00))
            error(s, "branch target " + hex(*target) + " is outside the page of the branch's operand byte at " +
                         hex(operand_address) + " (" + hex(operand_address & 0xFF00) + "-" +
                         hex(operand_address | 0xFF) + ")");
        return static_cast<uint8_t>(*target);
    }

    void encode_family(const Statement& s, const Family& family, const std::vector<std::string_view>& operands)
    {
        if (!expect_operands(s, operands, 1)) {
            emit(s, 0);
            return;
        }
        std::string_view operand = operands[0];
        const bool prefixed = operand.size() == 2 && (operand[0] == 'R' || operand[0] == 'r') && !family.port;
        if (prefixed)
            operand.remove_prefix(1);
        const int number = operand.size() == 1 && is_hex_digit(operand[0])
                               ? static_cast<int>(std::stoi(std::string(operand), nullptr, 16))
                               : -1;
        const int opcode = number >= 0 ? family.opcodes[static_cast<std::size_t>(number)] : -1;
        if (opcode < 0) {
            error(s, std::string(family.port ? "bad port '" : "bad register '") + std::string(operands[0]) +
                         "' for " + upper(s.operation) + (family.port ? " (1-7)" : ""));
            emit(s, 0);
            return;
        }
        emit(s, static_cast<uint8_t>(opcode));
    }

    bool expect_operands(const Statement& s, const std::vector<std::string_view>& operands, std::size_t count)
    {
        if (operands.size() == count && (count == 0 || !operands[0].empty()))
            return true;
        if (operands.size() < count || (count == 1 && operands[0].empty()))
            error(s, "missing operand for " + upper(s.operation));
        else
            error(s, upper(s.operation) + " takes " + (count == 0 ? "no operand" : "one operand"));
        return false;
    }

    std::optional<int64_t> checked(const Statement& s, std::string_view text, int64_t low, int64_t high,
                                   const char* what)
    {
        const auto v = value(s, text);
        if (v && (*v < low || *v > high)) {
            char text[24];
            std::snprintf(text, sizeof text, "%s%llx", *v < 0 ? "-" : "",
                          static_cast<unsigned long long>(*v < 0 ? -*v : *v));
            error(s, std::string("value ") + text + " does not fit in " + what);
            return std::nullopt;
        }
        return v;
    }

    void emit(const Statement& s, uint8_t byte)
    {
        const auto address = static_cast<uint16_t>(s.address + emitted_.size());
        if (out_.assembled[address] && !overlap_reported_) {
            error(s, "address " + hex(address) + " is assembled twice (ORG overlap)");
            overlap_reported_ = true;
        }
        out_.assembled[address] = true;
        out_.memory[address] = byte;
        emitted_.push_back(byte);
    }

    Assembly& out_;
    std::vector<Statement> statements_;
    Symbols symbols_;
    unsigned address_ = 0;
    std::vector<uint8_t> emitted_;
    bool overlap_reported_ = false;
};

}  // namespace

uint16_t Assembly::lowest() const
{
    for (unsigned a = 0; a < 0x10000; ++a) {
        if (assembled[a])
            return static_cast<uint16_t>(a);
    }
    return 0;
}

uint16_t Assembly::highest() const
{
    for (unsigned a = 0x10000; a-- > 0;) {
        if (assembled[a])
            return static_cast<uint16_t>(a);
    }
    return 0;
}

Assembly assemble(std::string_view source)
{
    Assembly assembly;
    Assembler(assembly).run(source);
    return assembly;
}

std::string listing_text(const Assembly& assembly)
{
    constexpr std::size_t kBytesPerLine = 4;
    std::string text;
    for (const ListingLine& line : assembly.listing) {
        std::size_t shown = 0;
        do {
            std::string bytes;
            for (std::size_t i = shown; i < line.bytes.size() && i < shown + kBytesPerLine; ++i)
                bytes += hex(line.bytes[i], 2) + " ";
            char prefix[32];
            if (line.has_address)
                std::snprintf(prefix, sizeof prefix, "%04x  %-13s", static_cast<unsigned>(line.address + shown),
                              bytes.c_str());
            else
                std::snprintf(prefix, sizeof prefix, "%6s%-13s", "", "");
            text += prefix;
            if (shown == 0)
                text += line.source;
            while (!text.empty() && text.back() == ' ')
                text.pop_back();
            text += '\n';
            shown += kBytesPerLine;
        } while (shown < line.bytes.size());
    }
    return text;
}

std::string intel_hex(const Assembly& assembly)
{
    std::string text;
    unsigned address = 0;
    while (address < 0x10000) {
        if (!assembly.assembled[address]) {
            ++address;
            continue;
        }
        unsigned count = 0;
        while (count < 16 && address + count < 0x10000 && assembly.assembled[address + count])
            ++count;
        unsigned checksum = count + (address >> 8) + (address & 0xFF);
        char record[64];
        std::snprintf(record, sizeof record, ":%02X%04X00", count, address);
        text += record;
        for (unsigned i = 0; i < count; ++i) {
            const uint8_t byte = assembly.memory[address + i];
            checksum += byte;
            std::snprintf(record, sizeof record, "%02X", byte);
            text += record;
        }
        std::snprintf(record, sizeof record, "%02X\n", (0x100 - (checksum & 0xFF)) & 0xFF);
        text += record;
        address += count;
    }
    return text + ":00000001FF\n";
}

}  // namespace cosmac

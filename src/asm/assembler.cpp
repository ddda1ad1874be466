#include "asm/assembler.hpp"

#include <algorithm>
#include <cctype>

#include "asm/encoder.hpp"
#include "asm/expression.hpp"
#include "asm/notation.hpp"
#include "asm/text.hpp"

namespace cosmac {
namespace {

using namespace assembler;

// One source line: "[label:] operation operands", or "name EQU value".
struct Statement {
    int line = 0;
    std::string_view source;
    std::string_view label;
    std::string_view operation;  // mnemonic or directive, as written
    std::string_view operands;
    uint16_t address = 0;
    unsigned size = 0;
    bool is_org = false;
    bool is_equate = false;
    bool is_code = false;  // an instruction or data directive, which the second pass encodes
};

Statement parse_statement(std::string_view source, int line, const Notation& notation)
{
    Statement s;
    s.line = line;
    s.source = source;
    std::string_view text =
        trim(source.substr(0, find_unquoted(source, [&](std::size_t i) { return source[i] == notation.comment; })));

    std::size_t end = word_length(text);
    if (end > 0 && end < text.size() && text[end] == ':') {
        s.label = text.substr(0, end);
        text = trim(text.substr(end + 1));
        end = word_length(text);
    }
    s.operation = text.substr(0, end);
    s.operands = trim(text.substr(end));

    // "name EQU value" names its symbol without a colon.
    if (s.label.empty() && !s.operation.empty()) {
        const std::size_t next = word_length(s.operands);
        if (upper(s.operands.substr(0, next)) == "EQU" &&
            (next == s.operands.size() || std::isspace(static_cast<unsigned char>(s.operands[next])))) {
            s.label = s.operation;
            s.operation = s.operands.substr(0, next);
            s.operands = trim(s.operands.substr(next));
        }
    }
    s.is_equate = upper(s.operation) == "EQU";
    s.is_org = upper(s.operation) == "ORG";
    if (!text.empty() && s.operation.empty())
        s.operation = text;  // not a word at all: reported as an unknown mnemonic
    return s;
}

class Assembler {
public:
    Assembler(Assembly& out, const Notation& notation) : out_(out), notation_(notation) {}

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
            statements_.push_back(parse_statement(line, ++line_number, notation_));
            start = end + 1;
        }
        for (Statement& s : statements_)
            first_pass(s);
        for (const Statement& s : statements_)
            second_pass(s);
        for (const auto& [name, symbol] : symbols_)
            out_.symbols.push_back({static_cast<uint16_t>(symbol.value), name});
        std::stable_sort(out_.errors.begin(), out_.errors.end(),
                         [](const AssemblyError& a, const AssemblyError& b) { return a.line < b.line; });
    }

private:
    void error(const Statement& s, std::string message) { out_.errors.push_back({s.line, std::move(message)}); }

    std::optional<int64_t> value(const Statement& s)
    {
        const Evaluated v = evaluate(s.operands, symbols_, s.address, notation_);
        if (!v.value)
            error(s, v.error);
        return v.value;
    }

    void define(const Statement& s, int64_t symbol_value)
    {
        const std::string name(s.label);
        if (const auto number = notation_.number(name); number && number->value) {
            error(s, "label '" + name + "' reads as a hexadecimal number; choose another name");
            return;
        }
        if (name.size() == 2 && (name[0] == 'R' || name[0] == 'r') && is_hex_digit(name[1])) {
            error(s, "label '" + name + "' reads as a register");
            return;
        }
        if (!is_identifier_start(name[0])) {
            error(s, "bad label '" + name + "'");
            return;
        }
        const auto [it, inserted] = symbols_.try_emplace(name, Symbol{symbol_value, s.line});
        if (!inserted)
            error(s, "duplicate label '" + name + "' (first defined on line " + std::to_string(it->second.line) +
                         ")");
    }

    // Addresses, sizes and the symbols they define. A name used before its
    // definition reads as 0 here, which changes no statement's size.
    void first_pass(Statement& s)
    {
        s.address = static_cast<uint16_t>(address_);
        if (s.is_equate) {
            if (s.label.empty())
                error(s, "EQU needs a name");
            else if (const auto v = value(s))
                define(s, *v);
            return;
        }
        if (s.is_org) {
            if (const auto v = value(s)) {
                if (*v < 0 || *v > 0xFFFF)
                    error(s, "ORG " + hex(*v) + " is outside memory");
                else
                    address_ = static_cast<unsigned>(*v);
            }
            s.address = static_cast<uint16_t>(address_);
        }
        if (!s.label.empty())
            define(s, address_);
        if (s.is_org || s.operation.empty())
            return;
        const auto encoded = encode(s.operation, s.operands, s.address, symbols_, notation_);
        if (!encoded) {
            error(s, "unknown mnemonic '" + std::string(s.operation) + "'");
            return;
        }
        s.is_code = true;
        s.size = static_cast<unsigned>(encoded->bytes.size());
        if (address_ + s.size > 0x10000)
            error(s, "code runs past ffff");
        address_ += s.size;
    }

    void second_pass(const Statement& s)
    {
        ListingLine listing;
        listing.source = std::string(s.source);
        listing.address = s.address;
        listing.has_address = s.size > 0 || s.is_org;
        if (s.is_code) {
            Encoded encoded = *encode(s.operation, s.operands, s.address, symbols_, notation_);
            for (std::string& message : encoded.errors)
                error(s, std::move(message));
            place(s, encoded.bytes);
            listing.bytes = std::move(encoded.bytes);
        }
        out_.listing.push_back(std::move(listing));
    }

    void place(const Statement& s, const std::vector<uint8_t>& bytes)
    {
        bool overlap_reported = false;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const auto address = static_cast<uint16_t>(s.address + i);
            if (out_.assembled[address] && !overlap_reported) {
                error(s, "address " + hex(address) + " is assembled twice (ORG overlap)");
                overlap_reported = true;
            }
            out_.assembled[address] = true;
            out_.memory[address] = bytes[i];
        }
    }

    Assembly& out_;
    const Notation& notation_;
    std::vector<Statement> statements_;
    Symbols symbols_;
    unsigned address_ = 0;
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
    Assembler(assembly, kCosmacNotation).run(source);
    return assembly;
}

}  // namespace cosmac

#include "asm/data_directives.hpp"

#include <cctype>
#include <string>

#include "asm/text.hpp"

namespace cosmac::assembler {
namespace {

// Just after the quoted literal that item starts with; npos where it starts with
// none, or its literal is not closed.
std::size_t literal_end(std::string_view item)
{
    if (item.empty() || (item[0] != '"' && item[0] != '\''))
        return std::string_view::npos;
    std::size_t i = 1;
    while (i < item.size() && item[i] != item[0])
        i += item[i] == '\\' ? 2 : 1;
    return i < item.size() ? i + 1 : std::string_view::npos;
}

// A string item: a quoted literal and nothing after it, "..." always, '...' of
// more than one character where strings are values ('A'+1 is an expression).
bool is_string_item(const Encoder& e, std::string_view item)
{
    if (item.size() < 2 || (item[0] != '"' && item[0] != '\''))
        return false;
    if (literal_end(item) != item.size())
        return item[0] == '"';  // an unterminated "..." is reported as a string
    return item[0] == '"' || (e.notation().strings_are_values && item.size() > 3);
}

// The items, with a literal that a number follows without a comma taken as
// two, where the notation does so: ' MHz'13 is ' MHz' and 13.
std::vector<std::string_view> items_apart(const Encoder& e, const std::vector<std::string_view>& items)
{
    if (!e.notation().strings_run_into_numbers)
        return items;
    std::vector<std::string_view> apart;
    for (std::string_view item : items) {
        for (std::size_t end = literal_end(item); end != std::string_view::npos && end < item.size();
             end = literal_end(item)) {
            const std::string_view rest = trim(item.substr(end));
            if (rest.empty() || !std::isdigit(static_cast<unsigned char>(rest[0])))
                break;
            apart.push_back(item.substr(0, end));
            item = rest;
        }
        apart.push_back(item);
    }
    return apart;
}

}  // namespace

void encode_bytes(Encoder& e, const std::vector<std::string_view>& items)
{
    if (items.empty())
        e.error(e.operation() + " needs at least one value");
    for (std::string_view item : items_apart(e, items)) {
        if (!is_string_item(e, item)) {
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
        e.emit_word(item.empty() ? "0" : item, kLowestWord, "a word");
}

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


void encode_data_list(Encoder& e, const Items& items)
{
    for (std::string_view item : items) {
        const std::string folded = upper(item);
        if (folded.starts_with("T'") && item.size() >= 3 && item.back() == '\'') {
            const std::string_view body = item.substr(2, item.size() - 3);
            for (std::size_t i = 0; i < body.size(); ++i) {
                if (body[i] == '\'' && (i + 1 == body.size() || body[++i] != '\'')) {
                    e.error("a quote in T'...' text is written twice");
                    break;
                }
                e.emit(static_cast<uint8_t>(body[i]));
            }
            continue;
        }
        const bool constant = e.notation().number(item) || folded.starts_with("X'") || folded.starts_with("D'");
        const int64_t value = e.number_in(item, kLowestWord, 0xFFFF, "a word").value_or(kValueInError);
        if (folded.starts_with("A(") || (constant && value > 0xFF))
            e.emit(static_cast<uint8_t>(value >> 8));
        e.emit(static_cast<uint8_t>(value));
    }
}

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

void encode_hex_string(Encoder& e, std::string_view text)
{
    std::string digits(text);
    std::erase(digits, '.');
    if (digits.size() % 2 != 0 || !all_hex_digits(digits))
        e.error(".HS takes pairs of hexadecimal digits");
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        e.emit(static_cast<uint8_t>(all_hex_digits(digits) ? hex_digit_value(digits[i]) << 4 | hex_digit_value(digits[i + 1]) : kValueInError));
}

void encode_addresses(Encoder& e, const std::vector<std::string_view>& items)
{
    for (std::string_view item : items) {
        if (!item.empty() && std::string_view("#/=\\").find(item[0]) != std::string_view::npos)  // a byte of it
            e.emit(static_cast<uint8_t>(e.any_value(item).value_or(kValueInError)));
        else
            e.emit_word(item, kLowestWord, "a word");
    }
}

void encode_wide(Encoder& e, const std::vector<std::string_view>& items, bool reversed)
{
    for (std::string_view item : items) {
        const int64_t value = e.any_value(item).value_or(kValueInError);
        if (reversed) {
            e.emit(static_cast<uint8_t>(value));
            e.emit(static_cast<uint8_t>(value >> 8));
        } else {
            for (const int shift : {24, 16, 8, 0})
                e.emit(static_cast<uint8_t>(value >> shift));
        }
    }
}

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

}  // namespace cosmac::assembler

#include "monitor/arguments.hpp"

#include <algorithm>

#include "monitor/hex_number.hpp"
#include "text/text.hpp"

namespace cosmac {
namespace {

// The word that starts at position, after any blanks: up to the next blank.
std::string_view word_at(std::string_view line, std::size_t position)
{
    while (position < line.size() && is_blank(line[position]))
        ++position;
    std::size_t end = position;
    while (end < line.size() && !is_blank(line[end]))
        ++end;
    return line.substr(position, end - position);
}

// How the standard commands use their arguments: where each goes, how wide it
// is, and the words a note uses for it.
enum class Use { Address, Byte, Register, Word, Ignored };

Use use_of(char letter, int index, int count)
{
    switch (letter) {
    case 'm':
        return count == 3 && index == 0 ? Use::Address : Use::Byte;
    case 'r':
        if (count == 2)
            return Use::Ignored;  // r with one argument shows the registers
        return index == 0 ? Use::Register : Use::Word;
    default:  // u, d, s, g
        return index == 0 ? Use::Address : Use::Ignored;
    }
}

std::string note(std::string_view word, Use use, uint32_t value)
{
    switch (use) {
    case Use::Address:
        return "note: " + std::string(word) + " read as " + hex_text(value & 0xFFFF, 4);
    case Use::Byte:
        return "note: " + std::string(word) + " stored as " + hex_text(value & 0xFF, 2);
    case Use::Register:
        return "note: " + std::string(word) + " read as register " + hex_text(value & 0xF, 1);
    case Use::Word:
        return "note: " + std::string(word) + " stored as " + hex_text(value & 0xFFFF, 4);
    case Use::Ignored:
        break;
    }
    return "note: " + std::string(word) + " ignored";
}

constexpr uint32_t largest(Use use)
{
    return use == Use::Byte ? 0xFF : use == Use::Register ? 0xF : 0xFFFF;
}

}  // namespace

std::vector<std::string_view> argument_words(std::string_view line)
{
    std::vector<std::string_view> words;
    for (std::size_t i = 1; i < line.size();) {
        const std::string_view word = word_at(line, i);
        if (word.empty())
            break;
        words.push_back(word);
        i = static_cast<std::size_t>(word.data() + word.size() - line.data());
    }
    return words;
}

std::vector<std::string> parse_standard_command(std::string_view line, const SymbolTable& symbols,
                                                CommandLine& command)
{
    parse_command_line(line, command);
    if (line.empty() || std::string_view("udsgmr").find(line[0]) == std::string_view::npos)
        return {};
    // Read again word by word, so that a symbol can take an address's place.
    const std::vector<std::string_view> words = argument_words(line);
    command.count = 1;
    std::size_t position = 1;
    std::vector<std::string_view> typed;
    std::vector<bool> exact;
    for (int index = 0; index < 2; ++index) {
        const std::string_view word = word_at(line, position);
        const bool next_word = words.size() > typed.size() + 1;
        const bool address = (line[0] == 'm' && index == 0 && next_word) || (line[0] == 'r' && index == 1) ||
                             (std::string_view("udsg").find(line[0]) != std::string_view::npos && index == 0);
        const auto symbol = address && !word.empty() ? symbols.find(word) : std::nullopt;
        uint32_t value;
        if (symbol) {
            value = *symbol;
            position = static_cast<std::size_t>(word.data() + word.size() - line.data());
        } else {
            const auto number = parse_hex(line, position);
            if (!number)
                break;
            value = *number;
        }
        (index == 0 ? command.arg1 : command.arg2) = value;
        command.count = index + 2;
        typed.push_back(word);
        exact.push_back(symbol || (all_hex(word) && position == static_cast<std::size_t>(word.data() + word.size() -
                                                                                         line.data())));
    }
    std::vector<std::string> notes;
    std::size_t accounted = position;
    for (std::size_t index = 0; index < typed.size(); ++index) {
        const Use use = use_of(line[0], static_cast<int>(index), command.count);
        const uint32_t value = index == 0 ? command.arg1 : command.arg2;
        if (use == Use::Ignored || !exact[index] || value > largest(use))
            notes.push_back(note(typed[index], use, value));
        accounted = std::max(accounted, static_cast<std::size_t>(typed[index].data() + typed[index].size() - line.data()));
    }
    std::string_view rest = line.substr(std::min(accounted, line.size()));
    while (!rest.empty() && is_blank(rest.front()))
        rest.remove_prefix(1);
    while (!rest.empty() && is_blank(rest.back()))
        rest.remove_suffix(1);
    if (!rest.empty())
        notes.push_back(note(rest, Use::Ignored, 0));
    return notes;
}

}  // namespace cosmac

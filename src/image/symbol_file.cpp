#include "image/symbol_file.hpp"

#include <algorithm>
#include <cctype>

#include "image/posix_file.hpp"
#include "text/text.hpp"

namespace cosmac {
namespace {

// Asm/02's names may hold a !, too.
bool is_symbol_char(char c) { return is_name_char(c) || c == '!'; }

constexpr std::string_view kKindWords[] = {"label", "value"};  // in SymbolKind's order

// "xxxx name [kind]": four hex digits, blanks, a name, and the kind of the name
// after blanks; a line without one, as older symbol files have, is a label's.
bool parse_line(std::string_view line, SymbolEntry& entry)
{
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.remove_suffix(1);
    if (line.size() < 6 || !std::all_of(line.begin(), line.begin() + 4, is_hex_digit) || !is_space_or_tab(line[4]))
        return false;
    std::size_t start = 4;
    while (start < line.size() && is_space_or_tab(line[start]))
        ++start;
    const std::size_t end = std::min(line.find_first_of(" \t", start), line.size());
    const std::string_view name = line.substr(start, end - start);
    if (name.empty() || !is_name_start(name[0]) || !std::all_of(name.begin(), name.end(), is_symbol_char))
        return false;
    std::string_view kind = line.substr(end);
    while (!kind.empty() && is_space_or_tab(kind.front()))
        kind.remove_prefix(1);
    const auto* known = std::find(std::begin(kKindWords), std::end(kKindWords), kind);
    if (!kind.empty() && known == std::end(kKindWords))
        return false;
    entry.kind = kind.empty() ? SymbolKind::Label : static_cast<SymbolKind>(known - std::begin(kKindWords));
    entry.address = static_cast<uint16_t>(std::stoul(std::string(line.substr(0, 4)), nullptr, 16));
    entry.name = std::string(name);
    return true;
}

}  // namespace

std::string symbol_file_text(std::vector<SymbolEntry> symbols)
{
    std::sort(symbols.begin(), symbols.end());
    std::string text;
    for (const SymbolEntry& symbol : symbols) {
        text.append(hex_text(symbol.address, 4))
            .append(" ")
            .append(symbol.name)
            .append(" ")
            .append(kKindWords[static_cast<int>(symbol.kind)])
            .append("\n");
    }
    return text;
}

SymbolFile read_symbol_file(const std::string& path)
{
    SymbolFile file;
    const auto unreadable = read_lines(path, [&](std::string_view line, int number) {
        SymbolEntry entry;
        if (parse_line(line, entry))
            file.symbols.push_back(std::move(entry));
        else if (line.find_first_not_of(" \t") != std::string_view::npos)
            file.problems.push_back(path + ":" + std::to_string(number) + ": not an \"xxxx name [label|value]\" line");
    });
    if (unreadable)
        file.problems.push_back(*unreadable);
    return file;
}

std::string symbol_file_name(std::string_view program_file) { return with_extension(program_file, ".sym"); }

}  // namespace cosmac

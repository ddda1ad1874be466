#include "image/symbol_file.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "image/posix_file.hpp"
#include "text/text.hpp"

namespace cosmac {
namespace {

// Asm/02's names may hold a !, too.
bool is_symbol_char(char c) { return is_name_char(c) || c == '!'; }

// "xxxx name": four hex digits, white space, a name.
bool parse_line(std::string_view line, SymbolEntry& entry)
{
    if (line.size() < 6 || !std::all_of(line.begin(), line.begin() + 4, is_hex_digit))
        return false;
    std::size_t start = 4;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t'))
        ++start;
    std::string_view name = line.substr(start);
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back())))
        name.remove_suffix(1);
    if (start == 4 || name.empty() || !is_name_start(name[0]) || !std::all_of(name.begin(), name.end(), is_symbol_char))
        return false;
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
        text.append(hex_text(symbol.address, 4)).append(" ").append(symbol.name).append("\n");
    }
    return text;
}

SymbolFile read_symbol_file(const std::string& path)
{
    SymbolFile file;
    const FileContents contents = read_file(path);
    if (contents.error_number == ENOENT)
        return file;
    if (contents.error_number != 0) {
        file.problems.push_back(path + ": " + std::strerror(contents.error_number));
        return file;
    }
    int line_number = 0;
    for (const std::string_view line : text_lines(contents.bytes)) {
        ++line_number;
        SymbolEntry entry;
        if (parse_line(line, entry))
            file.symbols.push_back(std::move(entry));
        else if (line.find_first_not_of(" \t") != std::string_view::npos)
            file.problems.push_back(path + ":" + std::to_string(line_number) + ": not an \"xxxx name\" line");
    }
    return file;
}

std::string symbol_file_name(std::string_view program_file) { return with_extension(program_file, ".sym"); }

}  // namespace cosmac

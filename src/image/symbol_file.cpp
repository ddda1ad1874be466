#include "image/symbol_file.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "image/posix_file.hpp"

namespace cosmac {
namespace {

bool is_name_start(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool is_name_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'; }

// "xxxx name": four hex digits, white space, a name.
bool parse_line(std::string_view line, SymbolEntry& entry)
{
    if (line.size() < 6 || !std::all_of(line.begin(), line.begin() + 4, [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }))
        return false;
    std::size_t start = 4;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t'))
        ++start;
    std::string_view name = line.substr(start);
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back())))
        name.remove_suffix(1);
    if (start == 4 || name.empty() || !is_name_start(name[0]) || !std::all_of(name.begin(), name.end(), is_name_char))
        return false;
    entry.address = static_cast<uint16_t>(std::stoul(std::string(line.substr(0, 4)), nullptr, 16));
    entry.name = std::string(name);
    return true;
}

}  // namespace

std::string symbol_file_text(std::vector<SymbolEntry> symbols)
{
    std::sort(symbols.begin(), symbols.end(), [](const SymbolEntry& a, const SymbolEntry& b) {
        return a.address != b.address ? a.address < b.address : a.name < b.name;
    });
    std::string text;
    for (const SymbolEntry& symbol : symbols) {
        char address[8];
        std::snprintf(address, sizeof address, "%04x ", symbol.address);
        text += address + symbol.name + "\n";
    }
    return text;
}

SymbolFile read_symbol_file(const std::string& path)
{
    SymbolFile file;
    const FileContents contents = read_file(path);
    if (contents.error_number == ENOENT)
        return file;
    file.found = true;
    if (contents.error_number != 0) {
        file.problems.push_back(path + ": " + std::strerror(contents.error_number));
        return file;
    }
    const std::string& text = contents.bytes;
    int line_number = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string_view line = std::string_view(text).substr(start, end - start);
        ++line_number;
        SymbolEntry entry;
        if (parse_line(line, entry))
            file.symbols.push_back(std::move(entry));
        else if (line.find_first_not_of(" \t\r") != std::string_view::npos)
            file.problems.push_back(path + ":" + std::to_string(line_number) + ": not an \"xxxx name\" line");
        start = end + 1;
    }
    return file;
}

std::string symbol_file_name(std::string_view program_file) { return with_extension(program_file, ".sym"); }

}  // namespace cosmac

#include "image/line_file.hpp"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <map>

#include "image/posix_file.hpp"
#include "text/text.hpp"

namespace cosmac {
namespace {

// A hex or decimal field of the whole text, or false.
template <class T>
bool parse_number(std::string_view text, int base, T& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::string line_file_text(const LineTable& table)
{
    std::vector<LineTable::Entry> entries = table.entries;
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.address < b.address; });
    std::string text;
    for (const LineTable::Entry& entry : entries) {
        text.append(hex_text(entry.address, 4))
            .append(" ")
            .append(hex_text(entry.size, 1))
            .append(" ")
            .append(table.files[entry.file])
            .append(":")
            .append(std::to_string(entry.line))
            .append("\n");
    }
    return text;
}

LineFile read_line_file(const std::string& path)
{
    LineFile file;
    const std::filesystem::path directory = std::filesystem::path(path).parent_path();
    std::map<std::string, uint32_t, std::less<>> file_numbers;
    const auto unreadable = read_lines(path, [&](std::string_view line, int number) {
        const std::size_t size_end = line.find(' ', 5);
        const std::size_t colon = line.rfind(':');
        LineTable::Entry entry{};
        if (line.size() < 9 || line[4] != ' ' || size_end == std::string_view::npos || colon == std::string_view::npos ||
            colon <= size_end + 1 || !parse_number(line.substr(0, 4), 16, entry.address) ||
            !parse_number(line.substr(5, size_end - 5), 16, entry.size) || entry.size == 0 ||
            !parse_number(line.substr(colon + 1), 10, entry.line) || entry.line == 0) {
            if (line.find_first_not_of(" \t") != std::string_view::npos)
                file.problems.push_back(path + ":" + std::to_string(number) + ": not an \"xxxx n path:line\" line");
            return;
        }
        const std::string source = (directory / line.substr(size_end + 1, colon - size_end - 1)).lexically_normal();
        const auto [it, added] = file_numbers.try_emplace(source, static_cast<uint32_t>(file.table.files.size()));
        if (added)
            file.table.files.push_back(source);
        entry.file = it->second;
        file.table.entries.push_back(entry);
    });
    if (unreadable)
        file.problems.push_back(*unreadable);
    return file;
}

std::string line_file_name(std::string_view program_file) { return with_extension(program_file, ".lines"); }

}  // namespace cosmac

#include "debug/source_lines.hpp"

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "image/posix_file.hpp"

namespace cosmac {
namespace {

bool same_path(std::string_view a, std::string_view b)
{
    return std::filesystem::absolute(a).lexically_normal() == std::filesystem::absolute(b).lexically_normal();
}

}  // namespace

void SourceLines::add(const LineTable& table)
{
    std::vector<uint32_t> numbers;
    for (const std::string& file : table.files) {
        const auto known = std::find(files_.begin(), files_.end(), file);
        numbers.push_back(static_cast<uint32_t>(known - files_.begin()));
        if (known == files_.end())
            files_.push_back(file);
    }
    for (const LineTable::Entry& entry : table.entries)
        starts_[entry.address] = {numbers[entry.file], entry.line, entry.address, entry.size};
}

std::optional<SourcePlace> SourceLines::at(uint16_t address) const
{
    auto it = starts_.upper_bound(address);
    if (it == starts_.begin())
        return std::nullopt;
    const SourcePlace& place = std::prev(it)->second;
    if (address - place.address >= place.size)
        return std::nullopt;
    return place;
}

bool SourceLines::looks_like_place(std::string_view word)
{
    const std::size_t colon = word.rfind(':');
    return colon != std::string_view::npos && colon > 0 && colon + 1 < word.size() &&
           std::all_of(word.begin() + static_cast<std::ptrdiff_t>(colon) + 1, word.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<uint32_t> SourceLines::line_of(std::string_view place)
{
    const std::string_view digits = place.substr(place.rfind(':') + 1);
    uint32_t line = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), line);
    if (error != std::errc() || end != digits.data() + digits.size() || line == 0)
        return std::nullopt;
    return line;
}

PlaceReading SourceLines::find(std::string_view file_and_line) const
{
    const std::string_view file = file_and_line.substr(0, file_and_line.rfind(':'));
    const auto wanted = line_of(file_and_line);
    if (!wanted)
        return {std::nullopt, "Not a line number: " + std::string(file_and_line.substr(file.size() + 1)), {}};
    const uint32_t line = *wanted;
    std::vector<uint32_t> matches;
    for (uint32_t i = 0; i < files_.size(); ++i) {
        const std::string& known = files_[i];
        if (known == file || (known.ends_with(file) && known[known.size() - file.size() - 1] == '/') ||
            same_path(known, file))
            matches.push_back(i);
    }
    if (matches.empty())
        return {std::nullopt, "No source file " + std::string(file), {}};
    if (matches.size() > 1)
        return {std::nullopt, std::string(file) + " names more than one source file", {}};
    std::optional<SourcePlace> next;
    for (const auto& [address, place] : starts_) {
        if (place.file == matches[0] && place.line >= line && (!next || place.line < next->line))
            next = place;
    }
    if (!next)
        return {std::nullopt, "No code at or after " + std::string(file_and_line), {}};
    std::string note;
    if (next->line != line)
        note = "note: " + std::string(file_and_line) + " has no code; " + name(*next) + " is the next line that has";
    return {next, {}, note};
}

std::string SourceLines::name(const SourcePlace& place) const
{
    return std::filesystem::path(files_[place.file]).filename().string() + ":" + std::to_string(place.line);
}

const std::vector<std::string>& SourceLines::lines_of(uint32_t file) const
{
    const auto emplaced = texts_.try_emplace(file);
    std::vector<std::string>& lines = emplaced.first->second;
    if (emplaced.second)
        read_lines(files_[file], [&lines](std::string_view line, int) { lines.emplace_back(line); });
    return lines;
}

std::string SourceLines::text(uint32_t file, uint32_t line) const
{
    const std::vector<std::string>& lines = lines_of(file);
    return line >= 1 && line <= lines.size() ? lines[line - 1] : std::string();
}

uint32_t SourceLines::line_count(uint32_t file) const { return static_cast<uint32_t>(lines_of(file).size()); }

}  // namespace cosmac

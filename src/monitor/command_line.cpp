#include "monitor/command_line.hpp"

#include "monitor/hex_number.hpp"

namespace cosmac {

void parse_command_line(std::string_view line, CommandLine& command)
{
    command.text = line;
    command.count = 1;
    if (line.empty())
        return;
    command.letter = line[0];
    std::size_t position = 1;
    const auto arg1 = parse_hex(line, position);
    if (!arg1)
        return;
    command.arg1 = *arg1;
    command.count = 2;
    const auto arg2 = parse_hex(line, position);
    if (!arg2)
        return;
    command.arg2 = *arg2;
    command.count = 3;
}

std::string_view as_c_string(std::string_view line) { return line.substr(0, line.find('\0')); }

std::optional<std::string_view> file_name_argument(std::string_view line, std::size_t& position)
{
    if (line.empty())
        return std::nullopt;
    position = 1;
    while (position < line.size() && is_blank(line[position]))
        ++position;
    const std::size_t start = position;
    while (position < line.size() && !is_blank(line[position]))
        ++position;
    if (position == start)
        return std::nullopt;
    return line.substr(start, position - start);
}

}  // namespace cosmac

#include "monitor/image_commands.hpp"

#include <cstring>
#include <optional>
#include <string>

#include "image/image_file.hpp"
#include "image/symbol_file.hpp"
#include "monitor/hex_number.hpp"

namespace cosmac {
namespace {

void report(Console& console, const ImageResult& result)
{
    switch (result.kind) {
    case ImageResult::Kind::Ok:
        break;
    case ImageResult::Kind::InvalidFile:
        console.write("Invalid file\n");
        break;
    case ImageResult::Kind::SystemError:
        console.write_error(std::string(result.context) + ": " + std::strerror(result.error_number) + "\n");
        break;
    }
}

// The command line as scanf sees it: text ends at a NUL byte.
std::string_view as_c_string(std::string_view line) { return line.substr(0, line.find('\0')); }

// "%c %s": the letter, then a file name of non-blank characters.
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

}  // namespace

void load_file(Session& session, std::string_view name)
{
    const std::string path = image_file_name(name);
    const ImageResult result = load_image(path, session.memory);
    report(session.console, result);
    if (!session.debugger || result.kind != ImageResult::Kind::Ok)
        return;
    const SymbolFile symbols = read_symbol_file(symbol_file_name(path));
    for (const std::string& problem : symbols.problems)
        session.console.write_error(problem + "\n");
    session.debugger->add_symbols(symbols.symbols);
}

Next save_command(Session& session, const CommandLine& command)
{
    const std::string_view line = as_c_string(command.text);
    std::size_t position = 0;
    const auto name = file_name_argument(line, position);
    const auto location = name ? parse_hex(line, position) : std::nullopt;
    const auto length = location ? parse_hex(line, position) : std::nullopt;
    if (!length) {
        session.console.write("Usage: S [filename] [location] [length]\n");
        return Next::Prompt;
    }
    report(session.console, save_image(image_file_name(*name), session.memory, static_cast<uint16_t>(*location),
                                       static_cast<uint16_t>(*length)));
    return Next::Prompt;
}

Next load_command(Session& session, const CommandLine& command)
{
    std::size_t position = 0;
    const auto name = file_name_argument(as_c_string(command.text), position);
    if (!name)
        session.console.write("Usage: L [filename]\n");
    else
        load_file(session, *name);
    return Next::Prompt;
}

}  // namespace cosmac

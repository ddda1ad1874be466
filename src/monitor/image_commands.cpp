#include "monitor/image_commands.hpp"

#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "image/image_file.hpp"
#include "image/line_file.hpp"
#include "image/program_file.hpp"
#include "image/symbol_file.hpp"
#include "monitor/machine_memory.hpp"
#include "monitor/hex_number.hpp"

namespace cosmac {
namespace {

// True when there was nothing to report.
bool report(Console& console, const ImageResult& result)
{
    switch (result.kind) {
    case ImageResult::Kind::Ok:
        return true;
    case ImageResult::Kind::InvalidFile:
        console.write("Invalid file\n");
        break;
    case ImageResult::Kind::SystemError:
        console.write_error(std::string(result.context) + ": " + std::strerror(result.error_number) + "\n");
        break;
    }
    return false;
}


// In debugger mode, the symbols and source lines that cosmac-asm wrote beside a
// program file.
void read_symbols(Session& session, const std::string& program_path)
{
    if (!session.debugger)
        return;
    const SymbolFile symbols = read_symbol_file(symbol_file_name(program_path));
    const LineFile lines = read_line_file(line_file_name(program_path));
    for (const std::vector<std::string>* problems : {&symbols.problems, &lines.problems}) {
        for (const std::string& problem : *problems)
            session.console.write_error(problem + "\n");
    }
    session.symbols.add(symbols.symbols);
    session.source_lines.add(lines.table);
}

}  // namespace

StartUpLoad load_program_files(Session& session, std::span<const std::string> files)
{
    StartUpLoad load;
    for (const std::string& file : files) {
        const LoadedProgram loaded = load_program(file, session.memory);
        if (!loaded.error.empty()) {
            session.console.write_error("cosmac: " + loaded.error + "\n");
            return {false, {}};
        }
        if (&file == &files.front())
            load.first_lowest = loaded.lowest;
        read_symbols(session, loaded.path);
    }
    return load;
}

Next save_command(Session& session, const CommandLine& command)
{
    const std::string_view line = as_c_string(command.text);
    std::size_t position{};  // file_name_argument sets it to where the name ends
    const auto name = file_name_argument(line, position);
    const auto location = name ? parse_hex(line, position) : std::nullopt;
    const auto length = location ? parse_hex(line, position) : std::nullopt;
    if (!length) {
        session.console.write("Usage: S [filename] [location] [length]\n");
        return Next::Prompt;
    }
    report(session.console, save_image(image_file_name(*name), seen_memory(session), static_cast<uint16_t>(*location),
                                       static_cast<uint16_t>(*length)));
    return Next::Prompt;
}

Next load_command(Session& session, const CommandLine& command)
{
    std::size_t position{};
    const auto name = file_name_argument(as_c_string(command.text), position);
    if (!name) {
        session.console.write("Usage: L [filename]\n");
        return Next::Prompt;
    }
    const std::string path = image_file_name(*name);
    if (!session.board) {
        if (report(session.console, load_image(path, session.memory)))
            read_symbols(session, path);
        return Next::Prompt;
    }
    // A board's memory takes the bytes through its map.
    auto loaded = std::make_unique<Memory>(session.memory);
    const bool ok = report(session.console, load_image(path, *loaded));
    CommandStores stores(session);
    stores.store_changes(*loaded);
    session.console.write(stores.note());
    if (ok)
        read_symbols(session, path);
    return Next::Prompt;
}

}  // namespace cosmac

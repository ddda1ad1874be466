// The S and L commands, and the images named when the monitor starts.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "monitor/command_line.hpp"
#include "monitor/session.hpp"

namespace cosmac {

// Loads the program files named on the command line, each by its kind, and in
// debugger mode the symbol file beside each. A file that cannot be loaded is
// reported on standard error, "cosmac: name: reason", and ends the loading:
// the result is then empty. Otherwise it is the lowest address loaded from the
// first file, if any was named.
struct StartUpLoad {
    bool ok = true;
    std::optional<uint16_t> first_lowest;
};
StartUpLoad load_program_files(Session& session, std::span<const std::string> files);

Next save_command(Session& session, const CommandLine& command);
Next load_command(Session& session, const CommandLine& command);

}  // namespace cosmac

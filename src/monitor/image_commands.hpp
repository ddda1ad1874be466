// The S and L commands, and the images named when the monitor starts.
#pragma once

#include <string_view>

#include "monitor/command_line.hpp"
#include "monitor/session.hpp"

namespace cosmac {

// Loads the named image as L does, reporting any failure on the console. In
// debugger mode the symbol file beside the image is read too, when there is one.
void load_file(Session& session, std::string_view name);

Next save_command(Session& session, const CommandLine& command);
Next load_command(Session& session, const CommandLine& command);

}  // namespace cosmac

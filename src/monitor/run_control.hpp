#pragma once

#include "monitor/command_line.hpp"
#include "monitor/session.hpp"

namespace cosmac {

// s, g and u.
Next step_command(Session& session, const CommandLine& command);
Next go_command(Session& session, const CommandLine& command);
Next list_command(Session& session, const CommandLine& command);

}  // namespace cosmac

#pragma once

#include <cstdint>

#include "monitor/session.hpp"

namespace cosmac {

// s, g and u. count is how many of letter, arg1 and arg2 the command line gave.
void step_command(Session& session, int count, uint32_t arg1);
void go_command(Session& session, int count, uint32_t arg1);
void list_command(Session& session, int count, uint32_t arg1);

}  // namespace cosmac

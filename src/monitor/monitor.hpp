#pragma once

#include <span>
#include <string>

#include "monitor/console.hpp"

namespace cosmac {

// The banner, then each of the images loaded as L loads it, then prompt, read,
// run until q or the end of input. Returns the exit status.
int run_monitor(Console& console, std::span<const std::string> images = {});

}  // namespace cosmac

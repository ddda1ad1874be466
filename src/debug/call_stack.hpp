// Where the standard call technique will return to, read from the machine as a
// debugger's call stack. The call routine saves the caller's R6 on the R2
// stack, high byte first, and leaves R6 at the return address after the
// inline target; nothing records how deep the calls go, so the walk reads what
// looks like it: an address just after a Call (D4 hi lo) in R6, then each saved
// R6 found above R2, past whatever the routines pushed of their own. On the
// extended set SCAL R6 (68 86 hi lo) is such a call too, and its SRET R6 the
// return; SCAL saves R6 on the stack in the other byte order.
#pragma once

#include <cstdint>
#include <vector>

#include "cpu/machine_state.hpp"

namespace cosmac {

struct CallStackLimits {
    unsigned frames = 16;  // return addresses at most
    unsigned gap = 32;     // bytes a routine may have pushed above a saved R6
};

// The return addresses, innermost first.
std::vector<uint16_t> standard_call_returns(const MachineState& state, const Memory& memory,
                                            const CallStackLimits& limits = {}, bool extended = false);

// Where the call that returns to the address (one of those above) stands: the
// Call three bytes before it, or SCAL R6 four.
uint16_t call_site(const Memory& memory, uint16_t return_address, bool extended = false);

}  // namespace cosmac

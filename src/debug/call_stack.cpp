#include "debug/call_stack.hpp"

#include "debug/debugger.hpp"

namespace cosmac {
namespace {

// An address that a Call's return comes back to: the three bytes before it are
// the Call and its target.
bool after_a_call(const Memory& memory, uint16_t address)
{
    return memory[static_cast<uint16_t>(address - 3)] == kCall;
}

}  // namespace

std::vector<uint16_t> standard_call_returns(const MachineState& state, const Memory& memory,
                                            const CallStackLimits& limits)
{
    std::vector<uint16_t> returns;
    if (!after_a_call(memory, state.R[6]))
        return returns;
    returns.push_back(state.R[6]);
    uint16_t above = state.R[2];  // the saved R6 lies past here: low byte, then high
    while (returns.size() < limits.frames) {
        bool found = false;
        for (unsigned offset = 1; offset <= limits.gap && !found; ++offset) {
            const auto low = static_cast<uint16_t>(above + offset);
            const auto saved = static_cast<uint16_t>(memory[low] | memory[static_cast<uint16_t>(low + 1)] << 8);
            if (after_a_call(memory, saved)) {
                returns.push_back(saved);
                above = static_cast<uint16_t>(low + 1);
                found = true;
            }
        }
        if (!found)
            break;
    }
    return returns;
}

}  // namespace cosmac

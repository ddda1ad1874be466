#include "debug/call_stack.hpp"

#include "cpu/opcode_table.hpp"
#include "debug/debugger.hpp"

namespace cosmac {
namespace {

// What an address comes back after: a Call (D4 hi lo) in the three bytes
// before it, or on the extended set SCAL R6 (68 86 hi lo) in the four.
enum class CallKind : uint8_t { None, Call, Scal };

CallKind call_before(const Memory& memory, uint16_t address, bool extended)
{
    if (memory[static_cast<uint16_t>(address - 3)] == kCall)
        return CallKind::Call;
    if (extended && memory[static_cast<uint16_t>(address - 4)] == kExtendedPrefix &&
        memory[static_cast<uint16_t>(address - 3)] == (kScalRow << 4 | 6))
        return CallKind::Scal;
    return CallKind::None;
}

}  // namespace

std::vector<uint16_t> standard_call_returns(const MachineState& state, const Memory& memory,
                                            const CallStackLimits& limits, bool extended)
{
    std::vector<uint16_t> returns;
    CallKind kind = call_before(memory, state.R[6], extended);
    if (kind == CallKind::None)
        return returns;
    returns.push_back(state.R[6]);
    // The caller's R6, saved past R2 by the call that returns here: the call
    // routine saves it high byte first, so that it reads low then high; SCAL
    // pushes it low byte first, so that it reads high then low.
    uint16_t above = state.R[2];
    while (returns.size() < limits.frames) {
        bool found = false;
        for (unsigned offset = 1; offset <= limits.gap && !found; ++offset) {
            const auto low = static_cast<uint16_t>(above + offset);
            const uint8_t first = memory[low];
            const uint8_t second = memory[static_cast<uint16_t>(low + 1)];
            const auto saved = static_cast<uint16_t>(kind == CallKind::Scal ? first << 8 | second : first | second << 8);
            if (const CallKind next = call_before(memory, saved, extended); next != CallKind::None) {
                returns.push_back(saved);
                above = static_cast<uint16_t>(low + 1);
                kind = next;
                found = true;
            }
        }
        if (!found)
            break;
    }
    return returns;
}

uint16_t call_site(const Memory& memory, uint16_t return_address, bool extended)
{
    const unsigned length = call_before(memory, return_address, extended) == CallKind::Scal ? 4 : 3;
    return static_cast<uint16_t>(return_address - length);
}

}  // namespace cosmac

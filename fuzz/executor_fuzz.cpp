// The executor from arbitrary registers and memory for a bounded number of steps,
// on the 1802's instruction set or the 1805's with its counter in any state.
// After every instruction: DF, Q and IE are 0 or 1, P, X, N and I fit in 4 bits,
// the counter's flags are 0 or 1 and its prescaler under 32, and nothing inside
// 4000-9000 has changed except the byte an INP wrote. Then a run, which works on
// its own copy of the registers, must end exactly where single steps under the
// same rules end.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "cpu/executor.hpp"
#include "fuzz_input.hpp"
#include "scripted_io.hpp"

namespace {

constexpr cosmac::ProtectedWindow kWindow;

constexpr int kSteps = 256;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    using namespace cosmac;
    fuzzing::Input in{data, size};
    MachineState s;
    for (auto& r : s.R)
        r = static_cast<uint16_t>(in.byte() << 8 | in.byte());
    s.D = in.byte();
    s.DF = in.byte() & 1;
    s.P = in.byte() & 0xF;
    s.X = in.byte() & 0xF;
    s.T = in.byte();
    s.IE = in.byte() & 1;
    s.Q = in.byte() & 1;
    s.EF4 = in.byte();
    const bool extended = in.byte() & 1;
    if (extended) {
        s.counter = {.CNTR = in.byte(),
                     .CH = in.byte(),
                     .prescaler = static_cast<uint8_t>(in.byte() % 32),
                     .mode = static_cast<CounterMode>(in.byte() % 6),
                     .CIL = static_cast<uint8_t>(in.byte() & 1),
                     .CIE = static_cast<uint8_t>(in.byte() & 1),
                     .XIE = static_cast<uint8_t>(in.byte() & 1),
                     .ETQ = static_cast<uint8_t>(in.byte() & 1),
                     .ef_seen = static_cast<uint8_t>(in.byte() & 1)};
        s.EF1 = in.byte() & 1;
        s.EF2 = in.byte() & 1;
    }

    static const auto memory = std::make_unique<Memory>();
    static const auto window = std::make_unique<Memory>();
    in.fill_with_rest(*memory);
    *window = *memory;

    testing::ScriptedIo io;
    for (int i = 0; i < 8; ++i) {
        io.replies.push_back({in.byte(), i % 3 == 2});
        io.keys.push_back(in.byte());
    }
    const MachineState initial = s;
    static const auto initial_memory = std::make_unique<Memory>();
    *initial_memory = *memory;
    const testing::ScriptedIo initial_io = io;

    for (int step = 0; step < kSteps; ++step) {
        const uint8_t opcode = (*memory)[s.R[s.P]];
        // INP writes at R(X) as the instruction sees it: past the opcode when X = P.
        const auto input_address = static_cast<uint16_t>(s.R[s.X] + (s.X == s.P));
        execute_instruction(s, *memory, io, kWindow, extended);
        if (!fuzzing::well_formed(s))
            std::abort();
        if (opcode >= 0x69 && opcode <= 0x6F && kWindow.contains(input_address))
            (*window)[input_address] = (*memory)[input_address];
        if (step % 16 != 15)
            continue;  // the window is compared every 16 steps: a dropped store leaves its mark until then
        constexpr std::size_t kWindowSize = kWindow.last - kWindow.first + 1;
        if (std::memcmp(&(*memory)[kWindow.first], &(*window)[kWindow.first], kWindowSize) != 0)
            std::abort();
    }

    MachineState run_state = initial, step_state = initial;
    static const auto run_memory = std::make_unique<Memory>();
    static const auto step_memory = std::make_unique<Memory>();
    *run_memory = *initial_memory;
    *step_memory = *initial_memory;
    testing::ScriptedIo run_io = initial_io, step_io = initial_io;
    run_io.interrupt = true;
    const RunResult result = run(run_state, *run_memory, run_io, kWindow, kNoLimit, extended);
    bool stopped = false;
    uint64_t executed = 0;
    while (executed < result.executed && !stopped) {
        if ((*step_memory)[step_state.R[step_state.P]] == 0x00)
            std::abort();  // the run executed past an IDLE
        ++executed;
        stopped = execute_instruction(step_state, *step_memory, step_io, kWindow, extended) == StepResult::Stop;
    }
    const bool at_idle = (*step_memory)[step_state.R[step_state.P]] == 0x00;
    if (executed != result.executed || !(run_state == step_state) || *run_memory != *step_memory ||
        run_io.log != step_io.log || (!result.stopped && !at_idle))
        std::abort();
    return 0;
}

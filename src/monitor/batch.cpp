#include "monitor/batch.hpp"

#include "cpu/executor.hpp"
#include "monitor/image_commands.hpp"
#include "monitor/run_control.hpp"
#include "monitor/session.hpp"

namespace cosmac {

int run_batch(Console& console, const MonitorOptions& options, const BatchOptions& batch)
{
    const auto session = make_session(console, options);
    const StartUpLoad load = load_program_files(*session, options.files);
    if (!load.ok)
        return kUsageError;
    MachineState& state = session->state;
    state.R[state.P] = batch.start.value_or(load.first_lowest.value_or(0));

    console.begin_run();
    const RunResult result = run(state, session->memory, session->io, options.window, batch.limit.value_or(kNoLimit),
                                 session->extended);
    console.end_run();

    if (batch.show_registers) {
        show_count(*session, result.executed);
        show_state(*session);
    }
    if (result.stopped)
        return kStopped;
    return session->memory[state.R[state.P]] == 0x00 ? kReachedIdle : kLimitReached;
}

}  // namespace cosmac

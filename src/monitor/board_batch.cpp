#include "monitor/board_batch.hpp"

#include "cpu/execution.hpp"
#include "monitor/image_commands.hpp"
#include "monitor/run_control.hpp"
#include "monitor/session.hpp"
#include "text/text.hpp"

namespace cosmac {

int run_board_batch(Console& console, const MonitorOptions& options, const BatchOptions& batch,
                    const BoardBatchOptions& board_options)
{
    const auto session = make_session(console, options);
    const auto quiet_cycles =
        static_cast<uint64_t>(board_options.quiet_seconds * static_cast<double>(board_options.spec.clock_hz) / 8);
    Board board(board_options.spec, [&console](uint8_t byte) { console.write_char(static_cast<char>(byte)); },
                quiet_cycles);
    board.clear_unmapped(session->memory);
    const StartUpLoad load = load_program_files(*session, options.files);
    if (!load.ok)
        return kUsageError;
    if (const auto outside = board.clear_unmapped(session->memory)) {
        console.write_error("cosmac: warning: the board has no memory at " + hex_text(*outside, 4) +
                            ", where a file loaded bytes; it reads ff there\n");
    }
    MachineState& state = session->state;
    BoardBus bus{board, board.writable()};
    board.reset(state, bus);
    if (batch.start)
        state.R[state.P] = *batch.start;
    while (const auto key = console.read_key()) {
        if (board.serial())
            board.serial()->queue_key(*key);
    }

    console.begin_run();
    BoardRun policy{&board.writable(), batch.limit.value_or(0)};
    const RunResult result = run_board_with(state, session->memory, bus, policy);
    if (board.serial())
        board.serial()->advance(bus.cycles);
    console.end_run();

    if (batch.show_registers) {
        show_count(*session, result.executed);
        show_state(*session);
    }
    return result.stopped || bus.idle ? kReachedIdle : kLimitReached;
}

}  // namespace cosmac

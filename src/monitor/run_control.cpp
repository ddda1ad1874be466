#include "monitor/run_control.hpp"

#include <cinttypes>

#include "cpu/disassembler.hpp"
#include "cpu/executor.hpp"
#include "monitor/debug_text.hpp"
#include "monitor/displays.hpp"
#include "monitor/machine_memory.hpp"
#include "text/text.hpp"

namespace cosmac {
namespace {

// Traced instructions, as they execute, to the console.
class ConsoleTrace final : public TraceSink {
public:
    explicit ConsoleTrace(Session& session) : session_(session) {}
    // A trace line starts a line of its own after a program's output.
    void traced(const HistoryStep& step) override
    {
        if (session_.console.character_line_open())
            session_.console.write("\n");
        session_.console.write(trace_line(step, session_.symbols));
    }

private:
    Session& session_;
};

}  // namespace

void set_program_counter(Session& session, const CommandLine& command)
{
    if (command.count >= 2)
        session.state.R[session.state.P] = static_cast<uint16_t>(command.arg1);
}

// The end of every run: why it stopped, the count, in debugger mode the cycles,
// the registers and the next instruction. In debugger and board mode this report
// starts on a line of its own when the program's output left one open.
void show_run_end(Session& session, const RunResult& result, std::string_view reason, std::string_view cycles)
{
    if ((session.debugger || session.board) && session.console.character_line_open())
        session.console.write("\n");
    if (!reason.empty()) {
        session.console.write(reason);
        session.console.write("\n\n");
    } else if (result.stopped) {
        session.console.write("Break\n\n");
    }
    show_count(session, result.executed);
    session.console.write(cycles);
    show_state(session);
}


void show_count(Session& session, uint64_t executed)
{
    session.console.write(formatted("%" PRIu64 " instructions executed\n", executed));
}

void show_state(Session& session)
{
    const uint16_t pc = session.state.R[session.state.P];
    session.console.write(session.registers_on_one_line
                              ? register_line(session.state, session.extended)
                              : register_display(session.state, session.debugger != nullptr, session.extended));
    session.console.write(session.symbols.label_lines(pc));
    session.console.write(instruction_line(disassemble(seen_memory(session), pc, session.extended), session.symbols));
    if (const auto place = session.source_lines.at(pc))
        session.console.write(source_line(session, *place));
}

std::string source_line(const Session& session, const SourcePlace& place)
{
    return "  " + session.source_lines.name(place) + "   " + std::string(trim(session.source_lines.text(place.file, place.line))) + "\n";
}

Next step_command(Session& session, const CommandLine& command)
{
    if (session.board)
        return board_step(session, command);
    set_program_counter(session, command);
    session.console.begin_run();
    // A stop makes no difference to one step; a cancelled one leaves the machine as it was.
    if (session.debugger)
        session.debugger->step(session.state, session.memory, session.io);
    else
        execute_instruction(session.state, session.memory, session.io, session.window, session.extended);
    session.console.end_run();
    show_state(session);
    session.current_location = session.state.R[session.state.P];
    return Next::Prompt;
}

Next go_command(Session& session, const CommandLine& command)
{
    set_program_counter(session, command);
    if (session.board)
        return board_run(session, RunGoal::Go);
    if (session.debugger)
        return debug_run(session, RunGoal::Go);
    session.console.begin_run();
    const RunResult result =
        run(session.state, session.memory, session.io, session.window, kNoLimit, session.extended);
    session.console.end_run();
    show_run_end(session, result, {}, {});
    return Next::Prompt;
}

Next debug_run(Session& session, RunGoal goal, uint64_t count, bool trace, LineRange line)
{
    ConsoleTrace console_trace(session);
    if (session.board)
        return board_run(session, goal, count, trace ? &console_trace : nullptr, line);
    session.console.begin_run();
    const DebugOutcome outcome = session.debugger->run(session.state, session.memory, session.io, goal, count,
                                                       trace ? &console_trace : nullptr, line);
    session.console.end_run();
    show_run_end(session, outcome.result, stop_reason(outcome, session.symbols, {}),
                 cycles_line(outcome.cycles, session.clock_mhz));
    return Next::Prompt;
}

Next list_command(Session& session, const CommandLine& command)
{
    if (command.count >= 2)
        session.current_location = static_cast<uint16_t>(command.arg1);
    const Memory& memory = seen_memory(session);
    for (int i = 0; i < 16; ++i) {
        const Disassembly instruction = disassemble(memory, session.current_location, session.extended);
        session.console.write(session.symbols.label_lines(session.current_location));
        session.current_location = static_cast<uint16_t>(session.current_location + instruction.length);
        session.console.write(instruction_line(instruction, session.symbols));
    }
    return Next::Prompt;
}

}  // namespace cosmac

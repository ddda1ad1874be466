#include "monitor/run_control.hpp"

#include <cinttypes>
#include <cstdio>

#include "cpu/disassembler.hpp"
#include "cpu/executor.hpp"
#include "monitor/displays.hpp"

namespace cosmac {
namespace {

void show_state(Session& session)
{
    session.console.write(register_display(session.state));
    session.console.write(disassemble(session.memory, session.state.R[session.state.P]).line);
}

void set_program_counter(Session& session, const CommandLine& command)
{
    if (command.count >= 2)
        session.state.R[session.state.P] = static_cast<uint16_t>(command.arg1);
}

}  // namespace

Next step_command(Session& session, const CommandLine& command)
{
    set_program_counter(session, command);
    session.console.begin_run();
    execute_instruction(session.state, session.memory, session.io);  // a stop makes no difference to one step
    session.console.end_run();
    show_state(session);
    session.current_location = session.state.R[session.state.P];
    return Next::Prompt;
}

Next go_command(Session& session, const CommandLine& command)
{
    set_program_counter(session, command);
    session.console.begin_run();
    const RunResult result = run(session.state, session.memory, session.io);
    session.console.end_run();
    if (result.stopped)
        session.console.write("Break\n\n");
    char line[48];
    std::snprintf(line, sizeof line, "%" PRIu64 " instructions executed\n", result.executed);
    session.console.write(line);
    show_state(session);
    return Next::Prompt;
}

Next list_command(Session& session, const CommandLine& command)
{
    if (command.count >= 2)
        session.current_location = static_cast<uint16_t>(command.arg1);
    for (int i = 0; i < 16; ++i) {
        const Disassembly instruction = disassemble(session.memory, session.current_location);
        session.current_location = static_cast<uint16_t>(session.current_location + instruction.length);
        session.console.write(instruction.line);
    }
    return Next::Prompt;
}

}  // namespace cosmac

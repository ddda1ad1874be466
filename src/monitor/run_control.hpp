#pragma once

#include "monitor/command_line.hpp"
#include "monitor/session.hpp"

namespace cosmac {

// s, g and u.
Next step_command(Session& session, const CommandLine& command);
Next go_command(Session& session, const CommandLine& command);
Next list_command(Session& session, const CommandLine& command);

// g ADDRESS and s ADDRESS: the program counter, R(P), takes the address.
void set_program_counter(Session& session, const CommandLine& command);

// The end of a run: the reason it stopped (or Break when the user stopped it),
// the count, the cycles line, the registers and the next instruction.
void show_run_end(Session& session, const RunResult& result, std::string_view reason, std::string_view cycles);

// The register display and the next instruction, as s shows them, and in
// debugger mode the source line it came from.
void show_state(Session& session);

// "  name.asm:42   glo ra": where a place is in its source, and its text.
std::string source_line(const Session& session, const SourcePlace& place);

// "n instructions executed", as g ends.
void show_count(Session& session, uint64_t executed);

// A run in debugger mode toward the goal, ended as g ends: the reason it stopped,
// the count, the cycles, the registers and the next instruction.
Next debug_run(Session& session, RunGoal goal, uint64_t count = 0, bool trace = false, LineRange line = {});

}  // namespace cosmac

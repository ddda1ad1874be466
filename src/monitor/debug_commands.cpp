#include "monitor/debug_commands.hpp"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "monitor/arguments.hpp"
#include "monitor/debug_text.hpp"
#include "monitor/machine_memory.hpp"
#include "monitor/run_control.hpp"
#include "monitor/session.hpp"
#include "text/text.hpp"

namespace cosmac {
namespace {

constexpr uint64_t kDefaultCount = 0x10;

void say(Session& session, const std::string& line) { session.console.write(line + "\n"); }

// A value for the field, or empty once the user has been told why not.
std::optional<uint32_t> value(Session& session, std::string_view word, const Field& field)
{
    const Reading reading = read_value(word, session.symbols, field);
    if (!reading.value)
        say(session, reading.error);
    return reading.value;
}

std::optional<uint16_t> address(Session& session, std::string_view word)
{
    const auto read = value(session, word, kAddressField);
    return read ? std::optional<uint16_t>(static_cast<uint16_t>(*read)) : std::nullopt;
}

// The optional count of t, y and k; says so when it is 0 or no number.
std::optional<uint64_t> count(Session& session, const CommandLine& command, const char* usage,
                              uint64_t otherwise = kDefaultCount)
{
    const auto words = argument_words(command.text);
    if (words.empty())
        return otherwise;
    if (words.size() > 1) {
        say(session, usage);
        return std::nullopt;
    }
    const auto read = value(session, words[0], kCountField);
    if (read && *read == 0)
        say(session, "The count must be at least 1");
    return read && *read > 0 ? std::optional<uint64_t>(*read) : std::nullopt;
}

std::string at(const Session& session, uint16_t address)
{
    return hex_text(address, 4) + session.symbols.describe(address);
}

std::string range(const Session& session, std::pair<uint16_t, uint32_t> watched)
{
    const auto [first, length] = watched;
    return hex_text(first, 4) + "-" + hex_text(static_cast<uint16_t>(first + length - 1), 4) +
           session.symbols.describe(first);
}

Next breakpoint(Session& session, const CommandLine& command)
{
    const auto words = argument_words(command.text);
    Debugger& debugger = *session.debugger;
    if (words.empty()) {
        if (debugger.breakpoints().empty())
            say(session, "No breakpoints");
        for (const uint16_t address : debugger.breakpoints())
            say(session, at(session, address));
    } else if (words.size() > 1) {
        say(session, "usage: b [address | -]");
    } else if (words[0] == "-") {
        debugger.clear_breakpoints();
        say(session, "Breakpoints cleared");
    } else if (const auto address_read = address(session, words[0])) {
        say(session, (debugger.toggle_breakpoint(*address_read) ? "Breakpoint set at " : "Breakpoint cleared at ") +
                         at(session, *address_read));
    }
    return Next::Prompt;
}

Next watchpoint(Session& session, const CommandLine& command)
{
    const auto words = argument_words(command.text);
    Debugger& debugger = *session.debugger;
    if (words.empty()) {
        if (debugger.watchpoints().empty())
            say(session, "No watchpoints");
        for (const auto& watched : debugger.watchpoints())
            say(session, range(session, watched));
        return Next::Prompt;
    }
    if (words.size() > 2) {
        say(session, "usage: w [address [length] | -]");
        return Next::Prompt;
    }
    if (words[0] == "-" && words.size() == 1) {
        debugger.clear_watchpoints();
        say(session, "Watchpoints cleared");
        return Next::Prompt;
    }
    const auto first = address(session, words[0]);
    if (!first)
        return Next::Prompt;
    std::optional<uint32_t> length = 1;
    if (words.size() == 2 && (length = value(session, words[1], Field{"a watch length", kMemorySize})) && *length == 0)
        say(session, "The watch length must be at least 1");
    if (!length || *length == 0)
        return Next::Prompt;
    std::pair<uint16_t, uint32_t> changed;
    const bool set = debugger.toggle_watchpoint(*first, *length, changed);
    say(session, (set ? "Watchpoint set on " : "Watchpoint cleared on ") + range(session, changed));
    return Next::Prompt;
}

// n and o take no arguments.
bool no_arguments(Session& session, const CommandLine& command, const char* usage)
{
    if (argument_words(command.text).empty())
        return true;
    say(session, usage);
    return false;
}

// n over a call runs until the call comes back; on a return it runs out to the
// caller, as o does; on a plain SEP back to the P that called the running code,
// and on anything else, it is one step.
Next step_over(Session& session, const CommandLine& command)
{
    if (!no_arguments(session, command, "usage: n"))
        return Next::Prompt;
    const uint8_t p = session.state.P;
    const uint8_t opcode = seen_memory(session)[session.state.R[p]];
    const bool sep_away = opcode >> 4 == 0xD && (opcode & 0xF) != p;
    if (sep_away && opcode == kReturn)
        return debug_run(session, RunGoal::StepOut);
    const bool plain_return = opcode != kCall && session.debugger->calling_p() == (opcode & 0xF);
    return sep_away && !plain_return ? debug_run(session, RunGoal::StepOver) : debug_run(session, RunGoal::Count, 1);
}

Next step_out(Session& session, const CommandLine& command)
{
    if (!no_arguments(session, command, "usage: o"))
        return Next::Prompt;
    return debug_run(session, RunGoal::StepOut);
}

Next trace(Session& session, const CommandLine& command)
{
    const auto n = count(session, command, "usage: t [count]");
    return n ? debug_run(session, RunGoal::Count, *n, /*trace=*/true) : Next::Prompt;
}

Next show_history(Session& session, const CommandLine& command)
{
    const auto n = count(session, command, "usage: y [count]");
    if (!n)
        return Next::Prompt;
    for (const HistoryStep& step : session.debugger->recent(*n, session.state))
        session.console.write(trace_line(step, session.symbols));
    return Next::Prompt;
}

constexpr const char* kOldestReached = "At the oldest instruction in the history";

Next step_back(Session& session, const CommandLine& command)
{
    const auto n = count(session, command, "usage: k [count]", 1);
    if (!n)
        return Next::Prompt;
    if (session.debugger->step_back(session.state, session.memory, *n) < *n)
        say(session, kOldestReached);
    show_state(session);
    session.current_location = session.state.R[session.state.P];
    return Next::Prompt;
}

// With nothing to stop at, K would undo the whole history, which cannot be redone.
Next run_back(Session& session, const CommandLine& command)
{
    if (!no_arguments(session, command, "usage: K"))
        return Next::Prompt;
    if (session.debugger->breakpoints().empty() && session.debugger->watchpoints().empty()) {
        say(session, "No breakpoint or watchpoint to run back to");
        return Next::Prompt;
    }
    session.console.begin_run();
    const DebugOutcome outcome = session.debugger->run_back(session.state, session.memory, session.io);
    session.console.end_run();
    say(session, outcome.stop == StopKind::OldestReached
                     ? kOldestReached
                     : stop_reason(outcome, session.symbols, ignored_store(session, outcome)) + "\n");
    show_state(session);
    session.current_location = session.state.R[session.state.P];
    return Next::Prompt;
}

// A board's interrupt line and EF lines belong to its devices: x INT raises or
// drops the interrupt line, and x EFn holds a line at 0 or 1 until x EFn - gives
// it back to its device.
void set_board_line(Session& session, const std::string& name, std::string_view word)
{
    BoardMachine& machine = *session.board;
    if (name != "INT" && word == "-") {
        machine.board.hold_ef(name[2] - '0', std::nullopt);
        return;
    }
    const auto level = value(session, word, Field{name, 1});
    if (!level)
        return;
    if (name == "INT") {
        machine.board.hold_interrupt(*level == 1);
    } else {
        machine.board.hold_ef(name[2] - '0', *level == 1);
        session.state.*state_field(name)->member = static_cast<uint8_t>(*level);
    }
}

Next set_register(Session& session, const CommandLine& command)
{
    const auto words = argument_words(command.text);
    if (words.size() != 2) {
        say(session, "usage: x name value");
        return Next::Prompt;
    }
    std::string name(words[0]);
    for (char& c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (name.size() == 2 && name[0] == 'R' && hex_digit_value(name[1]) >= 0) {
        if (const auto read = value(session, words[1], Field{name, 0xFFFF}))
            session.state.R[hex_digit_value(name[1])] = static_cast<uint16_t>(*read);
        return Next::Prompt;
    }
    if (session.board && (name == "INT" || (name.starts_with("EF") && state_field(name)))) {
        set_board_line(session, name, words[1]);
        return Next::Prompt;
    }
    const StateField* field = state_field(name);
    if (field == nullptr) {
        say(session, "Unknown register: " + std::string(words[0]));
        return Next::Prompt;
    }
    if (const auto read = value(session, words[1], Field{field->name, field->largest}))
        session.state.*field->member = static_cast<uint8_t>(*read);
    return Next::Prompt;
}

Next enter_bytes(Session& session, const CommandLine& command)
{
    const auto words = argument_words(command.text);
    if (words.size() < 2) {
        say(session, "usage: e address byte...");
        return Next::Prompt;
    }
    const auto first = address(session, words[0]);
    if (!first)
        return Next::Prompt;
    std::vector<uint8_t> bytes;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const auto byte = value(session, words[i], kByteField);
        if (!byte)
            return Next::Prompt;
        bytes.push_back(static_cast<uint8_t>(*byte));
    }
    session.current_location = *first;
    CommandStores stores(session);
    for (const uint8_t byte : bytes)
        stores.store(session.current_location++, byte);  // straight to memory, as m does
    session.console.write(stores.note());
    return Next::Prompt;
}

}  // namespace

const std::array<Command, 10> kDebuggerCommands = {{
    {'b', breakpoint, " b [location | -]\t\tToggle a breakpoint, list them, or clear all\n"},
    {'w', watchpoint, " w [location] [length] | -\tToggle a watchpoint on stores, list them, or clear all\n"},
    {'n', step_over, " n\t\t\t\tStep over a call\n"},
    {'o', step_out, " o\t\t\t\tStep out of a subroutine\n"},
    {'t', trace, " t [count]\t\t\tTrace count (hex, 10) instructions\n"},
    {'y', show_history, " y [count]\t\t\tShow the last count (hex, 10) instructions run\n"},
    {'k', step_back, " k [count]\t\t\tStep back count (hex, 1) instructions\n"},
    {'K', run_back, " K\t\t\t\tRun back to a breakpoint or a watched store\n"},
    {'x', set_register, " x [name] [value]\t\tSet a register or flag by name\n"},
    {'e', enter_bytes, " e [location] [bytes]\t\tEnter bytes\n"},
}};

}  // namespace cosmac

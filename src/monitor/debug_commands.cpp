#include "monitor/debug_commands.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cpu/disassembler.hpp"
#include "monitor/hex_number.hpp"
#include "monitor/run_control.hpp"
#include "monitor/session.hpp"

namespace cosmac {
namespace {

constexpr uint64_t kDefaultCount = 16;

// The words after the command letter. An empty line, which repeats the previous
// command, has none.
std::vector<std::string_view> arguments(std::string_view text)
{
    std::vector<std::string_view> words;
    for (std::size_t i = 1; i < text.size();) {
        while (i < text.size() && is_blank(text[i]))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && !is_blank(text[i]))
            ++i;
        if (i > start)
            words.push_back(text.substr(start, i - start));
    }
    return words;
}

// A whole word read as a hexadecimal number.
std::optional<uint32_t> number(std::string_view word)
{
    std::size_t position = 0;
    const auto value = parse_hex(word, position);
    return value && position == word.size() ? value : std::nullopt;
}

void say(Session& session, const std::string& line) { session.console.write(line + "\n"); }

std::string hex4(uint32_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value & 0xFFFF);
    return text;
}

// An address or a symbol; says so when it is neither.
std::optional<uint16_t> address(Session& session, std::string_view word)
{
    const auto value = session.debugger->address_of(word);
    if (!value)
        say(session, "Unknown symbol: " + std::string(word));
    return value;
}

// The optional count of t, y and k; says so when it is 0 or no number.
std::optional<uint64_t> count(Session& session, const CommandLine& command, const char* usage,
                              uint64_t otherwise = kDefaultCount)
{
    const auto words = arguments(command.text);
    if (words.empty())
        return otherwise;
    const auto value = words.size() == 1 ? number(words[0]) : std::nullopt;
    if (!value)
        say(session, usage);
    else if (*value == 0)
        say(session, "The count must be at least 1");
    return value && *value > 0 ? std::optional<uint64_t>(*value) : std::nullopt;
}

Next breakpoint(Session& session, const CommandLine& command)
{
    const auto words = arguments(command.text);
    Debugger& debugger = *session.debugger;
    if (words.empty()) {
        for (const uint16_t address : debugger.breakpoints())
            say(session, hex4(address));
    } else if (words.size() > 1) {
        say(session, "usage: b [address]");
    } else if (const auto at = address(session, words[0])) {
        say(session, (debugger.toggle_breakpoint(*at) ? "Breakpoint set at " : "Breakpoint cleared at ") + hex4(*at));
    }
    return Next::Prompt;
}

Next watchpoint(Session& session, const CommandLine& command)
{
    const auto words = arguments(command.text);
    Debugger& debugger = *session.debugger;
    const auto range = [](uint16_t first, uint32_t length) { return hex4(first) + "-" + hex4(first + length - 1); };
    if (words.empty()) {
        for (const auto& [first, length] : debugger.watchpoints())
            say(session, range(first, length));
        return Next::Prompt;
    }
    const auto length = words.size() == 2 ? number(words[1]) : std::optional<uint32_t>(1);
    if (words.size() > 2 || !length) {
        say(session, "usage: w [address] [length]");
    } else if (*length == 0 || *length > 0x10000) {
        say(session, "The watch length must be 1 to 10000");
    } else if (const auto first = address(session, words[0])) {
        const bool set = debugger.toggle_watchpoint(*first, *length);
        say(session, (set ? "Watchpoint set on " : "Watchpoint cleared on ") + range(*first, *length));
    }
    return Next::Prompt;
}

// n and o take no arguments.
bool no_arguments(Session& session, const CommandLine& command, const char* usage)
{
    if (arguments(command.text).empty())
        return true;
    say(session, usage);
    return false;
}

Next step_over(Session& session, const CommandLine& command)
{
    if (!no_arguments(session, command, "usage: n"))
        return Next::Prompt;
    const uint8_t p = session.state.P;
    const uint8_t opcode = session.memory[session.state.R[p]];
    const bool calls = opcode >> 4 == 0xD && (opcode & 0xF) != p;  // Call (D4) or a SEP to another register
    return calls ? debug_run(session, RunGoal::StepOver) : debug_run(session, RunGoal::Count, 1);
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
        session.console.write(session.debugger->trace_line(session.memory, step));
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

Next run_back(Session& session, const CommandLine& command)
{
    if (!no_arguments(session, command, "usage: K"))
        return Next::Prompt;
    session.console.begin_run();
    const std::string reason = session.debugger->run_back(session.state, session.memory);
    session.console.end_run();
    say(session, reason.empty() ? kOldestReached : reason + "\n");
    show_state(session);
    session.current_location = session.state.R[session.state.P];
    return Next::Prompt;
}

struct Register {
    std::string_view name;
    uint8_t MachineState::*field;
    uint8_t mask;
};

constexpr Register kRegisters[] = {
    {"D", &MachineState::D, 0xFF},     {"DF", &MachineState::DF, 1},      {"P", &MachineState::P, 0xF},
    {"X", &MachineState::X, 0xF},      {"T", &MachineState::T, 0xFF},     {"IE", &MachineState::IE, 1},
    {"Q", &MachineState::Q, 1},        {"EF1", &MachineState::EF1, 0xFF}, {"EF2", &MachineState::EF2, 0xFF},
    {"EF3", &MachineState::EF3, 0xFF}, {"EF4", &MachineState::EF4, 0xFF},
};

Next set_register(Session& session, const CommandLine& command)
{
    const auto words = arguments(command.text);
    if (words.size() != 2) {
        say(session, "usage: x name value");
        return Next::Prompt;
    }
    std::string name(words[0]);
    for (char& c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto value = session.debugger->address_of(words[1]);
    if (!value) {
        say(session, "Not a number or symbol: " + std::string(words[1]));
        return Next::Prompt;
    }
    if (name.size() == 2 && name[0] == 'R' && std::isxdigit(static_cast<unsigned char>(name[1]))) {
        session.state.R[std::stoul(name.substr(1), nullptr, 16)] = *value;
        return Next::Prompt;
    }
    for (const Register& r : kRegisters) {
        if (r.name == name) {
            session.state.*r.field = static_cast<uint8_t>(*value & r.mask);
            return Next::Prompt;
        }
    }
    say(session, "Unknown register: " + std::string(words[0]));
    return Next::Prompt;
}

Next enter_bytes(Session& session, const CommandLine& command)
{
    const auto words = arguments(command.text);
    std::vector<uint8_t> bytes;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const auto value = number(words[i]);
        if (!value) {
            say(session, "usage: e address byte...");
            return Next::Prompt;
        }
        bytes.push_back(static_cast<uint8_t>(*value));
    }
    if (bytes.empty()) {
        say(session, "usage: e address byte...");
        return Next::Prompt;
    }
    const auto at = address(session, words[0]);
    if (!at)
        return Next::Prompt;
    session.current_location = *at;
    for (const uint8_t byte : bytes)
        session.memory[session.current_location++] = byte;  // straight to memory, as m does
    return Next::Prompt;
}

}  // namespace

const std::array<Command, 10> kDebuggerCommands = {{
    {'b', breakpoint},
    {'w', watchpoint},
    {'n', step_over},
    {'o', step_out},
    {'t', trace},
    {'y', show_history},
    {'k', step_back},
    {'K', run_back},
    {'x', set_register},
    {'e', enter_bytes},
}};

const std::string_view kDebuggerHelp =
    " b [location]\t\t\tToggle a breakpoint, or list them\n"
    " w [location] [length]\t\tToggle a watchpoint on stores, or list them\n"
    " n\t\t\t\tStep over a call\n"
    " o\t\t\t\tStep out of a subroutine\n"
    " t [count]\t\t\tTrace count instructions\n"
    " y [count]\t\t\tShow the last count instructions run\n"
    " k [count]\t\t\tStep back count instructions\n"
    " K\t\t\t\tRun back to a breakpoint or a watched store\n"
    " x [name] [value]\t\tSet a register or flag by name\n"
    " e [location] [bytes]\t\tEnter bytes\n";

}  // namespace cosmac

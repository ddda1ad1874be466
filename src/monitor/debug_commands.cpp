#include "monitor/debug_commands.hpp"

#include <algorithm>
#include <cctype>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "debug/stepping.hpp"
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

// A place: an address, a symbol (+ or - an offset), or FILE:LINE of a program
// loaded with its line file; a line without code is the next one with code,
// which the user is told of where code is what they were after.
std::optional<uint16_t> address(Session& session, std::string_view word, bool after_code = true)
{
    if (SourceLines::looks_like_place(word)) {
        const PlaceReading reading = session.source_lines.find(word);
        if (!reading.note.empty() && after_code)
            say(session, reading.note);
        if (!reading.place)
            say(session, reading.error);
        return reading.place ? std::optional<uint16_t>(reading.place->address) : std::nullopt;
    }
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

// ", if R7 = 0, after 3, once": what a breakpoint waits for beyond its place.
std::string breakpoint_terms(const Breakpoint& breakpoint)
{
    std::string terms;
    if (breakpoint.condition)
        terms += ", if " + breakpoint.condition->text;
    if (breakpoint.after > 1)
        terms += ", after " + hex_text(breakpoint.after, 1);
    if (breakpoint.once)
        terms += ", once";
    return terms;
}

// The terms after b's place: once, after N and if CONDITION (the rest of the
// line), in any order; empty once the user has been told why they are wrong.
std::optional<Breakpoint> breakpoint_at(Session& session, uint16_t place, std::string_view text,
                                        std::span<const std::string_view> terms)
{
    Breakpoint breakpoint{place};
    for (std::size_t i = 0; i < terms.size(); ++i) {
        if (terms[i] == "once") {
            breakpoint.once = true;
        } else if (terms[i] == "after" && i + 1 < terms.size()) {
            const auto hit = value(session, terms[++i], Field{"a hit count", 0xFFFFFFFF});
            if (!hit)
                return std::nullopt;
            if (*hit == 0) {
                say(session, "The hit count must be at least 1");
                return std::nullopt;
            }
            breakpoint.after = *hit;
        } else if (terms[i] == "if" && i + 1 < terms.size()) {
            const std::string_view condition = text.substr(static_cast<std::size_t>(terms[i + 1].data() - text.data()));
            const ConditionReading reading = parse_condition(condition, session.symbols, session.extended);
            if (!reading.condition)
                say(session, reading.error);
            breakpoint.condition = reading.condition;
            return reading.condition ? std::optional<Breakpoint>(breakpoint) : std::nullopt;
        } else {
            say(session, "usage: b [place [once] [after count] [if condition] | -]");
            return std::nullopt;
        }
    }
    return breakpoint;
}

Next breakpoint(Session& session, const CommandLine& command)
{
    const auto words = argument_words(command.text);
    Debugger& debugger = *session.debugger;
    if (words.empty()) {
        if (debugger.breakpoints().empty())
            say(session, "No breakpoints");
        for (const auto& [address, set] : debugger.breakpoints())
            say(session, at(session, address) + breakpoint_terms(set) + ", " + std::to_string(set.hits) +
                             (set.hits == 1 ? " hit" : " hits"));
    } else if (words[0] == "-" && words.size() == 1) {
        debugger.clear_breakpoints();
        say(session, "Breakpoints cleared");
    } else if (const auto place = address(session, words[0])) {
        if (words.size() == 1) {
            say(session, (debugger.toggle_breakpoint(*place) ? "Breakpoint set at " : "Breakpoint cleared at ") +
                             at(session, *place));
        } else if (const auto set = breakpoint_at(session, *place, command.text, std::span(words).subspan(1))) {
            debugger.set_breakpoint(*set);
            say(session, "Breakpoint set at " + at(session, *place) + breakpoint_terms(*set));
        }
    }
    return Next::Prompt;
}

// delete clears every breakpoint, delete PLACE the one there.
Next delete_breakpoints(Session& session, const CommandLine& command)
{
    const auto words = argument_words(command.text);
    if (words.size() > 1) {
        say(session, "usage: delete [place]");
    } else if (words.empty()) {
        session.debugger->clear_breakpoints();
        say(session, "Breakpoints cleared");
    } else if (const auto place = address(session, words[0])) {
        say(session, (session.debugger->clear_breakpoint(*place) ? "Breakpoint cleared at " : "No breakpoint at ") +
                         at(session, *place));
    }
    return Next::Prompt;
}

// until PLACE runs as g does with a breakpoint at the place that clears itself;
// one the user set there stays.
Next run_until(Session& session, const CommandLine& command)
{
    const auto words = argument_words(command.text);
    if (words.size() != 1) {
        say(session, "usage: until place");
        return Next::Prompt;
    }
    const auto place = address(session, words[0]);
    if (!place)
        return Next::Prompt;
    Debugger& debugger = *session.debugger;
    const bool added = !debugger.breakpoints().contains(*place);
    if (added)
        debugger.set_breakpoint({.address = *place, .once = true});
    debug_run(session, RunGoal::Go);
    if (added)
        debugger.clear_breakpoint(*place);
    return Next::Prompt;
}

// symbols [TEXT]: the loaded names, or those that hold the text in any case,
// by address, each with its kind, as the symbol file gives them.
Next list_symbols(Session& session, const CommandLine& command)
{
    const auto words = argument_words(command.text);
    if (words.size() > 1) {
        say(session, "usage: symbols [text]");
        return Next::Prompt;
    }
    const std::string wanted = words.empty() ? std::string() : upper(words[0]);
    std::string lines;
    for (const SymbolEntry& symbol : session.symbols.entries()) {
        if (upper(symbol.name).find(wanted) != std::string::npos)
            lines += hex_text(symbol.address, 4) + " " + symbol.name +
                     (symbol.kind == SymbolKind::Label ? " label\n" : " value\n");
    }
    session.console.write(lines.empty() ? "No symbols\n" : lines);
    return Next::Prompt;
}

// set registers line | full: how stops and steps show the registers.
Next settings(Session& session, const CommandLine& command)
{
    const auto words = argument_words(command.text);
    if (words.size() != 2 || words[0] != "registers" || (words[1] != "line" && words[1] != "full")) {
        say(session, "usage: set registers line | full");
        return Next::Prompt;
    }
    session.registers_on_one_line = words[1] == "line";
    return Next::Prompt;
}

// l [place] [count]: count lines (hex, a) of source around the place, or
// around the current line, or on from the last listing while the program has
// not moved; => marks the current line.
Next list_source(Session& session, const CommandLine& command)
{
    constexpr uint32_t kDefaultLines = 0xA;
    const auto words = argument_words(command.text);
    if (words.size() > 2) {
        say(session, "usage: l [location | file:line] [count]");
        return Next::Prompt;
    }
    const SourceLines& lines = session.source_lines;
    if (lines.empty()) {
        say(session, "No source lines: load a program that cosmac-asm built, with its line file");
        return Next::Prompt;
    }
    const auto count = words.size() == 2 ? value(session, words[1], Field{"a count of lines", 0xFFFF})
                                         : std::optional<uint32_t>(kDefaultLines);
    if (!count)
        return Next::Prompt;
    const uint16_t pc = session.state.R[session.state.P];
    std::optional<SourcePlace> place;
    uint32_t first = 1;
    if (words.empty() && session.last_listing && session.last_listing->pc == pc) {
        place = SourcePlace{session.last_listing->file, session.last_listing->next_line, pc, 0};
        first = place->line;
    } else {
        const auto where = words.empty() ? std::optional<uint16_t>(pc) : address(session, words[0], false);
        if (!where)
            return Next::Prompt;
        place = lines.at(*where);
        if (!place) {
            say(session, "No source line at " + hex_text(*where, 4));
            return Next::Prompt;
        }
        if (!words.empty() && SourceLines::looks_like_place(words[0]))  // the line typed, code or not
            place->line = *SourceLines::line_of(words[0]);
        first = place->line > *count / 2 ? place->line - *count / 2 : 1;
    }
    const auto current = lines.at(pc);
    const uint32_t last = std::min<uint64_t>(lines.line_count(place->file), uint64_t{first} + *count - 1);
    for (uint32_t n = first; n <= last; ++n) {
        const bool here = current && current->file == place->file && current->line == n;
        session.console.write(formatted("%s%5u  ", here ? "=>" : "  ", n) + lines.text(place->file, n) + "\n");
    }
    session.last_listing = SourceListing{place->file, last + 1, pc};
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

Next run_plan(Session& session, const StepPlan& plan)
{
    return debug_run(session, plan.goal, plan.count, false, plan.line);
}

Next step_over(Session& session, const CommandLine& command)
{
    if (!no_arguments(session, command, "usage: n"))
        return Next::Prompt;
    return run_plan(session, plan_step_over(session.state, seen_memory(session), *session.debugger,
                                            session.source_lines));
}

// step goes into a subroutine at its first instruction, or is s.
Next step_into(Session& session, const CommandLine& command)
{
    if (!no_arguments(session, command, "usage: step"))
        return Next::Prompt;
    if (const auto plan = plan_step_into(session.state, seen_memory(session)))
        return run_plan(session, *plan);
    return step_command(session, CommandLine{.letter = 's', .count = 1, .text = "s"});
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
    const std::string name = upper(words[0]);
    if (name.size() == 2 && name[0] == 'R' && hex_digit_value(name[1]) >= 0) {
        if (const auto read = value(session, words[1], Field{name, 0xFFFF}))
            session.state.R[hex_digit_value(name[1])] = static_cast<uint16_t>(*read);
        return Next::Prompt;
    }
    if (session.board && (name == "INT" || (name.starts_with("EF") && state_field(name)))) {
        set_board_line(session, name, words[1]);
        return Next::Prompt;
    }
    if (const CounterField* counter = session.extended ? counter_field(name) : nullptr) {
        if (const auto read = value(session, words[1], Field{counter->name, counter->largest}))
            session.state.counter.*counter->member = static_cast<uint8_t>(*read);
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

constexpr Command kDebuggerRows[] = {
    {'b', breakpoint, " b, break [place [terms] | -]\tToggle or set a breakpoint (h b), list them, or clear all\n",
     "break",
     "A place is an address, a symbol (+ or - an offset) or FILE:LINE of a program with its line file.\n"
     "b PLACE sets a breakpoint there, or clears the one there is. The terms, in any order, with if last:\n"
     "b PLACE once clears itself when hit;\n"
     "b PLACE after N stops on the Nth hit (hex); b PLACE if CONDITION stops only where the condition\n"
     "holds: comparisons (=, <>, <, >, <=, >=) of registers (R0-RF), D, DF, X, P, Q, IE, T, N, I, EF1-EF4,\n"
     "(on the 1805 CNTR, CH, CIL, CIE, XIE, ETQ), M(address or register) and numbers, joined by and and\n"
     "or. b alone lists them with their hits.\n"},
    {'w', watchpoint, " w [location] [length] | -\tToggle a watchpoint on stores, list them, or clear all\n", {},
     "A run stops after an instruction or DMA cycle that stores into a watched range (length hex, 1).\n"},
    {'n', step_over, " n, next\t\t\tStep over a call or a line\n", "next",
     "Runs over a standard call (SEP R4) or a plain SEP subroutine until it comes back; on a return it\n"
     "runs out to the caller as o does. At the start of a source line of several instructions (a macro,\n"
     "an .op) it runs over the whole line. Otherwise it is one step.\n"},
    {'o', step_out, " o, finish\t\t\tStep out of a subroutine\n", "finish",
     "Runs until the subroutine returns: through the standard return (SEP R5), or the plain SEP back\n"
     "to the P that called it, through the calls it makes.\n"},
    {0, step_into, " step\t\t\t\tStep into a call, to the subroutine's first instruction\n", "step",
     "On a standard call it runs through the call routine to the subroutine's first instruction; on a\n"
     "standard return, through the return routine back to the caller; otherwise it is s.\n"},
    {0, run_until, " until place\t\t\tRun until the place is reached once\n", "until",
     "Runs as g does, until the place is reached (or another breakpoint, a watchpoint, an IDLE), and\n"
     "leaves no breakpoint behind.\n"},
    {0, delete_breakpoints, " delete [place]\t\t\tClear every breakpoint, or the one at place\n", "delete", {}},
    {'t', trace, " t [count]\t\t\tTrace count (hex, 10) instructions\n", {},
     "Shows each instruction as it runs, with what it changed.\n"},
    {'y', show_history, " y [count]\t\t\tShow the last count (hex, 10) instructions run\n", {}, {}},
    {'k', step_back, " k [count]\t\t\tStep back count (hex, 1) instructions\n", {},
     "Undoes instructions from the history, memory included; on a board, time and devices go on.\n"},
    {'K', run_back, " K\t\t\t\tRun back to a breakpoint or a watched store\n", {}, {}},
    {'x', set_register, " x [name] [value]\t\tSet a register or flag by name\n", {},
     "Names: R0-RF, D, DF, B, P, X, N, I, T, IE, Q, EF1-EF4; on a board also INT, and EFn - gives a\n"
     "line back to its device.\n"},
    {'e', enter_bytes, " e [location] [bytes]\t\tEnter bytes\n", {}, {}},
    {'l', list_source, " l, list [place] [count]\tList count (hex, a) source lines around a place\n", "list",
     "Without a place: around the current line, or on from the last listing; => marks the current line.\n"},
    {0, list_symbols, " symbols [text]\t\t\tList the loaded symbols, or those whose names hold text\n",
     "symbols", {}},
    {0, settings, " set registers line | full\tShow the registers on one line at stops and steps, or in full\n",
     "set", {}},
};

// gdb's words for commands whose rows have another name, or none.
constexpr std::pair<std::string_view, std::string_view> kLongNames[] = {
    {"continue", "g"},        {"stepi", "s"}, {"nexti", "n"}, {"quit", "q"}, {"help", "h"}, {"info registers", "r"},
    {"info breakpoints", "b"}, {"info symbols", "symbols"},
};

// Whether the line starts with the words, then ends or goes on after a blank.
bool starts_with_words(std::string_view line, std::string_view words)
{
    return line.starts_with(words) && (line.size() == words.size() || line[words.size()] == ' ' || line[words.size()] == '\t');
}

}  // namespace

const std::span<const Command> kDebuggerCommands = kDebuggerRows;

std::string expand_long_name(std::string_view line)
{
    for (const auto& [words, command] : kLongNames) {
        if (starts_with_words(line, words))
            return std::string(command) + std::string(line.substr(words.size()));
    }
    for (const Command& row : kDebuggerRows) {
        if (row.letter != 0 && !row.name.empty() && starts_with_words(line, row.name))
            return std::string(1, row.letter) + std::string(line.substr(row.name.size()));
    }
    return std::string(line);
}

std::string long_names_help()
{
    std::string text = " Also:";
    std::size_t line_start = 0;
    for (const auto& [words, command] : kLongNames) {
        if (text.size() - line_start + words.size() + command.size() + 5 > 80) {
            line_start = text.size() + 1;
            text.append("\n      ");
        }
        text.append(" ").append(words).append(" = ").append(command).append(",");
    }
    text.back() = '\n';
    return text;
}

std::string other_names(const Command& row)
{
    std::string names;
    const std::string short_name = row.letter != 0 ? std::string(1, row.letter) : std::string(row.name);
    for (const auto& [words, command] : kLongNames) {
        if (command == short_name)
            names += (names.empty() ? "" : ", ") + std::string(words);
    }
    return names;
}

const Command* named_command(std::string_view line)
{
    for (const Command& row : kDebuggerRows) {
        if (row.letter == 0 && starts_with_words(line, row.name))
            return &row;
    }
    return nullptr;
}

}  // namespace cosmac

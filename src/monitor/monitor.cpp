#include "monitor/monitor.hpp"

#include <memory>
#include <span>
#include <string>

#include "monitor/arguments.hpp"
#include "monitor/command_line.hpp"
#include "monitor/debug_commands.hpp"
#include "monitor/displays.hpp"
#include "monitor/image_commands.hpp"
#include "monitor/machine_memory.hpp"
#include "monitor/run_control.hpp"
#include "monitor/session.hpp"
#include "text/text.hpp"

namespace cosmac {
namespace {

Next help(Session& session, const CommandLine&);

Next quit(Session&, const CommandLine&) { return Next::Quit; }

Next registers(Session& session, const CommandLine& command)
{
    if (command.count == 3)
        session.state.R[command.arg1 & 0xF] = static_cast<uint16_t>(command.arg2);
    else
        session.console.write(register_display(session.state, session.debugger != nullptr, session.extended));
    return Next::Prompt;
}

// Straight to memory, also inside the protected window, and into a board's ROM.
Next change_memory(Session& session, const CommandLine& command)
{
    if (command.count == 1) {
        session.console.write("usage: m [address] [value]\n");
        return Next::Prompt;
    }
    uint32_t value = command.arg1;
    if (command.count == 3) {
        session.current_location = static_cast<uint16_t>(command.arg1);
        value = command.arg2;
    }
    CommandStores stores(session);
    stores.store(session.current_location, static_cast<uint8_t>(value));
    session.console.write(stores.note());
    ++session.current_location;
    return Next::Prompt;
}

Next dump(Session& session, const CommandLine& command)
{
    if (command.count >= 2)
        session.current_location = static_cast<uint16_t>(command.arg1);
    session.console.write(memory_dump(seen_memory(session), session.current_location));
    session.current_location = static_cast<uint16_t>(session.current_location + 0x100);
    return Next::Prompt;
}

// In the order of their lines in the help text.
constexpr Command kCommands[] = {
    {'h', help, " h\t\t\t\tThis message\n"},
    {'m', change_memory, " m [location] [value]\t\tChange memory\n"},
    {'r', registers, " r [reg] [value]\t\tDisplay or change registers\n"},
    {'s', step_command, " s [location]\t\t\tSingle Step\n"},
    {'g', go_command, " g [location]\t\t\tGo\n"},
    {'u', list_command, " u [location]\t\t\tDisassemble\n"},
    {'d', dump, " d [location]\t\t\tDump memory\n"},
    {'S', save_command, " S [file] [location] [length]\tSave Memory to a file\n"},
    {'L', load_command, " L [file]\t\t\tLoad Memory from a file\n"},
    {'q', quit, " q\t\t\t\tQuit\n"},
};

const Command* row_for(const Session& session, char letter);

// The command word of a line: its first character, which may be a blank, and
// what follows up to a blank.
std::string_view first_word(std::string_view line) { return line.substr(0, line.find_first_of(" \t", 1)); }

// In debugger mode, h WORD tells of one command, a letter or a name, in note
// lines before the list that h shows; a word that is no command is named.
void tell_of_one(Session& session, const CommandLine& command)
{
    const auto words = argument_words(command.text);
    if (!session.debugger || command.letter != 'h' || words.empty())
        return;
    const std::string word = expand_long_name(words[0]);
    const Command* row = word.size() == 1 ? row_for(session, word[0]) : named_command(word);
    if (row == nullptr) {
        session.console.write("note: '" + std::string(words[0]) + "' is not a command\n");
        return;
    }
    const std::string_view help = trim(row->help);
    const std::size_t tab = help.find('\t');
    const std::string names = other_names(*row);
    std::string notes = "note: " + std::string(help.substr(0, tab)) + (names.empty() ? "" : " (or " + names + ")") +
                        ": " + std::string(trim(help.substr(tab))) + "\n";
    for (const std::string_view line : text_lines(row->details))
        notes += "note: " + std::string(line) + "\n";
    session.console.write(notes);
}

// The rows' lines, debugger mode's after the monitor's own, between the heading
// and two blank lines.
Next help(Session& session, const CommandLine& command)
{
    tell_of_one(session, command);
    std::string text = "\nCommands:\n\n";
    for (const Command& command : kCommands)
        text += command.help;
    if (session.debugger) {
        for (const Command& command : kDebuggerCommands)
            text += command.help;
        text += long_names_help();
    }
    if (session.board) {
        for (const Command& command : kBoardCommands)
            text += command.help;
    }
    if (session.extended) {
        text += session.board ? "\n68 is the prefix of the 1805's extended instructions.\n"
                              : "\n68 is the prefix of the 1805's extended instructions; the console service\n"
                                "is 68 D1 (write D) and 68 D2 (read a key into D).\n";
    }
    session.console.write(text + "\n\n");
    return Next::Prompt;
}

// The row of the letter in the session's tables; none for an unknown letter,
// nor for 0, which rows reached by name only have.
const Command* row_for(const Session& session, char letter)
{
    const std::span<const Command> tables[] = {session.board ? kBoardCommands : std::span<const Command>{},
                                               session.debugger ? kDebuggerCommands : std::span<const Command>{},
                                               kCommands};
    for (const std::span<const Command> table : tables) {
        for (const Command& command : table) {
            if (command.letter == letter && letter != 0)
                return &command;
        }
    }
    return nullptr;
}

Handler handler_for(const Session& session, char letter)
{
    const Command* row = row_for(session, letter);
    return row ? row->handler : help;
}

// A debugger-mode line: a gdb word becomes its command, in the line itself,
// which the command's text goes on pointing into; a command reached by name
// runs, as it does again on an empty line after it; a line whose letter is no
// command is named before the help list.
Next debugger_line(Session& session, std::string& line, CommandLine& command, const Command*& last_named)
{
    line = expand_long_name(line);
    const Command* named = named_command(line);
    if (named == nullptr && line.empty() && command.letter == 0)
        named = last_named;
    if (named != nullptr) {
        last_named = named;
        command = CommandLine{.letter = 0, .text = std::string_view(line).substr(line.empty() ? 0 : named->name.size())};
        return named->handler(session, command);
    }
    last_named = nullptr;
    for (const std::string& note : parse_standard_command(line, session.symbols, command))
        session.console.write(note + "\n");
    const std::string_view word = first_word(line);
    if (!word.empty() && row_for(session, command.letter) == nullptr && command.letter != 'h')
        session.console.write("note: '" + std::string(word) + "' is not a command\n");
    return handler_for(session, command.letter)(session, command);
}

}  // namespace


std::unique_ptr<Session> make_session(Console& console, const MonitorOptions& options)
{
    auto session = std::make_unique<Session>(console);
    session->window = options.window;
    session->extended = has_extended_set(options.cpu);
    if (session->extended)
        reset_counter(session->state.counter);
    session->clock_mhz = options.board ? static_cast<double>(options.board->board.clock_hz) / 1e6 : options.clock_mhz;
    if (options.debugger)
        session->debugger = std::make_unique<Debugger>(options.window, session->extended);
    if (options.board)
        session->board = std::make_unique<BoardMachine>(*options.board, console);
    return session;
}

int run_monitor(Console& console, const MonitorOptions& options)
{
    const auto session = make_session(console, options);
    if (!(session->board ? boot_board(*session, options) : load_program_files(*session, options.files).ok))
        return 1;
    // What the debugger and a board hold is worth more than a stray Control-C:
    // there it cancels the line being typed, as in gdb and shells.
    console.cancel_command_lines_on_interrupt(session->debugger || session->board);
    CommandLine command;
    std::string line;
    console.write("\nCOSMAC 1802 Simulator\n\n");
    // A board runs at once, so that Enter reaches its firmware; in debugger mode
    // it waits at reset for breakpoints to be set first.
    if (session->board && session->debugger) {
        console.write("Board " + std::string(options.board->board.name) +
                      " at reset: g runs it on its serial terminal until Control-],\n"
                      "which brings this prompt; Control-\\ sends a BREAK, Control-^ resets the board.\n\n");
        show_state(*session);
    } else if (session->board) {
        console.write("Board " + std::string(options.board->board.name) +
                      ": its serial terminal until Control-], which brings this prompt;\n"
                      "Control-\\ sends a BREAK, Control-^ resets the board (R at the prompt).\n\n");
        board_run(*session, RunGoal::Go);
    }
    const Command* last_named = nullptr;
    for (std::size_t next_command = 0;;) {
        if (next_command < options.commands.size()) {  // shown as though typed
            line = options.commands[next_command++];
            console.write("-" + line + "\n");
        } else if (!console.read_line("-", line, /*command=*/true)) {
            return 0;
        }
        if (session->debugger) {
            if (debugger_line(*session, line, command, last_named) == Next::Quit)
                return 0;
            continue;
        }
        parse_command_line(line, command);
        if (handler_for(*session, command.letter)(*session, command) == Next::Quit)
            return 0;
    }
}

}  // namespace cosmac

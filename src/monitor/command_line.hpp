// A monitor command line and what every command handler returns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace cosmac {

// A parsed command line: "%c %x %x". count is how many of letter, arg1 and arg2
// the line supplied; what a line does not supply keeps its previous value.
struct CommandLine {
    char letter = 'h';  // an empty first line shows the help text
    uint32_t arg1 = 0;
    uint32_t arg2 = 0;
    int count{};  // every parse sets it
    std::string_view text;  // the whole line, which S and L read themselves
};

// An empty line repeats the previous letter without arguments.
void parse_command_line(std::string_view line, CommandLine& command);

// The command line as scanf sees it: text ends at a NUL byte.
std::string_view as_c_string(std::string_view line);

// "%c %s": the letter, then a file name of non-blank characters; position is left
// after it, where S reads its numbers.
std::optional<std::string_view> file_name_argument(std::string_view line, std::size_t& position);

enum class Next { Prompt, Quit };

struct Session;

// A command is a row of a table: its letter, its handler and its line of the
// help text, which lists the rows in order. In debugger mode a command may also
// have a name, the word people type from gdb, and what h NAME tells of it; a
// command with a name and no letter (0) is reached by its name only.
using Handler = Next (*)(Session&, const CommandLine&);

struct Command {
    char letter;
    Handler handler;
    std::string_view help;
    std::string_view name = {};
    std::string_view details = {};
};

}  // namespace cosmac

// Line editing and history on a terminal, through libedit: the arrow keys,
// Control-A, E, K and U, history search with Control-R, and the commands of
// earlier sessions, kept in $XDG_STATE_HOME/cosmac/history.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace cosmac {

// TERM unset, empty or dumb: a terminal that can neither edit lines nor show a title.
bool terminal_is_dumb();

class LineEditor {
public:
    // The next byte of input: 1 with the byte, 0 at the end of input, -1 when the
    // user interrupted the wait.
    using ReadByte = std::function<int(char&)>;

    // Empty when this build has no line editing, or when the terminal cannot
    // edit (TERM unset or dumb).
    static std::unique_ptr<LineEditor> open(ReadByte read_byte);

    virtual ~LineEditor() = default;

    // Shows the prompt and reads one line without its newline; false at the end of
    // input or when the user interrupted the wait. A command line is remembered for
    // the Up arrow and for later sessions; a reply only for this one.
    virtual bool read_line(std::string_view prompt, std::string& line, bool command) = 0;
};

}  // namespace cosmac

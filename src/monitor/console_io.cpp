#include "monitor/console_io.hpp"

#include <cstdio>

#include "monitor/hex_number.hpp"
#include "text/text.hpp"

namespace cosmac {

void ConsoleIo::output_port(unsigned, uint8_t value)
{
    char text[4];
    std::snprintf(text, sizeof text, "%02x\n", value);
    console_.write(text);
}

// Control-C at the prompt stops the run with the instruction unexecuted; the
// Break that reports it goes on a line of its own.
Reply ConsoleIo::ask(std::string_view prompt)
{
    const bool answered = console_.read_line(prompt, reply_, /*command=*/false);
    console_.line_ended();
    if (!answered && console_.interrupt_requested()) {
        console_.write("\n");
        return {std::nullopt, true, true};
    }
    if (!answered)
        return {std::nullopt, true};
    if (const auto number = parse_hex(reply_))
        return {static_cast<uint8_t>(*number), false};
    return {std::nullopt, false};
}

Reply ConsoleIo::input_port(unsigned port)
{
    return ask(formatted("INP %u ?", port));
}

Reply ConsoleIo::query_ef4() { return ask("EF4 ?"); }

void ConsoleIo::set_q() { console_.write("Q1\n"); }

void ConsoleIo::reset_q() { console_.write("Q0\n"); }

void ConsoleIo::console_write(uint8_t byte) { console_.write_char(static_cast<char>(byte)); }

std::optional<uint8_t> ConsoleIo::console_read_key() { return console_.read_key(); }

bool ConsoleIo::interrupt_requested() { return console_.interrupt_requested(); }

}  // namespace cosmac

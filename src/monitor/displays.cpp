#include "monitor/displays.hpp"

#include <initializer_list>

#include "text/text.hpp"

namespace cosmac {

namespace {

// " D = 00, DF = 1\n": the named fields, each with its own number of digits.
std::string fields_line(const MachineState& s, std::initializer_list<std::string_view> names)
{
    std::string line;
    for (const std::string_view name : names) {
        const StateField& field = *state_field(name);
        line += (line.empty() ? " " : ", ") + std::string(name) + " = " + hex_text(s.*field.member, field.digits());
    }
    return line + "\n";
}

// The counter's fields, each as "NAME" + between + value, after a blank or after
// separator, and its mode last.
std::string counter_fields(const CounterTimer& counter, std::string_view between, std::string_view separator)
{
    std::string line;
    for (const CounterField& field : kCounterFields) {
        line += (line.empty() ? " " : std::string(separator)) + std::string(field.name) + std::string(between) +
                hex_text(counter.*field.member, field.digits());
    }
    return line + std::string(separator) + std::string(counter_mode_name(counter.mode));
}

}  // namespace

std::string register_line(const MachineState& s, bool with_counter)
{
    std::string line = formatted("D=%02x DF=%x X=%x P=%x", s.D, s.DF, s.X, s.P);
    for (unsigned n = 0; n < 16; ++n)
        line += formatted(" R%X=%04x", n, s.R[n]);
    line += formatted(" Q=%x IE=%x T=%02x", s.Q, s.IE, s.T);
    if (with_counter)
        line += counter_fields(s.counter, "=", " ");
    return line + "\n";
}

std::string register_display(const MachineState& s, bool with_flags, bool with_counter)
{
    const auto& R = s.R;
    std::string display = formatted("\n"
                                    " R0 = %04x, R4 = %04x, R8 = %04x, RC = %04x\n"
                                    " R1 = %04x, R5 = %04x, R9 = %04x, RD = %04x\n"
                                    " R2 = %04x, R6 = %04x, RA = %04x, RE = %04x\n"
                                    " R3 = %04x, R7 = %04x, RB = %04x, RF = %04x\n"
                                    "\n",
                                    R[0], R[4], R[8], R[12], R[1], R[5], R[9], R[13], R[2], R[6], R[10], R[14], R[3],
                                    R[7], R[11], R[15]);
    display += fields_line(s, {"D", "DF", "B", "P", "X"}) + fields_line(s, {"Q", "N", "I"});
    if (with_flags)
        display += fields_line(s, {"T", "IE", "EF1", "EF2", "EF3", "EF4"});
    if (with_counter)
        display += counter_fields(s.counter, " = ", ", ") + "\n";
    return display + "\n";
}

std::string memory_dump(const Memory& memory, uint16_t start)
{
    std::string dump;
    for (unsigned line = 0; line < 16; ++line) {
        const auto address = static_cast<uint16_t>(start + 16 * line);
        dump += formatted("%04x: ", address);
        for (unsigned i = 0; i < 16; ++i) {
            const uint8_t byte = memory[static_cast<uint16_t>(address + i)];
            dump += formatted("%02x%c", byte, byte == 0xFF ? ':' : ' ');
        }
        dump += "  |";
        for (unsigned i = 0; i < 16; ++i) {
            const uint8_t byte = memory[static_cast<uint16_t>(address + i)];
            dump += byte >= 0x20 && byte <= 0x7E ? static_cast<char>(byte) : '.';
        }
        dump += "|\n";
    }
    return dump;
}

}  // namespace cosmac

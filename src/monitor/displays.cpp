#include "monitor/displays.hpp"

#include <cstdio>

namespace cosmac {

const std::string_view kHelpText =
    "\nCommands:\n\n"
    " h\t\t\t\tThis message\n"
    " m [location] [value]\t\tChange memory\n"
    " r [reg] [value]\t\tDisplay or change registers\n"
    " s [location]\t\t\tSingle Step\n"
    " g [location]\t\t\tGo\n"
    " u [location]\t\t\tDisassemble\n"
    " d [location]\t\t\tDump memory\n"
    " S [file] [location] [length]\tSave Memory to a file\n"
    " L [file]\t\t\tLoad Memory from a file\n"
    " q\t\t\t\tQuit\n"
    "\n\n";

std::string register_display(const MachineState& s)
{
    const auto& R = s.R;
    char text[320];
    std::snprintf(text, sizeof text,
                  "\n"
                  " R0 = %04x, R4 = %04x, R8 = %04x, RC = %04x\n"
                  " R1 = %04x, R5 = %04x, R9 = %04x, RD = %04x\n"
                  " R2 = %04x, R6 = %04x, RA = %04x, RE = %04x\n"
                  " R3 = %04x, R7 = %04x, RB = %04x, RF = %04x\n"
                  "\n"
                  " D = %02x, DF = %01x, B = %02x, P = %01x, X = %01x\n"
                  " Q = %01x, N = %01x, I = %01x\n\n",
                  R[0], R[4], R[8], R[12], R[1], R[5], R[9], R[13], R[2], R[6], R[10], R[14], R[3], R[7], R[11],
                  R[15], s.D, s.DF, s.B, s.P, s.X, s.Q, s.N, s.I);
    return text;
}

std::string memory_dump(const Memory& memory, uint16_t start)
{
    std::string dump;
    dump.reserve(16 * 76);
    for (unsigned line = 0; line < 16; ++line) {
        const auto address = static_cast<uint16_t>(start + 16 * line);
        char text[8];
        std::snprintf(text, sizeof text, "%04x: ", address);
        dump += text;
        for (unsigned i = 0; i < 16; ++i) {
            const uint8_t byte = memory[static_cast<uint16_t>(address + i)];
            std::snprintf(text, sizeof text, "%02x%c", byte, byte == 0xFF ? ':' : ' ');
            dump += text;
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

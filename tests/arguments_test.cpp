// Debugger mode's reading of what the user types: the largest value a field
// takes is taken and one more is refused, symbols stand for their addresses, and
// a standard command says where its reading differs from what was typed.
#include "monitor/arguments.hpp"

#include <gtest/gtest.h>

namespace cosmac::testing {
namespace {

SymbolTable table()
{
    SymbolTable symbols;
    symbols.add({{0x0300, "buffer"}, {0xCAFE, "Cafe"}, {0x0040, "add"}, {0xFFF0, "top"}, {0x0010, "x1"},
                 {0x0011, "X1"}, {0x0300, "alias"}, {0x0020, "q"}});
    return symbols;
}

TEST(Arguments, StrictValues)
{
    const SymbolTable symbols = table();
    constexpr Field kFlag{"DF", 1};
    constexpr Field kNibble{"P", 0xF};
    const struct {
        const char* word;
        Field field;
        int64_t value;  // or -1 with the error
        const char* error;
    } cases[] = {
        {"ffff", kAddressField, 0xFFFF, ""},
        {"10000", kAddressField, -1, "Too large for an address: 10000 (at most ffff)"},
        {"0x00ff", kByteField, 0xFF, ""},
        {"0x5", kByteField, 5, ""},
        {"100", kByteField, -1, "Too large for a byte: 100 (at most ff)"},
        {"ffffffff", kCountField, 0xFFFFFFFF, ""},
        {"100000000", kCountField, -1, "Too large for a count: 100000000 (at most ffffffff)"},
        {"1", kFlag, 1, ""},
        {"2", kFlag, -1, "Too large for DF: 2 (at most 1)"},
        {"f", kNibble, 0xF, ""},
        {"10", kNibble, -1, "Too large for P: 10 (at most f)"},
        {"3g", kAddressField, -1, "Not a number or symbol: 3g"},
        {"-1", kAddressField, -1, "Not a number or symbol: -1"},
        {"0x", kAddressField, -1, "Not a number or symbol: 0x"},
        {"0X123456789", kAddressField, -1, "Too large for an address: 0X123456789 (at most ffff)"},
        {"buffer", kAddressField, 0x0300, ""},
        {"buffer+5", kAddressField, 0x0305, ""},
        {"buffer-300", kAddressField, 0x0000, ""},
        {"buffer-301", kAddressField, -1, "Below 0000: buffer-301"},
        {"top+f", kAddressField, 0xFFFF, ""},
        {"top+10", kAddressField, -1, "Too large for an address: top+10 (at most ffff)"},
        {"buffer+zz", kAddressField, -1, "Not a number or symbol: buffer+zz"}, {"q+1", kAddressField, 0x0021, ""},
        {"nothing+5", kAddressField, -1, "Not a number or symbol: nothing+5"},
        {"add", kAddressField, 0x0040, ""},      // the symbol, not the number add
        {"0add", kAddressField, 0x0ADD, ""},     // a leading 0 makes it the number
        {"cafe", kAddressField, 0xCAFE, ""},     // the one symbol that matches in any case
        {"x1", kAddressField, 0x0010, ""},       // exact first
        {"X1", kAddressField, 0x0011, ""},
        {"buffer", kByteField, -1, "Too large for a byte: buffer (at most ff)"},
    };
    for (const auto& c : cases) {
        const Reading reading = read_value(c.word, symbols, c.field);
        EXPECT_EQ(reading.value ? int64_t{*reading.value} : -1, c.value) << c.word;
        EXPECT_EQ(reading.error, c.error) << c.word;
    }
    SymbolTable twins;
    twins.add({{1, "tab"}, {2, "TAB"}});
    EXPECT_EQ(read_value("Tab", twins, kAddressField).error, "Not a number or symbol: Tab");  // two match: neither
}

TEST(Arguments, StandardCommandsReadAsPlainWithNotes)
{
    const SymbolTable symbols = table();
    const struct {
        const char* line;
        int count;
        uint32_t arg1, arg2;
        std::vector<std::string> notes;
    } cases[] = {
        {"u 100", 2, 0x100, 0, {}},
        {"u 0x100", 2, 0x100, 0, {}},
        {"u 3g", 2, 3, 0, {"note: 3g read as 0003"}},
        {"u clamp", 2, 0xC, 0, {"note: clamp read as 000c"}},
        {"u buffer", 2, 0x300, 0, {}},
        {"u buffer 5", 3, 0x300, 5, {"note: 5 ignored"}},
        {"u 10000", 2, 0x10000, 0, {"note: 10000 read as 0000"}},
        {"u ffff", 2, 0xFFFF, 0, {}},
        {"u zz", 1, 0, 0, {"note: zz ignored"}},
        {"d -1", 2, 0xFFFFFFFF, 0, {"note: -1 read as ffff"}},
        {"m 20 123", 3, 0x20, 0x123, {"note: 123 stored as 23"}},
        {"m 20 ff", 3, 0x20, 0xFF, {}},
        {"m 20 5 7", 3, 0x20, 5, {"note: 7 ignored"}},
        {"m 10000 5", 3, 0x10000, 5, {"note: 10000 read as 0000"}},
        {"m buffer 5", 3, 0x300, 5, {}},
        {"m 7", 2, 7, 0, {}},
        {"m 100", 2, 0x100, 0, {"note: 100 stored as 00"}},
        {"m 12-5", 3, 0x12, 0xFFFFFFFB, {"note: 12-5 read as 0012", "note: -5 stored as fb"}},
        {"r 3 buffer", 3, 3, 0x300, {}},
        {"r f 5", 3, 0xF, 5, {}},
        {"r 10 5", 3, 0x10, 5, {"note: 10 read as register 0"}},
        {"r 1 12345", 3, 1, 0x12345, {"note: 12345 stored as 2345"}},
        {"r 5", 2, 5, 0, {"note: 5 ignored"}},
        {"g 100 junk", 2, 0x100, 0, {"note: junk ignored"}},
        {"s", 1, 0, 0, {}},
        {"b 3g", 2, 3, 0, {}},  // the debugger's own letters read their words themselves
    };
    for (const auto& c : cases) {
        CommandLine command;
        const std::vector<std::string> notes = parse_standard_command(c.line, symbols, command);
        EXPECT_EQ(notes, c.notes) << c.line;
        EXPECT_EQ(command.count, c.count) << c.line;
        EXPECT_EQ(c.count >= 2 ? command.arg1 : 0, c.arg1) << c.line;
        EXPECT_EQ(c.count == 3 ? command.arg2 : 0, c.arg2) << c.line;
    }
}

TEST(Arguments, SymbolsDescribeAddresses)
{
    const SymbolTable symbols = table();
    EXPECT_EQ(symbols.describe(0x0300), " buffer");   // the first name given there
    EXPECT_EQ(symbols.describe(0x0305), " (buffer+5)");
    EXPECT_EQ(symbols.describe(0x03FF), " (buffer+ff)");
    EXPECT_EQ(symbols.describe(0x0400), "");          // too far from any
    EXPECT_EQ(symbols.describe(0x000F), "");          // nothing below
    EXPECT_EQ(symbols.label_lines(0x0300), "buffer:\nalias:\n");
}

}  // namespace
}  // namespace cosmac::testing

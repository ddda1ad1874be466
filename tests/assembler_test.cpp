// The assembler against the disassembler's table, its error messages, and its
// output formats.
#include "asm/assembler.hpp"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "cpu/disassembler.hpp"
#include "cpu/opcode_table.hpp"

namespace cosmac {
namespace {

std::vector<uint8_t> bytes_at(const Memory& memory, uint16_t address, std::size_t count)
{
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i < count; ++i)
        bytes.push_back(memory[static_cast<uint16_t>(address + i)]);
    return bytes;
}

TEST(Assembler, DisassemblyOfEveryOpcodeAssemblesBackToItsBytes)
{
    std::mt19937 random(1802);
    auto memory = std::make_unique<Memory>();
    for (unsigned op = 0; op < 256; ++op) {
        for (int trial = 0; trial < 4; ++trial) {
            const uint16_t address = 0x1230;
            (*memory)[address] = static_cast<uint8_t>(op);
            (*memory)[address + 1] = static_cast<uint8_t>(random());
            (*memory)[address + 2] = static_cast<uint8_t>(random());
            const Disassembly d = disassemble(*memory, address);
            const std::string text = d.line.substr(5);  // "1230 LBR 12ab\n" without the address
            const Assembly assembly = assemble("ORG 1230\n" + text);
            ASSERT_TRUE(assembly.errors.empty()) << text << assembly.errors[0].message;
            EXPECT_EQ(bytes_at(assembly.memory, address, d.length), bytes_at(*memory, address, d.length)) << text;
            EXPECT_EQ(assembly.highest() - assembly.lowest() + 1, d.length) << text;
        }
    }
}

TEST(Assembler, PublishedNamesAndSpellings)
{
    const struct {
        const char* source;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"SDB", {0x75}},          {"LDN R1", {0x01}},       {"INC R0", {0x10}},       {"ldn rf", {0x0F}},       {"SEP R4", {0xD4}},
        {"SEP 5", {0xD5}},        {"SEX R2", {0xE2}},       {"Ret", {0xD5}},          {"RET", {0x70}},
        {"ret", {0x70}},          {"call 1234", {0xD4, 0x12, 0x34}}, {"PUTC", {0x68, 0x01}}, {"getc", {0x68, 0x02}},
        {"INVALID", {0x68}},      {"OUT 7", {0x67}},        {"inp 1", {0x69}},        {"LDI 'A'", {0xF8, 0x41}},
        {"LDI 65.", {0xF8, 0x41}}, {"LDI 0x41", {0xF8, 0x41}}, {"LDI -1", {0xF8, 0xFF}}, {"LDI '\\r'", {0xF8, 0x0D}},
        {"DB \"a\\\"b\", 1, 'c'", {0x61, 0x22, 0x62, 0x01, 0x63}}, {"DW 1234, 5", {0x12, 0x34, 0x00, 0x05}},
        {"DW $ + 2", {0x00, 0x02}}, {"x: DB LOW(x + 1ff), HIGH(x + 1ff)", {0xFF, 0x01}},
        {"LBR later\nlater: IDLE", {0xC0, 0x00, 0x03, 0x00}}, {"v EQU 5\nv2: EQU v + 2\nLDI v2", {0xF8, 0x07}},
        // a short branch reaches the page of its operand byte; two digits are the low byte itself
        {"here EQU 12f0\nORG 12fe\nBR here", {0x30, 0xF0}}, {"ORG 12ff\nBZ 05", {0x32, 0x05}},
        {"ORG ffff\nNOP", {0xC4}},  // the last byte of memory
        // the 1804/1805/1806's instructions, after .cpu 1805
        {".cpu 1805\nSTPC\nDTC\nSPM2\nSCM2\nSPM1\nSCM1\nLDC\nSTM\nGEC\nETQ\nXIE\nXID\nCIE\nCID",
         {0x68, 0x00, 0x68, 0x01, 0x68, 0x02, 0x68, 0x03, 0x68, 0x04, 0x68, 0x05, 0x68, 0x06,
          0x68, 0x07, 0x68, 0x08, 0x68, 0x09, 0x68, 0x0A, 0x68, 0x0B, 0x68, 0x0C, 0x68, 0x0D}},
        {".cpu 1805\nDADC\nDSAV\nDSMB\nDADD\nDSM", {0x68, 0x74, 0x68, 0x76, 0x68, 0x77, 0x68, 0xF4, 0x68, 0xF7}},
        {".cpu 1805\nDACI 12\nDSBI 34\nDADI 56\nDSMI 78",
         {0x68, 0x7C, 0x12, 0x68, 0x7F, 0x34, 0x68, 0xFC, 0x56, 0x68, 0xFF, 0x78}},
        {".cpu 1805\nRLXA R1\nSRET R6\nRSXD RA\nrnx 2", {0x68, 0x61, 0x68, 0x96, 0x68, 0xAA, 0x68, 0xB2}},
        {".cpu 1805\nORG 12fc\nloop: DBNZ RF,loop\nSCAL R6,1234\nRLDI R0,-1",
         {0x68, 0x2F, 0x12, 0xFC, 0x68, 0x86, 0x12, 0x34, 0x68, 0xC0, 0xFF, 0xFF}},
        // BCI and BXI reach the page of their operand byte, the third
        {".cpu 1805\nORG 12fd\nhere: BCI here\nBXI 05", {0x68, 0x3E, 0xFD, 0x68, 0x3F, 0x05}},
        {".cpu 1806\nRNX R3\n.cpu 1804\nGEC", {0x68, 0xB3, 0x68, 0x08}},
        // the console service moves to 68 d1 and 68 d2, off the 1805's DTC and SPM2
        {".cpu 1805\nPUTC\ngetc", {0x68, 0xD1, 0x68, 0xD2}}, {".cpu 1805\n.cpu 1802\nPUTC", {0x68, 0x01}},
        // without .cpu 1805 the 1805's names are free for labels and equates
        {"DTC: NOP\nLDC EQU 5\nLDI LDC\nBR DTC", {0xC4, 0xF8, 0x05, 0x30, 0x00}},
    };
    for (const auto& c : cases) {
        const Assembly assembly = assemble(c.source);
        ASSERT_TRUE(assembly.errors.empty()) << c.source << ": " << assembly.errors[0].message;
        EXPECT_EQ(bytes_at(assembly.memory, assembly.lowest(), c.bytes.size()), c.bytes) << c.source;
        EXPECT_EQ(assembly.highest() - assembly.lowest() + 1u, c.bytes.size()) << c.source;
    }
}

// Every instruction of the extended table assembles, after .cpu 1805, to 68, its
// second byte and as many bytes as the table gives it.
TEST(Assembler, EveryExtendedInstructionHasItsTableLength)
{
    for (unsigned second = 0; second < 256; ++second) {
        const OpInfo& info = kExtendedOpcodeTable[second];
        if (info.mnemonic == "INVALID")
            continue;
        const std::string operand = info.length == 4 ? ",1234" : info.length == 3 ? " 12" : "";
        const std::string text = std::string(info.mnemonic) + operand;
        const Assembly assembly = assemble(".cpu 1805\n" + text);
        ASSERT_TRUE(assembly.errors.empty()) << text << ": " << assembly.errors[0].message;
        EXPECT_EQ(bytes_at(assembly.memory, 0, 2), (std::vector<uint8_t>{kExtendedPrefix, uint8_t(second)})) << text;
        EXPECT_EQ(assembly.highest() - assembly.lowest() + 1u, info.length) << text;
    }
}

// Sources for includes, by name.
AssemblyOptions options_for(std::string_view syntax, std::map<std::string, std::string> files = {})
{
    AssemblyOptions options;
    options.syntax = syntax;
    options.source_name = "main.asm";
    options.read_include = [files](const std::string& path, std::string& error) -> std::optional<std::string> {
        const auto it = files.find(path);
        if (it == files.end()) {
            error = "No such file or directory";
            return std::nullopt;
        }
        return it->second;
    };
    return options;
}

TEST(A18Notation, Features)
{
    const struct {
        const char* topic;
        const char* source;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"numbers", " BYTE 10, 0AH, $0A, %1010, @12, 12Q, 12O, 1010B, 10D, $1A", {10, 10, 10, 10, 10, 10, 10, 10, 10, 26}},
        {"precedence", " BYTE 2 + 3 * 4, (2 + 3) * 4, HIGH 1234H SHL 1, LOW 1234H SHR 4, 1 + 7 MOD 4",
         {14, 20, 0x24, 0x23, 4}},
        {"selectors", "x EQU 1234H\n BYTE x.1, x.0, HIGH x + 100H, LOW NOT 1", {0x12, 0x34, 0x13, 0xFE}},
        {"strings as values", " DW \"AB\"\n BYTE 'A', -1", {0x41, 0x42, 0x41, 0xFF}},
        {"two characters in a byte list are text", " BYTE 'AB'", {0x41, 0x42}},
        {"relations: 16 bits, true is 1", " BYTE 8000H EQ 0, 10000H EQ 0, 1 LT 2, 2 LT 1", {0, 1, 1, 0}},
        {"every relation at 16 bits", " BYTE 10000H NE 0, 10000H LE 0, 10000H GT 0, 10000H GE 1, 10000H LT 1, 1 GT 10000H",
         {0, 1, 0, 0, 1, 1}},
        {"every relation below + and -",
         " BYTE 2 LT 1 + 2, 2 < 1 + 2, 2 LE 1 + 2, 2 <= 1 + 2, 2 =< 1 + 2, 2 EQ 1 + 2, 2 = 1 + 2, 2 GE 1 + 2,"
         " 2 >= 1 + 2, 2 => 1 + 2, 2 GT 1 + 2, 2 > 1 + 2, 2 NE 1 + 2, 2 <> 1 + 2, 2 >< 1 + 2",
         {1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1}},
        {"labels are case-sensitive", "lab EQU 1\nLab EQU 2\n BYTE lab, Lab", {1, 2}},
        {"a label without a colon", "here NOP\n BR here", {0xC4, 0x30, 0x00}},
        {"$ inside a name", "s$intr EQU 1\n ORG 1234H\nb$sub: SEP 6\n LDI b$sub.0\n BYTE s$intr, b$sub.1, $ - b$sub",
         {0xD6, 0xF8, 0x34, 0x01, 0x12, 0x03}},
        {"registers by name", " SEP R3\nLINK EQU 6\n GHI LINK\n SEP r4", {0xD3, 0x96, 0xD4}},
        {"register 0 where it is one", " INC R0\n GLO 0", {0x10, 0x80}},
        {"a source's R3 over the built-in one", "R3 EQU 5\n SEP R3", {0xD5}},
        {"SET again", "F SET 1\n BYTE F\nF SET F + 1\n BYTE F", {1, 2}},
        {"IF and ELSE", "D EQU 0\n IF D\n IDL\n IF 1\n IDL\n ENDI\n ELSE\n NOP\n ENDI", {0xC4}},
        {"FILL and BLK", " FILL 0E5H, 3\n BLK 2\n BYTE 7", {0xE5, 0xE5, 0xE5, 0, 0, 7}},
        {"FILL of none or fewer", " FILL 5, 0\n FILL 5, -1\n BYTE 7", {7}},
        {"TEXT", " TEXT \"ok\" '' 'ay'", {0x6F, 0x6B, 0x61, 0x79}},
        {"LOAD, CALL, RETN", " LOAD 7, 1234H\n CALL 5678H\n RETN",
         {0xF8, 0x12, 0xB7, 0xF8, 0x34, 0xA7, 0xD4, 0x56, 0x78, 0xD5}},
        {"LOAD at both ends of a word and of the registers", " LOAD 0, -8000H\n LOAD 15, 0FFFFH",
         {0xF8, 0x80, 0xB0, 0xF8, 0x00, 0xA0, 0xF8, 0xFF, 0xBF, 0xF8, 0xFF, 0xAF}},
        {"aliases", " NBR $\n NLBR 0\n LSKP\n IDL\n BPZ 0\n BM 0\n RSHR\n RSHL\n RET",
         {0x38, 0x00, 0xC8, 0x00, 0x00, 0xC8, 0x00, 0x33, 0x00, 0x3B, 0x00, 0x76, 0x7E, 0x70}},
        {"a label on ORG", " ORG 10H\nx ORG 20H\n DW x", {0x00, 0x20}},
        {"END stops", " NOP\n END\n IDL", {0xC4}},
        {"PAGE", " ORG 0FEH\n NOP\n PAGE\n NOP", {0xC4, 0, 0xC4}},
        {"the first line names the syntax", "; cosmac-asm: syntax=a18\n BYTE 10", {10}},
        {"16-bit arithmetic wraps", " DW 65535*65535*65535*65535*65535, -1-65535, -32768-1", {0xFF, 0xFF, 0, 0, 0x7F, 0xFF}},
        {"a word at its limits", " DW 0FFFFH, -32768", {0xFF, 0xFF, 0x80, 0x00}},
        {"an equate repeated with its value", "R0 EQU 0\nR0 EQU 0\n BYTE R0 + 1", {1}},
        {"an empty string", " BYTE \"\", 1", {1}},
        {"an escape last in a quoted string", " BYTE 'A\\n'", {0x41, 0x0A}},
        {"CPU 1805, and CPU 1802 that frees the names again",
         " CPU 1805\nLOOP DBNZ R7, LOOP\n SCAL R6, 1234H\n RLDI 15, -1\n RSXD R2\n BCI LOOP\n DSMI 10\n"
         " CPU 1802\nDTC EQU 3\n BYTE DTC",
         {0x68, 0x27, 0x00, 0x00, 0x68, 0x86, 0x12, 0x34, 0x68, 0xCF, 0xFF, 0xFF, 0x68, 0xA2, 0x68, 0x3E, 0x00,
          0x68, 0xFF, 0x0A, 0x03}},
    };
    for (const auto& c : cases) {
        const Assembly assembly = assemble(c.source, c.topic == std::string("the first line names the syntax")
                                                         ? AssemblyOptions{}
                                                         : options_for("a18"));
        ASSERT_TRUE(assembly.errors.empty()) << c.topic << ": " << assembly.errors[0].message;
        EXPECT_EQ(bytes_at(assembly.memory, assembly.lowest(), c.bytes.size()), c.bytes) << c.topic;
        EXPECT_EQ(assembly.highest() - assembly.lowest() + 1u, c.bytes.size()) << c.topic;
    }
}

TEST(A18Notation, IncludesAndErrors)
{
    const std::map<std::string, std::string> files = {{"lib/inc.asm", " INCL \"two.asm\"\n BYTE 1"},
                                                      {"lib/two.asm", " BYTE 0"}};  // found beside their includer
    const Assembly included = assemble(" INCL \"lib/inc.asm\"\n BYTE 2", options_for("a18", files));
    ASSERT_TRUE(included.errors.empty()) << included.errors[0].message;
    EXPECT_EQ(bytes_at(included.memory, 0, 3), (std::vector<uint8_t>{0, 1, 2}));

    // Sixteen includes deep is the limit: i16 may include nothing more.
    const auto file = [](int i) {
        std::string name = "i";
        name += std::to_string(i);
        return name += ".asm";
    };
    std::map<std::string, std::string> chain;
    for (int i = 1; i <= 16; ++i)
        chain[file(i)] = " INCL \"" + file(i + 1) + "\"";
    chain["i16.asm"] = " BYTE 16";
    EXPECT_TRUE(assemble(" INCL \"i1.asm\"", options_for("a18", chain)).errors.empty());
    chain["i16.asm"] = " INCL \"i17.asm\"";
    chain["i17.asm"] = " BYTE 17";
    EXPECT_EQ(assemble(" INCL \"i1.asm\"", options_for("a18", chain)).errors.at(0).message,
              "includes nest deeper than 16");

    const struct {
        std::string source;
        std::map<std::string, std::string> files;
        const char* file;
        int line;
        const char* message;
    } cases[] = {
        {" INCL \"a.asm\"", {{"a.asm", " NOP\n INCL \"a.asm\""}}, "a.asm", 2, "include cycle: a.asm includes itself"},
        {" INCL \"none.asm\"", {}, "", 1, "none.asm: No such file or directory"},
        {" NOP\n INCL \"bad.asm\"", {{"bad.asm", "\n FOO"}}, "bad.asm", 2, "unknown mnemonic 'FOO'"},
        {" INCL \"e.asm\"", {{"e.asm", " NOP\n END"}}, "e.asm", 2, "END inside an included file"},
        {" CPU 6502", {}, "", 1, "CPU takes 1802, 1804, 1805 or 1806"},
        {" RLDI R7, 1234H", {}, "", 1, "RLDI is an 1805 instruction: add CPU 1805 or assemble with --cpu 1805"},
        {" CPU 1805\n CPU 1802\n DTC", {}, "", 3, "DTC is an 1805 instruction: add CPU 1805 or assemble with --cpu 1805"},
        {" CPU 1805\n DBNZ R7", {}, "", 2, "DBNZ takes a register and an address"},
        {" CPU 1805\n RLDI , 5", {}, "", 2, "RLDI takes a register and a value"},
        {" CPU 1805\n ORG 0FDH\n BCI 100H", {}, "", 3,
         "branch target 0100 is outside the page of the branch's operand byte at 00ff (0000-00ff)"},
        {"x SET 1\nx EQU 2", {}, "", 2, "duplicate label 'x' (first defined on line 1)"},
        {"x SET 1\nx EQU 1", {}, "", 2, "duplicate label 'x' (first defined on line 1)"},
        {"x: NOP\nx EQU 1", {}, "", 2, "duplicate label 'x' (first defined on line 1)"},
        {"R0 EQU 0\n INCL \"r.asm\"", {{"r.asm", "\nR0 EQU 1"}}, "r.asm", 2,
         "duplicate label 'R0' (first defined on line 1 of main.asm)"},
        {" ELSE", {}, "", 1, "ELSE without IF"},
        {" IF 1\n NOP", {}, "", 2, "IF without ENDI"},
        {" BYTE 1 / 0", {}, "", 1, "division by zero"},
        {" BYTE \"a", {}, "", 1, "unterminated string"},      {" DW \"AB", {}, "", 1, "expected '\"'"},
        {" BYTE 256", {}, "", 1, "value 256 does not fit in a byte"},
        {" SEP 16", {}, "", 1, "value 16 does not fit in a register"},
        {" DW 10000H", {}, "", 1, "value 65536 does not fit in a word"},
        {" LBR 12345H", {}, "", 1, "value 74565 does not fit in an address"},
        {" DW 100000000H", {}, "", 1, "number '100000000H' is too large"},
    };
    for (const auto& c : cases) {
        const Assembly assembly = assemble(c.source, options_for("a18", c.files));
        ASSERT_FALSE(assembly.errors.empty()) << c.source;
        EXPECT_EQ(assembly.errors[0].file, c.file) << c.source;
        EXPECT_EQ(assembly.errors[0].line, c.line) << c.source;
        EXPECT_EQ(assembly.errors[0].message, c.message) << c.source;
    }
}

// -I: an include is found beside its includer first, then in each directory in
// order. -D: an equate, or a #define in asm02, before the first line.
TEST(Notations, IncludeDirectoriesAndDefinitions)
{
    const std::map<std::string, std::string> files = {
        {"src/a.asm", " BYTE 1"}, {"one/a.asm", " BYTE 2"}, {"one/b.asm", " BYTE 3"},
        {"two/b.asm", " BYTE 4"}, {"two/c.asm", " BYTE 5"}, {"/abs/d.asm", " BYTE 6"}};
    const struct {
        const char* syntax;
        const char* source;
        std::vector<std::string> definitions;
        std::vector<uint8_t> bytes;  // empty: an error, shown below
        const char* error;
    } cases[] = {
        {"a18", " INCL \"a.asm\"\n INCL \"b.asm\"\n INCL \"c.asm\"\n INCL \"/abs/d.asm\"", {}, {1, 3, 5, 6}, ""},
        {"a18", " INCL \"e.asm\"", {}, {}, "src/e.asm: No such file or directory"},
        {"a18", " BYTE FAST, SLOW\nFAST EQU 2", {"FAST=2", "SLOW"}, {2, 1}, ""},
        {"a18", "FAST EQU 3", {"FAST=2"}, {}, "duplicate label 'FAST' (first defined by -D)"},
        {"a18", " NOP", {"FAST=x"}, {}, "-D FAST=x: undefined label 'x'"},
        {"a18", " NOP", {"2X=1"}, {}, "-D 2X=1: bad name"},
        {"sb", " .DB LIMIT", {"LIMIT=$10"}, {0x10}, ""},
        {"sb", " .DB HERE", {"HERE=*+2"}, {2}, ""},  // before every line: at address 0
        {"asm02", "#ifdef FAST\n db FAST\n#endif\n#if SLOW == 1\n db 9\n#endif", {"FAST=7", "SLOW"}, {7, 9}, ""},
    };
    for (const auto& c : cases) {
        AssemblyOptions options = options_for(c.syntax, files);
        options.source_name = "src/main.asm";
        options.include_directories = {"one", "two/"};
        options.predefined = c.definitions;
        const Assembly assembly = assemble(c.source, options);
        if (c.bytes.empty()) {
            ASSERT_FALSE(assembly.errors.empty()) << c.source;
            EXPECT_EQ(assembly.errors[0].message, c.error);
            continue;
        }
        ASSERT_TRUE(assembly.errors.empty()) << c.source << ": " << assembly.errors[0].message;
        EXPECT_EQ(bytes_at(assembly.memory, assembly.lowest(), c.bytes.size()), c.bytes) << c.source;
    }
}

// A line's label names an address; an equate, a variable and a -D definition
// are values, which the debugger takes but never shows as an address's name.
TEST(Notations, SymbolKinds)
{
    constexpr SymbolKind kLabel = SymbolKind::Label, kValue = SymbolKind::Value;
    const struct {
        const char* syntax;
        const char* source;
        std::vector<SymbolEntry> symbols;  // in the order of their names
    } cases[] = {
        {"a18", "TOP NOP\nSIZE EQU 3\nN SET 1\nN SET 2\nEND: EQU $",
         {{0x0001, "END", kValue}, {0x0002, "N", kValue}, {0x0003, "SIZE", kValue}, {0x0000, "TOP", kLabel},
          {0x0001, "W", kValue}}},
        {"asm02", "f_type: equ 0ff03h\nstart: sep r4\n dw f_type",
         {{0xFF03, "F_TYPE", kValue}, {0x0000, "START", kLabel}}},  // names ignore case
        {"rca", "ZERO=0; HERE: GHI 0", {{0x0000, "HERE", kLabel}, {0x0001, "W", kValue}, {0x0000, "ZERO", kValue}}},
    };
    for (const auto& c : cases) {
        AssemblyOptions options = options_for(c.syntax);
        if (std::string_view(c.syntax) != "asm02")
            options.predefined = {"W"};
        const Assembly assembly = assemble(c.source, options);
        ASSERT_TRUE(assembly.errors.empty()) << c.source << ": " << assembly.errors[0].message;
        EXPECT_EQ(assembly.symbols, c.symbols) << c.source;
    }
}

// Every line that makes bytes has its addresses in the line table, through an
// include and a .op; a line of several statements is one entry; lines of no
// bytes, and bytes .suppress keeps out, have none.
TEST(Notations, LineTables)
{
    using Entry = LineTable::Entry;
    const struct {
        const char* syntax;
        const char* source;
        std::vector<std::string> files;
        std::vector<Entry> entries;
    } cases[] = {
        {"asm02", ".op \"TWICE\",\"N\",\"1$1 1$1\"\n org 100h\nx: equ 5\n twice 3\n#include lib.inc\n db 'ab'\n"
                  ".suppress\n db 1\n",
         {"main.asm", "lib.inc"},
         {{0x100, 2, 0, 4}, {0x102, 1, 1, 2}, {0x103, 2, 0, 6}}},
        {"rca", "  GHI 0; GLO 0\n  ORG #10; NOP", {"main.asm"}, {{0x0000, 2, 0, 1}, {0x0010, 1, 0, 2}}},
    };
    for (const auto& c : cases) {
        const Assembly assembly = assemble(c.source, options_for(c.syntax, {{"lib.inc", "; nothing\n nop\n"}}));
        ASSERT_TRUE(assembly.errors.empty()) << c.source << ": " << assembly.errors[0].message;
        EXPECT_EQ(assembly.lines.files, c.files) << c.source;
        EXPECT_EQ(assembly.lines.entries, c.entries) << c.source;
    }
}

// Each pair of adjacent precedence levels, with operands at which the other
// order gives another value.
TEST(Notations, AdjacentPrecedenceLevels)
{
    const struct {
        const char* syntax;
        const char* expression;
        uint16_t value;
    } cases[] = {
        {"a18", "HIGH 1234H OR 1", 0x12},      {"a18", "1 OR 2 AND 0", 1},
        {"a18", "NOT 0 AND 1", 1},             {"a18", "NOT 1 EQ 1", 0xFFFE},
        {"a18", "1 + 2 LT 2", 0},              {"a18", "2 + 3 * 4", 14},
        {"a18", "- 1 SHR 1", 0x7FFF},          {"a18", "1 XOR 1 AND 0", 1},
        {"asm02", "high 1234h.0", 0x12},       {"asm02", "512*2.0", 0x400},
        {"asm02", "2+3*4", 14},                {"asm02", "1<<2+1", 8},
        {"asm02", "1|2<<1", 5},                {"asm02", "2 & 3 == 2", 1},
        {"asm02", "0 == 1 || 1", 1},           {"asm02", "7 % 4 * 2", 6},
        {"sb", "2+3*4", 20},                   {"sb", "1<<4+1", 17},
        {"a18", "HIGH 1234H.0", 0},            {"a18", "3 <= 1 + 1", 0},
        {"a18", "7 MOD 1", 0},                 {"sb", "5>5", 0},
        {"sb", "5>=5", 0xFFFF},                {"sb", "8>>1", 4},
        {"sb", "10-4-3", 3},                   {"rca", "10-4-3", 3},
        // SB has one level for every infix operator: each after a + applies to the sum.
        {"sb", "1+1=2", 0xFFFF},               {"sb", "1+1<>3", 0xFFFF},
        {"sb", "1+1!=3", 0xFFFF},              {"sb", "2+1<2", 0},
        {"sb", "2+1>2", 0xFFFF},               {"sb", "2+1<=2", 0},
        {"sb", "2+1>=3", 0xFFFF},              {"sb", "1+2&2", 2},
        {"sb", "1+1|1", 3},                    {"sb", "1+1^1", 3},
        {"sb", "1+1!1", 3},                    {"sb", "1+1<<1", 4},
        {"sb", "9+7>>1", 8},                   {"sb", "1+5\\3", 0},
        {"sb", "3+5/2", 4},                    {"sb", "2*3-1", 5},
        {"cosmac", "10-4-3", 9},               {"a18", "4 / 2 SHL 1", 4},
        {"a18", "1 + 1 SHL 2", 5},             {"a18", "3 > 1 + 1", 1},
        {"a18", "NOT 0 > 1", 0xFFFF},          {"a18", "NOT 1 AND 0", 0},
        {"sb", "1<2", 0xFFFF},                 {"a18", "5 GE 5", 1},
        {"a18", "1 OR 1 AND 0", 1},            {"a18", "2 - 1 * 2", 0},
        {"asm02", "1 || 0 == 0", 1},           {"asm02", "1 && 2 == 2", 1},
        {"rca", "T'AB'", 0x4142},              {"asm02", "-high 1234h", 0xFFEE},
        // Asm/02: each operator against the level just above its own.
        {"asm02", "2 == 3 & 2", 1},            {"asm02", "2 = 3 & 2", 1},
        {"asm02", "1 != 1 | 2", 1},            {"asm02", "1 < 3 & 2", 1},
        {"asm02", "3 > 3 & 2", 1},             {"asm02", "2 <= 3 & 2", 1},
        {"asm02", "2 >= 3 & 2", 1},            {"asm02", "1&3<<1", 0},
        {"asm02", "1^3<<1", 7},                {"asm02", "8>>1+1", 2},
        {"asm02", "10-2*3", 4},                {"asm02", "512/2.0", 256},
        {"asm02", "515%259.0", 2},             {"a18", "1 AND 2 EQ 2", 1},
        {"a18", "7 MOD 4 * 2", 6},             {"a18", "2 * 7 / 2", 7},
        {"a18", "2 * 7 MOD 4", 2},             {"a18", "3 MOD 2 SHL 1", 2},
        {"a18", "5 MOD 4 SHR 1", 0},
        // Each relation where its operands are equal.
        {"sb", "3<=3", 0xFFFF},                {"sb", "3<3", 0},
        {"a18", "2 LT 2", 0},                  {"a18", "2 LE 2", 1},
        {"a18", "2 GT 2", 0},                  {"asm02", "2 != 2", 0},
        // A + after a - in each notation: one level, left to right.
        {"cosmac", "10-4+3", 0xF},             {"rca", "10-4+3", 9},
        {"a18", "10 - 4 + 3", 9},              {"asm02", "10-4+3", 9},
        {"sb", "10-4+3", 9},
        {"asm02", "sgn(1)", 1},                {"asm02", "sgn(0-5)", 0xFFFF},
    };
    for (const auto& c : cases) {
        const std::string source =
            std::string(c.syntax == std::string("sb") ? " .DW " : c.syntax == std::string("rca") ? "DC A(" : " DW ") +
            c.expression + (c.syntax == std::string("rca") ? ")" : "");
        const Assembly assembly = assemble(source, options_for(c.syntax));
        ASSERT_TRUE(assembly.errors.empty()) << c.syntax << c.expression << ": " << assembly.errors[0].message;
        EXPECT_EQ(bytes_at(assembly.memory, 0, 2), (std::vector<uint8_t>{uint8_t(c.value >> 8), uint8_t(c.value)}))
            << c.syntax << " " << c.expression;
    }
}

// A digit equal to its number's base, in each notation's forms, is an error.
TEST(Notations, DigitsEqualToTheBase)
{
    const struct {
        const char* syntax;
        const char* number;
    } cases[] = {
        {"a18", "18Q"},    {"a18", "18O"},  {"a18", "12B"},     {"a18", "1AD"},   {"a18", "@8"},
        {"a18", "%2"},     {"a18", "$G"},   {"asm02", "%12"},   {"asm02", "$G"},  {"asm02", "1Gh"},
        {"sb", "%102"},    {"sb", "@18"},   {"sb", "0b12"},     {"sb", "0xG"},    {"sb", "1A"},
        {"asm02", "r16+"},  {"rca", "#G"},     {"rca", "1A"},   {"cosmac", "1A."},  {"cosmac", "0xG"},
    };
    for (const auto& c : cases) {
        const std::string source = std::string(c.syntax == std::string("sb") ? " .DB " : c.syntax == std::string("rca") ? "DC " : " DB ") + c.number;
        const Assembly assembly = assemble(source, options_for(c.syntax));
        EXPECT_FALSE(assembly.errors.empty()) << c.syntax << " " << c.number;
    }
}

// An include's own error comes in its place among the other lines' errors.
TEST(Notations, IncludeErrorsInTheirPlace)
{
    const struct {
        const char* syntax;
        const char* source;
    } cases[] = {
        {"a18", " INCL \"none.asm\"\n BYTE 1/0\n INCL \"none.asm\""},
        {"asm02", "#include none.asm\n db 1/0\n#include none.asm"},
    };
    for (const auto& c : cases) {
        const Assembly assembly = assemble(c.source, options_for(c.syntax));
        ASSERT_EQ(assembly.errors.size(), 3u) << c.syntax;
        EXPECT_EQ(assembly.errors[0].line, 1) << c.syntax;
        EXPECT_EQ(assembly.errors[1].line, 2) << c.syntax;
        EXPECT_EQ(assembly.errors[2].line, 3) << c.syntax;
    }
}

// A source that is no source (a binary file, a line of 100 KB, thousands of bad
// lines) gives a bounded report: 100 errors at most, quotes of source cut after
// 120 characters, control bytes written out.
TEST(Notations, ErrorsDoNotFlood)
{
    std::string bad_lines;
    for (int i = 0; i < 20000; ++i)
        bad_lines += " bad\n";
    const Assembly flood = assemble(bad_lines, options_for("cosmac"));
    ASSERT_EQ(flood.errors.size(), 101u);
    EXPECT_EQ(flood.errors[99].line, 100);
    EXPECT_EQ(flood.errors[100].line, 0);
    EXPECT_EQ(flood.errors[100].message, "too many errors; stopping");

    const std::string long_word(100000, 'x');
    const Assembly long_line = assemble(" " + long_word, options_for("cosmac"));
    ASSERT_EQ(long_line.errors.size(), 1u);
    EXPECT_EQ(long_line.errors[0].message, "unknown mnemonic '" + std::string(120, 'x') + "\u2026'");

    const Assembly binary = assemble(" \x01\x7f\x1b[2J", options_for("cosmac"));
    ASSERT_EQ(binary.errors.size(), 1u);
    EXPECT_EQ(binary.errors[0].message, "unknown mnemonic '\\x01\\x7f\\x1b[2J'");
}

// Arithmetic past a notation's width wraps, and RCA's and SB's immediates keep
// their low byte, as their own assemblers do: the bytes as they make them, and a
// notice of each, once a line, for -W.
TEST(Notations, WrapsAndCutsAreNoticed)
{
    const struct {
        const char* syntax;
        const char* source;
        std::vector<uint8_t> bytes;
        std::vector<std::string> notices;
    } cases[] = {
        {"a18", " DW $FFFF * $FFFF\nX EQU 8000H + 8000H\n DW X", {0x00, 0x01, 0x00, 0x00},
         {"arithmetic wrapped to 16 bits", "arithmetic wrapped to 16 bits"}},
        {"asm02", " dw $ffff * $ffff, 2 - 3, 1 << 40", {0x00, 0x01, 0xFF, 0xFF, 0x01, 0x00}, {"arithmetic wrapped to 16 bits"}},
        {"rca", " LDI 300; LDI #FF", {0xF8, 0x2C, 0xF8, 0xFF}, {"300 cut to its low byte 2c"}},
        {"sb", " LDI 300\n LDI $FF", {0xF8, 0x2C, 0xF8, 0xFF}, {"300 cut to its low byte 2c"}},
        {"cosmac", " LDI FF\n DW FFFF", {0xF8, 0xFF, 0xFF, 0xFF}, {}},
    };
    for (const auto& c : cases) {
        const Assembly assembly = assemble(c.source, options_for(c.syntax));
        ASSERT_TRUE(assembly.errors.empty()) << c.syntax << ": " << assembly.errors[0].message;
        EXPECT_EQ(bytes_at(assembly.memory, 0, c.bytes.size()), c.bytes) << c.syntax;
        std::vector<std::string> notices;
        for (const AssemblyError& notice : assembly.notices)
            notices.push_back(notice.message);
        EXPECT_EQ(notices, c.notices) << c.syntax;
    }
}

// The same text means different bytes, or is an error, in different notations,
// and with or without the 1804/1805/1806's instructions: --cpu or the source's
// own switch, the later deciding, turns them on; without them such a statement
// is an error that names the notation's switch.
TEST(Notations, Conflicts)
{
    const struct {
        const char* syntax;
        const char* source;
        std::vector<uint8_t> bytes;  // empty: an error, shown below
        const char* error;
        CpuModel cpu = CpuModel::Cdp1802;  // as --cpu gives it
    } cases[] = {
        {"cosmac", " LDI 10", {0xF8, 0x10}, ""},
        {"a18", " LDI 10", {0xF8, 10}, ""},
        {"rca", " LDI 10", {0xF8, 10}, ""},
        {"a18", " LDI 2+3*4", {0xF8, 14}, ""},
        {"asm02", " LDI 2+3*4", {0xF8, 14}, ""},
        {"sb", " LDI 2+3*4", {0xF8, 20}, ""},
        {"rca", " LDI 1;LDI 2", {0xF8, 1, 0xF8, 2}, ""},
        {"a18", " LDI 1;LDI 2", {0xF8, 1}, ""},
        {"a18", " NBR 0", {0x38, 0x00}, ""},
        {"asm02", " NBR", {0x38}, ""},
        {"a18", " LDI \"A\"", {0xF8, 0x41}, ""},
        {"sb", " LDI \"A\"", {0xF8, 0xC1}, ""},
        {"cosmac", " LDI 0FFH", {}, "bad number '0FFH'; `0FFH` is a number in --syntax a18/asm02/sb"},
        {"cosmac", " BYTE 1", {}, "unknown mnemonic 'BYTE'; `BYTE` is a directive in --syntax a18"},
        {"sb", " .MACRO X", {}, "unknown mnemonic '.MACRO'; `.MACRO` is not supported: cosmac-asm has no macros"},
        {"asm02", " proc", {}, "unknown mnemonic 'proc'; `proc` is not supported: relocatable modules need a linker"},
        {"sb", " .DB 1,2\n .NO 1", {}, ".NO 0001 is behind 0002"},
        {"sb", " .NO $10001", {}, ".NO 10001 is past ffff from 0000"},
        {"sb", "X .EQ 5\nX .EQ 6", {}, "duplicate label 'X' (first defined on line 1)"},
        // The 1804/1805/1806's instructions. RCA's data list starts at the first
        // comma: DBNZ, SCAL and RLDI take its first item as their word.
        {"rca", "LOOP: DBNZ R7,LOOP,#12; SCAL 6,A(LOOP); RLDI 7,#1234; DSBI #12; BCI LOOP",
         {0x68, 0x27, 0x00, 0x00, 0x12, 0x68, 0x86, 0x00, 0x00, 0x68, 0xC7, 0x12, 0x34, 0x68, 0x7F, 0x12, 0x68, 0x3E, 0x00},
         "", CpuModel::Cdp1805},
        {"rca", "DTC", {}, "DTC is an 1805 instruction: assemble with --cpu 1805"},
        // .CR 1802 names SB's family and leaves --cpu 1805 as it is
        {"sb", " .CR 1802\nLOOP DBNZ 7,LOOP\n RNX 2 the rest is comment\n DSAV comment too\n DADI $12",
         {0x68, 0x27, 0x00, 0x00, 0x68, 0xB2, 0x68, 0x76, 0x68, 0xFC, 0x12}, "", CpuModel::Cdp1805},
        {"sb", " DTC", {}, "DTC is an 1805 instruction: assemble with --cpu 1805"},
        {"sb", " .CR 1805", {}, "only the 1802 family is supported (.CR 1802)", CpuModel::Cdp1805},
        {"asm02", " rldi r7,1234h", {}, "RLDI is an 1805 instruction: add .1805 or assemble with -1805"},
        {"asm02", " etq", {0x68, 0x09}, "", CpuModel::Cdp1804},
        {"cosmac", "RLDI R7,1234", {}, "RLDI is an 1805 instruction: add .cpu 1805 or assemble with --cpu 1805"},
        {"cosmac", "GEC\nPUTC", {0x68, 0x08, 0x68, 0xD1}, "", CpuModel::Cdp1805},
        {"cosmac", ".cpu 1802\nPUTC\nGEC", {}, "GEC is an 1805 instruction: add .cpu 1805 or assemble with --cpu 1805",
         CpuModel::Cdp1805},
        {"a18", " CPU 1802\n ETQ", {}, "ETQ is an 1805 instruction: add CPU 1805 or assemble with --cpu 1805",
         CpuModel::Cdp1806},
        {"cosmac", ".cpu 1803", {}, ".CPU takes 1802, 1804, 1805 or 1806"},
        {"cosmac", "SCAL R6", {}, "SCAL takes a register and an address", CpuModel::Cdp1805},
        {"cosmac", "DBNZ ,12", {}, "DBNZ takes a register and an address", CpuModel::Cdp1805},
        {"cosmac", "RLDI R7", {}, "RLDI takes a register and a value", CpuModel::Cdp1805},
        {"cosmac", "RLDI RG,1", {}, "bad register 'RG' for RLDI", CpuModel::Cdp1805},
        {"cosmac", "RNX", {}, "missing operand for RNX", CpuModel::Cdp1805},
        {"cosmac", "DSAV 1", {}, "DSAV takes no operand", CpuModel::Cdp1805},
        {"cosmac", "DACI 100", {}, "value 100 does not fit in a byte", CpuModel::Cdp1805},
    };
    for (const auto& c : cases) {
        AssemblyOptions options = options_for(c.syntax);
        options.cpu = c.cpu;
        const Assembly assembly = assemble(c.source, options);
        if (c.bytes.empty()) {
            ASSERT_FALSE(assembly.errors.empty()) << c.syntax << c.source;
            EXPECT_EQ(assembly.errors[0].message, c.error);
            continue;
        }
        ASSERT_TRUE(assembly.errors.empty()) << c.syntax << c.source << ": " << assembly.errors[0].message;
        EXPECT_EQ(bytes_at(assembly.memory, assembly.lowest(), c.bytes.size()), c.bytes) << c.syntax << c.source;
        EXPECT_EQ(assembly.highest() - assembly.lowest() + 1u, c.bytes.size()) << c.syntax << c.source;
    }
}

// One program for the 1805, a call with SCAL and SRET in a DBNZ loop, decimal
// arithmetic and the timer's start, written as Asm/02 (.1805) and as A18
// (CPU 1805) sources are: the same bytes from both.
TEST(Notations, The1805InAsm02AndA18)
{
    const std::vector<uint8_t> bytes = {
        0x68, 0xC2, 0x01, 0xFF,  // 0100 RLDI R2,01FF
        0x68, 0xC7, 0x00, 0x05,  // 0104 RLDI R7,0005
        0xE2,                    // 0108 SEX R2
        0x68, 0x86, 0x01, 0x1A,  // 0109 SCAL R6,011A
        0x68, 0x27, 0x01, 0x09,  // 010d DBNZ R7,0109
        0xF8, 0x10,              // 0111 LDI 10
        0x68, 0x06,              // 0113 LDC
        0x68, 0x07,              // 0115 STM
        0x68, 0x0C,              // 0117 CIE
        0x00,                    // 0119 IDL
        0x68, 0xFC, 0x01,        // 011a DADI 01
        0x52,                    // 011d STR R2
        0x68, 0xF4,              // 011e DADD
        0x68, 0x96,              // 0120 SRET R6
    };
    const struct {
        const char* syntax;
        const char* source;
    } cases[] = {
        {"asm02",
         "stack: equ 1ffh\n .1805\n org 100h\nstart: rldi r2,stack\n rldi r7,5\n sex r2\nloop: scal r6,bump\n"
         " dbnz r7,loop\n ldi 10h\n ldc\n stm\n cie\n idl\nbump: dadi 1\n str r2\n dadd\n sret r6\n"},
        {"a18",
         "STACK EQU 1FFH\n CPU 1805\n ORG 100H\nSTART RLDI R2, STACK\n RLDI R7, 5\n SEX R2\nLOOP SCAL R6, BUMP\n"
         " DBNZ R7, LOOP\n LDI 10H\n LDC\n STM\n CIE\n IDL\nBUMP DADI 1\n STR R2\n DADD\n SRET R6\n"},
    };
    for (const auto& c : cases) {
        const Assembly assembly = assemble(c.source, options_for(c.syntax));
        ASSERT_TRUE(assembly.errors.empty()) << c.syntax << ": " << assembly.errors[0].message;
        EXPECT_EQ(assembly.lowest(), 0x0100) << c.syntax;
        EXPECT_EQ(bytes_at(assembly.memory, 0x0100, bytes.size()), bytes) << c.syntax;
        EXPECT_EQ(assembly.highest() - assembly.lowest() + 1u, bytes.size()) << c.syntax;
    }
}

TEST(RcaNotation, Features)
{
    const struct {
        const char* topic;
        const char* source;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"statements, comments, equates", "N=5;LDI N ..FIVE\nM = #10; LDI M", {0xF8, 5, 0xF8, 0x10}},
        {"constants", "DC 17,D'17',#11,X'11',B'00010001',#F", {17, 17, 17, 17, 17, 15}},
        {"a doubled quote last", "DC T'A'''", {0x41, 0x27}},
        {"data lists", "W=#1234\nDC T'IT''S',A(W),A.1(W),A.0(W),300,9,W", {0x49, 0x54, 0x27, 0x53, 0x12, 0x34, 0x12, 0x34,
                                                                          0x01, 0x2C, 9, 0x34}},
        {"an instruction's data list", "DIS,#23\nOUT 4,#10\nSEP R6,A(#1234)", {0x71, 0x23, 0x64, 0x10, 0xD6, 0x12, 0x34}},
        {"blanks optional", "LDI#3F;ANI#0F", {0xF8, 0x3F, 0xFA, 0x0F}},
        {"* is the statement's own address", "DEC F;GHI F;BNZ *-2", {0x2F, 0x9F, 0x3A, 0x00}},
        {"hex names", "INC A;GLO F", {0x1A, 0x8F}},
        {"a defined symbol wins", "A=3;INC A", {0x13}},
        {"immediates take the low byte", "LDI #1234", {0xF8, 0x34}},
        {"16-bit arithmetic wraps", "DC A(#FFFF+2)", {0x00, 0x01}},
        {"a label alone, then forward", "L:\nBR L;LDI LATER\nLATER=7", {0x30, 0x00, 0xF8, 7}},
        {"END", "NOP;END;IDL", {0xC4}},
    };
    for (const auto& c : cases) {
        const Assembly assembly = assemble(c.source, options_for("rca"));
        ASSERT_TRUE(assembly.errors.empty()) << c.topic << ": " << assembly.errors[0].message;
        EXPECT_EQ(bytes_at(assembly.memory, assembly.lowest(), c.bytes.size()), c.bytes) << c.topic;
        EXPECT_EQ(assembly.highest() - assembly.lowest() + 1u, c.bytes.size()) << c.topic;
    }
    const Assembly immediate = assemble("LDI A(#1234)", options_for("rca"));
    ASSERT_FALSE(immediate.errors.empty());
    EXPECT_EQ(immediate.errors[0].message, "A(...) is two bytes; an immediate takes one (A.0 or A.1)");
    EXPECT_EQ(assemble("DC A.0 #1234", options_for("rca")).errors.at(0).message, "unexpected '.0 #1234' in expression");
}

TEST(SbNotation, Features)
{
    const struct {
        const char* topic;
        const char* source;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"strictly left to right", " LDI 2+3*4\n LDI 1<<4+1", {0xF8, 20, 0xF8, 17}},
        {"the operand ends at a blank", " LDI 2 + 3\n SEQ the rest is comment", {0xF8, 2, 0x7B}},
        {"comment lines", "; one\n* two\n# three\n@ four\n NOP", {0xC4}},
        {"a comment block", " .CO\nnot a statement\n .EC\n NOP", {0xC4}},
        {"selectors", "V .EQ $123456\n LDI /V\n LDI #V\n LDI =V\n .DA V,#V", {0xF8, 0x34, 0xF8, 0x56, 0xF8, 0x12,
                                                                        0x34, 0x56, 0x56}},
        {"characters", " LDI 'A\n LDI \"A\"\n .DB \"A\"", {0xF8, 0x41, 0xF8, 0xC1, 0x41}},
        {"numbers", " .DB $1F,%0001.1111,@37,1FH,37Q,0x1F,0b11111,11111b,31D", {31, 31, 31, 31, 31, 31, 31, 31, 31}},
        {"local labels", "A1 NOP\n.L BR .L\nB2 NOP\n.L BR .L", {0xC4, 0x30, 0x01, 0xC4, 0x30, 0x04}},
        {"text", " .AS -\"hi\",#13\n .AT /ok/\n .AZ |x|", {0xE8, 0xE9, 0x8D, 0x6F, 0xEB, 0x78, 0x00}},
        {".BS, .HS, .DR", " .BS 2,$EA\n .HS 01.02\n .DR $1234", {0xEA, 0xEA, 0x01, 0x02, 0x34, 0x12}},
        {".DO and .EL", "T .SE 1\n .DO T=1\n .DB 1\n .EL\n .DB 2\n .FI", {1}},
        {"only three characters count", " .ORG $10\n .BYTE 1", {}},
        {".IN adds .asm", " .IN lib\n .DB 1", {7, 1}},
        {".IN in quotes", " .IN \"lib\"", {7}},
        {"a blank after a comma continues the operand", " .DB 0, 2,  4 rest\n .AS /a b/, #13 rest\n .DA 1, 2",
         {0, 2, 4, 0x61, 0x20, 0x62, 0x0D, 0, 1, 0, 2}},
        {".NO fills or skips up to an address", " .NO 2,$EA\n .DB 1\n .NO 5\n .DB 2\n .NO 6\n .DB 3",
         {0xEA, 0xEA, 1, 0, 0, 2, 3}},
        {"an equate repeated with its value", "R5 .EQ 5\nR5 = 5\n .DB R5", {5}},
        {"32-bit arithmetic wraps", " .DL $FFFFFFFF*$FFFFFFFF,-1,$12345678",
         {0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF, 0x12, 0x34, 0x56, 0x78}},
        {".HS of an odd count of digits", " .HS 123", {}},
        {".HS with a digit that is not hex", " .HS 1G", {}},
        {"an escaped delimiter last leaves the text open", " .AS /\\/", {}},
        {"a label that starts with a digit", "9L NOP", {}},
    };
    for (const auto& c : cases) {
        const Assembly assembly = assemble(c.source, options_for("sb", {{"lib.asm", " .DB 7"}}));
        if (c.bytes.empty()) {
            EXPECT_FALSE(assembly.errors.empty()) << c.topic;
            continue;
        }
        ASSERT_TRUE(assembly.errors.empty()) << c.topic << ": " << assembly.errors[0].message;
        EXPECT_EQ(bytes_at(assembly.memory, assembly.lowest(), c.bytes.size()), c.bytes) << c.topic;
        EXPECT_EQ(assembly.highest() - assembly.lowest() + 1u, c.bytes.size()) << c.topic;
    }
}

TEST(Asm02Notation, Features)
{
    const struct {
        const char* topic;
        const char* source;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"numbers", " db 12, 0ch, $0c, %0000_1100, 'A'+1, $1c, %1_100", {12, 12, 12, 12, 0x42, 28, 12}},
        {"the binary . binds tightest", "b: equ 12h\n db b+256.1, (b+256).1, high b, b.0, 2+3*4, 1<<4|1",
         {0x13, 0x01, 0x00, 0x12, 14, 17}},
        {"labels in any case", "Here: nop\n br HERE", {0xC4, 0x30, 0x00}},
        {"a label on org takes the old address", " org 10h\nx: org 20h\n dw x", {0x00, 0x10}},
        {"register names", " inc r15\n sep rf\nscall: equ r4\n sep scall", {0x1F, 0xDF, 0xD4}},
        {"#define, its comment left out", "#define PORT 4 ; the LEDs\n#if PORT == 4\n out PORT\n#endif", {0x64}},
        {"a comment after any preprocessor line",
         "#define A 1 ; one\n#ifdef A ; set\n#if A == 1 ; restore group\n db 1\n#else ; not\n db 2\n#endif ; done\n"
         "#undef A ; gone\n#ifndef A ; so\n db 3\n#endif",
         {1, 3}},
        {"a string and a number without a comma between", " db ' MHz)'13,10,0\n db \"ab\"7, 'c' 10, 'd'",
         {0x20, 0x4D, 0x48, 0x7A, 0x29, 0x0D, 0x0A, 0x00, 0x61, 0x62, 0x07, 0x63, 0x0A, 0x64}},
        {"#ifdef in a false region", "#ifdef NONE\n#ifndef NONE\n idl\n#endif\n#else\n nop\n#endif", {0xC4}},
        {"predefined push and mov", " push rf\n mov r7, 1234h", {0x9F, 0x73, 0x8F, 0x73, 0xF8, 0x12, 0xB7, 0xF8, 0x34, 0xA7}},
        {"predefined pop", " pop rf", {0x60, 0x72, 0xAF, 0xF0, 0xBF}},
        {"#if false takes #else", "#if 0\n db 1\n#else\n db 2\n#endif", {2}},
        {"#if sees the address as 0", "#if $ == 0\n db 1\n#endif", {1}},
        {"$ alone is the address", " org 1234h\n dw $", {0x12, 0x34}},
        {"#define replaces whole words only", "#define L 7\n db \"XL\", L", {0x58, 0x4C, 7}},
        {".op's Tn: the low byte of a target in the page",
         ".op \"BRNZ\",\"RW\",\"8$1 3A T2 9$1 3A T2\"\n org 10h\nloop: brnz r7, loop\n brnz r8, 0ffh",
         {0x87, 0x3A, 0x10, 0x97, 0x3A, 0x10, 0x88, 0x3A, 0xFF, 0x98, 0x3A, 0xFF}},
        {"a source's own .op first", ".op \"PUSH\",\"N\",\"8$1 73 9$1 73\"\n push r1", {0x81, 0x73, 0x91, 0x73}},
        {"mov from a register", " mov rc, rd", {0x9D, 0xBC, 0x8D, 0xAC}},
        {"the first .op form that fits", ".op \"T\",\"N\",\"A$1\"\n.op \"T\",\"B\",\"F8 L1\"\n t 20h\n t 5",
         {0xF8, 0x20, 0xA5}},
        {"a forward reference takes the .op form for any value",
         ".op \"LDV\",\"NB\",\"F8 L2 A$1\"\n.op \"LDV\",\"NW\",\"F8 H2 B$1 F8 L2 A$1\"\n ldv r1, 5\n ldv r1, there\nthere: nop",
         {0xF8, 0x05, 0xA1, 0xF8, 0x00, 0xB1, 0xF8, 0x09, 0xA1, 0xC4}},
        {"nbr and nlbr without operands", " nbr\n nlbr\n skp\n lskp", {0x38, 0xC8, 0x38, 0xC8}},
        {".align, and .align 1 that moves nowhere", " nop\n.align 1\n.align para\n nop",
         {0xC4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC4}},
        {"end goes on", " nop\n end\n nop", {0xC4, 0xC4}},
        {"db keeps the low byte", " db 255, -128, 2023, -129, 65535, -32768", {0xFF, 0x80, 0xE7, 0x7F, 0xFF, 0x00}},
        {"ver, ever and eever", " ver\n ever\n eever",
         {0x0C, 0x1F, 0x07, 0xD0, 0x8C, 0x1F, 0x07, 0xD0, 0x01, 0x02, 0xCC, 0x1F, 0x07, 0xD0, 23, 59, 58, 0x01, 0x02}},
        {".suppress writes no bytes but moves on", " nop\n.suppress\n db 1\n ds 2", {0xC4}},
        {"an equate repeated with its value", "R0: equ 0\nr0: equ 0\n db r0", {0}},
        {".1805 and the extended set",
         " .1805\nloop: scal r6,sub\n dbnz r15,loop\n rldi rf,0ffffh\n rlxa r2\n dadd\n daci 99h\n bxi loop\nsub: sret r6",
         {0x68, 0x86, 0x00, 0x16, 0x68, 0x2F, 0x00, 0x00, 0x68, 0xCF, 0xFF, 0xFF, 0x68, 0x62, 0x68, 0xF4,
          0x68, 0x7C, 0x99, 0x68, 0x3F, 0x00, 0x68, 0x96}},
        {"without .1805 the 1805's names are labels and .op names",
         "dtc: nop\n.op \"SCAL\",\"W\",\"D4 H1 L1\"\n scal dtc\nldc: equ 3\n db ldc", {0xC4, 0xD4, 0x00, 0x00, 0x03}},
    };
    AssemblyOptions options = options_for("asm02");
    options.build_stamp = {2000, 12, 31, 23, 59, 58, 258};
    for (const auto& c : cases) {
        const Assembly assembly = assemble(c.source, options);
        ASSERT_TRUE(assembly.errors.empty()) << c.topic << ": " << assembly.errors[0].message;
        EXPECT_EQ(bytes_at(assembly.memory, assembly.lowest(), c.bytes.size()), c.bytes) << c.topic;
        EXPECT_EQ(assembly.highest() - assembly.lowest() + 1u, c.bytes.size()) << c.topic;
    }
    const Assembly words = assemble(".op \"LDW\",\"W\",\"W1\"\n ldw 65535\n ldw -32768", options);
    ASSERT_TRUE(words.errors.empty());
    EXPECT_EQ(bytes_at(words.memory, 0, 4), (std::vector<uint8_t>{0xFF, 0xFF, 0x80, 0x00}));
    EXPECT_EQ(assemble(".op \"LDW\",\"W\",\"W1\"\n ldw 65536", options).errors.at(0).message,
              "value 65536 does not fit in a word");
    const Assembly epoch = assemble(" eever", options_for("asm02"));  // without a stamp, builds are reproducible
    EXPECT_EQ(bytes_at(epoch.memory, 0, 9), (std::vector<uint8_t>{0xC1, 0x01, 0x07, 0xB2, 0, 0, 0, 0, 0}));
    AssemblyOptions stamped = options;
    stamped.build_stamp = {.year = 2024, .month = 2, .day = 29, .hour = 12, .minute = 34, .second = 56, .build = 7};
    const Assembly variables =
        assemble(" dw [build]\n db [month],[day]\n dw [year]\n db [hour], [minute], [second]\n dw [BUILD]+1\n db 1+[day]+1", stamped);
    ASSERT_TRUE(variables.errors.empty()) << variables.errors[0].message;
    EXPECT_EQ(bytes_at(variables.memory, 0, 12),
              (std::vector<uint8_t>{0x00, 0x07, 0x02, 0x1D, 0x07, 0xE8, 0x0C, 0x22, 0x38, 0x00, 0x08, 0x1F}));
    EXPECT_TRUE(variables.symbols.empty());  // no labels
    EXPECT_EQ(assemble(" db [week]", stamped).errors.at(0).message, "unknown variable [week]");
    EXPECT_EQ(assemble(" db [day", stamped).errors.at(0).message, "unknown variable [day");
    const Assembly wide = assemble(" db 255, 256, -128, -129", options);
    ASSERT_EQ(wide.warnings.size(), 2u);
    EXPECT_EQ(wide.warnings[0].message, "256 does not fit in a byte; stored 00");
    EXPECT_EQ(wide.warnings[1].message, "-129 does not fit in a byte; stored 7f");
    const Assembly immediate = assemble("writvec: equ 0ff2dh\n ldi writvec\n ldi high writvec", options);
    EXPECT_EQ(bytes_at(immediate.memory, 0, 4), (std::vector<uint8_t>{0xF8, 0x2D, 0xF8, 0xFF}));
    ASSERT_EQ(immediate.warnings.size(), 1u);  // an address's low byte, as Asm/02 takes it
    EXPECT_EQ(immediate.warnings[0].message, "65325 does not fit in a byte; stored 2d");
    EXPECT_EQ(assemble(".op \"X\",\"\",\"123456789ABCDEF\"\n x", options).errors.at(0).message,
              ".op byte '123456789ABCDEF' is not two hex digits, a hex digit and $n, Hn, Ln, Tn or Wn");
    const Assembly unused = assemble(".op \"BRNZ\",\"RW\",\"8$1 3A T2 9$1 3A T2\"\n nop", options);
    EXPECT_TRUE(unused.errors.empty());  // defined, never used: nothing to check
    EXPECT_EQ(assemble(".op \"BRNZ\",\"RW\",\"8$1 3A T2 9$1 3A T2\"\n org 0fch\n brnz r8, 0fch", options)
                  .errors.at(0)
                  .message,
              "branch target 00fc is outside the page of the branch's operand byte at 0101 (0100-01ff)");
    EXPECT_EQ(assemble(".op \"X\",\"N\",\"F8 L0\"\n x 1", options).errors.at(0).message,
              ".op byte 'L0' is not two hex digits, a hex digit and $n, Hn, Ln, Tn or Wn");
    EXPECT_EQ(assemble(".op \"X\",\"N\",\"F8 A$2\"\n x 1", options).errors.at(0).message,
              ".op byte 'A$2' names an operand that X N does not have");
    const Assembly late = assemble(".op \"LDV\",\"NB\",\"F8 L2 A$1\"\n ldv r1, there\n org 1234h\nthere: nop",
                                   options_for("asm02"));
    ASSERT_EQ(late.errors.size(), 1u);
    EXPECT_EQ(late.errors[0].message, "the operands do not fit the form LDV NB, which the first pass chose for a forward reference");
    const Assembly copy = assemble(" mov r7, r0", options_for("asm02"));
    ASSERT_EQ(copy.warnings.size(), 1u);
    EXPECT_EQ(copy.warnings[0].message, "r0 is the value 0 here, not a register to copy");
    const Assembly colonless = assemble("again ldn rf\n br again", options_for("asm02"));
    ASSERT_TRUE(colonless.errors.empty());
    EXPECT_EQ(bytes_at(colonless.memory, 0, 3), (std::vector<uint8_t>{0x0F, 0x30, 0x00}));
    ASSERT_EQ(colonless.warnings.size(), 1u);
    EXPECT_EQ(colonless.warnings[0].message, "label 'again' without its colon");

    // b.asm and c include the way older sources do, in column 1 without the #,
    // after a tab or a blank: the shortest such lines, with names of one character.
    const Assembly included = assemble(
        "#include lib/a\n db 2",
        options_for("asm02", {{"lib/a", "#include b.asm\n db 1"}, {"lib/b.asm", "include\tc"}, {"lib/c", "include a"}}));
    ASSERT_EQ(included.errors.size(), 1u);
    EXPECT_EQ(included.errors[0].file, "lib/c");
    EXPECT_EQ(included.errors[0].message, "include cycle: lib/a includes itself");
    EXPECT_EQ(assemble("#define\n nop", options_for("asm02")).errors.at(0).message, "#define needs a name");
    const Assembly failed = assemble("#define X\n#ifdef X\n#error X is set\n#endif", options_for("asm02"));
    ASSERT_EQ(failed.errors.size(), 1u);
    EXPECT_EQ(failed.errors[0].line, 3);
    EXPECT_EQ(failed.errors[0].message, "#error X is set");
}

}  // namespace
}  // namespace cosmac

// The choices that make up one assembler's notation. The statement parser, the
// expression evaluator and the encoder are shared; a notation is a table of
// choices over them: comments, numbers, names, operators, directives, aliases,
// predefined pseudo-ops and the layout of its lines.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace cosmac::assembler {

// A value, or why there is none.
struct Evaluated {
    std::optional<int64_t> value;
    std::string error;
    bool wrapped = false;  // arithmetic went past the notation's width, as its own assembler lets it
};

enum class Fix { Prefix, Infix, Postfix };

// An operator of expressions. Infix operators of higher precedence bind tighter,
// those of one precedence from left to right; a prefix operator applies to what
// follows it down to its own precedence, a postfix one to all before it from its
// precedence up. Word operators (MOD, HIGH) match whole words in any case.
struct Operator {
    std::string_view spelling;  // upper case
    Fix fix;
    int precedence;
    // A prefix or postfix operator gets its operand as left; empty for a division by zero.
    std::optional<int64_t> (*apply)(int64_t left, int64_t right);
    bool parenthesized = false;  // LOW(e): only with the operand in parentheses
};

// The precedences at the two ends: a prefix operator at kWholeOperand applies to
// the rest of its operand and a postfix one to all before it; a prefix operator at
// kOneTerm takes only the term after it.
constexpr int kWholeOperand = std::numeric_limits<int>::min();
constexpr int kOneTerm = std::numeric_limits<int>::max();
// A notation without precedences puts every infix operator here and applies them
// from left to right.
constexpr int kLeftToRight = 1;

// What a directive or pseudo-instruction does; the notation names them.
enum class Directive {
    None,     // an instruction of the processor
    Org,      // the location counter
    Equ,      // a constant
    Set,      // a variable, which may be set again
    Bytes,    // DB, BYTE: values and strings
    Words,    // DW, WORD: 16-bit values, high byte first
    Text,     // TEXT: strings, as written
    Reserve,  // BLK, DS: skips bytes without writing them
    Fill,     // FILL value, count
    Page,     // to the next 256-byte page
    End,      // ends the file it stands in
    If,       // IF, ELSE, ENDI: conditional assembly
    Else,
    EndIf,
    Include,  // INCL "file"
    Cpu,      // CPU 1805 (A18), .cpu 1805 (cosmac): the instruction set from here on; 1802 to go back
    Cpu1805,  // Asm/02's .1805: the 1805's instructions from here on
    CpuFamily,  // SB's .CR 1802: the family its assembler targets, which can only be the 1802's
    Align,    // .align: the location counter up to a multiple
    UserOp,   // .op "NAME","ARGS","BYTES": an instruction of the source's own
    Ignored,  // listing and output controls
    Load,     // LOAD r, v: the value into the register through D
    Call,     // CALL a: the standard call, D4 and the address
    Return,   // RETN: the standard return, D5
    DataList, // RCA's DC, and a statement that is only a data list
    Text7,    // SB's .AS, .AT, .AZ: delimited text, #bytes, - for bit 7
    HexString,  // SB's .HS: hex digit pairs
    Addresses,  // SB's .DA: words, or single bytes where a selector says so
    Reversed,   // SB's .DR: words, low byte first
    Longs,      // SB's .DL: 32-bit values, high byte first
    Block,      // SB's .BS n[,fill]: skips n bytes, or fills them
    NewOrigin,  // SB's .NO addr[,fill]: skips or fills up to an address ahead
    UserError,  // SB's .ER
    Suppress,   // Asm/02's .suppress: later bytes take their addresses but are not written
    Version,    // Asm/02's VER, EVER, EEVER: the build's date (and time and number)
};

struct DirectiveName {
    std::string_view name;  // upper case
    Directive directive;
};

// The published aliases of other 1802 assemblers: IDL, BPZ, NBR with an operand...
struct Alias {
    std::string_view name;
    uint8_t opcode;
    uint8_t operand_bytes;  // 0, 1 (a short branch) or 2 (an address)
};

// A construct the notation's own assembler takes and cosmac-asm does not, and why.
struct Unsupported {
    std::string_view word;  // upper case; directives as the notation folds them
    std::string_view why;
};

struct Notation {
    std::string_view name;
    std::string_view comment;  // starts a comment outside quotes
    // The value of a word that is a number in this notation, or an error for a
    // malformed one; empty for a word that is no number, such as a name.
    std::optional<Evaluated> (*number)(std::string_view word);
    std::string_view number_prefixes;  // characters that start a number word besides digits ($ % @)
    bool (*is_name_char)(char c);      // after the first character of a name or number word
    std::span<const Operator> operators{};
    // Arithmetic keeps this many bits: a result beyond them in either direction
    // wraps, as the notation's own assembler ignores overflow. Numbers as written
    // may have up to 32 bits, so that one too large for its place is an error.
    int value_bits = 16;
    std::string_view location_counters;  // $ or *, where no number follows
    bool strings_are_values = false;           // "AB" in an expression: 4142H
    // R0-RF as registers where the source defines no symbol of that name.
    std::optional<int64_t> (*register_name)(std::string_view word);
    bool column_one_labels = false;            // a label starts in column 1, its colon optional
    bool registers_are_expressions = false;    // register and port operands: any expression
    bool low_byte_branch_literals = false;     // a short branch to a literal of two hex digits means that low byte
    bool symbols_ignore_case = false;          // labels and symbols match in any case
    bool org_label_before = false;             // a label on an ORG line takes the address before it
    bool c_preprocessor = false;               // #include, #define, #if and the like
    std::span<const DirectiveName> directives{};
    std::span<const Alias> aliases{};    // looked up before the opcode table
    std::span<const std::string_view> predefined_ops{};  // the operands of .op lines the notation has built in
    // RCA's free form: statements separated by ;, blanks between tokens optional,
    // NAME=value equates, instructions followed by ",data list", X'..' D'..'
    // B'..' T'..' constants, immediates and registers taking their low bits.
    bool rca_free_form = false;
    bool immediates_take_low_byte = false;  // an immediate is the low byte of any value (RCA, SB)
    // SB-Assembler's layout: comment lines start with ; * # or @, the operand is
    // one word that ends at the first blank and the rest of the line is comment,
    // .NAME labels are local to the last global label, directives count by their
    // first three characters, 'A and "A are characters ("A with bit 7 set).
    bool sb_layout = false;
    bool end_only_in_source = false;  // END inside an included file is an error (A18)
    bool labels_want_colons = false;  // a label without its colon is taken with a warning (Asm/02)
    bool bytes_keep_low_byte = false;  // DB 2023 and LDI 2023 store e7, with a warning (Asm/02)
    bool strings_run_into_numbers = false;  // DB ' MHz'13 is the string, then 13 (Asm/02)
    // [month] [day] [year] [hour] [minute] [second] [build] in expressions: the
    // build stamp that VER, EVER and EEVER write (Asm/02).
    bool stamp_variables = false;
    std::span<const Unsupported> unsupported{};  // named in the error for such a word
    // What a source does to have the 1804/1805/1806's instructions, as the error
    // for one written without it says.
    std::string_view extended_switch = "assemble with --cpu 1805";
};

// The value of an RCA constant written KIND'body' (X hex, D decimal, B binary,
// T text), or empty when the kind is none of them.
std::optional<Evaluated> quoted_constant(char kind, std::string_view body);

Directive directive_named(const Notation& notation, std::string_view name);

// Whether a statement of the directive (or an instruction, None) makes bytes.
bool makes_bytes(Directive directive);

// A value as the notation writes numbers without a prefix: decimal where plain
// digits are decimal, hexadecimal where they are hex.
std::string value_text(const Notation& notation, int64_t value);

// What the notice says where arithmetic went past the notation's width.
std::string wrapped_notice(const Notation& notation);

// For a word this notation does not know: where it is a number, or a directive
// or instruction, in the other notations, as "; `0FFH` is a number in --syntax
// a18/asm02"; empty where it is none.
std::string number_hint(const Notation& notation, std::string_view word);
std::string operation_hint(const Notation& notation, std::string_view word);
// For an unknown word in column 1, in a notation where column 1 holds no label:
// the notations where it would be one.
std::string column_one_hint(const Notation& notation);

// The monitor's own notation: numbers are hexadecimal as everywhere in the
// monitor (12ab, 0x12ab), decimal ones end with a dot (65.), comments start with ;.
extern const Notation kCosmacNotation;

// The A18 cross-assembler's: Intel numbers (0FFH, 255, 377Q, 1010B), $FF, %1010,
// @377; column-1 labels; case-sensitive symbols; operators with precedence.
extern const Notation kA18Notation;

// RCA's COSMAC Level I: statements separated by ;, .. comments, #1F and X'1F'
// hex, D'17', B'0101', T'AB', * the location counter, A(), A.1() and A.0().
extern const Notation kRcaNotation;

// SB-Assembler 3's (.CR 1802): column-1 labels, one operand word, expressions
// strictly left to right, byte selectors # / = \, $1F %1010 @17, .NAME local labels.
extern const Notation kSbNotation;

// Asm/02's, of the Elf/OS community: decimal numbers, 0FFH, $FF, %1010; a C-like
// preprocessor; .op instructions; labels with colons in any case.
extern const Notation kAsm02Notation;

// Every notation, the monitor's own first.
std::span<const Notation* const> notations();

// The notation of that name, or null.
const Notation* notation_named(std::string_view name);

}  // namespace cosmac::assembler

// Turns source lines into statements, with the reader for the notation's layout:
// labels before a colon, labels in column 1, RCA's free form with several
// statements a line, or SB-Assembler's one-word operand and comment blocks.
#pragma once

#include <string_view>
#include <vector>

#include "asm/notation.hpp"
#include "asm/statement.hpp"

namespace cosmac::assembler {

// One line of the plain or column-1 layouts, which preprocessed lines use too.
Statement parse_statement(std::string_view source, int line, const Notation& notation);

class LineReader {
public:
    explicit LineReader(const Notation& notation) : notation_(notation) {}

    // The statements of one line of the file, appended: always one, but for the
    // further statements of an RCA line.
    void read(std::string_view line, int line_number, int file, std::vector<Statement>& out);

private:
    void read_rca(std::string_view line, int line_number, int file, std::vector<Statement>& out) const;
    void read_sb(std::string_view line, int line_number, int file, std::vector<Statement>& out);

    const Notation& notation_;
    bool in_comment_block_ = false;  // SB: between .CO and .EC
};

}  // namespace cosmac::assembler

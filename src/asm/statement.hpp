// One statement of a source, as the line readers make it and the two passes
// fill it in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "asm/notation.hpp"

namespace cosmac::assembler {

// "[label:] operation operands", or "name EQU value".
struct Statement {
    int file = 0;  // index into the assembler's file names; 0 is the source itself
    int line{};
    std::string_view source;
    std::string_view label;
    std::string_view operation;  // mnemonic or directive, as written
    std::string_view operands;
    std::string_view data_list;  // RCA: the bytes after ", " that follow an instruction
    std::string scope;           // SB: the global label that .NAME labels here belong to
    Directive directive = Directive::None;
    uint16_t address = 0;
    unsigned size = 0;
    uint32_t count = 0;                  // FILL's count, taken in the first pass
    std::optional<std::string> user_op;  // the .op form the first pass chose, by its operand letters
    bool is_code = false;                // an instruction or data directive, which the second pass encodes
    bool active = true;                  // not in a false IF branch nor after END
    bool skipped = false;                // a preprocessor line, or one in a false #if region
    bool colon_missing = false;          // a column-1 label written without its colon
    bool suppressed = false;             // after Asm/02's .suppress: its bytes take addresses but are not written
    bool extended_set = false;           // after the source's switch to the 1805's instructions, or with --cpu 1805
    bool continues_line = false;         // RCA: after the first statement of its line, which shows the line's text
};

}  // namespace cosmac::assembler

// The conditions of debugger mode's breakpoints: comparisons of registers,
// flags, memory bytes and numbers, joined by and and or ("R7 = 0 and M(R2) >
// 0d or DF = 1"), and and binding tighter than or.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cpu/machine_state.hpp"
#include "debug/symbols.hpp"

namespace cosmac {

// A value a condition compares: a number, a 16-bit register, an 8-bit register
// or flag, a field of the 1805's counter, or the memory byte at a number or a
// register.
struct ConditionOperand {
    enum class Kind : uint8_t { Number, Register, Field, Counter, Memory };
    Kind kind;
    Kind address_kind = Kind::Number;  // Memory's: at a Number or a Register
    uint32_t value = 0;                // the number, or the register's index
    const StateField* field = nullptr;
    const CounterField* counter = nullptr;
};

enum class Comparison : uint8_t { Equal, NotEqual, Less, Greater, LessOrEqual, GreaterOrEqual };

struct ConditionTerm {
    ConditionOperand left;
    Comparison comparison;
    ConditionOperand right;
};

struct BreakCondition {
    std::vector<std::vector<ConditionTerm>> any_of;  // or over groups that hold when all their terms do
    std::string text;                                 // as typed, its blanks evened out
};

struct ConditionReading {
    std::optional<BreakCondition> condition;
    std::string error;
};

// extended: the 1805's, where the counter's fields (CNTR, CH, CIL, CIE, XIE,
// ETQ) are values too; on the 1802 those names are the program's symbols'.
ConditionReading parse_condition(std::string_view text, const SymbolTable& symbols, bool extended);

// One value as a condition reads it (R7, DF, M(R2), M(stack+1), countdown+3);
// empty, with the error that says why, for a word that is none.
std::optional<ConditionOperand> read_operand(std::string_view word, const SymbolTable& symbols, bool extended,
                                             std::string& error);
// The operand's value in the machine as it stands.
uint32_t value_of(const ConditionOperand& operand, const MachineState& state, const Memory& memory);
// The address of a Memory operand's byte.
uint16_t memory_address(const ConditionOperand& operand, const MachineState& state);

bool holds(const BreakCondition& condition, const MachineState& state, const Memory& memory);

}  // namespace cosmac

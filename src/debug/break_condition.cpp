#include "debug/break_condition.hpp"

#include <algorithm>

#include "debug/values.hpp"
#include "text/text.hpp"

namespace cosmac {
namespace {

constexpr std::string_view kComparisons[] = {"=", "<>", "<", ">", "<=", ">="};  // in Comparison's order

bool is_operator_char(char c) { return c == '=' || c == '<' || c == '>' || c == '!'; }

// The words of a condition: operands, comparison signs, and and or; M(...) is
// one word.
std::vector<std::string_view> condition_words(std::string_view text)
{
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '\t') {
            ++i;
            continue;
        }
        std::size_t end = i + 1;
        if (is_operator_char(text[i])) {
            while (end < text.size() && is_operator_char(text[end]))
                ++end;
        } else if ((text[i] == 'M' || text[i] == 'm') && end < text.size() && text[end] == '(') {
            end = std::min(text.find(')', end), text.size() - 1) + 1;
        } else {
            while (end < text.size() && text[end] != ' ' && text[end] != '\t' && !is_operator_char(text[end]))
                ++end;
        }
        words.push_back(text.substr(i, end - i));
        i = end;
    }
    return words;
}

bool compare(uint32_t left, Comparison comparison, uint32_t right)
{
    switch (comparison) {
    case Comparison::Equal:
        return left == right;
    case Comparison::NotEqual:
        return left != right;
    case Comparison::Less:
        return left < right;
    case Comparison::Greater:
        return left > right;
    case Comparison::LessOrEqual:
        return left <= right;
    case Comparison::GreaterOrEqual:
        break;
    }
    return left >= right;
}

std::optional<unsigned> register_index(std::string_view word)
{
    if (word.size() == 2 && (word[0] == 'R' || word[0] == 'r') && hex_digit_value(word[1]) >= 0)
        return static_cast<unsigned>(hex_digit_value(word[1]));
    return std::nullopt;
}

}  // namespace

std::optional<ConditionOperand> read_operand(std::string_view word, const SymbolTable& symbols, bool extended,
                                             std::string& error)
{
    using Kind = ConditionOperand::Kind;
    if (const auto r = register_index(word))
        return ConditionOperand{Kind::Register, Kind::Number, *r};
    if (const StateField* field = state_field(upper(word)))
        return ConditionOperand{Kind::Field, Kind::Number, 0, field};
    if (const CounterField* counter = extended ? counter_field(upper(word)) : nullptr)
        return ConditionOperand{.kind = Kind::Counter, .counter = counter};
    if (word.size() > 3 && (word[0] == 'M' || word[0] == 'm') && word[1] == '(' && word.back() == ')') {
        const std::string_view inside = trim(word.substr(2, word.size() - 3));
        if (const auto r = register_index(inside))
            return ConditionOperand{Kind::Memory, Kind::Register, *r};
        const Reading reading = read_value(inside, symbols, kAddressField);
        if (!reading.value) {
            error = reading.error;
            return std::nullopt;
        }
        return ConditionOperand{Kind::Memory, Kind::Number, *reading.value};
    }
    const Reading reading = read_value(word, symbols, kAddressField);
    if (!reading.value) {
        error = reading.error;
        return std::nullopt;
    }
    return ConditionOperand{Kind::Number, Kind::Number, *reading.value};
}

uint16_t memory_address(const ConditionOperand& operand, const MachineState& state)
{
    return operand.address_kind == ConditionOperand::Kind::Register ? state.R[operand.value]
                                                                    : static_cast<uint16_t>(operand.value);
}

uint32_t value_of(const ConditionOperand& operand, const MachineState& state, const Memory& memory)
{
    using Kind = ConditionOperand::Kind;
    switch (operand.kind) {
    case Kind::Register:
        return state.R[operand.value];
    case Kind::Field:
        return state.*operand.field->member;
    case Kind::Counter:
        return state.counter.*operand.counter->member;
    case Kind::Memory:
        return memory[memory_address(operand, state)];
    case Kind::Number:
        break;
    }
    return operand.value;
}

ConditionReading parse_condition(std::string_view text, const SymbolTable& symbols, bool extended)
{
    const std::vector<std::string_view> words = condition_words(text);
    BreakCondition condition;
    condition.any_of.emplace_back();
    std::string error;
    std::size_t i = 0;
    for (;;) {
        if (i + 3 > words.size())
            return {std::nullopt, "A condition compares two values: R7 = 0, D > 40, M(R2) <> 0d"};
        const auto left = read_operand(words[i], symbols, extended, error);
        std::string_view sign = words[i + 1] == "==" ? "=" : words[i + 1] == "!=" ? "<>" : words[i + 1];
        const auto* known = std::find(std::begin(kComparisons), std::end(kComparisons), sign);
        if (left && known == std::end(kComparisons))
            error = "Not a comparison: " + std::string(words[i + 1]) + " (=, <>, <, >, <= or >=)";
        const bool compares = left && known != std::end(kComparisons);
        const auto right = compares ? read_operand(words[i + 2], symbols, extended, error) : std::nullopt;
        if (!right)
            return {std::nullopt, error};
        condition.any_of.back().push_back({*left, static_cast<Comparison>(known - std::begin(kComparisons)), *right});
        condition.text.append(words[i]).append(" ").append(sign).append(" ").append(words[i + 2]);
        i += 3;
        if (i == words.size())
            return {std::move(condition), {}};
        const std::string joint = upper(words[i]);
        if (joint != "AND" && joint != "OR")
            return {std::nullopt, "Not and or or: " + std::string(words[i])};
        if (joint == "OR")
            condition.any_of.emplace_back();
        condition.text.append(joint == "OR" ? " or " : " and ");
        ++i;
    }
}

bool holds(const BreakCondition& condition, const MachineState& state, const Memory& memory)
{
    for (const auto& group : condition.any_of) {
        bool all = true;
        for (const ConditionTerm& term : group)
            all = all && compare(value_of(term.left, state, memory), term.comparison, value_of(term.right, state, memory));
        if (all)
            return true;
    }
    return false;
}

}  // namespace cosmac

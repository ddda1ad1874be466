// What the client shows of a stopped machine: the call stack, the registers,
// memory near R(X) and the stack, values of expressions, memory as bytes and
// as instructions. Each can be changed where the protocol allows it.
#include <filesystem>

#include "cpu/disassembler.hpp"
#include "dap/adapter.hpp"
#include "debug/call_stack.hpp"
#include "debug/values.hpp"
#include "text/base64.hpp"
#include "text/text.hpp"

namespace cosmac::dap {
namespace {

constexpr int kMemoryRows = 16;  // bytes shown near R(X), and above R2
constexpr uint32_t kLargestInstructionCount = 4096;

std::string hex4(uint16_t value) { return hex_text(value, 4); }
std::string reference(uint16_t address) { return "0x" + hex4(address); }

// A value as the debugger shows what it holds: a register or an address in
// four hex digits, a byte in two, a flag or a nibble in one.
std::string shown(const ConditionOperand& operand, uint32_t value)
{
    switch (operand.kind) {
    case ConditionOperand::Kind::Field:
        return hex_text(value, operand.field->digits());
    case ConditionOperand::Kind::Counter:
        return hex_text(value, operand.counter->digits());
    case ConditionOperand::Kind::Memory:
        return hex_text(value, 2);
    default:
        return hex4(static_cast<uint16_t>(value));
    }
}

// The first address of a memory scope: near R(X) it starts a little below, so
// that what was just read or pushed shows; the R2 stack grows down, so what it
// holds lies above R2.
uint16_t scope_start(int scope, const MachineState& state)
{
    return scope == kNearXScope ? static_cast<uint16_t>(state.R[state.X] - 8) : state.R[2];
}

// The 1805's counter, after the registers: its fields, which can be set as x
// sets them, then what it counts, which only the program's instructions set.
void add_counter_variables(const CounterTimer& counter, Json& variables)
{
    for (const CounterField& field : kCounterFields) {
        variables.push_back({{"name", std::string(field.name)},
                             {"value", hex_text(counter.*field.member, field.digits())},
                             {"variablesReference", 0}});
    }
    variables.push_back({{"name", "counter"},
                         {"value", std::string(counter_mode_name(counter.mode))},
                         {"variablesReference", 0},
                         {"presentationHint", {{"attributes", {"readOnly"}}}}});
}

}  // namespace

void Adapter::describe_place(uint16_t address, Json& place) const
{
    if (const auto line = lines_.at(address)) {
        const std::string path = absolute_path(lines_.file(line->file));
        place["source"] = {{"name", std::filesystem::path(path).filename().string()}, {"path", path}};
        place["line"] = line->line;
        place["column"] = 1;
    }
}

// As conditions read a value: a register, a flag, a memory byte, or an
// address with its symbols.
Adapter::Value Adapter::value_of(std::string_view expression, const MachineState& state) const
{
    std::string error;
    const std::optional<ConditionOperand> operand =
        read_operand(trim(expression), symbols_, debugger_->extended(), error);
    if (!operand)
        return {{}, {}, error};
    Value value{shown(*operand, cosmac::value_of(*operand, state, *memory_))};
    if (operand->kind == ConditionOperand::Kind::Memory)
        value.address = memory_address(*operand, state);
    else if (operand->kind == ConditionOperand::Kind::Number)
        value.address = static_cast<uint16_t>(operand->value);
    return value;
}

// A log point's message with each {expression} replaced by its value.
std::string Adapter::with_values(std::string_view message, const MachineState& state) const
{
    std::string text;
    for (std::size_t at = 0; at < message.size();) {
        const std::size_t open = message.find('{', at);
        const std::size_t close = open == std::string_view::npos ? open : message.find('}', open);
        if (close == std::string_view::npos) {
            text += message.substr(at);
            break;
        }
        text += message.substr(at, open - at);
        const Value value = value_of(message.substr(open + 1, close - open - 1), state);
        text += value.error.empty() ? value.text : "<" + value.error + ">";
        at = close + 1;
    }
    return text;
}

std::optional<uint16_t> Adapter::address_of(const Json& arguments, std::string& problem) const
{
    const auto base = plain_number(arguments.at("memoryReference").get<std::string>());
    const int64_t offset = arguments.value("offset", int64_t{0});
    if (!base || *base + offset < 0 || *base + offset > 0xFFFF) {
        problem = "A memory reference is an address from 0 to ffff in hex, as 0x1234 or 1234";
        return std::nullopt;
    }
    return static_cast<uint16_t>(*base + offset);
}

void Adapter::threads(const Json&, Json& body)
{
    body["threads"] = Json::array({{{"id", kThread}, {"name", "1802"}}});
}

// The frame running now, then one for each return of the standard call
// technique still to come, at the Call's line.
void Adapter::stack_trace(const Json& arguments, Json& body)
{
    std::vector<uint16_t> addresses = {state_.R[state_.P]};
    for (const uint16_t back : standard_call_returns(state_, *memory_, {}, debugger_->extended()))
        addresses.push_back(back);
    const auto first = std::min<std::size_t>(arguments.value("startFrame", 0u), addresses.size());
    const std::size_t levels = arguments.value("levels", 0u);
    body["stackFrames"] = Json::array();
    for (std::size_t n = first; n < addresses.size() && (levels == 0 || n < first + levels); ++n) {
        const uint16_t address = addresses[n];
        const uint16_t place = n == 0 ? address : call_site(*memory_, address, debugger_->extended());
        Json frame = {{"id", n},
                      {"name", hex4(place) + symbols_.describe(place)},
                      {"line", 0},
                      {"column", 0},
                      {"instructionPointerReference", reference(address)}};
        describe_place(place, frame);
        body["stackFrames"].push_back(frame);
    }
    body["totalFrames"] = addresses.size();
}

void Adapter::scopes(const Json&, Json& body)
{
    body["scopes"] = Json::array({{{"name", "Registers"}, {"variablesReference", kRegistersScope}, {"expensive", false}},
                                  {{"name", "Memory near R(X)"},
                                   {"variablesReference", kNearXScope},
                                   {"expensive", false},
                                   {"presentationHint", "registers"}},
                                  {{"name", "Stack above R2"},
                                   {"variablesReference", kStackScope},
                                   {"expensive", false},
                                   {"presentationHint", "registers"}}});
}

void Adapter::variables(const Json& arguments, Json& body)
{
    body["variables"] = Json::array();
    const int scope = arguments.value("variablesReference", 0);
    if (scope == kRegistersScope) {
        for (unsigned n = 0; n < 16; ++n) {
            body["variables"].push_back({{"name", formatted("R%X", n)},
                                         {"value", hex4(state_.R[n])},
                                         {"variablesReference", 0},
                                         {"memoryReference", reference(state_.R[n])}});
        }
        for (const StateField& field : kStateFields) {
            body["variables"].push_back({{"name", std::string(field.name)},
                                         {"value", hex_text(state_.*field.member, field.digits())},
                                         {"variablesReference", 0}});
        }
        if (debugger_->extended())
            add_counter_variables(state_.counter, body["variables"]);
    } else if (scope == kNearXScope || scope == kStackScope) {
        const uint16_t start = scope_start(scope, state_);
        for (int n = 0; n < kMemoryRows; ++n) {
            const auto address = static_cast<uint16_t>(start + n);
            body["variables"].push_back({{"name", "M(" + hex4(address) + ")"},
                                         {"value", hex_text((*memory_)[address], 2)},
                                         {"variablesReference", 0},
                                         {"memoryReference", reference(address)}});
        }
    }
}

// A register, a field (the 1805's counter's too) or a memory byte of the
// scopes, with a value in hex as the debugger reads one; a value too large for
// it is refused.
void Adapter::set_variable(const Json& arguments, Json& body)
{
    using Kind = ConditionOperand::Kind;
    const bool registers = arguments.value("variablesReference", 0) == kRegistersScope;
    const std::string name = arguments.at("name").get<std::string>();
    std::string error;
    const std::optional<ConditionOperand> variable = read_operand(name, symbols_, debugger_->extended(), error);
    const Kind kind = variable ? variable->kind : Kind::Number;
    if (registers ? kind != Kind::Register && kind != Kind::Field && kind != Kind::Counter
                  : kind != Kind::Memory || variable->address_kind != Kind::Number) {
        body["error"] = "No variable " + name + " here to set";
        return;
    }
    const Field wanted = kind == Kind::Register  ? kAddressField
                         : kind == Kind::Field   ? Field{variable->field->name, variable->field->largest}
                         : kind == Kind::Counter ? Field{variable->counter->name, variable->counter->largest}
                                                 : kByteField;
    const Reading reading = read_value(arguments.at("value").get<std::string>(), symbols_, wanted);
    if (!reading.value) {
        body["error"] = reading.error;
        return;
    }
    if (kind == Kind::Register)
        state_.R[variable->value] = static_cast<uint16_t>(*reading.value);
    else if (kind == Kind::Field)
        state_.*variable->field->member = static_cast<uint8_t>(*reading.value);
    else if (kind == Kind::Counter)
        state_.counter.*variable->counter->member = static_cast<uint8_t>(*reading.value);
    else
        (*memory_)[memory_address(*variable, state_)] = static_cast<uint8_t>(*reading.value);
    body["value"] = shown(*variable, cosmac::value_of(*variable, state_, *memory_));
    then_ = [this] { event("invalidated", {{"areas", Json::array({"variables"})}}); };
}

// In the debug console, text after > is input for the program waiting for it:
// keys for a key read, a byte in hex for an INP. A program that was running
// goes on with it.
void Adapter::evaluate(const Json& arguments, Json& body)
{
    if (const std::optional<std::string> typed = typed_input(arguments)) {
        const std::string& text = *typed;
        const uint16_t pc = state_.R[state_.P];
        const uint8_t opcode = (*memory_)[pc];
        if (!board_ && opcode > 0x68 && opcode <= 0x6F) {
            const Reading reading = read_value(trim(text), symbols_, kByteField);
            if (!reading.value) {
                body["error"] = reading.error;
                return;
            }
            io_.answer_port(static_cast<uint8_t>(*reading.value));
            body["result"] = formatted("INP %u reads %s", opcode & 7u, hex_text(*reading.value, 2).c_str());
        } else if (board_ && !board_->serial) {
            body["error"] = "This board has no serial line to type to";
            return;
        } else {
            if (board_) {
                for (const char key : text)
                    board_->serial->queue_key(static_cast<uint8_t>(key));
                board_->serial->queue_key(0x0D);
            } else {
                io_.type_keys(text);
            }
            body["result"] = formatted("%zu keys typed, then Enter", text.size());
        }
        body["variablesReference"] = 0;
        if (continuing_ && !running_)
            then_ = [this] { run({RunGoal::Go}); };
        return;
    }
    const Value value = value_of(arguments.value("expression", ""), state_);
    if (!value.error.empty()) {
        body["error"] = value.error;
        return;
    }
    body["result"] = value.text;
    body["variablesReference"] = 0;
    if (value.address)
        body["memoryReference"] = reference(*value.address);
}

// Bytes from the address on, up to ffff: the rest of the count is unreadable.
void Adapter::read_memory(const Json& arguments, Json& body)
{
    std::string problem;
    const std::optional<uint16_t> address = address_of(arguments, problem);
    const int64_t count = arguments.at("count").get<int64_t>();
    if (!address || count < 0) {
        body["error"] = address ? "A count is 0 or more" : problem;
        return;
    }
    const auto readable = static_cast<uint32_t>(std::min<int64_t>(count, kMemorySize - *address));
    const std::vector<uint8_t> bytes(memory_->begin() + *address, memory_->begin() + *address + readable);
    body["address"] = reference(*address);
    body["data"] = base64_encode(bytes);
    if (count > readable)
        body["unreadableBytes"] = count - readable;
}

// Writes as the monitor's memory commands do: anywhere, the protected window
// included. Bytes past ffff are written only when the client allows a part.
void Adapter::write_memory(const Json& arguments, Json& body)
{
    std::string problem;
    const std::optional<uint16_t> address = address_of(arguments, problem);
    const auto data = base64_decode(arguments.at("data").get<std::string>());
    if (!address || !data) {
        body["error"] = address ? "The data is not base64" : problem;
        return;
    }
    const std::size_t room = kMemorySize - *address;
    if (data->size() > room && !arguments.value("allowPartial", false)) {
        body["error"] = formatted("%zu bytes from %s run past ffff", data->size(), hex4(*address).c_str());
        return;
    }
    const std::size_t written = std::min(room, data->size());
    std::copy_n(data->begin(), written, memory_->begin() + *address);
    body["bytesWritten"] = written;
    then_ = [this] { event("invalidated", {{"areas", Json::array({"variables"})}}); };
}

// Instructions from the address, or before it for a negative offset: the bytes
// before an address decode in more than one way, so the decoding that lands
// on it, from as far back as the count needs, is taken.
void Adapter::disassemble(const Json& arguments, Json& body)
{
    std::string problem;
    const std::optional<uint16_t> base = address_of(arguments, problem);
    const int64_t offset = arguments.value("instructionOffset", int64_t{0});
    const int64_t count = arguments.at("instructionCount").get<int64_t>();
    if (!base || count < 0 || count > kLargestInstructionCount || offset < -int64_t{kLargestInstructionCount} ||
        offset > int64_t{kLargestInstructionCount}) {
        body["error"] = base ? formatted("Instructions are counted from 0 to %u", kLargestInstructionCount) : problem;
        return;
    }
    uint16_t at = *base;
    if (offset < 0) {
        const auto back = static_cast<uint32_t>(-offset);
        at = static_cast<uint16_t>(*base - back);  // where no decoding lands, a byte an instruction
        for (uint32_t distance = 3 * back; distance >= back; --distance) {
            const auto start = static_cast<uint16_t>(*base - distance);
            std::vector<uint16_t> starts;
            for (uint16_t decoded = start; static_cast<uint16_t>(decoded - start) < distance;)
                decoded = static_cast<uint16_t>(decoded + cosmac::disassemble(*memory_, starts.emplace_back(decoded), debugger_->extended()).length);
            const Disassembly last = cosmac::disassemble(*memory_, starts.back(), debugger_->extended());
            if (static_cast<uint16_t>(starts.back() + last.length) == *base && starts.size() >= back) {
                at = starts[starts.size() - back];
                break;
            }
        }
    } else {
        for (int64_t n = 0; n < offset; ++n)
            at = static_cast<uint16_t>(at + cosmac::disassemble(*memory_, at, debugger_->extended()).length);
    }
    body["instructions"] = Json::array();
    for (int64_t n = 0; n < count; ++n) {
        const Disassembly d = cosmac::disassemble(*memory_, at, debugger_->extended());
        std::string bytes;
        for (uint8_t k = 0; k < d.length; ++k)
            bytes += (k ? " " : "") + hex_text((*memory_)[static_cast<uint16_t>(at + k)], 2);
        Json instruction = {{"address", reference(at)},
                            {"instructionBytes", bytes},
                            {"instruction", d.line.substr(5, d.line.size() - 6)}};
        if (const std::string_view label = symbols_.name_at(at); !label.empty())
            instruction["symbol"] = std::string(label);
        Json place;
        describe_place(at, place);
        if (place.contains("source")) {
            instruction["location"] = place["source"];
            instruction["line"] = place["line"];
        }
        body["instructions"].push_back(instruction);
        at = static_cast<uint16_t>(at + d.length);
    }
}

}  // namespace cosmac::dap

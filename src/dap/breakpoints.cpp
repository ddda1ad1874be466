// The adapter's breakpoints: by source line, by instruction, by label, and on
// stores into memory. Each kind's request replaces that kind's breakpoints; an
// address holds one breakpoint, the one set last.
#include <stdexcept>

#include "dap/adapter.hpp"
#include "debug/values.hpp"
#include "text/text.hpp"

namespace cosmac::dap {
namespace {

constexpr const char* kInstructions = "instructions";
constexpr const char* kFunctions = "functions";
constexpr const char* kData = "data";

std::string text_or_empty(const Json& wanted, const char* name)
{
    return wanted.contains(name) && wanted[name].is_string() ? wanted[name].get<std::string>() : std::string{};
}

Json verified_at(uint16_t address) { return {{"verified", true}, {"instructionReference", "0x" + hex_text(address, 4)}}; }

Json refused(const std::string& problem) { return {{"verified", false}, {"message", problem}}; }

// A data breakpoint's id: the first address and the length, "00ff/1".
std::optional<std::pair<uint16_t, uint32_t>> data_range(const Json& id)
{
    if (!id.is_string())
        return std::nullopt;
    const std::string text = id.get<std::string>();
    const std::size_t slash = text.find('/');
    const auto first = plain_number(text.substr(0, slash));
    const uint32_t length = slash == std::string::npos ? 0 : plain_number(text.substr(slash + 1)).value_or(0);
    if (!first || *first > 0xFFFF || length < 1 || length > 0x10000)
        return std::nullopt;
    return std::pair{static_cast<uint16_t>(*first), length};
}

}  // namespace

bool Adapter::breakpoint_for(uint16_t address, const Json& wanted, Breakpoint& breakpoint, std::string& problem) const
{
    breakpoint = Breakpoint{.address = address};
    if (const std::string condition = text_or_empty(wanted, "condition"); !condition.empty()) {
        const ConditionReading reading = parse_condition(condition, symbols_, debugger_->extended());
        breakpoint.condition = reading.condition;
        problem = reading.error;
    }
    if (const std::string hits = text_or_empty(wanted, "hitCondition"); problem.empty() && !hits.empty()) {
        const Reading reading = read_value(hits, symbols_, kCountField);
        problem = reading.value == 0u ? "The hit count must be at least 1" : reading.error;
        breakpoint.after = reading.value.value_or(1);
    }
    breakpoint.log = text_or_empty(wanted, "logMessage");
    return problem.empty();
}

void Adapter::replace_breakpoints(const std::string& kind, const std::vector<Breakpoint>& breakpoints)
{
    for (auto owned = breakpoint_kind_.begin(); owned != breakpoint_kind_.end();) {
        if (owned->second == kind) {
            debugger_->clear_breakpoint(owned->first);
            owned = breakpoint_kind_.erase(owned);
        } else {
            ++owned;
        }
    }
    for (const Breakpoint& breakpoint : breakpoints) {
        debugger_->set_breakpoint(breakpoint);
        breakpoint_kind_[breakpoint.address] = kind;
    }
}

void Adapter::set_breakpoints_again()
{
    breakpoint_kind_.clear();
    const std::map<std::string, Json> requested = requested_;
    for (const auto& [kind, arguments] : requested) {
        Json ignored;
        if (kind == kInstructions)
            set_instruction_breakpoints(arguments, ignored);
        else if (kind == kFunctions)
            set_function_breakpoints(arguments, ignored);
        else if (kind == kData)
            set_data_breakpoints(arguments, ignored);
        else
            set_breakpoints(arguments, ignored);
    }
}

// A line without code moves to the next line that has some, as the response says.
void Adapter::set_breakpoints(const Json& arguments, Json& body)
{
    const std::string path = absolute_path(arguments.at("source").at("path").get<std::string>());
    std::vector<Breakpoint> set;
    body["breakpoints"] = Json::array();
    for (const Json& wanted : arguments.value("breakpoints", Json::array())) {
        const Json& typed_line = wanted.at("line");
        if (!typed_line.is_number_integer() || typed_line.get<int64_t>() < 1 || typed_line.get<int64_t>() > 0xFFFFFFF)
            throw std::invalid_argument("a breakpoint's line is a number from 1");
        const auto line = typed_line.get<int64_t>();
        const PlaceReading place = lines_.find(path + ":" + std::to_string(line));
        std::string problem = place.place ? "" : place.error;
        Breakpoint breakpoint{};
        if (problem.empty() && breakpoint_for(place.place->address, wanted, breakpoint, problem)) {
            set.push_back(breakpoint);
            Json verified = verified_at(breakpoint.address);
            verified["line"] = place.place->line;
            body["breakpoints"].push_back(verified);
        } else {
            Json not_set = refused(problem);
            not_set["line"] = line;
            body["breakpoints"].push_back(not_set);
        }
    }
    replace_breakpoints("source " + path, set);
    requested_["source " + path] = arguments;
}

void Adapter::set_instruction_breakpoints(const Json& arguments, Json& body)
{
    std::vector<Breakpoint> set;
    body["breakpoints"] = Json::array();
    for (const Json& wanted : arguments.value("breakpoints", Json::array())) {
        std::string problem;
        const std::optional<uint16_t> address = address_of(
            {{"memoryReference", wanted.at("instructionReference")}, {"offset", wanted.value("offset", 0)}}, problem);
        Breakpoint breakpoint{};
        if (address && breakpoint_for(*address, wanted, breakpoint, problem)) {
            set.push_back(breakpoint);
            body["breakpoints"].push_back(verified_at(*address));
        } else {
            body["breakpoints"].push_back(refused(problem));
        }
    }
    replace_breakpoints(kInstructions, set);
    requested_[kInstructions] = arguments;
}

// By a label's name, or anything else that reads as an address.
void Adapter::set_function_breakpoints(const Json& arguments, Json& body)
{
    std::vector<Breakpoint> set;
    body["breakpoints"] = Json::array();
    for (const Json& wanted : arguments.value("breakpoints", Json::array())) {
        const Reading reading = read_value(wanted.at("name").get<std::string>(), symbols_, kAddressField);
        std::string problem = reading.error;
        Breakpoint breakpoint{};
        if (reading.value && breakpoint_for(static_cast<uint16_t>(*reading.value), wanted, breakpoint, problem)) {
            set.push_back(breakpoint);
            Json verified = verified_at(breakpoint.address);
            describe_place(breakpoint.address, verified);
            body["breakpoints"].push_back(verified);
        } else {
            body["breakpoints"].push_back(refused(problem));
        }
    }
    replace_breakpoints(kFunctions, set);
    requested_[kFunctions] = arguments;
}

// What can be watched: a byte at an address, or as many bytes from it as the
// client asks for. A register is not memory, so it cannot be.
void Adapter::data_breakpoint_info(const Json& arguments, Json& body)
{
    std::string name = arguments.at("name").get<std::string>();
    if (name.starts_with("M(") && name.ends_with(")"))  // a byte of the memory scopes
        name = name.substr(2, name.size() - 3);
    const Reading address = read_value(name, symbols_, kAddressField);
    const uint32_t length = arguments.value("bytes", 1u);
    body["dataId"] = nullptr;
    if (arguments.value("variablesReference", 0) == kRegistersScope) {
        body["description"] = "Registers cannot be watched; memory can";
    } else if (!address.value) {
        body["description"] = address.error;
    } else if (length < 1 || length > 0x10000) {
        body["description"] = "A data breakpoint watches 1 to 10000 bytes";
    } else {
        const std::string first = hex_text(*address.value, 4);
        body["dataId"] = first + "/" + hex_text(length, 1);
        body["description"] = length == 1 ? "M(" + first + ")"
                                          : "M(" + first + ")-M(" + hex_text((*address.value + length - 1) & 0xFFFF, 4) + ")";
        body["accessTypes"] = Json::array({"write"});
        body["canPersist"] = true;
    }
}

// Watchpoints stop a run after an instruction stores into the range, where the
// condition holds after it and from the hit count on; they see writes only.
void Adapter::set_data_breakpoints(const Json& arguments, Json& body)
{
    debugger_->clear_watchpoints();
    body["breakpoints"] = Json::array();
    for (const Json& wanted : arguments.value("breakpoints", Json::array())) {
        const auto range = data_range(wanted.at("dataId"));
        Breakpoint rule{};  // the condition and hit count, as a breakpoint's
        const std::string access = text_or_empty(wanted, "accessType");
        if (!range) {
            body["breakpoints"].push_back(refused("Not a data breakpoint of this adapter's"));
        } else if (!access.empty() && access != "write") {
            body["breakpoints"].push_back(refused("Only writes can be watched"));
        } else if (std::string problem; !breakpoint_for(range->first, wanted, rule, problem)) {
            body["breakpoints"].push_back(refused(problem));
        } else {
            std::pair<uint16_t, uint32_t> changed;
            if (debugger_->toggle_watchpoint(range->first, range->second, changed)) {
                debugger_->set_watch_rule(range->first, {.condition = rule.condition, .after = rule.after});
                body["breakpoints"].push_back({{"verified", true}});
            } else {  // the first address was in a range set just now, which stays
                debugger_->toggle_watchpoint(changed.first, changed.second, changed);
                body["breakpoints"].push_back(refused("It starts inside another data breakpoint"));
            }
        }
    }
    requested_[kData] = arguments;
}

}  // namespace cosmac::dap

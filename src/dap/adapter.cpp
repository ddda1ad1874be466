#include "dap/adapter.hpp"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>

#include "debug/stepping.hpp"
#include "debug/values.hpp"
#include "image/line_file.hpp"
#include "image/posix_file.hpp"
#include "image/program_file.hpp"
#include "image/symbol_file.hpp"
#include "text/text.hpp"

namespace cosmac::dap {
namespace {

constexpr int kThread = 1;
constexpr int kRegisters = 1;  // the variables reference of the registers' scope

std::string hex4(uint16_t value) { return hex_text(value, 4); }

// The stopped event's reason for where the engine stopped a run; empty for
// the stops a run makes by itself, which say more.
std::optional<std::string> reason_for(StopKind stop)
{
    switch (stop) {
    case StopKind::Breakpoint:
        return "breakpoint";
    case StopKind::Watchpoint:
        return "data breakpoint";
    case StopKind::Goal:
        return "step";
    default:
        return std::nullopt;
    }
}

// The client's path of a source, for matching the line table's: absolute.
std::string absolute_path(const std::string& path)
{
    return std::filesystem::absolute(path).lexically_normal().string();
}

}  // namespace

void AdapterIo::output_port(unsigned, uint8_t value) { written_ += hex_text(value, 2) + "\n"; }

// As the console shows it: a carriage return starts a new line, a printable
// character is itself, anything else shows nothing.
void AdapterIo::console_write(uint8_t byte)
{
    if (byte == 0x0D)
        written_ += '\n';
    else if (byte >= 0x20 && byte <= 0x7E)
        written_ += static_cast<char>(byte);
}

Adapter::Adapter(Send send) : send_(std::move(send)) {}

bool Adapter::handle(const Json& message)
{
    if (!message.contains("type") || message["type"] != "request" || !message.contains("command") ||
        !message["command"].is_string())
        return !over_;  // what is no request gets no answer
    static const std::map<std::string, Handler> kHandlers = {
        {"initialize", &Adapter::initialize},
        {"launch", &Adapter::launch},
        {"setBreakpoints", &Adapter::set_breakpoints},
        {"configurationDone", &Adapter::configuration_done},
        {"threads", &Adapter::threads},
        {"continue", &Adapter::continue_run},
        {"next", &Adapter::next},
        {"stepIn", &Adapter::step_in},
        {"stepOut", &Adapter::step_out},
        {"stepBack", &Adapter::step_back},
        {"reverseContinue", &Adapter::reverse_continue},
        {"stackTrace", &Adapter::stack_trace},
        {"scopes", &Adapter::scopes},
        {"variables", &Adapter::variables},
        {"evaluate", &Adapter::evaluate},
        {"disconnect", &Adapter::disconnect},
        {"terminate", &Adapter::disconnect},
    };
    const std::string command = message["command"];
    const auto handler = kHandlers.find(command);
    if (handler == kHandlers.end()) {
        respond(message, false, "cosmac does not support the request " + command);
        return !over_;
    }
    if (!initialized_ && command != "initialize") {
        respond(message, false, "initialize comes first");
        return !over_;
    }
    const bool needs_program = command != "initialize" && command != "launch" && command != "disconnect" &&
                               command != "terminate" && command != "threads";
    if (needs_program && !launched_) {
        respond(message, false, "launch a program first");
        return !over_;
    }
    const Json arguments = message.contains("arguments") && message["arguments"].is_object() ? message["arguments"]
                                                                                            : Json::object();
    Json body = Json::object();
    try {
        (this->*handler->second)(message, arguments, body);
    } catch (const std::exception& error) {  // a request's arguments of the wrong type
        then_ = nullptr;
        respond(message, false, std::string("bad arguments: ") + error.what());
        return !over_;
    }
    if (!body.contains("error"))
        respond(message, true, {}, body);
    else
        respond(message, false, body["error"].get<std::string>());
    if (then_)
        std::exchange(then_, nullptr)();
    return !over_;
}

void Adapter::respond(const Json& request, bool success, const std::string& message, Json body)
{
    Json response = {{"seq", next_seq_++},
                     {"type", "response"},
                     {"request_seq", request.contains("seq") && request["seq"].is_number_integer() ? request["seq"] : Json(0)},
                     {"success", success},
                     {"command", request["command"]}};
    if (!message.empty())
        response["message"] = message;
    if (!body.empty())
        response["body"] = std::move(body);
    send_(response);
}

void Adapter::event(const std::string& name, Json body)
{
    send_({{"seq", next_seq_++}, {"type", "event"}, {"event", name}, {"body", std::move(body)}});
}

void Adapter::initialize(const Json&, const Json&, Json& body)
{
    initialized_ = true;
    body = {{"supportsConfigurationDoneRequest", true},
            {"supportsStepBack", true},
            {"supportsConditionalBreakpoints", true},
            {"supportsHitConditionalBreakpoints", true},
            {"supportsEvaluateForHovers", true},
            {"supportsTerminateRequest", true}};
}

void Adapter::launch(const Json&, const Json& arguments, Json& body)
{
    if (launched_) {
        body["error"] = "a program is launched already";
        return;
    }
    if (!arguments.contains("program") || !arguments["program"].is_string()) {
        body["error"] = "launch needs a program";
        return;
    }
    if (arguments.contains("board")) {
        body["error"] = "boards are not served yet";
        return;
    }
    const LoadedProgram loaded = load_program(arguments["program"].get<std::string>(), *memory_);
    if (!loaded.error.empty()) {
        body["error"] = loaded.error;
        return;
    }
    const SymbolFile symbols = read_symbol_file(symbol_file_name(loaded.path));
    const LineFile lines = read_line_file(line_file_name(loaded.path));
    for (const std::vector<std::string>* problems : {&symbols.problems, &lines.problems}) {
        for (const std::string& problem : *problems)
            event("output", {{"category", "stderr"}, {"output", problem + "\n"}});
    }
    symbols_.add(symbols.symbols);
    lines_.add(lines.table);
    state_.R[state_.P] = loaded.lowest.value_or(0);
    stop_on_entry_ = arguments.value("stopOnEntry", false);
    launched_ = true;
    then_ = [this] { event("initialized"); };
}

void Adapter::set_breakpoints(const Json&, const Json& arguments, Json& body)
{
    const std::string path = absolute_path(arguments.at("source").at("path").get<std::string>());
    for (const uint16_t address : source_breakpoints_[path])
        debugger_.clear_breakpoint(address);
    source_breakpoints_[path].clear();
    body["breakpoints"] = Json::array();
    for (const Json& wanted : arguments.value("breakpoints", Json::array())) {
        const Json& typed_line = wanted.at("line");
        if (!typed_line.is_number_integer() || typed_line.get<int64_t>() < 1 || typed_line.get<int64_t>() > 0xFFFFFFF)
            throw std::invalid_argument("a breakpoint's line is a number from 1");
        const auto line = typed_line.get<int64_t>();
        const PlaceReading place = lines_.find(path + ":" + std::to_string(line));
        Json verified = {{"verified", false}, {"line", line}};
        Breakpoint breakpoint{.address = place.place ? place.place->address : uint16_t{0}};
        std::string problem = place.place ? "" : place.error;
        if (problem.empty() && wanted.contains("condition") && !wanted["condition"].get<std::string>().empty()) {
            const ConditionReading condition = parse_condition(wanted["condition"].get<std::string>(), symbols_);
            breakpoint.condition = condition.condition;
            problem = condition.error;
        }
        if (problem.empty() && wanted.contains("hitCondition") && !wanted["hitCondition"].get<std::string>().empty()) {
            const Reading hits = read_value(wanted["hitCondition"].get<std::string>(), symbols_, kCountField);
            problem = hits.value == 0u ? "The hit count must be at least 1" : hits.error;
            breakpoint.after = hits.value.value_or(1);
        }
        if (problem.empty()) {
            debugger_.set_breakpoint(breakpoint);
            source_breakpoints_[path].push_back(breakpoint.address);
            verified = {{"verified", true},
                        {"line", place.place->line},
                        {"instructionReference", "0x" + hex4(breakpoint.address)}};
        } else {
            verified["message"] = problem;
        }
        body["breakpoints"].push_back(verified);
    }
}

void Adapter::configuration_done(const Json&, const Json&, Json&)
{
    if (stop_on_entry_)
        then_ = [this] { stopped("entry"); };
    else
        then_ = [this] { run({RunGoal::Go}); };
}

void Adapter::threads(const Json&, const Json&, Json& body)
{
    body["threads"] = Json::array({{{"id", kThread}, {"name", "1802"}}});
}

void Adapter::continue_run(const Json&, const Json&, Json& body)
{
    body["allThreadsContinued"] = true;
    then_ = [this] { run({RunGoal::Go}); };
}

void Adapter::next(const Json&, const Json&, Json&)
{
    const StepPlan plan = plan_step_over(state_, *memory_, debugger_, lines_);
    then_ = [this, plan] { run(plan); };
}

void Adapter::step_in(const Json&, const Json&, Json&)
{
    const StepPlan plan = plan_step_into(state_, *memory_).value_or(StepPlan{RunGoal::Count, 1});
    then_ = [this, plan] { run(plan); };
}

void Adapter::step_out(const Json&, const Json&, Json&)
{
    then_ = [this] { run({RunGoal::StepOut}); };
}

void Adapter::step_back(const Json&, const Json&, Json&)
{
    then_ = [this] {
        if (debugger_.step_back(state_, *memory_, 1) == 0)
            stopped("step", "At the oldest instruction in the history");
        else
            stopped("step");
    };
}

void Adapter::reverse_continue(const Json&, const Json&, Json&)
{
    then_ = [this] {
        const DebugOutcome outcome = debugger_.run_back(state_, *memory_, io_);
        if (const auto reason = reason_for(outcome.stop))
            stopped(*reason);
        else
            stopped("step", "At the oldest instruction in the history");
    };
}

void Adapter::run(const StepPlan& plan)
{
    const DebugOutcome outcome = debugger_.run(state_, *memory_, io_, plan.goal, plan.count, nullptr, plan.line);
    if (const std::string written = io_.take_written(); !written.empty())
        event("output", {{"category", "stdout"}, {"output", written}});
    if (const auto reason = reason_for(outcome.stop)) {
        stopped(*reason);
        return;
    }
    const uint16_t pc = state_.R[state_.P];
    if (plan.goal == RunGoal::Count && outcome.result.executed == plan.count)
        stopped("step");
    else if ((*memory_)[pc] == 0x00)
        stopped("pause", "IDLE at " + hex4(pc));
    else
        stopped("pause", "Stopped at " + hex4(pc));
}

void Adapter::stopped(const std::string& reason, const std::string& description)
{
    Json body = {{"reason", reason}, {"threadId", kThread}, {"allThreadsStopped", true}};
    if (!description.empty())
        body["description"] = body["text"] = description;
    event("stopped", body);
}

void Adapter::stack_trace(const Json&, const Json&, Json& body)
{
    const uint16_t pc = state_.R[state_.P];
    const std::string_view label = symbols_.name_at(pc);
    Json frame = {{"id", 0},
                  {"name", label.empty() ? hex4(pc) : hex4(pc) + " " + std::string(label)},
                  {"line", 0},
                  {"column", 0},
                  {"instructionPointerReference", "0x" + hex4(pc)}};
    if (const auto place = lines_.at(pc)) {
        const std::string path = absolute_path(lines_.file(place->file));
        frame["source"] = {{"name", std::filesystem::path(path).filename().string()}, {"path", path}};
        frame["line"] = place->line;
        frame["column"] = 1;
    }
    body["stackFrames"] = Json::array({frame});
    body["totalFrames"] = 1;
}

void Adapter::scopes(const Json&, const Json&, Json& body)
{
    body["scopes"] = Json::array({{{"name", "Registers"}, {"variablesReference", kRegisters}, {"expensive", false}}});
}

void Adapter::variables(const Json&, const Json& arguments, Json& body)
{
    body["variables"] = Json::array();
    if (arguments.value("variablesReference", 0) != kRegisters)
        return;
    for (unsigned n = 0; n < 16; ++n)
        body["variables"].push_back({{"name", formatted("R%X", n)}, {"value", hex4(state_.R[n])}, {"variablesReference", 0}});
    for (const StateField& field : kStateFields) {
        body["variables"].push_back({{"name", std::string(field.name)},
                                     {"value", hex_text(state_.*field.member, field.digits())},
                                     {"variablesReference", 0}});
    }
}

// A register or flag by name, or a value in the console's syntax: a number, a
// symbol, a symbol with an offset.
void Adapter::evaluate(const Json&, const Json& arguments, Json& body)
{
    const std::string expression(trim(arguments.value("expression", "")));
    const std::string name = upper(expression);
    std::string result;
    if (name.size() == 2 && name[0] == 'R' && hex_digit_value(name[1]) >= 0) {
        result = hex4(state_.R[hex_digit_value(name[1])]);
    } else if (const StateField* field = state_field(name)) {
        result = hex_text(state_.*field->member, field->digits());
    } else {
        const Reading reading = read_value(expression, symbols_, kAddressField);
        if (!reading.value) {
            body["error"] = reading.error;
            return;
        }
        result = hex4(static_cast<uint16_t>(*reading.value));
        body["memoryReference"] = "0x" + result;
    }
    body["result"] = result;
    body["variablesReference"] = 0;
}

void Adapter::disconnect(const Json&, const Json&, Json&)
{
    over_ = true;
    then_ = [this] { event("terminated"); };
}

int serve(int input, int output)
{
    bool sending = true;  // until the client stops reading
    Adapter adapter([&](const Json& message) {
        const std::string text = framed(message);
        sending = sending && write_all(output, text.data(), text.size()) == 0;
    });
    MessageReader reader([input](char* data, std::size_t size) -> std::size_t {
        for (;;) {
            const ssize_t n = ::read(input, data, size);
            if (n >= 0)
                return static_cast<std::size_t>(n);
            if (errno != EINTR)
                return 0;
        }
    });
    for (;;) {
        const Incoming incoming = reader.next();
        if (incoming.kind == Incoming::Kind::End)
            return 0;
        if (incoming.kind != Incoming::Kind::Message)
            continue;  // the protocol has no answer for what is no message
        if (!adapter.handle(incoming.body) || !sending)
            return 0;
    }
}

}  // namespace cosmac::dap

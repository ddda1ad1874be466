#include "dap/adapter.hpp"

#include "debug/stepping.hpp"
#include "image/line_file.hpp"
#include "image/program_file.hpp"
#include "image/symbol_file.hpp"
#include "text/text.hpp"

namespace cosmac::dap {
namespace {

constexpr int kThread = 1;
constexpr uint8_t kConsoleService = 0x68;
constexpr uint8_t kKeyIn = 0x02;  // the console service's key read

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

}  // namespace

void AdapterIo::output_port(unsigned, uint8_t value) { written_ += hex_text(value, 2) + "\n"; }

// The console service writes a carriage return as a new line already; a key
// read echoes its key as it came, Enter being a carriage return.
void AdapterIo::console_write(uint8_t byte) { written_ += byte == 0x0D ? '\n' : static_cast<char>(byte); }

Reply AdapterIo::input_port(unsigned)
{
    if (!port_answer_)
        return {std::nullopt, true};
    return {std::exchange(port_answer_, std::nullopt), false};
}

std::optional<uint8_t> AdapterIo::console_read_key()
{
    if (keys_.empty())
        return std::nullopt;
    const uint8_t key = keys_.front();
    keys_.pop_front();
    return key;
}

bool AdapterIo::interrupt_requested()
{
    interrupted_ = interrupted_ || interrupt_();
    return interrupted_;
}

void AdapterIo::type_keys(std::string_view text)
{
    keys_.insert(keys_.end(), text.begin(), text.end());
    keys_.push_back(0x0D);
}

Adapter::Adapter(Send send, AdapterIo::Interrupt interrupt) : send_(std::move(send)), io_(std::move(interrupt))
{
}

bool Adapter::handle(const Json& message)
{
    if (!message.contains("type") || message["type"] != "request" || !message.contains("command") ||
        !message["command"].is_string())
        return !over_;  // what is no request gets no answer
    static const std::map<std::string, Handler> kHandlers = {
        {"initialize", &Adapter::initialize},
        {"launch", &Adapter::launch},
        {"restart", &Adapter::restart},
        {"configurationDone", &Adapter::configuration_done},
        {"disconnect", &Adapter::disconnect},
        {"terminate", &Adapter::disconnect},
        {"continue", &Adapter::continue_run},
        {"next", &Adapter::next},
        {"stepIn", &Adapter::step_in},
        {"stepOut", &Adapter::step_out},
        {"stepBack", &Adapter::step_back},
        {"reverseContinue", &Adapter::reverse_continue},
        {"pause", &Adapter::pause},
        {"gotoTargets", &Adapter::goto_targets},
        {"goto", &Adapter::go_to},
        {"setBreakpoints", &Adapter::set_breakpoints},
        {"setInstructionBreakpoints", &Adapter::set_instruction_breakpoints},
        {"setFunctionBreakpoints", &Adapter::set_function_breakpoints},
        {"dataBreakpointInfo", &Adapter::data_breakpoint_info},
        {"setDataBreakpoints", &Adapter::set_data_breakpoints},
        {"threads", &Adapter::threads},
        {"stackTrace", &Adapter::stack_trace},
        {"scopes", &Adapter::scopes},
        {"variables", &Adapter::variables},
        {"setVariable", &Adapter::set_variable},
        {"evaluate", &Adapter::evaluate},
        {"readMemory", &Adapter::read_memory},
        {"writeMemory", &Adapter::write_memory},
        {"disassemble", &Adapter::disassemble},
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
                               command != "terminate" && command != "threads" && command != "pause";
    if (needs_program && !launched_) {
        respond(message, false, "launch a program first");
        return !over_;
    }
    const Json arguments = message.contains("arguments") && message["arguments"].is_object() ? message["arguments"]
                                                                                            : Json::object();
    Json body = Json::object();
    try {
        (this->*handler->second)(arguments, body);
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

void Adapter::flush_output()
{
    if (const std::string written = io_.take_written(); !written.empty())
        event("output", {{"category", "stdout"}, {"output", written}});
}

void Adapter::initialize(const Json&, Json& body)
{
    initialized_ = true;
    body = {{"supportsConfigurationDoneRequest", true},
            {"supportsStepBack", true},
            {"supportsConditionalBreakpoints", true},
            {"supportsHitConditionalBreakpoints", true},
            {"supportsLogPoints", true},
            {"supportsInstructionBreakpoints", true},
            {"supportsFunctionBreakpoints", true},
            {"supportsDataBreakpoints", true},
            {"supportsDisassembleRequest", true},
            {"supportsReadMemoryRequest", true},
            {"supportsWriteMemoryRequest", true},
            {"supportsSetVariable", true},
            {"supportsEvaluateForHovers", true},
            {"supportsGotoTargetsRequest", true},
            {"supportsSteppingGranularity", true},
            {"supportsRestartRequest", true},
            {"supportsTerminateRequest", true}};
}

std::string Adapter::load(const Json& arguments)
{
    if (!arguments.contains("program") || !arguments["program"].is_string())
        return "launch needs a program";
    if (arguments.contains("board"))
        return "boards are not served yet";
    if (arguments.contains("options") && !arguments["options"].empty())
        return "the console machine takes no options here";
    state_ = MachineState{};
    memory_->fill(0);
    const LoadedProgram loaded = load_program(arguments["program"].get<std::string>(), *memory_);
    if (!loaded.error.empty())
        return loaded.error;
    const SymbolFile symbols = read_symbol_file(symbol_file_name(loaded.path));
    const LineFile lines = read_line_file(line_file_name(loaded.path));
    for (const std::vector<std::string>* problems : {&symbols.problems, &lines.problems}) {
        for (const std::string& problem : *problems)
            event("output", {{"category", "stderr"}, {"output", problem + "\n"}});
    }
    symbols_ = SymbolTable{};
    symbols_.add(symbols.symbols);
    lines_ = SourceLines{};
    lines_.add(lines.table);
    state_.R[state_.P] = loaded.lowest.value_or(0);
    debugger_ = std::make_unique<Debugger>(ProtectedWindow{});
    debugger_->set_log_sink([this](const Breakpoint& breakpoint, const MachineState& state, const Memory&) {
        flush_output();
        event("output", {{"category", "console"}, {"output", with_values(breakpoint.log, state) + "\n"}});
    });
    return {};
}

void Adapter::launch(const Json& arguments, Json& body)
{
    if (launched_) {
        body["error"] = "a program is launched already";
        return;
    }
    if (const std::string problem = load(arguments); !problem.empty()) {
        body["error"] = problem;
        return;
    }
    launched_ = arguments;
    then_ = [this] { event("initialized"); };
}

// The launch's own arguments, or those the client sends with the restart (its
// configuration, edited since); the program is read again, as it may have been
// built again.
void Adapter::restart(const Json& arguments, Json& body)
{
    const Json& launch_arguments =
        arguments.contains("arguments") && arguments["arguments"].is_object() ? arguments["arguments"] : *launched_;
    if (const std::string problem = load(launch_arguments); !problem.empty()) {
        body["error"] = problem;
        return;
    }
    launched_ = launch_arguments;
    set_breakpoints_again();
    configuration_done({}, body);
}

void Adapter::configuration_done(const Json&, Json&)
{
    if (launched_->value("stopOnEntry", false))
        then_ = [this] { stopped("entry"); };
    else
        then_ = [this] { run({RunGoal::Go}); };
}

void Adapter::disconnect(const Json&, Json&)
{
    over_ = true;
    then_ = [this] { event("terminated"); };
}

void Adapter::continue_run(const Json&, Json& body)
{
    body["allThreadsContinued"] = true;
    then_ = [this] { run({RunGoal::Go}); };
}

// By instruction, as the disassembly view steps, one instruction; by line, as n.
void Adapter::next(const Json& arguments, Json&)
{
    const StepPlan plan = arguments.value("granularity", "") == "instruction"
                              ? StepPlan{RunGoal::Count, 1}
                              : plan_step_over(state_, *memory_, *debugger_, lines_);
    then_ = [this, plan] { run(plan); };
}

void Adapter::step_in(const Json& arguments, Json&)
{
    const StepPlan plan = arguments.value("granularity", "") == "instruction"
                              ? StepPlan{RunGoal::Count, 1}
                              : plan_step_into(state_, *memory_).value_or(StepPlan{RunGoal::Count, 1});
    then_ = [this, plan] { run(plan); };
}

void Adapter::step_out(const Json&, Json&)
{
    then_ = [this] { run({RunGoal::StepOut}); };
}

void Adapter::step_back(const Json&, Json&)
{
    then_ = [this] {
        if (debugger_->step_back(state_, *memory_, 1) == 0)
            stopped("step", "At the oldest instruction in the history");
        else
            stopped("step");
    };
}

void Adapter::reverse_continue(const Json&, Json&)
{
    then_ = [this] {
        const DebugOutcome outcome = debugger_->run_back(state_, *memory_, io_);
        if (io_.take_interrupted())
            stopped("pause");
        else if (const auto reason = reason_for(outcome.stop))
            stopped(*reason);
        else
            stopped("step", "At the oldest instruction in the history");
    };
}

// A pause that came while a run went on has ended it already, and the run's
// stopped event said so; the request itself is then only answered.
void Adapter::pause(const Json&, Json&) {}

void Adapter::run(const StepPlan& plan)
{
    continuing_ = plan.goal == RunGoal::Go;
    const DebugOutcome outcome = debugger_->run(state_, *memory_, io_, plan.goal, plan.count, nullptr, plan.line);
    flush_output();
    const uint16_t pc = state_.R[state_.P];
    const uint8_t opcode = (*memory_)[pc];
    if (io_.take_interrupted())
        stopped("pause");
    else if (const auto reason = reason_for(outcome.stop))
        stopped(*reason);
    else if (opcode == kConsoleService && (*memory_)[static_cast<uint16_t>(pc + 1)] == kKeyIn && !io_.keys_waiting())
        stopped("pause", "The program waits for a key: type > and the text in the debug console");
    else if (opcode > kConsoleService && opcode <= 0x6F && !io_.port_answered())
        stopped("pause", formatted("INP %u waits for a byte: type > and its value in hex in the debug console",
                                   opcode & 7u));
    else if (plan.goal == RunGoal::Count && outcome.result.executed == plan.count)
        stopped("step");
    else if (opcode == 0x00)
        stopped("pause", "IDLE at " + hex_text(pc, 4));
    else
        stopped("pause", "Stopped at " + hex_text(pc, 4));
}

void Adapter::stopped(const std::string& reason, const std::string& description)
{
    Json body = {{"reason", reason}, {"threadId", kThread}, {"allThreadsStopped", true}};
    if (!description.empty())
        body["description"] = body["text"] = description;
    event("stopped", body);
}

// The targets of a source line: the address its code starts at.
void Adapter::goto_targets(const Json& arguments, Json& body)
{
    const std::string path = arguments.at("source").at("path").get<std::string>();
    const Json& line = arguments.at("line");
    const PlaceReading place = lines_.find(path + ":" + std::to_string(line.get<int64_t>()));
    if (!place.place) {
        body["error"] = place.error;
        return;
    }
    body["targets"] = Json::array({{{"id", place.place->address},
                                    {"label", hex_text(place.place->address, 4)},
                                    {"line", place.place->line},
                                    {"instructionPointerReference", "0x" + hex_text(place.place->address, 4)}}});
}

// R(P) moves to the target, as the register display's r command would move it.
void Adapter::go_to(const Json& arguments, Json& body)
{
    const Json& target = arguments.at("targetId");
    if (!target.is_number_integer() || target.get<int64_t>() < 0 || target.get<int64_t>() > 0xFFFF) {
        body["error"] = "a goto target is an address from 0 to ffff";
        return;
    }
    state_.R[state_.P] = target.get<uint16_t>();
    then_ = [this] { stopped("goto"); };
}

}  // namespace cosmac::dap

#include "dap/adapter.hpp"

#include <chrono>
#include <thread>

#include <filesystem>

#include "cpu/opcode_table.hpp"
#include "debug/stepping.hpp"
#include "text/text.hpp"

namespace cosmac::dap {
namespace {

constexpr uint8_t kConsoleService = 0x68;
constexpr uint8_t kKeyIn = 0x02;  // the console service's key read, kConsoleKey on the extended set

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

std::string absolute_path(const std::string& path)
{
    return std::filesystem::absolute(path).lexically_normal().string();
}

std::optional<std::string> typed_input(const Json& arguments)
{
    if (!arguments.is_object() || arguments.value("context", Json()) != "repl" ||
        !arguments.value("expression", Json()).is_string())
        return std::nullopt;
    const std::string expression = arguments["expression"];
    if (!expression.starts_with(">"))
        return std::nullopt;
    return expression.substr(1);
}

bool is_typed_input(const Json& request)
{
    return request.value("command", Json()) == "evaluate" && typed_input(request.value("arguments", Json())).has_value();
}

Adapter::Adapter(Send send, Inbound inbound)
    : send_(std::move(send)), inbound_(std::move(inbound)), io_(inbound_.interrupt_waiting)
{
}

void Adapter::take_typed_input()
{
    while (const std::optional<Json> typed = inbound_.take_typed())
        handle(*typed);
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
    running_ = true;
    const DebugOutcome outcome = board_ ? run_on_board(plan)
                                        : debugger_->run(state_, *memory_, io_, plan.goal, plan.count, nullptr, plan.line);
    running_ = false;
    flush_output();
    const uint16_t pc = state_.R[state_.P];
    const uint8_t opcode = (*memory_)[pc];
    const bool console = !board_;
    if (io_.take_interrupted())
        stopped("pause");
    else if (outcome.stop == StopKind::Unused)
        stopped("exception", "68 " + hex_text((*memory_)[static_cast<uint16_t>(pc + 1)], 2) +
                                 " is no instruction of the 1805: it would pass as two bytes that do nothing");
    else if (const auto reason = reason_for(outcome.stop))
        stopped(*reason);
    else if (board_ && board_->bus.idle && board_->board.next_event() == kNever)
        stopped("pause", "IDLE: nothing can wake the processor");
    else if (console && opcode == kConsoleService &&
             (*memory_)[static_cast<uint16_t>(pc + 1)] == (debugger_->extended() ? kConsoleKey : kKeyIn) &&
             !io_.keys_waiting())
        stopped("pause", "The program waits for a key: type > and the text in the debug console");
    else if (console && opcode > kConsoleService && opcode <= 0x6F && !io_.port_answered())
        stopped("pause", formatted("INP %u waits for a byte: type > and its value in hex in the debug console",
                                   opcode & 7u));
    else if (plan.goal == RunGoal::Count && outcome.result.executed == plan.count)
        stopped("step");
    else if (opcode == 0x00)
        stopped("pause", "IDLE at " + hex_text(pc, 4));
    else
        stopped("pause", "Stopped at " + hex_text(pc, 4));
}

// Slices of 10 ms of the board's time, kept to the wall clock at the board's
// --speed.
DebugOutcome Adapter::run_on_board(const StepPlan& plan)
{
    AdapterBoard& machine = *board_;
    const auto slice = std::max<uint64_t>(cycles_in(machine.options, 0.01), 1);
    const auto started = std::chrono::steady_clock::now();
    const uint64_t started_at = machine.bus.cycles;
    machine.bus.pause_at = machine.bus.cycles + slice;
    const BoardLink link{machine.bus, [&] {
                             if (machine.serial)
                                 machine.serial->advance(machine.bus.cycles);
                             flush_output();
                             take_typed_input();
                             if (io_.interrupt_requested() ||
                                 (machine.bus.idle && machine.board.next_event() == kNever))
                                 return true;
                             if (const std::optional<double> speed = machine.options.speed)
                                 std::this_thread::sleep_until(
                                     started + wall_time(machine.options, machine.bus.cycles - started_at, *speed));
                             machine.bus.pause_at = machine.bus.cycles + slice;
                             return false;
                         }};
    const DebugOutcome outcome = debugger_->run(state_, *memory_, link, plan.goal, plan.count, nullptr, plan.line);
    if (machine.serial)
        machine.serial->advance(machine.bus.cycles);
    return outcome;
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

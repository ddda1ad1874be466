// cosmac --dap: a Debug Adapter Protocol server on standard input and output,
// over the same debugger engine as the console's commands. A session is one
// console machine: launch loads the program with its symbols and line file, and
// the client's requests run, step and step back the engine. What the program
// writes goes to the client as output events; standard output carries nothing
// but the protocol.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cpu/host_io.hpp"
#include "cpu/machine_state.hpp"
#include "dap/messages.hpp"
#include "debug/debugger.hpp"
#include "debug/source_lines.hpp"
#include "debug/stepping.hpp"
#include "debug/symbols.hpp"

namespace cosmac::dap {

// The machine's console, as the client sees it: what the program writes is kept
// for the next output event; nothing can be typed to it yet, so an INP, an EF4
// test or a key read ends the run with the instruction not done.
class AdapterIo final : public HostIo {
public:
    void output_port(unsigned port, uint8_t value) override;
    Reply input_port(unsigned) override { return {std::nullopt, true}; }
    Reply query_ef4() override { return {std::nullopt, true}; }
    void set_q() override { written_ += "Q1\n"; }
    void reset_q() override { written_ += "Q0\n"; }
    void console_write(uint8_t byte) override;
    std::optional<uint8_t> console_read_key() override { return std::nullopt; }
    bool interrupt_requested() override { return false; }

    std::string take_written() { return std::exchange(written_, {}); }

private:
    std::string written_;
};

class Adapter {
public:
    using Send = std::function<void(const Json&)>;
    explicit Adapter(Send send);

    // One message from the client; false once the session is over.
    bool handle(const Json& message);

private:
    using Handler = void (Adapter::*)(const Json& request, const Json& arguments, Json& body);

    void respond(const Json& request, bool success, const std::string& message = {}, Json body = {});
    void event(const std::string& name, Json body = Json::object());
    // Runs toward the goal and tells the client how it stopped.
    void run(const StepPlan& plan);
    void stopped(const std::string& reason, const std::string& description = {});

    void initialize(const Json&, const Json&, Json& body);
    void launch(const Json&, const Json& arguments, Json& body);
    void set_breakpoints(const Json&, const Json& arguments, Json& body);
    void configuration_done(const Json&, const Json&, Json& body);
    void threads(const Json&, const Json&, Json& body);
    void continue_run(const Json&, const Json&, Json& body);
    void next(const Json&, const Json&, Json& body);
    void step_in(const Json&, const Json&, Json& body);
    void step_out(const Json&, const Json&, Json& body);
    void step_back(const Json&, const Json&, Json& body);
    void reverse_continue(const Json&, const Json&, Json& body);
    void stack_trace(const Json&, const Json&, Json& body);
    void scopes(const Json&, const Json&, Json& body);
    void variables(const Json&, const Json& arguments, Json& body);
    void evaluate(const Json&, const Json& arguments, Json& body);
    void disconnect(const Json&, const Json&, Json& body);

    Send send_;
    int next_seq_ = 1;
    bool initialized_ = false;
    bool launched_ = false;
    bool stop_on_entry_ = false;
    bool over_ = false;
    std::function<void()> then_;  // what a request set going once its response is sent: a run

    MachineState state_;
    std::unique_ptr<Memory> memory_ = std::make_unique<Memory>();
    AdapterIo io_;
    Debugger debugger_{ProtectedWindow{}};
    SymbolTable symbols_;
    SourceLines lines_;
    std::map<std::string, std::vector<uint16_t>> source_breakpoints_;  // by the client's path
};

// Reads and answers messages until the input ends or the client disconnects.
int serve(int input, int output);

}  // namespace cosmac::dap

// cosmac --dap: a Debug Adapter Protocol server on standard input and output,
// over the same debugger engine as the console's commands. A session is one
// machine, the console machine or a board: launch loads the program with its
// symbols and line file, and the client's requests run, step and step back the
// engine. What the program writes goes to the client as output events;
// standard output carries nothing but the protocol.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "board/board.hpp"
#include "board/board_options.hpp"
#include "board/serial_line.hpp"
#include "cpu/board_bus.hpp"
#include "cpu/host_io.hpp"
#include "cpu/machine_state.hpp"
#include "dap/messages.hpp"
#include "debug/debugger.hpp"
#include "debug/source_lines.hpp"
#include "debug/stepping.hpp"
#include "debug/symbols.hpp"

namespace cosmac::dap {

// The console machine's console, as the client sees it. What the program
// writes is kept for the next output event, as is what a board's serial line
// sends. Keys and INP's bytes are typed in the debug console after a >: on the
// console machine, a key read or an INP with nothing typed for it ends the run
// with the instruction not done, to be answered and run again. EF4 holds what
// the Variables pane sets. A pause request, or the client leaving, ends a run
// as Control-C ends the console's.
class AdapterIo final : public HostIo {
public:
    // interrupt says whether a pause, or the client leaving, waits to be answered.
    using Interrupt = std::function<bool()>;
    explicit AdapterIo(Interrupt interrupt) : interrupt_(std::move(interrupt)) {}

    void output_port(unsigned port, uint8_t value) override;
    Reply input_port(unsigned) override;
    Reply query_ef4() override { return {}; }
    void set_q() override { written_ += "Q1\n"; }
    void reset_q() override { written_ += "Q0\n"; }
    void console_write(uint8_t byte) override;
    std::optional<uint8_t> console_read_key() override;
    bool interrupt_requested() override;

    // Keys for the console service's key reads: the text, then Enter.
    void type_keys(std::string_view text);
    // What a board's serial line sends.
    void board_sent(uint8_t byte) { written_ += static_cast<char>(byte); }
    // The byte the next INP reads.
    void answer_port(uint8_t value) { port_answer_ = value; }
    bool keys_waiting() const { return !keys_.empty(); }
    bool port_answered() const { return port_answer_.has_value(); }
    // Whether the last run ended because it was interrupted; clears it.
    bool take_interrupted() { return std::exchange(interrupted_, false); }

    std::string take_written() { return std::exchange(written_, {}); }

private:
    Interrupt interrupt_;
    std::string written_;
    std::deque<uint8_t> keys_;
    std::optional<uint8_t> port_answer_;
    bool interrupted_ = false;
};

// Input for the program typed in the debug console: the text after a > in an
// evaluate's expression in the console's context; empty for any other.
std::optional<std::string> typed_input(const Json& evaluate_arguments);
// A request that types input for the program, answered even while a run goes on.
bool is_typed_input(const Json& request);

// What the adapter asks of whoever reads the client's messages while a run
// goes on.
struct Inbound {
    AdapterIo::Interrupt interrupt_waiting;       // a pause, a disconnect, the end of the input
    std::function<std::optional<Json>()> take_typed;  // the next request that types input, taken out of turn:
                                                      // a board's run goes on as it is typed
};

// A board that the program runs on, as the launch's board and options built it.
struct AdapterBoard {
    explicit AdapterBoard(const BoardOptions& board_options)
        : options(board_options), board(options.board), bus{&board, &board.map()}, serial(board.device<SerialLine>())
    {
    }

    BoardOptions options;
    Board board;
    BoardBus bus;
    SerialLine* serial;  // null on a board without one
};

// The one thread, the processor.
constexpr int kThread = 1;

// A source's path as the client gets and gives it: absolute, so that it
// matches the line table's however the client was started.
std::string absolute_path(const std::string& path);

// The variables references of the scopes.
constexpr int kRegistersScope = 1;
constexpr int kNearXScope = 2;
constexpr int kStackScope = 3;

class Adapter {
public:
    using Send = std::function<void(const Json&)>;
    Adapter(Send send, Inbound inbound);

    // One message from the client; false once the session is over.
    bool handle(const Json& message);

private:
    using Handler = void (Adapter::*)(const Json& arguments, Json& body);

    void respond(const Json& request, bool success, const std::string& message = {}, Json body = {});
    void event(const std::string& name, Json body = Json::object());
    void flush_output();
    // Runs toward the goal and tells the client how it stopped.
    void run(const StepPlan& plan);
    // The same on the board, in slices of its time: between them, what it sent
    // goes out, what the client typed comes in, and a pause ends the run.
    DebugOutcome run_on_board(const StepPlan& plan);
    // Answers the requests that typed input while a run went on.
    void take_typed_input();
    void stopped(const std::string& reason, const std::string& description = {});
    // The program, its symbols and lines loaded into a machine as at power-on;
    // empty, or why not.
    std::string load(const Json& launch_arguments);
    // The session's breakpoints of every kind, set again as the client asked for
    // them: after a restart, the program's addresses may have moved.
    void set_breakpoints_again();
    // A breakpoint at the address with the condition, hit count and log message
    // the client gave; false with the message when one of them is wrong.
    bool breakpoint_for(uint16_t address, const Json& wanted, Breakpoint& breakpoint, std::string& problem) const;
    // Replaces the breakpoints of one kind (a source's path, "instructions",
    // "functions") with those set now.
    void replace_breakpoints(const std::string& kind, const std::vector<Breakpoint>& breakpoints);
    // A value for the client: a register or field by name, or an address in the
    // console's syntax; with its address, when it is one.
    struct Value {
        std::string text;
        std::optional<uint16_t> address = {};
        std::string error = {};
    };
    Value value_of(std::string_view expression, const MachineState& state) const;
    std::string with_values(std::string_view message, const MachineState& state) const;
    // An address given as a memory reference and an offset, or why it is none.
    std::optional<uint16_t> address_of(const Json& arguments, std::string& problem) const;
    // Where a frame's address is in the sources and among the labels.
    void describe_place(uint16_t address, Json& place) const;

    void initialize(const Json&, Json& body);
    void launch(const Json& arguments, Json& body);
    void restart(const Json& arguments, Json& body);
    void configuration_done(const Json&, Json& body);
    void disconnect(const Json&, Json& body);

    void continue_run(const Json&, Json& body);
    void next(const Json& arguments, Json& body);
    void step_in(const Json& arguments, Json& body);
    void step_out(const Json&, Json& body);
    void step_back(const Json&, Json& body);
    void reverse_continue(const Json&, Json& body);
    void pause(const Json&, Json& body);
    void goto_targets(const Json& arguments, Json& body);
    void go_to(const Json& arguments, Json& body);

    void set_breakpoints(const Json& arguments, Json& body);
    void set_instruction_breakpoints(const Json& arguments, Json& body);
    void set_function_breakpoints(const Json& arguments, Json& body);
    void data_breakpoint_info(const Json& arguments, Json& body);
    void set_data_breakpoints(const Json& arguments, Json& body);

    void threads(const Json&, Json& body);
    void stack_trace(const Json&, Json& body);
    void scopes(const Json&, Json& body);
    void variables(const Json& arguments, Json& body);
    void set_variable(const Json& arguments, Json& body);
    void evaluate(const Json& arguments, Json& body);
    void read_memory(const Json& arguments, Json& body);
    void write_memory(const Json& arguments, Json& body);
    void disassemble(const Json& arguments, Json& body);

    Send send_;
    Inbound inbound_;
    int next_seq_ = 1;
    bool initialized_ = false;
    bool over_ = false;
    std::optional<Json> launched_;  // the launch request's arguments
    std::function<void()> then_;    // what a request set going once its response is sent: a run
    bool continuing_ = false;       // the last run was a continue, which typed input resumes
    bool running_ = false;

    MachineState state_;
    std::unique_ptr<Memory> memory_ = std::make_unique<Memory>();
    AdapterIo io_;
    std::unique_ptr<AdapterBoard> board_;  // none on the console machine
    std::unique_ptr<Debugger> debugger_;
    SymbolTable symbols_;
    SourceLines lines_;
    std::map<std::string, Json> requested_;           // each kind's breakpoints as last asked for
    std::map<uint16_t, std::string> breakpoint_kind_;  // of each address's breakpoint
};

// Reads and answers messages until the input ends or the client disconnects.
int serve(int input, int output);

}  // namespace cosmac::dap

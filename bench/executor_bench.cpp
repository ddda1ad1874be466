// Micro-benchmarks of the executor: one instruction group at a time, each a small
// loop run to a fixed instruction count.
#include <benchmark/benchmark.h>

#include <initializer_list>
#include <memory>

#include "cpu/executor.hpp"

namespace cosmac {
namespace {

// Ports and the console service go nowhere; a run ends when the budget of polls is spent.
struct NullIo final : HostIo {
    unsigned polls_left = 0;
    void output_port(unsigned, uint8_t) override {}
    Reply input_port(unsigned) override { return {}; }
    Reply query_ef4() override { return {}; }
    void set_q() override {}
    void reset_q() override {}
    void console_write(uint8_t byte) override { benchmark::DoNotOptimize(byte); }
    std::optional<uint8_t> console_read_key() override { return 'k'; }
    bool interrupt_requested() override { return polls_left-- == 0; }
};

// On the 1805 (extended), with its timer counting.
void run_program(benchmark::State& bench, std::initializer_list<uint8_t> program, bool extended = false)
{
    auto memory = std::make_unique<Memory>();
    uint16_t address = 0;
    for (uint8_t byte : program)
        (*memory)[address++] = byte;
    uint64_t executed = 0;
    for (auto _ : bench) {
        MachineState state;
        state.R[1] = 0x1000;
        state.R[2] = 0x2000;
        if (extended)
            state.counter.mode = CounterMode::Timer;
        NullIo io;
        io.polls_left = 64;
        executed += run(state, *memory, io, ProtectedWindow{}, kNoLimit, extended).executed;
    }
    bench.counters["instructions/s"] = benchmark::Counter(static_cast<double>(executed), benchmark::Counter::kIsRate);
}

void RegisterAndBranch(benchmark::State& bench)
{
    run_program(bench, {0x27, 0x87, 0x3A, 0x00, 0x30, 0x00});  // DEC R7, GLO R7, BNZ 00, BR 00
}
BENCHMARK(RegisterAndBranch);

void MemoryCopy(benchmark::State& bench)
{
    run_program(bench, {0x41, 0xFC, 0x01, 0x52, 0x12, 0x30, 0x00});  // LDA R1, ADI 01, STR R2, INC R2, BR 00
}
BENCHMARK(MemoryCopy);

void Arithmetic(benchmark::State& bench)
{
    run_program(bench, {0xE1, 0xF4, 0x74, 0x75, 0x77, 0xF6, 0x7E, 0x30, 0x01});  // SEX 1, ADD, ADC, SDB, SMB, SHR, SHLC, BR 01
}
BENCHMARK(Arithmetic);

void LongBranchesAndSkips(benchmark::State& bench)
{
    run_program(bench, {0xC0, 0x00, 0x04, 0x00, 0xC8, 0x00, 0x00, 0xCE, 0xC4, 0xC4, 0x30, 0x00});  // LBR, NLBR, LSZ, NOP
}
BENCHMARK(LongBranchesAndSkips);

void ConsoleCharacterOut(benchmark::State& bench)
{
    run_program(bench, {0xF8, 0x41, 0x68, 0x01, 0x30, 0x02});  // LDI 'A'; loop: PUTC; BR loop
}
BENCHMARK(ConsoleCharacterOut);

// The 1802's loop on the 1805, whose every instruction the timer counts.
void RegisterAndBranchOn1805(benchmark::State& bench)
{
    run_program(bench, {0x27, 0x87, 0x3A, 0x00, 0x30, 0x00}, /*extended=*/true);
}
BENCHMARK(RegisterAndBranchOn1805);

void ExtendedInstructions(benchmark::State& bench)
{
    run_program(bench, {0x68, 0x27, 0x00, 0x00, 0x68, 0xFC, 0x01, 0x30, 0x00}, /*extended=*/true);  // DBNZ R7, DADI, BR
}
BENCHMARK(ExtendedInstructions);

void SingleSteps(benchmark::State& bench)
{
    auto memory = std::make_unique<Memory>();
    (*memory)[0] = 0x27;  // DEC R7
    (*memory)[1] = 0x30;  // BR 00
    MachineState state;
    NullIo io;
    for (auto _ : bench)
        benchmark::DoNotOptimize(execute_instruction(state, *memory, io));
}
BENCHMARK(SingleSteps);

}  // namespace
}  // namespace cosmac

BENCHMARK_MAIN();

// Random programs on each board, on the 1802 or the 1805, with keys on its
// serial line and a test device that raises the interrupt line and requests DMA
// at random cycles, run by the debugger in single steps and counted runs.
// Afterwards no address without memory holds anything but ff and no ROM byte
// has changed; then stepping back over everything must give each earlier state,
// and at last the first memory, exactly. (A run that starts asleep in an IDLE may begin with DMA cycles,
// which belong to the IDLE before it: its own start is not compared.)
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "board/board.hpp"
#include "board/serial_line.hpp"
#include "debug/debugger.hpp"
#include "fuzz_input.hpp"
#include "test_device.hpp"

namespace {

constexpr const char* kBoards[] = {"mcard", "elf2k", "picoelf", "elf"};
constexpr int kChunks = 24;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    using namespace cosmac;
    fuzzing::Input in{data, size};
    const uint8_t machine = in.byte();
    BoardDescription description = *board_named(kBoards[machine % 4]);
    const bool extended = machine & 4;  // the 1805's instruction set and counter
    description.devices.push_back({.name = "test device", .make = testing::make_test_device});
    Board board(description);
    testing::TestDevice& device = *board.device<testing::TestDevice>();
    BoardBus bus{.devices = &board, .map = &board.map()};

    MachineState state;
    for (auto& r : state.R)
        r = static_cast<uint16_t>(in.byte() << 8 | in.byte());
    state.D = in.byte();
    state.DF = in.byte() & 1;
    state.X = in.byte() & 0xF;
    state.T = in.byte();
    state.Q = in.byte() & 1;
    board.reset(state, bus);  // as the board starts: P = 0, IE = 1
    if (SerialLine* serial = board.device<SerialLine>()) {
        for (int key = in.byte() % 8; key > 0; --key)
            serial->queue_key(in.byte());
    }
    std::vector<std::pair<uint8_t, uint8_t>> events(kChunks);
    for (auto& [kind, when] : events) {
        kind = in.byte();
        when = in.byte();
    }

    static const auto memory = std::make_unique<Memory>();
    static const auto initial = std::make_unique<Memory>();
    in.fill_with_rest(*memory);
    board.clear_unmapped(*memory);
    *initial = *memory;

    // One debugger for each instruction set: its history is large, and each input
    // steps back over exactly what it did.
    static Debugger debugger_1802{ProtectedWindow{}};
    static Debugger debugger_1805{ProtectedWindow{}, /*extended=*/true};
    Debugger& debugger = extended ? debugger_1805 : debugger_1802;
    unsigned slices = 0;
    const BoardLink link{bus, [&] {
                             bus.pause_at = bus.cycles + 300;
                             return ++slices % 16 == 0;
                         }};
    std::vector<std::pair<uint64_t, std::optional<MachineState>>> done;  // instructions, and the state before them
    for (int chunk = 0; chunk < kChunks; ++chunk) {
        const auto [kind, when] = events[chunk];
        if (kind % 4 == 1)
            device.interrupt_at(bus.cycles + when);
        else if (kind % 4 == 2)
            device.dma_at(bus.cycles + when, 1 + kind / 4 % 4, kind & 0x80);
        const MachineState before = state;
        if (kind & 0x40) {
            debugger.step(state, *memory, bus);
            done.emplace_back(1, before);
        } else {
            const bool asleep = bus.idle;
            bus.pause_at = bus.cycles + 300;
            const DebugOutcome outcome = debugger.run(state, *memory, link, RunGoal::Count, 1 + when % 32);
            done.emplace_back(outcome.result.executed, asleep ? std::nullopt : std::optional(before));
        }
        if (!fuzzing::well_formed(state))
            std::abort();
    }

    for (std::size_t a = 0; a < memory->size(); ++a) {
        const Storage storage = board.storage(static_cast<uint16_t>(a));
        if ((storage == Storage::None && (*memory)[a] != 0xFF) ||
            (storage == Storage::Rom && (*memory)[a] != (*initial)[a]))
            std::abort();
    }
    for (auto step = done.rbegin(); step != done.rend(); ++step) {
        if (debugger.step_back(state, *memory, step->first) != step->first || (step->second && state != *step->second))
            std::abort();
    }
    if (*memory != *initial)
        std::abort();
    return 0;
}

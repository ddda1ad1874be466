// The debugger's history against every opcode: stepping back must undo exactly.
#include "monitor/debugger.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "scripted_io.hpp"

namespace cosmac::testing {
namespace {

TEST(Debugger, SteppingBackUndoesEveryOpcodeExactly)
{
    Debugger debugger{ProtectedWindow{}};
    std::mt19937 random(1802);
    const auto memory = std::make_unique<Memory>();
    const auto original = std::make_unique<Memory>();
    for (uint8_t& byte : *memory)
        byte = static_cast<uint8_t>(random());
    for (unsigned opcode = 0; opcode < 256; ++opcode) {
        for (int trial = 0; trial < 8; ++trial) {
            MachineState state;
            for (uint16_t& r : state.R)
                r = static_cast<uint16_t>(random());
            state.D = static_cast<uint8_t>(random());
            state.T = static_cast<uint8_t>(random());
            state.EF4 = static_cast<uint8_t>(random() % 3);
            state.P = random() & 0xF, state.X = random() & 0xF, state.N = random() & 0xF, state.I = random() & 0xF;
            state.DF = random() & 1, state.IE = random() & 1, state.Q = random() & 1;
            (*memory)[state.R[state.P]] = static_cast<uint8_t>(opcode);
            *original = *memory;
            const MachineState before = state;
            ScriptedIo io;
            io.replies = {{static_cast<uint8_t>(random()), false}};
            io.keys = {trial % 2 ? 0x03 : 'a'};

            debugger.step(state, *memory, io);
            const std::vector<HistoryStep> steps = debugger.recent(1, state);
            ASSERT_EQ(steps.size(), 1u);
            EXPECT_EQ(steps[0].before, before) << std::hex << opcode;
            EXPECT_EQ(steps[0].after, state) << std::hex << opcode;
            EXPECT_EQ(debugger.step_back(state, *memory, 1), 1u);
            EXPECT_EQ(state, before) << std::hex << opcode;
            EXPECT_TRUE(*memory == *original) << std::hex << opcode;
        }
    }
}

}  // namespace
}  // namespace cosmac::testing

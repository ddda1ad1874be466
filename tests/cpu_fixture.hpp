// The console machine's processor for a table of instruction cases: P = 0,
// R0 = 0100, X = 1 and R1 = 0200 (so M(R(X)) is M(0200)), all else 0, against a
// scripted I/O; step() executes one instruction, of the 1805's set where
// extended is set.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "cpu/executor.hpp"
#include "cpu/machine_state.hpp"
#include "scripted_io.hpp"

namespace cosmac::testing {

inline constexpr uint16_t kStart = 0x0100;

class CpuFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        s = MachineState{};
        m.fill(0);
        s.R[0] = kStart;
        s.X = 1;
        s.R[1] = 0x0200;
        io = ScriptedIo{};
    }
    StepResult step() { return execute_instruction(s, m, io, window, extended); }

    MachineState s;
    std::unique_ptr<Memory> memory = std::make_unique<Memory>();
    Memory& m = *memory;
    ScriptedIo io;
    ProtectedWindow window;
    bool extended = false;
};

}  // namespace cosmac::testing

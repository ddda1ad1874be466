// A HostIo that plays back scripted replies and keys and records what the
// executor asked of it, for unit tests of the processor.
#pragma once

#include <cstdio>
#include <deque>
#include <string>

#include "cpu/host_io.hpp"

namespace cosmac::testing {

struct ScriptedIo final : HostIo {
    std::deque<Reply> replies;                // answers to INP and EF4, in order; an empty reply when none is left
    std::deque<std::optional<uint8_t>> keys;  // keys for the console service; empty = no key to be had
    std::string log;                          // everything the machine showed, in order
    bool interrupt = false;  // the executor fuzz target's instruction budget: a run ends at its first poll

    void output_port(unsigned port, uint8_t value) override
    {
        char text[16];
        std::snprintf(text, sizeof text, "OUT %u %02x\n", port, value);
        log += text;
    }
    Reply input_port(unsigned port) override
    {
        log += "INP " + std::to_string(port) + " ?";
        return next(replies);
    }
    Reply query_ef4() override
    {
        log += "EF4 ?";
        return next(replies);
    }
    void set_q() override { log += "Q1\n"; }
    void reset_q() override { log += "Q0\n"; }
    void console_write(uint8_t byte) override { log += static_cast<char>(byte); }
    std::optional<uint8_t> console_read_key() override { return next(keys); }
    bool interrupt_requested() override { return interrupt; }

private:
    template <class T>
    static T next(std::deque<T>& queue)
    {
        if (queue.empty())
            return T{};
        T front = queue.front();
        queue.pop_front();
        return front;
    }
};

}  // namespace cosmac::testing

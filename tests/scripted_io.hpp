// A HostIo that plays back scripted replies and keys and records what the
// executor asked of it, for unit tests of the processor.
#pragma once

#include <cstdio>
#include <deque>
#include <string>

#include "cpu/host_io.hpp"

namespace cosmac::testing {

struct ScriptedIo final : HostIo {
    std::deque<Reply> replies;            // answers to INP and EF4, in order; an empty reply when none is left
    std::deque<std::optional<uint8_t>> keys;  // keys for the console service; empty = no key to be had
    std::string log;                      // everything the machine showed, in order
    unsigned interrupt_after_polls = 0;   // 0: never interrupt
    unsigned polls = 0;

    void output_port(unsigned port, uint8_t value) override { record("OUT %u %02x\n", port, value); }
    Reply input_port(unsigned port) override
    {
        record("INP %u ?", port);
        return next_reply();
    }
    Reply query_ef4() override
    {
        log += "EF4 ?";
        return next_reply();
    }
    void set_q() override { log += "Q1\n"; }
    void reset_q() override { log += "Q0\n"; }
    void console_write(uint8_t byte) override { log += static_cast<char>(byte); }
    std::optional<uint8_t> console_read_key() override
    {
        if (keys.empty())
            return std::nullopt;
        const auto key = keys.front();
        keys.pop_front();
        return key;
    }
    bool interrupt_requested() override { return interrupt_after_polls != 0 && ++polls >= interrupt_after_polls; }

private:
    Reply next_reply()
    {
        if (replies.empty())
            return {};
        const Reply reply = replies.front();
        replies.pop_front();
        return reply;
    }
    void record(const char* format, unsigned a, unsigned b = 0)
    {
        char text[32];
        std::snprintf(text, sizeof text, format, a, b);
        log += text;
    }
};

}  // namespace cosmac::testing

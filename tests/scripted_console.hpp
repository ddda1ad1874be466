// A Console on strings: standard input is given up front, output is collected.
#pragma once

#include <string>

#include "monitor/console.hpp"

namespace cosmac::testing {

class ScriptedConsole final : public Console {
public:
    explicit ScriptedConsole(std::string input) : Console(/*unbuffered=*/true), input_(std::move(input)) {}

    bool read_line(std::string_view prompt, std::string& line, bool) override
    {
        write(prompt);
        if (position_ >= input_.size())
            return false;
        const std::size_t newline = input_.find('\n', position_);
        const std::size_t end = newline == std::string::npos ? input_.size() : newline;
        line.assign(input_, position_, end - position_);
        position_ = newline == std::string::npos ? end : end + 1;
        return true;
    }
    std::optional<uint8_t> read_key() override
    {
        if (position_ >= input_.size())
            return std::nullopt;
        return static_cast<uint8_t>(input_[position_++]);
    }
    void write_error(std::string_view text) override { err.append(text); }
    void give_back(std::string_view input) override { input_.insert(position_, input); }
    void begin_run() override { polls_ = 0; }
    void end_run() override {}
    // Interrupts a run after polls_per_run looks, 0 for never: the same path as
    // Control-C, used as an instruction budget.
    bool interrupt_requested() override { return polls_per_run != 0 && ++polls_ >= polls_per_run; }

    std::string out;
    std::string err;
    unsigned polls_per_run = 0;

private:
    void deliver(std::string_view text) override { out.append(text); }

    std::string input_;
    std::size_t position_ = 0;
    unsigned polls_ = 0;
};

}  // namespace cosmac::testing

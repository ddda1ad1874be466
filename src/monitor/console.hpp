// The user's console: command and reply lines, single keys, and everything shown.
// The monitor talks to a Console; the real one sits on the process's standard
// streams, tests and the fuzzer script their own.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "monitor/line_editor.hpp"

namespace cosmac {

class Console {
public:
    virtual ~Console() = default;

    // Shows the prompt, then reads one line without its newline, whatever its
    // length. False when input has ended, or when the user interrupted a run
    // while the line was awaited. A command line is one typed at the monitor's
    // prompt, which a terminal remembers across sessions.
    virtual bool read_line(std::string_view prompt, std::string& line, bool command) = 0;

    // Control-C at the monitor's prompt ends the program, as in the plain
    // monitor, unless the monitor has it cancel the command line being typed
    // instead: the text is dropped and the prompt shown again on a new line.
    virtual void cancel_command_lines_on_interrupt(bool /*cancel*/) {}

    // One key, unechoed and without waiting for Enter; empty when none can be had.
    virtual std::optional<uint8_t> read_key() = 0;

    // Output is collected here and handed on by flush: at once when the console
    // shows everything as it is written, otherwise in large pieces. The console
    // service writes one character per instruction, so this path stays inline.
    void write(std::string_view text)
    {
        while (!text.empty()) {
            const std::size_t n = std::min(text.size(), output_.size() - used_);
            std::memcpy(output_.data() + used_, text.data(), n);
            used_ += n;
            text.remove_prefix(n);
            if (used_ == output_.size())
                flush();
        }
        if (unbuffered_)
            flush();
        text_end_ = written();
    }
    void write_char(char c)
    {
        output_.data()[used_++] = c;  // the flush below keeps used_ inside the buffer
        if (unbuffered_ || used_ == output_.size())
            flush();
    }
    void flush()
    {
        if (used_ > 0) {
            last_delivered_ = output_[used_ - 1];
            delivered_ += used_;
            deliver(std::string_view(output_.data(), used_));
        }
        used_ = 0;
    }

    // True when the newest output is characters that a program wrote one at a
    // time and they left their line open; a reply read since then has ended it.
    bool character_line_open() const
    {
        const char last = used_ > 0 ? output_[used_ - 1] : last_delivered_;
        return written() != text_end_ && last != '\n';
    }
    void line_ended() { text_end_ = written(); }

    virtual void write_error(std::string_view text) = 0;

    // Between begin_run and end_run the user may interrupt (Control-C on a
    // terminal) without ending the program; interrupt_requested tells whether
    // they did.
    virtual void begin_run() = 0;
    virtual void end_run() = 0;
    virtual bool interrupt_requested() = 0;

    // A board's terminal: true when keys are typed live as a program runs, in
    // which case hold_raw keeps the terminal raw for the whole run, until
    // release_raw, and poll_key takes a key only if one is there. Otherwise keys
    // are read ahead with read_key. Output stays cooked ("\n" as "\r\n") unless
    // raw_output.
    virtual bool live() const { return false; }
    virtual void hold_raw(bool /*raw_output*/) {}
    virtual void release_raw() {}
    virtual std::optional<uint8_t> poll_key() { return std::nullopt; }
    // Input read ahead that was not used goes back, to be read again next.
    virtual void give_back(std::string_view input) = 0;
    // The terminal's title, where there is a terminal that shows one.
    virtual void show_title(std::string_view /*title*/) {}

protected:
    explicit Console(bool unbuffered) : unbuffered_(unbuffered) {}
    virtual void deliver(std::string_view text) = 0;

private:
    uint64_t written() const { return delivered_ + used_; }

    std::array<char, 1 << 16> output_;
    std::size_t used_ = 0;
    bool unbuffered_;
    uint64_t delivered_ = 0;     // bytes handed on by flush
    char last_delivered_ = '\n';
    uint64_t text_end_ = 0;      // where the last text (not single characters) ended
};

// The console on standard input, output and error. On a terminal everything
// written shows at once; otherwise output is buffered and flushed before every
// read of standard input and when the console is destroyed.
class StandardConsole final : public Console {
public:
    StandardConsole();
    ~StandardConsole() override;
    StandardConsole(const StandardConsole&) = delete;
    StandardConsole& operator=(const StandardConsole&) = delete;

    bool read_line(std::string_view prompt, std::string& line, bool command) override;
    void cancel_command_lines_on_interrupt(bool cancel) override { cancel_command_lines_ = cancel; }
    std::optional<uint8_t> read_key() override;
    void write_error(std::string_view text) override;
    void begin_run() override;
    void end_run() override;
    bool interrupt_requested() override;
    bool live() const override { return input_is_terminal_; }
    void hold_raw(bool raw_output) override;
    void release_raw() override;
    std::optional<uint8_t> poll_key() override;
    void give_back(std::string_view input) override;
    void show_title(std::string_view title) override;

private:
    void deliver(std::string_view text) override;

    enum class Fill { Data, End, Interrupted };
    Fill fill_input();
    std::optional<uint8_t> next_input_byte();
    bool read_typed_line(std::string_view prompt, std::string& line, bool command);
    bool read_buffered_line(std::string& line);
    bool read_edited_line(std::string_view prompt, std::string& line, bool command);

    bool input_is_terminal_;
    // Standard input, or on a terminal a description of its own that never
    // blocks: Control-C empties the terminal's input, so input that poll saw
    // waiting may be gone by the read that follows.
    int input_fd_;
    bool titled_;  // standard error is a terminal that shows a title
    bool cancel_command_lines_ = false;
    std::unique_ptr<LineEditor> editor_;  // on a terminal that can edit
    std::string input_;
    std::size_t input_position_ = 0;
    bool input_ended_ = false;
};

}  // namespace cosmac

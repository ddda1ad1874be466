// The executor's only way out of the processor: the machine has no peripherals, so
// its ports, EF4 line, Q output and the console service (opcode 68) are served by
// whoever runs it. The monitor serves them on the console; tests script them.
#pragma once

#include <cstdint>
#include <optional>

namespace cosmac {

// Cancel: the instruction did not happen (a reply it needed was cut off), and runs
// again next time.
enum class StepResult : uint8_t { Continue, Stop, Cancel };

// A reply typed for INP or EF4. value is empty when the reply held no number;
// stop asks the executor to end a run after this instruction, because input
// ended; interrupted, because the user interrupted while the reply was awaited.
// An INP whose reply was interrupted or ended without a number is cancelled, as
// is a branch on EF4 whose reply was interrupted: the instruction changes nothing
// and runs again next time.
struct Reply {
    std::optional<uint8_t> value;
    bool stop = false;
    bool interrupted = false;
};

class HostIo {
public:
    virtual ~HostIo() = default;

    virtual void output_port(unsigned port, uint8_t value) = 0;
    virtual Reply input_port(unsigned port) = 0;
    virtual Reply query_ef4() = 0;
    virtual void set_q() = 0;
    virtual void reset_q() = 0;

    // The console service: one byte to the user's screen, one key from the keyboard
    // (empty when no key can be had any more, which the program sees as Control-C).
    virtual void console_write(uint8_t byte) = 0;
    virtual std::optional<uint8_t> console_read_key() = 0;

    // Polled now and then by a run; true ends the run as a stop result would.
    virtual bool interrupt_requested() = 0;
};

}  // namespace cosmac

#pragma once

#include "cpu/host_io.hpp"
#include "monitor/console.hpp"

namespace cosmac {

// The simulated machine's ports, EF4, Q and console service, served on the console:
// the user reads the output ports and types the input ports and EF4.
class ConsoleIo final : public HostIo {
public:
    explicit ConsoleIo(Console& console) : console_(console) {}

    void output_port(unsigned port, uint8_t value) override;
    Reply input_port(unsigned port) override;
    Reply query_ef4() override;
    void set_q() override;
    void reset_q() override;
    void console_write(uint8_t byte) override;
    std::optional<uint8_t> console_read_key() override;
    bool interrupt_requested() override;

private:
    Reply ask(std::string_view prompt);

    Console& console_;
    std::string reply_;
};

}  // namespace cosmac

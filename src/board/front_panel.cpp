#include "board/front_panel.hpp"

namespace cosmac {

FrontPanel::FrontPanel(unsigned port, unsigned ef_line, uint64_t clock_hz)
    : port_(port), ef_line_(ef_line), clock_hz_(clock_hz)
{
}

Wiring FrontPanel::wiring() const
{
    const auto port_bit = static_cast<uint8_t>(1u << port_);
    return {.output_ports = port_bit,
            .input_ports = port_bit,
            .ef_lines = static_cast<uint8_t>(1u << (ef_line_ - 1)),
            .q = false};
}

void FrontPanel::output(unsigned, uint8_t value, uint64_t) { leds = value; }

uint8_t FrontPanel::input(unsigned, uint64_t) { return switches; }

bool FrontPanel::ef(unsigned, uint64_t cycle) { return in_down(cycle); }

std::unique_ptr<Device> make_front_panel(const DeviceRow& row, uint64_t clock_hz)
{
    return std::make_unique<FrontPanel>(row.port, row.ef_line, clock_hz);
}

}  // namespace cosmac

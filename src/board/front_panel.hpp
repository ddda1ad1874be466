// The front panel of an Elf: eight LEDs (or a hex display) on an output port,
// eight toggle switches on the same input port, and the IN button on an EF line.
// Q drives an LED of its own, which the processor's state shows.
#pragma once

#include <cstdint>
#include <memory>

#include "board/device.hpp"

namespace cosmac {

class FrontPanel final : public Device {
public:
    FrontPanel(unsigned port, unsigned ef_line, uint64_t clock_hz);

    Wiring wiring() const override;
    void output(unsigned port, uint8_t value, uint64_t cycle) override;
    uint8_t input(unsigned port, uint64_t cycle) override;
    bool ef(unsigned line, uint64_t cycle) override;

    uint8_t leds = 0;
    uint8_t switches = 0;
    bool in_button = false;  // held down

    // IN pressed now and let go after 100 ms of the board's time.
    void press_in(uint64_t cycle) { in_released_at_ = cycle + clock_hz_ / 80; }
    bool in_down(uint64_t cycle) const { return in_button || cycle < in_released_at_; }

private:
    unsigned port_;
    unsigned ef_line_;
    uint64_t clock_hz_;
    uint64_t in_released_at_ = 0;
};

std::unique_ptr<Device> make_front_panel(const DeviceRow& row, uint64_t clock_hz);

}  // namespace cosmac

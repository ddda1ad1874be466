// A board's bit-banged serial line, timed in machine cycles: keys go to the
// program on an EF line, and what the program sends on Q is decoded into bytes.
//
// A character is a start bit (space), 8 data bits least significant first
// (1 = mark) and 2 stop bits (mark); the line rests at mark. A bit lasts
// clock / 8 / baud machine cycles, kept as an exact fraction: times here are in
// units of 1 / (16 * baud) machine cycles, in which a bit is 2 * clock_hz units,
// so half bits are whole numbers too.
//
// The line answers only when it is asked, so it works its state out from the
// cycle of each access and needs no events of its own.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "board/device.hpp"

namespace cosmac {

struct SerialSettings {
    unsigned ef_line = 3;     // the receive line, 1-4
    bool rx_invert{};         // the EF flag is 1 during a space unless inverted
    bool tx_invert{};         // Q = 1 is mark unless inverted
    uint32_t baud = 1200;
    uint64_t clock_hz = 1790000;
};

class SerialLine final : public Device {
public:
    using Sink = std::function<void(uint8_t)>;

    explicit SerialLine(const SerialSettings& settings, Sink received = {});

    const SerialSettings& settings() const { return settings_; }
    // Where the bytes the program sends go.
    void set_receiver(Sink received) { received_ = std::move(received); }

    // A key waits until the program is ready for it; a BREAK holds the line at
    // space for two character times.
    void queue_key(uint8_t key) { keys_.push_back(key); }
    void queue_break() { keys_.push_back(kBreak); }
    std::size_t keys_waiting() const { return keys_.size(); }
    // The keys that have not started on the line, taken off it, in order; a
    // BREAK is empty.
    std::vector<std::optional<uint8_t>> take_unsent_keys();

    Wiring wiring() const override;
    void reset(uint64_t cycle, bool q) override;

    // The receive line's EF flag, read by a branch at this cycle. A waiting key
    // starts there when the line has rested at mark, and Q has not changed, for
    // two character times, and 100 ms have passed since the reset.
    bool ef(unsigned line, uint64_t cycle) override;
    void q_changed(bool q, uint64_t cycle) override;

    // Decodes what the program sent up to this cycle.
    void advance(uint64_t cycle);

    // The first cycle from which nothing will have been sent or received for
    // this many machine cycles, if the program sends nothing more and no key
    // waits: kNever while one does.
    uint64_t quiet_from(uint64_t cycles) const;
    // The last cycle in which the program tested its receive line.
    uint64_t last_tested() const { return last_tested_; }

    unsigned framing_errors() const { return framing_errors_; }

private:
    static constexpr int kBreak = -1;

    uint64_t at(uint64_t cycle) const { return cycle * 16 * settings_.baud; }
    uint64_t bit() const { return 2 * settings_.clock_hz; }
    uint64_t character() const { return 11 * bit(); }
    bool q_is_mark(bool q) const { return q != settings_.tx_invert; }
    uint64_t next_sample() const { return tx_start_ + 3 * settings_.clock_hz + tx_samples_ * bit(); }
    void decode_until(uint64_t time, bool inclusive);

    SerialSettings settings_;
    Sink received_;
    std::deque<int> keys_;

    // reset() sets the line's times and states, and each character its own fields,
    // before anything reads them. Receiving: the character on the line, from
    // rx_start_ to rx_end_.
    uint64_t reset_at_{};
    int rx_key_{};
    uint64_t rx_start_{};
    uint64_t rx_end_{};
    bool rx_busy_{};
    uint64_t q_changed_at_{};
    uint64_t last_tested_{};

    // Transmitting: the program's Q, decoded as a terminal's UART does. An edge
    // from mark to space starts a character; after a stop bit found at space,
    // the next character needs Q back at mark first.
    bool tx_mark_{};
    bool tx_busy_{};
    uint64_t tx_start_{};
    unsigned tx_samples_{};  // taken of the character's 9 (8 data bits and a stop bit)
    uint8_t tx_byte_{};
    uint64_t last_activity_{};
    unsigned framing_errors_ = 0;
};

std::unique_ptr<Device> make_serial_line(const DeviceRow& row, uint64_t clock_hz);

}  // namespace cosmac

// A board's bit-banged serial line, timed in machine cycles: keys go to the
// program on an EF line, and what the program sends on Q is decoded into bytes.
//
// A character is a start bit (space), 8 data bits least significant first
// (1 = mark) and 2 stop bits (mark); the line rests at mark. A bit lasts
// clock / 8 / baud machine cycles, kept as an exact fraction: times here are in
// units of 1 / (16 * baud) machine cycles, in which a bit is 2 * clock_hz units,
// so half bits are whole numbers too.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>

namespace cosmac {

struct SerialSettings {
    unsigned ef_line = 3;     // the receive line, 1-4
    bool rx_invert{};         // the EF flag is 1 during a space unless inverted
    bool tx_invert{};         // Q = 1 is mark unless inverted
    uint32_t baud = 1200;
    uint64_t clock_hz = 1790000;
};

class SerialLine {
public:
    using Sink = std::function<void(uint8_t)>;

    SerialLine(const SerialSettings& settings, Sink received);

    const SerialSettings& settings() const { return settings_; }

    // A key waits until the program is ready for it; a BREAK holds the line at
    // space for two character times.
    void queue_key(uint8_t key) { keys_.push_back(key); }
    void queue_break() { keys_.push_back(kBreak); }
    bool keys_waiting() const { return !keys_.empty(); }

    // Power-on or reset at this cycle, with Q at this level.
    void reset(uint64_t cycle, bool q);

    // The receive line's EF flag, read by a branch at this cycle. A waiting key
    // starts there when the line has rested at mark, and Q has not changed, for
    // two character times, and 100 ms have passed since the reset.
    bool ef(uint64_t cycle);

    void q_changed(bool q, uint64_t cycle);

    // Decodes what the program sent up to this cycle.
    void advance(uint64_t cycle);

    // Nothing has been sent or received for this many machine cycles, no key
    // waits and none is on the line.
    bool quiet(uint64_t cycle, uint64_t cycles) const;

    unsigned framing_errors() const { return framing_errors_; }

private:
    static constexpr int kBreak = -1;

    uint64_t at(uint64_t cycle) const { return cycle * 16 * settings_.baud; }
    uint64_t bit() const { return 2 * settings_.clock_hz; }
    uint64_t character() const { return 11 * bit(); }
    bool q_is_mark(bool q) const { return q != settings_.tx_invert; }
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

    // Transmitting: the program's Q, decoded.
    bool tx_mark_{};
    uint64_t tx_mark_since_{};
    bool tx_listening_{};  // once Q has rested at mark for a character time
    bool tx_busy_{};
    uint64_t tx_start_{};
    unsigned tx_samples_{};  // taken of the character's 9 (8 data bits and a stop bit)
    uint8_t tx_byte_{};
    uint64_t last_activity_{};
    unsigned framing_errors_ = 0;
};

}  // namespace cosmac

// The debugger's history: an undo log of the last kCapacity executed
// instructions, and on a board of its DMA cycles. Each record holds the bytes
// that ran and what the instruction was about to overwrite, in 24 bytes: besides
// R(P), an instruction changes at most the registers R(N), R(X) and R(2), D, DF,
// P, X, N, I and one memory byte, and a few instructions T, IE, Q or the EF flags
// as well (changes_rare_fields). On a board every record holds those too, since
// an interrupt taken after any instruction changes T and IE, and its branches
// read EF1-EF3. A DMA cycle changes R0 and, for DMA in, one memory byte: its
// record is an instruction's whose N is 0. Stepping back replays the records
// in reverse; the full states before and after each one are rebuilt the same
// way from the state that followed them.
//
// On the 1804/1805/1806 every record has a wide one beside it (WideRecord): the
// counter may change with any instruction, and SCAL, RSXD and DSAV store more
// than one byte. Only a history of those chips pays for them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "cpu/disassembler.hpp"
#include "cpu/machine_state.hpp"

namespace cosmac {

// What a record is of.
enum class RecordKind : uint8_t { Instruction, DmaIn, DmaOut };

struct HistoryRecord {
    static constexpr uint8_t kDF = 1, kIE = 2, kQ = 4, kHasStore = 8, kDropped = 16, kHasAfter = 32, kRare = 64,
                             kLines = 128;

    uint16_t pc;   // R(P) before the fetch
    uint16_t r_n;  // R(N), R(X) and R(2) before the instruction; where one of them was
    uint16_t r_x;  // R(P) it may be stale, which R(P) = pc, restored last, makes right
    uint16_t r_2;
    uint16_t store_address;
    uint8_t opcode;
    // The bytes after the opcode as it ran, since code may change them later;
    // the third is kept on the extended set only, the 1802 having no use for it.
    std::array<uint8_t, 3> operands;
    uint8_t p_x;   // P in the high nibble, X in the low
    uint8_t i_n;   // I in the high nibble, N in the low
    uint8_t D;
    uint8_t T, EF4;    // with IE and Q, only when kRare is set
    uint8_t ef_1_2_3;  // a board's EF1, EF2 and EF3 in bits 0-2, only when kLines is set
    uint8_t bits;      // DF, IE and Q, then what the record holds
    uint8_t old_byte;  // what the store overwrote
    uint8_t new_byte;  // what it stored, or would have; what DMA out sent
    RecordKind kind;

    uint8_t P() const { return p_x >> 4; }
    uint8_t X() const { return p_x & 0xF; }
    bool has_store() const { return bits & kHasStore; }
    bool dropped() const { return bits & kDropped; }  // by the protected window
    bool has_after() const { return bits & kHasAfter; }  // the last of a run: its after state is kept apart
    bool is_instruction() const { return kind == RecordKind::Instruction; }
    bool on_board() const { return bits & kLines; }
    InstructionBytes bytes() const { return {opcode, operands[0], operands[1], operands[2]}; }
};
static_assert(sizeof(HistoryRecord) == 24);

// The rest of a record on the extended set: the whole state before it, and the
// stores after its first, in order.
struct WideRecord {
    struct Store {
        uint16_t address;
        uint8_t old_byte;
        uint8_t new_byte;
        bool lands;
    };

    MachineState before;
    std::array<Store, 2> more_stores;
    uint8_t more = 0;
};

// One instruction of the history as it ran; wide is null off the extended set.
struct HistoryStep {
    const HistoryRecord* record;
    MachineState before;
    MachineState after;
    const WideRecord* wide = nullptr;
};

class History {
public:
    // A power of two, so that a ring index that wraps below 0 still lands right.
    static constexpr std::size_t kCapacity = 65536;
    static_assert((kCapacity & (kCapacity - 1)) == 0);

    explicit History(bool extended = false) : records_(kCapacity), after_(kCapacity), wide_(extended ? kCapacity : 0)
    {
    }

    // A run writes its records straight into the ring from the next slot on,
    // overwriting the oldest when it is full, then says how many it wrote and
    // the state it left the machine in; on the extended set, the wide records
    // into their ring at the same slots.
    HistoryRecord* ring() { return records_.data(); }
    WideRecord* wide_ring() { return wide_.empty() ? nullptr : wide_.data(); }
    uint32_t next_slot() const { return static_cast<uint32_t>(next_); }
    void recorded(uint64_t count, const MachineState& state);

    const HistoryRecord& newest() const { return records_[index(0)]; }
    uint32_t newest_slot() const { return static_cast<uint32_t>(index(0)); }
    void forget() { size_ = 0; }
    std::size_t size() const { return size_; }

    // Undoes the newest record on the machine and forgets it.
    void undo(MachineState& state, Memory& memory);
    // Undoes the newest instruction, and the DMA cycles that followed it; false
    // when there is none left.
    bool undo_instruction(MachineState& state, Memory& memory);

    // The newest count records, oldest first, rebuilt back from the state that
    // followed the newest.
    std::vector<HistoryStep> recent(std::size_t count, const MachineState& current) const;

    // The P that the running code was called from by a plain SEP, as far as the
    // history reaches back; empty when it was not called so (a main program).
    std::optional<uint8_t> calling_p() const;

private:
    void end_run(const MachineState& state);
    std::size_t index(std::size_t age) const { return (next_ - 1 - age) % kCapacity; }

    std::vector<HistoryRecord> records_;
    std::vector<MachineState> after_;  // written only at the end of a run
    std::vector<WideRecord> wide_;
    std::size_t next_ = 0;
    std::size_t size_ = 0;
};

// MARK (T), DIS (IE), SEQ and REQ (Q), B4 and BN4 (EF4): the only instructions
// that change T, IE, Q or EF4.
constexpr bool changes_rare_fields(uint8_t opcode)
{
    return (opcode & 0xF7) == 0x37 || opcode == 0x71 || opcode == 0x79 || opcode == 0x7A || opcode == 0x7B;
}

// The state before the record's instruction, from the state after it; a wide
// record holds it whole.
void restore_registers(MachineState& state, const HistoryRecord& record, const WideRecord* wide);

}  // namespace cosmac

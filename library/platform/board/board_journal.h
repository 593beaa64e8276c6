// The board journal: an ordered, field-stamped record of everything that reaches the board.
//
// Device requests with their bytes, keyframe records sent to the mixer's units, stills,
// filter state changes, register writes and the field interrupts all land here, each with the
// field of the board's clock it arrived in and a sequence number. Tests assert on the journal
// first (what reached the board, on which field, with which bytes) and only then on pictures;
// people read its text dump.
//
// The journal keeps at most `capacity` entries (the oldest go first, and are counted), so a
// host running for hours does not grow without bound; tests of long runs read it as they go.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/zorvik_api.h"

namespace zk {

enum class JournalKind : int {
    DeviceRequest, // an I/O control request to a device: code, input bytes
    Interrupt,     // a field interrupt delivered to the armed clients: code = field parity
    Keyframe,      // a record sent to a unit of the mixer
    Still,         // a picture written to or read from a channel
    StateChange,   // a filter or unit changed state (run, pause, stop, freeze, connect...)
    Register,      // a register write of a board device: code = register, bytes = value
    Note,          // anything else worth seeing in the dump
};

ZORVIK_API const char* journal_kind_name(JournalKind kind);

struct JournalEntry {
    std::uint64_t seq = 0;
    long long field = 0; // the board's field index when the entry arrived
    JournalKind kind = JournalKind::Note;
    std::string target;  // the device, unit or filter it reached
    std::uint32_t code = 0;
    std::vector<std::uint8_t> bytes;
    std::string text;    // a short description
    bool ok = true;      // whether the board accepted it
};

class ZORVIK_API BoardJournal {
public:
    explicit BoardJournal(size_t capacity = size_t{1} << 21) : capacity_(capacity) {}

    // Appends, stamping the sequence number; gives it.
    std::uint64_t record(JournalEntry entry);
    // Marks an entry recorded earlier as refused (a request journalled before it was handled).
    void refuse(std::uint64_t seq);

    std::vector<JournalEntry> entries() const;
    std::vector<JournalEntry> entries(JournalKind kind) const;
    std::vector<JournalEntry> since(std::uint64_t seq) const;
    std::vector<JournalEntry> where(const std::function<bool(const JournalEntry&)>& keep) const;
    // The sequence number the next entry will get: a mark for since().
    std::uint64_t mark() const;
    size_t dropped() const;
    void clear();

    // One line per entry: "f<field> #<seq> <kind> <target> 0x<code> [<bytes in hex>] <text>".
    std::string dump() const;
    static std::string format(const JournalEntry& entry);

private:
    mutable std::mutex lock_;
    std::vector<JournalEntry> entries_;
    size_t capacity_;
    size_t dropped_ = 0;
    std::uint64_t next_seq_ = 1;
};

} // namespace zk

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

#include <atomic>
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
    GraphicsWrite, // rows written into the graphics frame buffer's memory by the host:
                   // code = fields (1 first, 2 second, 0 both), bytes = the words
                   // {area top line, x, y, width, rows written, checksum of the pixels or 0}
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

    // Whether writes of pixels carry a checksum of what was written (off by default: it costs
    // a pass over the pixels; tests that follow pictures field by field turn it on).
    void set_pixel_checksums(bool on) { pixel_checksums_.store(on); }
    bool pixel_checksums() const { return pixel_checksums_.load(); }

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
    std::atomic<bool> pixel_checksums_{false};
};

// For the classes above the board that may not name it (the on-air graph): append to the
// current board's journal, stamped with its field; whether it wants pixel checksums.
ZORVIK_API std::uint64_t journal_on_board(JournalKind kind, std::string target, std::uint32_t code, const void* bytes,
                                          size_t size, std::string text = {});
ZORVIK_API bool board_journals_pixels();

// The checksum journalled for written pixels: FNV-1a over the bytes, 32 bits, carried on from
// `seed` so several rows make one sum.
ZORVIK_API std::uint32_t pixel_checksum(const void* bytes, size_t size, std::uint32_t seed = 2166136261u);

} // namespace zk

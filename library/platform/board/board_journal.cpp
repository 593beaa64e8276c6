// The board journal's storage and text form.
#include "platform/board/board_journal.h"

#include <algorithm>
#include <cstdio>

namespace zk {

const char* journal_kind_name(JournalKind kind)
{
    switch (kind) {
    case JournalKind::DeviceRequest:
        return "request";
    case JournalKind::Interrupt:
        return "interrupt";
    case JournalKind::Keyframe:
        return "keyframe";
    case JournalKind::Still:
        return "still";
    case JournalKind::StateChange:
        return "state";
    case JournalKind::Register:
        return "register";
    case JournalKind::Note:
        return "note";
    case JournalKind::GraphicsWrite:
        return "gfb-write";
    }
    return "?";
}

std::uint64_t BoardJournal::record(JournalEntry entry)
{
    std::lock_guard<std::mutex> guard(lock_);
    entry.seq = next_seq_++;
    if (capacity_ > 0 && entries_.size() >= capacity_) {
        // Drop the older half at once rather than one entry per record.
        const size_t drop = entries_.size() - capacity_ / 2;
        entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(drop));
        dropped_ += drop;
    }
    entries_.push_back(std::move(entry));
    return entries_.back().seq;
}

void BoardJournal::refuse(std::uint64_t seq)
{
    std::lock_guard<std::mutex> guard(lock_);
    auto it = std::lower_bound(entries_.begin(), entries_.end(), seq,
                               [](const JournalEntry& e, std::uint64_t s) { return e.seq < s; });
    if (it != entries_.end() && it->seq == seq) it->ok = false;
}

std::vector<JournalEntry> BoardJournal::entries() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return entries_;
}

std::vector<JournalEntry> BoardJournal::entries(JournalKind kind) const
{
    return where([kind](const JournalEntry& e) { return e.kind == kind; });
}

std::vector<JournalEntry> BoardJournal::since(std::uint64_t seq) const
{
    return where([seq](const JournalEntry& e) { return e.seq >= seq; });
}

std::vector<JournalEntry> BoardJournal::where(const std::function<bool(const JournalEntry&)>& keep) const
{
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<JournalEntry> out;
    for (const JournalEntry& e : entries_) {
        if (keep(e)) out.push_back(e);
    }
    return out;
}

std::uint64_t BoardJournal::mark() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return next_seq_;
}

size_t BoardJournal::dropped() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return dropped_;
}

void BoardJournal::clear()
{
    std::lock_guard<std::mutex> guard(lock_);
    entries_.clear();
}

std::string BoardJournal::format(const JournalEntry& e)
{
    char head[96];
    std::snprintf(head, sizeof head, "f%lld #%llu %s ", e.field, static_cast<unsigned long long>(e.seq),
                  journal_kind_name(e.kind));
    std::string line = head;
    line += e.target.empty() ? "-" : e.target;
    char code[16];
    std::snprintf(code, sizeof code, " 0x%X", static_cast<unsigned>(e.code));
    line += code;
    if (!e.bytes.empty()) {
        line += " [";
        // Long payloads (pictures) are shown by their size and first bytes only.
        const size_t shown = e.bytes.size() > 72 ? 16 : e.bytes.size();
        for (size_t i = 0; i < shown; ++i) {
            char b[4];
            std::snprintf(b, sizeof b, "%02x", e.bytes[i]);
            if (i && i % 4 == 0) line += ' ';
            line += b;
        }
        if (shown < e.bytes.size()) line += " ... (" + std::to_string(e.bytes.size()) + " bytes)";
        line += "]";
    }
    if (!e.ok) line += " refused";
    if (!e.text.empty()) line += " " + e.text;
    return line;
}

std::string BoardJournal::dump() const
{
    std::string out;
    for (const JournalEntry& e : entries()) {
        out += format(e);
        out += '\n';
    }
    return out;
}

std::uint32_t pixel_checksum(const void* bytes, size_t size, std::uint32_t seed)
{
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    std::uint32_t h = seed;
    for (size_t i = 0; i < size; ++i) {
        h ^= p[i];
        h *= 16777619u;
    }
    return h;
}

} // namespace zk

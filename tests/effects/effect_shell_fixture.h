// Shared set-up of the effect controllers' tests: a board on a hand-stepped clock with the
// registry's built-in installation and an effects graph built on it (its graphics device
// mapped), pixel checksums in the journal (the vertical-sync thread is played by
// zt::FieldHarness, onair/gfb_fixture.h, with the controllers' per-field calls as its step),
// the texts reported through the library's message sink, and the field writes the journal
// holds next to the ones the rules call for.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "framebuffer/kr_frame_buffer.h"
#include "onair/gfb_fixture.h"
#include "onair/mq_graph.h"
#include "platform/board/board_journal.h"

namespace zt {

// Every text reported through the library's message sink while it lives.
class MessageLog {
public:
    MessageLog()
    {
        zk::set_message_observer([this](const char* m) {
            std::lock_guard<std::mutex> guard(lock_);
            seen_.emplace_back(m);
        });
    }
    ~MessageLog() { zk::set_message_observer(nullptr); }
    std::vector<std::string> take()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return std::exchange(seen_, {});
    }

private:
    std::mutex lock_;
    std::vector<std::string> seen_;
};

// A field write into the front area, as the journal keeps it: the board field it came in,
// 1 for the first field or 2 for the second, and the words {area top, x, first line, width,
// rows, checksum}.
struct FieldWriteEntry {
    long long field = 0;
    std::uint32_t code = 0;
    std::vector<std::uint32_t> words;

    friend bool operator==(const FieldWriteEntry&, const FieldWriteEntry&) = default;
};

inline std::ostream& operator<<(std::ostream& os, const FieldWriteEntry& e)
{
    os << "f" << e.field << (e.code == 2 ? " second" : e.code == 1 ? " first" : " both") << " {";
    for (std::uint32_t w : e.words) os << ' ' << w;
    return os << " }";
}

// The front-area writes journalled since `from`.
inline std::vector<FieldWriteEntry> front_writes(zk::VirtualBoard& board, std::uint64_t from)
{
    std::vector<FieldWriteEntry> out;
    for (const zk::JournalEntry& e : board.journal().since(from)) {
        if (e.kind != zk::JournalKind::GraphicsWrite || e.target != "GFB front") continue;
        FieldWriteEntry w{e.field, e.code, std::vector<std::uint32_t>(e.bytes.size() / 4)};
        std::memcpy(w.words.data(), e.bytes.data(), w.words.size() * 4);
        out.push_back(std::move(w));
    }
    return out;
}

// What one field's write of the w × h area at (sx, sy) of `source` to (dx, dy) of the front
// area must journal in board field `field` (odd board fields are second fields): the lines of
// that field's parity (the first field is the odd lines), each from the source row at the same
// offset, summed as the graph sums them. The area must lie inside the source and the output.
inline FieldWriteEntry expected_field_write(long long field, const CKrFrameBuffer& source, long sx, long sy, long w, long h,
                                      long dx, long dy)
{
    const bool second = field % 2 == 1;
    const long first_row = (dy % 2 == 1) == second ? 1 : 0;
    std::uint32_t sum = 2166136261u;
    long rows = 0;
    for (long r = first_row; r < h; r += 2, ++rows) {
        const std::uint32_t* row = reinterpret_cast<const std::uint32_t*>(source.GetBufferDWord()) +
                                   static_cast<std::size_t>(sy + r) * source.GetWidth() + static_cast<std::size_t>(sx);
        sum = zk::pixel_checksum(row, static_cast<std::size_t>(w) * 4, sum);
    }
    return FieldWriteEntry{field, second ? 2u : 1u,
                           {0u, static_cast<std::uint32_t>(dx), static_cast<std::uint32_t>(dy + first_row),
                            static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(rows), sum}};
}

// A board of its own (any configuration: a standard, a local start time) with the graph built.
class OnAirRig {
public:
    explicit OnAirRig(zk::BoardConfig config = manual_board()) : board_(std::move(config)), registry_(built_in_registry())
    {
        board().journal().set_pixel_checksums(true);
        graph = std::make_unique<CMQGraph>();
        built = graph->Initialize(TRUE) == S_OK && graph->BuildGraph() == S_OK;
    }
    ~OnAirRig() { graph.reset(); }
    OnAirRig(const OnAirRig&) = delete;
    OnAirRig& operator=(const OnAirRig&) = delete;

    zk::VirtualBoard& board() { return board_.board(); }
    std::shared_ptr<zk::VirtualBoard> shared_board() { return board_.shared(); }
    // The graphics memory's pixel at (x, line).
    std::uint32_t pixel(long x, long line)
    {
        auto m = zk::graphics_memory(board());
        std::lock_guard<std::mutex> guard(*m->lock);
        return m->pixels[static_cast<std::size_t>(line * zk::kGfbPitch + x)];
    }

    std::unique_ptr<CMQGraph> graph;
    bool built = false;

private:
    zk::BoardOverride board_;
    zk::RegistryOverride registry_;
};

class EffectShellTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        rig = std::make_unique<OnAirRig>();
        ASSERT_TRUE(rig->built) << GetLastErrorText();
    }
    void TearDown() override { rig.reset(); }
    zk::VirtualBoard& board() { return rig->board(); }

    MessageLog messages;
    std::unique_ptr<OnAirRig> rig;
};

} // namespace zt

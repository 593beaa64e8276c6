// The board's scrub, scrub-cue and shuttle controls, plugged into every filter graph as graph
// extensions when the current board has them.
//
// Scrubbing holds the graph's timeline and shows the frames it is sent. The device shuttle
// holds it too and moves its own position with the clock at the shuttle speed, between 0 and
// the source's length. Ending either on a running graph cuts the stream off with EC_COMPLETE,
// which is what the caller waits for before it stops the graph.
#include <algorithm>
#include <atomic>
#include <cmath>

#include "platform/board/virtual_board.h"
#include "platform/filtergraph/filter_graph.h"

namespace zk {
namespace {

REFERENCE_TIME clock_time(GraphAccess& graph)
{
    ComPtr<IReferenceClock> clock = graph.sync_clock();
    REFERENCE_TIME t = 0;
    if (clock) clock->GetTime(&t);
    return t;
}

class ScrubControl final : public GraphExtension<IScrubControl, IScrubCueControl> {
public:
    ScrubControl(GraphAccess& graph, std::shared_ptr<VirtualBoard> board)
        : GraphExtension(graph), board_(std::move(board))
    {
    }

    HRESULT BeginScrub() override
    {
        if (!graph_.has_source()) return MQ_E_NO_SCRUB_SOURCE;
        std::lock_guard<std::mutex> guard(lock_);
        if (scrubbing_) return S_OK;
        graph_.hold_timeline();
        scrubbing_ = true;
        ++board_->activity().begin_scrub;
        return S_OK;
    }
    HRESULT EndScrub() override
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!scrubbing_) return S_FALSE;
        scrubbing_ = false;
        ++board_->activity().end_scrub;
        graph_.release_timeline(true);
        return S_OK;
    }
    HRESULT Seek(REFTIME seconds) override { return show(seconds, board_->activity().scrub_seeks); }
    HRESULT SetShuttlePosition(REFTIME seconds) override
    {
        return show(seconds, board_->activity().shuttle_positions);
    }

    HRESULT put_Value(LONG value) override
    {
        if (value < 0) return E_INVALIDARG;
        std::lock_guard<std::mutex> guard(lock_);
        value_ = value;
        return S_OK;
    }
    HRESULT get_CueStart(REFERENCE_TIME* start) override
    {
        if (!start) return E_POINTER;
        std::lock_guard<std::mutex> guard(lock_);
        *start = cue_start_;
        return S_OK;
    }
    HRESULT get_CueLength(REFERENCE_TIME* length) override
    {
        if (!length) return E_POINTER;
        std::lock_guard<std::mutex> guard(lock_);
        *length = cue_length_;
        return S_OK;
    }
    HRESULT put_CueLength(REFERENCE_TIME length) override
    {
        if (length < 0) return E_INVALIDARG;
        std::lock_guard<std::mutex> guard(lock_);
        cue_length_ = length;
        return S_OK;
    }

private:
    // Shows one frame while scrubbing and starts the cue there; `counter` tells the two
    // requests apart in the board's activity record.
    HRESULT show(REFTIME seconds, std::atomic<int>& counter)
    {
        if (!std::isfinite(seconds)) return E_INVALIDARG;
        std::lock_guard<std::mutex> guard(lock_);
        if (!scrubbing_) return VFW_E_WRONG_STATE;
        graph_.show_position(seconds);
        cue_start_ = clock_time(graph_);
        ++counter;
        return S_OK;
    }

    std::shared_ptr<VirtualBoard> board_;
    std::mutex lock_;
    bool scrubbing_ = false;
    LONG value_ = 0;
    REFERENCE_TIME cue_start_ = 0;
    REFERENCE_TIME cue_length_ = 0;
};

class ShuttleControl final : public GraphExtension<IShuttleControl> {
public:
    ShuttleControl(GraphAccess& graph, std::shared_ptr<VirtualBoard> board)
        : GraphExtension(graph), board_(std::move(board))
    {
    }

    HRESULT BeginShuttle(DWORD w0, DWORD, DWORD, DWORD, DWORD) override
    {
        if (!graph_.has_source()) return MQ_E_NO_SCRUB_SOURCE;
        std::lock_guard<std::mutex> guard(lock_);
        if (shuttling_) return S_OK;
        graph_.hold_timeline();
        shuttling_ = true;
        const REFERENCE_TIME now = clock_time(graph_);
        from_ = Segment{now, graph_.graph_position(), speed(w0)};
        to_ = from_;
        ++board_->activity().begin_shuttle;
        return S_OK;
    }
    HRESULT EndShuttle() override
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!shuttling_) return S_FALSE;
        shuttling_ = false;
        graph_.show_position(position_at(clock_time(graph_)));
        ++board_->activity().end_shuttle;
        graph_.release_timeline(true);
        return S_OK;
    }
    HRESULT SetSpeedAt(DWORD w0, DWORD w1, DWORD w2, DWORD) override
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!shuttling_) return VFW_E_WRONG_STATE;
        const REFERENCE_TIME now = clock_time(graph_);
        const REFERENCE_TIME when = static_cast<REFERENCE_TIME>(static_cast<ULONGLONG>(w2) << 32 | w1);
        const REFERENCE_TIME at = std::max(now, when);
        // The speed in force now runs on until `at`; a change still pending is replaced.
        from_ = Segment{now, position_at(now), now >= to_.start ? to_.speed : from_.speed};
        to_ = Segment{at, position_at(at), speed(w0)};
        ++board_->activity().speed_changes;
        return S_OK;
    }
    HRESULT GetShuttlePosition(REFERENCE_TIME* position) override
    {
        if (!position) return E_POINTER;
        std::lock_guard<std::mutex> guard(lock_);
        const double p = shuttling_ ? position_at(clock_time(graph_)) : graph_.graph_position();
        *position = static_cast<REFERENCE_TIME>(std::llround(p * kUnitsPerSecond));
        return S_OK;
    }

private:
    struct Segment {
        REFERENCE_TIME start = 0;
        double position = 0.0;
        double speed = 0.0;
    };

    static double speed(DWORD word) { return static_cast<std::int32_t>(word) / 65536.0; }

    double position_at(REFERENCE_TIME t) const
    {
        const Segment& s = t >= to_.start ? to_ : from_;
        const double p = s.position + s.speed * static_cast<double>(t - s.start) / kUnitsPerSecond;
        return std::clamp(p, 0.0, graph_.graph_duration());
    }

    std::shared_ptr<VirtualBoard> board_;
    std::mutex lock_;
    bool shuttling_ = false;
    Segment from_, to_;
};

const struct ControlRegistrations {
    ControlRegistrations()
    {
        GraphExtensionFactory scrub = [](GraphAccess& graph) -> std::unique_ptr<GraphExtensionBase> {
            auto board = current_board();
            if (!board->config().scrub_control) return nullptr;
            return std::make_unique<ScrubControl>(graph, std::move(board));
        };
        register_graph_extension(IScrubControl::kIid, scrub);
        register_graph_extension(IScrubCueControl::kIid, scrub);
        register_graph_extension(IShuttleControl::kIid, [](GraphAccess& graph) -> std::unique_ptr<GraphExtensionBase> {
            auto board = current_board();
            if (!board->config().shuttle_control) return nullptr;
            return std::make_unique<ShuttleControl>(graph, std::move(board));
        });
    }
} control_registrations;

} // namespace
} // namespace zk

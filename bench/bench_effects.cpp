// Effect cores: the roll's sub-pixel picture builder (vectorised against its plain reference,
// on a 720 × 2000 caption) and the roll's per-field work at the largest step of each way of
// rolling, reported as a percentage of the 16.68 ms field period ("field_pct", on CPU time).
//
// The per-field cases time the core's decision alone ("RollCore...") and the decision together
// with the pixel moves it describes ("RollField..."), carried out on an in-memory stand-in of
// the graphics frame buffer (768 pixels a line, front area and staging lines), since those
// moves are what must fit in the field on the board. "RollShell..." is the roll as it runs on
// air: CKrRoll's worker woken with the field, the core's decision, the writes, display position
// and copies through CMQGraph on the virtual board (its journal, the device's copies under the
// memory's lock), timed to the point where every thread has settled; its peer
// ("settle_only") is the same hand-over of a field to a roll that is not running.
//
// As measured on the shared build machine (taskset -c 1, a load of about 5; processor time of
// the whole process per field as a share of the 16.68 ms field): the roll on air at its largest
// steps 0.33 % for the sub-pixel roll (56 us), 0.30 % scrolling, 0.25 % crawling with its two
// 2D DVE records, against a budget of 10 %; the same moves on plain memory 0.24 %, 0.19 % and
// 0.11 %; the core's decision 14 ns. The sub-pixel builder: see SubpixelBuild above.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <vector>

#include "bench_support.h"
#include "effects/kernels/subpixel.h"
#include "effects/kr_roll.h"
#include "effects/roll_core.h"
#include "onair/mq_graph.h"
#include "platform/board/board_journal.h"
#include "platform/testing/board.h"
#include "platform/testing/settle.h"

namespace {

constexpr long kW = 720, kH = 2000;
constexpr double kFieldSeconds = 0.01668;

const CKrFrameBuffer& roll_picture()
{
    static const CKrFrameBuffer picture = zb::caption_picture(kW, kH, 11);
    return picture;
}

void subpixel_case(benchmark::State& state, void (*build)(std::uint32_t*, const std::uint32_t*, std::size_t,
                                                          std::size_t, unsigned))
{
    const CKrFrameBuffer& src = roll_picture();
    CKrFrameBuffer dst(kW, kH, 1);
    for (auto _ : state) {
        build(dst.GetBufferDWord(), src.GetBufferDWord(), kW, kH, 3);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kW * kH);
}

void SubpixelBuild_zorvik(benchmark::State& state) { subpixel_case(state, zk::subpixel_picture); }
void SubpixelBuild_reference(benchmark::State& state) { subpixel_case(state, zk::subpixel_picture_ref); }
BENCHMARK(SubpixelBuild_zorvik)->Name("SubpixelBuild.zorvik")->Unit(benchmark::kMillisecond);
BENCHMARK(SubpixelBuild_reference)->Name("SubpixelBuild.plain_reference")->Unit(benchmark::kMillisecond);

// The graphics frame buffer of one bank, as far as a roll uses it: 768 pixels a line, the
// picture's 486 lines and the staging lines below, 684 in all.
class MemoryGfb {
public:
    static constexpr long kPitch = 768, kLines = 684;

    // One field's lines of a rectangle of `src`: the first field takes the odd lines.
    void write(const zk::fx::FieldWrite& w, const CKrFrameBuffer& src)
    {
        long dy = w.dst_y, sy = w.src_y, h = w.height;
        const long parity = w.field == zk::fx::Field::First ? 1 : 0;
        if ((dy & 1) != parity) {
            ++dy;
            ++sy;
            --h;
        }
        const long sw = static_cast<long>(src.GetWidth()), sh = static_cast<long>(src.GetHeight());
        const long width = std::min({w.width, sw - w.src_x, kPitch - w.dst_x});
        for (long i = 0; i < h && sy + i < sh && dy + i < kLines; i += 2) {
            if (width <= 0 || sy + i < 0) continue;
            std::memcpy(&pixels_[static_cast<std::size_t>((dy + i) * kPitch + w.dst_x)],
                        src.GetBufferDWord() + (sy + i) * sw + w.src_x, static_cast<std::size_t>(width) * 4);
        }
    }

    // One field's lines of a rectangle moved by (dx columns, dy field lines).
    void copy(const zk::fx::FieldCopy& c)
    {
        const long parity = c.field == zk::fx::Field::First ? 1 : 0;
        for (long y = c.y + ((c.y & 1) != parity ? 1 : 0); y < c.y + c.height; y += 2) {
            const long ty = y + 2 * c.dy;
            if (y < 0 || y >= kLines || ty < 0 || ty >= kLines) continue;
            const long x0 = std::max({c.x, -c.dx, 0L}), x1 = std::min({c.x + c.width, kPitch, kPitch - c.dx});
            if (x1 <= x0) continue;
            std::memmove(&pixels_[static_cast<std::size_t>(ty * kPitch + x0 + c.dx)],
                         &pixels_[static_cast<std::size_t>(y * kPitch + x0)], static_cast<std::size_t>(x1 - x0) * 4);
        }
    }

private:
    std::vector<std::uint32_t> pixels_ = std::vector<std::uint32_t>(kPitch * kLines);
};

struct RollCase {
    zk::fx::RollKind kind;
    long step;
};

// Largest step of each way: a sub-pixel roll just under 60 px, the scrolling roll's 60 px,
// the crawl's 24 px.
constexpr RollCase kSubpixel{zk::fx::RollKind::SubpixelVertical, 595};
constexpr RollCase kScroll{zk::fx::RollKind::ScrollVertical, 600};
constexpr RollCase kCrawl{zk::fx::RollKind::Crawl, 240};

// Processor time per field over the field period, in percent (the machine may be shared, so
// processor time rather than wall time).
void report_share(benchmark::State& state, std::clock_t started)
{
    const double seconds = static_cast<double>(std::clock() - started) / CLOCKS_PER_SEC;
    state.counters["field_pct"] = seconds / static_cast<double>(state.iterations()) / kFieldSeconds * 100;
}

void roll_core_case(benchmark::State& state, RollCase c)
{
    const bool crawl = c.kind == zk::fx::RollKind::Crawl;
    const zk::fx::RollParams params{c.kind, 0, crawl ? kH : kW, crawl ? 486 : kH, true};
    zk::fx::RollState s = zk::fx::start_roll(params);
    unsigned long field = 0;
    const std::clock_t started = std::clock();
    for (auto _ : state) {
        const zk::fx::RollFieldOutcome o = zk::fx::roll_field(s, params, c.step, field ^= 1, false);
        benchmark::DoNotOptimize(o);
        if (o.ended) s = zk::fx::start_roll(params);
    }
    report_share(state, started);
}

void roll_field_case(benchmark::State& state, RollCase c)
{
    const bool crawl = c.kind == zk::fx::RollKind::Crawl;
    // The crawl's picture lies on its side: 2000 columns by 486 lines.
    static const CKrFrameBuffer wide = zb::caption_picture(kH, 486, 12);
    const CKrFrameBuffer& picture = crawl ? wide : roll_picture();
    std::vector<CKrFrameBuffer> slots(10);
    if (c.kind == zk::fx::RollKind::SubpixelVertical) {
        for (int k = 1; k < 10; ++k) zk::fx::make_subpixel_image(picture, slots[static_cast<std::size_t>(k)], k);
    }
    const zk::fx::RollParams params{c.kind, 0, static_cast<long>(picture.GetWidth()),
                                    static_cast<long>(picture.GetHeight()), true};
    zk::fx::RollState s = zk::fx::start_roll(params);
    MemoryGfb gfb;
    unsigned long field = 0;
    const std::clock_t started = std::clock();
    for (auto _ : state) {
        const zk::fx::RollFieldOutcome o = zk::fx::roll_field(s, params, c.step, field ^= 1, false);
        if (o.write) {
            const CKrFrameBuffer& source = o.write->source == 0 ? picture : slots[static_cast<std::size_t>(o.write->source)];
            gfb.write(*o.write, source);
        }
        if (o.copy) gfb.copy(*o.copy);
        benchmark::ClobberMemory();
        if (o.ended) s = zk::fx::start_roll(params);
    }
    report_share(state, started);
}

BENCHMARK_CAPTURE(roll_core_case, subpixel, kSubpixel)->Name("RollCoreSubpixelStep595.zorvik");
BENCHMARK_CAPTURE(roll_core_case, scroll, kScroll)->Name("RollCoreScrollStep600.zorvik");
BENCHMARK_CAPTURE(roll_core_case, crawl, kCrawl)->Name("RollCoreCrawlStep240.zorvik");
BENCHMARK_CAPTURE(roll_field_case, subpixel, kSubpixel)->Name("RollFieldSubpixelStep595.zorvik")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(roll_field_case, scroll, kScroll)->Name("RollFieldScrollStep600.zorvik")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(roll_field_case, crawl, kCrawl)->Name("RollFieldCrawlStep240.zorvik")->Unit(benchmark::kMicrosecond);

// The roll on air: a manual board with a built graph in the telop configuration and a roll
// whose first screen needs no host (the on-air control's ImagePut does nothing here).
class ShellRig final : public zk::RollHost {
public:
    ShellRig(zk::fx::RollKind kind, int step)
        : picture_(kind == zk::fx::RollKind::Crawl ? zb::caption_picture(kH, 486, 12) : roll_picture()),
          step_(step), direction_(kind == zk::fx::RollKind::Crawl ? 0 : 1)
    {
        // The telop configuration, so that the crawl's 2D DVE records reach their channels.
        ok_ = graph_.Initialize(TRUE) == S_OK && graph_.BuildGraph() == S_OK && graph_.BilGraph_TelopNormal() == 0 &&
              graph_.FgPlay() == S_OK && roll_.Initial(&graph_, this) == 1 &&
              roll_.SetRoll(&picture_, step_, direction_, 0) == 1;
    }
    ~ShellRig() override
    {
        // A running roll is broken off before it goes: that takes its fields.
        roll_.BreakRoll();
        for (unsigned long parity = 0; field(parity ^= 1);) {
        }
    }
    int ImagePut(CKrFrameBuffer*, int, int) override { return 0; }
    bool ok() const { return ok_; }
    // Again from the first screen: a roll keeps its setting when it ends.
    bool start() { return roll_.StartRoll() == 1; }
    // Hands a field to the roll as the vertical-sync thread does and waits for everything it
    // caused; false when the roll has ended.
    bool field(unsigned long parity)
    {
        graph_.SetFieldNumber(static_cast<int>(parity));
        roll_.SetEvent(parity);
        zk::settle();
        // The journal keeps every request; a long run must not measure its growth.
        if (++fields_ % 1024 == 0) board_.board().journal().clear();
        return roll_.GetStateRoll() != 0;
    }

private:
    zk::BoardOverride board_{zk::manual_board_config()};
    CMQGraph graph_;
    CKrRoll roll_;
    CKrFrameBuffer picture_;
    int step_, direction_;
    long fields_ = 0;
    bool ok_ = false;
};

void roll_shell_case(benchmark::State& state, RollCase c, bool running)
{
    ShellRig rig(c.kind, static_cast<int>(c.step));
    if (!rig.ok() || (running && !rig.start())) return state.SkipWithError("the roll did not start");
    unsigned long parity = 0;
    const std::clock_t started = std::clock();
    std::clock_t restarting = 0;
    for (auto _ : state) {
        if (!rig.field(parity ^= 1) && running) {
            const std::clock_t t = std::clock();
            state.PauseTiming();
            rig.start();
            state.ResumeTiming();
            restarting += std::clock() - t;
        }
    }
    report_share(state, started + restarting);
}

BENCHMARK_CAPTURE(roll_shell_case, subpixel, kSubpixel, true)->Name("RollShellSubpixelStep595.zorvik")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(roll_shell_case, scroll, kScroll, true)->Name("RollShellScrollStep600.zorvik")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(roll_shell_case, crawl, kCrawl, true)->Name("RollShellCrawlStep240.zorvik")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(roll_shell_case, idle, kSubpixel, false)->Name("RollShell.settle_only")->Unit(benchmark::kMicrosecond);

} // namespace

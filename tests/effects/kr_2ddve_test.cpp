// CKr2Ddve, CKr2DdveSlide and the keypoint move: records byte for byte from the setters, every
// slide direction in and out at every step, the presets, and keypoint runs field by field.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "effects/kr_2ddve.h"
#include "effects/kr_2ddve_act_core.h"
#include "framebuffer/mtx_color.h"
#include "support/test_support.h"

namespace {

constexpr LONG kOne = 0x1000000;
// −1.0 as stored: −2^24 + 0.5 truncated toward zero.
constexpr LONG kMinusOne = -0xFFFFFF;

struct Words {
    std::uint32_t w[12];
    friend bool operator==(const Words&, const Words&) = default;
};

std::ostream& operator<<(std::ostream& os, const Words& x)
{
    os << std::hex;
    for (std::uint32_t v : x.w) os << v << ' ';
    return os << std::dec;
}

// The record as the twelve little-endian words a channel receives.
Words words_of(const MQVIDFX_2DDVE_KEYFRAME& r)
{
    const auto b = zk::fx::record_bytes(r);
    Words out{};
    for (int i = 0; i < 12; ++i) {
        out.w[i] = static_cast<std::uint32_t>(b[4 * i]) | b[4 * i + 1] << 8 | b[4 * i + 2] << 16 |
                   static_cast<std::uint32_t>(b[4 * i + 3]) << 24;
    }
    return out;
}

std::uint32_t yuv(DWORD argb)
{
    MtxColor c;
    return c.ARGBtoYUV(argb);
}

Words default_words() { return Words{{0, 0, 0, kOne, kOne, 0, yuv(0), yuv(0), 0, 0, 0, 0}}; }

std::uint32_t fix(double x) { return static_cast<std::uint32_t>(static_cast<LONG>(std::trunc(x * 16777216.0 + 0.5))); }

// The slide offsets as the direction table gives them; `set` says which positions change.
struct Offsets {
    bool h_set, v_set;
    long h, v;
};
Offsets table_offsets(long dir, bool in, long s, long n)
{
    switch (dir) {
    case 0: return in ? Offsets{true, false, s - n, 0} : Offsets{true, false, s, 0};
    case 1: return in ? Offsets{true, false, n - s, 0} : Offsets{true, false, -s, 0};
    case 2: return in ? Offsets{false, true, 0, s - n} : Offsets{false, true, 0, s};
    case 3: return in ? Offsets{false, true, 0, n - s} : Offsets{false, true, 0, -s};
    case 4: return in ? Offsets{true, true, n - s, n - s} : Offsets{true, true, -s, -s};
    case 5: return in ? Offsets{true, true, s - n, n - s} : Offsets{true, true, s, -s};
    case 6: return in ? Offsets{true, true, n - s, s - n} : Offsets{true, true, -s, s};
    case 7: return in ? Offsets{true, true, s - n, s - n} : Offsets{true, true, s, s};
    default: return Offsets{false, false, 0, 0};
    }
}

tag2DDVEPRM kp(long x, long y, long w, long h, long fields) { return tag2DDVEPRM{0, LONG(x), LONG(y), LONG(w), LONG(h), LONG(fields)}; }

// The four placement words of a record.
std::array<std::uint32_t, 4> placement(const MQVIDFX_2DDVE_KEYFRAME& r)
{
    const Words w = words_of(r);
    return {w.w[1], w.w[2], w.w[3], w.w[4]};
}

} // namespace

TEST(Kr2Ddve, DefaultAndTwelveValues)
{
    CKr2Ddve d;
    EXPECT_EQ(words_of(*d.Get2DdveKeyframe()), default_words());

    d.Set2Ddve(0x11, -5, 0x7FFFFFFF, 0x800000, 0, 9, 0xFF00FF00, 0x80FF0000, 1, 0xFFFFFFFF, 65536, 0x123456789);
    EXPECT_EQ(words_of(*d.Get2DdveKeyframe()),
              (Words{{0x11, 0xFFFFFFFB, 0x7FFFFFFF, 0x800000, 0, 9, yuv(0xFF00FF00), yuv(0x80FF0000), 1, 0xFFFFFFFF,
                      65536, 0x23456789}}));

    MQVIDFX_2DDVE_KEYFRAME raw{};
    for (int i = 0; i < 12; ++i) reinterpret_cast<std::uint32_t*>(&raw)[i] = 0x01010101u * static_cast<std::uint32_t>(i + 1);
    d.Set2Ddve(&raw);
    EXPECT_EQ(words_of(*d.Get2DdveKeyframe()), words_of(raw)) << "a record is copied unchanged";
    d.Set2Ddve(nullptr);
    EXPECT_EQ(words_of(*d.Get2DdveKeyframe()), words_of(raw));
    d.Set2DdveDefault();
    EXPECT_EQ(words_of(*d.Get2DdveKeyframe()), default_words());
}

TEST(Kr2Ddve, FractionSetters)
{
    struct Case {
        const char* what;
        void (*set)(CKr2Ddve&);
        int word;
        std::uint32_t want;
    } cases[] = {
        {"HorPos 1/0", [](CKr2Ddve& d) { d.Set2DdveHorPos(1L, 0L); }, 1, 0},
        {"VerPos 1/0", [](CKr2Ddve& d) { d.Set2DdveVerPos(1L, 0L); }, 2, 0},
        {"HorSize 1/0", [](CKr2Ddve& d) { d.Set2DdveHorSize(1L, 0L); }, 3, kOne},
        {"VerSize 0/0", [](CKr2Ddve& d) { d.Set2DdveVerSize(0L, 0L); }, 4, kOne},
        {"HorPos 1/2", [](CKr2Ddve& d) { d.Set2DdveHorPos(1L, 2L); }, 1, 0x800000},
        {"VerPos -1/2", [](CKr2Ddve& d) { d.Set2DdveVerPos(-1L, 2L); }, 2, 0xFF800001},
        {"HorPos 1/3", [](CKr2Ddve& d) { d.Set2DdveHorPos(1L, 3L); }, 1, 5592405},
        {"VerPos -2/5", [](CKr2Ddve& d) { d.Set2DdveVerPos(2L, -5L); }, 2, static_cast<std::uint32_t>(-6710885)},
        {"HorSize 3/2", [](CKr2Ddve& d) { d.Set2DdveHorSize(3L, 2L); }, 3, 0x1800000},
        {"VerSize 0/7", [](CKr2Ddve& d) { d.Set2DdveVerSize(0L, 7L); }, 4, 0},
        {"HorPos 1000/1 saturates", [](CKr2Ddve& d) { d.Set2DdveHorPos(1000L, 1L); }, 1, 0x7FFFFFFF},
        {"VerSize -1000/1 saturates", [](CKr2Ddve& d) { d.Set2DdveVerSize(-1000L, 1L); }, 4, 0x80000000},
        {"HorPos 0.25", [](CKr2Ddve& d) { d.Set2DdveHorPos(0.25); }, 1, 0x400000},
        {"VerPos -0.5", [](CKr2Ddve& d) { d.Set2DdveVerPos(-0.5); }, 2, 0xFF800001},
        {"HorSize NaN", [](CKr2Ddve& d) { d.Set2DdveHorSize(std::nan("")); }, 3, 0},
        {"VerSize 1e10", [](CKr2Ddve& d) { d.Set2DdveVerSize(1e10); }, 4, 0x7FFFFFFF},
    };
    for (const Case& c : cases) {
        CKr2Ddve d;
        c.set(d);
        Words want = default_words();
        want.w[c.word] = c.want;
        EXPECT_EQ(words_of(*d.Get2DdveKeyframe()), want) << c.what;
    }
}

TEST(Kr2Ddve, BorderAndShadowTakeColourThenPairs)
{
    CKr2Ddve d;
    d.Set2DdveBorder(4, 0xFFFFFFFF);
    d.Set2DdveShadow(0x40FF8000, 1, 2, 1, 0, -1, 4, 3, 1);
    Words want = default_words();
    want.w[5] = 4;
    want.w[6] = yuv(0xFFFFFFFF);
    want.w[7] = yuv(0x40FF8000);
    want.w[8] = 0x8000;
    want.w[9] = 0;
    want.w[10] = static_cast<std::uint32_t>(-16383);
    want.w[11] = 0x30000;
    EXPECT_EQ(words_of(*d.Get2DdveKeyframe()), want);
    EXPECT_EQ(want.w[6], 0xFFEB8080u);
}

TEST(Kr2Ddve, EverySlideDirectionInAndOutAtEveryStep)
{
    const double marker = 0.3; // a position the slide must leave alone when its axis does not move
    for (long n : {1L, 2L, 5L, 10L}) {
        for (long dir = -1; dir <= 9; ++dir) {
            for (int in = 0; in < 2; ++in) {
                CKr2DdveSlide sl;
                sl.Set2DdveSlide(dir, in, 3, 0xFF0000FF, n);
                Words start = default_words();
                start.w[5] = 3;
                start.w[6] = yuv(0xFF0000FF);
                const Offsets o0 = table_offsets(dir, in, 0, n);
                if (o0.h_set) start.w[1] = fix(static_cast<double>(o0.h) / static_cast<double>(n));
                if (o0.v_set) start.w[2] = fix(static_cast<double>(o0.v) / static_cast<double>(n));
                EXPECT_EQ(words_of(*sl.Get2DdveKeyframe()), start) << "dir " << dir << " in " << in << " n " << n;
                for (long s = -2; s <= n + 2; ++s) {
                    sl.Set2DdveHorPos(marker);
                    sl.Set2DdveVerPos(marker);
                    sl.Set2DdveSlideFader(s);
                    const long sc = std::clamp(s, 0L, n);
                    const Offsets o = table_offsets(dir, in, sc, n);
                    Words want = start;
                    want.w[1] = o.h_set ? fix(static_cast<double>(o.h) / static_cast<double>(n)) : fix(marker);
                    want.w[2] = o.v_set ? fix(static_cast<double>(o.v) / static_cast<double>(n)) : fix(marker);
                    ASSERT_EQ(words_of(*sl.Get2DdveKeyframe()), want)
                        << "dir " << dir << " in " << in << " n " << n << " step " << s;
                    EXPECT_EQ(sl.GetSlideStep(), sc);
                }
            }
        }
    }
}

TEST(Kr2Ddve, SlideExamplesAndZeroSteps)
{
    CKr2DdveSlide sl;
    sl.Set2DdveSlide(0, 1, 0, 0, 10);
    sl.Set2DdveSlideFader(5);
    EXPECT_EQ(words_of(*sl.Get2DdveKeyframe()).w[1], 0xFF800001u);

    // No steps: a cut. Arriving, step 0 is one picture away and every later step in place;
    // leaving, the other way round.
    for (long steps : {0L, -4L}) {
        CKr2DdveSlide in, out;
        in.Set2DdveSlide(3, 1, 0, 0, steps);
        out.Set2DdveSlide(3, 0, 0, 0, steps);
        EXPECT_EQ(words_of(*in.Get2DdveKeyframe()).w[2], static_cast<std::uint32_t>(kOne));
        EXPECT_EQ(words_of(*out.Get2DdveKeyframe()).w[2], 0u);
        in.Set2DdveSlideFader(1);
        out.Set2DdveSlideFader(1);
        EXPECT_EQ(words_of(*in.Get2DdveKeyframe()).w[2], 0u);
        EXPECT_EQ(words_of(*out.Get2DdveKeyframe()).w[2], static_cast<std::uint32_t>(kMinusOne));
    }
}

TEST(Kr2DdveAct, PresetTableAndPatterns)
{
    const zk::fx::DveRect want[15] = {{360, 242, 0, 0}, {0, 242, 0, 0},   {720, 242, 0, 0}, {360, 0, 0, 0},
                                      {360, 486, 0, 0}, {720, 486, 0, 0}, {0, 486, 0, 0},   {720, 0, 0, 0},
                                      {0, 0, 0, 0},     {360, 0, 0, 486}, {0, 242, 720, 0}, {0, 0, 0, 486},
                                      {720, 0, 0, 486}, {0, 0, 720, 0},   {0, 486, 720, 0}};
    for (long p = 0; p < 15; ++p) {
        const zk::fx::DveRect r = zk::fx::dve_presets()[static_cast<std::size_t>(p)];
        EXPECT_EQ(r, want[p]) << p;
        for (long out = 0; out < 2; ++out) {
            zk::fx::DveAction a;
            ASSERT_EQ(zk::fx::make_dve_pattern(p, out, 12, out ? 2 : 1, a), 1);
            ASSERT_EQ(a.count, 2);
            EXPECT_EQ(a.channel, out ? 2 : 1);
            const tag2DDVEPRM& from = a.keypoints[out ? 1 : 0];
            const tag2DDVEPRM& full = a.keypoints[out ? 0 : 1];
            EXPECT_EQ((zk::fx::DveRect{from.lX, from.lY, from.lWidth, from.lHeight}), want[p]) << p;
            EXPECT_EQ((zk::fx::DveRect{full.lX, full.lY, full.lWidth, full.lHeight}), (zk::fx::DveRect{0, 0, 720, 486}));
            EXPECT_EQ(a.keypoints[1].lFields, 12);
            EXPECT_EQ(a.keypoints[0].lTag, p);
        }
    }
    zk::fx::DveAction a;
    EXPECT_EQ(zk::fx::make_dve_pattern(15, 0, 10, 0, a), 0);
    EXPECT_EQ(zk::fx::make_dve_pattern(-1, 0, 10, 0, a), 0);
    EXPECT_EQ(a.count, 0) << "a refused pattern leaves the action alone";

    // Pattern 0 without `out`: from the centre point to the full picture.
    ASSERT_EQ(zk::fx::make_dve_pattern(0, 0, 10, 0, a), 1);
    const auto run = zk::fx::dve_action_run(a, zk::fx::default_dve_record());
    ASSERT_EQ(run.size(), 11u);
    EXPECT_EQ(placement(run.front()), (std::array<std::uint32_t, 4>{0x800000, 8354087, 0, 0}));
    EXPECT_EQ(placement(run.back()), (std::array<std::uint32_t, 4>{0, 0, kOne, kOne}));
    ASSERT_EQ(zk::fx::make_dve_pattern(0, 1, 10, 0, a), 1);
    const auto back = zk::fx::dve_action_run(a, zk::fx::default_dve_record());
    EXPECT_EQ(placement(back.front()), (std::array<std::uint32_t, 4>{0, 0, kOne, kOne}));
    EXPECT_EQ(placement(back.back()), (std::array<std::uint32_t, 4>{0x800000, 8354087, 0, 0}));
}

TEST(Kr2DdveAct, KeypointTablesTakenOrRefused)
{
    std::vector<tag2DDVEPRM> table(21, kp(1, 2, 3, 4, 5));
    struct Case {
        const tag2DDVEPRM* p;
        long count;
        int want;
    } cases[] = {{table.data(), 21, 0}, {table.data(), 20, 1}, {table.data(), 2, 1}, {table.data(), 1, 0},
                 {table.data(), 0, 0},  {table.data(), -3, 0}, {nullptr, 2, 0}};
    for (const Case& c : cases) {
        zk::fx::DveAction a;
        a.count = 99;
        EXPECT_EQ(zk::fx::make_dve_action(c.p, c.count, 1, a), c.want) << c.count;
        EXPECT_EQ(a.count, c.want ? c.count : 99) << c.count;
    }
    EXPECT_EQ(zk::fx::dve_fiesta_channel(0), 1);
    EXPECT_EQ(zk::fx::dve_fiesta_channel(1), 3);
    EXPECT_EQ(zk::fx::dve_fiesta_channel(2), 0);
    EXPECT_EQ(zk::fx::dve_fiesta_channel(-1), 0);
}

TEST(Kr2DdveAct, RunFieldByField)
{
    // Full picture to its centre quarter in 4 fields, then to nothing in 0 fields (one field).
    const tag2DDVEPRM table[3] = {kp(0, 0, 720, 486, 9), kp(360, 243, 360, 243, 4), kp(360, 243, 0, 0, 0)};
    zk::fx::DveAction a;
    ASSERT_EQ(zk::fx::make_dve_action(table, 3, 0, a), 1);
    EXPECT_EQ(zk::fx::dve_segment_fields(a, 1), 4);
    EXPECT_EQ(zk::fx::dve_segment_fields(a, 2), 1);
    EXPECT_EQ(zk::fx::dve_segment_fields(a, 3), 0);

    MQVIDFX_2DDVE_KEYFRAME base = zk::fx::default_dve_record();
    base.dwDefinition = 3;
    base.dwBorderWidth = 7;
    base.lShadow[2] = 99;
    const auto run = zk::fx::dve_action_run(a, base);
    const std::vector<std::array<std::uint32_t, 4>> want = {
        {0, 0, kOne, kOne},                                      // set-up
        {0x200000, 0x200000, 0xE00000, 0xE00000},                // segment 1
        {0x400000, 0x400000, 0xC00000, 0xC00000},
        {0x600000, 0x600000, 0xA00000, 0xA00000},
        {0x800000, 0x800000, 0x800000, 0x800000},
        {0x800000, 0x800000, 0, 0},                              // segment 2, one field
    };
    ASSERT_EQ(run.size(), want.size());
    for (std::size_t i = 0; i < run.size(); ++i) {
        EXPECT_EQ(placement(run[i]), want[i]) << "field " << i;
        Words rest = words_of(run[i]), base_words = words_of(base);
        for (int w : {1, 2, 3, 4}) rest.w[w] = base_words.w[w] = 0;
        EXPECT_EQ(rest, base_words) << "only the placement changes, field " << i;
    }
    // The record of one (segment, field) is the run's.
    EXPECT_EQ(words_of(zk::fx::dve_action_record(a, 1, 0, base)), words_of(run[0]));
    EXPECT_EQ(words_of(zk::fx::dve_action_record(a, 1, 3, base)), words_of(run[3]));
    EXPECT_EQ(words_of(zk::fx::dve_action_record(a, 1, 400, base)), words_of(run[4]));
    EXPECT_EQ(words_of(zk::fx::dve_action_record(a, 2, 1, base)), words_of(run[5]));
    EXPECT_EQ(words_of(zk::fx::dve_action_record(a, 3, 1, base)), words_of(base)) << "no segment 3";
    EXPECT_EQ(words_of(zk::fx::dve_action_record(a, 0, 1, base)), words_of(base)) << "no segment 0";
}

TEST(Kr2DdveAct, PositionsAndSizesHeldToTheirRanges)
{
    const tag2DDVEPRM table[2] = {kp(0, 0, 720, 486, 0), kp(-800, 600, 2000, -1500, 2)};
    zk::fx::DveAction a;
    ASSERT_EQ(zk::fx::make_dve_action(table, 2, 0, a), 1);
    const auto run = zk::fx::dve_action_run(a, zk::fx::default_dve_record());
    ASSERT_EQ(run.size(), 3u);
    const auto i32 = [](long v) { return static_cast<std::uint32_t>(v); };
    EXPECT_EQ(placement(run[1]), (std::array<std::uint32_t, 4>{i32(-9320675), 10356306, 31690297, i32(-17502156)}));
    EXPECT_EQ(placement(run[2]), (std::array<std::uint32_t, 4>{i32(kMinusOne), kOne, 33552754, i32(-33552753)}));

    // Exactly 2.0 is held too; just below it is not.
    const tag2DDVEPRM edge[2] = {kp(720, -720, 1440, 971, 0), kp(0, 0, 1439, 972, 1)};
    ASSERT_EQ(zk::fx::make_dve_action(edge, 2, 0, a), 1);
    const auto e = zk::fx::dve_action_run(a, zk::fx::default_dve_record());
    EXPECT_EQ(placement(e[0]), (std::array<std::uint32_t, 4>{kOne, i32(kMinusOne), 33552754, fix(971.0 / 486)}));
    EXPECT_EQ(placement(e[1]), (std::array<std::uint32_t, 4>{0, 0, fix(1439.0 / 720), 33552754}));
}

TEST(Kr2DdveAct, RandomRunsStayInRangeAndEndOnTheirKeypoints)
{
    const std::uint32_t seed = zt::test_seed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    for (int round = 0; round < 300; ++round) {
        const long count = 2 + static_cast<long>(rng() % 19);
        std::vector<tag2DDVEPRM> table;
        long fields = 0;
        for (long i = 0; i < count; ++i) {
            auto coord = [&] { return static_cast<long>(rng() % 4001) - 2000; };
            table.push_back(kp(coord(), coord(), coord(), coord(), static_cast<long>(rng() % 8) - 1));
            if (i > 0) fields += std::max<long>(table.back().lFields, 1);
        }
        zk::fx::DveAction a;
        ASSERT_EQ(zk::fx::make_dve_action(table.data(), count, 0, a), 1);
        const auto run = zk::fx::dve_action_run(a, zk::fx::default_dve_record());
        ASSERT_EQ(static_cast<long>(run.size()), 1 + fields) << "round " << round;
        long at = 0;
        for (long k = 1; k < count; ++k) {
            const long f = zk::fx::dve_segment_fields(a, static_cast<int>(k));
            for (long field = 1; field <= f; ++field) {
                ++at;
                const MQVIDFX_2DDVE_KEYFRAME& r = run[static_cast<std::size_t>(at)];
                ASSERT_GE(r.lHorPos, kMinusOne);
                ASSERT_LE(r.lHorPos, kOne);
                ASSERT_GE(r.lVerPos, kMinusOne);
                ASSERT_LE(r.lVerPos, kOne);
                ASSERT_LE(std::abs(r.lHorSize), 33552754);
                ASSERT_LE(std::abs(r.lVerSize), 33552754);
                ASSERT_EQ(words_of(r), words_of(zk::fx::dve_action_record(a, static_cast<int>(k), field,
                                                                           zk::fx::default_dve_record())));
            }
            // The segment's last field lands on its keypoint exactly.
            const tag2DDVEPRM to = table[static_cast<std::size_t>(k)];
            const tag2DDVEPRM still[2] = {to, kp(to.lX, to.lY, to.lWidth, to.lHeight, 1)};
            zk::fx::DveAction at_keypoint;
            ASSERT_EQ(zk::fx::make_dve_action(still, 2, 0, at_keypoint), 1);
            ASSERT_EQ(placement(run[static_cast<std::size_t>(at)]),
                      placement(zk::fx::dve_action_run(at_keypoint, zk::fx::default_dve_record())[0]));
        }
    }
}

// Stills into and out of the Fiesta channels: the clipping of PutFiesta at every edge of both
// pictures (even origins and sizes, cuts that keep the picture in place), the transfer that
// reaches the board, what the channel's store then holds pixel by pixel, the refusals that touch
// nothing, the transport stopped around a put, and the YUV twins.
#include <gtest/gtest.h>

#include "onair/effects_graph_fixture.h"

namespace {

using zt::EffectsGraphTest;

// A picture whose every pixel names its place: column in the low 12 bits, row above.
std::vector<std::uint32_t> placed(long w, long h)
{
    std::vector<std::uint32_t> p(static_cast<size_t>(w * h));
    for (long y = 0; y < h; ++y)
        for (long x = 0; x < w; ++x) p[static_cast<size_t>(y * w + x)] = 0xFF000000u | static_cast<std::uint32_t>(y << 12 | x);
    return p;
}

struct Clip {
    const char* name;
    long srcW, srcH, sx, sy, w, h, dx, dy;
    // The transfer the board receives: source x, y, size, destination x, y; or refused.
    bool refused;
    long tsx, tsy, tw, th, tdx, tdy;
};

class Stills : public EffectsGraphTest, public ::testing::WithParamInterface<Clip> {
protected:
    void SetUp() override
    {
        EffectsGraphTest::SetUp();
        ASSERT_EQ(graph->BilGraph_TelopNormal(), 0);
        ASSERT_EQ(graph->FgPlay(), S_OK);
        mark = board().journal().mark();
    }
    long put(long ch, const std::vector<std::uint32_t>& picture, const Clip& c)
    {
        zk::IdlePump pump(board());
        return graph->PutFiesta(ch, picture.data(), c.srcW, c.srcH, c.sx, c.sy, c.w, c.h, c.dx, c.dy);
    }
    std::vector<std::uint32_t> store(long ch)
    {
        std::vector<std::uint32_t> out(720 * 486, 0xDEADBEEF);
        EXPECT_TRUE(graph->GetFiesta(ch, out.data()));
        return out;
    }
};

TEST_P(Stills, AreClippedOnEvenColumnsAndLinesAndLandWhereTheyBelong)
{
    const Clip c = GetParam();
    const auto picture = placed(c.srcW, c.srcH);
    const long result = put(1, picture, c);
    const auto stills = entries(zk::JournalKind::Still, mark);
    const auto held = store(1);
    if (c.refused) {
        EXPECT_EQ(result, -1);
        EXPECT_TRUE(stills.empty());
        EXPECT_TRUE(entries(zk::JournalKind::StateChange, mark).empty()) << "the transport was left alone";
        for (std::uint32_t p : held) ASSERT_EQ(p, 0u) << "the store was touched";
        return;
    }
    ASSERT_EQ(result, 0) << GetLastErrorText();
    ASSERT_EQ(stills.size(), 1u);
    MQ_TRANSFER_DIB t;
    ASSERT_EQ(stills[0].bytes.size(), sizeof t);
    std::memcpy(&t, stills[0].bytes.data(), sizeof t);
    EXPECT_TRUE(stills[0].ok);
    EXPECT_EQ(stills[0].target, "Fiesta1");
    EXPECT_EQ(t.lWidth, c.srcW);
    EXPECT_EQ(t.lHeight, c.srcH);
    EXPECT_EQ(t.cbBuffer, static_cast<DWORD>(c.srcW * c.srcH * 4));
    EXPECT_EQ((std::vector<long>{t.lSrcX, t.lSrcY, t.lCopyWidth, t.lCopyHeight, t.lDstX, t.lDstY}),
              (std::vector<long>{c.tsx, c.tsy, c.tw, c.th, c.tdx, c.tdy}));
    // The store, pixel by pixel: the rectangle from the picture, nothing else.
    for (long y = 0; y < 486; ++y) {
        for (long x = 0; x < 720; ++x) {
            const bool inside = x >= c.tdx && x < c.tdx + c.tw && y >= c.tdy && y < c.tdy + c.th;
            const std::uint32_t want =
                inside ? picture[static_cast<size_t>((c.tsy + y - c.tdy) * c.srcW + (c.tsx + x - c.tdx))] : 0u;
            ASSERT_EQ(held[static_cast<size_t>(y * 720 + x)], want) << "at " << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, Stills,
    ::testing::Values(
        Clip{"Inside", 100, 80, 10, 20, 30, 40, 100, 50, false, 10, 20, 30, 40, 100, 50},
        // An odd source column: one column more from the left, landing one column earlier.
        Clip{"OddSourceColumn", 100, 80, 3, 0, 51, 10, 11, 0, false, 2, 0, 52, 10, 10, 0},
        Clip{"OddSourceLine", 100, 80, 0, 5, 10, 20, 0, 31, false, 0, 4, 10, 22, 0, 30},
        Clip{"OddWidthRaised", 100, 80, 0, 0, 31, 8, 0, 0, false, 0, 0, 32, 8, 0, 0},
        Clip{"OddWidthAtTheSourcesEnd", 101, 81, 0, 0, 101, 81, 0, 0, false, 0, 0, 100, 80, 0, 0},
        Clip{"CutToTheSource", 100, 80, 60, 70, 90, 90, 0, 0, false, 60, 70, 40, 10, 0, 0},
        Clip{"LeftOfTheSource", 100, 80, -10, -4, 50, 20, 100, 100, false, 0, 0, 40, 16, 110, 104},
        Clip{"LeftOfTheStore", 100, 80, 0, 0, 50, 20, -10, -6, false, 10, 6, 40, 14, 0, 0},
        Clip{"LeftOfTheStoreByAnOddCount", 100, 80, 0, 0, 50, 20, -11, 0, false, 11, 0, 38, 20, 0, 0},
        Clip{"CutToTheStore", 100, 80, 0, 0, 50, 20, 700, 480, false, 0, 0, 20, 6, 700, 480},
        Clip{"OddDestination", 100, 80, 0, 0, 10, 10, 101, 33, false, 0, 0, 10, 10, 100, 32},
        Clip{"OnePixel", 100, 80, 0, 0, 1, 1, 0, 0, false, 0, 0, 2, 2, 0, 0},
        Clip{"DestinationPastTheRight", 100, 80, 0, 0, 10, 10, 720, 0, true, 0, 0, 0, 0, 0, 0},
        Clip{"DestinationPastTheBottom", 100, 80, 0, 0, 10, 10, 0, 486, true, 0, 0, 0, 0, 0, 0},
        Clip{"SourcePastTheRight", 100, 80, 100, 0, 10, 10, 0, 0, true, 0, 0, 0, 0, 0, 0},
        Clip{"SourcePastTheBottom", 100, 80, 0, 80, 10, 10, 0, 0, true, 0, 0, 0, 0, 0, 0},
        Clip{"NothingWide", 100, 80, 0, 0, 0, 10, 0, 0, true, 0, 0, 0, 0, 0, 0},
        Clip{"WhollyLeftOfTheSource", 100, 80, -60, 0, 50, 10, 0, 0, true, 0, 0, 0, 0, 0, 0},
        Clip{"WhollyLeftOfTheStore", 100, 80, 0, 0, 50, 10, -60, 0, true, 0, 0, 0, 0, 0, 0},
        Clip{"OneColumnLeftOfTheStore", 100, 80, 0, 0, 2, 10, -1, 0, true, 0, 0, 0, 0, 0, 0},
        Clip{"FarOutsideEverything", 100, 80, -0x7FFFFFFFFFFFFFFF, 0, 0x7FFFFFFFFFFFFFFF, 10, 0, 0, true, 0, 0, 0, 0, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EffectsGraphTest, APutStopsTheTransportAndPlaysItAgainHalfASecondAfterTheStillIsIn)
{
    ASSERT_EQ(graph->BilGraph_TelopNormal(), 0);
    ASSERT_EQ(graph->FgPlay(), S_OK);
    const auto picture = placed(720, 486);
    const std::uint64_t from = board().journal().mark();
    {
        zk::IdlePump pump(board());
        ASSERT_EQ(graph->PutFiesta(7, picture.data(), 720, 486, 0, 0, 720, 486, 0, 0), 0) << "channel 7 is channel 0";
    }
    const auto stills = entries(zk::JournalKind::Still, from);
    ASSERT_EQ(stills.size(), 1u);
    EXPECT_EQ(stills[0].target, "Fiesta0");
    long long ended = -1, begun = -1;
    for (const zk::JournalEntry& e : entries(zk::JournalKind::StateChange, from)) {
        if (e.text == "end data" && ended < 0) ended = e.field;
        if (e.text == "begin data") begun = e.field;
    }
    ASSERT_GE(ended, 0);
    EXPECT_LE(ended, stills[0].field) << "data ended before the still";
    EXPECT_GE(begun - stills[0].field, 29) << "half a second (30 fields) before the play";
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_RUNNING);
    std::vector<std::uint32_t> back(720 * 486);
    ASSERT_TRUE(graph->GetFiesta(0, back.data()));
    EXPECT_EQ(back, picture);
}

TEST_F(EffectsGraphTest, TheYuvTwinsCarryTheHardwaresColourWords)
{
    ASSERT_EQ(graph->BilGraph_TelopNormal(), 0);
    std::vector<std::uint32_t> colours(720 * 486);
    for (size_t i = 0; i < colours.size(); ++i) colours[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u >> 8);
    {
        zk::IdlePump pump(board());
        ASSERT_EQ(graph->PutFiesta(2, colours.data(), 720, 486, 0, 0, 720, 486, 0, 0), 0);
    }
    std::vector<std::uint32_t> yuv(720 * 486);
    ASSERT_TRUE(graph->GetFiestaYuv(2, yuv.data()));
    for (size_t i = 0; i < colours.size(); i += 997) ASSERT_EQ(yuv[i], zt::yuv(colours[i])) << i;
    // Put as YUV, read as RGB: the colours come back within the conversion's rounding.
    {
        zk::IdlePump pump(board());
        ASSERT_EQ(graph->PutFiestaYuv(3, yuv.data(), 720, 486, 0, 0, 720, 486, 0, 0), 0);
    }
    std::vector<std::uint32_t> rgb(720 * 486);
    ASSERT_TRUE(graph->GetFiesta(3, rgb.data()));
    for (size_t i = 0; i < colours.size(); i += 997) {
        for (int shift : {0, 8, 16}) {
            const int a = static_cast<int>((rgb[i] >> shift) & 0xFF), b = static_cast<int>((colours[i] >> shift) & 0xFF);
            ASSERT_NEAR(a, b, 3) << i;
        }
    }
    EXPECT_FALSE(graph->GetFiesta(0, nullptr));
    ASSERT_EQ(graph->RemoveFilterFiesta2Renderer(), 0);
    EXPECT_FALSE(graph->GetFiesta(2, rgb.data())) << "no channel";
    EXPECT_EQ(graph->PutFiesta(2, colours.data(), 720, 486, 0, 0, 8, 8, 0, 0), -1);
}

} // namespace

// Program out of the effects graph, seen: a board with a DigiMix composes its output with the
// mixer's compositor, so what the graph sends (stills, 2D DVE, wipe and background records)
// and what is written into the graphics frame buffer make the pictures. Three stages of one
// scene are kept as exact checksum goldens (with a picture for people beside each), and a
// still moved across the screen field by field is recorded, decoded back and found where each
// field put it. The journal is checked first.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "effects/mqvidfx_records.h"
#include "onair/effects_graph_fixture.h"
#include "platform/board/mixer/mixer_records.h"
#include "platform/board/output_stage.h"
#include "support/decoded_video.h"
#include "support/golden.h"
#include "support/pam_image.h"

namespace {

constexpr int W = 720, H = 486;
constexpr std::uint32_t kBlue = 0xFF203060;
constexpr std::uint32_t kYellow = 0xFFFFE000;

// Colour bars over a grey ramp, with a white frame: every part of the still is told apart.
std::vector<std::uint32_t> bars()
{
    static const std::uint32_t colours[7] = {0xFFC0C0C0, 0xFFC0C000, 0xFF00C0C0, 0xFF00C000,
                                             0xFFC000C0, 0xFFC00000, 0xFF0000C0};
    std::vector<std::uint32_t> p(static_cast<size_t>(W * H));
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            std::uint32_t c = colours[x * 7 / W];
            if (y >= 360) {
                const std::uint32_t g = static_cast<std::uint32_t>(x * 255 / (W - 1));
                c = 0xFF000000u | g << 16 | g << 8 | g;
            }
            if (x < 6 || x >= W - 6 || y < 6 || y >= H - 6) c = 0xFFFFFFFF;
            p[static_cast<size_t>(y * W + x)] = c;
        }
    }
    return p;
}

// Rings of colour, for the wiped line.
std::vector<std::uint32_t> rings()
{
    std::vector<std::uint32_t> p(static_cast<size_t>(W * H));
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            const double r = std::hypot(x - W / 2.0, (y - H / 2.0) * 1.2);
            const auto band = static_cast<std::uint32_t>(r / 24.0);
            const std::uint32_t red = band % 3 == 0 ? 0xE0 : 0x30, green = band % 3 == 1 ? 0xD0 : 0x40,
                                blue = static_cast<std::uint32_t>(x * 200 / W);
            p[static_cast<size_t>(y * W + x)] = 0xFF000000u | red << 16 | green << 8 | blue;
        }
    }
    return p;
}

// A caption plate: an opaque band with a lighter box, and a band whose key ramps up.
std::vector<std::uint32_t> caption()
{
    std::vector<std::uint32_t> p(static_cast<size_t>(W * H), 0);
    for (int y = 360; y < 440; ++y) {
        for (int x = 40; x < 680; ++x) {
            const bool box = x >= 60 && x < 300 && y >= 375 && y < 425;
            const std::uint32_t key = x < 400 ? 255u : static_cast<std::uint32_t>((x - 400) * 255 / 279);
            p[static_cast<size_t>(y * W + x)] = key << 24 | (box ? 0x00F8F8F0u : 0x00183890u);
        }
    }
    return p;
}

MQVIDFX_2DDVE_KEYFRAME dve(double x, double y, double w, double h, DWORD border = 0, DWORD border_argb = 0)
{
    MQVIDFX_2DDVE_KEYFRAME r{};
    r.lHorPos = zk::fx::to_fixed(x, 24);
    r.lVerPos = zk::fx::to_fixed(y, 24);
    r.lHorSize = zk::fx::to_fixed(w, 24);
    r.lVerSize = zk::fx::to_fixed(h, 24);
    r.dwBorderWidth = border;
    r.dwBorderColor = zt::yuv(border_argb);
    return r;
}

class EffectsGraphProgramOut : public zt::EffectsGraphTest {
protected:
    void SetUp() override
    {
        EffectsGraphTest::SetUp();
        ASSERT_EQ(graph->BilGraph_TelopNormal(), 0);
        ASSERT_EQ(graph->FgPlay(), S_OK);
        hold_ = std::make_unique<zk::OutputHold>(stage());
        mark = board().journal().mark();
    }
    void TearDown() override
    {
        hold_.reset();
        EffectsGraphTest::TearDown();
    }
    zk::OutputStage& stage() { return zk::output_stage(shared_board()); }
    void put(long ch, const std::vector<std::uint32_t>& picture)
    {
        zk::IdlePump pump(board());
        ASSERT_EQ(graph->PutFiesta(ch, picture.data(), W, H, 0, 0, W, H, 0, 0), 0);
    }
    // Program out once both fields have shown the current state.
    zk::OutputPicture program()
    {
        EXPECT_TRUE(board().step_fields(2));
        return stage().current().program;
    }
    std::uint32_t at(const zk::OutputPicture& p, int x, int y) { return p.pixels[static_cast<size_t>(y * W + x)]; }

    // The stages of the scene.
    void still_moved()
    {
        const MQVIDFX_BACKGROUND_KEYFRAME background = zk::fx::background_record(1, kBlue);
        ASSERT_EQ(graph->SendKeyframeBGen2(&background), S_OK);
        put(0, bars());
        // Three sixteenths across, a sixth down, at five eighths of the size, in a white border.
        const MQVIDFX_2DDVE_KEYFRAME moved = dve(0.1875, 1.0 / 6, 0.625, 0.625, 4, 0xFFFFFFFF);
        ASSERT_EQ(graph->Send2DDveKeyframe0(&moved), S_OK);
    }
    void wipe_half()
    {
        put(1, rings());
        const MQVIDFX_WIPE_KEYFRAME pattern{0, 1, 0, 0, 16, 16, 6, 0, 0, 0, 1};
        ASSERT_EQ(graph->SendWipeKeyframe0(&pattern), S_OK);
        ASSERT_EQ(graph->WipeBorderSet0(1, kYellow), 0);
        const MQVIDFX_FADERPOS_KEYFRAME half{0, 0x800000};
        ASSERT_EQ(graph->SendWipeFaderKeyframe0(&half), S_OK);
    }
    void graphics()
    {
        const auto plate = caption();
        ASSERT_EQ(graph->GfbWriteBuffer(0, reinterpret_cast<const unsigned char*>(plate.data())), 0);
    }

    void expect_golden(const std::string& name, const zk::OutputPicture& picture)
    {
        const std::vector<zt::FieldSum> run{zt::field_sum(0, picture.pixels, W, H)};
        zt::GoldenResult result = zt::check_field_sums(zt::field_sums_path("effects_graph", name), run);
        CKrFrameBuffer fb(W, H, 1);
        std::memcpy(fb.GetBufferDWord(), picture.pixels.data(), picture.pixels.size() * 4);
        const std::string drawn = zt::temp_path("effects_graph_" + name + ".pam");
        if (zt::write_pam(drawn, fb) && result.status != zt::GoldenStatus::same)
            result.report += "; the picture is " + drawn;
        EXPECT_GOLDEN(result);
    }

private:
    std::unique_ptr<zk::OutputHold> hold_;
};

// The goldens also run with the vectorised kernels off, and must give the same pictures.
class EffectsGraphGolden : public EffectsGraphProgramOut {};

TEST_F(EffectsGraphProgramOut, ABoardWithADigiMixComposesWithItsMixerAndOneWithoutDoesNot)
{
    const MQVIDFX_BACKGROUND_KEYFRAME background = zk::fx::background_record(1, kBlue);
    ASSERT_EQ(graph->SendKeyframeBGen2(&background), S_OK);
    const std::uint32_t blue = zk::mixer::yuv_to_pixel(zt::yuv(kBlue));
    EXPECT_EQ(at(program(), 5, 5), blue);

    // The same graph on a board whose cardset holds no DigiMix: only the graphics go out.
    graph.reset();
    zk::BoardConfig config = zt::manual_board();
    config.cardsets[0].boards = {"DigiSuiteLite"};
    zk::BoardOverride other(config);
    graph = std::make_unique<CMQGraph>();
    ASSERT_EQ(graph->Initialize(TRUE), S_OK);
    ASSERT_EQ(graph->BuildGraph(), S_OK);
    ASSERT_EQ(graph->BilGraph_TelopNormal(), 0);
    ASSERT_EQ(graph->FgPlay(), S_OK);
    ASSERT_EQ(graph->SendKeyframeBGen2(&background), S_OK);
    zk::OutputHold hold(zk::output_stage(other.shared()));
    ASSERT_TRUE(other.board().step_fields(2));
    EXPECT_EQ(zk::output_stage(other.shared()).current().program.pixels[5 * W + 5], 0u);
    graph.reset();
}

TEST_F(EffectsGraphProgramOut, AComposerSetByHandStays)
{
    stage().set_composer(nullptr);
    const MQVIDFX_BACKGROUND_KEYFRAME background = zk::fx::background_record(1, kBlue);
    ASSERT_EQ(graph->SendKeyframeBGen2(&background), S_OK);
    EXPECT_EQ(at(program(), 5, 5), 0u) << "the plain composer: graphics only";
    EXPECT_TRUE(stage().composer_chosen());
}

TEST_F(EffectsGraphGolden, StillScaledAndMovedByA2DDveRecord)
{
    still_moved();
    const auto sent = records(mark);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].target, "BGen2:Background In");
    EXPECT_EQ(sent[1].target, "Fiesta0:2D DVE In");
    EXPECT_EQ(sent[1].code, 48u);
    ASSERT_EQ(entries(zk::JournalKind::Still, mark).size(), 1u);
    const zk::OutputPicture p = program();
    const std::uint32_t blue = zk::mixer::yuv_to_pixel(zt::yuv(kBlue));
    const std::uint32_t white = zk::mixer::yuv_to_pixel(zt::yuv(0xFFFFFFFF));
    // Placed at (135, 81), 450 × 304, a 4-pixel border around it.
    EXPECT_EQ(at(p, 10, 10), blue);
    EXPECT_EQ(at(p, 133, 200), white) << "border";
    EXPECT_EQ(at(p, 300, 78), white) << "border";
    EXPECT_EQ(at(p, 587, 200), white) << "border";
    EXPECT_EQ(at(p, 600, 200), blue);
    EXPECT_EQ(at(p, 136, 200), 0xFFFFFFFFu) << "the still's own white frame, scaled";
    EXPECT_EQ(stage().current().preview.pixels, p.pixels) << "no wipe and no graphics: preview is program";
    expect_golden("dve_still", p);
}

TEST_F(EffectsGraphGolden, WipeHalfWayOverTheBackground)
{
    still_moved();
    wipe_half();
    const zk::OutputPicture p = program();
    const auto ring = rings();
    // Horizontal at half way: the line shows on the left half, what is below on the right.
    EXPECT_EQ(at(p, 100, 40), ring[40 * W + 100]);
    EXPECT_NE(at(p, 620, 40), ring[40 * W + 620]);
    EXPECT_EQ(at(stage().current().preview, 620, 40), ring[40 * W + 620]) << "preview shows the wipe complete";
    expect_golden("wipe_half", p);
}

TEST_F(EffectsGraphGolden, GraphicsKeyedOnTop)
{
    still_moved();
    wipe_half();
    graphics();
    const zk::OutputPicture p = program();
    EXPECT_EQ(at(p, 100, 400), 0xFFF8F8F0u) << "opaque graphics as they are";
    EXPECT_NE(stage().current().preview.pixels[400 * W + 100], 0xFFF8F8F0u) << "preview has no graphics";
    expect_golden("graphics_on_top", p);
}

TEST_F(EffectsGraphProgramOut, AStillMovingAcrossTheScreenIsRecordedFieldByField)
{
    const MQVIDFX_BACKGROUND_KEYFRAME background = zk::fx::background_record(1, kBlue);
    ASSERT_EQ(graph->SendKeyframeBGen2(&background), S_OK);
    const std::vector<std::uint32_t> solid(static_cast<size_t>(W * H), 0xFFF0D020u);
    put(0, solid);
    const MQVIDFX_2DDVE_KEYFRAME start = dve(0.0, 0.25, 0.25, 0.5);
    ASSERT_EQ(graph->Send2DDveKeyframe0(&start), S_OK);
    if (board().current_field() % 2 != 0) {
        ASSERT_TRUE(board().step_fields(1));
    }

    const std::string video = zt::temp_path("effects_graph_moving_still.mkv");
    zk::RecorderSettings settings;
    settings.video_path = video;
    ASSERT_EQ(stage().start_recording(settings), zk::kRecorderOk) << stage().recording_error();
    // One position a field: 9 pixels to the right each time, 60 fields.
    constexpr int kFields = 60;
    const std::uint64_t from = board().journal().mark();
    const long long first = board().current_field();
    for (int k = 0; k < kFields; ++k) {
        const MQVIDFX_2DDVE_KEYFRAME r = dve(9.0 * k / W, 0.25, 0.25, 0.5);
        ASSERT_EQ(graph->Send2DDveKeyframe0(&r), S_OK);
        ASSERT_TRUE(board().step_fields(1));
    }
    ASSERT_EQ(stage().stop_recording(), zk::kRecorderOk) << stage().recording_error();

    // The journal: one record a field, in that field.
    const auto sent = records(from);
    ASSERT_EQ(sent.size(), static_cast<size_t>(kFields));
    for (int k = 0; k < kFields; ++k) {
        EXPECT_EQ(sent[static_cast<size_t>(k)].field, first + k);
        EXPECT_EQ(zk::mixer::read_dve(sent[static_cast<size_t>(k)].bytes).x, zk::fx::to_fixed(9.0 * k / W, 24));
    }

    // The file: each frame's first field (odd lines) from an even field of the run, its second
    // field (even lines) from the next; the still's left edge where that field put it.
    const zt::Decoded decoded = zt::decode_file(video);
    ASSERT_EQ(decoded.error, "");
    ASSERT_EQ(decoded.frames.size(), static_cast<size_t>(kFields / 2));
    const std::uint32_t yellow = 0xFFF0D020u;
    for (size_t j = 0; j < decoded.frames.size(); ++j) {
        for (int parity : {1, 0}) {
            const int row = 200 + parity; // inside the still, rows 121.5 to 364.5
            const int k = static_cast<int>(2 * j) + (parity == 1 ? 0 : 1);
            const std::uint32_t* line = decoded.frames[j].data() + static_cast<size_t>(row * W);
            int left = -1;
            for (int x = 0; x < W; ++x) {
                if (line[x] == yellow) {
                    left = x;
                    break;
                }
            }
            EXPECT_EQ(left, 9 * k) << "frame " << j << " row " << row;
            EXPECT_EQ(line[9 * k + 179], yellow) << "frame " << j;
            EXPECT_NE(line[9 * k + 180], yellow) << "frame " << j << ": 180 pixels wide";
        }
    }
}

} // namespace

// The mixer's compositor, driven end to end through the mixer's filters: a still placed by a
// 2D DVE record with crop and border, wipes at half way in each pattern, graphics keyed on
// top (against committed checksum goldens), and the rules behind them: where each pattern
// shows the new picture, the ends of every pattern, the channels' freezes, the preview
// output, and colours read back from YUV records.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "framebuffer/mtx_color.h"
#include "mixer_harness.h"
#include "platform/board/mixer/mixer_composer.h"
#include "support/golden.h"
#include "support/library_thread.h"
#include "support/pam_image.h"
#include "support/test_support.h"

namespace {

constexpr int W = 720, H = 486;
using Picture = std::vector<std::uint32_t>;

std::uint32_t yuv(std::uint32_t argb)
{
    MtxColor c;
    return c.ARGBtoYUV(argb);
}

// A still that shows where each of its pixels came from: red across, green down, a checker
// in blue, a white grid every 60 pixels, and a band at the bottom whose key ramps up.
Picture test_still()
{
    Picture p(static_cast<size_t>(W) * H);
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            std::uint32_t r = static_cast<std::uint32_t>(x * 255 / (W - 1)), g = static_cast<std::uint32_t>(y * 255 / (H - 1));
            std::uint32_t b = ((x / 40 + y / 40) % 2) ? 200 : 40;
            std::uint32_t key = y >= 440 ? static_cast<std::uint32_t>(x * 255 / (W - 1)) : 255;
            if (x % 60 == 0 || y % 60 == 0) r = g = b = 255;
            p[static_cast<size_t>(y) * W + static_cast<size_t>(x)] = key << 24 | r << 16 | g << 8 | b;
        }
    }
    return p;
}

Picture flat(std::uint32_t colour)
{
    return Picture(static_cast<size_t>(W) * H, colour);
}

std::vector<std::uint8_t> dve_record(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, DWORD border = 0,
                                     DWORD border_argb = 0)
{
    return zt::words({0, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), static_cast<std::uint32_t>(w),
                      static_cast<std::uint32_t>(h), border, yuv(border_argb), yuv(0), 0, 0, 0, 0});
}

std::vector<std::uint8_t> wipe_record(DWORD pattern, DWORD border_width)
{
    return zt::words({0, pattern, 0, 16 | 16u << 16, border_width, 0, 0, 0, 1});
}

std::vector<std::uint8_t> fader_record(std::int32_t position)
{
    return zt::words({0, static_cast<std::uint32_t>(position)});
}

std::vector<std::uint8_t> background_record(bool enable, std::uint32_t argb)
{
    return zt::words({enable ? 1u : 0u, yuv(argb)});
}

// A telop mixer: five channels, wipe unit 0 with its border generator, background generator 2,
// each with begun keyframe sources.
class Studio : public zt::MixerBench {
public:
    Studio()
    {
        for (int n = 0; n < 5; ++n) {
            fiesta[n] = add(CLSID_FiestaRenderer);
            dve[n] = keyframes_to(fiesta[n].get(), "2D DVE In");
            crop[n] = keyframes_to(fiesta[n].get(), "Crop In");
        }
        wipe_renderer = add(CLSID_WipeRenderer);
        border_generator = add(CLSID_BorderGenerator);
        EXPECT_EQ(connect(border_generator.get(), "", wipe_renderer.get(), "Background In"), S_OK);
        wipe = keyframes_to(wipe_renderer.get(), "Wipe In");
        fader = keyframes_to(wipe_renderer.get(), "Fader In");
        border = keyframes_to(border_generator.get(), "Border In");
        background_generator = add(CLSID_BackgroundGenerator2);
        background = keyframes_to(background_generator.get(), "Background In");
    }

    void send(IKeyframeControl* control, const std::vector<std::uint8_t>& record)
    {
        ASSERT_EQ(control->SendKeyframe(record.data(), static_cast<DWORD>(record.size())), S_OK);
    }
    void put(int channel, const Picture& picture)
    {
        BITMAPINFOHEADER header{40, W, H, 1, 32, 0, 0, 0, 0, 0, 0};
        AM_MEDIA_TYPE mt{};
        mt.majortype = MEDIATYPE_Video;
        mt.subtype = MEDIASUBTYPE_RGB32;
        mt.cbFormat = sizeof header;
        mt.pbFormat = reinterpret_cast<BYTE*>(&header);
        const MQ_TRANSFER_DIB t{sizeof(MQ_TRANSFER_DIB), W, H, W * H * 4, 0, 0, W, H, 0, 0};
        ASSERT_EQ(fiesta[channel].as<ITransferDIB>()->PutFrame(&t, picture.data(), &mt), S_OK);
    }
    void compose(const zk::GraphicsArea& graphics = {nullptr, 720, 486, 768})
    {
        composer.compose(board().current_field(), graphics, program, preview);
    }
    std::uint32_t at(const zk::OutputPicture& p, int x, int y) const
    {
        return p.pixels[static_cast<size_t>(y) * W + static_cast<size_t>(x)];
    }

    std::array<zk::ComPtr<IBaseFilter>, 5> fiesta;
    std::array<zk::ComPtr<IKeyframeControl>, 5> dve, crop;
    zk::ComPtr<IBaseFilter> wipe_renderer, border_generator, background_generator;
    zk::ComPtr<IKeyframeControl> wipe, fader, border, background;
    zk::mixer::MixerComposer composer{zk::mixer::mixer_model(board())};
    zk::OutputPicture program, preview;
};

constexpr std::uint32_t kBlue = 0xFF203060;
constexpr std::uint32_t kYellow = 0xFFFFE000;

// The picture against its checksum golden; on a difference the picture is written for a person.
void expect_golden(const std::string& name, const zk::OutputPicture& picture)
{
    const std::vector<zt::FieldSum> run{zt::field_sum(0, picture.pixels, W, H)};
    zt::GoldenResult result = zt::check_field_sums(zt::field_sums_path("mixer", name), run);
    if (result.status != zt::GoldenStatus::same) {
        CKrFrameBuffer fb(W, H, 1);
        std::memcpy(fb.GetBufferDWord(), picture.pixels.data(), picture.pixels.size() * 4);
        const std::string drawn = zt::temp_path("mixer_" + name + ".pam");
        if (zt::write_pam(drawn, fb)) result.report += "; the picture composed is " + drawn;
    }
    EXPECT_GOLDEN(result);
}

TEST(MixerComposerGolden, StillScaledAndMovedByA2DDveRecord)
{
    Studio s;
    s.send(s.background.get(), background_record(true, kBlue));
    s.put(1, test_still());
    // A quarter of the way across, an eighth down, at half size; a tenth cut from the left;
    // a white border of 3 pixels.
    s.send(s.dve[1].get(), dve_record(0x400000, 0x200000, 0x800000, 0x800000, 3, 0xFFFFFFFF));
    s.send(s.crop[1].get(), zt::words({1, 0x19999A, 0, 0, 0}));
    s.compose();

    const std::uint32_t bg = zk::mixer::yuv_to_pixel(yuv(kBlue));
    const std::uint32_t white = zk::mixer::yuv_to_pixel(yuv(0xFFFFFFFF));
    EXPECT_EQ(s.at(s.program, 10, 10), bg);
    EXPECT_EQ(s.at(s.program, 180 - 1, 100), white) << "border left of the picture";
    EXPECT_EQ(s.at(s.program, 200, 61 - 1), white) << "border above the picture";
    EXPECT_EQ(s.at(s.program, 185, 100), bg) << "the cropped strip shows what is below";
    const Picture still = test_still();
    // Output (250, 100) shows store pixel (2·70+1)·720/(2·360) = 141, (2·39+1)·486/(2·243) = 79.
    EXPECT_EQ(s.at(s.program, 250, 100), still[79 * W + 141]);
    EXPECT_EQ(s.program.pixels, s.preview.pixels) << "no wipe and no graphics: preview is program";
    expect_golden("dve_still", s.program);
}

struct HalfWipe {
    const char* name;
    DWORD pattern;
};

const HalfWipe kHalfWipes[] = {
    {"wipe_horizontal", 1}, {"wipe_vertical_reversed", 2 | 0x8000}, {"wipe_box", 101},
    {"wipe_circle_reversed", 102 | 0x8000}, {"wipe_mix", 17},
};

void PrintTo(const HalfWipe& w, std::ostream* out) { *out << w.name; }

class MixerComposerGoldenWipe : public ::testing::TestWithParam<HalfWipe> {};

TEST_P(MixerComposerGoldenWipe, HalfWayOverTheBackground)
{
    const HalfWipe& w = GetParam();
    Studio s;
    s.send(s.background.get(), background_record(true, kBlue));
    s.put(1, test_still());
    s.send(s.border.get(), background_record(true, kYellow));
    s.send(s.wipe.get(), wipe_record(w.pattern, 6));
    s.send(s.fader.get(), fader_record(0x800000));
    s.compose();
    expect_golden(w.name, s.program);
    // The preview shows the line as the wipe will leave it.
    const Picture still = test_still();
    EXPECT_EQ(s.at(s.preview, 100, 100), still[100 * W + 100]);
}

INSTANTIATE_TEST_SUITE_P(Patterns, MixerComposerGoldenWipe, ::testing::ValuesIn(kHalfWipes),
                         [](const ::testing::TestParamInfo<HalfWipe>& info) { return std::string(info.param.name); });

TEST(MixerComposerGolden, GraphicsKeyedOnTop)
{
    Studio s;
    s.put(0, test_still());
    // The graphics frame buffer's rows are 768 pixels long: an opaque box and a box whose key
    // ramps from 0 to 255, on a transparent area.
    std::vector<std::uint32_t> gfb(768 * 486, 0);
    for (int y = 300; y < 400; ++y) {
        for (int x = 40; x < 680; ++x) {
            const std::uint32_t key = x < 360 ? 255u : static_cast<std::uint32_t>((x - 360) * 255 / 319);
            gfb[static_cast<size_t>(y) * 768 + static_cast<size_t>(x)] = key << 24 | 0x00F0F0F0;
        }
    }
    s.compose({gfb.data(), 720, 486, 768});
    EXPECT_EQ(s.at(s.program, 100, 350), 0xFFF0F0F0u);
    const Picture still = test_still();
    EXPECT_EQ(s.at(s.program, 100, 100), still[100 * W + 100]);
    EXPECT_EQ(s.preview.pixels, still) << "preview has no graphics";
    expect_golden("graphics_on_top", s.program);
}

// ---- the rules behind the pictures ----

TEST(MixerComposer, AHorizontalWipeShowsTheLineLeftOfItsEdge)
{
    Studio s;
    const Picture line = flat(0xFF00FF00);
    s.send(s.background.get(), background_record(true, kBlue));
    const std::uint32_t bg = zk::mixer::yuv_to_pixel(yuv(kBlue));
    s.put(2, line);
    s.send(s.wipe.get(), wipe_record(1, 0));
    for (std::int32_t p : {0x1, 0x400000, 0x555555, 0xFFFFFF}) {
        s.send(s.fader.get(), fader_record(p));
        s.compose();
        const int edge = static_cast<int>((static_cast<long long>(p) * W + 0x800000) >> 24);
        for (int y : {0, 243, 485}) {
            for (int x = 0; x < W; ++x) ASSERT_EQ(s.at(s.program, x, y), x < edge ? line[0] : bg) << p << " " << x;
        }
    }
}

TEST(MixerComposer, EveryPatternShowsWhatIsBelowAtZeroAndTheLineAtOne)
{
    Studio s;
    Picture still = test_still();
    for (auto& p : still) p |= 0xFF000000u;
    s.send(s.background.get(), background_record(true, kBlue));
    s.send(s.border.get(), background_record(true, kYellow));
    s.put(1, still);
    s.put(0, flat(0xFF102030));
    for (DWORD pattern : {0u, 1u, 2u, 101u, 102u, 55u}) {
        for (DWORD modifier : {0u, 0x8000u}) {
            s.send(s.wipe.get(), wipe_record(pattern | modifier, 20));
            s.send(s.fader.get(), fader_record(0));
            s.compose();
            EXPECT_EQ(s.program.pixels, flat(0xFF102030)) << pattern << " " << modifier;
            // Out of range positions are held at the ends (a backward wipe starts at 1.002).
            s.send(s.fader.get(), fader_record(0x1008312));
            s.compose();
            EXPECT_EQ(s.program.pixels, still) << pattern << " " << modifier;
        }
    }
}

TEST(MixerComposer, AFrozenChannelHoldsWhatItHasAndAFieldFreezeRepeatsTheFirstField)
{
    Studio s;
    auto first = std::make_shared<zk::StillPicture>();
    first->pixels = test_still();
    auto second = std::make_shared<zk::StillPicture>();
    second->pixels = flat(0xFF804020);
    zk::mixer::MixerModel& model = s.model();

    model.set_live_input(0, first);
    s.compose();
    EXPECT_EQ(s.program.pixels, first->pixels) << "a running channel takes its input";
    auto tbc = s.fiesta[0].as<ITBCControl>();
    ASSERT_EQ(tbc->SetStrobeRate(0), S_OK);
    model.set_live_input(0, second);
    ASSERT_TRUE(s.board().step_fields(4));
    s.compose();
    EXPECT_EQ(s.program.pixels, first->pixels) << "a frozen channel holds";

    ASSERT_EQ(tbc->SetDisplayMode(DISPLAY_FIELD), S_OK);
    s.compose();
    for (int y = 0; y < H; ++y) {
        const int shown = std::min(y | 1, H - 1);
        ASSERT_EQ(s.at(s.program, 77, y), first->pixels[static_cast<size_t>(shown) * W + 77]) << y;
    }

    // Running again at every second frame: the input is taken at frames that are multiples of 2.
    ASSERT_EQ(tbc->SetDisplayMode(DISPLAY_FRAME), S_OK);
    ASSERT_EQ(tbc->SetStrobeRate(2), S_OK);
    s.compose();
    EXPECT_EQ(s.program.pixels, second->pixels) << "the rate change takes the input at once";
    model.set_live_input(0, first);
    const long long field = s.board().current_field();
    const long long next = (field / 2 / 2 + 1) * 2; // the next frame that is a multiple of 2
    ASSERT_TRUE(s.board().step_fields(2 * next - 1 - field));
    s.compose();
    EXPECT_EQ(s.program.pixels, second->pixels) << "not yet the next strobe frame";
    ASSERT_TRUE(s.board().step_fields(1));
    s.compose();
    EXPECT_EQ(s.program.pixels, first->pixels);
}

TEST(MixerComposer, APreviewCrosspointOnAChannelTakesItOffProgram)
{
    Studio s;
    s.send(s.background.get(), background_record(true, kBlue));
    const std::uint32_t bg = zk::mixer::yuv_to_pixel(yuv(kBlue));
    s.put(0, flat(0xFF111111));
    s.put(3, flat(0xFF333333));
    s.send(s.dve[3].get(), dve_record(0, 0, 0x800000, 0x1000000));
    auto select = s.add(CLSID_PreviewOutputSelect);
    auto preview_in = s.connection_to(select.get(), "Video In");
    zt::Packet p(mq_hwconn_source(0x53), 0, 0);
    ASSERT_EQ(preview_in->ReceiveData(&p.packet, sizeof p.packet), S_OK);
    s.compose();
    EXPECT_EQ(s.at(s.preview, 10, 10), 0xFF333333u);
    EXPECT_EQ(s.at(s.preview, 700, 10), bg) << "the preview channel alone over the background";
    EXPECT_EQ(s.program.pixels, flat(0xFF111111)) << "channel 3 is on preview only";

    zt::Packet other(mq_hwconn_source(0x57), 0, 0);
    ASSERT_EQ(preview_in->ReceiveData(&other.packet, sizeof other.packet), S_OK);
    s.compose();
    EXPECT_EQ(s.at(s.program, 10, 10), 0xFF333333u) << "back on program";
}

TEST(MixerComposer, ChannelsShowOnlyWhileDrivenAndStoredAndMirrorWithANegativeSize)
{
    Studio s;
    s.compose();
    EXPECT_EQ(s.program.pixels, flat(0)) << "nothing stored: transparent black";
    const Picture still = test_still();
    s.put(4, still);
    s.send(s.dve[4].get(), dve_record(0x1000000, 0, -0x1000000, 0x1000000));
    s.compose();
    for (int x : {0, 1, 359, 719}) EXPECT_EQ(s.at(s.program, x, 30), still[30 * W + (W - 1 - x)]) << x;
    s.remove(s.fiesta[4].get());
    s.compose();
    EXPECT_EQ(s.program.pixels, flat(0)) << "a channel no filter drives is not shown";
}

TEST(MixerComposer, RecordColoursComeBackAsTheColoursSent)
{
    Studio s;
    for (std::uint32_t argb : {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFF808080u, 0xFFFFFFFFu, 0xFF000000u}) {
        s.send(s.background.get(), background_record(true, argb));
        s.compose();
        const std::uint32_t got = s.at(s.program, 0, 0);
        EXPECT_EQ(got >> 24, 0xFFu);
        for (int shift : {0, 8, 16})
            EXPECT_NEAR(static_cast<int>(got >> shift & 0xFF), static_cast<int>(argb >> shift & 0xFF), 4)
                << std::hex << argb << " byte " << shift / 8;
    }
    s.send(s.background.get(), background_record(false, 0xFFFF0000u));
    s.compose();
    EXPECT_EQ(s.at(s.program, 0, 0), 0u) << "a disabled generator gives transparent black";
}

TEST(MixerComposer, ComposesWhileRecordsAndStillsArrive)
{
    Studio s;
    s.send(s.wipe.get(), wipe_record(101, 4));
    const Picture a = flat(0xFF00FF00), b = flat(0xFFFF0000);
    constexpr int kSends = 200;
    {
        zt::LibraryThread sender([&] {
            for (int i = 1; i <= kSends; ++i) {
                const auto fader = fader_record(static_cast<std::int32_t>(0x1000000LL * i / kSends));
                s.fader->SendKeyframe(fader.data(), 8);
                if (i % 25 == 0) s.put(1, i % 50 ? a : b);
            }
        });
        for (int i = 0; i < 60; ++i) s.compose();
    }
    s.compose();
    EXPECT_EQ(s.program.pixels, b) << "the last still, the wipe complete";
    EXPECT_EQ(zk::mixer::read_fader(s.model().state().unit("WipeRenderer0").record(zk::mixer::RecordKind::Fader).bytes),
              0x1000000);
}

} // namespace

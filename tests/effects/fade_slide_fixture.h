// Shared set-up of the fade controller and slide tests: a board on a hand-stepped clock with
// an effects graph built on it (tests/onair/gfb_fixture.h), four banks holding random
// pictures, a fade controller and a slide object initialised on them, and, until the on-air
// control exists, a field-interrupt client that plays the vertical-sync thread's part for
// them: on every field it publishes the parity to the graph and hands it to the slides (while
// they play) and then to the fades (while active), in the on-air control's order.
//
// The graphics writes the effects make are read back from the journal with the words the
// graph records (area top, x, first line, width, rows, checksum of the pixels); the
// expected words of a field write of a picture are computed here from the picture itself.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "effects/kr_fade_ctr.h"
#include "effects/kr_slide.h"
#include "onair/gfb_fixture.h"
#include "onair/kr_gfb.h"
#include "platform/board/board_journal.h"
#include "support/test_support.h"

namespace zt {

// The vertical-sync thread's effect steps, run on the interrupt client's thread.
class EffectsVSync final : public CVSyncClient {
public:
    EffectsVSync(CMQGraph& graph, CKrSlide* slide, CKrFadeCtr* fade) : graph_(graph), slide_(slide), fade_(fade)
    {
        HRESULT hr = S_OK;
        Open("\\\\.\\DigiSuiteSystemClock0", &hr);
        ok_ = SUCCEEDED(hr) && IsOpen();
        SetEnabled(TRUE);
    }
    ~EffectsVSync() override { Close(); }
    bool ok() const { return ok_; }
    void ProcessField(DWORD) override
    {
        const int field = GetFieldIndicator();
        graph_.SetFieldNumber(field);
        if (slide_ && slide_->GetRunning()) slide_->SlideEventSet(static_cast<unsigned long>(field));
        if (fade_ && fade_->GetActive()) fade_->FadeEventSet(static_cast<unsigned long>(field));
    }

private:
    CMQGraph& graph_;
    CKrSlide* slide_;
    CKrFadeCtr* fade_;
    bool ok_ = false;
};

// One graphics write as the journal has it.
struct GfbWrite {
    long long field = 0;
    std::uint32_t code = 0;  // 1 first field, 2 second
    std::array<std::uint32_t, 6> words{};

    friend bool operator==(const GfbWrite&, const GfbWrite&) = default;
    friend std::ostream& operator<<(std::ostream& os, const GfbWrite& w)
    {
        os << "f" << w.field << " code " << w.code << " {";
        for (std::uint32_t v : w.words) os << " " << static_cast<std::int32_t>(v);
        return os << " }";
    }
};

// The write of field `field` of the board (even: a first field, the odd lines) of the w × h
// area at (sx, sy) of `picture` to (dx, dy) of the front area, as the graph journals it.
inline GfbWrite expected_write(long long field, const CKrFrameBuffer& picture, long sx, long sy, long w, long h,
                               long dx, long dy)
{
    const bool second = field % 2 == 1;
    const long first = (dy % 2 == 1) == !second ? 0 : 1;  // odd lines for the first field
    std::uint32_t sum = 2166136261u;
    long rows = 0;
    for (long r = first; r < h; r += 2, ++rows) {
        const DWORD* row = picture.GetBufferDWord() + static_cast<size_t>(sy + r) * picture.GetWidth() + sx;
        sum = zk::pixel_checksum(row, static_cast<size_t>(w) * 4, sum);
    }
    return GfbWrite{field, second ? 2u : 1u,
                    {0u, static_cast<std::uint32_t>(dx), static_cast<std::uint32_t>(dy + first),
                     static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(rows), sum}};
}

class FadeSlideTest : public GfbGraphTest {
protected:
    void SetUp() override
    {
        GfbGraphTest::SetUp();
        if (HasFatalFailure()) return;
        board().journal().set_pixel_checksums(true);
        seed = test_seed();
        std::mt19937 rng(seed);
        for (int b = 0; b < 4; ++b) fill_random(*banks.GetGfb(b), rng);
        fade = std::make_unique<CKrFadeCtr>();
        slide = std::make_unique<CKrSlide>();
        ASSERT_EQ(fade->Initial(graph.get(), &banks), 1);
        ASSERT_EQ(slide->Initial(graph.get(), &banks, fade.get()), 0);
        vsync = std::make_unique<EffectsVSync>(*graph, slide.get(), fade.get());
        ASSERT_TRUE(vsync->ok());
    }
    void TearDown() override
    {
        vsync.reset();
        slide.reset();
        fade.reset();
        GfbGraphTest::TearDown();
    }

    // Graphics writes since `from`.
    std::vector<GfbWrite> writes_since(std::uint64_t from)
    {
        std::vector<GfbWrite> out;
        for (const zk::JournalEntry& e : board().journal().since(from)) {
            if (e.kind != zk::JournalKind::GraphicsWrite) continue;
            EXPECT_EQ(e.target, "GFB front");
            GfbWrite w{e.field, e.code, {}};
            std::memcpy(w.words.data(), e.bytes.data(), std::min(e.bytes.size(), sizeof w.words));
            out.push_back(w);
        }
        return out;
    }
    // A copy of one bank, to compare with later.
    CKrFrameBuffer bank(int b) { return *banks.GetGfb(b); }
    // The rectangle of the front area of the graphics memory, as a picture.
    CKrFrameBuffer front(long x, long y, long w, long h)
    {
        const std::vector<std::uint32_t> m = memory();
        CKrFrameBuffer out(w, h, 0);
        for (long j = 0; j < h; ++j)
            for (long i = 0; i < w; ++i) set_px(out, i, j, m[static_cast<size_t>((y + j) * zk::kGfbPitch + x + i)]);
        return out;
    }
    // The rectangle of a picture, as a picture of its own.
    static CKrFrameBuffer cut(const CKrFrameBuffer& from, long x, long y, long w, long h)
    {
        CKrFrameBuffer out(w, h, 0);
        for (long j = 0; j < h; ++j)
            for (long i = 0; i < w; ++i) set_px(out, i, j, px(from, x + i, y + j));
        return out;
    }

    std::uint32_t seed = 0;
    CKrGfb banks;
    std::unique_ptr<CKrFadeCtr> fade;
    std::unique_ptr<CKrSlide> slide;
    std::unique_ptr<EffectsVSync> vsync;
};

// Collects the texts the library reports while it lives.
class ReportedTexts {
public:
    ReportedTexts()
    {
        zk::set_message_observer([this](const char* m) {
            std::lock_guard<std::mutex> guard(lock_);
            texts_.emplace_back(m);
        });
    }
    ~ReportedTexts() { zk::set_message_observer(nullptr); }
    std::vector<std::string> take()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return std::exchange(texts_, {});
    }

private:
    std::mutex lock_;
    std::vector<std::string> texts_;
};

} // namespace zt

// Shared set-up of the fade controller and slide tests: a board on a hand-stepped clock with
// an effects graph built on it (tests/onair/gfb_fixture.h), four banks holding random
// pictures, a fade controller and a slide object initialised on them, and, until the on-air
// control exists, a field-interrupt client that plays the vertical-sync thread's part for
// them: on every field it publishes the parity to the graph and hands it to the slides (while
// they play) and then to the fades (while active), in the on-air control's order.
//
// The graphics writes the effects make are read back from the journal (effects/
// graphics_writes.h).
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
#include "effects/field_client.h"
#include "effects/graphics_writes.h"
#include "effects/kr_fade_ctr.h"
#include "effects/kr_slide.h"
#include "onair/gfb_fixture.h"
#include "onair/kr_gfb.h"
#include "platform/board/board_journal.h"
#include "support/test_support.h"

namespace zt {

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
        // The slides first, then the fades, as the on-air control steps them.
        vsync = std::make_unique<FieldClient>(*graph, [this](unsigned long field) {
            if (slide->GetRunning()) slide->SlideEventSet(field);
            if (fade->GetActive()) fade->FadeEventSet(field);
        });
        ASSERT_TRUE(vsync->ok());
    }
    void TearDown() override
    {
        vsync.reset();
        slide.reset();
        fade.reset();
        GfbGraphTest::TearDown();
    }

    // Graphics writes since `from`: the effects write the front area only.
    std::vector<GfbWrite> writes_since(std::uint64_t from)
    {
        std::vector<GfbWrite> out = graphics_writes(board().journal(), from);
        for (const GfbWrite& w : out) EXPECT_EQ(w.target, "GFB front");
        return out;
    }
    // A copy of one bank, to compare with later.
    CKrFrameBuffer bank(int b) { return *banks.GetGfb(b); }
    // The rectangle of the front area of the graphics memory, as a picture.
    CKrFrameBuffer front(long x, long y, long w, long h) { return memory_picture(memory(), x, y, w, h); }
    static CKrFrameBuffer cut(const CKrFrameBuffer& from, long x, long y, long w, long h)
    {
        return cut_picture(from, x, y, w, h);
    }

    std::uint32_t seed = 0;
    CKrGfb banks;
    std::unique_ptr<CKrFadeCtr> fade;
    std::unique_ptr<CKrSlide> slide;
    std::unique_ptr<FieldClient> vsync;
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

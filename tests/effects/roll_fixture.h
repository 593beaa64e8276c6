// Shared set-up of the roll and frame-buffer push tests: a board on a hand-stepped clock with an
// effects graph built on it (tests/onair/gfb_fixture.h), four banks, a host that puts pictures
// on air as the on-air control will (into the write bank; when that bank is on air, into the
// back area and registered as field work), and a field-interrupt client that plays the
// vertical-sync thread's part: on every field it publishes the parity to the graph, copies the
// pending field work from the back area to the front, then tells the roll and the push the
// field, in the on-air control's order.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "effects/field_client.h"
#include "effects/gfb_roll.h"
#include "effects/graphics_writes.h"
#include "effects/kr_roll.h"
#include "onair/gfb_fixture.h"
#include "onair/kr_gfb.h"
#include "onair/vsync_client.h"
#include "platform/board/board_journal.h"
#include "platform/board/gfb_device.h"
#include "platform/testing/board.h"
#include "support/test_support.h"

namespace zt {

// The host's ImagePut as the on-air control does it.
class RollTestHost final : public zk::RollHost {
public:
    RollTestHost(CMQGraph& graph, CKrGfb& banks, CVSyncWork& work) : graph_(graph), banks_(banks), work_(work) {}
    int ImagePut(CKrFrameBuffer* image, int x, int y) override
    {
        ++puts;
        if (refuse) return -1;
        CBox box;
        if (banks_.PutImg(image, 0, 0, static_cast<long>(image->GetWidth()), static_cast<long>(image->GetHeight()), x,
                          y, &box) != 0)
            return -1;
        const int bank = banks_.GetBankWrite();
        if (bank != banks_.GetBankOa()) return 0;
        if (graph_.GfbBkWriteBuff(banks_.GetGfbBuff(bank), CKrGfb::kWidth, CKrGfb::kHeight, box.x, box.y, box.width,
                                  box.height, box.x, box.y) != 0)
            return -1;
        return work_.SetVSyncWork(box);
    }

    int puts = 0;        // the test thread's only
    bool refuse = false;

private:
    CMQGraph& graph_;
    CKrGfb& banks_;
    CVSyncWork& work_;
};

// The vertical-sync thread's steps for the roll and the push, in the on-air control's order:
// the pending field work copied from the back area to the front, then the roll, then the push.
inline FieldClient::Step roll_vsync_steps(CMQGraph& graph, CVSyncWork& work, CKrRoll& roll, CGfbRoll& push)
{
    return [&graph, &work, &roll, &push](unsigned long field) {
        zk::copy_field_work(graph, work, static_cast<int>(field));
        roll.SetEvent(field);
        push.SetEvent(field);
    };
}

class RollTest : public GfbGraphTest {
protected:
    void SetUp() override
    {
        GfbGraphTest::SetUp();
        if (HasFatalFailure()) return;
        board().journal().set_pixel_checksums(true);
        seed = test_seed();
        rng.seed(seed);
        host = std::make_unique<RollTestHost>(*graph, banks, work);
        roll = std::make_unique<CKrRoll>();
        push = std::make_unique<CGfbRoll>();
        ASSERT_EQ(roll->Initial(graph.get(), static_cast<zk::RollHost*>(host.get())), 1);
        push->Initial(graph.get(), &banks);
        vsync = std::make_unique<FieldClient>(*graph, roll_vsync_steps(*graph, work, *roll, *push));
        ASSERT_TRUE(vsync->ok());
    }
    void TearDown() override
    {
        // Whatever still runs is ended while the fields come, before anything goes.
        if (roll && roll->BreakRoll()) step_until(board(), [&] { return !roll->GetStateRoll(); }, 4);
        if (push && push->CheckRollEnd()) {
            zk::IdlePump pump(board(), 4);
            push->RollEnd();
        }
        vsync.reset();
        roll.reset();
        push.reset();
        GfbGraphTest::TearDown();
    }

    // A random caption picture (keys mostly 0 or 255).
    CKrFrameBuffer picture(long w, long h) { return random_buffer(w, h, rng, 1); }
    // What reached the graphics device and the mixer since `from`, one line per entry, in
    // order: graphics writes, display positions, blits and keyframe records (see the line
    // makers below).
    std::vector<std::string> trace_since(std::uint64_t from)
    {
        std::vector<std::string> out;
        for (const zk::JournalEntry& e : board().journal().since(from)) {
            if (e.kind == zk::JournalKind::GraphicsWrite) {
                GfbWrite w{e.field, e.code, {}, e.target};
                std::memcpy(w.words.data(), e.bytes.data(), std::min(e.bytes.size(), sizeof w.words));
                out.push_back(line(w));
            } else if (e.kind == zk::JournalKind::DeviceRequest && e.code == IOCTL_GFB_DISPLAY && e.bytes.size() == 4) {
                std::uint32_t position = 0;
                std::memcpy(&position, e.bytes.data(), 4);
                out.push_back(display_line(e.field, static_cast<long>(position)));
            } else if (e.kind == zk::JournalKind::DeviceRequest && e.code == IOCTL_GFB_BLIT &&
                       e.bytes.size() == sizeof(zk::GfbBlitRequest)) {
                zk::GfbBlitRequest r;
                std::memcpy(&r, e.bytes.data(), sizeof r);
                out.push_back(blit_line(e.field, {r.left, r.top, r.right, r.bottom, r.vshift, r.hshift}));
            } else if (e.kind == zk::JournalKind::Keyframe) {
                out.push_back(key_line(e.field, e.target, e.bytes));
            }
        }
        return out;
    }
    static std::string line(const GfbWrite& w)
    {
        std::ostringstream os;
        os << w;
        return os.str();
    }
    static std::string display_line(long long field, long position)
    {
        std::ostringstream os;
        os << "f" << field << " display " << position;
        return os.str();
    }
    static std::string blit_line(long long field, const zk::fx::BlitWords& w)
    {
        std::ostringstream os;
        os << "f" << field << " blit " << w.left << " " << w.top << " " << w.right << " " << w.bottom << " " << w.vshift
           << " " << w.hshift;
        return os.str();
    }
    static std::string key_line(long long field, const std::string& target, const std::vector<std::uint8_t>& bytes)
    {
        std::ostringstream os;
        os << "f" << field << " key " << target << std::hex;
        for (std::uint8_t b : bytes) os << " " << static_cast<int>(b);
        return os.str();
    }
    // The blit of a field copy inside the front area (GfbCopyFrtoFr_First/_Second): the
    // field's first line in the rectangle, right and bottom exclusive.
    static std::string field_copy_line(long long field, long x, long y, long w, long h, long dx, long dy)
    {
        const long top = (y % 2 == 1) == (field % 2 == 0) ? y : y + 1;
        return blit_line(field, {static_cast<std::int32_t>(x), static_cast<std::int32_t>(top),
                                 static_cast<std::int32_t>(x + w), static_cast<std::int32_t>(y + h),
                                 static_cast<std::int32_t>(dy), static_cast<std::int32_t>(dx)});
    }
    // The vertical-sync thread's copy of field work (the whole picture) from the back area.
    static std::string field_work_line(long long field)
    {
        return field_copy_line(field, 0, zk::kGfbAreaLines, CKrGfb::kWidth, CKrGfb::kHeight, 0, -zk::kGfbAreaLines / 2);
    }
    // The host's write of a whole picture into the back area.
    static std::string back_write_line(long long field, const CKrFrameBuffer& screen)
    {
        std::uint32_t sum = 2166136261u;
        for (long r = 0; r < CKrGfb::kHeight; ++r)
            sum = zk::pixel_checksum(screen.GetBufferDWord() + r * CKrGfb::kWidth, CKrGfb::kWidth * 4, sum);
        return line(GfbWrite{field, 0, {684u, 0u, 0u, 720u, 486u, sum}, "GFB back"});
    }
    // The front area's picture (720 × 486 at the top left).
    CKrFrameBuffer shown() { return memory_picture(memory(), 0, 0, CKrGfb::kWidth, CKrGfb::kHeight); }
    // Steps until the roll has ended; the number of fields it took.
    long fields_until_roll_ends(long limit = 5000)
    {
        for (long n = 1; n <= limit; ++n) {
            if (!board().step_fields(1)) return -1;
            if (!roll->GetStateRoll()) return n;
        }
        return -1;
    }

    std::uint32_t seed = 0;
    std::mt19937 rng;
    CKrGfb banks;
    CVSyncWork work;
    std::unique_ptr<RollTestHost> host;
    std::unique_ptr<CKrRoll> roll;
    std::unique_ptr<CGfbRoll> push;
    std::unique_ptr<FieldClient> vsync;
};

} // namespace zt

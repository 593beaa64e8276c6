// Program out, seen: rectangles and a caption drawn into a graphics bank, written to the back
// area and copied to the front field by field by the vertical-sync harness, as the on-air
// control does it; the board reads out every field and records. The journal is checked first
// (one copy a field, of the right field's lines), then the file, decoded back through
// libavformat: every frame, fill and key, against the recorder's snapshots, and the last one
// against the bank that was drawn. The codec is lossless, so all of it is exact.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "onair/gfb_fixture.h"
#include "onair/kr_gfb.h"
#include "platform/board/output_stage.h"
#include "support/decoded_video.h"
#include "support/field_clip.h"
#include "support/pam_image.h"
#include "support/test_support.h"

namespace {

class ProgramOut : public zt::GfbGraphTest {
protected:
    // What the on-air control does with a changed rectangle of the on-air bank: wait until the
    // last rectangle has been shown, write this one into the back area, hand it to the
    // vertical-sync thread. The wait here steps fields instead of sleeping.
    void put_on_air(CKrGfb& banks, const CBox& box)
    {
        ASSERT_TRUE(zt::step_until(board(), [this] { return work.GetWorkFlag() == 0; }, 10));
        ASSERT_EQ(graph->GfbBkWriteBuff(banks.GetGfbBuff(banks.GetBankOa()), 720, 486, box.x, box.y, box.width,
                                        box.height, box.x, box.y),
                  0);
        ASSERT_EQ(work.SetVSyncWork(box), 0);
        boxes_sent.push_back(box);
    }

    CVSyncWork work;
    std::vector<CBox> boxes_sent;
};

TEST_F(ProgramOut, ARecordedClipDecodesToItsSnapshotsAndEndsOnTheBank)
{
    zt::VSyncHarness harness(*graph, work);
    ASSERT_TRUE(harness.ok());
    const std::string video = zt::temp_path("program_out.mkv");
    const std::string frames = zt::temp_path("program_out_frames");
    std::filesystem::remove_all(frames);
    std::filesystem::create_directories(frames);
    zk::OutputStage& stage = zk::output_stage(shared_board());
    stage.keep_frames(1);
    zk::RecorderSettings settings;
    settings.video_path = video;
    settings.snapshot_dir = frames;
    ASSERT_EQ(board().current_field() % 2, 0) << "the recording starts on a first field";
    ASSERT_EQ(stage.start_recording(settings), zk::kRecorderOk) << stage.recording_error();
    const std::uint64_t from = board().journal().mark();

    CKrGfb banks;
    CKrFrameBuffer caption(720, 486, 1);
    for (int step = 0; step < 14; ++step) {
        CBox box;
        if (step % 5 == 4) {
            // A caption plate with letters, laid over what is there by its key.
            zt::draw_clip_picture(zt::ClipKind::caption, step * 2, 720, 486,
                                  std::span<std::uint32_t>(caption.GetBufferDWord(), 720 * 486));
            banks.SetCopyMode(1);
            ASSERT_EQ(banks.PutImg(&caption, 0, 300, 720, 186, 0, 300, &box), 0);
            banks.SetCopyMode(0);
        } else {
            // Rectangles at odd and even lines and columns, some cut by the picture's edges.
            const long x = -20 + 97 * step % 760, y = -9 + 61 * step % 500;
            const DWORD colour = 0x40000000u * static_cast<DWORD>(step % 4) + 0x3FFFFFu + 0x010203u * static_cast<DWORD>(step);
            ASSERT_EQ(banks.BoxFill(x, y, 41 + 13 * step, 29 + 7 * step, colour | 0x3F000000u, &box), 0);
        }
        put_on_air(banks, box);
        ASSERT_TRUE(board().step_fields(step % 3 + 1));
    }
    ASSERT_TRUE(zt::step_until(board(), [this] { return work.GetWorkFlag() == 0; }, 10));
    ASSERT_TRUE(board().step_fields(2 + board().current_field() % 2)); // end on a whole frame
    ASSERT_EQ(stage.stop_recording(), zk::kRecorderOk) << stage.recording_error();
    EXPECT_EQ(harness.copies_failed(), 0);

    // The journal: each rectangle copied once per field over two fields, each field's lines.
    struct Blit {
        long long field;
        std::vector<std::int32_t> words;
    };
    std::vector<Blit> blits;
    for (const zk::JournalEntry& e : board().journal().since(from)) {
        if (e.kind != zk::JournalKind::DeviceRequest || e.code != IOCTL_GFB_BLIT) continue;
        zk::GfbBlitRequest r;
        std::memcpy(&r, e.bytes.data(), sizeof r);
        ASSERT_TRUE(e.ok);
        blits.push_back({e.field, {r.left, r.top, r.right, r.bottom, r.vshift, r.hshift}});
    }
    ASSERT_EQ(blits.size(), 2 * boxes_sent.size());
    for (std::size_t i = 0; i < boxes_sent.size(); ++i) {
        const CBox& b = boxes_sent[i];
        const Blit& one = blits[2 * i];
        const Blit& two = blits[2 * i + 1];
        EXPECT_EQ(two.field, one.field + 1) << "rectangle " << i << ": the next field";
        for (const Blit* blit : {&one, &two}) {
            const bool second = blit->field % 2 == 1;
            const long top = 684 + b.y + ((b.y % 2 == 1) == second ? 1 : 0);
            EXPECT_EQ(blit->words, (std::vector<std::int32_t>{static_cast<std::int32_t>(b.x), static_cast<std::int32_t>(top),
                                                               static_cast<std::int32_t>(b.x + b.width),
                                                               static_cast<std::int32_t>(684 + b.y + b.height), -342, 0}))
                << "rectangle " << i << " field " << blit->field;
        }
    }

    // The file against the snapshots, frame by frame.
    const zk::RecorderCounts counts = stage.recording_counts();
    const zt::Decoded decoded = zt::decode_file(video);
    ASSERT_EQ(decoded.error, "");
    EXPECT_EQ(decoded.field_order, AV_FIELD_BB);
    EXPECT_EQ(decoded.width, 720);
    EXPECT_EQ(decoded.height, 486);
    ASSERT_EQ(static_cast<long long>(decoded.frames.size()), counts.frames);
    ASSERT_GE(decoded.frames.size(), 12u);
    EXPECT_EQ(counts.held_fields, 0) << "every frame had both its fields";
    for (std::size_t k = 0; k < decoded.frames.size(); ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%06zu.pam", k);
        CKrFrameBuffer snapshot;
        ASSERT_TRUE(zt::read_pam(frames + name, snapshot)) << name;
        const std::vector<std::uint32_t> want(snapshot.GetBufferDWord(), snapshot.GetBufferDWord() + 720 * 486);
        ASSERT_EQ(zt::compare_frame(static_cast<long>(k), decoded.frames[k], want, 720), "");
    }
    const auto snapshots = std::distance(std::filesystem::directory_iterator(frames), std::filesystem::directory_iterator());
    EXPECT_EQ(static_cast<std::size_t>(snapshots), decoded.frames.size()) << "as many snapshots as frames";

    // The last frame shows the on-air bank as drawn, key included.
    const CKrFrameBuffer& bank = *banks.GetGfb(banks.GetBankOa());
    const std::vector<std::uint32_t> drawn(bank.GetBufferDWord(), bank.GetBufferDWord() + 720 * 486);
    EXPECT_EQ(zt::compare_frame(static_cast<long>(decoded.frames.size() - 1), decoded.frames.back(), drawn, 720), "");
    const auto kept = stage.kept_frames();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].program.pixels, drawn);
}

} // namespace

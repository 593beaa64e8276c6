// Recording a test board's program out into a clip for people to look at: where the clip goes
// (the folder ZORVIK_CLIPS_OUT names, or the build's test folder), and starting and ending the
// recording on frame boundaries, so that every recorded frame is a first and a second field of
// the same frame.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/board/output_stage.h"
#include "platform/board/virtual_board.h"
#include "support/test_support.h"

namespace zt {

inline std::string clip_path(const char* file)
{
    const char* dir = std::getenv("ZORVIK_CLIPS_OUT");
    const std::string path = dir ? std::string(dir) + "/" + file : temp_path(file);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::filesystem::remove(path);
    return path;
}

// Steps to a first field and records program out to `path`.
inline void start_clip(const std::shared_ptr<zk::VirtualBoard>& board, const std::string& path)
{
    if (board->current_field() % 2 == 1) {
        ASSERT_TRUE(board->step_fields(1));
    }
    zk::RecorderSettings settings;
    settings.video_path = path;
    zk::OutputStage& stage = zk::output_stage(board);
    ASSERT_EQ(stage.start_recording(settings), zk::kRecorderOk) << stage.recording_error();
}

// Completes the frame under way and ends the recording.
inline void finish_clip(const std::shared_ptr<zk::VirtualBoard>& board, const std::string& path)
{
    if (board->current_field() % 2 == 1) {
        ASSERT_TRUE(board->step_fields(1));
    }
    zk::OutputStage& stage = zk::output_stage(board);
    ASSERT_EQ(stage.stop_recording(), zk::kRecorderOk) << stage.recording_error();
    std::printf("wrote %s (%lld frames)\n", path.c_str(), stage.recording_counts().frames);
}

} // namespace zt

// A motion clip as the on-air side names it: files that share one base name.
//
//   name.avi         the fill (required)
//   name.matte.avi   the key as a matte: its brightness is the fill's key
//   name.alpha.avi   used when there is no matte: its own alpha is the fill's key
//   name.A1.wav      left sound, name.A2.wav right sound; without either, name.wav
//
// The base name is the clip's path without its last extension ("news/open.avi" and
// "news/open" both name news/open). A fill without a matte or alpha clip keys with its own
// alpha when it has one, and is opaque otherwise: the clip still opens, with kMediaNoKey and a
// sentence saying so. A key with fewer frames than the fill holds its last frame
// (kMediaKeyShorter). A key of another size is scaled to the picture.
#pragma once

#include <string>

#include "platform/media/frame_prefetcher.h"
#include "platform/media/media_file.h"

namespace zk {

enum class KeyKind {
    none,       // opaque
    matte,      // name.matte.avi's brightness
    alpha_clip, // name.alpha.avi's alpha
    own_alpha,  // the fill's own alpha
};

struct MotionFiles {
    std::string fill;
    std::string key; // empty when there is no key file
    KeyKind key_kind = KeyKind::none;
};

struct WaveFiles {
    std::string left;  // empty when there is no sound
    std::string right; // empty when there is no right file
};

// The path without its last extension.
std::string media_base_name(const std::string& path);
// The files of a clip, by which of them exist (the fill is named whether it exists or not).
MotionFiles find_motion_files(const std::string& name);
// The sound of a clip: name.A1.wav and name.A2.wav where they exist; when neither does,
// name.wav as the left file.
WaveFiles find_wave_files(const std::string& name);

class MotionClip final : public FrameSource {
public:
    // Opens the fill and its key; the pictures are width × height, or the fill's own size
    // when both are 0.
    MediaStatus open(const std::string& name, int width = 0, int height = 0);
    void close();

    const MotionFiles& files() const { return files_; }
    KeyKind key_kind() const { return files_.key_kind; }
    const MediaInfo& fill_info() const { return fill_.info(); }
    const MediaInfo& key_info() const { return key_.info(); }

    long long frame_count() const override;
    int width() const override { return width_; }
    int height() const override { return height_; }
    // Frame `frame` of the fill with its key, width() × height().
    MediaStatus decode_frame(long long frame, VideoPicture& out) override;

private:
    MotionFiles files_;
    MediaFile fill_;
    MediaFile key_;
    int width_ = 0;
    int height_ = 0;
};

} // namespace zk

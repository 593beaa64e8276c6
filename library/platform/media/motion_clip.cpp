// Finding a clip's files by its base name, and putting fill and key together. See motion_clip.h.
#include "platform/media/motion_clip.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/checked.h"

namespace zk {
namespace {

bool is_file(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

} // namespace

std::string media_base_name(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    // A dot that starts the file name (".hidden") is no extension.
    const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
    if (dot == std::string::npos || dot <= name_start) return path;
    return path.substr(0, dot);
}

MotionFiles find_motion_files(const std::string& name)
{
    const std::string base = media_base_name(name);
    MotionFiles files;
    files.fill = base + ".avi";
    if (is_file(base + ".matte.avi")) {
        files.key = base + ".matte.avi";
        files.key_kind = KeyKind::matte;
    } else if (is_file(base + ".alpha.avi")) {
        files.key = base + ".alpha.avi";
        files.key_kind = KeyKind::alpha_clip;
    }
    return files;
}

WaveFiles find_wave_files(const std::string& name)
{
    const std::string base = media_base_name(name);
    WaveFiles files;
    if (is_file(base + ".A1.wav")) files.left = base + ".A1.wav";
    if (is_file(base + ".A2.wav")) files.right = base + ".A2.wav";
    if (files.left.empty() && files.right.empty() && is_file(base + ".wav")) files.left = base + ".wav";
    return files;
}

void MotionClip::close()
{
    fill_.close();
    key_.close();
    files_ = {};
    width_ = height_ = 0;
}

MediaStatus MotionClip::open(const std::string& name, int width, int height)
{
    close();
    if (width < 0 || height < 0 || width > kMaxMediaSide || height > kMaxMediaSide || (width == 0) != (height == 0))
        return ZK_MEDIA_FAIL(kMediaBadArgument, "cannot show a clip at " + std::to_string(width) + " x " + std::to_string(height));
    MotionFiles files = find_motion_files(name);
    MediaStatus status = fill_.open(files.fill);
    if (!status.ok()) return status;
    if (!fill_.info().has_video) {
        fill_.close();
        return ZK_MEDIA_FAIL(kMediaNoStream, files.fill + " has no video");
    }
    MediaStatus note;
    if (files.key_kind != KeyKind::none) {
        status = key_.open(files.key);
        if (status.ok() && !key_.info().has_video) status = ZK_MEDIA_FAIL(kMediaNoStream, files.key + " has no video");
        if (status.ok() && files.key_kind == KeyKind::alpha_clip && !key_.info().has_alpha)
            status = ZK_MEDIA_FAIL(kMediaNoStream, files.key + " has no alpha channel to key with");
        if (!status.ok()) {
            close();
            return status;
        }
        if (key_.info().frame_count < fill_.info().frame_count)
            note = {kMediaKeyShorter, files.key + " has " + std::to_string(key_.info().frame_count) + " frames for " +
                                          std::to_string(fill_.info().frame_count) + ": its last frame is held"};
    } else if (fill_.info().has_alpha) {
        files.key_kind = KeyKind::own_alpha;
    } else {
        const std::string base = media_base_name(name);
        note = {kMediaNoKey, "no " + base + ".matte.avi or " + base + ".alpha.avi: " + files.fill + " is shown opaque"};
    }
    files_ = files;
    width_ = width ? width : fill_.info().width;
    height_ = height ? height : fill_.info().height;
    return note;
}

long long MotionClip::frame_count() const
{
    return fill_.is_open() ? fill_.info().frame_count : 0;
}

MediaStatus MotionClip::decode_frame(long long frame, VideoPicture& out)
{
    if (!fill_.is_open()) return ZK_MEDIA_FAIL(kMediaNotOpen, "no clip is open");
    std::size_t bytes = 0;
    if (!image_bytes(width_, height_, 4, bytes)) return ZK_MEDIA_FAIL(kMediaBadArgument, "the clip's picture size is not usable");
    if (out.pixels.size() != bytes / 4) out.pixels.assign(bytes / 4, 0);
    out.width = width_;
    out.height = height_;
    out.frame = -1;
    MediaStatus status = fill_.read_picture(frame, width_, height_, out.pixels);
    if (!status.ok()) return status;
    if (files_.key_kind == KeyKind::matte || files_.key_kind == KeyKind::alpha_clip) {
        const long long key_frame = std::min(frame, key_.info().frame_count - 1);
        status = key_.read_key(key_frame, files_.key_kind == KeyKind::matte ? KeyFrom::luma : KeyFrom::alpha, width_, height_, out.pixels);
        if (!status.ok()) return status;
    }
    out.frame = frame;
    return {};
}

} // namespace zk

// Opening media from memory: any bytes open or give a result code; a file that opens gives its
// first and last frame (picture and key) and samples from its start and middle, or a code.
#include <algorithm>
#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "platform/media/media_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool quiet = [] {
        av_log_set_level(AV_LOG_QUIET); // damaged input makes FFmpeg talk on every run
        return true;
    }();
    (void)quiet;
    zk::MediaFile file;
    if (!file.open_memory({data, size}, "fuzz input").ok()) return 0;
    const zk::MediaInfo& info = file.info();
    if (info.has_video) {
        // Small pictures keep the runs quick: the decoder still decodes whole frames.
        const int w = std::min(info.width, 64), h = std::min(info.height, 64);
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
        for (long long k : {0LL, info.frame_count - 1, 0LL}) {
            (void)file.read_picture(k, w, h, pixels);
            (void)file.read_key(k, info.has_alpha ? zk::KeyFrom::alpha : zk::KeyFrom::luma, w, h, pixels);
        }
    }
    if (info.has_audio) {
        std::vector<std::int16_t> samples(2 * 512);
        (void)file.read_audio(0, 512, samples);
        (void)file.read_audio(info.board_sample_count / 2, info.board_sample_count / 2 + 512, samples);
        (void)file.read_audio(256, 768, samples);
    }
    return 0;
}

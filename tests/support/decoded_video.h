// Reading a recorded video file back through libavformat and libavcodec, without any code of
// the recorder: every frame as board pixels (blue | green << 8 | red << 16 | key << 24), the
// stream's codec, field order, rates and size, and a comparison that names the first pixel
// that differs.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace zt {

// What a recorded file holds, read back without the recorder's code.
struct Decoded {
    std::string error; // empty when the file was read to its end
    AVCodecID codec = AV_CODEC_ID_NONE;
    AVFieldOrder field_order = AV_FIELD_UNKNOWN;
    AVRational avg_rate{0, 1};
    AVRational real_rate{0, 1};
    int width = 0, height = 0;
    std::vector<std::vector<std::uint32_t>> frames;
    // The sound stream beside the pictures, when there is one: 16-bit PCM as stored.
    bool has_audio = false;
    int sample_rate = 0, channels = 0;
    std::vector<std::int16_t> audio; // interleaved
};

// A decoded frame as board pixels, through the pixel format's own description of where each
// component lies (so no repacking code of the recorder is reused here).
inline bool to_board_pixels(const AVFrame* f, std::vector<std::uint32_t>& out, std::string& error)
{
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(f->format));
    if (!d || !(d->flags & AV_PIX_FMT_FLAG_RGB) || !(d->flags & AV_PIX_FMT_FLAG_ALPHA) || d->nb_components != 4) {
        error = std::string("decoded to a format without RGB and alpha: ") + (d ? d->name : "?");
        return false;
    }
    for (const AVComponentDescriptor& c : d->comp)
        if (c.depth != 8 || c.shift != 0) {
            error = std::string("decoded to a format that is not 8 bits a component: ") + d->name;
            return false;
        }
    out.assign(static_cast<std::size_t>(f->width) * static_cast<std::size_t>(f->height), 0);
    const int shift[4] = {16, 8, 0, 24}; // red, green, blue, alpha in the board's word
    for (int y = 0; y < f->height; ++y)
        for (int x = 0; x < f->width; ++x) {
            std::uint32_t p = 0;
            for (int i = 0; i < 4; ++i) {
                const AVComponentDescriptor& c = d->comp[i];
                const std::uint8_t v = f->data[c.plane][static_cast<std::ptrdiff_t>(y) * f->linesize[c.plane] + x * c.step + c.offset];
                p |= static_cast<std::uint32_t>(v) << shift[i];
            }
            out[static_cast<std::size_t>(y) * static_cast<std::size_t>(f->width) + static_cast<std::size_t>(x)] = p;
        }
    return true;
}

inline Decoded decode_file(const std::string& path)
{
    Decoded d;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        d.error = "cannot open " + path;
        return d;
    }
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> fc(raw, [](AVFormatContext* c) { avformat_close_input(&c); });
    if (avformat_find_stream_info(fc.get(), nullptr) < 0) {
        d.error = "no stream information";
        return d;
    }
    const AVCodec* decoder = nullptr;
    const int index = av_find_best_stream(fc.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    // One video stream, and at most one sound stream of 16-bit PCM beside it.
    int audio_index = -1;
    for (unsigned i = 0; i < fc->nb_streams; ++i) {
        const AVCodecParameters* par = fc->streams[i]->codecpar;
        if (static_cast<int>(i) == index) continue;
        if (par->codec_type != AVMEDIA_TYPE_AUDIO || par->codec_id != AV_CODEC_ID_PCM_S16LE || audio_index >= 0) {
            d.error = "a stream other than one video and one 16-bit sound stream";
            return d;
        }
        audio_index = static_cast<int>(i);
        d.has_audio = true;
        d.sample_rate = par->sample_rate;
        d.channels = par->ch_layout.nb_channels;
    }
    if (index < 0 || !decoder) {
        d.error = "not one decodable video stream";
        return d;
    }
    const AVStream* st = fc->streams[index];
    d.codec = st->codecpar->codec_id;
    d.field_order = st->codecpar->field_order;
    d.avg_rate = st->avg_frame_rate;
    d.real_rate = st->r_frame_rate;
    d.width = st->codecpar->width;
    d.height = st->codecpar->height;

    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> cc(avcodec_alloc_context3(decoder),
                                                                  [](AVCodecContext* c) { avcodec_free_context(&c); });
    if (avcodec_parameters_to_context(cc.get(), st->codecpar) < 0 || avcodec_open2(cc.get(), decoder, nullptr) < 0) {
        d.error = "cannot open the decoder";
        return d;
    }
    std::unique_ptr<AVPacket, void (*)(AVPacket*)> packet(av_packet_alloc(), [](AVPacket* p) { av_packet_free(&p); });
    std::unique_ptr<AVFrame, void (*)(AVFrame*)> frame(av_frame_alloc(), [](AVFrame* f) { av_frame_free(&f); });
    auto receive = [&]() -> bool {
        for (;;) {
            const int err = avcodec_receive_frame(cc.get(), frame.get());
            if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return true;
            if (err < 0) {
                d.error = "decoding failed at frame " + std::to_string(d.frames.size());
                return false;
            }
            std::vector<std::uint32_t> p;
            if (!to_board_pixels(frame.get(), p, d.error)) return false;
            d.frames.push_back(std::move(p));
        }
    };
    while (av_read_frame(fc.get(), packet.get()) >= 0) {
        const bool ours = packet->stream_index == index;
        if (packet->stream_index == audio_index && audio_index >= 0) {
            const auto* from = reinterpret_cast<const std::int16_t*>(packet->data);
            d.audio.insert(d.audio.end(), from, from + packet->size / 2);
        }
        const int err = ours ? avcodec_send_packet(cc.get(), packet.get()) : 0;
        av_packet_unref(packet.get());
        if (err < 0) {
            d.error = "the decoder refused a packet";
            return d;
        }
        if (ours && !receive()) return d;
    }
    avcodec_send_packet(cc.get(), nullptr);
    receive();
    return d;
}

// "frame 3 (x 10, y 7): 0x.. where 0x.. was given, 12 pixels differ", or empty when equal.
inline std::string compare_frame(long index, const std::vector<std::uint32_t>& got, const std::vector<std::uint32_t>& want, int width)
{
    if (got.size() != want.size()) return "frame " + std::to_string(index) + " has " + std::to_string(got.size()) + " pixels";
    long differ = 0;
    std::size_t first = 0;
    for (std::size_t i = 0; i < got.size(); ++i)
        if (got[i] != want[i] && differ++ == 0) first = i;
    if (!differ) return {};
    char text[160];
    std::snprintf(text, sizeof text, "frame %ld (x %zu, y %zu): 0x%08X where 0x%08X was given; %ld pixels differ", index,
                  first % static_cast<std::size_t>(width), first / static_cast<std::size_t>(width), got[first], want[first], differ);
    return text;
}

} // namespace zt

// Reading the mixer's keyframe records word by word, and its colour words as pixels.
#include "platform/board/mixer/mixer_records.h"

#include <algorithm>

#include "framebuffer/mtx_color.h"

namespace zk::mixer {

const char* record_name(RecordKind kind)
{
    switch (kind) {
    case RecordKind::Dve2D:
        return "2D DVE";
    case RecordKind::Crop:
        return "crop";
    case RecordKind::Procamp:
        return "procamp";
    case RecordKind::Mask:
        return "mask";
    case RecordKind::Paint:
        return "paint";
    case RecordKind::Wipe:
        return "wipe";
    case RecordKind::Fader:
        return "fader";
    case RecordKind::Background:
        return "background";
    case RecordKind::Volume:
        return "volume";
    }
    return "?";
}

Dve2D read_dve(std::span<const std::uint8_t> record)
{
    Dve2D d;
    if (record.size() != record_size(RecordKind::Dve2D)) return d;
    d.x = record_long(record, 4);
    d.y = record_long(record, 8);
    d.width = record_long(record, 12);
    d.height = record_long(record, 16);
    d.border_width = record_word(record, 20);
    d.border_yuv = record_word(record, 24);
    return d;
}

Crop read_crop(std::span<const std::uint8_t> record)
{
    Crop c;
    if (record.size() != record_size(RecordKind::Crop)) return c;
    c.enabled = record_word(record, 0) != 0;
    c.left = record_long(record, 4);
    c.top = record_long(record, 8);
    c.right = record_long(record, 12);
    c.bottom = record_long(record, 16);
    return c;
}

Wipe read_wipe(std::span<const std::uint8_t> record)
{
    Wipe w;
    if (record.size() != record_size(RecordKind::Wipe)) return w;
    w.mode = record_word(record, 0);
    const std::uint32_t pattern = record_word(record, 4);
    w.pattern = pattern & ~0x8000u;
    w.reversed = (pattern & 0x8000u) != 0;
    w.border_width = std::min<std::uint32_t>(record_word(record, 16), 200);
    w.value2 = record_word(record, 20);
    return w;
}

std::int32_t read_fader(std::span<const std::uint8_t> record)
{
    if (record.size() != record_size(RecordKind::Fader)) return kFixedOne;
    return std::clamp(record_long(record, 4), 0, kFixedOne);
}

Background read_background(std::span<const std::uint8_t> record)
{
    Background b;
    if (record.size() != record_size(RecordKind::Background)) return b;
    b.enabled = record_word(record, 0) != 0;
    b.yuv = record_word(record, 4);
    return b;
}

std::uint32_t yuv_to_pixel(std::uint32_t yuv)
{
    const std::uint32_t swapped = (yuv & 0x00FF0000u) | (yuv & 0xFFu) << 8 | (yuv >> 8 & 0xFFu);
    MtxColor c;
    return c.YUVtoARGB(swapped) | 0xFF000000u;
}

} // namespace zk::mixer

// Fuzz target: the stored drawing-attribute record, and rendering with whatever it says.
//
// The first 160 bytes are a stored record; the rest is a small mask. The record must survive
// unpacking and packing unchanged (but for the name slots), and drawing with it, however
// damaged its sizes, modes and scale, must end in a result code without a crash.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "draw/bw_draw_info.h"
#include "draw/kr_bw_draw.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < zk::kBwDrawInfoBytes) return 0;
    std::array<std::uint8_t, zk::kBwDrawInfoBytes> stored;
    std::memcpy(stored.data(), data, stored.size());
    tagKRBWDRAWINFO info;
    zk::unpack_bw_draw_info(stored, info);
    for (std::size_t at : {140u, 148u, 156u}) std::memset(stored.data() + at, 0, 4);
    if (zk::pack_bw_draw_info(info) != stored) std::abort();

    // Mask: one byte of width (in 16-pixel words), one of height, then the bits.
    data += zk::kBwDrawInfoBytes;
    size -= zk::kBwDrawInfoBytes;
    if (size < 2) return 0;
    const long words = 1 + data[0] % 4, height = 1 + data[1] % 64;
    // Sizes near the renderer's bound of 255 make pictures of a million pixels, slow under
    // the sanitizers; unless the width byte is 0xFF, asking for the record's own sizes, they
    // are folded into -12..12 so that most runs stay quick.
    if (data[0] != 0xFF) {
        for (std::int32_t* v : {&info.EdgeType.Size, &info.ShadType.Size, &info.ShadType.SoftSize})
            *v = static_cast<std::int32_t>(static_cast<std::int64_t>(*v) % 13);
    }
    data += 2;
    size -= 2;
    CKrMonoBitmap mask;
    if (mask.Create(words * 16, height) != 0) return 0;
    std::memcpy(mask.GetBits(), data, std::min<std::size_t>(size, mask.GetSize()));

    CKrBwDraw draw;
    CKrFrameBuffer target(96, 64, 1);
    CBox box, whole, body, edge, shadow;
    draw.DispFb(&target, &info, &mask, &box);
    CKrFrameBuffer result;
    draw.SetFb(&result, &info, &mask, whole, body, edge, shadow);

    // A small picture whose keys are the mask bytes, decorated as an image.
    CKrFrameBuffer picture(words * 4, 1 + height / 4, 1);
    for (unsigned long i = 0; i < picture.GetWidth() * picture.GetHeight() && i < mask.GetSize(); ++i)
        picture.GetBufferDWord()[i] = static_cast<DWORD>(mask.GetBits()[i]) << 24 | 0x00C08040u;
    draw.SetImgEdgeShadow(&result, &info, &picture, whole, body, edge, shadow);
    picture.SetEdgeOrgSize(&picture, &info);
    return 0;
}

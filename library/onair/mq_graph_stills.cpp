// CMQGraph: stills into and out of the Fiesta channels' frame stores.
//
// A put copies a rectangle of the caller's picture into the store, clipped first to the
// source and then to the 720 × 486 store. The channels move pixels in pairs and frames in
// line pairs, so origins are lowered to even columns and lines and widths and heights made
// even: an odd source origin takes one more column (or line) before it and lands one earlier,
// an odd size grows by one where the source has it and shrinks by one where it does not, and a
// destination is lowered to even and cut to the store. An origin left of or above a picture
// cuts the rectangle there and moves its other side with it, so a still placed partly off
// the store shows its visible part where it belongs (a cut at the store's left edge may then
// start on an odd column of the source: moving the picture by a pixel to avoid that would
// put it where it was not asked to be).
#include <algorithm>
#include <cstdint>

#include "core/errors.h"
#include "onair/mq_graph_parts.h"
#include "platform/win32/win32_base.h"

namespace {

constexpr long kStoreWidth = 720;
constexpr long kStoreHeight = 486;
constexpr DWORD kSettleMs = 500;
// Further from the pictures than any picture's size (which fits 32 bits) could reach.
constexpr long kFar = 1L << 40;

struct Rect {
    long sx, sy, w, h, dx, dy;
};

bool odd(long v)
{
    return (v & 1) != 0;
}

// One axis of the source clipping: origin, size and destination origin.
void clip_source_axis(long& s, long& size, long& d, long limit)
{
    if (s < 0) {
        size += s;
        d -= s;
        s = 0;
    }
    if (odd(s)) {
        --s;
        ++size;
        --d;
    }
    if (size > limit - s) size = limit - s;
    if (odd(size)) {
        ++size;
        if (size > limit - s) size = limit - s;
        if (odd(size)) --size;
    }
}

// One axis of the destination clipping.
void clip_destination_axis(long& d, long& size, long& s, long limit)
{
    if (d < 0) {
        size += d;
        s -= d;
        d = 0;
    }
    if (odd(d)) --d;
    if (size > limit - d) size = limit - d;
    if (odd(size)) --size;
}

void set_media_type(AM_MEDIA_TYPE& mt, BITMAPINFOHEADER& header, long width, long height, bool yuv)
{
    header = BITMAPINFOHEADER{};
    header.biSize = sizeof header;
    header.biWidth = static_cast<LONG>(width);
    header.biHeight = static_cast<LONG>(height);
    header.biPlanes = 1;
    header.biBitCount = 32;
    mt = AM_MEDIA_TYPE{};
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = yuv ? MEDIASUBTYPE_AYUV : MEDIASUBTYPE_RGB32;
    mt.cbFormat = sizeof header;
    mt.pbFormat = reinterpret_cast<BYTE*>(&header);
}

} // namespace

long CMQGraph::TransferStill(long ch, const void* pixels, bool yuv, long srcW, long srcH, long sx, long sy, long w,
                             long h, long dx, long dy)
{
    if (ch < 0 || ch > 4) ch = 0;
    // 1. What cannot be put at all.
    if (!m_bBuilt.load() || !pixels || srcW < 1 || srcH < 1 || sx >= srcW || sy >= srcH || dx > kStoreWidth - 1 ||
        dy > kStoreHeight - 1)
        return -1;
    // The caller's picture is srcW × srcH words; a size whose bytes do not fit the transfer's
    // 32-bit count cannot be described to the channel.
    const unsigned long long bytes = static_cast<unsigned long long>(srcW) * static_cast<unsigned long long>(srcH) * 4u;
    if (bytes > 0xFFFFFFFFull) return -1;
    // 2, 3. Clipped to the source. Arguments far beyond any picture are brought in first, so
    // the sums below cannot overflow; clipping gives the same rectangle either way.
    auto in_range = [](long v) { return std::clamp(v, -kFar, kFar); };
    Rect r{in_range(sx), in_range(sy), in_range(w), in_range(h), in_range(dx), in_range(dy)};
    clip_source_axis(r.sx, r.w, r.dx, srcW);
    clip_source_axis(r.sy, r.h, r.dy, srcH);
    if (r.w < 1 || r.h < 1) return -1;
    // 4, 5. Clipped to the store.
    clip_destination_axis(r.dx, r.w, r.sx, kStoreWidth);
    clip_destination_axis(r.dy, r.h, r.sy, kStoreHeight);
    if (r.w < 1 || r.h < 1 || r.dx > kStoreWidth - 1 || r.dy > kStoreHeight - 1) return -1;
    zk::ComPtr<IBaseFilter> renderer;
    {
        std::lock_guard<std::mutex> guard(m_pParts->lock);
        renderer = m_pParts->fiesta[static_cast<size_t>(ch)].renderer.filter;
    }
    if (!renderer) return -1;

    // 6. The transfer, with the transport stopped, and the graph played again once the still
    //    has had time to settle in the store.
    if (CanStop()) FgStop();
    zk::ComPtr<ITransferDIB> transfer = renderer.as<ITransferDIB>();
    if (!transfer) {
        ReportError("Could not query for ITransferDIB interface!", E_NOINTERFACE);
        return ZK_FAIL(E_NOINTERFACE);
    }
    AM_MEDIA_TYPE mt;
    BITMAPINFOHEADER header;
    set_media_type(mt, header, srcW, srcH, yuv);
    const MQ_TRANSFER_DIB record{sizeof(MQ_TRANSFER_DIB),
                                 static_cast<LONG>(srcW),
                                 static_cast<LONG>(srcH),
                                 static_cast<DWORD>(bytes),
                                 static_cast<LONG>(r.sx),
                                 static_cast<LONG>(r.sy),
                                 static_cast<LONG>(r.w),
                                 static_cast<LONG>(r.h),
                                 static_cast<LONG>(r.dx),
                                 static_cast<LONG>(r.dy)};
    const HRESULT hr = transfer->PutFrame(&record, pixels, &mt);
    if (FAILED(hr)) {
        ReportError("PutFrame() failed!", hr);
        return ZK_FAIL(hr);
    }
    Sleep(kSettleMs);
    FgPlay();
    WaitForCompletion();
    return 0;
}

BOOL CMQGraph::ReadStill(long ch, void* pixels, bool yuv)
{
    if (ch < 0 || ch > 4) ch = 0;
    if (!m_bBuilt.load() || !pixels) return FALSE;
    zk::ComPtr<IBaseFilter> renderer;
    {
        std::lock_guard<std::mutex> guard(m_pParts->lock);
        renderer = m_pParts->fiesta[static_cast<size_t>(ch)].renderer.filter;
    }
    zk::ComPtr<ITransferDIB> transfer = renderer ? renderer.as<ITransferDIB>() : nullptr;
    if (!transfer) return FALSE;
    AM_MEDIA_TYPE mt;
    BITMAPINFOHEADER header;
    set_media_type(mt, header, kStoreWidth, kStoreHeight, yuv);
    const MQ_TRANSFER_DIB record{sizeof(MQ_TRANSFER_DIB), kStoreWidth, kStoreHeight,
                                 static_cast<DWORD>(kStoreWidth * kStoreHeight * 4), 0, 0, kStoreWidth, kStoreHeight,
                                 0, 0};
    return SUCCEEDED(transfer->GetFrame(&record, pixels, &mt)) ? TRUE : FALSE;
}

long CMQGraph::PutFiesta(long ch, const void* pixels, long srcW, long srcH, long sx, long sy, long w, long h, long dx,
                         long dy)
{
    return TransferStill(ch, pixels, false, srcW, srcH, sx, sy, w, h, dx, dy);
}

long CMQGraph::PutFiestaYuv(long ch, const void* pixels, long srcW, long srcH, long sx, long sy, long w, long h,
                            long dx, long dy)
{
    return TransferStill(ch, pixels, true, srcW, srcH, sx, sy, w, h, dx, dy);
}

BOOL CMQGraph::GetFiesta(long ch, void* pixels)
{
    return ReadStill(ch, pixels, false);
}

BOOL CMQGraph::GetFiestaYuv(long ch, void* pixels)
{
    return ReadStill(ch, pixels, true);
}

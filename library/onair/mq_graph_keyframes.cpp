// CMQGraph: keyframe records to the Fiesta channels, the wipe units and background generator 2;
// the wipe borders; the channels' time-base correctors and the freezes built on them.
//
// A record goes to the control of its source as it is, with the size the unit takes for it;
// the unit answers (a record refused is journalled by the board). A wipe unit keeps the last
// record of each kind it accepted, so a unit made again starts where it was.
#include <array>
#include <cstdio>
#include <cstring>

#include "core/errors.h"
#include "framebuffer/mtx_color.h"
#include "onair/mq_graph_parts.h"

namespace {

constexpr DWORD kChannelRecordSizes[zk::graph::kSourceKinds] = {48, 20, 20, 20, 16};
constexpr DWORD kWipeRecordSizes[zk::graph::kWipeKinds] = {36, 8, 8};
constexpr DWORD kBackgroundSize = 8;

bool channel_ok(long channel)
{
    return channel >= 0 && channel <= 4;
}

} // namespace

long CMQGraph::SendChannelRecord(int channel, int kind, const void* record)
{
    if (!m_bBuilt.load() || !channel_ok(channel)) return -1;
    zk::ComPtr<IKeyframeControl> control;
    {
        std::lock_guard<std::mutex> guard(m_pParts->lock);
        control = m_pParts->fiesta[static_cast<size_t>(channel)].controls[static_cast<size_t>(kind)];
    }
    if (!control) return -1;
    return control->SendKeyframe(record, kChannelRecordSizes[kind]);
}

long CMQGraph::SendWipeRecord(int unit, int kind, const void* record)
{
    if (!m_bBuilt.load() || unit < 0 || unit > 1) return -1;
    zk::graph::WipeUnit& w = m_pParts->wipe[static_cast<size_t>(unit)];
    zk::ComPtr<IKeyframeControl> control;
    {
        std::lock_guard<std::mutex> guard(m_pParts->lock);
        control = w.controls[static_cast<size_t>(kind)];
    }
    if (!control) return -1;
    const DWORD size = kWipeRecordSizes[kind];
    const HRESULT hr = control->SendKeyframe(record, size);
    if (SUCCEEDED(hr)) {
        const auto* bytes = static_cast<const std::uint8_t*>(record);
        std::lock_guard<std::mutex> guard(m_pParts->lock);
        std::vector<std::uint8_t>& kept = kind == zk::graph::kWipe    ? w.wipe_record
                                          : kind == zk::graph::kFader ? w.fader_record
                                                                      : w.border_record;
        kept.assign(bytes, bytes + size);
    }
    return hr;
}

long CMQGraph::WipeBorderSet(int unit, long enable, DWORD argb)
{
    if (!m_bBuilt.load()) return -1;
    MtxColor colour;
    const DWORD record[2] = {enable != 0 ? 1u : 0u, colour.ARGBtoYUV(argb)};
    SendWipeRecord(unit, zk::graph::kBorder, record);
    return 0;
}

long CMQGraph::Send2DDveKeyframe0(const MQVIDFX_2DDVE_KEYFRAME* r) { return SendChannelRecord(0, zk::graph::kDve, r); }
long CMQGraph::Send2DDveKeyframe1(const MQVIDFX_2DDVE_KEYFRAME* r) { return SendChannelRecord(1, zk::graph::kDve, r); }
long CMQGraph::Send2DDveKeyframe2(const MQVIDFX_2DDVE_KEYFRAME* r) { return SendChannelRecord(2, zk::graph::kDve, r); }
long CMQGraph::Send2DDveKeyframe3(const MQVIDFX_2DDVE_KEYFRAME* r) { return SendChannelRecord(3, zk::graph::kDve, r); }
long CMQGraph::Send2DDveKeyframe4(const MQVIDFX_2DDVE_KEYFRAME* r) { return SendChannelRecord(4, zk::graph::kDve, r); }
long CMQGraph::SendCropKeyframe0(const MQVIDFX_CROP_KEYFRAME* r) { return SendChannelRecord(0, zk::graph::kCrop, r); }
long CMQGraph::SendCropKeyframe1(const MQVIDFX_CROP_KEYFRAME* r) { return SendChannelRecord(1, zk::graph::kCrop, r); }
long CMQGraph::SendCropKeyframe2(const MQVIDFX_CROP_KEYFRAME* r) { return SendChannelRecord(2, zk::graph::kCrop, r); }
long CMQGraph::SendCropKeyframe3(const MQVIDFX_CROP_KEYFRAME* r) { return SendChannelRecord(3, zk::graph::kCrop, r); }
long CMQGraph::SendCropKeyframe4(const MQVIDFX_CROP_KEYFRAME* r) { return SendChannelRecord(4, zk::graph::kCrop, r); }
long CMQGraph::SendProcampKeyframe0(const MQVIDFX_PROCAMP_KEYFRAME* r) { return SendChannelRecord(0, zk::graph::kProcamp, r); }
long CMQGraph::SendProcampKeyframe1(const MQVIDFX_PROCAMP_KEYFRAME* r) { return SendChannelRecord(1, zk::graph::kProcamp, r); }
long CMQGraph::SendProcampKeyframe2(const MQVIDFX_PROCAMP_KEYFRAME* r) { return SendChannelRecord(2, zk::graph::kProcamp, r); }
long CMQGraph::SendProcampKeyframe3(const MQVIDFX_PROCAMP_KEYFRAME* r) { return SendChannelRecord(3, zk::graph::kProcamp, r); }
long CMQGraph::SendProcampKeyframe4(const MQVIDFX_PROCAMP_KEYFRAME* r) { return SendChannelRecord(4, zk::graph::kProcamp, r); }
long CMQGraph::SendMaskKeyframe0(const MQVIDFX_MASK_KEYFRAME* r) { return SendChannelRecord(0, zk::graph::kMask, r); }
long CMQGraph::SendMaskKeyframe1(const MQVIDFX_MASK_KEYFRAME* r) { return SendChannelRecord(1, zk::graph::kMask, r); }
long CMQGraph::SendMaskKeyframe2(const MQVIDFX_MASK_KEYFRAME* r) { return SendChannelRecord(2, zk::graph::kMask, r); }
long CMQGraph::SendMaskKeyframe3(const MQVIDFX_MASK_KEYFRAME* r) { return SendChannelRecord(3, zk::graph::kMask, r); }
long CMQGraph::SendMaskKeyframe4(const MQVIDFX_MASK_KEYFRAME* r) { return SendChannelRecord(4, zk::graph::kMask, r); }
long CMQGraph::SendPaintKeyframe0(const MQVIDFX_PAINT_KEYFRAME* r) { return SendChannelRecord(0, zk::graph::kPaint, r); }
long CMQGraph::SendPaintKeyframe1(const MQVIDFX_PAINT_KEYFRAME* r) { return SendChannelRecord(1, zk::graph::kPaint, r); }
long CMQGraph::SendPaintKeyframe2(const MQVIDFX_PAINT_KEYFRAME* r) { return SendChannelRecord(2, zk::graph::kPaint, r); }
long CMQGraph::SendPaintKeyframe3(const MQVIDFX_PAINT_KEYFRAME* r) { return SendChannelRecord(3, zk::graph::kPaint, r); }
long CMQGraph::SendPaintKeyframe4(const MQVIDFX_PAINT_KEYFRAME* r) { return SendChannelRecord(4, zk::graph::kPaint, r); }
long CMQGraph::SendWipeKeyframe0(const MQVIDFX_WIPE_KEYFRAME* r) { return SendWipeRecord(0, zk::graph::kWipe, r); }
long CMQGraph::SendWipeKeyframe1(const MQVIDFX_WIPE_KEYFRAME* r) { return SendWipeRecord(1, zk::graph::kWipe, r); }
long CMQGraph::SendWipeFaderKeyframe0(const MQVIDFX_FADERPOS_KEYFRAME* r) { return SendWipeRecord(0, zk::graph::kFader, r); }
long CMQGraph::SendWipeFaderKeyframe1(const MQVIDFX_FADERPOS_KEYFRAME* r) { return SendWipeRecord(1, zk::graph::kFader, r); }
long CMQGraph::SendWipeBorderframe0(const MQVIDFX_BACKGROUND_KEYFRAME* r) { return SendWipeRecord(0, zk::graph::kBorder, r); }
long CMQGraph::SendWipeBorderframe1(const MQVIDFX_BACKGROUND_KEYFRAME* r) { return SendWipeRecord(1, zk::graph::kBorder, r); }
long CMQGraph::WipeBorderSet0(long enable, DWORD argb) { return WipeBorderSet(0, enable, argb); }
long CMQGraph::WipeBorderSet1(long enable, DWORD argb) { return WipeBorderSet(1, enable, argb); }

long CMQGraph::SendKeyframeBGen2(const MQVIDFX_BACKGROUND_KEYFRAME* record)
{
    if (!m_bBuilt.load()) return -1;
    zk::ComPtr<IKeyframeControl> control;
    {
        std::lock_guard<std::mutex> guard(m_pParts->lock);
        control = m_pParts->bgen2_control;
    }
    return control ? control->SendKeyframe(record, kBackgroundSize) : -1;
}

// ---- time-base correctors ----

long CMQGraph::SetTbc(int channel, const DWORD* rate, const _DISPLAY_MODE* mode)
{
    if (!m_bBuilt.load()) return 1;
    if (!channel_ok(channel)) return -1;
    zk::ComPtr<ITBCControl> tbc;
    {
        std::lock_guard<std::mutex> guard(m_pParts->lock);
        tbc = m_pParts->fiesta[static_cast<size_t>(channel)].tbc;
    }
    if (!tbc) return -1;
    char text[64];
    if (rate) {
        const HRESULT hr = tbc->SetStrobeRate(*rate);
        if (FAILED(hr)) {
            std::snprintf(text, sizeof text, "Could not SetStrobeRate on Fiesta %d", channel);
            ReportError(text, hr);
            return ZK_FAIL(hr);
        }
    }
    if (mode) {
        const HRESULT hr = tbc->SetDisplayMode(*mode);
        if (FAILED(hr)) {
            std::snprintf(text, sizeof text, "Could not TBCDisplay%d", channel);
            ReportError(text, hr);
            return ZK_FAIL(hr);
        }
    }
    return 0;
}

long CMQGraph::SetTbcPair(int channel, DWORD rate, _DISPLAY_MODE mode)
{
    return SetTbc(channel, &rate, &mode);
}

long CMQGraph::SetTBCRate0(DWORD rate) { return SetTbc(0, &rate, nullptr); }
long CMQGraph::SetTBCRate1(DWORD rate) { return SetTbc(1, &rate, nullptr); }
long CMQGraph::SetTBCRate2(DWORD rate) { return SetTbc(2, &rate, nullptr); }
long CMQGraph::SetTBCRate3(DWORD rate) { return SetTbc(3, &rate, nullptr); }
long CMQGraph::SetTBCRate4(DWORD rate) { return SetTbc(4, &rate, nullptr); }
long CMQGraph::SetTBCDisplay0(_DISPLAY_MODE mode) { return SetTbc(0, nullptr, &mode); }
long CMQGraph::SetTBCDisplay1(_DISPLAY_MODE mode) { return SetTbc(1, nullptr, &mode); }
long CMQGraph::SetTBCDisplay2(_DISPLAY_MODE mode) { return SetTbc(2, nullptr, &mode); }
long CMQGraph::SetTBCDisplay3(_DISPLAY_MODE mode) { return SetTbc(3, nullptr, &mode); }
long CMQGraph::SetTBCDisplay4(_DISPLAY_MODE mode) { return SetTbc(4, nullptr, &mode); }

long CMQGraph::FreezeFiesta(long channel)
{
    return channel_ok(channel) || !m_bBuilt.load() ? SetTbcPair(static_cast<int>(channel), 0, DISPLAY_FRAME) : -1;
}

long CMQGraph::FreezeFiestaField(long channel)
{
    return channel_ok(channel) || !m_bBuilt.load() ? SetTbcPair(static_cast<int>(channel), 0, DISPLAY_FIELD) : -1;
}

long CMQGraph::UnFreezeFiesta(long channel)
{
    return channel_ok(channel) || !m_bBuilt.load() ? SetTbcPair(static_cast<int>(channel), 1, DISPLAY_FRAME) : -1;
}

// Channel 0's corrector set by one packet through its data filter: {strobe rate, display mode}.
long CMQGraph::SetTbcThroughData(DWORD rate, _DISPLAY_MODE mode)
{
    if (!m_bBuilt.load()) return 1;
    zk::ComPtr<IDirectData> data;
    {
        std::lock_guard<std::mutex> guard(m_pParts->lock);
        data = m_pParts->fiesta[0].tbc_data;
    }
    if (!data) return -1;
    const HRESULT hr = zk::graph::send_packet(data.get(), GUID{}, MQ_DATAFORMAT_TBC, rate, static_cast<DWORD>(mode));
    if (FAILED(hr)) {
        ReportError("Could not ReceiveData on TBC DirectData filter", hr);
        return ZK_FAIL(hr);
    }
    return 0;
}

long CMQGraph::Fiesta0Freez() { return SetTbcThroughData(0, DISPLAY_FRAME); }
long CMQGraph::Fiesta0FreezField() { return SetTbcThroughData(0, DISPLAY_FIELD); }
long CMQGraph::Fiesta0UnFreez() { return SetTbcThroughData(1, DISPLAY_FRAME); }

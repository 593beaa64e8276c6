// CKrOnlineCtl: the video side: preview and live super, layer modes, channel freezes, the
// transport, stills in and out of the Fiesta channels, and the Genie's 3D effects. Each is the
// effects graph's operation; what is kept here is which channel previews and whether preview,
// live super and a 3D effect are on.
#include "core/errors.h"
#include "framebuffer/kr_frame_buffer.h"
#include "onair/kr_gfb.h"
#include "onair/mq_graph.h"
#include "online/kr_online_ctl.h"

namespace {

constexpr int kFiestaChannels = 5;

int graph_result(long result)
{
    return result == 0 ? 0 : ZK_FAIL(-1);
}

// A frame buffer that holds a whole channel frame, made so when it does not.
bool channel_sized(CKrFrameBuffer& fb)
{
    if (!fb.IsBuffer() && fb.GetWidth() == static_cast<unsigned long>(CKrGfb::kWidth) &&
        fb.GetHeight() == static_cast<unsigned long>(CKrGfb::kHeight))
        return true;
    fb.DeleteFrameBuffer();
    return fb.CreateFrameBuffer(CKrGfb::kWidth, CKrGfb::kHeight, 1) == 0;
}

} // namespace

// ---- preview and live super ----

int CKrOnlineCtl::PreviewOn()
{
    if (!Ready()) return ZK_FAIL(-1);
    m_bPreview = 1;
    // The preview channel holds the still it is given rather than its input.
    if (!m_bLiveSuper.load()) return graph_result(m_pGraph->FreezeFiesta(m_nPreviewChannel.load()));
    return 0;
}

int CKrOnlineCtl::PreviewOff()
{
    if (!Ready()) return ZK_FAIL(-1);
    m_bPreview = 0;
    return graph_result(m_pGraph->UnFreezeFiesta(m_nPreviewChannel.load()));
}

int CKrOnlineCtl::LiveSuperOn()
{
    if (!Ready()) return ZK_FAIL(-1);
    if (m_pGraph->ChGraph_LiveSuperOn() != 0) return ZK_FAIL(-1);
    m_bLiveSuper = 1;
    return graph_result(m_pGraph->UnFreezeFiesta(m_nPreviewChannel.load()));
}

int CKrOnlineCtl::LiveSuperOff()
{
    if (!Ready()) return ZK_FAIL(-1);
    if (m_pGraph->ChGraph_LiveSuperOff() != 0) return ZK_FAIL(-1);
    m_bLiveSuper = 0;
    return graph_result(m_pGraph->FreezeFiesta(m_nPreviewChannel.load()));
}

int CKrOnlineCtl::PPLayer(int mode)
{
    return Ready() ? graph_result(m_pGraph->ChGraph_PPLayer(mode)) : ZK_FAIL(-1);
}

int CKrOnlineCtl::ChPreOut(int channel)
{
    if (!Ready()) return ZK_FAIL(-1);
    if (m_pGraph->ChGraph_PreOut(channel) != 0) return ZK_FAIL(-1);
    // The channel the preview output now shows is where the next bank goes.
    if (channel >= 0 && channel < kFiestaChannels) m_nPreviewChannel = channel;
    return 0;
}

// ---- freezes and transport ----

void CKrOnlineCtl::FreezeLine(int line, bool freeze)
{
    const long first = line == 1 ? 3 : 1;
    for (long ch = first; ch < first + 2; ++ch) freeze ? m_pGraph->FreezeFiesta(ch) : m_pGraph->UnFreezeFiesta(ch);
}

int CKrOnlineCtl::LineFreeze(int line)
{
    if (!Ready()) return ZK_FAIL(-1);
    FreezeLine(line, true);
    return 0;
}

int CKrOnlineCtl::LineUnFreeze(int line)
{
    if (!Ready()) return ZK_FAIL(-1);
    FreezeLine(line, false);
    return 0;
}

int CKrOnlineCtl::Play()
{
    return Ready() ? graph_result(m_pGraph->FgPlay()) : ZK_FAIL(-1);
}

int CKrOnlineCtl::Stop()
{
    return Ready() ? graph_result(m_pGraph->FgStop()) : ZK_FAIL(-1);
}

// ---- stills ----

int CKrOnlineCtl::GetFiesta(int ch, CKrFrameBuffer* fb)
{
    if (!Ready() || !fb || !channel_sized(*fb)) return ZK_FAIL(-1);
    return m_pGraph->GetFiesta(ch, fb->GetBufferByte()) ? 0 : ZK_FAIL(-1);
}

int CKrOnlineCtl::GetFiestaYuv(int ch, CKrFrameBuffer* fb)
{
    if (!Ready() || !fb || !channel_sized(*fb)) return ZK_FAIL(-1);
    return m_pGraph->GetFiestaYuv(ch, fb->GetBufferByte()) ? 0 : ZK_FAIL(-1);
}

int CKrOnlineCtl::PutFiesta(int ch, CKrFrameBuffer* fb, long sx, long sy, long w, long h, long dx, long dy)
{
    if (!Ready() || !fb || fb->IsBuffer()) return ZK_FAIL(-1);
    return graph_result(m_pGraph->PutFiesta(ch, fb->GetBufferByte(), static_cast<long>(fb->GetWidth()),
                                            static_cast<long>(fb->GetHeight()), sx, sy, w, h, dx, dy));
}

int CKrOnlineCtl::PutFiestaYuv(int ch, CKrFrameBuffer* fb, long sx, long sy, long w, long h, long dx, long dy)
{
    if (!Ready() || !fb || fb->IsBuffer()) return ZK_FAIL(-1);
    return graph_result(m_pGraph->PutFiestaYuv(ch, fb->GetBufferByte(), static_cast<long>(fb->GetWidth()),
                                               static_cast<long>(fb->GetHeight()), sx, sy, w, h, dx, dy));
}

// ---- 3D DVE (Genie): 1 done, 0 refused ----

int CKrOnlineCtl::Set3Ddve(CString file1, CString file2)
{
    if (!Ready() || m_b3DdveActive.load()) return ZK_FAIL(0);
    if (m_pGraph->SetGenieVfxFile(file1, file2) != 0 || m_pGraph->BilGraph_GenieFilter() != 0) return ZK_FAIL(0);
    m_b3DdveActive = 1;
    return 1;
}

int CKrOnlineCtl::ChangeVfxFile(CString file1, CString file2)
{
    if (!Ready()) return ZK_FAIL(-1);
    m_pGraph->FgStop();
    if (m_pGraph->SetGenieVfxFile(file1, file2) != 0) return ZK_FAIL(-1);
    return graph_result(m_pGraph->ChgGraph_VfxFile());
}

int CKrOnlineCtl::SetLine3Ddve(int line)
{
    if (!Ready()) return ZK_FAIL(FALSE);
    return m_pGraph->SetGenieEffectLine(line) == 0 ? TRUE : ZK_FAIL(FALSE);
}

int CKrOnlineCtl::End3Ddve()
{
    if (!Ready()) return ZK_FAIL(0);
    m_pGraph->DisGraph_GenieFilter();
    m_b3DdveActive = 0;
    return 1;
}

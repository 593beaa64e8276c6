// CKrOnlineCtl: motion clips and sound, on the control side: which files a clip or a sound is
// made of, the graph's configurations and transport, the line's channels frozen and unfrozen
// around the clip, and the motion-done event the host waits on. Playing the media is the
// graph's.
//
// A clip is named by one base name: `<base>.avi` is its fill and `<base>.matte.avi` its key,
// or `<base>.alpha.avi` when there is no matte. Its sound is `<base>.A1.wav` (left) and
// `<base>.A2.wav` (right), or `<base>.wav` alone. A motion line's channels are frozen while the
// clip is cued or changed and when it reaches two frames before its end, so the last frame
// stays on air rather than whatever the channel takes after it.
#include <string>

#include "core/errors.h"
#include "onair/mq_graph.h"
#include "online/internal/online_helpers.h"
#include "online/kr_online_ctl.h"

using zk::online::file_exists;
using zk::online::strip_extension;

namespace {

// The frames the line is frozen ahead of the clip's end, and MotionStop's seek past the
// position it stopped at.
constexpr LONGLONG kEndFrames = 2;

} // namespace

void CKrOnlineCtl::MotionDone()
{
    m_bMotionPlaying = 0;
    SetEvent(m_hMotionDone);
}

// ---- motion ----

int CKrOnlineCtl::MotionSet(const char* file, int line)
{
    if (!Ready()) return ZK_FAIL(-1);
    const std::string base = strip_extension(file ? file : "");
    const std::string fill = base + ".avi";
    std::string key = base + ".matte.avi";
    if (!file_exists(key)) key = base + ".alpha.avi";
    // A clip without its files is refused before anything on air changes.
    if (!file || !file_exists(fill) || !file_exists(key)) return Fail("MotionSetErr %s", file ? file : "");
    const int l = line == 1 ? 1 : 0;
    if (m_pGraph->SetVideoFilename0(fill.c_str()) != 0 || m_pGraph->SetVideoFilename1(key.c_str()) != 0)
        return Fail("MotionSetErr %s", file);
    m_pGraph->FgStop();
    MotionDone();
    FreezeLine(l, true);
    if (m_pGraph->BilGraph_Motion(l) != 0) {
        FreezeLine(l, false);
        return Fail("MotionSetErr %s", file);
    }
    m_pGraph->ResetPositions();
    m_pGraph->FgPlayFromTo(0.0, 0.0, 0);
    FreezeLine(l, false);
    m_nMotionLine = l;
    m_bMotionFrozenAtEnd = 0;
    m_bMotionSet = 1;
    return 0;
}

int CKrOnlineCtl::MotionEnd()
{
    if (!Ready()) return ZK_FAIL(-1);
    const int l = m_nMotionLine.load();
    m_bMotionSet = 0;
    m_pGraph->FgStop();
    MotionDone();
    FreezeLine(l, true);
    m_pGraph->DisconnectMotion();
    FreezeLine(l, false);
    return m_pGraph->FgPlay() == 0 ? 0 : ZK_FAIL(-1);
}

int CKrOnlineCtl::MotionPlay()
{
    if (!Ready()) return ZK_FAIL(-1);
    if (!m_pGraph->CanRun()) {
        // A graph that cannot run from where it is goes back to its start, or to where it is.
        double position = 0.0;
        m_pGraph->GetPosition(position);
        if (position == 0.0) {
            if (m_pGraph->CanStop()) m_pGraph->FgStop();
            m_pGraph->ResetPositions();
        } else {
            m_pGraph->FgSeek(position);
        }
        m_pGraph->WaitForCompletion();
    }
    if (m_pGraph->FgPlay() != 0) return ZK_FAIL(-1);
    FreezeLine(m_nMotionLine.load(), false);
    m_bMotionFrozenAtEnd = 0;
    m_bMotionPlaying = 1;
    return 0;
}

int CKrOnlineCtl::MotionStop()
{
    if (!Ready()) return ZK_FAIL(-1);
    if (m_pGraph->CanStop()) {
        m_pGraph->GetPosition(m_dMotionStopPos);
        FreezeLine(m_nMotionLine.load(), true);
        m_pGraph->FgStop();
        m_pGraph->FgSeek(m_dMotionStopPos + m_pGraph->FramesToSeconds(kEndFrames));
    }
    MotionDone();
    return 0;
}

int CKrOnlineCtl::MotionStopField()
{
    if (!Ready()) return ZK_FAIL(-1);
    m_pGraph->FgStop();
    MotionDone();
    return 0;
}

int CKrOnlineCtl::MotionStartPosition()
{
    if (!Ready()) return ZK_FAIL(-1);
    m_pGraph->FgStop();
    m_pGraph->ResetPositions();
    m_pGraph->FgPlayFromTo(0.0, 0.0, 0);
    if (m_bMotionSet.load()) FreezeLine(m_nMotionLine.load(), false);
    m_bMotionFrozenAtEnd = 0;
    MotionDone();
    return 0;
}

int CKrOnlineCtl::MotionSeekFrame(long frame)
{
    if (!Ready()) return ZK_FAIL(-1);
    return MotionSeekTime(m_pGraph->FramesToSeconds(frame));
}

int CKrOnlineCtl::MotionSeekTime(double seconds)
{
    if (!Ready()) return ZK_FAIL(-1);
    m_pGraph->FgStop();
    const long sought = m_pGraph->FgSeek(seconds);
    if (m_bMotionSet.load()) FreezeLine(m_nMotionLine.load(), false);
    m_bMotionFrozenAtEnd = 0;
    MotionDone();
    return sought == 0 ? 0 : ZK_FAIL(-1);
}

int CKrOnlineCtl::MotionWait()
{
    if (!Ready()) return ZK_FAIL(-1);
    while (m_bMotionPlaying.load()) WaitForSingleObject(m_hMotionDone, INFINITE);
    return 0;
}

int CKrOnlineCtl::MotionStopProc()
{
    if (!m_pGraph) return ZK_FAIL(-1);
    double duration = 0.0;
    if (m_pGraph->NowPosition(duration) != 0 || duration <= 0.0) {
        // Nothing to play (no clip, or one of no length): nobody may wait for its end.
        if (m_bMotionPlaying.load()) MotionDone();
        return 0;
    }
    double position = 0.0;
    m_pGraph->GetPosition(position);
    if (m_bMotionSet.load() && !m_bMotionFrozenAtEnd.load() &&
        position >= duration - m_pGraph->FramesToSeconds(kEndFrames)) {
        FreezeLine(m_nMotionLine.load(), true);
        m_bMotionFrozenAtEnd = 1;
    }
    // At the end the clip (or the 3D effect) has played: the host's wait ends there. A graph
    // that completes stops and goes back to its start, so a stopped graph has ended too; the
    // wait must not outlive the clip.
    const bool ended = position >= duration || m_pGraph->GetState(0) == MQFG_STATE_STOPPED;
    if (ended && m_bMotionPlaying.load()) MotionDone();
    return 0;
}

int CKrOnlineCtl::MovieSet(const char* file, int line)
{
    const int motion = MotionSet(file, line);
    return motion != 0 ? motion : WaveSet(file);
}

int CKrOnlineCtl::MovieEnd()
{
    const int motion = MotionEnd();
    const int wave = WaveEnd();
    return motion != 0 ? motion : wave;
}

// ---- sound ----

int CKrOnlineCtl::WaveSet(const char* file)
{
    if (!Ready()) return ZK_FAIL(-1);
    const std::string base = strip_extension(file ? file : "");
    std::string left = base + ".A1.wav", right = base + ".A2.wav";
    const bool has_left = file_exists(left), has_right = file_exists(right);
    if (!has_left && !has_right) {
        left = base + ".wav";
        if (!file || !file_exists(left)) return ZK_FAIL(-1);
    }
    m_pGraph->SetLeftAudioFilename(has_left || !has_right ? left.c_str() : nullptr);
    m_pGraph->SetRightAudioFilename(has_right ? right.c_str() : nullptr);
    m_pGraph->FgStop();
    // A sound already set (or left half-built by a failed set) would keep its own files: the
    // graph builds the wave configuration only once. The new sound replaces it.
    m_pGraph->DisGraph_WaveSound();
    if (m_pGraph->BilGraph_WaveSound() != 0) {
        m_pGraph->DisGraph_WaveSound();
        return Fail("WaveSetErr %s", file);
    }
    m_pGraph->AudioMasterVolume(0.0);
    m_pGraph->FgSeek(0.0);
    return 0;
}

int CKrOnlineCtl::WaveEnd()
{
    if (!Ready()) return ZK_FAIL(-1);
    m_pGraph->FgStop();
    m_pGraph->DisGraph_WaveSound();
    return m_pGraph->FgPlay() == 0 ? 0 : ZK_FAIL(-1);
}

int CKrOnlineCtl::LiveSoundSet()
{
    if (!Ready()) return ZK_FAIL(-1);
    if (m_pGraph->CanStop()) m_pGraph->FgStop();
    if (m_pGraph->BilGraph_LiveSound() != 0) return Fail("LiveSoundSetErr");
    return 0;
}

int CKrOnlineCtl::LiveSoundEnd()
{
    if (!Ready()) return ZK_FAIL(-1);
    m_pGraph->FgStop();
    return m_pGraph->DisGraph_LiveSound() == 0 ? 0 : ZK_FAIL(-1);
}

int CKrOnlineCtl::SetAudioMode(int mode)
{
    return Ready() ? (m_pGraph->SetAudioMode(mode) == 0 ? 0 : ZK_FAIL(-1)) : ZK_FAIL(-1);
}

int CKrOnlineCtl::GetAudioMode()
{
    return Ready() ? static_cast<int>(m_pGraph->GetAudioMode()) : ZK_FAIL(-1);
}

// CMQGraph: motion lines, sound, the Genie's effect files, the transport as the on-air side
// drives it (every control's data begun with a play and ended with a stop), and the overrides
// of the event handling and the position.
//
// A motion line plays a clip's fill and key through motion sources 0 and 1 onto the Movie-2
// bus (buses I1 and I2) and from there into the line's two Fiesta channels (1 and 2 for line
// 0, 3 and 4 for line 1): inside the telop configuration by switching the channels' input
// crosspoints to those buses, on a graph without it by pins. Sound plays two wave sources, or
// the live audio input, through the audio mixer to the audio output.
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <string>

#include "core/errors.h"
#include "onair/mq_graph_parts.h"
#include "platform/board/board_media.h"
#include "platform/win32/win32_base.h"

using zk::graph::Config;
using zk::graph::Parts;

namespace {

// A filter's warning that the board shows nothing for and that stops nothing.
constexpr HRESULT kFilterWarning = hresult(0x80041082);
constexpr DWORD kCompletionMs = 500;

// v × 2^24 + 0.5 truncated, kept to its low 32 bits; NaN gives 0 and values beyond the
// 64-bit range saturate there first, so no volume makes the conversion undefined.
DWORD volume_word(double v)
{
    const double x = v * 16777216.0 + 0.5;
    if (std::isnan(x)) return 0;
    constexpr double kLimit = 9.2e18;
    const std::int64_t t = x >= kLimit    ? std::numeric_limits<std::int64_t>::max()
                           : x <= -kLimit ? std::numeric_limits<std::int64_t>::min()
                                          : static_cast<std::int64_t>(x);
    return static_cast<DWORD>(static_cast<std::uint64_t>(t));
}

// Begins or ends data on every control of the graph, each called outside the parts' lock.
void data_on_every_control(Parts& parts, bool begin)
{
    std::vector<zk::ComPtr<IKeyframeControl>> controls;
    std::vector<zk::ComPtr<IDirectData>> data;
    {
        std::lock_guard<std::mutex> guard(parts.lock);
        parts.each_control(controls, data);
    }
    for (auto& c : controls) begin ? c->BeginData() : c->EndData();
    for (auto& d : data) begin ? d->BeginData() : d->EndData();
}

zk::BoardMedia& board_media()
{
    return *zk::current_board_media();
}

// The line's clip on its two channels: the file source of the fill (motion source 0, or the
// file source that replaced it) drives the line; the clip brings its key along by name.
long show_motion_line(Parts& p)
{
    const zk::graph::Slot& fill = p.motion[0];
    if (!fill.held() || !p.video_set[0] || p.video_files[0].empty()) return 0;
    const int l = p.motion_line;
    const HRESULT hr = board_media().attach_motion_line(l, fill.filter.get(), 2 * l + 1, 2 * l + 2);
    if (FAILED(hr)) ReportError(("Cannot play the motion clip: " + board_media().last_error()).c_str(), hr);
    return FAILED(hr) ? hr : 0; // S_FALSE: a catalogued clip, nothing to show
}

// The wave sources' files on the board's sound.
long play_wave_files(Parts& p)
{
    IBaseFilter* left = p.audio_set[0] && !p.audio_files[0].empty() ? p.wave[0].filter.get() : nullptr;
    IBaseFilter* right = p.audio_set[1] && !p.audio_files[1].empty() ? p.wave[1].filter.get() : nullptr;
    if (!left && !right) {
        board_media().detach_sound();
        return 0;
    }
    const HRESULT hr = board_media().attach_sound(left, right);
    if (FAILED(hr)) ReportError(("Cannot play the wave files: " + board_media().last_error()).c_str(), hr);
    return FAILED(hr) ? hr : 0; // S_FALSE: catalogued files, no sound
}

} // namespace

void CMQGraph::ReleaseBoardMedia(Config config)
{
    Parts& p = *m_pParts;
    if ((config == Config::motion && p.motion_built) || (config == Config::motion_telop && p.motion_telop))
        board_media().detach_motion_line(p.motion_line);
    if (config == Config::wave_sound && p.wave_sound) board_media().detach_sound();
}

// ---- motion ----

long CMQGraph::BuildMotion(long line, bool telop)
{
    if (!m_bBuilt.load()) return -1;
    Parts& p = *m_pParts;
    const int l = line == 1 ? 1 : 0;
    if (p.motion_built || p.motion_telop) return p.motion_line == l ? 0 : -1;
    if (telop && !p.telop) return -1;
    using namespace zk::graph;
    Build b(*this, telop ? Config::motion_telop : Config::motion);
    HRESULT hr;
    auto ok = [&](long result) { hr = result; return SUCCEEDED(hr); };
    const int fill = 2 * l + 1, key = 2 * l + 2;

    if (!telop) {
        if (!ok(AddFiestaUnit(fill)) || !ok(AddFiestaUnit(key))) return hr;
        if (!ok(b.add(p.bus_input, CLSID_Movie2BusInput, "ErrAddFilter M2BusInput"))) return hr;
        if (!ok(b.add(p.key_combiner[1], CLSID_VideoKeyCombiner1, "ErrAddFilter VideoKeyCombiner1"))) return hr;
        if (!ok(b.add(p.tee, CLSID_HwConnTee, "ErrAddFilter HwConnTee"))) return hr;
    }
    // The line's channels hold still while their input changes.
    SetTbcPair(fill, 0, DISPLAY_FRAME);
    SetTbcPair(key, 0, DISPLAY_FRAME);
    if (!ok(b.add(p.bus_control_in, CLSID_Movie2BusControlIn, "ErrAddFilter M2BusControlIn"))) return hr;
    if (!ok(b.add(p.motion[0], CLSID_MotionVideoSource0, "ErrAddFilter MotionVideoSource0"))) return hr;
    if (!ok(b.add(p.motion[1], CLSID_MotionVideoSource1, "ErrAddFilter MotionVideoSource1"))) return hr;
    if (!ok(b.connect(p.motion[0], "M2B Out", p.bus_control_in, "I1 Bus", "Motion0 to M2BCtlIn"))) return hr;
    if (!ok(b.connect(p.motion[1], "M2B Out", p.bus_control_in, "I2 Bus", "Motion1 to M2BCtlIn"))) return hr;
    if (!ok(b.connect(p.bus_control_in, "I1 Bus", p.bus_input, "I1 In", "M2BCtlIn to M2BIn I1"))) return hr;
    if (!ok(b.connect(p.bus_control_in, "I2 Bus", p.bus_input, "I2 In", "M2BCtlIn to M2BIn I2"))) return hr;
    if (telop) {
        if (!ok(b.select(kHwFiestaIn + fill - 1, xp_bus(1), hw_name(kHwFiestaIn + fill - 1)))) return hr;
        if (!ok(b.select(kHwFiestaIn + key - 1, xp_bus(2), hw_name(kHwFiestaIn + key - 1)))) return hr;
    } else {
        const std::string f = std::to_string(fill), k = std::to_string(key);
        if (!ok(b.connect(p.bus_input, "I1 Out", p.fiesta[static_cast<size_t>(fill)].renderer, "Video In", "M2BIn to Fiesta" + f)))
            return hr;
        if (!ok(b.connect(p.bus_input, "I2 Out", p.fiesta[static_cast<size_t>(key)].renderer, "Video In", "M2BIn to Fiesta" + k)))
            return hr;
        if (!ok(b.connect(p.fiesta[static_cast<size_t>(fill)].renderer, "Video Out", p.key_combiner[1], "Video In",
                          "Fiesta" + f + " to VidKeyComb1")))
            return hr;
        if (!ok(b.connect(p.fiesta[static_cast<size_t>(key)].renderer, "Video Out", p.key_combiner[1], "Key In",
                          "Fiesta" + k + " to VidKeyComb1")))
            return hr;
        if (!ok(b.connect(p.key_combiner[1], "Video Out", p.tee, "Input", "VidKeyComb1 to HwConnTee"))) return hr;
    }
    for (int n = 0; n < 2; ++n) {
        if (p.video_set[static_cast<size_t>(n)] && !p.video_files[static_cast<size_t>(n)].empty()) {
            if (!ok(SetSourceFile(p.motion[static_cast<size_t>(n)].filter.get(), p.video_files[static_cast<size_t>(n)].c_str())))
                return hr;
        }
    }
    p.motion_line = l;
    (telop ? p.motion_telop : p.motion_built) = true;
    return show_motion_line(p);
}

long CMQGraph::BilGraph_Motion(long line)
{
    return BuildMotion(line, m_pParts->telop);
}

long CMQGraph::BilGraph_MotionTelop(long line)
{
    return BuildMotion(line, true);
}

long CMQGraph::DisconnectMotionTelop()
{
    if (!m_bBuilt.load()) return -1;
    Parts& p = *m_pParts;
    if (p.motion_telop && p.telop) {
        // The line's channels take the bus's first input again.
        using namespace zk::graph;
        for (int c = 2 * p.motion_line; c < 2 * p.motion_line + 2; ++c) {
            const Crosspoint xp = xp_bus(0);
            HwConnSelect(p.hw[static_cast<size_t>(kHwFiestaIn + c)].data.get(), xp.source, xp.index);
        }
    }
    return TearDown(Config::motion_telop);
}

long CMQGraph::DisconnectMotion()
{
    if (!m_bBuilt.load()) return -1;
    if (m_pParts->motion_telop) DisconnectMotionTelop();
    return TearDown(Config::motion);
}

long CMQGraph::DisGraph_Motion()
{
    return DisconnectMotion();
}

long CMQGraph::DisGraph_MotionTelop()
{
    return DisconnectMotionTelop();
}

// ---- files ----

long CMQGraph::SetFileName(int which, const char* name)
{
    if (!m_bBuilt.load()) return -1;
    Parts& p = *m_pParts;
    const bool video = which < 2;
    const size_t n = static_cast<size_t>(which % 2);
    try {
        std::string copy = name ? name : "";
        (video ? p.video_files : p.audio_files)[n] = std::move(copy);
    } catch (const std::bad_alloc&) {
        ReportError("Out of memory", E_OUTOFMEMORY);
        return ZK_FAIL(E_OUTOFMEMORY);
    }
    (video ? p.video_set : p.audio_set)[n] = name != nullptr;
    if (!video && p.wave_sound) return ReconnectAudio(static_cast<int>(n));
    return 0;
}

long CMQGraph::SetVideoFilename0(const char* name) { return SetFileName(0, name); }
long CMQGraph::SetVideoFilename1(const char* name) { return SetFileName(1, name); }
long CMQGraph::SetLeftAudioFilename(const char* name) { return SetFileName(2, name); }
long CMQGraph::SetRightAudioFilename(const char* name) { return SetFileName(3, name); }

// A motion source replaced by the board's file source playing the stored file, on the bus
// input the source fed.
long CMQGraph::ReconnectVideo(int which)
{
    if (!m_bBuilt.load()) return -1;
    Parts& p = *m_pParts;
    const size_t n = static_cast<size_t>(which);
    if (!p.video_set[n] || p.video_files[n].empty()) return -1;
    zk::graph::Slot& slot = p.motion[n];
    if (!slot.held()) return -1;
    const Config owner = slot.owner;
    Build b(*this, owner);
    const std::string number = std::to_string(which);
    DisconnectPin(slot.filter.get(), nullptr, PINDIR_OUTPUT);
    b.remove(slot);
    HRESULT hr = b.add(slot, CLSID_DigiSuiteFileSource, "ErrAddFilter VideoFile" + number);
    if (FAILED(hr)) return hr;
    hr = SetSourceFile(slot.filter.get(), p.video_files[n].c_str());
    if (FAILED(hr)) return hr;
    hr = b.connect(slot, nullptr, p.bus_control_in, which == 0 ? "I1 Bus" : "I2 Bus", "VideoFile" + number + " to M2BCtlIn");
    if (FAILED(hr) || which != 0) return hr;
    return show_motion_line(p);
}

// A wave source replaced by a file source playing the stored file (a plain wave source, which
// plays nothing, when no file is stored), on its input of the mixer.
long CMQGraph::ReconnectAudio(int which)
{
    if (!m_bBuilt.load()) return -1;
    Parts& p = *m_pParts;
    if (!p.wave_sound) return -1;
    const size_t n = static_cast<size_t>(which);
    zk::graph::Slot& slot = p.wave[n];
    Build b(*this, Config::wave_sound);
    const std::string number = std::to_string(which);
    if (slot.held()) DisconnectPin(slot.filter.get(), nullptr, PINDIR_OUTPUT);
    b.remove(slot);
    const bool file = p.audio_set[n] && !p.audio_files[n].empty();
    HRESULT hr = b.add(slot, file ? CLSID_DigiSuiteFileSource : CLSID_WaveSource, "ErrAddFilter WaveSource" + number);
    if (FAILED(hr)) return hr;
    if (file) {
        hr = SetSourceFile(slot.filter.get(), p.audio_files[n].c_str());
        if (FAILED(hr)) return hr;
    }
    hr = b.connect(slot, nullptr, p.audio_mixer, which == 0 ? "Audio In 0" : "Audio In 1", "WaveSource" + number + " to AudioMixer");
    if (FAILED(hr)) return hr;
    return play_wave_files(p);
}

long CMQGraph::ReconnectVideo0() { return ReconnectVideo(0); }
long CMQGraph::ReconnectVideo1() { return ReconnectVideo(1); }
long CMQGraph::ReconnectLeft() { return ReconnectAudio(0); }
long CMQGraph::ReconnectRight() { return ReconnectAudio(1); }

// ---- sound ----

long CMQGraph::BilGraph_WaveSound()
{
    if (!m_bBuilt.load()) return -1;
    Parts& p = *m_pParts;
    if (p.wave_sound) return 0;
    DisGraph_LiveSound();
    Build b(*this, Config::wave_sound);
    HRESULT hr;
    auto ok = [&](long result) { hr = result; return SUCCEEDED(hr); };
    if (!ok(b.add(p.audio_mixer, CLSID_AudioMixer, "ErrAddFilter AudioMixer"))) return hr;
    if (!ok(b.add(p.audio_out, CLSID_AudioOutput, "ErrAddFilter AudioOutput"))) return hr;
    if (!ok(b.add(p.wave[0], CLSID_WaveSource, "ErrAddFilter WaveSource0"))) return hr;
    if (!ok(b.add(p.wave[1], CLSID_WaveSource, "ErrAddFilter WaveSource1"))) return hr;
    if (!ok(b.add(p.volume_source, CLSID_DirectDataSource, "ErrAddFilter VolumeSource"))) return hr;
    if (!ok(b.control(p.volume_source, p.volume_control, "VolumeControl"))) return hr;
    if (!ok(b.connect(p.wave[0], "Audio Out", p.audio_mixer, "Audio In 0", "WaveSource0 to AudioMixer"))) return hr;
    if (!ok(b.connect(p.wave[1], "Audio Out", p.audio_mixer, "Audio In 1", "WaveSource1 to AudioMixer"))) return hr;
    if (!ok(b.connect(p.audio_mixer, "Audio Master Out 0", p.audio_out, "Audio In 0", "AudioMixer to AudioOutput"))) return hr;
    if (!ok(b.connect(p.audio_mixer, "Audio Master Out 1", p.audio_out, "Audio In 1", "AudioMixer to AudioOutput 1")))
        return hr;
    if (!ok(b.connect(p.volume_source, nullptr, p.audio_mixer, "Master Output Volume In", "VolumeSource to AudioMixer")))
        return hr;
    if (!ok(b.begin(p.volume_control.get(), "VolumeControl"))) return hr;
    p.wave_sound = true;
    for (int n = 0; n < 2; ++n) {
        if (p.audio_set[static_cast<size_t>(n)] && !ok(ReconnectAudio(n))) return hr;
    }
    return 0;
}

long CMQGraph::BilGraph_LiveSound()
{
    if (!m_bBuilt.load()) return -1;
    Parts& p = *m_pParts;
    if (p.live_sound) return 0;
    DisGraph_WaveSound();
    Build b(*this, Config::live_sound);
    HRESULT hr;
    auto ok = [&](long result) { hr = result; return SUCCEEDED(hr); };
    if (!ok(b.add(p.live_audio, CLSID_LiveAudioInput, "ErrAddFilter LiveAudioInput"))) return hr;
    if (!ok(b.add(p.audio_mixer, CLSID_AudioMixer, "ErrAddFilter AudioMixer"))) return hr;
    if (!ok(b.add(p.audio_out, CLSID_AudioOutput, "ErrAddFilter AudioOutput"))) return hr;
    if (!ok(b.connect(p.live_audio, "Audio Out 0", p.audio_mixer, "Audio In 0", "LiveAudio to AudioMixer"))) return hr;
    if (!ok(b.connect(p.live_audio, "Audio Out 1", p.audio_mixer, "Audio In 1", "LiveAudio to AudioMixer 1"))) return hr;
    if (!ok(b.connect(p.audio_mixer, "Audio Master Out 0", p.audio_out, "Audio In 0", "AudioMixer to AudioOutput"))) return hr;
    if (!ok(b.connect(p.audio_mixer, "Audio Master Out 1", p.audio_out, "Audio In 1", "AudioMixer to AudioOutput 1")))
        return hr;
    p.live_sound = true;
    return 0;
}

long CMQGraph::DisGraph_WaveSound()
{
    return TearDown(Config::wave_sound);
}

long CMQGraph::DisGraph_LiveSound()
{
    return TearDown(Config::live_sound);
}

long CMQGraph::AudioMasterVolume(double volume)
{
    if (!m_bBuilt.load()) return -1;
    zk::ComPtr<IKeyframeControl> control;
    {
        std::lock_guard<std::mutex> guard(m_pParts->lock);
        control = m_pParts->volume_control;
    }
    if (!control) return -1;
    control->BeginData();
    const DWORD word = volume_word(volume);
    return control->SendKeyframe(&word, sizeof word);
}

long CMQGraph::SetAudioMode(long mode)
{
    m_nAudioMode = mode != 0 ? 1 : 0;
    return 0;
}

long CMQGraph::GetAudioMode() const
{
    return m_nAudioMode.load();
}

// ---- the Genie's effect file ----

long CMQGraph::SetGenieVfxFile(CString file, CString subStorage)
{
    m_pParts->vfx_file = file.str();
    m_pParts->vfx_storage = subStorage.str();
    return 0;
}

long CMQGraph::SetGenieEffectLine(long line)
{
    if (line < 0 || line > 1) return -1;
    m_pParts->genie_line = static_cast<int>(line);
    if (!m_bBuilt.load() || !m_pParts->telop_genie) return 0;
    return ChGraph_Genie_EfLinePPLyer(line);
}

long CMQGraph::BilGraph_GenieFilter()
{
    Parts& p = *m_pParts;
    if (!m_bBuilt.load() || !p.genie.held()) return -1;
    if (p.genie_filter) return 0;
    if (CanStop()) FgStop();
    Build b(*this, Config::genie_filter);
    HRESULT hr = b.add(p.vfx_source, CLSID_VfxSource, "Could not instantiate the VfxSource filter");
    if (FAILED(hr)) return hr;
    hr = SetCompoundSourceFile(p.vfx_source.filter.get(), p.vfx_file.c_str(), p.vfx_storage.c_str());
    if (FAILED(hr)) return b.fail("Err VFX File Set", hr);
    hr = b.connect(p.vfx_source, nullptr, p.genie, "Vfx In", "Compound file source to Genie renderer filter");
    if (FAILED(hr)) return b.fail("Err Connect Compound file source to Genie renderer filter", hr);
    {
        zk::ComPtr<IDirectData> data = p.vfx_source.filter.as<IDirectData>();
        zk::ComPtr<IMediaPosition> position = p.genie.filter.as<IMediaPosition>();
        std::lock_guard<std::mutex> guard(p.lock);
        p.vfx_data = std::move(data);
        p.genie_position = std::move(position);
    }
    // The effect's picture replaces the preview, the second wipe's video and key combiner 4's
    // fill and key; combiner 1 (the Genie's output) takes the effect line.
    using namespace zk::graph;
    const struct {
        int hw;
        Crosspoint xp;
    } steps[] = {{kHwPreOut, xp_genie(0)}, {kHwWipe + 1, xp_genie(0)}, {kHwKeyVideo4, xp_genie(0)}, {kHwKeyKey4, xp_genie(1)}};
    for (const auto& s : steps) {
        hr = b.select(s.hw, s.xp, hw_name(s.hw));
        if (FAILED(hr)) return hr;
    }
    hr = SelectGenieLine(p.genie_line);
    if (FAILED(hr)) return hr;
    p.genie_filter = true;
    FgReBigin();
    FgPlayFromTo(0.0, GetDuration(), 0);
    Sleep(static_cast<DWORD>(FramesToSeconds(1) * 1000.0));
    ChGraph_Genie_EfLinePPLyer(p.genie_line);
    if (p.telop && p.layer_mode >= 0) ApplyLayerMode(p.layer_mode, true);
    return 0;
}

long CMQGraph::ChgGraph_VfxFile()
{
    Parts& p = *m_pParts;
    if (!m_bBuilt.load() || !p.genie_filter) return -1;
    Build b(*this, Config::genie_filter);
    b.remove(p.vfx_source);
    {
        std::lock_guard<std::mutex> guard(p.lock);
        p.drop_orphans();
    }
    HRESULT hr = b.add(p.vfx_source, CLSID_VfxSource, "Could not instantiate the VfxSource filter");
    if (FAILED(hr)) return hr;
    zk::ComPtr<IDirectData> data = p.vfx_source.filter.as<IDirectData>();
    if (!data) return b.fail("Could not get VfxSource IDirectData interface", E_NOINTERFACE);
    {
        std::lock_guard<std::mutex> guard(p.lock);
        p.vfx_data = data;
    }
    hr = SetCompoundSourceFile(p.vfx_source.filter.get(), p.vfx_file.c_str(), p.vfx_storage.c_str());
    if (FAILED(hr)) return b.fail("Err VFX File Set", hr);
    hr = b.connect(p.vfx_source, nullptr, p.genie, "Vfx In", "VFX file to Genie renderer filter");
    if (FAILED(hr)) return b.fail("Err Connect VFX file to Genie renderer filter", hr);
    data->BeginData();
    return 0;
}

long CMQGraph::RestoreGenieCrosspoints()
{
    using namespace zk::graph;
    Build b(*this, m_pParts->building);
    const struct {
        int hw;
        Crosspoint xp;
    } steps[] = {{kHwPreOut, xp_processor(1, 0)}, {kHwWipe + 1, xp_combiner(2)}, {kHwKeyVideo4, xp_fiesta(3)},
                 {kHwKeyKey4, xp_fiesta(4)}};
    for (const auto& s : steps) {
        if (!m_pParts->hw[static_cast<size_t>(s.hw)].data) continue;
        const HRESULT hr = b.select(s.hw, s.xp, hw_name(s.hw));
        if (FAILED(hr)) return hr;
    }
    return 0;
}

long CMQGraph::DisGraph_VfxFile()
{
    if (!m_bBuilt.load()) return -1;
    Parts& p = *m_pParts;
    Build b(*this, Config::genie_filter);
    b.remove(p.vfx_source);
    std::lock_guard<std::mutex> guard(p.lock);
    p.drop_orphans();
    return 0;
}

long CMQGraph::DisGraph_GenieFilter()
{
    if (!m_bBuilt.load()) return -1;
    Parts& p = *m_pParts;
    const bool was = p.genie_filter;
    DisGraph_VfxFile();
    TearDown(Config::genie_filter);
    if (!was) return 0;
    const long hr = RestoreGenieCrosspoints();
    if (p.telop && p.layer_mode >= 0) ApplyLayerMode(p.layer_mode, false);
    return hr;
}

long CMQGraph::GetGenieVfxInfo(double& duration, DWORD& frames)
{
    if (!m_bBuilt.load()) return -1;
    duration = GetDuration();
    frames = static_cast<DWORD>(SecondsToFrames(duration));
    return 0;
}

long CMQGraph::GetGenieDuration(double& duration)
{
    if (!m_bBuilt.load()) return -1;
    duration = GetDuration();
    return 0;
}

long CMQGraph::GenieStartPosition()
{
    if (!m_bBuilt.load()) return -1;
    ResetPositions();
    return PlayFromTo(0.0, 0.0, FALSE);
}

long CMQGraph::GeniePlay()
{
    if (!m_bBuilt.load()) return -1;
    if (GetState(0) != MQFG_STATE_PAUSED) {
        FgStop();
        ResetPositions();
    }
    return FgPlay();
}

long CMQGraph::GeniePause()
{
    if (!m_bBuilt.load() || !CanPause()) return -1;
    return Pause();
}

long CMQGraph::GenieStop()
{
    return FgStop();
}

long CMQGraph::GenieWaitForCompletion()
{
    if (!m_bBuilt.load() || !m_pMediaEvent) return -1;
    // The transport thread is kept off the events while this thread waits for them, or it
    // could take the completion this wait is for.
    ResetEvent(m_hActiveEvent);
    LONG code = 0;
    const HRESULT hr = m_pMediaEvent->WaitForCompletion(static_cast<LONG>(kCompletionMs), &code);
    if (FAILED(hr)) {
        ReportError("Timeout error waiting for Run completion", hr);
        return hr;
    }
    return code;
}

// ---- transport ----

long CMQGraph::FgReBigin()
{
    if (!m_bBuilt.load()) return -1;
    data_on_every_control(*m_pParts, true);
    return 0;
}

long CMQGraph::FgReEndData()
{
    if (!m_bBuilt.load()) return -1;
    data_on_every_control(*m_pParts, false);
    return 0;
}

long CMQGraph::FgPlay()
{
    if (!m_bBuilt.load()) return -1;
    FgReBigin();
    return GetState(0) == MQFG_STATE_RUNNING ? 0 : Play();
}

long CMQGraph::FgStop()
{
    if (!m_bBuilt.load()) return -1;
    FgReEndData();
    return GetState(0) == MQFG_STATE_STOPPED ? 0 : Stop();
}

long CMQGraph::FgSeek(double seconds)
{
    if (!m_bBuilt.load()) return -1;
    FgReEndData();
    return Seek(seconds);
}

long CMQGraph::FgPlayFromTo(double start, double stop, long loop)
{
    if (!m_bBuilt.load()) return -1;
    FgReBigin();
    return PlayFromTo(start, stop, loop ? TRUE : FALSE);
}

long CMQGraph::WaitForCompletion()
{
    if (!m_bBuilt.load()) return -1;
    return CMQFilterGraph::WaitForCompletion(kCompletionMs, FALSE);
}

long CMQGraph::NowPosition(double& seconds)
{
    if (!m_bBuilt.load() || !m_pMediaPosition) return -1;
    return m_pMediaPosition->get_Duration(&seconds);
}

// ---- events and position ----

BOOL CMQGraph::HandleFGEvent(LONG code, LONG_PTR param1, LONG_PTR param2)
{
    if (code == EC_OLE_EVENT && CMQEventInfo::IsMQEvent(param1) && CMQEventInfo(param1).GetReturnCode() == kFilterWarning) {
        // The filter follows this warning with an abort of its own: taken off the queue with
        // it, unless it is the graph's error abort, and then everything queued behind it.
        LONG next;
        LONG_PTR a, b;
        if (m_pMediaEvent->GetEvent(&next, &a, &b, 0) == S_OK) {
            if (next != EC_ERRORABORT) {
                LONG more;
                LONG_PTR c, d;
                while (m_pMediaEvent->GetEvent(&more, &c, &d, 0) == S_OK) m_pMediaEvent->FreeEventParams(more, c, d);
                ++m_nWarnings;
            }
            m_pMediaEvent->FreeEventParams(next, a, b);
        } else {
            ++m_nWarnings;
        }
        return TRUE;
    }
    return CMQFilterGraph::HandleFGEvent(code, param1, param2);
}

BOOL CMQGraph::HandleMQEvent(CMQEventInfo& info)
{
    if (info.GetReturnCode() == kFilterWarning) return TRUE;
    return CMQFilterGraph::HandleMQEvent(info);
}

HRESULT CMQGraph::GetPosition(double& seconds)
{
    if (!m_bBuilt.load()) {
        seconds = 0.0;
        return S_OK;
    }
    zk::ComPtr<IMediaPosition> genie;
    {
        std::lock_guard<std::mutex> guard(m_pParts->lock);
        genie = m_pParts->genie_position;
    }
    if (genie) {
        if (FAILED(genie->get_CurrentPosition(&seconds))) seconds = 0.0;
        return S_OK;
    }
    return CMQFilterGraph::GetPosition(seconds);
}

// The table of the mixer's filter classes and their pins.
#include "platform/board/mixer/mixer_catalogue.h"

#include <algorithm>

namespace zk::mixer {
namespace {

MixerPin out(std::string name)
{
    return MixerPin{std::move(name), PINDIR_OUTPUT, PinRole::Output, RecordKind::Dve2D};
}

MixerPin video(std::string name)
{
    return MixerPin{std::move(name), PINDIR_INPUT, PinRole::Video, RecordKind::Dve2D};
}

MixerPin keyframe(std::string name, RecordKind kind)
{
    return MixerPin{std::move(name), PINDIR_INPUT, PinRole::Keyframe, kind};
}

MixerPin audio(std::string name)
{
    return MixerPin{std::move(name), PINDIR_INPUT, PinRole::Audio, RecordKind::Dve2D};
}

MixerClass unit(CLSID clsid, std::string vendor, std::string family, int units, std::vector<MixerPin> pins)
{
    MixerClass c;
    c.clsid = clsid;
    c.vendor = std::move(vendor);
    c.family = std::move(family);
    c.units = units;
    c.kind = ClassKind::Unit;
    c.pins = std::move(pins);
    return c;
}

MixerClass source(CLSID clsid, std::string vendor, std::string family, ClassKind kind, std::vector<MixerPin> pins)
{
    MixerClass c = unit(clsid, std::move(vendor), std::move(family), 0, std::move(pins));
    c.kind = kind;
    return c;
}

std::vector<MixerPin> output_select_pins()
{
    return {video("Video In"), out("Video Out"), out("M2B Out"), out("M2B Key Out")};
}

std::vector<MixerPin> bus_control_pins()
{
    std::vector<MixerPin> pins;
    for (const char* bus : {"Main Bus", "Key Out Bus", "Loop Out A Bus", "Loop In Bus", "Key In Bus", "I1 Bus", "I2 Bus"}) {
        pins.push_back(video(bus));
        pins.push_back(out(bus));
    }
    return pins;
}

std::vector<MixerClass> build_classes()
{
    std::vector<MixerClass> all;

    MixerClass fiesta = unit(CLSID_FiestaRenderer, "DigiMix Fiesta Renderer", "Fiesta", 5,
                             {video("Video In"), keyframe("2D DVE In", RecordKind::Dve2D),
                              keyframe("Crop In", RecordKind::Crop), keyframe("Procamp In", RecordKind::Procamp),
                              keyframe("Mask In", RecordKind::Mask), keyframe("Paint In", RecordKind::Paint),
                              MixerPin{"TBC In", PINDIR_INPUT, PinRole::Tbc, RecordKind::Dve2D}, out("Video Out")});
    fiesta.fiesta = true;
    all.push_back(std::move(fiesta));

    all.push_back(unit(CLSID_AlphaKeyRenderer, "DigiMix Graphics Alpha Key Renderer", "AlphaKeyRenderer", 1,
                       {out("Video Out"), out("Alpha Out")}));
    const std::vector<MixerPin> processor = {video("Layer 1"), video("Layer 2"), video("Layer 3"), out("Video Out"),
                                             out("Key Out")};
    all.push_back(unit(CLSID_PriorityProcessor0, "DigiMix Priority Processor 0", "PriorityProcessor0", 1, processor));
    all.push_back(unit(CLSID_PriorityProcessor1, "DigiMix Priority Processor 1", "PriorityProcessor1", 1, processor));

    MixerClass input = unit(CLSID_DigiMixInputSelect, "DigiMix Input Select", "InputSelect", 1, {out("Video Out")});
    input.video_inputs = {{0, "Composite 1"}, {1, "Composite 2"}, {2, "Y/C"}, {3, "Component"}, {4, "Serial Digital"}};
    all.push_back(std::move(input));
    MixerClass second = unit(CLSID_SecondInputSelect, "DigiMix Second Input Select", "InputSelect2", 1, {out("Video Out")});
    second.video_inputs = {{0, "SDI A"}, {1, "SDI B"}, {2, "SDI C"}, {3, "SDI D"}};
    all.push_back(std::move(second));

    const CLSID combiners[] = {CLSID_VideoKeyCombiner0, CLSID_VideoKeyCombiner1, CLSID_VideoKeyCombiner2,
                               CLSID_VideoKeyCombiner3, CLSID_VideoKeyCombiner4};
    for (int n = 0; n < 5; ++n) {
        const std::string number = std::to_string(n);
        all.push_back(unit(combiners[n], "DigiMix Video Key Combiner " + number, "KeyCombiner" + number, 1,
                           {video("Video In"), video("Key In"), out("Video Out")}));
    }

    all.push_back(unit(CLSID_Movie2BusInput, "DigiMix Movie-2 Bus Input", "Movie2BusInput", 1,
                       {video("I0 In"), video("I1 In"), video("I2 In"), out("I0 Out"), out("I1 Out"), out("I2 Out")}));
    all.push_back(unit(CLSID_PreviewOutputSelect, "DigiMix Preview Output Select", "PreviewOutputSelect", 1,
                       output_select_pins()));
    all.push_back(unit(CLSID_MainOutputSelect, "DigiMix Main Output Select", "MainOutputSelect", 1, output_select_pins()));
    all.push_back(unit(CLSID_AlphaOutputSelect, "DigiMix Alpha Output Select", "AlphaOutputSelect", 1,
                       output_select_pins()));
    all.push_back(unit(CLSID_FxOutputASelect, "DigiMix External FX Output A Select", "FxOutputASelect", 1,
                       output_select_pins()));
    all.push_back(unit(CLSID_FxOutputBSelect, "DigiMix External FX Output B Select", "FxOutputBSelect", 1,
                       output_select_pins()));

    all.push_back(source(CLSID_DirectDataSource, "DirectData Source", "DirectData", ClassKind::DirectData,
                         {out("Video Out")}));

    all.push_back(unit(CLSID_WipeRenderer, "DigiMix Wipe Renderer", "WipeRenderer", 2,
                       {video("Video In"), keyframe("Wipe In", RecordKind::Wipe), keyframe("Fader In", RecordKind::Fader),
                        video("Background In"), out("Video Out")}));
    all.push_back(unit(CLSID_BorderGenerator, "DigiMix Border Generator", "WipeBorder", 2,
                       {keyframe("Border In", RecordKind::Background), out("Video Out")}));
    all.push_back(unit(CLSID_BackgroundGenerator2, "DigiMix Background Generator 2", "BGen2", 1,
                       {keyframe("Background In", RecordKind::Background), out("Video Out")}));

    all.push_back(unit(CLSID_HwConnTee, "Hardware Connection Tee", "HwConnTee", 1,
                       {video("Input"), out("Output1"), out("Output2")}));
    all.push_back(unit(CLSID_Movie2BusControlIn, "Movie-2 Bus Control In", "Movie2BusControlIn", 1, bus_control_pins()));
    all.push_back(unit(CLSID_Movie2BusControlOut, "Movie-2 Bus Control Out", "Movie2BusControlOut", 1,
                       bus_control_pins()));
    all.push_back(unit(CLSID_DigiLinxOutput0, "DigiLinx Output 0", "DigiLinxOutput0", 1, {video("Main")}));
    all.push_back(unit(CLSID_DigiLinxOutput1, "DigiLinx Output 1", "DigiLinxOutput1", 1, {video("Key Out")}));
    all.push_back(unit(CLSID_SdtiBusInput, "SDTI Movie-2 Bus Input", "SdtiBusInput", 1,
                       {video("Main In"), video("Alpha In"), out("Main Out"), out("Alpha Out")}));
    all.push_back(unit(CLSID_SdiOutputA, "SDI Output A", "SdiOutputA", 1, {video("Video In")}));
    all.push_back(unit(CLSID_SdiOutputB, "SDI Output B", "SdiOutputB", 1, {video("Video In")}));

    MixerClass motion0 = source(CLSID_MotionVideoSource0, "Motion Video Source 0", "MotionVideoSource0",
                                ClassKind::Source, {out("M2B Out")});
    motion0.file_source = true;
    all.push_back(std::move(motion0));
    MixerClass motion1 = source(CLSID_MotionVideoSource1, "Motion Video Source 1", "MotionVideoSource1",
                                ClassKind::Source, {out("M2B Out")});
    motion1.file_source = true;
    all.push_back(std::move(motion1));

    all.push_back(unit(CLSID_AudioMixer, "DigiMix Audio Mixer", "AudioMixer", 1,
                       {audio("Audio In 0"), audio("Audio In 1"),
                        keyframe("Master Output Volume In", RecordKind::Volume), out("Audio Master Out 0"),
                        out("Audio Master Out 1")}));
    all.push_back(unit(CLSID_AudioOutput, "DigiMix Audio Output", "AudioOutput", 1,
                       {audio("Audio In 0"), audio("Audio In 1")}));
    MixerClass wave = source(CLSID_WaveSource, "Wave Audio Source", "WaveSource", ClassKind::Source, {out("Audio Out")});
    wave.file_source = true;
    all.push_back(std::move(wave));
    all.push_back(unit(CLSID_LiveAudioInput, "Live Audio Input", "LiveAudioInput", 1,
                       {out("Audio Out 0"), out("Audio Out 1")}));

    all.push_back(unit(CLSID_GenieRenderer, "Genie Renderer", "GenieRenderer", 1,
                       {video("LoopIn In"), video("KeyIn In"), video("Vfx In"), out("Video Out"), out("Key Out")}));
    MixerClass vfx = source(CLSID_VfxSource, "VFX Source", "VfxSource", ClassKind::DirectData, {out("Vfx Out")});
    vfx.compound_source = true;
    all.push_back(std::move(vfx));
    return all;
}

} // namespace

const MixerPin* MixerClass::pin(std::string_view name, PIN_DIRECTION direction) const
{
    for (const MixerPin& p : pins) {
        if (p.direction == direction && p.name == name) return &p;
    }
    return nullptr;
}

const std::vector<MixerClass>& mixer_classes()
{
    static const std::vector<MixerClass> all = build_classes();
    return all;
}

const MixerClass* mixer_class(REFCLSID clsid)
{
    const auto& all = mixer_classes();
    auto it = std::find_if(all.begin(), all.end(), [&](const MixerClass& c) { return c.clsid == clsid; });
    return it == all.end() ? nullptr : &*it;
}

std::string unit_name(const MixerClass& cls, int unit)
{
    return cls.units > 1 ? cls.family + std::to_string(unit) : cls.family;
}

} // namespace zk::mixer

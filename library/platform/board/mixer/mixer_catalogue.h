// The mixer's filter classes: for every class identifier the effects graph creates, its pins,
// what each input takes, and which physical units of the board its instances drive.
//
// Pins. Every class has the pin names the graph builders connect by; where a builder names no
// pin it connects the first output, so each source's one output is its first. Inputs take one
// of: video (a picture, or a crosspoint selection from a hardware-connection filter connected
// to it), a keyframe record of one kind and size, the TBC packet ("TBC In"), or audio.
//
// Choices where the builders' descriptions disagree or leave a gap:
//   - Key combiners: class {2BD503C0 + n} is video key combiner n, n = 0 to 4. The telop
//     configuration's "key combiners 1 and 2" ({2BD503C3}, {2BD503C4}, fed by the key
//     connections "3 and 4") are therefore combiners 3 and 4; the Genie configuration's
//     combiner 1 is {2BD503C1}; the DigiMix-only configuration's combiner 3, named without an
//     identifier, is {2BD503C3}; {2BD503C2} exists although no builder adds it.
//   - The audio mixer's inputs are "Audio In 0" (left) and "Audio In 1" (right). There is no
//     pin "Audio In": a graph reconnecting a file source to the mixer names the numbered pin.
//     The audio output takes "Audio In 0" and "Audio In 1" from the mixer's master outputs.
//   - The TBC DirectData filter of the channel-0 freezes is not a class of its own: it is a
//     DirectData source connected to the Fiesta renderer's "TBC In", sending TBC packets.
//   - A Movie-2 bus control passes each bus it knows ("Main Bus", "Key Out Bus", "Loop Out A
//     Bus", "Loop In Bus", "Key In Bus", "I1 Bus", "I2 Bus") from an input to an output of
//     the same name; both bus-control classes have them all.
//   - Output selects take "Video In" and give "Video Out", "M2B Out" and "M2B Key Out".
//   - The board's file source {74A541E1-...} (digisuite_filter.cpp) plays clips for the
//     motion lines and the wave sources; it is not a mixer class.
//
// Units. A class with units drives one of them per instance in a graph: the lowest free unit
// when the instance joins a graph, given back when it leaves (IMixerUnit moves it to another).
// Classes of one-of-a-kind hardware have one unit, so a second instance in a graph is refused.
// Sources that only carry data (DirectData, wave, motion and VFX sources) drive no unit.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/board/mixer/mixer_interfaces.h"
#include "platform/board/mixer/mixer_records.h"

namespace zk::mixer {

enum class PinRole { Output, Video, Keyframe, Tbc, Audio };

struct MixerPin {
    std::string name;
    PIN_DIRECTION direction = PINDIR_INPUT;
    PinRole role = PinRole::Video;
    RecordKind record = RecordKind::Dve2D; // for PinRole::Keyframe
};

enum class ClassKind {
    Unit,       // drives a unit of the board
    DirectData, // a data source: IKeyframeControl and IDirectData, no unit
    Source,     // any other source without a unit
};

struct MixerClass {
    CLSID clsid{};
    std::string vendor;   // the filter's vendor text and default name in a graph
    std::string family;   // unit name stem: "Fiesta", "WipeRenderer", "BGen2", ...
    int units = 0;        // how many the board has (Unit classes)
    ClassKind kind = ClassKind::Unit;
    bool fiesta = false;  // TBC control and still transfer
    bool file_source = false;
    bool compound_source = false;
    std::vector<std::pair<LONG, std::string>> video_inputs; // IVideoInput when not empty
    std::vector<MixerPin> pins;

    const MixerPin* pin(std::string_view name, PIN_DIRECTION direction) const;
};

// Every class, registered with the COM class registry when the library loads.
const std::vector<MixerClass>& mixer_classes();
const MixerClass* mixer_class(REFCLSID clsid);

// "Fiesta3", "WipeBorder0", "BGen2": the family, with the unit number when it has several.
std::string unit_name(const MixerClass& cls, int unit);

} // namespace zk::mixer

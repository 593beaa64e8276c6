// The mixer's compositor: program out and preview out of every field from the mixer model.
//
// The DigiMix routes its layers through crosspoints and priority processors whose settings
// belong to the vendor; this board composes by a fixed model of its own instead (drawn in
// library/platform/README.md):
//
//   program = background, Fiesta 0, line 0, line 1, graphics
//     background  background generator 2's colour while its record is enabled (opaque),
//                 else transparent black;
//     Fiesta n    the channel's frame store placed by its 2D DVE and crop records (see
//                 channel_placement.h), laid by its own key, with the DVE border around it;
//                 a channel shows only while a filter drives it and something was stored;
//     line w      Fiesta 2w+1 then Fiesta 2w+2 laid over what is below, shown through wipe
//                 unit w at its fader position and pattern (wipe_pattern.h): position 0 shows
//                 what is below, 1.0 the line; a unit that is not driven, or has had no fader
//                 record, shows the line whole;
//     graphics    the displayed area of the graphics frame buffer, keyed on top.
//   preview = the background and the lines with every wipe complete, without graphics; or,
//     when the preview output's crosspoint selects Fiesta channel n's output
//     ({1C230750 + n}, any input), the background with that channel alone, and the channel is
//     left off program out.
//
// Colours from records are YUV words read back with mixer_records.h. Crosspoints other than
// the preview output's are kept in the model (the layer mode) and do not change the pictures.
#pragma once

#include <memory>
#include <vector>

#include "platform/board/mixer/mixer_model.h"
#include "platform/board/output_stage.h"

namespace zk {

class VirtualBoard;

namespace mixer {

class MixerComposer final : public OutputComposer {
public:
    explicit MixerComposer(std::shared_ptr<MixerModel> model);

    // Takes the model's state at `field` (channels that are due take their inputs) and
    // composes it.
    void compose(long long field, const GraphicsArea& graphics, OutputPicture& program, OutputPicture& preview) override;

    // Composes a state as it is (tests and benchmarks).
    void compose_state(const MixerState& state, const GraphicsArea& graphics, OutputPicture& program,
                       OutputPicture& preview);

private:
    std::shared_ptr<MixerModel> model_;
    OutputPicture line_;                  // a line composed before its wipe
    std::vector<std::uint32_t> staging_;  // one sampled row
};

// The compositor of a board's mixer, for the board's output stage.
std::unique_ptr<OutputComposer> make_mixer_composer(VirtualBoard& board);

} // namespace mixer
} // namespace zk

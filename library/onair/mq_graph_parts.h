// The mixer's side of CMQGraph: the filters it holds by role, which configuration added each,
// the control interfaces they are driven through, the state of the layers, captures and
// files, and the helper that adds, joins and takes filters away with the graph's messages.
//
// Ownership. Every filter sits in a Slot that remembers the configuration that added it (or
// "manual" for a unit the host added itself). A configuration adds a filter only when its slot
// is empty, so configurations that share hardware (a bus control, an output select) use one
// filter, and a tear-down removes exactly the slots its configuration filled: nothing another
// configuration still uses goes with it. Removing a filter disconnects its pins and gives its
// unit back to the board.
//
// Threads. Only the host's thread changes the slots, always under `lock`; other threads (the
// effects sending keyframes, freezing channels) take copies of the interfaces they need under
// the same lock and call them after letting it go, so a tear-down never pulls an interface out
// from under a call in progress.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "onair/mq_graph.h"
#include "platform/com/com_base.h"

namespace zk::graph {

// Who added a filter.
enum class Config : int {
    none = 0,
    manual,       // a unit the host added with AddFilter...Renderer
    telop,
    telop_genie,  // the Genie part of the telop configuration
    digimix_only,
    motion,       // a motion line without the telop configuration
    motion_telop, // a motion line inside the telop configuration
    genie_filter,
    wave_sound,
    live_sound,
};

struct Slot {
    ComPtr<IBaseFilter> filter;
    Config owner = Config::none;
    bool held() const { return static_cast<bool>(filter); }
};

// A Fiesta channel's keyframe sources, in the order of the renderer's inputs.
enum SourceKind : int { kDve, kCrop, kProcamp, kMask, kPaint, kSourceKinds };
// Records of a wipe unit.
enum WipeKind : int { kWipe, kFader, kBorder, kWipeKinds };

struct FiestaUnit {
    Slot renderer;
    std::array<Slot, kSourceKinds> sources;
    std::array<ComPtr<IKeyframeControl>, kSourceKinds> controls;
    ComPtr<ITBCControl> tbc;
    // The TBC data filter on the renderer's "TBC In" (channel 0's freezes), made on first use.
    Slot tbc_source;
    ComPtr<IDirectData> tbc_data;
};

struct WipeUnit {
    Slot renderer, wipe_source, fader_source, border_source, border;
    std::array<ComPtr<IKeyframeControl>, kWipeKinds> controls;
    // The records the unit has now; a unit made again is sent them.
    std::vector<std::uint8_t> wipe_record, fader_record, border_record;
};

// The hardware connections: DirectData sources on mixer inputs whose packets pick the
// crosspoint feeding that input.
enum Hw : int {
    kHwMainOut,
    kHwPreOut,
    kHwLayer,           // six: processor p, layer l at kHwLayer + 3p + l
    kHwFiestaIn = kHwLayer + 6, // four: the inputs of Fiesta channels 1-4
    kHwKeyVideo3 = kHwFiestaIn + 4,
    kHwKeyKey3,
    kHwKeyVideo4,
    kHwKeyKey4,
    kHwWipe,            // two: the video of wipe units 0 and 1
    kHwVfxVideo = kHwWipe + 2,
    kHwVfxKey,
    kHwVfxEfxB,
    kHwCount,
};
// The connection's name in messages: "MainOut", "PP0Layer1", "Fiesta3", "Vfx_Vidkey Video"...
std::string hw_name(int hw);

struct Connection {
    Slot slot;
    ComPtr<IDirectData> data;
};

// A crosspoint selection: a source and the input taken from it.
struct Crosspoint {
    GUID source;
    long index;
};

// The sources, as this system uses them (the board gives meaning to the Fiesta outputs).
Crosspoint xp_fiesta(int channel);           // {1C230750 + n}: channel n's output
Crosspoint xp_bus(int bus);                  // {1C230756}: the Movie-2 bus input, I0-I2
Crosspoint xp_background();                  // {1C230757}: background generator 2
Crosspoint xp_graphics(int key);             // {1C230758}: the graphics, 0 video, 1 key
Crosspoint xp_line(int line);                // {1C230759}: wipe unit `line`'s output
Crosspoint xp_combiner(int which);           // {1C23075A}: key combiners 0, 3, 4 as 0-2
Crosspoint xp_processor(int p, int key);     // {1C23075B + p}: a priority processor
Crosspoint xp_live();                        // {1C23075D}: the DigiMix input select
Crosspoint xp_genie(int key);                // {1C23075E}: the Genie renderer
Crosspoint xp_sdi_capture();                 // {1C23075F}: the second input select
Crosspoint xp_none();                        // the empty source

// What a layer mode (0-4) selects: the three layers of each processor and the main output.
// `video_level` chooses between the empty source and a picture for processor 1's first layer;
// `live_super` puts the live input under everything; `genie_line` >= 0 puts the Genie's output
// in place of that line.
struct LayerSelection {
    std::array<std::array<Crosspoint, 3>, 2> layers;
    Crosspoint main_out;
};
LayerSelection layer_selection(int mode, bool video_level, bool live_super, int genie_line);

// One DirectData packet to `data`: the source, the format and the 8-byte payload {w0, w1},
// which crosses to the board as a board-memory token for the length of the call.
HRESULT send_packet(IDirectData* data, const GUID& source, const GUID& format, DWORD w0, DWORD w1);

struct LiveInputs {
    std::vector<MQFG_INPUT_INFO> list;
    size_t cursor = 0;
    bool enumerated = false;
};

struct Parts {
    std::mutex lock;

    Slot input_select, input_select2, bus_input, alpha_key, tee;
    Slot fx_a, fx_b, main_out, alpha_out, preview_out;
    Slot bgen2, bgen2_source;
    Slot bus_control_in, bus_control_out, sdti_bus;
    Slot audio_mixer, audio_out, volume_source, live_audio;
    Slot genie, vfx_source;
    std::array<Slot, 5> key_combiner; // by class number: {2BD503C0 + n}
    std::array<Slot, 2> processor, linx_out, sdi_out, motion, wave;
    std::array<FiestaUnit, 5> fiesta;
    std::array<WipeUnit, 2> wipe;
    std::array<Connection, kHwCount> hw;
    ComPtr<IKeyframeControl> bgen2_control, volume_control;
    ComPtr<IDirectData> vfx_data;
    ComPtr<IMediaPosition> genie_position;

    // Configurations in place.
    bool telop = false;
    bool telop_genie = false;
    bool digimix_only = false;
    bool motion_built = false;
    bool motion_telop = false;
    bool genie_filter = false;
    bool wave_sound = false;
    bool live_sound = false;
    int motion_line = 0;
    // Who the filters being added now belong to.
    Config building = Config::manual;

    // Layers.
    long layer_mode = -1; // the mode applied last, 0-4 or 5-9 with live super
    bool live_super = false;
    bool video_level = false;
    int genie_line = 0;

    // Live inputs and capture.
    long live_input = -1;
    long live_input_sdi = -1;
    LiveInputs inputs, inputs_sdi;
    bool sdi_capture = false;
    long sdi_channel = -1;
    bool adc_fiesta0 = false;

    // Files.
    std::array<std::string, 2> video_files, audio_files;
    std::array<bool, 2> video_set{}, audio_set{};
    std::string vfx_file, vfx_storage;

    Parts();
    // Every slot, for tear-downs.
    std::vector<Slot*> slots();
    // Drops the interfaces whose filter has gone.
    void drop_orphans();
    // Every control the graph drives data through: keyframe controls and DirectData filters.
    void each_control(std::vector<ComPtr<IKeyframeControl>>& controls, std::vector<ComPtr<IDirectData>>& data) const;
};

} // namespace zk::graph

// Adding, connecting and taking away filters for one configuration, with the graph's messages:
// every failing step calls DestroyGraph, reports "<family> <step>" and gives its code back.
class CMQGraph::Build {
public:
    Build(CMQGraph& graph, zk::graph::Config owner);
    ~Build();
    Build(const Build&) = delete;
    Build& operator=(const Build&) = delete;

    zk::graph::Parts& parts() { return *graph_.m_pParts; }
    CMQGraph& graph() { return graph_; }

    // Reports `message` with `hr` as a failed step and gives `hr` back.
    HRESULT fail(const std::string& message, HRESULT hr);
    // Adds the class into an empty slot, reporting `message` when that fails; a held slot is
    // kept as it is.
    HRESULT add(zk::graph::Slot& slot, REFCLSID clsid, const std::string& message);
    // The same for a numbered unit, claimed as unit `unit` of its kind.
    HRESULT add_unit(zk::graph::Slot& slot, REFCLSID clsid, int unit, const std::string& message);
    // Connects `out` of one to `in` of the other ("ConnectErr <what>"); a connection that is
    // there already is kept.
    HRESULT connect(const zk::graph::Slot& from, const char* out, const zk::graph::Slot& to, const char* in,
                    const std::string& what);
    // The keyframe control of a source ("InterfaceErr <name>"), and data begun on it
    // ("BeginDataErr <name>").
    HRESULT control(const zk::graph::Slot& source, zk::ComPtr<IKeyframeControl>& out, const std::string& name);
    HRESULT begin(IKeyframeControl* control, const std::string& name);
    // A record sent to a control as a step ("SendKeyframeErr <name>").
    HRESULT send(IKeyframeControl* control, const std::vector<std::uint8_t>& record, const std::string& name);
    // A hardware connection: the filter, its IDirectData ("ErrIDirectData interface HwConn_<name>").
    HRESULT connection(int hw);
    // Begins data on a connection ("BeginData failed on Direct Data HwConn filter").
    HRESULT begin_connection(int hw);
    // Selects a crosspoint on a connection ("Err HwConnSel <name>").
    HRESULT select(int hw, const zk::graph::Crosspoint& xp, const std::string& name);

    // Takes away every filter `owner` added, with what hangs on them.
    void remove_owned(zk::graph::Config owner);
    void remove(zk::graph::Slot& slot);

private:
    CMQGraph& graph_;
    zk::graph::Config previous_;
};

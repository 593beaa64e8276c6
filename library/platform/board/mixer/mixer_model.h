// The DigiMix mixer's state on the virtual board: which filter drives which unit, the last
// record each unit input accepted, the crosspoint feeding each video input, the Fiesta
// channels' time-base correctors and frame stores, and the audio master volume.
//
// One model per board (mixer_model()). The mixer's filters write to it; the compositor and
// tests read it through state(), a snapshot taken under the model's lock (pictures are shared,
// immutable, and replaced whole when a still is put). Everything that reaches a unit is
// journalled on the board first: records and packets as Keyframe entries (target
// "<unit>:<pin>", code = size, the bytes), stills as Still entries, TBC changes and unit
// claims as StateChange entries; a refusal is journalled with ok = false and the reason.
//
// A unit keeps its records, crosspoints and frame store when its filter leaves a graph, as the
// hardware does; the next filter to drive it finds them.
//
// The channels have no live video on the virtual board. A host or a test may give a channel
// a picture as its input (set_live_input); a channel that is not frozen takes it into its
// frame store at the first field of every strobe period, and a frozen one keeps what it holds.
// Without an input the store keeps what was last put there.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/board/board_journal.h"
#include "platform/board/mixer/mixer_catalogue.h"
#include "platform/board/output_stage.h"

namespace zk {

class VirtualBoard;

using StillPicture = OutputPicture;

namespace mixer {

inline constexpr int kFiestaChannels = 5;
inline constexpr int kWipeUnits = 2;
inline constexpr int kStoreWidth = 720;
inline constexpr int kStoreHeight = 486;

struct RecordSlot {
    std::vector<std::uint8_t> bytes; // empty until a record arrived
    long long field = -1;            // the board field it arrived in
    bool received() const { return !bytes.empty(); }
};

struct UnitState {
    bool present = false; // a filter in a graph drives it
    std::array<RecordSlot, kRecordKinds> records;
    const RecordSlot& record(RecordKind kind) const { return records[static_cast<size_t>(kind)]; }
};

struct ChannelState {
    DWORD strobe_rate = 1;
    LONG display_mode = DISPLAY_FRAME;
    std::shared_ptr<const StillPicture> store;      // null: nothing stored yet
    std::shared_ptr<const StillPicture> live_input; // null: no input
    long long next_grab_frame = LLONG_MIN;
    bool frozen() const { return strobe_rate == 0; }
};

struct Crosspoint {
    GUID source{};
    DWORD index = 0;   // payload word 1
    DWORD word0 = 0;   // payload word 0
    long long field = -1;
};

struct MixerState {
    std::map<std::string, UnitState> units; // by unit name; units never driven are absent
    std::array<ChannelState, kFiestaChannels> channels;
    std::map<std::string, Crosspoint> crosspoints; // "<unit>:<pin>"

    // An empty state for a unit that was never driven.
    const UnitState& unit(const std::string& name) const;
    const Crosspoint* crosspoint(const std::string& unit, const std::string& pin) const;
    // The board's view of a priority processor's layer mode: the crosspoints feeding its
    // "Layer 1" to "Layer 3" (null where none was selected).
    std::array<const Crosspoint*, 3> layers(int processor) const;
};

class MixerModel {
public:
    explicit MixerModel(VirtualBoard& board);
    MixerModel(const MixerModel&) = delete;
    MixerModel& operator=(const MixerModel&) = delete;

    VirtualBoard& board() { return board_; }

    // Units. claim gives the lowest free unit of the class to `owner`; move gives it the named
    // one instead when that is free; release gives back whatever the owner holds.
    HRESULT claim(const MixerClass& cls, const void* owner, int& unit);
    HRESULT move(const MixerClass& cls, const void* owner, int to);
    void release(const MixerClass& cls, const void* owner);
    int unit_of(const MixerClass& cls, const void* owner) const;

    // A record sent to input `pin` of a unit: kept when the pin takes records of exactly this
    // size. E_INVALIDARG (wrong size), VFW_E_TYPE_NOT_ACCEPTED (not a keyframe input).
    HRESULT receive_record(const MixerClass& cls, int unit, const MixerPin& pin, const void* record, DWORD size);
    // A DirectData packet for input `pin` of a unit (layout in mixer_interfaces.h).
    HRESULT receive_packet(const MixerClass& cls, int unit, const MixerPin& pin, const void* packet, DWORD size);
    // Journals a refusal found before the unit was reached (no route, data not begun).
    void refuse(const std::string& target, std::uint32_t code, const std::string& reason);
    // Journals a state change of a source (begin and end data).
    void note_state(const std::string& target, std::uint32_t code, const std::string& text);

    // The time-base corrector of Fiesta channel `channel`.
    HRESULT set_strobe_rate(int channel, DWORD rate);
    HRESULT set_display_mode(int channel, LONG mode);
    void tbc(int channel, DWORD& rate, LONG& mode) const;

    // Still transfer (ITransferDIB): `yuv` when the host's pixels are AYUV words.
    HRESULT put_still(int channel, const MQ_TRANSFER_DIB& transfer, const void* pixels, bool yuv);
    HRESULT get_still(int channel, const MQ_TRANSFER_DIB& transfer, void* pixels, bool yuv);

    // The host's side: a picture as a channel's live input (null removes it).
    void set_live_input(int channel, std::shared_ptr<const StillPicture> picture);
    // Called at the start of state_for_field(field), outside the model's lock, to set the
    // live inputs of that field (the board's clip players); it must not wait for anything.
    using FieldHook = std::function<void(long long field)>;
    void set_field_hook(FieldHook hook);

    MixerState state() const;
    // The state at board field `field`: channels that are due take their input first.
    MixerState state_for_field(long long field);

private:
    UnitState& unit_state_locked(const std::string& name);
    void log(JournalKind kind, const std::string& target, std::uint32_t code, const void* bytes, size_t size,
             const std::string& text, bool ok);

    VirtualBoard& board_;
    mutable std::mutex lock_;
    std::map<std::string, std::vector<const void*>> owners_; // per family, one slot per unit
    MixerState state_;
    std::shared_ptr<const FieldHook> hook_;
};

// The mixer model of a board, made on first use and kept with the board.
std::shared_ptr<MixerModel> mixer_model(VirtualBoard& board);

} // namespace mixer
} // namespace zk

// The virtual DigiSuite board: what is installed (cardsets, boards, filter instances, devices),
// its one time base, and a record of what the on-air code asked of it.
//
// One board is current per process. By default it is built from BoardConfig::standard(),
// which matches the registry's built-in description (one DigiMix at device 0), and its clock
// runs in real time. Tests install their own board (platform/testing/board.h): a manual clock
// that they step field by field, other video standards, cardsets, or a board that lacks the
// scrub control, the shuttle control, the event monitor or the MRID enumerator.
//
// Objects created from the board (clocks, controls, the enumerator) read the board that is
// current when they are created and keep it; installing another board affects only objects
// created after.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/board/board_journal.h"
#include "platform/board/digisuite_interfaces.h"
#include "platform/board/video_standard.h"
#include "platform/filtergraph/reference_clock.h"
#include "platform/win32/win32_time.h"

namespace zk {

struct BoardFilterInstance {
    CLSID clsid{};
    LONG board = 0;  // index into the cardset's boards
    LONG number = 0; // instance number on that board
    DWORD mrid = 0;  // assigned by the board when 0
};

struct BoardCardset {
    DWORD mrid = 0;
    std::string name;
    int standard = 1; // 1: 60000/1001 fields/s; 2, 3: 50 fields/s; 0: a standard the clock cannot name
    std::vector<std::string> boards; // board names; an empty name cannot be read
    std::vector<BoardFilterInstance> instances;
};

struct ZORVIK_API BoardConfig {
    std::vector<BoardCardset> cardsets;
    bool manual_clock = false;
    REFERENCE_TIME manual_start = 0;
    // The local time (GetLocalTime) at manual_start while the board is current and runs on
    // its manual clock; it then moves with the board's time.
    SYSTEMTIME local_start{2001, 1, 1, 1, 9, 0, 0, 0};
    bool extended_clock = true;
    bool scrub_control = true;
    bool shuttle_control = true;
    bool event_monitor = true;
    bool mrid_enumerator = true;
    // Video-effects devices by name ("DigiMixVFX0") and the option word each reports.
    std::map<std::string, DWORD> effects_devices;
    // System-clock devices (field interrupts) by name.
    std::vector<std::string> system_clocks;
    // Graphics frame-buffer devices by name; the first is the one the board keys over its
    // output (platform/board/gfb_device.h).
    std::vector<std::string> graphics_devices;
    // SDTI control devices by name (platform/board/sdti_device.h).
    std::vector<std::string> sdti_devices;

    // One cardset with one DigiMix on backplane 0, NTSC, effects device "DigiMixVFX0",
    // graphics device "DigiMixGFB0", system clock "DigiSuiteSystemClock0", and an SDTI board
    // whose control device is "DigiSuiteSdtiCtl0": the installation the registry's built-in
    // text describes.
    static BoardConfig standard();
};

// Counts of what was asked of the board's controls, for tests and diagnostics.
struct BoardActivity {
    std::atomic<int> begin_scrub{0};
    std::atomic<int> end_scrub{0};
    std::atomic<int> scrub_seeks{0};
    std::atomic<int> shuttle_positions{0};
    std::atomic<int> begin_shuttle{0};
    std::atomic<int> end_shuttle{0};
    std::atomic<int> speed_changes{0};
};

struct MonitoredEvent {
    std::string client;
    LONG code;
};

class ZORVIK_API VirtualBoard {
public:
    explicit VirtualBoard(BoardConfig config = BoardConfig::standard());
    ~VirtualBoard();
    VirtualBoard(const VirtualBoard&) = delete;
    VirtualBoard& operator=(const VirtualBoard&) = delete;

    const BoardConfig& config() const { return config_; }
    std::shared_ptr<TimeBase> time_base() const { return time_base_; }
    // The manual time base, or null when the board runs in real time.
    ManualTimeBase* manual_clock() const { return manual_; }

    // The cardset with this MRID, or holding an instance with it; 0 gives the first cardset.
    const BoardCardset* cardset_for(DWORD mrid) const;
    bool resource_known(DWORD mrid) const;
    // The video standard of the cardset a resource belongs to (1 to 3, or 0).
    int standard_for(DWORD mrid) const;

    // Field timing of the first cardset's standard, for stepping the manual clock.
    REFERENCE_TIME field_time(long long field) const;
    long long field_at(REFERENCE_TIME t) const; // the last field boundary at or before t
    long long current_field() const { return field_at(time_base_->now()); }
    // Moves a manual clock on by n field boundaries, one at a time; false in real time. While
    // the board is current, every thread of the library settles before the first step and
    // after every stop of the clock, so each field is handled completely, in order, before
    // the next one comes; false also when something did not settle (its state is dumped).
    // `stop` ends the settling early when it becomes true (see wake_settle_waiters).
    bool step_fields(long long n, const std::atomic<bool>* stop = nullptr);
    // Moves a manual clock to time t, settling the same way; false in real time.
    bool advance_to(REFERENCE_TIME t);

    // What reached the board; log() stamps an entry with the current field.
    BoardJournal& journal() { return journal_; }
    std::uint64_t log(JournalKind kind, std::string target, std::uint32_t code, const void* bytes = nullptr,
                      size_t size = 0, std::string text = {}, bool ok = true);

    BoardActivity& activity() { return activity_; }

    // Event monitor records.
    DWORD monitor_register(const std::string& client);
    bool monitor_unregister(DWORD cookie);
    bool monitor_event(DWORD cookie, LONG code);
    std::vector<MonitoredEvent> monitored_events() const;
    std::vector<std::string> monitor_clients() const;

    // The option word of a video-effects device, false when the board has no such device.
    bool effects_option_word(const std::string& device, DWORD& word) const;
    bool has_system_clock(const std::string& device) const;
    bool has_graphics_device(const std::string& device) const;
    bool has_sdti_device(const std::string& device) const;

    // State of a device shared by every open of it on this board, made on first use.
    template <class T> std::shared_ptr<T> device_state(const std::string& name, const std::function<std::shared_ptr<T>()>& make)
    {
        std::lock_guard<std::mutex> guard(device_lock_);
        auto& slot = device_states_[name];
        if (!slot) slot = make();
        return std::static_pointer_cast<T>(slot);
    }

private:
    friend ZORVIK_API std::shared_ptr<VirtualBoard> install_board(std::shared_ptr<VirtualBoard> board);
    // Becoming / ceasing to be the current board: a manual clock then is / stops being the
    // time of the whole process (Sleep, time-outs, tick counts, local time).
    void enter_simulation();
    void leave_simulation();

    BoardConfig config_;
    std::shared_ptr<TimeBase> time_base_;
    ManualTimeBase* manual_ = nullptr;
    std::atomic<bool> simulating_{false};
    std::atomic<bool> settle_failed_{false};
    std::atomic<const std::atomic<bool>*> settle_stop_{nullptr};
    BoardJournal journal_;
    BoardActivity activity_;
    mutable std::mutex monitor_lock_;
    std::map<DWORD, std::string> monitor_clients_;
    std::vector<MonitoredEvent> monitored_;
    DWORD next_cookie_ = 1;
    std::mutex device_lock_;
    std::map<std::string, std::shared_ptr<void>> device_states_;
};

ZORVIK_API std::shared_ptr<VirtualBoard> current_board();
// Installs a board and returns the previous one; null brings back the standard board.
ZORVIK_API std::shared_ptr<VirtualBoard> install_board(std::shared_ptr<VirtualBoard> board);


} // namespace zk

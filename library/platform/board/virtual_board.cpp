// The current virtual board, its time base, field timing and records.
#include "platform/board/virtual_board.h"

#include "platform/board/device_io.h"
#include "platform/testing/board.h"
#include "platform/win32/settle_point.h"
#include "platform/win32/sim_time.h"

namespace zk {
namespace {

struct Current {
    std::mutex lock;
    std::shared_ptr<VirtualBoard> board;
};

Current& current()
{
    static Current c;
    return c;
}

constexpr size_t kMaxMonitoredEvents = 4096;

} // namespace

BoardConfig BoardConfig::standard()
{
    BoardConfig c;
    BoardCardset set;
    set.mrid = 0x00010000;
    set.name = "DigiSuite Backplane 0";
    set.standard = 1;
    set.boards = {"DigiMix"};
    set.instances = {{CLSID_DigiSuiteReferenceClock, 0, 0, 0}};
    c.cardsets.push_back(set);
    c.effects_devices["DigiMixVFX0"] = 0;
    c.system_clocks = {"DigiSuiteSystemClock0"};
    c.graphics_devices = {"DigiMixGFB0"};
    c.sdti_devices = {"DigiSuiteSdtiCtl0"};
    return c;
}

VirtualBoard::VirtualBoard(BoardConfig config) : config_(std::move(config))
{
    // Instances without an MRID get one below their cardset's.
    for (BoardCardset& set : config_.cardsets) {
        DWORD next = set.mrid + 0x100;
        for (BoardFilterInstance& inst : set.instances) {
            if (inst.mrid == 0) inst.mrid = next++;
        }
    }
    if (config_.manual_clock) {
        auto manual = std::make_shared<ManualTimeBase>(config_.manual_start);
        manual_ = manual.get();
        time_base_ = std::move(manual);
    } else {
        time_base_ = std::make_shared<RealTimeBase>();
    }
}

VirtualBoard::~VirtualBoard()
{
    leave_simulation();
}

const BoardCardset* VirtualBoard::cardset_for(DWORD mrid) const
{
    if (config_.cardsets.empty()) return nullptr;
    if (mrid == 0) return &config_.cardsets.front();
    for (const BoardCardset& set : config_.cardsets) {
        if (set.mrid == mrid) return &set;
        for (const BoardFilterInstance& inst : set.instances) {
            if (inst.mrid == mrid) return &set;
        }
    }
    return nullptr;
}

bool VirtualBoard::resource_known(DWORD mrid) const
{
    return mrid == 0 || cardset_for(mrid) != nullptr;
}

int VirtualBoard::standard_for(DWORD mrid) const
{
    const BoardCardset* set = cardset_for(mrid);
    return set ? set->standard : 0;
}

REFERENCE_TIME VirtualBoard::field_time(long long field) const
{
    const FieldRate r = field_rate(standard_for(0));
    return static_cast<REFERENCE_TIME>(field * r.R / r.S);
}

long long VirtualBoard::field_at(REFERENCE_TIME t) const
{
    const FieldRate r = field_rate(standard_for(0));
    long long k = static_cast<long long>(t * r.S / r.R);
    while (field_time(k + 1) <= t) ++k;
    while (k > 0 && field_time(k) > t) --k;
    return k;
}

bool VirtualBoard::step_fields(long long n, const std::atomic<bool>* stop)
{
    if (!manual_) return false;
    settle_stop_ = stop;
    if (simulating_.load() && !settle(0, stop)) settle_failed_ = true;
    long long k = field_at(manual_->now());
    for (long long i = 0; i < n && !(stop && stop->load()); ++i) manual_->advance_to(field_time(++k));
    settle_stop_ = nullptr;
    return !settle_failed_.exchange(false);
}

bool VirtualBoard::advance_to(REFERENCE_TIME t)
{
    if (!manual_) return false;
    if (simulating_.load() && !settle()) settle_failed_ = true;
    manual_->advance_to(t);
    return !settle_failed_.exchange(false);
}

void VirtualBoard::enter_simulation()
{
    if (!manual_ || simulating_.exchange(true)) return;
    ManualTimeBase* clock = manual_;
    install_simulated_time(this, [clock] { return clock->now(); }, config_.local_start);
    manual_->set_after_move([this] {
        // What the moment's events set in motion (a field's interrupt and everything it wakes)
        // finishes first; only then do the waits whose time ran out end, so a thread that
        // sleeps or times out to look at the effects' state finds that moment's work done.
        const std::atomic<bool>* stop = settle_stop_.load();
        if (!settle(0, stop)) settle_failed_ = true;
        simulated_time_moved();
        if (!settle(0, stop)) settle_failed_ = true;
    });
}

void VirtualBoard::leave_simulation()
{
    if (!manual_ || !simulating_.exchange(false)) return;
    manual_->set_after_move(nullptr);
    remove_simulated_time(this);
}

std::uint64_t VirtualBoard::log(JournalKind kind, std::string target, std::uint32_t code, const void* bytes, size_t size,
                       std::string text, bool ok)
{
    JournalEntry e;
    e.field = current_field();
    e.kind = kind;
    e.target = std::move(target);
    e.code = code;
    if (bytes && size) {
        const auto* p = static_cast<const std::uint8_t*>(bytes);
        e.bytes.assign(p, p + size);
    }
    e.text = std::move(text);
    e.ok = ok;
    return journal_.record(std::move(e));
}

DWORD VirtualBoard::monitor_register(const std::string& client)
{
    std::lock_guard<std::mutex> guard(monitor_lock_);
    const DWORD cookie = next_cookie_++;
    monitor_clients_[cookie] = client;
    return cookie;
}

bool VirtualBoard::monitor_unregister(DWORD cookie)
{
    std::lock_guard<std::mutex> guard(monitor_lock_);
    return monitor_clients_.erase(cookie) != 0;
}

bool VirtualBoard::monitor_event(DWORD cookie, LONG code)
{
    std::lock_guard<std::mutex> guard(monitor_lock_);
    auto it = monitor_clients_.find(cookie);
    if (it == monitor_clients_.end()) return false;
    if (monitored_.size() < kMaxMonitoredEvents) monitored_.push_back(MonitoredEvent{it->second, code});
    return true;
}

std::vector<MonitoredEvent> VirtualBoard::monitored_events() const
{
    std::lock_guard<std::mutex> guard(monitor_lock_);
    return monitored_;
}

std::vector<std::string> VirtualBoard::monitor_clients() const
{
    std::lock_guard<std::mutex> guard(monitor_lock_);
    std::vector<std::string> out;
    for (const auto& [cookie, name] : monitor_clients_) out.push_back(name);
    return out;
}

bool VirtualBoard::effects_option_word(const std::string& device, DWORD& word) const
{
    const std::string key = device_name_key(device);
    for (const auto& [name, w] : config_.effects_devices) {
        if (device_name_key(name) == key) {
            word = w;
            return true;
        }
    }
    return false;
}

namespace {

bool names_device(const std::vector<std::string>& names, const std::string& device)
{
    const std::string key = device_name_key(device);
    for (const std::string& name : names) {
        if (device_name_key(name) == key) return true;
    }
    return false;
}

} // namespace

bool VirtualBoard::has_system_clock(const std::string& device) const
{
    return names_device(config_.system_clocks, device);
}

bool VirtualBoard::has_graphics_device(const std::string& device) const
{
    return names_device(config_.graphics_devices, device);
}

bool VirtualBoard::has_sdti_device(const std::string& device) const
{
    return names_device(config_.sdti_devices, device);
}

std::shared_ptr<VirtualBoard> current_board()
{
    Current& c = current();
    std::lock_guard<std::mutex> guard(c.lock);
    if (!c.board) c.board = std::make_shared<VirtualBoard>();
    return c.board;
}

std::shared_ptr<VirtualBoard> install_board(std::shared_ptr<VirtualBoard> board)
{
    Current& c = current();
    std::lock_guard<std::mutex> guard(c.lock);
    auto previous = std::move(c.board);
    if (previous) previous->leave_simulation();
    c.board = std::move(board);
    if (c.board) c.board->enter_simulation();
    return previous;
}

BoardOverride::BoardOverride(BoardConfig config)
    : board_(std::make_shared<VirtualBoard>(std::move(config))), previous_(install_board(board_))
{
}

BoardOverride::~BoardOverride()
{
    install_board(previous_);
}

std::uint64_t journal_on_board(JournalKind kind, std::string target, std::uint32_t code, const void* bytes, size_t size,
                               std::string text)
{
    return current_board()->log(kind, std::move(target), code, bytes, size, std::move(text));
}

bool board_journals_pixels()
{
    return current_board()->journal().pixel_checksums();
}

} // namespace zk

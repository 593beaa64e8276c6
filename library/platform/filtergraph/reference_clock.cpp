// Scheduling on a time base, the real-time and manual bases, and the system clock class.
#include "platform/filtergraph/reference_clock.h"

#include <chrono>
#include <vector>

namespace zk {

DWORD_PTR TimeBase::schedule(REFERENCE_TIME at, REFERENCE_TIME period, std::function<void()> fire)
{
    DWORD_PTR id;
    {
        std::lock_guard<std::mutex> guard(lock_);
        id = next_id_++;
        items_.emplace(at, Item{id, period > 0 ? period : 0, std::make_shared<std::function<void()>>(std::move(fire))});
    }
    schedule_changed();
    return id;
}

DWORD_PTR TimeBase::schedule_ahead(REFERENCE_TIME at, std::function<void()> fire)
{
    DWORD_PTR id;
    {
        std::lock_guard<std::mutex> guard(lock_);
        id = next_id_++;
        // A hint at the first item due at `at` puts the new one just before it.
        items_.emplace_hint(items_.lower_bound(at), at, Item{id, 0, std::make_shared<std::function<void()>>(std::move(fire))});
    }
    schedule_changed();
    return id;
}

bool TimeBase::cancel(DWORD_PTR id)
{
    std::lock_guard<std::mutex> guard(lock_);
    for (auto it = items_.begin(); it != items_.end(); ++it) {
        if (it->second.id == id) {
            items_.erase(it);
            return true;
        }
    }
    return false;
}

size_t TimeBase::pending() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return items_.size();
}

bool TimeBase::next_due(REFERENCE_TIME& at) const
{
    std::lock_guard<std::mutex> guard(lock_);
    return next_due_locked(at);
}

bool TimeBase::next_due_locked(REFERENCE_TIME& at) const
{
    if (items_.empty()) return false;
    at = items_.begin()->first;
    return true;
}

void TimeBase::fire_due(REFERENCE_TIME limit)
{
    for (;;) {
        std::shared_ptr<std::function<void()>> fire;
        {
            std::lock_guard<std::mutex> guard(lock_);
            auto it = items_.begin();
            if (it == items_.end() || it->first > limit) return;
            Item item = it->second;
            const REFERENCE_TIME at = it->first;
            items_.erase(it);
            // A periodic callback goes back in before it runs, so that cancelling it from
            // inside its own call works like cancelling it from anywhere else.
            if (item.period > 0) items_.emplace(at + item.period, item);
            fire = std::move(item.fire);
        }
        (*fire)();
    }
}

RealTimeBase::RealTimeBase() : thread_([this] { run(); }) {}

RealTimeBase::~RealTimeBase()
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

REFERENCE_TIME RealTimeBase::now() const
{
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
    return static_cast<REFERENCE_TIME>(ns / 100);
}

void RealTimeBase::schedule_changed()
{
    wake_.notify_all();
}

void RealTimeBase::run()
{
    std::unique_lock<std::mutex> lock(lock_);
    while (!quit_) {
        REFERENCE_TIME due;
        if (!next_due_locked(due)) {
            wake_.wait(lock);
            continue;
        }
        const REFERENCE_TIME t = now();
        if (due > t) {
            wake_.wait_for(lock, std::chrono::microseconds((due - t + 9) / 10));
            continue;
        }
        lock.unlock();
        fire_due(t);
        lock.lock();
    }
}

void ManualTimeBase::set_after_move(std::function<void()> hook)
{
    std::lock_guard<std::mutex> guard(hook_lock_);
    after_move_ = std::move(hook);
}

void ManualTimeBase::after_move()
{
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> guard(hook_lock_);
        hook = after_move_;
    }
    if (hook) hook();
}

void ManualTimeBase::advance_to(REFERENCE_TIME t)
{
    std::lock_guard<std::mutex> one_mover(advancing_);
    // Step from one due time to the next so that each callback sees the time it asked for,
    // and everything it set in motion has finished before the next one fires.
    for (;;) {
        REFERENCE_TIME due;
        if (!next_due(due) || due > t) break;
        if (due > now_.load()) now_.store(due);
        fire_due(due);
        after_move();
    }
    if (t > now_.load()) {
        now_.store(t);
        after_move();
    }
}

std::shared_ptr<TimeBase> time_base_of(IReferenceClock* clock)
{
    if (!clock) return nullptr;
    ComPtr<IClockTimeBase> tb;
    if (FAILED(clock->QueryInterface(IClockTimeBase::kIid, tb.put_void())) || !tb) return nullptr;
    return tb->GetTimeBase();
}

namespace {

std::shared_ptr<TimeBase> system_time_base()
{
    static std::shared_ptr<TimeBase> base = std::make_shared<RealTimeBase>();
    return base;
}

const ClassRegistrar system_clock_class(CLSID_SystemClock, [](REFIID iid, void** object, DWORD) {
    return create_object<ReferenceClock>(iid, object, system_time_base());
});

} // namespace

} // namespace zk

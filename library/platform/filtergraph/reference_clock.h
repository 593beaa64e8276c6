// Time for graphs: a time base that runs in real time or is moved by hand, a scheduler of
// callbacks on it, and the reference-clock object that graphs use as their sync source.
//
// Everything that happens "at a time" (a graph reaching its stop time, an advise signalling an
// event, a field boundary) is a scheduled callback on the time base. In real time a helper
// thread fires them when they fall due; on a manual time base they fire on the thread that
// moves the time, in time order, so a test that steps the clock sees every consequence of
// each step before the step returns. Callbacks run with no lock of the time base held and may
// schedule or cancel others.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/filtergraph/dshow_interfaces.h"

namespace zk {

class ZORVIK_API TimeBase {
public:
    virtual ~TimeBase() = default;
    virtual REFERENCE_TIME now() const = 0;

    // Calls `fire` once the time reaches `at` (at once when it already has), then every
    // `period` units after that when `period` > 0. Gives an id for cancel; never 0.
    DWORD_PTR schedule(REFERENCE_TIME at, REFERENCE_TIME period, std::function<void()> fire);
    // Calls `fire` once at `at`, before everything else that is due at that same time (the
    // board reads out a field that ends there before the next field's interrupt is raised).
    DWORD_PTR schedule_ahead(REFERENCE_TIME at, std::function<void()> fire);
    // False when the id is not (or no longer) pending. A callback that is already running
    // finishes; callers guard their own state against a late call.
    bool cancel(DWORD_PTR id);
    // Callbacks not yet fired (a periodic one counts while it lasts).
    size_t pending() const;
    // The earliest pending time, or false when none.
    bool next_due(REFERENCE_TIME& at) const;

protected:
    bool next_due_locked(REFERENCE_TIME& at) const; // with lock_ held
    // Fires, in time order, everything due at or before `limit`.
    void fire_due(REFERENCE_TIME limit);
    // Told when the earliest due time may have moved (the real-time base wakes its thread).
    virtual void schedule_changed() {}

    mutable std::mutex lock_;

private:
    struct Item {
        DWORD_PTR id;
        REFERENCE_TIME period;
        std::shared_ptr<std::function<void()>> fire;
    };
    std::multimap<REFERENCE_TIME, Item> items_;
    DWORD_PTR next_id_ = 1;
};

// Real time: the monotonic clock in 100 ns units.
class ZORVIK_API RealTimeBase final : public TimeBase {
public:
    RealTimeBase();
    ~RealTimeBase() override;
    REFERENCE_TIME now() const override;

private:
    void schedule_changed() override;
    void run();

    std::condition_variable wake_;
    bool quit_ = false; // under lock_
    std::thread thread_;
};

// Time that moves only when told to.
class ZORVIK_API ManualTimeBase final : public TimeBase {
public:
    explicit ManualTimeBase(REFERENCE_TIME start = 0) : now_(start) {}
    REFERENCE_TIME now() const override { return now_.load(); }
    // Moves the time forward to `t` (never back), firing what falls due on the way, in order.
    // After each stop on the way (each due time, and `t`) the after-move hook runs on the
    // moving thread: the board uses it to end the waits whose time ran out and to let every
    // thread settle before the time moves on.
    void advance_to(REFERENCE_TIME t);
    void advance(REFERENCE_TIME dt) { advance_to(now() + dt); }
    void set_after_move(std::function<void()> hook);

private:
    void after_move();

    std::mutex advancing_; // one mover at a time
    std::atomic<REFERENCE_TIME> now_;
    std::mutex hook_lock_;
    std::function<void()> after_move_;
};

// The part of a reference clock that graphs use beyond IReferenceClock: its time base, so a
// graph can be called back at a time instead of waiting on an event.
struct IClockTimeBase : IUnknown {
    static constexpr GUID kIid = make_guid("5A7E3C01-6B2D-4C1E-9A53-2F0D8E4B7C10");
    using Parent = IUnknown;
    virtual std::shared_ptr<TimeBase> GetTimeBase() = 0;
};

// A reference clock over a time base; further interfaces come from derived classes.
template <class... Extra> class ReferenceClockT : public ComObject<IReferenceClock, IClockTimeBase, Extra...> {
public:
    explicit ReferenceClockT(std::shared_ptr<TimeBase> base) : base_(std::move(base)) {}

    HRESULT GetTime(REFERENCE_TIME* time) override
    {
        if (!time) return E_POINTER;
        *time = base_->now();
        return S_OK;
    }
    HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT event, DWORD_PTR* cookie) override
    {
        if (!cookie) return E_POINTER;
        *cookie = 0;
        if (!event || baseTime < 0 || streamTime < 0) return E_INVALIDARG;
        const HANDLE h = reinterpret_cast<HANDLE>(event);
        if (baseTime + streamTime <= base_->now()) {
            // Already due: signalled at once, as a clock does, without waiting for the next
            // move of a hand-stepped time base. The cookie names nothing left to cancel.
            SetEvent(h);
            *cookie = kDoneCookie;
            return S_OK;
        }
        *cookie = base_->schedule(baseTime + streamTime, 0, [h] { SetEvent(h); });
        return S_OK;
    }
    HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME period, HSEMAPHORE semaphore,
                           DWORD_PTR* cookie) override
    {
        if (!cookie) return E_POINTER;
        *cookie = 0;
        if (!semaphore || startTime < 0 || period <= 0) return E_INVALIDARG;
        const HANDLE h = reinterpret_cast<HANDLE>(semaphore);
        *cookie = base_->schedule(startTime, period, [h] { ReleaseSemaphore(h, 1, nullptr); });
        return S_OK;
    }
    HRESULT Unadvise(DWORD_PTR cookie) override
    {
        return cookie != kDoneCookie && base_->cancel(cookie) ? S_OK : S_FALSE;
    }
    std::shared_ptr<TimeBase> GetTimeBase() override { return base_; }

protected:
    static constexpr DWORD_PTR kDoneCookie = ~DWORD_PTR{0};
    std::shared_ptr<TimeBase> base_;
};

using ReferenceClock = ReferenceClockT<>;

// The time base behind a clock, when it has one we can schedule on.
ZORVIK_API std::shared_ptr<TimeBase> time_base_of(IReferenceClock* clock);

} // namespace zk

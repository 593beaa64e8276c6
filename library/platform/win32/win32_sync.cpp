// Events, semaphores, threads, waits, critical sections and Sleep over the C++ thread library,
// with the settle point and simulated time that make the on-air side deterministic in tests.
//
// Every signalled state lives under one mutex (Sync::lock), which keeps wait-all atomic: a
// thread takes all of its objects together or none. Each thread has its own record with its
// own condition variable, and each object lists the threads waiting on it, so a signal wakes
// only the waiters of that object, and of those only the ones it can satisfy (one for an
// auto-reset event or a critical section). At a hundred threads woken every field, waking
// everyone on every signal would cost about ten thousand wake-ups per field.
//
// The settle point counts "participants" that are running: threads the library started and
// threads registered by a test. A participant stops counting when it blocks on objects that
// are not signalled (or sleeps), and counts again the moment something that can satisfy its
// wait happens, before it even runs, under the same lock. So "nobody counts" means every
// participant is blocked on something that is not signalled: the library has settled.
//
// While simulated time is installed (a board on a hand-stepped clock), time-outs and sleeps
// are measured on it: a waiter's deadline is checked each time the mover says the time moved.
#include "platform/win32/win32_sync.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "core/errors.h"
#include "platform/win32/settle_point.h"
#include "platform/win32/sim_time.h"
#include "platform/win32/win32_time.h"

namespace zk {

struct ThreadRecord;

namespace {

thread_local DWORD t_last_error = 0;

pid_t current_tid()
{
    return static_cast<pid_t>(::syscall(SYS_gettid));
}

} // namespace

// Something a thread can wait for. ready() and consume() are called with Sync::lock held.
struct Waitable : KernelObject {
    virtual bool ready(const ThreadRecord* taker) const = 0;
    virtual void consume(ThreadRecord*) {}
    // How many waiters one signal may satisfy: 1 for objects that one taker empties.
    virtual bool single_taker() const { return false; }
    virtual const char* kind() const = 0;
    std::vector<ThreadRecord*> waiters; // under Sync::lock
};

// One per thread that ever waits: library threads, participants, and other threads (made on
// their first wait, not counted by the settle point).
struct ThreadRecord {
    std::condition_variable cv;
    std::string name;
    pid_t tid = 0;
    bool participant = false;
    int participant_refs = 0; // registrations by the thread itself
    bool library_thread = false; // started by _beginthreadex: a participant for its whole life
    bool counted = false;     // participant counted as running
    bool blocked = false; // inside a wait and not yet woken
    bool woken = false;
    bool timed_out = false;
    bool finished = false;
    // The current wait, for wake decisions and for the dump.
    Waitable* const* objects = nullptr;
    DWORD count = 0;
    bool wait_all = false;
    const char* where = "";
    LONGLONG sim_deadline = 0;
    bool has_sim_deadline = false;
};

namespace {

struct Sync {
    std::mutex lock;
    std::condition_variable settle_changed;
    long running = 0; // participants counted as running
    std::vector<ThreadRecord*> participants;
    std::multimap<LONGLONG, ThreadRecord*> sim_deadlines;
    std::uint64_t wakeups = 0;
    // Simulated time: the board's clock while one on a hand-stepped clock is installed.
    std::function<LONGLONG()> sim_now;
    const void* sim_owner = nullptr;
    SYSTEMTIME sim_local_start{};
    LONGLONG sim_origin = 0;
};

// Never destroyed: a thread still waiting when the process exits must not find it gone.
Sync& sync_state()
{
    static auto* s = new Sync;
    return *s;
}

thread_local ThreadRecord* t_record = nullptr;
thread_local std::unique_ptr<ThreadRecord> t_own_record;

ThreadRecord* current_record()
{
    if (!t_record) {
        t_own_record = std::make_unique<ThreadRecord>();
        t_own_record->tid = current_tid();
        t_record = t_own_record.get();
    }
    return t_record;
}

void notify_if_settling(Sync& s)
{
    if (s.running <= 1) s.settle_changed.notify_all();
}

void count_blocked(Sync& s, ThreadRecord& r)
{
    if (r.participant && r.counted) {
        r.counted = false;
        --s.running;
        notify_if_settling(s);
    }
}

void count_running(Sync& s, ThreadRecord& r)
{
    if (r.participant && !r.counted) {
        r.counted = true;
        ++s.running;
    }
}

bool satisfiable(const ThreadRecord& r)
{
    if (r.count == 0) return false;
    if (r.wait_all) {
        for (DWORD i = 0; i < r.count; ++i) {
            if (!r.objects[i]->ready(&r)) return false;
        }
        return true;
    }
    for (DWORD i = 0; i < r.count; ++i) {
        if (r.objects[i]->ready(&r)) return true;
    }
    return false;
}

void wake(Sync& s, ThreadRecord& r, bool timed_out)
{
    if (!r.blocked || r.woken) return;
    r.woken = true;
    r.timed_out = timed_out;
    count_running(s, r);
    ++s.wakeups;
    r.cv.notify_one();
}

// Wakes the waiters of `w` that the new state can satisfy; with Sync::lock held.
void signal_locked(Sync& s, Waitable& w)
{
    for (ThreadRecord* r : w.waiters) {
        if (r->blocked && !r->woken && satisfiable(*r)) {
            wake(s, *r, false);
            if (w.single_taker()) return;
        }
    }
}

LONGLONG sim_now_locked(const Sync& s)
{
    return s.sim_now ? s.sim_now() : 0;
}

// The core of every wait: with the lock held, waits until one (or all) of `objects` can be
// taken, or `ms` run out, on the simulated clock when one is installed. Gives the index of
// the object taken, count for "all taken", or -1 on time-out.
long wait_locked(std::unique_lock<std::mutex>& lock, Waitable* const* objects, DWORD count, bool all, DWORD ms,
                 const char* where)
{
    Sync& s = sync_state();
    ThreadRecord& me = *current_record();
    me.objects = objects;
    me.count = count;
    me.wait_all = all;
    auto take = [&]() -> long {
        if (count == 0) return -2;
        if (all) {
            for (DWORD i = 0; i < count; ++i) {
                if (!objects[i]->ready(&me)) return -2;
            }
            for (DWORD i = 0; i < count; ++i) objects[i]->consume(&me);
            return static_cast<long>(count);
        }
        for (DWORD i = 0; i < count; ++i) {
            if (objects[i]->ready(&me)) {
                objects[i]->consume(&me);
                return static_cast<long>(i);
            }
        }
        return -2;
    };

    long got = take();
    if (got != -2 || ms == 0) {
        me.objects = nullptr;
        me.count = 0;
        return got == -2 ? -1 : got;
    }

    const bool timed = ms != INFINITE;
    const bool simulated = timed && static_cast<bool>(s.sim_now);
    const auto real_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timed ? ms : 0);
    if (simulated) {
        me.sim_deadline = sim_now_locked(s) + static_cast<LONGLONG>(ms) * 10000;
        me.has_sim_deadline = true;
        s.sim_deadlines.emplace(me.sim_deadline, &me);
    }
    for (DWORD i = 0; i < count; ++i) objects[i]->waiters.push_back(&me);
    me.where = where;
    me.blocked = true;
    me.woken = false;
    me.timed_out = false;
    count_blocked(s, me);

    for (;;) {
        while (!me.woken) {
            if (timed && !simulated) {
                if (me.cv.wait_until(lock, real_deadline) == std::cv_status::timeout && !me.woken) {
                    wake(s, me, true);
                }
            } else {
                me.cv.wait(lock);
            }
        }
        got = take();
        if (got != -2) break;
        if (me.timed_out) {
            got = -1;
            break;
        }
        // Another taker was faster: back to waiting.
        me.woken = false;
        count_blocked(s, me);
    }

    for (DWORD i = 0; i < count; ++i) {
        auto& list = objects[i]->waiters;
        auto it = std::find(list.begin(), list.end(), &me);
        if (it != list.end()) list.erase(it);
    }
    if (me.has_sim_deadline) {
        // The entry may already be gone: the time ran out, or simulated time was removed.
        for (auto it = s.sim_deadlines.lower_bound(me.sim_deadline); it != s.sim_deadlines.end() && it->first == me.sim_deadline; ++it) {
            if (it->second == &me) {
                s.sim_deadlines.erase(it);
                break;
            }
        }
        me.has_sim_deadline = false;
    }
    me.blocked = false;
    me.woken = false;
    me.objects = nullptr;
    me.count = 0;
    me.where = "";
    return got;
}

struct EventObject final : Waitable {
    bool manual = false;
    bool signalled = false;
    bool ready(const ThreadRecord*) const override { return signalled; }
    void consume(ThreadRecord*) override
    {
        if (!manual) signalled = false;
    }
    bool single_taker() const override { return !manual; }
    const char* kind() const override { return manual ? "manual event" : "event"; }
};

struct SemaphoreObject final : Waitable {
    LONG count = 0;
    LONG maximum = 1;
    bool ready(const ThreadRecord*) const override { return count > 0; }
    void consume(ThreadRecord*) override { --count; }
    const char* kind() const override { return "semaphore"; }
};

// Holds a thread created suspended until it is resumed.
struct ResumeGate final : Waitable {
    int suspend_count = 0;
    bool ready(const ThreadRecord*) const override { return suspend_count <= 0; }
    const char* kind() const override { return "resume"; }
};

struct ThreadObject final : Waitable {
    bool finished = false;
    DWORD exit_code = STILL_ACTIVE;
    ResumeGate gate;
    std::atomic<int> priority{THREAD_PRIORITY_NORMAL};
    std::atomic<pid_t> tid{0};
    std::thread thread; // set under Sync::lock before the thread can look at it
    std::unique_ptr<ThreadRecord> record;
    bool ready(const ThreadRecord*) const override { return finished; }
    const char* kind() const override { return "thread"; }
    ~ThreadObject() override
    {
        if (thread.joinable()) {
            if (thread.get_id() == std::this_thread::get_id()) thread.detach();
            else thread.join();
        }
    }
};

struct HandleTable {
    std::mutex lock;
    std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> objects;
    std::uintptr_t next = 1;
};

HandleTable& table()
{
    static auto* t = new HandleTable;
    return *t;
}

std::uintptr_t handle_key(HANDLE h)
{
    return reinterpret_cast<std::uintptr_t>(h);
}

template <class T> std::shared_ptr<T> lookup(HANDLE h)
{
    auto obj = std::dynamic_pointer_cast<T>(object_from_handle(h));
    if (!obj) SetLastError(ERROR_INVALID_HANDLE);
    return obj;
}

// Lower priorities become nice values; raising one needs privileges Linux rarely grants, so
// the request is only recorded.
void apply_priority(pid_t tid, int priority)
{
    if (tid == 0) return;
    int nice_value = 0;
    if (priority <= THREAD_PRIORITY_IDLE) nice_value = 19;
    else if (priority <= THREAD_PRIORITY_LOWEST) nice_value = 10;
    else if (priority < THREAD_PRIORITY_NORMAL) nice_value = 5;
    if (nice_value > 0) (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice_value);
}

void add_participant_locked(Sync& s, ThreadRecord& r)
{
    r.participant = true;
    r.counted = true;
    ++s.running;
    s.participants.push_back(&r);
}

void remove_participant_locked(Sync& s, ThreadRecord& r)
{
    count_blocked(s, r);
    auto it = std::find(s.participants.begin(), s.participants.end(), &r);
    if (it != s.participants.end()) s.participants.erase(it);
    r.participant = false;
    s.settle_changed.notify_all();
}

unsigned default_settle_watchdog_ms()
{
    if (const char* v = std::getenv("ZORVIK_SETTLE_WATCHDOG_MS")) {
        const long n = std::strtol(v, nullptr, 10);
        if (n > 0) return static_cast<unsigned>(n);
    }
    return 20000;
}

std::string dump_locked(const Sync& s)
{
    std::ostringstream out;
    out << "threads known to the settle point: " << s.participants.size() << ", running: " << s.running << "\n";
    for (const ThreadRecord* r : s.participants) {
        out << "  [" << r->tid << "] " << (r->name.empty() ? "(unnamed)" : r->name) << ": ";
        if (!r->blocked) {
            out << "running";
        } else if (r->woken) {
            out << "woken in " << r->where;
        } else {
            out << "blocked in " << r->where;
            if (r->count) {
                out << (r->wait_all ? " on all of" : " on");
                for (DWORD i = 0; i < r->count; ++i) {
                    out << " " << r->objects[i]->kind() << (r->objects[i]->ready(r) ? "(signalled)" : "");
                }
            }
            if (r->has_sim_deadline) out << " until board time " << r->sim_deadline;
        }
        out << "\n";
    }
    return out.str();
}

// Calendar arithmetic for simulated local time, independent of the machine's time zone.
long long days_from_civil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civil_from_days(long long z, long long& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp + (mp < 10 ? 3 : -9);
    y += m <= 2;
}

} // namespace

// ---- handles ----

HANDLE make_handle(std::shared_ptr<KernelObject> object)
{
    if (!object) return nullptr;
    HandleTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    const std::uintptr_t key = t.next++ * 4;
    t.objects.emplace(key, std::move(object));
    return reinterpret_cast<HANDLE>(key);
}

std::shared_ptr<KernelObject> object_from_handle(HANDLE handle)
{
    HandleTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.objects.find(handle_key(handle));
    return it == t.objects.end() ? nullptr : it->second;
}

size_t open_handle_count()
{
    HandleTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.objects.size();
}

// ---- critical sections ----

struct CriticalSectionImpl final : Waitable {
    ThreadRecord* owner = nullptr; // under Sync::lock
    int depth = 0;
    bool ready(const ThreadRecord*) const override { return owner == nullptr; }
    void consume(ThreadRecord* taker) override
    {
        owner = taker;
        depth = 1;
    }
    bool single_taker() const override { return true; }
    const char* kind() const override { return "critical section"; }
};

int leave_critical_section_fully(CRITICAL_SECTION* section)
{
    if (!section || !section->impl) return 0;
    Sync& s = sync_state();
    std::lock_guard<std::mutex> guard(s.lock);
    CriticalSectionImpl& cs = *section->impl;
    if (cs.owner != current_record()) return 0;
    const int depth = cs.depth;
    cs.owner = nullptr;
    cs.depth = 0;
    signal_locked(s, cs);
    return depth;
}

void reenter_critical_section(CRITICAL_SECTION* section, int depth)
{
    if (depth <= 0) return;
    EnterCriticalSection(section);
    Sync& s = sync_state();
    std::lock_guard<std::mutex> guard(s.lock);
    section->impl->depth = depth;
}

// ---- threads known to the settle point ----

void set_thread_name(const char* name)
{
    ThreadRecord* r = current_record();
    {
        std::lock_guard<std::mutex> guard(sync_state().lock);
        r->name = name ? name : "";
    }
    // The kernel keeps 15 characters; the full name stays in the record for the dump.
    char short_name[16] = {};
    if (name) std::strncpy(short_name, name, sizeof short_name - 1);
    (void)::pthread_setname_np(::pthread_self(), short_name);
}

void register_participant(const char* name)
{
    ThreadRecord* r = current_record();
    Sync& s = sync_state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (name) r->name = name;
    if (r->participant_refs++ == 0 && !r->participant) add_participant_locked(s, *r);
}

void unregister_participant()
{
    ThreadRecord* r = current_record();
    Sync& s = sync_state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (r->participant_refs > 0 && --r->participant_refs == 0 && r->participant && !r->library_thread) {
        remove_participant_locked(s, *r);
    }
}

bool settle(unsigned watchdog_ms, const std::atomic<bool>* stop)
{
    Sync& s = sync_state();
    if (watchdog_ms == 0) watchdog_ms = default_settle_watchdog_ms();
    ThreadRecord* me = current_record();
    std::unique_lock<std::mutex> lock(s.lock);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(watchdog_ms);
    for (;;) {
        const long mine = (me->participant && me->counted) ? 1 : 0;
        if (s.running <= mine) return true;
        if (stop && stop->load()) return true;
        if (s.settle_changed.wait_until(lock, deadline) == std::cv_status::timeout) {
            const long again = (me->participant && me->counted) ? 1 : 0;
            if (s.running <= again) return true;
            std::fprintf(stderr, "zorvik: the library did not settle within %u ms\n%s", watchdog_ms,
                         dump_locked(s).c_str());
            return false;
        }
    }
}

void wake_settle_waiters()
{
    Sync& s = sync_state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.settle_changed.notify_all();
}

std::string thread_dump()
{
    Sync& s = sync_state();
    std::lock_guard<std::mutex> guard(s.lock);
    return dump_locked(s);
}

size_t participant_count()
{
    Sync& s = sync_state();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.participants.size();
}

std::uint64_t wakeup_count()
{
    Sync& s = sync_state();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.wakeups;
}

// ---- simulated time ----

void install_simulated_time(const void* owner, std::function<LONGLONG()> now, const SYSTEMTIME& local_start)
{
    Sync& s = sync_state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.sim_owner = owner;
    s.sim_now = std::move(now);
    s.sim_local_start = local_start;
    s.sim_origin = s.sim_now ? s.sim_now() : 0;
}

void remove_simulated_time(const void* owner)
{
    Sync& s = sync_state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.sim_owner != owner) return;
    s.sim_owner = nullptr;
    s.sim_now = nullptr;
    // Nothing will move that time any more: whoever waited on it times out now.
    for (auto& [at, r] : s.sim_deadlines) {
        r->has_sim_deadline = false;
        wake(s, *r, true);
    }
    s.sim_deadlines.clear();
}

bool simulated_time_active()
{
    Sync& s = sync_state();
    std::lock_guard<std::mutex> guard(s.lock);
    return static_cast<bool>(s.sim_now);
}

void simulated_time_moved()
{
    Sync& s = sync_state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.sim_now) return;
    const LONGLONG now = s.sim_now();
    while (!s.sim_deadlines.empty() && s.sim_deadlines.begin()->first <= now) {
        ThreadRecord* r = s.sim_deadlines.begin()->second;
        s.sim_deadlines.erase(s.sim_deadlines.begin());
        r->has_sim_deadline = false;
        wake(s, *r, true);
    }
}

bool simulated_now(LONGLONG& now)
{
    Sync& s = sync_state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.sim_now) return false;
    now = s.sim_now();
    return true;
}

bool simulated_local_time(SYSTEMTIME& out)
{
    Sync& s = sync_state();
    LONGLONG now, origin;
    SYSTEMTIME start;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (!s.sim_now) return false;
        now = s.sim_now();
        origin = s.sim_origin;
        start = s.sim_local_start;
    }
    const long long start_ms =
        days_from_civil(start.wYear, start.wMonth, start.wDay) * 86400000LL +
        ((static_cast<long long>(start.wHour) * 60 + start.wMinute) * 60 + start.wSecond) * 1000 + start.wMilliseconds;
    const long long ms = start_ms + (now - origin) / 10000;
    const long long days = ms >= 0 ? ms / 86400000LL : (ms - 86399999LL) / 86400000LL;
    long long in_day = ms - days * 86400000LL;
    long long y;
    unsigned m, d;
    civil_from_days(days, y, m, d);
    out.wYear = static_cast<WORD>(y);
    out.wMonth = static_cast<WORD>(m);
    out.wDay = static_cast<WORD>(d);
    out.wDayOfWeek = static_cast<WORD>(((days % 7) + 11) % 7); // 1970-01-01 was a Thursday
    out.wMilliseconds = static_cast<WORD>(in_day % 1000);
    in_day /= 1000;
    out.wSecond = static_cast<WORD>(in_day % 60);
    in_day /= 60;
    out.wMinute = static_cast<WORD>(in_day % 60);
    out.wHour = static_cast<WORD>(in_day / 60);
    return true;
}

} // namespace zk

using namespace zk;

DWORD GetLastError()
{
    return t_last_error;
}

void SetLastError(DWORD code)
{
    t_last_error = code;
}

HANDLE CreateEvent(SECURITY_ATTRIBUTES*, BOOL manualReset, BOOL initialState, const char*)
{
    auto e = std::make_shared<EventObject>();
    e->manual = manualReset != FALSE;
    e->signalled = initialState != FALSE;
    return make_handle(e);
}

BOOL SetEvent(HANDLE event)
{
    auto e = lookup<EventObject>(event);
    if (!e) return FALSE;
    Sync& s = sync_state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!e->signalled) {
        e->signalled = true;
        signal_locked(s, *e);
    }
    return TRUE;
}

BOOL ResetEvent(HANDLE event)
{
    auto e = lookup<EventObject>(event);
    if (!e) return FALSE;
    std::lock_guard<std::mutex> guard(sync_state().lock);
    e->signalled = false;
    return TRUE;
}

HANDLE CreateSemaphore(SECURITY_ATTRIBUTES*, LONG initialCount, LONG maximumCount, const char*)
{
    if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto s = std::make_shared<SemaphoreObject>();
    s->count = initialCount;
    s->maximum = maximumCount;
    return make_handle(s);
}

BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LONG* previousCount)
{
    auto sem = lookup<SemaphoreObject>(semaphore);
    if (!sem) return FALSE;
    if (releaseCount <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Sync& s = sync_state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (releaseCount > sem->maximum - sem->count) {
        SetLastError(ERROR_TOO_MANY_POSTS);
        return FALSE;
    }
    if (previousCount) *previousCount = sem->count;
    sem->count += releaseCount;
    signal_locked(s, *sem);
    return TRUE;
}

BOOL CloseHandle(HANDLE object)
{
    HandleTable& t = table();
    std::shared_ptr<KernelObject> doomed; // destroyed outside the table lock
    {
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.objects.find(handle_key(object));
        if (it == t.objects.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        doomed = std::move(it->second);
        t.objects.erase(it);
    }
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds)
{
    return WaitForMultipleObjects(1, &object, FALSE, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds)
{
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<Waitable>> keep;
    keep.reserve(count);
    Waitable* objects[MAXIMUM_WAIT_OBJECTS];
    for (DWORD i = 0; i < count; ++i) {
        auto w = lookup<Waitable>(handles[i]);
        if (!w) return WAIT_FAILED;
        // Waiting for all of a list that names one object twice is refused, as on Windows.
        if (waitAll) {
            for (const auto& seen : keep) {
                if (seen == w) {
                    SetLastError(ERROR_INVALID_PARAMETER);
                    return WAIT_FAILED;
                }
            }
        }
        objects[i] = w.get();
        keep.push_back(std::move(w));
    }
    std::unique_lock<std::mutex> lock(sync_state().lock);
    const long got = wait_locked(lock, objects, count, waitAll != FALSE, milliseconds, "WaitForMultipleObjects");
    if (got < 0) return WAIT_TIMEOUT;
    return waitAll ? WAIT_OBJECT_0 : WAIT_OBJECT_0 + static_cast<DWORD>(got);
}

void Sleep(DWORD milliseconds)
{
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    std::unique_lock<std::mutex> lock(sync_state().lock);
    (void)wait_locked(lock, nullptr, 0, false, milliseconds, "Sleep");
}

std::uintptr_t _beginthreadex(void*, unsigned, THREAD_START start, void* argument, unsigned initFlags,
                              unsigned* threadId)
{
    if (!start) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto object = std::make_shared<ThreadObject>();
    object->gate.suspend_count = (initFlags & CREATE_SUSPENDED) ? 1 : 0;
    object->record = std::make_unique<ThreadRecord>();
    object->record->library_thread = true;
    HANDLE handle = make_handle(object);
    if (!handle) return 0;
    Sync& s = sync_state();
    // Whether the thread could not be started: the object's own flag may already be set by a
    // thread that ran and ended, and is read only under the lock.
    bool not_started = false;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        object->record->name = "thread " + std::to_string(handle_key(handle) / 4);
        // Counted as running from now on: a step must not see the library settled while a
        // thread it just started has not yet reached its first wait.
        add_participant_locked(s, *object->record);
        try {
            object->thread = std::thread([object, start, argument] {
                ThreadRecord* record = object->record.get();
                t_record = record;
                record->tid = current_tid();
                object->tid.store(record->tid);
                {
                    std::unique_lock<std::mutex> lock(sync_state().lock);
                    Waitable* gate = &object->gate;
                    (void)wait_locked(lock, &gate, 1, false, INFINITE, "CREATE_SUSPENDED");
                }
                apply_priority(object->tid.load(), object->priority.load());
                const unsigned code = start(argument);
                Sync& sy = sync_state();
                std::lock_guard<std::mutex> guard(sy.lock);
                object->exit_code = code;
                object->finished = true;
                record->finished = true;
                signal_locked(sy, *object);
                remove_participant_locked(sy, *record);
                t_record = nullptr;
            });
        } catch (...) {
            remove_participant_locked(s, *object->record);
            object->finished = true;
            not_started = true;
        }
    }
    if (not_started) {
        CloseHandle(handle);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    if (threadId) *threadId = static_cast<unsigned>(handle_key(handle) / 4);
    return reinterpret_cast<std::uintptr_t>(handle);
}

DWORD ResumeThread(HANDLE thread)
{
    auto t = lookup<ThreadObject>(thread);
    if (!t) return static_cast<DWORD>(-1);
    Sync& s = sync_state();
    std::lock_guard<std::mutex> guard(s.lock);
    const DWORD previous = static_cast<DWORD>(t->gate.suspend_count);
    if (t->gate.suspend_count > 0 && --t->gate.suspend_count == 0) signal_locked(s, t->gate);
    return previous;
}

BOOL SetThreadPriority(HANDLE thread, int priority)
{
    auto t = lookup<ThreadObject>(thread);
    if (!t) return FALSE;
    t->priority.store(priority);
    apply_priority(t->tid.load(), priority);
    return TRUE;
}

int GetThreadPriority(HANDLE thread)
{
    auto t = lookup<ThreadObject>(thread);
    return t ? t->priority.load() : THREAD_PRIORITY_ERROR_RETURN;
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode)
{
    auto t = lookup<ThreadObject>(thread);
    if (!t || !exitCode) return FALSE;
    std::lock_guard<std::mutex> guard(sync_state().lock);
    *exitCode = t->exit_code;
    return TRUE;
}

DWORD GetCurrentThreadId()
{
    return static_cast<DWORD>(current_tid());
}

void InitializeCriticalSection(CRITICAL_SECTION* section)
{
    if (section) section->impl = new CriticalSectionImpl;
}

void DeleteCriticalSection(CRITICAL_SECTION* section)
{
    if (!section) return;
    delete section->impl;
    section->impl = nullptr;
}

void EnterCriticalSection(CRITICAL_SECTION* section)
{
    CriticalSectionImpl* cs = section->impl;
    std::unique_lock<std::mutex> lock(sync_state().lock);
    ThreadRecord* me = current_record();
    if (cs->owner == me) {
        ++cs->depth;
        return;
    }
    Waitable* w = cs;
    (void)wait_locked(lock, &w, 1, false, INFINITE, "EnterCriticalSection");
}

BOOL TryEnterCriticalSection(CRITICAL_SECTION* section)
{
    CriticalSectionImpl* cs = section->impl;
    std::lock_guard<std::mutex> guard(sync_state().lock);
    ThreadRecord* me = current_record();
    if (cs->owner == me) {
        ++cs->depth;
        return TRUE;
    }
    if (cs->owner) return FALSE;
    cs->consume(me);
    return TRUE;
}

void LeaveCriticalSection(CRITICAL_SECTION* section)
{
    CriticalSectionImpl* cs = section->impl;
    Sync& s = sync_state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (cs->owner != current_record()) return; // not ours: ignore
    if (--cs->depth == 0) {
        cs->owner = nullptr;
        signal_locked(s, *cs);
    }
}

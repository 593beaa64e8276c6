// Events, semaphores, threads, waits and critical sections over the C++ thread library.
//
// All signalled states live under one mutex (wait_lock) with one condition variable; a
// signal wakes every waiter and each re-checks its own objects. The on-air side has a handful
// of threads, so the broadcast costs nothing measurable and buys atomic wait-all for free.
#include "platform/win32/win32_sync.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "core/errors.h"

namespace zk {
namespace {

thread_local DWORD t_last_error = 0;

// Never destroyed: a thread still waiting when the process exits must not find them gone.
std::mutex& wait_lock()
{
    static auto* m = new std::mutex;
    return *m;
}
std::condition_variable& wait_signal()
{
    static auto* cv = new std::condition_variable;
    return *cv;
}

// Objects that can be waited on; ready() and consume() are called with wait_lock held.
struct Waitable : KernelObject {
    virtual bool ready() const = 0;
    virtual void consume() {}
};

struct EventObject final : Waitable {
    bool manual = false;
    bool signalled = false;
    bool ready() const override { return signalled; }
    void consume() override
    {
        if (!manual) signalled = false;
    }
};

struct SemaphoreObject final : Waitable {
    LONG count = 0;
    LONG maximum = 1;
    bool ready() const override { return count > 0; }
    void consume() override { --count; }
};

struct ThreadObject final : Waitable {
    bool finished = false;
    DWORD exit_code = STILL_ACTIVE;
    int suspend_count = 0;
    std::atomic<int> priority{THREAD_PRIORITY_NORMAL};
    std::atomic<pid_t> tid{0};
    bool ready() const override { return finished; }
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

pid_t current_tid()
{
    return static_cast<pid_t>(::syscall(SYS_gettid));
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

} // namespace

struct CriticalSectionImpl {
    std::mutex mutex;
    std::atomic<pid_t> owner{0};
    int depth = 0; // touched only by the owner
};

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

int leave_critical_section_fully(CRITICAL_SECTION* section)
{
    if (!section || !section->impl || section->impl->owner.load() != current_tid()) return 0;
    const int depth = section->impl->depth;
    for (int i = 0; i < depth; ++i) LeaveCriticalSection(section);
    return depth;
}

void reenter_critical_section(CRITICAL_SECTION* section, int depth)
{
    for (int i = 0; i < depth; ++i) EnterCriticalSection(section);
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
    {
        std::lock_guard<std::mutex> guard(wait_lock());
        e->signalled = true;
    }
    wait_signal().notify_all();
    return TRUE;
}

BOOL ResetEvent(HANDLE event)
{
    auto e = lookup<EventObject>(event);
    if (!e) return FALSE;
    std::lock_guard<std::mutex> guard(wait_lock());
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
    auto s = lookup<SemaphoreObject>(semaphore);
    if (!s) return FALSE;
    if (releaseCount <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    {
        std::lock_guard<std::mutex> guard(wait_lock());
        if (releaseCount > s->maximum - s->count) {
            SetLastError(ERROR_TOO_MANY_POSTS);
            return FALSE;
        }
        if (previousCount) *previousCount = s->count;
        s->count += releaseCount;
    }
    wait_signal().notify_all();
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
    std::vector<std::shared_ptr<Waitable>> objects;
    objects.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        auto w = lookup<Waitable>(handles[i]);
        if (!w) return WAIT_FAILED;
        // Waiting for all of a list that names one object twice is refused, as on Windows.
        if (waitAll) {
            for (const auto& seen : objects) {
                if (seen == w) {
                    SetLastError(ERROR_INVALID_PARAMETER);
                    return WAIT_FAILED;
                }
            }
        }
        objects.push_back(std::move(w));
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    std::unique_lock<std::mutex> lock(wait_lock());
    for (;;) {
        if (waitAll) {
            bool all = true;
            for (const auto& w : objects) all = all && w->ready();
            if (all) {
                for (auto& w : objects) w->consume();
                return WAIT_OBJECT_0;
            }
        } else {
            for (DWORD i = 0; i < count; ++i) {
                if (objects[i]->ready()) {
                    objects[i]->consume();
                    return WAIT_OBJECT_0 + i;
                }
            }
        }
        if (milliseconds == 0) return WAIT_TIMEOUT;
        if (milliseconds == INFINITE) {
            wait_signal().wait(lock);
        } else if (wait_signal().wait_until(lock, deadline) == std::cv_status::timeout) {
            // One last look: the object may have been signalled just as the time ran out.
            milliseconds = 0;
        }
    }
}

std::uintptr_t _beginthreadex(void*, unsigned, THREAD_START start, void* argument, unsigned initFlags,
                              unsigned* threadId)
{
    if (!start) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto object = std::make_shared<ThreadObject>();
    object->suspend_count = (initFlags & CREATE_SUSPENDED) ? 1 : 0;
    HANDLE handle = make_handle(object);
    if (!handle) return 0;
    try {
        std::thread([object, start, argument] {
            object->tid.store(current_tid());
            {
                std::unique_lock<std::mutex> lock(wait_lock());
                wait_signal().wait(lock, [&] { return object->suspend_count <= 0; });
            }
            apply_priority(object->tid.load(), object->priority.load());
            const unsigned code = start(argument);
            {
                std::lock_guard<std::mutex> guard(wait_lock());
                object->exit_code = code;
                object->finished = true;
            }
            wait_signal().notify_all();
        }).detach();
    } catch (...) {
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
    DWORD previous;
    {
        std::lock_guard<std::mutex> guard(wait_lock());
        previous = static_cast<DWORD>(t->suspend_count);
        if (t->suspend_count > 0) --t->suspend_count;
    }
    wait_signal().notify_all();
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
    std::lock_guard<std::mutex> guard(wait_lock());
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
    const pid_t me = current_tid();
    if (cs->owner.load(std::memory_order_relaxed) == me) {
        ++cs->depth;
        return;
    }
    cs->mutex.lock();
    cs->owner.store(me, std::memory_order_relaxed);
    cs->depth = 1;
}

BOOL TryEnterCriticalSection(CRITICAL_SECTION* section)
{
    CriticalSectionImpl* cs = section->impl;
    const pid_t me = current_tid();
    if (cs->owner.load(std::memory_order_relaxed) == me) {
        ++cs->depth;
        return TRUE;
    }
    if (!cs->mutex.try_lock()) return FALSE;
    cs->owner.store(me, std::memory_order_relaxed);
    cs->depth = 1;
    return TRUE;
}

void LeaveCriticalSection(CRITICAL_SECTION* section)
{
    CriticalSectionImpl* cs = section->impl;
    if (cs->owner.load(std::memory_order_relaxed) != current_tid()) return; // not ours: ignore
    if (--cs->depth == 0) {
        cs->owner.store(0, std::memory_order_relaxed);
        cs->mutex.unlock();
    }
}

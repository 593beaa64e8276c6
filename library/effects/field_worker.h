// The thin shell that runs an effect's core on the field events.
//
// The vertical-sync thread hands every field to each running effect with post(); the
// worker's thread calls the handler once for every field posted, in the order posted, never
// merging two fields into one call even when it falls behind (the fields wait in a queue).
// The handler returns false when the effect has ended; the thread then ends, and fields
// posted after are dropped. The worker is joined when it is stopped or destroyed, so a
// controller that owns its workers never leaves a thread behind.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>

#include "core/zorvik_api.h"
#include "platform/win32/afx_thread.h"

namespace zk {

class ZORVIK_API FieldWorker {
public:
    using Handler = std::function<bool(unsigned long field)>;

    FieldWorker();
    ~FieldWorker();
    FieldWorker(const FieldWorker&) = delete;
    FieldWorker& operator=(const FieldWorker&) = delete;

    // Starts the thread at `priority` (a Win32 priority: THREAD_PRIORITY_TIME_CRITICAL for the
    // roll and slides, THREAD_PRIORITY_NORMAL for fades...). False while one still runs or
    // when no thread can be made. A worker whose run ended may be started again.
    bool start(Handler handler, int priority, const char* name);
    // Hands one field to the thread; nothing when it does not run.
    void post(unsigned long field);
    // Ends the thread (fields still queued are dropped) and waits for it.
    void stop();
    // Waits for the thread to end by itself (its handler returned false), then releases it.
    void join();
    // True from start until the handler has returned false or stop was called.
    bool running() const { return running_.load(); }

private:
    static UINT run(LPVOID self);
    void loop();

    Handler handler_;
    OwnedThread thread_;
    HANDLE wake_ = nullptr;
    std::mutex lock_;
    std::deque<unsigned long> fields_; // under lock_
    bool quit_ = false;                // under lock_
    std::atomic<bool> running_{false};
};

} // namespace zk

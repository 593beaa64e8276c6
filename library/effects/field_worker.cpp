// The field worker's queue and thread.
#include "effects/field_worker.h"

#include <utility>

namespace zk {

FieldWorker::FieldWorker() : wake_(CreateEvent(nullptr, FALSE, FALSE, nullptr)) {}

FieldWorker::~FieldWorker()
{
    stop();
    if (wake_) CloseHandle(wake_);
}

bool FieldWorker::start(Handler handler, int priority, const char* name)
{
    if (thread_.running()) {
        if (running_.load()) return false;
        thread_.join(); // a run that ended by itself: release it before the next
    }
    if (!wake_ || !handler) return false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        fields_.clear();
        quit_ = false;
    }
    handler_ = std::move(handler);
    running_ = true;
    if (!thread_.start(&FieldWorker::run, this, priority, name)) {
        running_ = false;
        return false;
    }
    return true;
}

void FieldWorker::post(unsigned long field)
{
    if (!running_.load()) return;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (quit_) return;
        fields_.push_back(field);
    }
    SetEvent(wake_);
}

void FieldWorker::stop()
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        quit_ = true;
        fields_.clear();
    }
    if (wake_) SetEvent(wake_);
    thread_.join();
    running_ = false;
}

void FieldWorker::join()
{
    thread_.join();
}

UINT FieldWorker::run(LPVOID self)
{
    static_cast<FieldWorker*>(self)->loop();
    return 0;
}

void FieldWorker::loop()
{
    for (;;) {
        if (WaitForSingleObject(wake_, INFINITE) != WAIT_OBJECT_0) break;
        for (;;) {
            unsigned long field;
            {
                std::lock_guard<std::mutex> guard(lock_);
                if (quit_) {
                    running_ = false;
                    return;
                }
                if (fields_.empty()) break;
                field = fields_.front();
                fields_.pop_front();
            }
            if (!handler_(field)) {
                std::lock_guard<std::mutex> guard(lock_);
                fields_.clear();
                quit_ = true;
                running_ = false;
                return;
            }
        }
    }
    running_ = false;
}

} // namespace zk

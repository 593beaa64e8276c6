// A thread started the way the library starts its own (_beginthreadex), so the settle point
// knows it, joined when the object goes away.
#pragma once

#include <functional>
#include <memory>

#include "platform/win32/win32_sync.h"

namespace zt {

class LibraryThread {
public:
    explicit LibraryThread(std::function<void()> body, unsigned flags = 0)
        : body_(std::make_unique<std::function<void()>>(std::move(body)))
    {
        handle_ = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &LibraryThread::run, body_.get(), flags, nullptr));
    }
    ~LibraryThread() { join(); }
    LibraryThread(const LibraryThread&) = delete;
    LibraryThread& operator=(const LibraryThread&) = delete;

    HANDLE handle() const { return handle_; }
    void join()
    {
        if (!handle_) return;
        WaitForSingleObject(handle_, INFINITE);
        CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    static unsigned run(void* arg)
    {
        (*static_cast<std::function<void()>*>(arg))();
        return 0;
    }
    std::unique_ptr<std::function<void()>> body_;
    HANDLE handle_ = nullptr;
};

} // namespace zt

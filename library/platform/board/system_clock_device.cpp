// The field interrupt of the virtual board: a callback at every field boundary of the board's
// time base, which counts the field in the status word and sets the events of the armed
// requests.
#include "platform/board/system_clock_device.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/board/board_memory.h"
#include "platform/board/virtual_board.h"

namespace zk {
namespace {

constexpr DWORD kOperationAborted = 995;

// One clock per name and board, shared by every open of the device.
class SystemClock : public std::enable_shared_from_this<SystemClock> {
public:
    SystemClock(std::weak_ptr<VirtualBoard> board, std::shared_ptr<TimeBase> time, std::string name)
        : board_(std::move(board)), time_(std::move(time)), name_(std::move(name)),
          status_token_(map_board_memory(&status_, sizeof status_))
    {
    }
    ~SystemClock()
    {
        unmap_board_memory(status_token_);
        std::lock_guard<std::mutex> guard(lock_);
        if (tick_) time_->cancel(tick_);
    }

    std::uint32_t status_token() const { return status_token_; }

    DWORD register_client()
    {
        std::lock_guard<std::mutex> guard(lock_);
        const DWORD word = next_word_++;
        clients_.push_back(word);
        return word;
    }
    bool known(DWORD word)
    {
        std::lock_guard<std::mutex> guard(lock_);
        return std::find(clients_.begin(), clients_.end(), word) != clients_.end();
    }
    void arm(DWORD word, OVERLAPPED* ov)
    {
        std::lock_guard<std::mutex> guard(lock_);
        armed_.push_back({word, ov});
        if (!tick_) schedule_next_locked();
    }
    // A request armed through a handle that is being closed ends with it, as closing a handle
    // cancels its pending I/O; nothing keeps a record the caller may free after closing.
    void cancel(OVERLAPPED* ov)
    {
        bool found = false;
        {
            std::lock_guard<std::mutex> guard(lock_);
            for (auto it = armed_.begin(); it != armed_.end();) {
                if (it->ov == ov) {
                    found = true;
                    it = armed_.erase(it);
                } else {
                    ++it;
                }
            }
            if (armed_.empty() && tick_) {
                time_->cancel(tick_);
                tick_ = 0;
            }
        }
        if (found) complete_overlapped(ov, kOperationAborted, 0);
    }
    void disarm(DWORD word)
    {
        std::vector<OVERLAPPED*> done;
        {
            std::lock_guard<std::mutex> guard(lock_);
            for (auto it = armed_.begin(); it != armed_.end();) {
                if (it->word == word) {
                    done.push_back(it->ov);
                    it = armed_.erase(it);
                } else {
                    ++it;
                }
            }
            clients_.erase(std::remove(clients_.begin(), clients_.end(), word), clients_.end());
            if (armed_.empty() && tick_) {
                time_->cancel(tick_);
                tick_ = 0;
            }
        }
        for (OVERLAPPED* ov : done) complete_overlapped(ov, kOperationAborted, 0);
    }

private:
    struct Armed {
        DWORD word;
        OVERLAPPED* ov;
    };

    void schedule_next_locked()
    {
        auto board = board_.lock();
        if (!board) return;
        const long long next = board->field_at(time_->now()) + 1;
        std::weak_ptr<SystemClock> self = weak_from_this();
        tick_ = time_->schedule(board->field_time(next), 0, [self, next] {
            if (auto clock = self.lock()) clock->field(next);
        });
    }

    void field(long long index)
    {
        std::vector<HANDLE> events;
        {
            std::lock_guard<std::mutex> guard(lock_);
            tick_ = 0;
            if (armed_.empty()) return;
            status_.store(static_cast<DWORD>(index));
            for (const Armed& a : armed_) {
                if (a.ov && a.ov->hEvent) events.push_back(a.ov->hEvent);
            }
            schedule_next_locked();
        }
        if (auto board = board_.lock()) {
            const DWORD word = static_cast<DWORD>(index);
            board->log(JournalKind::Interrupt, name_, word & 1, &word, sizeof word);
        }
        for (HANDLE h : events) SetEvent(h);
    }

    std::weak_ptr<VirtualBoard> board_;
    std::shared_ptr<TimeBase> time_;
    std::string name_;
    std::atomic<DWORD> status_{0};
    std::uint32_t status_token_;
    std::mutex lock_;
    std::vector<DWORD> clients_;
    std::vector<Armed> armed_;
    DWORD next_word_ = 0x5C10001;
    DWORD_PTR tick_ = 0;
};

static_assert(sizeof(std::atomic<DWORD>) == sizeof(DWORD), "the status word is handed out as a DWORD");

class SystemClockDevice final : public VirtualDevice {
public:
    explicit SystemClockDevice(std::shared_ptr<SystemClock> clock) : clock_(std::move(clock)) {}
    ~SystemClockDevice() override
    {
        std::vector<OVERLAPPED*> armed;
        {
            std::lock_guard<std::mutex> guard(lock_);
            armed.swap(armed_);
        }
        for (OVERLAPPED* ov : armed) clock_->cancel(ov);
    }

    BOOL control(DWORD code, const void* in, DWORD inBytes, void* out, DWORD outBytes, DWORD* returned,
                 OVERLAPPED* ov) override
    {
        DWORD word = 0;
        const bool has_word = in && inBytes >= sizeof word && (std::memcpy(&word, in, sizeof word), true);
        switch (code) {
        case IOCTL_SYSCLK_REGISTER:
            return reply(out, outBytes, returned, clock_->register_client());
        case IOCTL_SYSCLK_MAP_STATUS:
            return reply(out, outBytes, returned, clock_->status_token());
        case IOCTL_SYSCLK_UNMAP:
            // The word stays mapped while the clock lives (other opens share it); unmapping
            // checks only that the caller names it.
            if (!has_word || word != clock_->status_token()) return fail(ERROR_INVALID_PARAMETER);
            return TRUE;
        case IOCTL_SYSCLK_ARM:
            if (!has_word || !clock_->known(word)) return fail(ERROR_INVALID_PARAMETER);
            if (!ov || !ov->hEvent) return fail(ERROR_INVALID_PARAMETER);
            {
                std::lock_guard<std::mutex> guard(lock_);
                if (std::find(armed_.begin(), armed_.end(), ov) == armed_.end()) armed_.push_back(ov);
            }
            clock_->arm(word, ov);
            return fail(ERROR_IO_PENDING);
        case IOCTL_SYSCLK_DISARM:
            if (!has_word) return fail(ERROR_INVALID_PARAMETER);
            clock_->disarm(word);
            return TRUE;
        default:
            return fail(ERROR_INVALID_FUNCTION);
        }
    }

private:
    static BOOL fail(DWORD error)
    {
        SetLastError(error);
        return FALSE;
    }
    static BOOL reply(void* out, DWORD outBytes, DWORD* returned, DWORD value)
    {
        if (!out || outBytes < sizeof value) return fail(ERROR_INSUFFICIENT_BUFFER);
        std::memcpy(out, &value, sizeof value);
        if (returned) *returned = sizeof value;
        return TRUE;
    }

    std::shared_ptr<SystemClock> clock_;
    std::mutex lock_;
    std::vector<OVERLAPPED*> armed_; // the records armed through this handle
};

} // namespace

std::shared_ptr<VirtualDevice> open_system_clock(const std::shared_ptr<VirtualBoard>& board, const std::string& name)
{
    if (!board || !board->has_system_clock(name)) return nullptr;
    std::weak_ptr<VirtualBoard> weak = board;
    auto time = board->time_base();
    auto clock = board->device_state<SystemClock>("sysclk:" + device_name_key(name), [weak, time, name] {
        return std::make_shared<SystemClock>(weak, time, name);
    });
    return std::make_shared<SystemClockDevice>(std::move(clock));
}

} // namespace zk

// The settle point, targeted wake-ups, simulated time on a stepped board, the idle pump, and a
// model of the on-air field chain run for thousands of settled fields.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/board/board_memory.h"
#include "platform/board/system_clock_device.h"
#include "platform/testing/board.h"
#include "platform/testing/settle.h"
#include "platform/win32/win32_base.h"
#include "platform/win32/win32_sync.h"
#include "platform/win32/win32_time.h"
#include "support/library_thread.h"

namespace {

// Sanitizer builds run the long chain shorter; the release build runs it whole.
#if !defined(__has_feature)
#define __has_feature(x) 0
#endif
#if defined(__SANITIZE_THREAD__) || __has_feature(thread_sanitizer)
constexpr long kChainFields = 1000;
#elif defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
constexpr long kChainFields = 3000;
#else
constexpr long kChainFields = 10000;
#endif

struct Event {
    HANDLE h;
    explicit Event(BOOL manual = FALSE, BOOL set = FALSE) : h(CreateEvent(nullptr, manual, set, nullptr)) {}
    ~Event() { CloseHandle(h); }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
};

TEST(Settle, ASignalWakesOnlyTheWaitersItCanSatisfy)
{
    const size_t handles = zk::open_handle_count();
    constexpr int kThreads = 100;
    std::vector<std::unique_ptr<Event>> own(kThreads);
    for (auto& e : own) e = std::make_unique<Event>();
    Event shared;   // auto-reset: one signal, one taker
    Event released{TRUE}; // manual: everyone waiting on it passes
    std::atomic<int> passed{0}, shared_takers{0};
    {
        std::vector<std::unique_ptr<zt::LibraryThread>> threads;
        for (int i = 0; i < kThreads; ++i) {
            threads.push_back(std::make_unique<zt::LibraryThread>([&, i] {
                const HANDLE mine[2] = {own[i]->h, shared.h};
                if (WaitForMultipleObjects(2, mine, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) ++shared_takers;
                WaitForSingleObject(released.h, INFINITE);
                ++passed;
            }));
        }
        ASSERT_TRUE(zk::settle());
        std::uint64_t before = zk::wakeup_count();
        SetEvent(own[42]->h);
        ASSERT_TRUE(zk::settle());
        EXPECT_EQ(zk::wakeup_count() - before, 1u) << "only the thread waiting on event 42 woke";

        before = zk::wakeup_count();
        SetEvent(shared.h);
        ASSERT_TRUE(zk::settle());
        EXPECT_EQ(zk::wakeup_count() - before, 1u) << "an auto-reset event wakes one of its 99 waiters";
        EXPECT_EQ(shared_takers.load(), 1);
        EXPECT_EQ(passed.load(), 0);

        for (int i = 0; i < kThreads; ++i) SetEvent(own[i]->h);
        ASSERT_TRUE(zk::settle());
        before = zk::wakeup_count();
        SetEvent(released.h);
        ASSERT_TRUE(zk::settle());
        EXPECT_EQ(zk::wakeup_count() - before, static_cast<std::uint64_t>(kThreads));
        EXPECT_EQ(passed.load(), kThreads);
    }
    own.clear();
    EXPECT_EQ(zk::open_handle_count(), handles + 2) << "every thread handle was closed";
}

TEST(Settle, WaitAllStaysAtomicAmongManyWaiters)
{
    Event a, b;
    std::atomic<int> both{0};
    {
        std::vector<std::unique_ptr<zt::LibraryThread>> threads;
        for (int i = 0; i < 8; ++i) {
            threads.push_back(std::make_unique<zt::LibraryThread>([&] {
                const HANDLE pair[2] = {a.h, b.h};
                if (WaitForMultipleObjects(2, pair, TRUE, INFINITE) == WAIT_OBJECT_0) ++both;
            }));
        }
        ASSERT_TRUE(zk::settle());
        SetEvent(a.h);
        ASSERT_TRUE(zk::settle());
        EXPECT_EQ(both.load(), 0);
        EXPECT_EQ(WaitForSingleObject(a.h, 0), WAIT_OBJECT_0) << "nobody took half of the pair";
        for (int i = 0; i < 8; ++i) {
            SetEvent(a.h);
            SetEvent(b.h);
            ASSERT_TRUE(zk::settle());
            EXPECT_EQ(both.load(), i + 1) << "one pair, one waiter";
        }
    }
}

TEST(Settle, TheWatchdogNamesAThreadThatNeverSettles)
{
    std::atomic<bool> stop{false};
    zt::LibraryThread spinner([&] {
        zk::set_thread_name("spinner");
        while (!stop.load()) {
        }
    });
    EXPECT_FALSE(zk::settle(200)) << "a spinning thread never blocks";
    const std::string dump = zk::thread_dump();
    EXPECT_NE(dump.find("spinner: running"), std::string::npos) << dump;
    stop = true;
    spinner.join();
    EXPECT_TRUE(zk::settle(200));
}

// Time on a stepped board: the waits of the library run out on board time, at field
// boundaries.
class SimulatedTime : public ::testing::TestWithParam<int> {};

TEST_P(SimulatedTime, SleepsAndTimeOutsEndOnTheFieldBoundaryAtOrAfterTheirTime)
{
    const int standard = GetParam();
    zk::BoardOverride o(zk::manual_board_config(standard));
    zk::VirtualBoard& board = o.board();
    // Fields of the standard: 16.683 ms at 59.94 per second, 20 ms at 50.
    const long long sleep_fields = standard == 1 ? 6 : 5;   // Sleep(100)
    const long long timeout_fields = standard == 1 ? 30 : 25; // a 500 ms time-out
    std::atomic<long long> woke_at{-1}, timed_out_at{-1};
    Event never;
    {
        zt::LibraryThread sleeper([&] {
            Sleep(100);
            woke_at = board.current_field();
        });
        zt::LibraryThread waiter([&] {
            if (WaitForSingleObject(never.h, 500) == WAIT_TIMEOUT) timed_out_at = board.current_field();
        });
        const long long start = board.current_field();
        for (long long f = 1; f <= timeout_fields; ++f) {
            ASSERT_TRUE(board.step_fields(1));
            EXPECT_EQ(woke_at.load() >= 0, f >= sleep_fields) << "field " << f;
            EXPECT_EQ(timed_out_at.load() >= 0, f >= timeout_fields) << "field " << f;
        }
        EXPECT_EQ(woke_at.load() - start, sleep_fields);
        EXPECT_EQ(timed_out_at.load() - start, timeout_fields);
    }
}

TEST_P(SimulatedTime, CountersAndLocalTimeFollowTheBoard)
{
    zk::BoardConfig c = zk::manual_board_config(GetParam());
    c.local_start = SYSTEMTIME{2026, 12, 4, 31, 23, 59, 59, 500};
    zk::BoardOverride o(c);
    zk::VirtualBoard& board = o.board();
    const ULONGLONG tick = GetTickCount64();
    LONGLONG count = 0, frequency = 0;
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    ASSERT_TRUE(QueryPerformanceCounter(&count));
    EXPECT_EQ(count, board.time_base()->now());
    SYSTEMTIME t{};
    GetLocalTime(&t);
    EXPECT_EQ(t.wHour * 3600000 + t.wMinute * 60000 + t.wSecond * 1000 + t.wMilliseconds, 86399500);
    // Thirty fields later (half a second and a little): past midnight, into a new year.
    ASSERT_TRUE(board.step_fields(30));
    const LONGLONG elapsed = board.time_base()->now() - count;
    EXPECT_EQ(GetTickCount64() - tick, static_cast<ULONGLONG>(elapsed / 10000));
    LONGLONG later = 0;
    QueryPerformanceCounter(&later);
    EXPECT_EQ(later - count, elapsed) << "the counter counts 100 ns units at " << frequency << " per second";
    GetLocalTime(&t);
    EXPECT_EQ(t.wYear, 2027);
    EXPECT_EQ(t.wMonth, 1);
    EXPECT_EQ(t.wDay, 1);
    EXPECT_EQ(t.wDayOfWeek, 5) << "1 January 2027 is a Friday";
    EXPECT_EQ(t.wHour * 3600000 + t.wMinute * 60000 + t.wSecond * 1000 + t.wMilliseconds, elapsed / 10000 - 500);
}

INSTANTIATE_TEST_SUITE_P(Standards, SimulatedTime, ::testing::Values(1, 2));

TEST(SimulatedTime, WaitsOnARemovedBoardTimeEndAsTimedOut)
{
    auto o = std::make_unique<zk::BoardOverride>(zk::manual_board_config());
    Event never;
    std::atomic<DWORD> result{0};
    zt::LibraryThread waiter([&] { result = WaitForSingleObject(never.h, 1000); });
    ASSERT_TRUE(zk::settle());
    o.reset(); // the stepped time goes with its board
    waiter.join();
    EXPECT_EQ(result.load(), WAIT_TIMEOUT);
}

TEST(IdlePump, StepsFieldsOnlyWhileTheTestWaitsInTheLibrary)
{
    zk::BoardOverride o(zk::manual_board_config());
    zk::VirtualBoard& board = o.board();
    Event done;
    std::atomic<long long> finished_at{-1};
    zt::LibraryThread worker([&] {
        Sleep(1000); // sixty fields of board time
        finished_at = board.current_field();
        SetEvent(done.h);
    });
    const long long start = board.current_field();
    zk::IdlePump pump(board);
    EXPECT_EQ(WaitForSingleObject(done.h, INFINITE), WAIT_OBJECT_0);
    const long long waited = board.current_field() - start;
    pump.stop();
    EXPECT_FALSE(pump.failed());
    EXPECT_EQ(finished_at.load() - start, 60);
    EXPECT_EQ(waited, 60) << "no field passed after the wait was over";
    EXPECT_EQ(pump.fields(), 60);
}

// The on-air chain in miniature: the clock device's interrupt wakes an interrupt thread,
// whose field handler publishes the parity and wakes a vertical-sync thread, which hands the
// field to forty workers.
class FieldChain {
public:
    static constexpr int kWorkers = 40;

    FieldChain()
    {
        device_ = CreateFile("\\\\.\\DigiSuiteSystemClock0", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        DWORD n = 0, token = 0;
        DeviceIoControl(device_, IOCTL_SYSCLK_REGISTER, nullptr, 0, &word_, sizeof word_, &n, nullptr);
        DeviceIoControl(device_, IOCTL_SYSCLK_MAP_STATUS, nullptr, 0, &token, sizeof token, &n, nullptr);
        status_ = static_cast<DWORD*>(zk::board_memory(token, sizeof(DWORD)));
        overlapped_.hEvent = interrupt_.h;
        DeviceIoControl(device_, IOCTL_SYSCLK_ARM, &word_, sizeof word_, nullptr, 0, nullptr, &overlapped_);
        for (auto& w : workers_) w.event = CreateEvent(nullptr, FALSE, FALSE, nullptr);
        for (auto& w : workers_) {
            threads_.push_back(std::make_unique<zt::LibraryThread>([this, &w] { work(w); }));
        }
        threads_.push_back(std::make_unique<zt::LibraryThread>([this] { vsync(); }));
        threads_.push_back(std::make_unique<zt::LibraryThread>([this] { interrupts(); }));
    }
    ~FieldChain()
    {
        quit_ = true;
        SetEvent(vsync_.h);
        SetEvent(interrupt_.h);
        for (auto& w : workers_) SetEvent(w.event);
        threads_.clear();
        disarm();
        for (auto& w : workers_) CloseHandle(w.event);
        CloseHandle(device_);
    }
    bool ok() const { return status_ != nullptr; }
    void disarm()
    {
        DWORD n = 0;
        DeviceIoControl(device_, IOCTL_SYSCLK_DISARM, &word_, sizeof word_, nullptr, 0, &n, nullptr);
    }
    long handled() const { return handled_.load(); }
    long timeouts() const { return timeouts_.load(); }
    long count(int worker) const { return workers_[static_cast<size_t>(worker)].count.load(); }
    long parity_errors(int worker) const { return workers_[static_cast<size_t>(worker)].parity_errors.load(); }
    long gaps(int worker) const { return workers_[static_cast<size_t>(worker)].gaps.load(); }

private:
    struct Worker {
        HANDLE event = nullptr;
        std::atomic<DWORD> status{0};
        std::atomic<long> count{0}, parity_errors{0}, gaps{0};
        DWORD last = 0;
    };

    // The interrupt thread: a 60 ms wait that runs out is not a field.
    void interrupts()
    {
        while (!quit_.load()) {
            const DWORD r = WaitForSingleObject(interrupt_.h, 60);
            if (quit_.load()) break;
            if (r != WAIT_OBJECT_0) {
                ++timeouts_;
                continue;
            }
            // The arm request ending (disarmed) sets the event too: that is not a field.
            if (std::atomic_ref<ULONG_PTR>(overlapped_.Internal).load() != STATUS_PENDING) continue;
            field_.store(std::atomic_ref<DWORD>(*status_).load());
            ++handled_;
            SetEvent(vsync_.h);
        }
    }
    void vsync()
    {
        while (WaitForSingleObject(vsync_.h, INFINITE) == WAIT_OBJECT_0 && !quit_.load()) {
            for (auto& w : workers_) {
                w.status.store(field_.load());
                SetEvent(w.event);
            }
        }
    }
    void work(Worker& w)
    {
        while (WaitForSingleObject(w.event, INFINITE) == WAIT_OBJECT_0 && !quit_.load()) {
            const DWORD s = w.status.load();
            if (w.count.load() > 0) {
                if ((s & 1) == (w.last & 1)) ++w.parity_errors;
                if (s != w.last + 1) ++w.gaps;
            }
            w.last = s;
            ++w.count;
        }
    }

    HANDLE device_ = INVALID_HANDLE_VALUE;
    DWORD word_ = 0;
    DWORD* status_ = nullptr;
    OVERLAPPED overlapped_{};
    Event interrupt_;
    Event vsync_;
    std::atomic<DWORD> field_{0};
    std::atomic<bool> quit_{false};
    std::atomic<long> handled_{0}, timeouts_{0};
    std::array<Worker, kWorkers> workers_;
    std::vector<std::unique_ptr<zt::LibraryThread>> threads_;
};

TEST(ModelChain, FortyWorkersCountEverySettledFieldExactlyOnceInOrder)
{
    zk::BoardOverride o(zk::manual_board_config());
    const size_t handles = zk::open_handle_count();
    {
        FieldChain chain;
        ASSERT_TRUE(chain.ok());
        ASSERT_TRUE(o.board().step_fields(kChainFields)) << zk::thread_dump();
        EXPECT_EQ(chain.handled(), kChainFields);
        EXPECT_EQ(chain.timeouts(), 0);
        for (int w = 0; w < FieldChain::kWorkers; ++w) {
            EXPECT_EQ(chain.count(w), kChainFields) << "worker " << w;
            EXPECT_EQ(chain.parity_errors(w), 0) << "worker " << w;
            EXPECT_EQ(chain.gaps(w), 0) << "worker " << w << ": a field merged or lost";
        }
        const auto interrupts = o.board().journal().entries(zk::JournalKind::Interrupt);
        ASSERT_EQ(interrupts.size(), static_cast<size_t>(kChainFields));
        for (size_t i = 1; i < interrupts.size(); ++i) {
            ASSERT_EQ(interrupts[i].field, interrupts[i - 1].field + 1);
            ASSERT_NE(interrupts[i].code, interrupts[i - 1].code) << "parities alternate";
        }
    }
    EXPECT_EQ(zk::open_handle_count(), handles) << "the chain closed all it opened";
}

TEST(ModelChain, AWaitThatRunsOutIsNotAField)
{
    zk::BoardOverride o(zk::manual_board_config());
    FieldChain chain;
    ASSERT_TRUE(chain.ok());
    ASSERT_TRUE(o.board().step_fields(3));
    EXPECT_EQ(chain.handled(), 3);
    EXPECT_EQ(chain.timeouts(), 0);
    // Without interrupts the interrupt thread's 60 ms waits run out (at the fourth field,
    // 66.7 ms), and neither they nor the end of the arm request count as fields.
    chain.disarm();
    ASSERT_TRUE(o.board().step_fields(8));
    EXPECT_EQ(chain.handled(), 3);
    EXPECT_EQ(chain.count(0), 3);
    EXPECT_EQ(chain.timeouts(), 2) << "at fields 4 and 8 after the disarm";
}

} // namespace

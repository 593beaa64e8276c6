// Events, waits, threads, critical sections, windows, message boxes and local time.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/win32/win32_base.h"
#include "platform/win32/win32_sync.h"
#include "platform/testing/local_time.h"
#include "platform/testing/settle.h"
#include "platform/win32/win32_window.h"
#include "support/library_thread.h"

namespace {

struct Handles {
    std::vector<HANDLE> h;
    ~Handles()
    {
        for (HANDLE x : h) CloseHandle(x);
    }
    HANDLE event(BOOL manual, BOOL set)
    {
        h.push_back(CreateEvent(nullptr, manual, set, nullptr));
        return h.back();
    }
};

TEST(Win32Events, AutoResetReleasesOneWaiterManualResetStaysSignalled)
{
    Handles hs;
    HANDLE autoe = hs.event(FALSE, TRUE);
    HANDLE manual = hs.event(TRUE, TRUE);
    EXPECT_EQ(WaitForSingleObject(autoe, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(autoe, 0), WAIT_TIMEOUT) << "taken by the first wait";
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(manual));
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    // Another thread's signal ends a wait without time-out, whichever comes first.
    zt::LibraryThread t([&] { SetEvent(autoe); });
    EXPECT_EQ(WaitForSingleObject(autoe, INFINITE), WAIT_OBJECT_0);
}

TEST(Win32Events, WaitAnyGivesTheLowestSignalledIndex)
{
    Handles hs;
    HANDLE a = hs.event(FALSE, FALSE), b = hs.event(FALSE, TRUE), c = hs.event(TRUE, TRUE);
    const HANDLE list[3] = {a, b, c};
    EXPECT_EQ(WaitForMultipleObjects(3, list, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(3, list, FALSE, 0), WAIT_OBJECT_0 + 2) << "b was consumed";
    EXPECT_EQ(WaitForMultipleObjects(3, list, FALSE, 0), WAIT_OBJECT_0 + 2) << "c is manual";
    ResetEvent(c);
    EXPECT_EQ(WaitForMultipleObjects(3, list, FALSE, 0), WAIT_TIMEOUT);
}

TEST(Win32Events, WaitAllTakesEverythingOrNothing)
{
    Handles hs;
    HANDLE a = hs.event(FALSE, TRUE), b = hs.event(TRUE, FALSE);
    const HANDLE list[2] = {a, b};
    EXPECT_EQ(WaitForMultipleObjects(2, list, TRUE, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_OBJECT_0) << "a failed wait-all consumed nothing";
    SetEvent(a);
    SetEvent(b);
    EXPECT_EQ(WaitForMultipleObjects(2, list, TRUE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_TIMEOUT) << "the auto-reset one was consumed";
    EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_OBJECT_0);
    const HANDLE twice[2] = {b, b};
    EXPECT_EQ(WaitForMultipleObjects(2, twice, TRUE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Win32Events, BadHandlesAndCountsFailCleanly)
{
    HANDLE e = CreateEvent(nullptr, TRUE, TRUE, nullptr);
    ASSERT_TRUE(CloseHandle(e));
    EXPECT_FALSE(CloseHandle(e));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(SetEvent(e));
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(INVALID_HANDLE_VALUE, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForMultipleObjects(0, &e, FALSE, 0), WAIT_FAILED);
    std::vector<HANDLE> many(MAXIMUM_WAIT_OBJECTS + 1, e);
    EXPECT_EQ(WaitForMultipleObjects(static_cast<DWORD>(many.size()), many.data(), FALSE, 0), WAIT_FAILED);
}

TEST(Win32Semaphores, CountAndLimit)
{
    HANDLE s = CreateSemaphore(nullptr, 1, 2, nullptr);
    ASSERT_TRUE(s);
    EXPECT_EQ(WaitForSingleObject(s, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(s, 0), WAIT_TIMEOUT);
    LONG previous = -1;
    EXPECT_TRUE(ReleaseSemaphore(s, 2, &previous));
    EXPECT_EQ(previous, 0);
    EXPECT_FALSE(ReleaseSemaphore(s, 1, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_TOO_MANY_POSTS);
    EXPECT_EQ(WaitForSingleObject(s, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(s, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(s, 0), WAIT_TIMEOUT);
    EXPECT_EQ(CreateSemaphore(nullptr, 3, 2, nullptr), nullptr);
    CloseHandle(s);
}

unsigned worker(void* arg)
{
    static_cast<std::atomic<int>*>(arg)->fetch_add(1);
    return 42;
}

// A thread may run and end before _beginthreadex has returned to its caller: the start must
// not read what the ending thread writes (the thread sanitizer build sees it if it does).
TEST(Win32Threads, ThreadsThatEndAtOnceAreStartedAndKeepTheirExitCodes)
{
    std::atomic<int> ran{0};
    for (int i = 0; i < 200; ++i) {
        HANDLE t = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, worker, &ran, 0, nullptr));
        ASSERT_TRUE(t) << "start " << i;
        EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
        DWORD code = 0;
        ASSERT_TRUE(GetExitCodeThread(t, &code));
        EXPECT_EQ(code, 42u);
        CloseHandle(t);
    }
    EXPECT_EQ(ran.load(), 200);
}

TEST(Win32Threads, HandlesAreSignalledAtTheEndAndKeepTheExitCode)
{
    std::atomic<int> ran{0};
    unsigned id = 0;
    HANDLE t = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, worker, &ran, CREATE_SUSPENDED, &id));
    ASSERT_TRUE(t);
    EXPECT_NE(id, 0u);
    EXPECT_TRUE(SetThreadPriority(t, THREAD_PRIORITY_LOWEST));
    EXPECT_EQ(GetThreadPriority(t), THREAD_PRIORITY_LOWEST);
    ASSERT_TRUE(zk::settle()) << "a suspended thread counts as blocked";
    EXPECT_EQ(WaitForSingleObject(t, 0), WAIT_TIMEOUT) << "suspended until resumed";
    EXPECT_EQ(ran.load(), 0);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(ResumeThread(t), 1u);
    EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(ran.load(), 1);
    ASSERT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_TRUE(CloseHandle(t));
    EXPECT_EQ(GetThreadPriority(t), THREAD_PRIORITY_ERROR_RETURN);
}

TEST(Win32CriticalSection, IsRecursiveAndCanBeLetGoOfEntirely)
{
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    EnterCriticalSection(&cs);
    EnterCriticalSection(&cs);
    std::atomic<bool> other_got_in{false};
    {
        zt::LibraryThread t([&] {
            EXPECT_FALSE(TryEnterCriticalSection(&cs));
            EnterCriticalSection(&cs);
            other_got_in = true;
            LeaveCriticalSection(&cs);
        });
        // The other thread settles blocked on the section: waiting for it counts as blocked.
        ASSERT_TRUE(zk::settle());
        EXPECT_FALSE(other_got_in.load()) << "held twice, left never";
        EXPECT_NE(zk::thread_dump().find("blocked in EnterCriticalSection"), std::string::npos) << zk::thread_dump();
        zk::CriticalSectionRelease released(&cs);
        // Both levels are let go: the other thread gets in and out.
        t.join();
        EXPECT_TRUE(other_got_in.load());
    }
    // The two levels are back: it takes two leaves before another thread can enter.
    LeaveCriticalSection(&cs);
    std::thread u([&] { EXPECT_FALSE(TryEnterCriticalSection(&cs)); });
    u.join();
    LeaveCriticalSection(&cs);
    std::thread v([&] {
        EXPECT_TRUE(TryEnterCriticalSection(&cs));
        LeaveCriticalSection(&cs);
    });
    v.join();
    EXPECT_EQ(zk::leave_critical_section_fully(&cs), 0) << "nothing held: nothing to let go";
    DeleteCriticalSection(&cs);
}

TEST(Win32CriticalSection, SerialisesCounting)
{
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    long counter = 0; // guarded by cs only
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] {
            for (int n = 0; n < 2000; ++n) {
                zk::CriticalSectionLock lock(&cs);
                zk::CriticalSectionLock again(&cs);
                ++counter;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(counter, 8000);
    DeleteCriticalSection(&cs);
}

TEST(Win32Window, PostedMessagesReachTheRegisteredHandler)
{
    std::vector<std::tuple<UINT, WPARAM, LPARAM>> got;
    HWND w = zk::register_window([&](UINT m, WPARAM wp, LPARAM lp) { got.emplace_back(m, wp, lp); });
    EXPECT_TRUE(IsWindow(w));
    EXPECT_TRUE(PostMessage(w, 0x2401, 3, -5));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], std::make_tuple(0x2401u, WPARAM{3}, LPARAM{-5}));
    zk::unregister_window(w);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(PostMessage(w, 0x2401, 1, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FALSE(PostMessage(nullptr, 0x2401, 1, 0));
}

TEST(Win32Window, MessageBoxesGoToTheSink)
{
    std::string seen;
    auto previous = zk::set_message_box_sink([&](HWND, const char* text, const char* caption, UINT type) {
        seen = std::string(caption) + "|" + text + "|" + std::to_string(type);
        return IDOK;
    });
    EXPECT_EQ(MessageBox(nullptr, "body", "MQFG Library", MB_SYSTEMMODAL | MB_ICONWARNING), IDOK);
    EXPECT_EQ(seen, "MQFG Library|body|" + std::to_string(MB_SYSTEMMODAL | MB_ICONWARNING));
    zk::set_message_box_sink(previous);
}

TEST(Win32Time, LocalTimeComesFromTheInstalledSource)
{
    zk::set_local_time_source([](SYSTEMTIME* t) {
        *t = SYSTEMTIME{2001, 2, 5, 3, 23, 59, 59, 900};
    });
    SYSTEMTIME t{};
    GetLocalTime(&t);
    EXPECT_EQ(t.wSecond, 59);
    EXPECT_EQ(t.wMilliseconds, 900);
    zk::set_local_time_source(nullptr);
    GetLocalTime(&t);
    EXPECT_GE(t.wYear, 2020);
    EXPECT_LE(t.wMilliseconds, 999);
    EXPECT_LE(t.wSecond, 59);
}

} // namespace

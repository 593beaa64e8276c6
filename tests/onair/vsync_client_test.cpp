// CVSyncClient on the settled field clock: its requests in the journal, a missing device, one
// call of ProcessField per field in order with its parity (also when the thread comes late),
// time-outs and the end of the arm request that are not fields. CVSyncWork: the three looks
// of SetVSyncWork, the field bits, and the vertical-sync worker's first step.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "onair/gfb_fixture.h"
#include "platform/board/board_memory.h"
#include "platform/board/system_clock_device.h"
#include "platform/testing/devices.h"
#include "platform/testing/settle.h"
#include "platform/win32/win32_base.h"

namespace {

// A client that writes down every call it gets; the call number `hold_at` waits for a gate.
class RecordingClient final : public CVSyncClient {
public:
    struct Call {
        DWORD status;
        int indicator;
        bool operator==(const Call&) const = default;
    };
    explicit RecordingClient(int hold_at = -1) : hold_at_(hold_at) { gate_ = CreateEvent(nullptr, TRUE, FALSE, nullptr); }
    ~RecordingClient() override
    {
        SetEvent(gate_);
        Close();
        CloseHandle(gate_);
    }
    void ProcessField(DWORD status) override
    {
        int n;
        {
            std::lock_guard<std::mutex> guard(lock_);
            calls_.push_back({status, GetFieldIndicator()});
            n = static_cast<int>(calls_.size()) - 1;
        }
        if (n == hold_at_) WaitForSingleObject(gate_, INFINITE);
    }
    void open_gate() { SetEvent(gate_); }
    std::vector<Call> calls() const
    {
        std::lock_guard<std::mutex> guard(lock_);
        return calls_;
    }

private:
    int hold_at_;
    HANDLE gate_;
    mutable std::mutex lock_;
    std::vector<Call> calls_;
};

std::vector<RecordingClient::Call> fields(DWORD first, DWORD last)
{
    std::vector<RecordingClient::Call> out;
    for (DWORD f = first; f <= last; ++f) out.push_back({f, static_cast<int>(f & 1)});
    return out;
}

class VSyncClientTest : public ::testing::Test {
protected:
    zk::BoardOverride board_{zt::manual_board()};
    zk::VirtualBoard& board() { return board_.board(); }
};

TEST_F(VSyncClientTest, OpensWithRegisterMapArmAndClosesWithDisarmUnmap)
{
    const std::uint64_t mark = board().journal().mark();
    {
        RecordingClient client;
        HRESULT hr = S_OK;
        client.Open("\\\\.\\DigiSuiteSystemClock0", &hr);
        EXPECT_EQ(hr, S_OK);
        ASSERT_TRUE(client.IsOpen());
    }
    std::vector<DWORD> codes;
    for (const zk::JournalEntry& e : board().journal().since(mark)) {
        ASSERT_EQ(e.kind, zk::JournalKind::DeviceRequest);
        EXPECT_EQ(e.target, "DigiSuiteSystemClock0");
        EXPECT_TRUE(e.ok) << std::hex << e.code;
        codes.push_back(e.code);
    }
    EXPECT_EQ(codes, (std::vector<DWORD>{IOCTL_SYSCLK_REGISTER, IOCTL_SYSCLK_MAP_STATUS, IOCTL_SYSCLK_ARM,
                                         IOCTL_SYSCLK_DISARM, IOCTL_SYSCLK_UNMAP}));
    EXPECT_EQ(board().time_base()->pending(), 0u) << "the clock stops once the client is gone";
}

TEST_F(VSyncClientTest, AMissingDeviceGives0x80070006AndStartsNoThread)
{
    RecordingClient client;
    const size_t handles = zk::open_handle_count();
    const std::uint64_t mark = board().journal().mark();
    HRESULT hr = S_OK;
    client.Open("\\\\.\\DigiSuiteSystemClock7", &hr);
    EXPECT_EQ(static_cast<std::uint32_t>(hr), 0x80070006u);
    EXPECT_FALSE(client.IsOpen());
    EXPECT_EQ(zk::open_handle_count(), handles) << "no event, device or thread kept";
    // A failure already in the result stops the open before it starts.
    client.Open("\\\\.\\DigiSuiteSystemClock0", &hr);
    EXPECT_FALSE(client.IsOpen());
    EXPECT_TRUE(board().journal().since(mark).empty());
    ASSERT_TRUE(board().step_fields(3));
    EXPECT_TRUE(client.calls().empty());
}

TEST_F(VSyncClientTest, CallsProcessFieldOncePerFieldInOrderWithItsParityOnlyWhileEnabled)
{
    RecordingClient client;
    client.Open("\\\\.\\DigiSuiteSystemClock0", nullptr);
    ASSERT_TRUE(client.IsOpen());
    ASSERT_TRUE(board().step_fields(3));
    EXPECT_TRUE(client.calls().empty()) << "not enabled yet";
    EXPECT_EQ(client.GetFieldIndicator(), 1) << "the indicator is kept all the same (field 603)";
    client.SetEnabled(TRUE);
    ASSERT_TRUE(board().step_fields(10));
    EXPECT_EQ(client.calls(), fields(604, 613));
    client.SetEnabled(FALSE);
    ASSERT_TRUE(board().step_fields(2));
    EXPECT_EQ(client.calls().size(), 10u);
    EXPECT_EQ(client.GetFieldIndicator(), 1);
    client.SetEnabled(TRUE);
    ASSERT_TRUE(board().step_fields(1));
    EXPECT_EQ(client.calls().back(), (RecordingClient::Call{616, 0})) << "fields passed while disabled are not made up";
}

TEST_F(VSyncClientTest, ALateThreadHandlesEveryFieldItMissedOnceInOrder)
{
    RecordingClient client(0); // the first call waits until the gate opens
    client.Open("\\\\.\\DigiSuiteSystemClock0", nullptr);
    client.SetEnabled(TRUE);
    ASSERT_TRUE(board().step_fields(4)); // the interrupts of 602-604 come while 601 is handled
    EXPECT_EQ(client.calls(), fields(601, 601));
    EXPECT_EQ(client.GetLateFields(), 0);
    client.open_gate();
    ASSERT_TRUE(zk::settle());
    EXPECT_EQ(client.calls(), fields(601, 604));
    // 602 and 603 were handled after a later field had come; 604 in its own field.
    EXPECT_EQ(client.GetLateFields(), 2);
    ASSERT_TRUE(board().step_fields(2));
    EXPECT_EQ(client.calls(), fields(601, 606));
    EXPECT_EQ(client.GetLateFields(), 2) << "a thread on time adds no late field";
}

// A clock device that interrupts only when told to.
class QuietClock final : public zk::VirtualDevice {
public:
    struct State {
        State() { token = zk::map_board_memory(&status, sizeof status); }
        ~State() { zk::unmap_board_memory(token); }
        void interrupt()
        {
            std::lock_guard<std::mutex> guard(lock);
            std::atomic_ref<DWORD>(status).fetch_add(1);
            if (armed) SetEvent(armed->hEvent);
        }
        // The arm request ends (as a disarm from elsewhere would end it).
        void end()
        {
            std::lock_guard<std::mutex> guard(lock);
            if (armed) zk::complete_overlapped(armed, 995, 0);
            armed = nullptr;
        }
        std::mutex lock;
        OVERLAPPED* armed = nullptr;
        DWORD status = 0;
        std::uint32_t token = 0;
    };
    explicit QuietClock(std::shared_ptr<State> s) : s_(std::move(s)) {}
    BOOL control(DWORD code, const void*, DWORD, void* out, DWORD outBytes, DWORD* returned, OVERLAPPED* ov) override
    {
        std::lock_guard<std::mutex> guard(s_->lock);
        const DWORD reply = code == IOCTL_SYSCLK_MAP_STATUS ? s_->token : 7;
        if (code == IOCTL_SYSCLK_ARM) {
            s_->armed = ov;
            SetLastError(ERROR_IO_PENDING);
            return FALSE;
        }
        if (code == IOCTL_SYSCLK_DISARM && s_->armed) {
            zk::complete_overlapped(s_->armed, 995, 0);
            s_->armed = nullptr;
        }
        if (out && outBytes >= 4) std::memcpy(out, &reply, 4);
        if (returned) *returned = out ? 4 : 0;
        return TRUE;
    }

private:
    std::shared_ptr<State> s_;
};

TEST_F(VSyncClientTest, TimeOutsAndTheEndOfTheArmRequestAreNotFields)
{
    auto state = std::make_shared<QuietClock::State>();
    zk::DeviceOverride device("QuietClock", [state] { return std::make_shared<QuietClock>(state); });
    {
        RecordingClient client;
        client.Open("\\\\.\\QuietClock", nullptr);
        ASSERT_TRUE(client.IsOpen());
        client.SetEnabled(TRUE);
        ASSERT_TRUE(board().step_fields(20)); // five 60 ms waits run out
        EXPECT_TRUE(client.calls().empty());
        state->interrupt();
        ASSERT_TRUE(zk::settle());
        EXPECT_EQ(client.calls(), fields(1, 1));
        state->end(); // sets the interrupt event too
        ASSERT_TRUE(zk::settle());
        ASSERT_TRUE(board().step_fields(5));
        EXPECT_EQ(client.calls().size(), 1u);
    }
}

// ---- CVSyncWork ----

TEST(VSyncWork, SetVSyncWorkLooksThreeTimes34MsApartThenGivesUp)
{
    zk::BoardOverride board(zt::manual_board());
    CVSyncWork work;
    work.Set(1, 1, 2, 3, 4);
    const long long start = board.board().current_field();
    int result = 0;
    {
        zk::IdlePump pump(board.board());
        result = work.SetVSyncWork(10, 20, 30, 40);
        pump.stop();
    }
    EXPECT_EQ(result, -1);
    // Each 34 ms sleep ends at the third field boundary (50 ms at 59.94 fields a second).
    EXPECT_EQ(board.board().current_field() - start, 9);
    EXPECT_EQ(work.GetBox(), CBox(1, 2, 3, 4)) << "nothing changed";
    EXPECT_EQ(work.GetWorkFlag(), 1);
}

TEST(VSyncWork, SetVSyncWorkTakesTheRectangleOnceTheFieldsAreDone)
{
    zk::BoardOverride board(zt::manual_board());
    CVSyncWork work;
    work.Set(1, 1, 2, 3, 4);
    const long long start = board.board().current_field();
    int result = 0;
    {
        zt::LibraryThread vsync([&work] {
            Sleep(20); // two fields
            work.SetFieldSecond();
            work.SetFieldFirst();
        });
        zk::IdlePump pump(board.board());
        result = work.SetVSyncWork(CBox(10, 20, 30, 40));
        pump.stop();
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(board.board().current_field() - start, 3) << "at the second look";
    EXPECT_EQ(work.GetBox(), CBox(10, 20, 30, 40));
    EXPECT_EQ(work.GetWorkFlag(), 1);
    EXPECT_EQ(work.GetFieldFirst() + work.GetFieldSecond(), 0);
}

TEST(VSyncWork, TheWorkEndsWhenBothFieldsAreMarkedInEitherOrder)
{
    struct Case {
        std::vector<int> marks; // 1 first, 2 second
        std::vector<int> flags; // the work flag after each
    };
    for (const Case& c : {Case{{1, 2}, {1, 0}}, Case{{2, 1}, {1, 0}}, Case{{1, 1, 2}, {1, 1, 0}}}) {
        CVSyncWork work;
        ASSERT_EQ(work.SetVSyncWork(0L, 0L, 720L, 486L), 0);
        std::vector<int> flags;
        for (int m : c.marks) flags.push_back(m == 1 ? work.SetFieldFirst() : work.SetFieldSecond());
        EXPECT_EQ(flags, c.flags);
        EXPECT_EQ(work.GetFieldFirst(), 1);
        EXPECT_EQ(work.GetFieldSecond(), 2);
    }
    CVSyncWork work;
    work.Set(1, 5, 6, 7, 8);
    work.SetFieldSecond();
    const CVSyncWork copy(work);
    EXPECT_EQ(copy.GetWorkFlag(), 1);
    EXPECT_EQ(copy.GetFieldSecond(), 2);
    EXPECT_EQ(copy.GetBox(), CBox(5, 6, 7, 8));
    CVSyncWork idle;
    EXPECT_EQ(idle.SetVSyncWork(1UL, 2UL, 3UL, 4UL), 0);
    EXPECT_EQ(idle.GetBox(), CBox(1, 2, 3, 4));
}

// The vertical-sync worker's first step: the due field's lines, each field once.
class FieldWork : public zt::GfbGraphTest {};

TEST_F(FieldWork, CopiesTheFieldThatIsDueAndMarksIt)
{
    struct Case {
        std::vector<int> fields; // the field numbers the step sees
        std::vector<int> results;
        std::vector<std::vector<std::int32_t>> words;
    };
    const std::vector<std::int32_t> odd{10, 705, 40, 744, -342, 0}, even{10, 704, 40, 744, -342, 0};
    // A second field seen twice takes the first field's lines the second time: each is copied once.
    for (const Case& c : {Case{{1, 0, 1}, {1, 1, 0}, {even, odd}}, Case{{0, 1, 0}, {1, 1, 0}, {odd, even}},
                          Case{{1, 1, 0}, {1, 1, 0}, {even, odd}}}) {
        CVSyncWork work;
        work.Set(1, 10, 20, 30, 40);
        const std::uint64_t from = board().journal().mark();
        std::vector<int> results;
        for (int f : c.fields) results.push_back(zk::copy_field_work(*graph, work, f));
        EXPECT_EQ(results, c.results);
        EXPECT_EQ(blits_since(from), c.words);
        EXPECT_EQ(work.GetWorkFlag(), 0);
    }
}

} // namespace

// The field worker: every field handed to it is handled once, in order, even when the worker
// falls behind; a handler that ends the run ends the thread; nothing outlives the worker.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "effects/field_worker.h"
#include "platform/testing/settle.h"
#include "support/library_thread.h"

namespace {

struct Seen {
    std::mutex lock;
    std::vector<unsigned long> fields;
    void add(unsigned long f)
    {
        std::lock_guard<std::mutex> guard(lock);
        fields.push_back(f);
    }
    std::vector<unsigned long> get()
    {
        std::lock_guard<std::mutex> guard(lock);
        return fields;
    }
};

TEST(FieldWorker, AWorkerThatFallsBehindStillHandlesEveryFieldInOrder)
{
    const size_t handles = zk::open_handle_count();
    {
        Seen seen;
        CEvent hold(FALSE, TRUE); // the first field's handling waits for it
        zk::FieldWorker worker;
        ASSERT_TRUE(worker.start(
            [&](unsigned long f) {
                if (f == 100) hold.Lock();
                seen.add(f);
                return true;
            },
            THREAD_PRIORITY_NORMAL, "test worker"));
        EXPECT_FALSE(worker.start([](unsigned long) { return true; }, THREAD_PRIORITY_NORMAL, "again"))
            << "one run at a time";
        worker.post(100);
        ASSERT_TRUE(zk::settle());
        // Ten more fields arrive while the first is still being handled.
        for (unsigned long f = 101; f <= 110; ++f) worker.post(f);
        ASSERT_TRUE(zk::settle());
        EXPECT_TRUE(seen.get().empty());
        hold.SetEvent();
        ASSERT_TRUE(zk::settle());
        std::vector<unsigned long> expected;
        for (unsigned long f = 100; f <= 110; ++f) expected.push_back(f);
        EXPECT_EQ(seen.get(), expected) << "none merged, none lost, none reordered";
        EXPECT_TRUE(worker.running());
    }
    EXPECT_EQ(zk::open_handle_count(), handles) << "the worker joined and closed its thread";
}

TEST(FieldWorker, AHandlerEndsTheRunAndTheWorkerCanRunAgain)
{
    Seen seen;
    zk::FieldWorker worker;
    auto until_three = [&](unsigned long f) {
        seen.add(f);
        return f < 3;
    };
    ASSERT_TRUE(worker.start(until_three, THREAD_PRIORITY_TIME_CRITICAL, "ends at three"));
    for (unsigned long f = 1; f <= 5; ++f) worker.post(f);
    worker.join();
    EXPECT_FALSE(worker.running());
    EXPECT_EQ(seen.get(), (std::vector<unsigned long>{1, 2, 3})) << "fields after the end are dropped";
    worker.post(9); // nobody runs: dropped
    ASSERT_TRUE(worker.start(until_three, THREAD_PRIORITY_NORMAL, "second run"));
    worker.post(2);
    worker.post(3);
    worker.join();
    EXPECT_EQ(seen.get(), (std::vector<unsigned long>{1, 2, 3, 2, 3}));
}

TEST(FieldWorker, StopDropsWhatIsQueuedAndJoins)
{
    Seen seen;
    CEvent hold(FALSE, TRUE);
    zk::FieldWorker worker;
    ASSERT_TRUE(worker.start(
        [&](unsigned long f) {
            if (f == 1) hold.Lock();
            seen.add(f);
            return true;
        },
        THREAD_PRIORITY_NORMAL, "stopped"));
    for (unsigned long f = 1; f <= 3; ++f) worker.post(f);
    ASSERT_TRUE(zk::settle()); // field 1 is being handled; 2 and 3 wait
    {
        zt::LibraryThread stopper([&] { worker.stop(); });
        ASSERT_TRUE(zk::settle()); // the stop is asked for and waits for the worker
        EXPECT_TRUE(worker.running()) << "still inside field 1";
        hold.SetEvent();
    }
    EXPECT_FALSE(worker.running());
    EXPECT_EQ(seen.get(), (std::vector<unsigned long>{1})) << "the queued fields were dropped";
}

} // namespace

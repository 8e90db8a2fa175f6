// The analysis workers and a view's lane through them: latest wins (a
// request while one waits takes its place), results go round without a
// mix of inputs, a closed lane drops what still runs, and the pool keeps
// the threads it is told are reserved. Run under ThreadSanitizer too.
#include "capture/analysislane.h"
#include "capture/analysispool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// A gate a job waits at until the test opens it.
class Gate {
public:
    void Wait()
    {
        std::unique_lock lock(m_mutex);
        m_waiting = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
    }
    void Open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    // Until a job waits at the gate; false after the deadline.
    bool AwaitWaiter()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 10s, [this] { return m_waiting; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
    bool m_waiting = false;
};

struct Result {
    int input = -1;
    std::vector<int> values;
};

// Takes results until one for `input` arrives or the deadline passes.
template <class Lane> bool TakeUntil(Lane& lane, int input, Result& seen)
{
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        AnalysisTag tag;
        if (auto result = lane.Take(tag)) {
            seen = *result;
            lane.Recycle(std::move(result));
            if (seen.input == input)
                return true;
        }
        std::this_thread::yield();
    }
    return false;
}

TEST(AnalysisLane, ARequestWhileOneWaitsTakesItsPlace)
{
    AnalysisPool pool(2);
    AnalysisLane<Result> lane(pool);
    Gate gate;
    std::atomic<int> ran{0};
    std::vector<int> order;
    std::mutex orderMutex;
    auto job = [&](int input, bool hold) {
        return [&, input, hold](Result& out) {
            if (hold)
                gate.Wait();
            {
                std::lock_guard lock(orderMutex);
                order.push_back(input);
            }
            ++ran;
            out.input = input;
        };
    };
    lane.Request({1, 0}, job(1, true));
    ASSERT_TRUE(gate.AwaitWaiter());
    lane.Request({2, 0}, job(2, false));
    lane.Request({3, 0}, job(3, false)); // replaces 2, which never runs
    EXPECT_FALSE(lane.Idle());
    gate.Open();
    Result seen;
    ASSERT_TRUE(TakeUntil(lane, 3, seen));
    pool.WaitIdle();
    EXPECT_EQ(order, (std::vector<int>{1, 3}));
    EXPECT_EQ(ran.load(), 2);
    EXPECT_TRUE(lane.Idle());
}

// Inputs published far faster than the analysis keeps up: every result
// taken is whole (all its values from one input), inputs only grow, and
// once publishing stops the last result is the last input's.
TEST(AnalysisLane, ResultsAreNeverAMixAndTheLastInputWins)
{
    AnalysisPool pool(2);
    AnalysisLane<Result> lane(pool);
    constexpr int kInputs = 400, kValues = 4096;
    int lastSeen = -1, taken = 0;
    auto check = [&](const Result& result) {
        ASSERT_EQ(result.values.size(), size_t(kValues));
        for (int v : result.values)
            ASSERT_EQ(v, result.input);
        ASSERT_GT(result.input, lastSeen);
        lastSeen = result.input;
        ++taken;
    };
    for (int input = 0; input < kInputs; ++input) {
        lane.Request({std::uint64_t(input), 0}, [input](Result& out) {
            // Results go round: the one a job gets held an older input.
            // A few yields open the window for a mix, without making the
            // job crawl on a loaded machine.
            out.values.resize(kValues);
            for (int i = 0; i < kValues; ++i) {
                out.values[size_t(i)] = input;
                if (i % 512 == 0)
                    std::this_thread::yield();
            }
            out.input = input;
        });
        AnalysisTag tag;
        if (auto result = lane.Take(tag)) {
            EXPECT_EQ(int(tag.record), result->input);
            check(*result);
            lane.Recycle(std::move(result));
        }
    }
    // The last input's result may have been taken in the loop already.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (lastSeen != kInputs - 1 && std::chrono::steady_clock::now() < deadline) {
        AnalysisTag tag;
        if (auto result = lane.Take(tag)) {
            check(*result);
            lane.Recycle(std::move(result));
        }
        std::this_thread::yield();
    }
    EXPECT_EQ(lastSeen, kInputs - 1);
    EXPECT_GT(taken, 0);
}

TEST(AnalysisLane, AClosedLaneDropsTheResultOfItsRunningJob)
{
    AnalysisPool pool(1);
    Gate gate;
    std::atomic<bool> finished{false};
    {
        AnalysisLane<Result> lane(pool);
        lane.Request({1, 0}, [&](Result& out) {
            gate.Wait();
            out.input = 1;
            finished = true;
        });
        ASSERT_TRUE(gate.AwaitWaiter());
        lane.Request({2, 0}, [](Result&) { ADD_FAILURE() << "a waiting job of a closed lane ran"; });
    }
    gate.Open();
    pool.WaitIdle();
    EXPECT_TRUE(finished.load());
}

TEST(AnalysisPool, ReservedThreadsLimitHowManyTasksRunAtOnce)
{
    AnalysisPool pool(2);
    ASSERT_EQ(pool.Threads(), 2);
    std::atomic<int> running{0}, most{0};
    auto task = [&] {
        const int now = ++running;
        int seen = most.load();
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
        for (int i = 0; i < 64; ++i) // room for another thread to start one too
            std::this_thread::yield();
        --running;
    };
    pool.Reserve(1);
    for (int i = 0; i < 20; ++i)
        pool.Submit(task);
    pool.WaitIdle();
    EXPECT_EQ(most.load(), 1);
    // Never fewer than one, whatever is reserved; all of them when nothing is.
    pool.Reserve(5);
    std::atomic<int> done{0};
    pool.Submit([&] { ++done; });
    pool.WaitIdle();
    EXPECT_EQ(done.load(), 1);
    pool.Reserve(0);
    most = 0;
    Gate gate;
    std::atomic<int> atGate{0};
    for (int i = 0; i < 2; ++i)
        pool.Submit([&] {
            ++atGate;
            gate.Wait();
        });
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (atGate.load() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    EXPECT_EQ(atGate.load(), 2);
    gate.Open();
    pool.WaitIdle();
}

TEST(AnalysisPool, ShutdownDropsQueuedTasksAndRefusesNewOnes)
{
    AnalysisPool pool(1);
    Gate gate;
    std::atomic<int> ran{0};
    pool.Submit([&] {
        gate.Wait();
        ++ran;
    });
    ASSERT_TRUE(gate.AwaitWaiter());
    pool.Submit([&] { ++ran; });
    // The gate opens once the pool refuses work: Shutdown has begun.
    std::thread opener([&] {
        while (pool.Submit([] {}))
            std::this_thread::yield();
        gate.Open();
    });
    pool.Shutdown(); // the running task finishes, the queued one is dropped
    opener.join();
    EXPECT_EQ(ran.load(), 1);
    EXPECT_FALSE(pool.Submit([&] { ++ran; }));
    EXPECT_EQ(ran.load(), 1);
    EXPECT_EQ(pool.Threads(), 0);
}

} // namespace

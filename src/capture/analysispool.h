#pragma once
// The worker threads the views' analyses run on: tasks in the order they
// come, on as many threads as the machine has cores, less those that other
// continuous work (the octave filtering) holds while it runs. Tasks are
// plain functions; what they hand back goes through the AnalysisLane that
// submitted them, never through Qt's queued signals.
//
// Submit may be called from any thread; Reserve, Shutdown and the
// destructor on the owning (user-interface) thread.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class AnalysisPool {
public:
    // threads 0: one per core.
    explicit AnalysisPool(int threads = 0);
    ~AnalysisPool();
    AnalysisPool(const AnalysisPool&) = delete;
    AnalysisPool& operator=(const AnalysisPool&) = delete;

    // Queues a task; false (the task dropped unrun) after Shutdown began.
    bool Submit(std::function<void()> task);
    // Threads that other work holds: at most Threads() − reserved tasks run
    // at once, never fewer than one.
    void Reserve(int threads);
    // Lets the running tasks finish, drops the queued ones and joins the
    // threads. The destructor calls it.
    void Shutdown();

    int Threads() const { return int(m_threads.size()); }
    // Blocks until no task is queued or running; for benchmarks and tests.
    void WaitIdle();
    static int CoreCount();

private:
    void WorkerLoop();
    bool MayStart() const;

    std::mutex m_mutex;
    std::condition_variable m_wake, m_idle;
    std::deque<std::function<void()>> m_queue;
    std::vector<std::thread> m_threads;
    int m_running = 0;
    int m_reserved = 0;
    bool m_stopping = false;
};

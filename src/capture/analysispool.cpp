#include "capture/analysispool.h"

#include <algorithm>

int AnalysisPool::CoreCount() { return std::max(1, int(std::thread::hardware_concurrency())); }

AnalysisPool::AnalysisPool(int threads)
{
    const int count = threads > 0 ? threads : CoreCount();
    m_threads.reserve(size_t(count));
    for (int i = 0; i < count; ++i)
        m_threads.emplace_back([this] { WorkerLoop(); });
}

AnalysisPool::~AnalysisPool() { Shutdown(); }

bool AnalysisPool::Submit(std::function<void()> task)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return false;
        m_queue.push_back(std::move(task));
    }
    m_wake.notify_one();
    return true;
}

void AnalysisPool::Reserve(int threads)
{
    threads = std::max(0, threads);
    {
        std::lock_guard lock(m_mutex);
        if (threads == m_reserved)
            return; // the main window says it on every tick
        m_reserved = threads;
    }
    m_wake.notify_all();
}

bool AnalysisPool::MayStart() const
{
    const int allowed = std::max(1, int(m_threads.size()) - m_reserved);
    return !m_queue.empty() && m_running < allowed;
}

void AnalysisPool::WorkerLoop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || MayStart(); });
        if (m_stopping)
            return;
        std::function<void()> task = std::move(m_queue.front());
        m_queue.pop_front();
        ++m_running;
        lock.unlock();
        task();
        // Whatever the task held (a record, a lane's state) goes before the
        // pool counts it as done.
        task = nullptr;
        lock.lock();
        --m_running;
        if (m_running == 0 && m_queue.empty())
            m_idle.notify_all();
        m_wake.notify_one();
    }
}

void AnalysisPool::WaitIdle()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_stopping || (m_running == 0 && m_queue.empty()); });
}

void AnalysisPool::Shutdown()
{
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping && m_threads.empty())
            return;
        m_stopping = true;
        dropped.swap(m_queue);
    }
    m_wake.notify_all();
    m_idle.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
    m_threads.clear();
    // The dropped tasks' captures are released here, outside the lock.
}

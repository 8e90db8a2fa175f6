#include "analysis/octaveworker.h"

#include <algorithm>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

OctaveWorker::OctaveWorker()
{
    for (auto& analyser : m_analysers)
        analyser = std::make_unique<OctaveAnalyser>();
}

OctaveWorker::~OctaveWorker()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void OctaveWorker::StartThread()
{
    // The buffers get their whole size once, before the worker can swap them.
    for (int t = 0; t < kTraces; ++t) {
        m_queued[t].reserve(kBacklog);
        m_working[t].reserve(kBacklog);
    }
    m_thread = std::thread([this] { Run(); });
}

void OctaveWorker::Submit(int trace, const float* samples, int count)
{
    if (count <= 0 || trace < 0 || trace >= kTraces)
        return;
    if (!m_thread.joinable())
        StartThread();
    std::unique_lock lock(m_mutex);
    while (count > 0) {
        std::vector<float>& queue = m_queued[trace];
        m_changed.wait(lock, [&] { return queue.size() < std::size_t(kBacklog); });
        const int room = kBacklog - int(queue.size());
        const int part = std::min(count, room);
        queue.insert(queue.end(), samples, samples + part);
        samples += part;
        count -= part;
        m_changed.notify_all();
    }
}

bool OctaveWorker::HasQueued() const
{
    return std::any_of(std::begin(m_queued), std::end(m_queued), [](const auto& q) { return !q.empty(); });
}

void OctaveWorker::Finish()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return !m_busy && !HasQueued(); });
}

OctaveAnalyser& OctaveWorker::Analyser(int trace)
{
    Finish();
    return *m_analysers[trace & 1];
}

void OctaveWorker::PublishLevels()
{
    Finish();
    for (int t = 0; t < kTraces; ++t)
        Publish(t);
}

void OctaveWorker::Publish(int trace)
{
    const OctaveAnalyser& analyser = *m_analysers[trace];
    const std::span<const double> bands = analyser.BandLevels();
    std::lock_guard lock(m_levelsMutex);
    Levels& levels = m_levels[trace];
    levels.bandCount = int(bands.size());
    std::copy(bands.begin(), bands.end(), levels.bands.begin());
    levels.weightedTotal = analyser.WeightedTotal();
    levels.unweightedTotal = analyser.UnweightedTotal();
}

void OctaveWorker::CopyLevels(int trace, Levels& out) const
{
    std::lock_guard lock(m_levelsMutex);
    const Levels& levels = m_levels[trace & 1];
    out.bandCount = levels.bandCount;
    std::copy_n(levels.bands.begin(), levels.bandCount, out.bands.begin());
    out.weightedTotal = levels.weightedTotal;
    out.unweightedTotal = levels.unweightedTotal;
}

// Worker thread: takes everything queued at once, filters it outside the
// lock, publishes, and reports itself idle.
void OctaveWorker::Run()
{
    // A little below the owner's priority: when the cores are short, the
    // user-interface thread's tick goes first and the filtering catches up
    // in the idle time between ticks.
    setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), getpriority(PRIO_PROCESS, 0) + kNiceness);
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_stop || HasQueued(); });
        if (m_stop)
            return;
        for (int t = 0; t < kTraces; ++t)
            m_queued[t].swap(m_working[t]);
        m_busy = true;
        lock.unlock();
        m_changed.notify_all(); // room for a waiting Submit

        for (int t = 0; t < kTraces; ++t) {
            if (m_working[t].empty())
                continue;
            m_analysers[t]->Process(m_working[t].data(), int(m_working[t].size()));
            m_working[t].clear();
            Publish(t);
        }

        lock.lock();
        m_busy = false;
        m_changed.notify_all(); // a waiting Finish
    }
}

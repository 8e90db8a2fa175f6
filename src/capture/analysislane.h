#pragma once
// One view's way through the analysis pool, latest wins: at most one
// analysis runs and one waits; a request while one waits takes its place.
// A finished result waits for the user-interface thread to take it; a newer
// one replaces it unseen. Result objects go round (the view gives back the
// one it no longer shows), so memory stays bounded at a few results.
//
// A job is a plain function of what it captured (a record snapshot, a copy
// of the settings) that fills a Result; it must not touch the view. Each
// request carries a tag (record sequence, settings generation) that comes
// back with its result, for the view to drop what is stale.
//
// Request, Take, Recycle and the destructor: user-interface thread. The
// jobs run on the pool's threads. Destroying the lane lets a running job
// finish; its result is then dropped.

#include "capture/analysispool.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

struct AnalysisTag {
    std::uint64_t record = 0;   // sequence of the record analysed
    std::uint64_t settings = 0; // generation of the view's settings
};

template <class Result>
class AnalysisLane {
public:
    using Job = std::function<void(Result&)>;

    explicit AnalysisLane(AnalysisPool& pool) : m_state(std::make_shared<State>()) { m_state->pool = &pool; }
    ~AnalysisLane()
    {
        std::lock_guard lock(m_state->mutex);
        m_state->closed = true;
        m_state->waiting.reset();
    }
    AnalysisLane(const AnalysisLane&) = delete;
    AnalysisLane& operator=(const AnalysisLane&) = delete;

    void Request(AnalysisTag tag, Job job)
    {
        {
            std::lock_guard lock(m_state->mutex);
            if (m_state->running) {
                m_state->waiting.emplace(tag, std::move(job));
                return;
            }
            m_state->running = true;
        }
        Start(m_state, tag, std::move(job));
    }

    // The newest finished result and its tag, or null.
    std::unique_ptr<Result> Take(AnalysisTag& tag)
    {
        std::lock_guard lock(m_state->mutex);
        tag = m_state->doneTag;
        return std::move(m_state->done);
    }

    void Recycle(std::unique_ptr<Result> result)
    {
        if (!result)
            return;
        std::lock_guard lock(m_state->mutex);
        if (m_state->spare.size() < kSpares)
            m_state->spare.push_back(std::move(result));
    }

    // Nothing running, waiting or untaken.
    bool Idle() const
    {
        std::lock_guard lock(m_state->mutex);
        return !m_state->running && !m_state->waiting && !m_state->done;
    }

private:
    static constexpr size_t kSpares = 2;

    struct State {
        std::mutex mutex;
        AnalysisPool* pool = nullptr;
        bool running = false;
        bool closed = false;
        std::optional<std::pair<AnalysisTag, Job>> waiting;
        std::unique_ptr<Result> done;
        AnalysisTag doneTag;
        std::vector<std::unique_ptr<Result>> spare;
    };

    static void Start(const std::shared_ptr<State>& state, AnalysisTag tag, Job job)
    {
        state->pool->Submit([state, tag, job = std::move(job)]() mutable { Run(state, tag, std::move(job)); });
    }

    // On a pool thread.
    static void Run(const std::shared_ptr<State>& state, AnalysisTag tag, Job job)
    {
        std::unique_ptr<Result> result;
        {
            std::lock_guard lock(state->mutex);
            if (!state->spare.empty()) {
                result = std::move(state->spare.back());
                state->spare.pop_back();
            }
        }
        if (!result)
            result = std::make_unique<Result>();
        job(*result);
        job = nullptr; // the record snapshot goes back before the next job starts

        std::optional<std::pair<AnalysisTag, Job>> next;
        {
            std::lock_guard lock(state->mutex);
            if (state->closed) {
                state->running = false;
                return;
            }
            if (state->done && state->spare.size() < kSpares)
                state->spare.push_back(std::move(state->done)); // an older result nobody took
            state->done = std::move(result);
            state->doneTag = tag;
            next.swap(state->waiting);
            state->running = next.has_value();
        }
        if (next)
            Start(state, next->first, std::move(next->second));
    }

    std::shared_ptr<State> m_state;
};

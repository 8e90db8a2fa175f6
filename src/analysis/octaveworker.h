#pragma once
// Runs the two analysers of an octave display (one per trace) on a thread of
// their own. Filtering every sample of two channels through up to 256 bands
// of six second-order sections is the heaviest continuous work of the
// program; done on the owner's thread, six such displays at 200 kHz take
// most of a core and make the owner's periodic tick late. The owner keeps
// reading its samples in order and hands them over with Submit; the worker
// filters them in that order and publishes the levels, which the owner copies
// when it draws. The results are exactly those of the analysers run on the
// owner's thread with the same samples.
//
// Nothing is lost when the worker falls behind: a Submit that finds no room
// waits until the worker takes the waiting samples (at most a second of
// samples at 200 kHz waits per trace).
//
// Threading: every public function belongs to the owner's thread (one thread)
// unless its comment says "any thread". The worker thread starts with the
// first Submit and stops in the destructor.

#include "analysis/octaveanalyser.h"

#include <array>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class OctaveWorker {
public:
    static constexpr int kTraces = 2;
    // Samples of one trace that may wait for the worker.
    static constexpr int kBacklog = 200000;
    // How much nicer than the process the worker thread runs.
    static constexpr int kNiceness = 5;

    // A published copy of one analyser's results.
    struct Levels {
        int bandCount = 0;
        std::array<double, OctaveAnalyser::kMaxBands> bands{};
        double weightedTotal = -300.0;
        double unweightedTotal = -300.0;
    };

    OctaveWorker();
    ~OctaveWorker();
    OctaveWorker(const OctaveWorker&) = delete;
    OctaveWorker& operator=(const OctaveWorker&) = delete;

    // Queues `count` new samples of `trace` behind those queued before. More
    // than kBacklog samples in one call are handed over in parts.
    void Submit(int trace, const float* samples, int count);
    // Returns once every queued sample is filtered and its levels published.
    void Finish();
    // The analyser of `trace`, for the owner to design, reconfigure or read:
    // waits for Finish first, and is the owner's alone until its next Submit.
    // After a change that moves the levels, call PublishLevels.
    OctaveAnalyser& Analyser(int trace);
    // Publishes both analysers' current results (after Analyser changes).
    void PublishLevels();
    // Copies the latest published results of `trace`. Any thread.
    void CopyLevels(int trace, Levels& out) const;

private:
    void Run();
    void StartThread();
    void Publish(int trace);
    bool HasQueued() const;

    std::unique_ptr<OctaveAnalyser> m_analysers[kTraces];

    // Samples waiting (filled by the owner) and being filtered (the worker's);
    // swapped under m_mutex, so neither side ever reallocates.
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<float> m_queued[kTraces];
    std::vector<float> m_working[kTraces];
    bool m_busy = false;
    bool m_stop = false;

    mutable std::mutex m_levelsMutex;
    std::array<Levels, kTraces> m_levels;

    std::thread m_thread;
};

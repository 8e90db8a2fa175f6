// The octave worker filters on its own thread exactly what the analysers
// would give on the caller's: same samples, same order, same changes between
// them. Also run under ThreadSanitizer, with a second thread reading the
// published levels while the worker writes them.
#include "analysis/octaveworker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr double kDt = 1.0 / 48000.0;
using Weighting = OctaveAnalyser::Weighting;

std::vector<float> Noise(int count, unsigned seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<float> gauss(0.0f, 0.3f);
    std::vector<float> samples(static_cast<std::size_t>(count));
    for (float& x : samples)
        x = gauss(random);
    return samples;
}

void Design(OctaveAnalyser& analyser, int bandsPerOctave)
{
    analyser.Design(bandsPerOctave, Weighting::A, 31.0, 16000.0, kDt);
    analyser.SetTimeWeighting(0.125);
}

void ExpectSameResults(const OctaveAnalyser& plain, OctaveWorker& worker, int trace)
{
    const OctaveAnalyser& threaded = worker.Analyser(trace);
    ASSERT_EQ(threaded.BandCount(), plain.BandCount());
    for (int j = 0; j < plain.BandCount(); ++j) {
        EXPECT_EQ(threaded.MeanSquare(j), plain.MeanSquare(j)) << "trace " << trace << " band " << j;
        EXPECT_EQ(threaded.BandLevels()[j], plain.BandLevels()[j]);
    }
    // What the drawing copies is what the analyser holds.
    OctaveWorker::Levels published;
    worker.CopyLevels(trace, published);
    ASSERT_EQ(published.bandCount, plain.BandCount());
    for (int j = 0; j < plain.BandCount(); ++j)
        EXPECT_EQ(published.bands[j], plain.BandLevels()[j]);
    EXPECT_EQ(published.weightedTotal, plain.WeightedTotal());
    EXPECT_EQ(published.unweightedTotal, plain.UnweightedTotal());
}

} // namespace

// Blocks of 1 to 5000 samples, one larger than the backlog (the caller then
// waits for room instead of dropping), and a weighting change and a new
// design between blocks, all without waiting for the worker in between.
TEST(OctaveWorker, GivesExactlyTheResultsOfTheAnalysersRunInPlace)
{
    OctaveWorker worker;
    OctaveAnalyser plain[2];
    for (int t = 0; t < 2; ++t) {
        Design(plain[t], 3);
        Design(worker.Analyser(t), 3);
    }
    worker.PublishLevels();

    constexpr int kLongest = 5000;
    const int big = int(2.5 * OctaveWorker::kBacklog);
    const std::vector<float> noise = Noise(300 * kLongest + big, 1);
    std::mt19937 random(2);
    std::uniform_int_distribution<int> length(1, kLongest);
    std::size_t position = 0;
    auto feed = [&](int trace, int count) {
        ASSERT_LE(position + std::size_t(count), noise.size());
        worker.Submit(trace, noise.data() + position, count);
        plain[trace].Process(noise.data() + position, count);
        position += std::size_t(count);
    };
    for (int block = 0; block < 200; ++block)
        feed(block % 3 == 0 ? 1 : 0, length(random));
    feed(0, big);
    for (int t = 0; t < 2; ++t)
        ExpectSameResults(plain[t], worker, t);

    // A weighting change keeps the filter states; a design clears them.
    worker.Analyser(0).SetWeighting(Weighting::C);
    plain[0].SetWeighting(Weighting::C);
    Design(worker.Analyser(1), 24);
    Design(plain[1], 24);
    worker.PublishLevels();
    for (int block = 0; block < 100; ++block)
        feed(block & 1, length(random));
    for (int t = 0; t < 2; ++t)
        ExpectSameResults(plain[t], worker, t);
}

// Another thread copies the published levels while the worker publishes and
// the owner redesigns: every copy is one whole publication.
TEST(OctaveWorker, PublishedLevelsAreWholeWhileTheWorkerRuns)
{
    OctaveWorker worker;
    for (int t = 0; t < 2; ++t)
        Design(worker.Analyser(t), 1);
    worker.PublishLevels();
    const int bandsOneOctave = worker.Analyser(0).BandCount();
    Design(worker.Analyser(0), 3);
    const int bandsThirdOctave = worker.Analyser(0).BandCount();
    Design(worker.Analyser(0), 1);
    worker.PublishLevels();

    std::atomic<bool> done{false};
    std::atomic<int> copies{0}, torn{0};
    std::thread reader([&] {
        OctaveWorker::Levels levels;
        while (!done.load(std::memory_order_acquire)) {
            worker.CopyLevels(0, levels);
            const bool knownCount = levels.bandCount == bandsOneOctave || levels.bandCount == bandsThirdOctave;
            if (!knownCount || !std::isfinite(levels.weightedTotal))
                torn.fetch_add(1);
            copies.fetch_add(1);
        }
    });

    const std::vector<float> noise = Noise(480, 3);
    for (int round = 0; round < 60; ++round) {
        for (int block = 0; block < 10; ++block) {
            worker.Submit(0, noise.data(), int(noise.size()));
            worker.Submit(1, noise.data(), int(noise.size()));
        }
        Design(worker.Analyser(0), round % 2 ? 1 : 3);
        worker.PublishLevels();
    }
    worker.Finish();
    done.store(true, std::memory_order_release);
    reader.join();
    EXPECT_GT(copies.load(), 0);
    EXPECT_EQ(torn.load(), 0);
}

// A worker destroyed with samples still queued stops without filtering them
// all and without hanging; one never given samples starts no thread.
TEST(OctaveWorker, StopsWithWorkQueued)
{
    const std::vector<float> noise = Noise(OctaveWorker::kBacklog, 4);
    {
        OctaveWorker worker;
        Design(worker.Analyser(0), 24);
        for (int i = 0; i < 3; ++i)
            worker.Submit(0, noise.data(), int(noise.size()));
    }
    OctaveWorker idle;
    EXPECT_EQ(idle.Analyser(1).BandCount(), 0);
}

#include "analysis/multimeterstatistic.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>

namespace {

constexpr std::array<std::string_view, kMultimeterStatisticCount> kTexts = {"ONE", "MEAN", "RMS", "MIN", "MAX"};
constexpr std::size_t kChunk = 100000;

// Sums in chunks of kChunk samples counted from the window's first sample,
// across the ring's two pieces: the result depends on the window's samples
// alone, not on where the ring happened to wrap (a window read whole, as
// the Python binding reads an array, gives the same bits).
struct Accumulator {
    double sum = 0.0;
    double sumSquares = 0.0;
    double minimum = 1e35;
    double maximum = -1e35;
    double chunkSum = 0.0;
    double chunkSquares = 0.0;
    std::size_t inChunk = 0;

    void Add(std::span<const float> samples)
    {
        while (!samples.empty()) {
            const auto part = samples.first(std::min(kChunk - inChunk, samples.size()));
            double s = chunkSum, q = chunkSquares, lo = minimum, hi = maximum;
            for (const float x : part) {
                s += x;
                q += double(x) * x;
                lo = std::min<double>(lo, x);
                hi = std::max<double>(hi, x);
            }
            chunkSum = s;
            chunkSquares = q;
            minimum = lo;
            maximum = hi;
            inChunk += part.size();
            samples = samples.subspan(part.size());
            if (inChunk == kChunk)
                Flush();
        }
    }
    void Flush()
    {
        sum += chunkSum;
        sumSquares += chunkSquares;
        chunkSum = chunkSquares = 0.0;
        inChunk = 0;
    }
};

} // namespace

std::string_view MultimeterStatisticText(MultimeterStatistic statistic)
{
    const int v = static_cast<int>(statistic);
    return v >= 0 && v < kMultimeterStatisticCount ? kTexts[v] : std::string_view();
}

int MultimeterWindow(double seconds, double dt)
{
    if (!(dt > 0.0) || !(seconds > 0.0))
        return 0;
    const double samples = std::floor(seconds / dt + 1e-6);
    return samples < 2147483647.0 ? static_cast<int>(samples) : 2147483647;
}

double ComputeStatistic(const SampleRing& ring, int window, MultimeterStatistic statistic)
{
    const SampleRing::Pieces pieces = ring.Last(window);
    const std::size_t count = pieces.first.size() + pieces.second.size();
    if (statistic == MultimeterStatistic::One)
        return count > 0 ? ring.Newest() : 0.0;
    Accumulator acc;
    acc.Add(pieces.first);
    acc.Add(pieces.second);
    acc.Flush();
    switch (statistic) {
    case MultimeterStatistic::Mean:
        return count > 0 ? acc.sum / count : 0.0;
    case MultimeterStatistic::Rms:
        return count > 0 ? std::sqrt(acc.sumSquares / count) : 0.0;
    case MultimeterStatistic::Min:
        return acc.minimum;
    case MultimeterStatistic::Max:
        return acc.maximum;
    default:
        return 0.0;
    }
}

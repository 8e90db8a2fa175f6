#include "analysis/multimeterstatistic.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>

namespace {

constexpr std::array<std::string_view, kMultimeterStatisticCount> kTexts = {"ONE", "MEAN", "RMS", "MIN", "MAX"};
constexpr std::size_t kChunk = 100000;

struct Accumulator {
    double sum = 0.0;
    double sumSquares = 0.0;
    double minimum = 1e35;
    double maximum = -1e35;

    void Add(std::span<const float> samples)
    {
        for (std::size_t start = 0; start < samples.size(); start += kChunk) {
            const auto chunk = samples.subspan(start, std::min(kChunk, samples.size() - start));
            double s = 0.0, q = 0.0, lo = minimum, hi = maximum;
            for (const float x : chunk) {
                s += x;
                q += double(x) * x;
                lo = std::min<double>(lo, x);
                hi = std::max<double>(hi, x);
            }
            sum += s;
            sumSquares += q;
            minimum = lo;
            maximum = hi;
        }
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

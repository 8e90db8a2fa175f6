#pragma once
// How a captured record is cut into transform segments.

#include <string_view>

// Averaging modes; the integer values are the item keys of the panels' lists.
enum class AverageMode : int {
    Linear = 0,
    PeakHold = 1,
    Cascade = 2,
    Spectrogram = 3,
};

inline constexpr int kAverageModeCount = 4;
inline constexpr int kMaxSegments = 8192;

// "Linear", "Peak hold", "Cascade", "Spctgrm"; empty outside 0 … 3.
std::string_view AverageModeText(AverageMode mode);

// True for the modes that keep one row per segment instead of combining.
inline bool KeepsRows(AverageMode mode)
{
    return mode == AverageMode::Cascade || mode == AverageMode::Spectrogram;
}

// Number of segments of a record of `length` samples analysed from `start`
// with transform length `points` and hop `hop`: `averages` when it is not 0
// ("Auto" is 0), else (length − start − points)/hop + 1, capped at 8192.
// "Auto" on a record shorter than one segment gives 1 (and the record is then
// too short, see RecordHoldsSegments); a hop below 1 counts as 1.
int SegmentCount(int length, int start, int points, int hop, int averages);

// Where the segments of one analysed record lie. Segment j is the `points`
// samples starting at start + j·hop of each channel array.
struct SegmentLayout {
    int length = 0;    // samples per channel array
    int start = 0;     // start offset S
    int points = 0;    // transform length N, a power of two ≥ 2
    int hop = 1;       // H, samples between segment starts
    int count = 1;     // number of segments
    double dt = 0.0;   // sample interval, seconds

    // Δf = 1/(N·dt) in Hz.
    double BinSpacing() const { return 1.0 / (points * dt); }
    int Bins() const { return points / 2; }
};

// A layout is analysed only when length − start ≥ (count − 1)·hop + points;
// otherwise the view keeps its traces as they are.
bool RecordHoldsSegments(const SegmentLayout& layout);

// Convenience: the layout with SegmentCount applied.
SegmentLayout MakeSegmentLayout(int length, int start, int points, int hop, int averages, double dt);

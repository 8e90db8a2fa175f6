#pragma once
// The peak near a cursor and its width, on one display array.

namespace PeakSearch {

// The index span a cursor searches: lo .. hi from the indices 4 pixels left
// and right of it, widened by 2 on each side when shorter than 4 indices,
// kept within 0 .. count - 2.
void Span(int& lo, int& hi, int count);

struct Peak {
    int index = -1; // the largest value in the span, the first on ties
    int left = -1;  // first index left of it below the threshold, or the peak
    int right = -1; // first index right of it below the threshold, or the peak
};
// The peak within lo .. hi (after Span) and where it falls below its
// threshold: peak - 3 for levels in dB, peak / sqrt(2) otherwise.
Peak Find(const float* values, int count, int lo, int hi, bool db);

// The peak's quality: its x over its width, x / (xStep × (right - left));
// 0 when the width is zero.
double Quality(double peakX, double xStep, const Peak& peak);

} // namespace PeakSearch

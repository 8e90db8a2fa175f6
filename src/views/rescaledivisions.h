#pragma once
// The 1-2-5 rounding by which views fit their values into ten divisions.

// The next "nice" division for e > 0: with b = 10^floor(log10 e) and
// f = e / b, 2b for 1 <= f <= 2, 5b for 2 < f <= 5, else 10b.
double NiceDivision(double e);

// Division and offset for ten divisions showing the values (y range
// -5 × division - offset .. 5 × division - offset):
// all >= 0 with some > 0: zero at the bottom (offset -5 × division);
// all zero (or no values): division and offset left as they are;
// mixed signs: zero in the middle (offset 0);
// all <= 0 with some < 0: zero at the top (offset 5 × division).
void RescaleDivisions(const float* values, int count, double& division, double& offset);

// Division and offset for ten divisions of levels in dB: the top of the
// scale is the largest level rounded up to whole tens; levels more than
// 100 dB below it are clipped rather than scaled for (a float noise floor
// at -180 dB would otherwise squeeze a tone into the top division); 10 dB
// per division, 5 dB when the levels kept span 50 dB or less; offset
// 5 × division - top. NaN and infinite levels are left out; false (and
// division and offset untouched) when no finite level remains.
bool RescaleDecibels(const float* values, int count, double& division, double& offset);

// The major step of a zoomed axis showing span: the unzoomed major while
// the span still holds four of them, else the 1-2-5 step nearest a fifth of
// the span, so that a zoom always shows several labelled divisions.
double ZoomedMajor(double span, double major);

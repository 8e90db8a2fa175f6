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

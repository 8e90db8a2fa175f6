#pragma once
// Numbers with one-letter multipliers as the panels show them: "0.2m",
// "2k", "100 Hz", "0.5s".

#include <QString>

// The longest leading decimal number (leading blanks skipped, a dot as the
// decimal separator whatever the locale), then the one character right after
// it: 'M' x 1e6, 'k' x 1e3, 'm' x 1e-3, 'u' x 1e-6, anything else x 1. Text
// without a leading number reads as 0. Any thread.
double ParseWithPrefix(const QString& text);
double ParseWithPrefix(const char* text);

// a equals b, or |a| / |a - b| > 1000: equal to about three digits.
bool ApproximatelyEqual(double a, double b);

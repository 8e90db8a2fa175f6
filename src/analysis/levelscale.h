#pragma once
// Level scales of the spectrum views. The integer values are the item keys
// of the panels' scale lists.

#include <string>
#include <string_view>

// Each converts the mean square M of a bin (MeanSquareSpectrum), P = 2·M
// being the power of a sine's bin.
enum class LevelScale : int {
    LinearRms = 0,     // M
    LogReference = 1,  // 10·log10(M / p0²)
    LogMaximum = 2,    // 10·log10(M / Mmax)
    DbV = 3,           // 10·log10(M / 1 V²): 1 V rms reads 0 dBV
    DbU = 4,           // 10·log10(M / 0.7746² V²): 0.7746 V rms reads 0 dBu
};

inline constexpr int kLevelScaleCount = 5;

// "Lin. RMS", "10 log p/p0", "10 log p/pmax", "dbV", "dbuV"; empty outside 0 … 4.
std::string_view LevelScaleText(LevelScale scale);

// Axis unit of a converted spectrum (UTF-8): for "Lin. RMS" the channel unit
// followed by "rms²"; "dB", "dBmax", "dBV", "dBu" for the logarithmic
// scales. A density adds "/Hz", except to "dBmax": a level relative to the
// largest bin is the same ratio per hertz or per bin.
std::string LevelUnitText(LevelScale scale, std::string_view channelUnit, bool density);

// True for the scales that show decibels.
inline bool IsDecibelScale(LevelScale scale) { return scale != LevelScale::LinearRms; }

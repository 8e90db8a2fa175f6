#pragma once
// Level scales of the spectrum views. The integer values are the item keys
// of the panels' scale lists.

#include <string>
#include <string_view>

enum class LevelScale : int {
    LinearRms = 0,     // 0.5·P, mean square
    LogReference = 1,  // 10·log10(0.5·P / p0²)
    LogMaximum = 2,    // 10·log10(P / Pmax)
    DbV = 3,           // 10·log10(0.5·P)
    DbU = 4,           // 10·log10(0.6454944487477408·P)
};

inline constexpr int kLevelScaleCount = 5;

// "Lin. RMS", "10 log p/p0", "10 log p/pmax", "dbV", "dbuV"; empty outside 0 … 4.
std::string_view LevelScaleText(LevelScale scale);

// Axis unit of a converted spectrum (UTF-8): for "Lin. RMS" the channel unit
// followed by "rms²" and, with density, "/Hz"; "dB", "dBmax", "dBV", "dBu"
// for the logarithmic scales.
std::string LevelUnitText(LevelScale scale, std::string_view channelUnit, bool density);

// True for the scales that show decibels.
inline bool IsDecibelScale(LevelScale scale) { return scale != LevelScale::LinearRms; }

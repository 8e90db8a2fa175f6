#include "analysis/levelscale.h"

#include <array>

namespace {

constexpr std::array<std::string_view, kLevelScaleCount> kTexts = {
    "Lin. RMS", "10 log p/p0", "10 log p/pmax", "dbV", "dbuV",
};

} // namespace

std::string_view LevelScaleText(LevelScale scale)
{
    const int v = static_cast<int>(scale);
    return v >= 0 && v < kLevelScaleCount ? kTexts[v] : std::string_view();
}

std::string LevelUnitText(LevelScale scale, std::string_view channelUnit, bool density)
{
    std::string text;
    switch (scale) {
    case LevelScale::LinearRms:
        text = channelUnit;
        text += "rms\u00B2";
        break;
    case LevelScale::LogReference: text = "dB"; break;
    case LevelScale::LogMaximum: return "dBmax";
    case LevelScale::DbV: text = "dBV"; break;
    case LevelScale::DbU: text = "dBu"; break;
    default: return std::string();
    }
    if (density)
        text += "/Hz";
    return text;
}

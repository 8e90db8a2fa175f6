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
    switch (scale) {
    case LevelScale::LinearRms: {
        std::string text(channelUnit);
        text += "rms\u00B2";
        if (density)
            text += "/Hz";
        return text;
    }
    case LevelScale::LogReference:
        return "dB";
    case LevelScale::LogMaximum:
        return "dBmax";
    case LevelScale::DbV:
        return "dBV";
    case LevelScale::DbU:
        return "dBu";
    }
    return std::string();
}

#include "analysis/windowtype.h"

#include <array>
#include <cmath>

namespace {

constexpr double kTwoPi = 6.28318530717958;
constexpr double kFourPi = 12.56637061435916;
constexpr double kSixPi = 18.84955592153874;
constexpr double kEightPi = 25.13274122871832;

constexpr std::array<std::string_view, kWindowTypeCount> kTexts = {
    "Rectangle", "Bartlett", "Hann", "Hamming", "Blackman", "Flattop", "low sidelob",
};

bool Valid(WindowType type)
{
    const int v = static_cast<int>(type);
    return v >= 0 && v < kWindowTypeCount;
}

} // namespace

std::string_view WindowTypeText(WindowType type)
{
    return Valid(type) ? kTexts[static_cast<int>(type)] : std::string_view();
}

double WindowValue(WindowType type, int i, int n)
{
    const double in = static_cast<double>(i) / n;
    switch (type) {
    case WindowType::Bartlett: {
        const int half = n / 2;
        return i < half ? static_cast<double>(i) / half : static_cast<double>(n - i) / half;
    }
    case WindowType::Hann:
        return 0.5 - 0.5 * std::cos(kTwoPi * in);
    case WindowType::Hamming:
        return 0.54 - 0.46 * std::cos(kTwoPi * in);
    case WindowType::Blackman:
        return 0.42659071 - 0.2482803 * std::cos(kTwoPi * in) + 0.03842433 * std::cos(kFourPi * in);
    case WindowType::Flattop:
        return 0.21557895 - 0.41663158 * std::cos(kTwoPi * in) + 0.277263158 * std::cos(kFourPi * in)
            - 0.083578947 * std::cos(kSixPi * in) + 0.006947358 * std::cos(kEightPi * in);
    case WindowType::LowSidelobe:
        return 0.323215218 - 0.471492057 * std::cos(kTwoPi * in) + 0.17553428 * std::cos(kFourPi * in)
            - 0.028497078 * std::cos(kSixPi * in) + 0.001261367 * std::cos(kEightPi * in);
    case WindowType::Rectangle:
    default:
        return 1.0;
    }
}

double AmplitudeFactor(WindowType type, int n)
{
    switch (type) {
    case WindowType::Bartlett:
    case WindowType::Hann:
        return 4.0 / n;
    case WindowType::Hamming:
        return 3.7 / n;
    case WindowType::Blackman:
        return 4.69252 / n;
    case WindowType::Flattop:
        return 2.0 / n * 4.638672;
    case WindowType::LowSidelobe:
        return 2.0 / n * 3.093914;
    case WindowType::Rectangle:
    default:
        return 2.0 / n;
    }
}

double NoiseBandwidth(WindowType type)
{
    switch (type) {
    case WindowType::Bartlett:
        return 4.0 / 3.0;
    case WindowType::Hann:
        return 1.5;
    case WindowType::Hamming:
        return 1.36;
    case WindowType::Blackman:
        return 1.1755;
    case WindowType::Flattop:
        return 3.770246506303;
    case WindowType::LowSidelobe:
        return 2.215350782519;
    case WindowType::Rectangle:
    default:
        return 1.0;
    }
}

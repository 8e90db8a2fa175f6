// The float phase and level evaluations of the per-bin loops against the
// library's double-precision functions.

#include "analysis/binkernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Allowed error: a few float rounding steps of the result.
double Ulps(double value, double count) { return count * std::numeric_limits<float>::epsilon() * std::fabs(value); }

} // namespace

TEST(BinKernelsTest, Atan2OverEveryOctantAndSign)
{
    double worst = 0.0;
    for (int i = -3600; i <= 3600; ++i) {
        const double angle = i * kPi / 3600.0 + 1e-4 * (i % 7);
        for (const double radius : {1e-30, 1e-3, 1.0, 7.5e3, 1e30}) {
            const float y = static_cast<float>(radius * std::sin(angle));
            const float x = static_cast<float>(radius * std::cos(angle));
            const double expected = std::atan2(double(y), double(x));
            const double error = std::fabs(FastAtan2(y, x) - expected);
            worst = std::max(worst, error);
            ASSERT_LE(error, Ulps(expected, 2) + 2e-8) << y << " " << x;
        }
    }
    EXPECT_LT(worst, 5e-7);
    // Zeros and axes as the library gives them.
    EXPECT_EQ(FastAtan2(0.0f, 0.0f), 0.0f);
    EXPECT_FALSE(std::signbit(FastAtan2(0.0f, 0.0f)));
    EXPECT_TRUE(std::signbit(FastAtan2(-0.0f, 1.0f)));
    EXPECT_FLOAT_EQ(FastAtan2(0.0f, -0.0f), static_cast<float>(kPi));
    EXPECT_FLOAT_EQ(FastAtan2(-0.0f, -2.0f), static_cast<float>(-kPi));
    EXPECT_FLOAT_EQ(FastAtan2(3.0f, 0.0f), static_cast<float>(kPi / 2));
    EXPECT_FLOAT_EQ(FastAtan2(-3.0f, 0.0f), static_cast<float>(-kPi / 2));
    EXPECT_FLOAT_EQ(FastAtan2(1.0f, 1.0f), static_cast<float>(kPi / 4));
    EXPECT_FLOAT_EQ(FastAtan2(-1.0f, -1.0f), static_cast<float>(-3 * kPi / 4));
}

TEST(BinKernelsTest, DecibelsFromDenormalsToTheLargestFloat)
{
    for (double d = std::numeric_limits<float>::denorm_min(); d < std::numeric_limits<float>::max(); d *= 1.37) {
        const float v = static_cast<float>(d);
        const double expected = 10.0 * std::log10(double(v));
        ASSERT_NEAR(FastDecibels(v), expected, Ulps(expected, 2) + 2e-6) << v;
    }
    EXPECT_EQ(FastDecibels(1.0f), 0.0f);
    EXPECT_FLOAT_EQ(FastDecibels(1e-20f), -200.0f);
    EXPECT_FLOAT_EQ(FastDecibels(std::numeric_limits<float>::max()), 385.31839f);
    // Every mantissa near the split at √2 and near 1.
    for (const float v : {1.41421342f, 1.41421354f, 1.41421366f, 0.99999994f, 1.00000012f, 0.70710677f}) {
        const double expected = 10.0 * std::log10(double(v));
        EXPECT_NEAR(FastDecibels(v), expected, 1e-6) << v;
    }
}

TEST(BinKernelsTest, DecibelsInPlaceLiftsZerosAndAppliesTheFactorInDouble)
{
    // Lengths that end inside and outside a vector; e·v beyond the float range.
    for (const int n : {1, 7, 16, 33}) {
        std::vector<float> v(n + 1, 99.0f);
        for (int k = 0; k < n; ++k)
            v[k] = k % 3 == 0 ? 0.0f : 1e30f * k;
        DecibelsInPlace(v.data(), n, 1e20, 0.5e-20f);
        for (int k = 0; k < n; ++k) {
            const double expected = k % 3 == 0 ? 10.0 * std::log10(0.5) : 500.0 + 10.0 * std::log10(double(k));
            EXPECT_NEAR(v[k], expected, 1e-4) << n << " " << k;
        }
        EXPECT_EQ(v[n], 99.0f);
    }
}

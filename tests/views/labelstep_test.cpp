// The labelled step of a scale too short for a label per division.
#include "views/labelstep.h"

#include <gtest/gtest.h>
#include <limits>

TEST(LabelStep, GrowsByOneTwoFiveUntilTheLabelsStandApart)
{
    const struct {
        double major, pixelsPerUnit, minPixels, step;
    } cases[] = {
        {2000.0, 0.0200, 15.0, 2000.0},  // 40 pixels a division: every division
        {2000.0, 0.0050, 15.0, 4000.0},  // 10: every second
        {2000.0, 0.0020, 15.0, 10000.0}, // 4: every fifth
        {2000.0, 0.0009, 15.0, 20000.0}, // 1.8: only the ends of ten divisions
        {5.0, 0.36, 15.0, 50.0},         // a colour bar of 36 pixels over 100 dB
        {0.1, 300.0, 44.0, 0.2},         // time labels 44 pixels wide, 30 a division
        {10.0, 1.5, 15.0, 10.0},         // exactly 15 pixels apart is enough
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(LegibleStep(c.major, c.pixelsPerUnit, c.minPixels), c.step)
            << c.major << " at " << c.pixelsPerUnit;
    // No scale, or no step: the major step as it is.
    EXPECT_EQ(LegibleStep(0.0, 1.0, 15.0), 0.0);
    EXPECT_EQ(LegibleStep(5.0, 0.0, 15.0), 5.0);
    EXPECT_EQ(LegibleStep(5.0, std::numeric_limits<double>::infinity(), 15.0), 5.0);
}

TEST(LabelStep, NiceStepsAreOneTwoOrFiveTimesAPowerOfTen)
{
    const struct {
        double atLeast, step;
    } cases[] = {{0.068, 0.1}, {0.1, 0.1}, {0.13, 0.2}, {0.34, 0.5}, {0.6, 1.0}, {3.0, 5.0}, {1500.0, 2000.0}};
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(NiceStep(c.atLeast), c.step) << c.atLeast;
    EXPECT_EQ(NiceStep(0.0), 0.0);
}

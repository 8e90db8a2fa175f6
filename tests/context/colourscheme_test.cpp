// Colour schemes and colour maps against their tables and formulas.
#include "context/colourscheme.h"

#include <gtest/gtest.h>

namespace {
QColor Rgb(int r, int g, int b) { return QColor(r, g, b); }
}

TEST(ColourScheme, DarkByDefaultAndEachSchemeSetsItsTable)
{
    ColourScheme colours;
    EXPECT_EQ(colours.scheme, ColourScheme::Dark);
    EXPECT_EQ(colours.graphBackground, QColor(0x313C42));
    EXPECT_EQ(colours.colourMapType, ColourScheme::IronMap);

    colours.Apply(ColourScheme::Green);
    EXPECT_EQ(colours.graphBackground, QColor(0xF0FAF0));
    EXPECT_EQ(colours.trace1, QColor(0x0000FF));
    EXPECT_EQ(colours.selectorFirst, QColor(0x4D74A8));
    EXPECT_EQ(colours.drumDark, QColor(0x808050));
    EXPECT_EQ(colours.panelBrush.color(), QColor(0x80BFBF));
    EXPECT_EQ(colours.barBrush.color(), QColor(0x5A5A5A));
    EXPECT_EQ(colours.colourMapType, ColourScheme::BandedMap);

    colours.Apply(ColourScheme::BW);
    EXPECT_EQ(colours.graphText, QColor(Qt::black));
    EXPECT_EQ(colours.trace2, QColor(0xFF7F27));
    EXPECT_EQ(colours.selectorSecond, QColor(Qt::black));
    EXPECT_EQ(colours.drumLight, QColor(Qt::black));
    EXPECT_EQ(colours.panelFill, QColor(0xF0F0F0));
    EXPECT_EQ(colours.barBrush.color(), QColor(0xF5F5F5));
    EXPECT_EQ(colours.colourMapType, ColourScheme::GreyMap);

    colours.Apply(ColourScheme::Dark);
    EXPECT_EQ(colours.panelLine, QColor(0xC8C8C8));
    EXPECT_EQ(colours.setupButtons, QColor(0x004682));
    EXPECT_EQ(colours.widgetLine, QColor(0x404C55));
    EXPECT_EQ(colours.panelBrush.color(), QColor(0x323232));

    // Unknown numbers change nothing.
    colours.Apply(3);
    colours.Apply(-1);
    EXPECT_EQ(colours.scheme, ColourScheme::Dark);
    EXPECT_EQ(colours.graphBackground, QColor(0x313C42));
    colours.BuildColourMap(4);
    EXPECT_EQ(colours.colourMapType, ColourScheme::IronMap);
    EXPECT_EQ(colours.colourMapCount, 120);
}

TEST(ColourMap, BandedEntries)
{
    ColourScheme colours;
    colours.BuildColourMap(ColourScheme::BandedMap);
    ASSERT_EQ(colours.colourMapCount, 255);
    ASSERT_EQ(colours.colourMap.size(), 256u);
    // e = 0.95 at 0: 0.95 x 255 = 242.25.
    EXPECT_EQ(colours.colourMap[0], Rgb(242, 242, 242));
    // e = 1699/1700 at 84: 3e, e x trunc(66.25), e x trunc(191.75).
    EXPECT_EQ(colours.colourMap[84], Rgb(2, 65, 190));
    EXPECT_EQ(colours.colourMap[85], Rgb(0, 64, 191));
    EXPECT_EQ(colours.colourMap[169], Rgb(252, 252, 2));
    EXPECT_EQ(colours.colourMap[170], Rgb(255, 255, 0));
    EXPECT_EQ(colours.colourMap[254], Rgb(255, 3, 0));
    EXPECT_EQ(colours.colourMap[255], colours.colourMap[254]);
}

TEST(ColourMap, RainbowEveryEntry)
{
    ColourScheme colours;
    colours.BuildColourMap(ColourScheme::RainbowMap);
    ASSERT_EQ(colours.colourMapCount, 1274);
    ASSERT_EQ(colours.colourMap.size(), 1275u);
    for (int i = 0; i < 255; ++i) {
        EXPECT_EQ(colours.colourMap[i], Rgb(0, 0, i));
        EXPECT_EQ(colours.colourMap[255 + i], Rgb(i, 0, 255));
        EXPECT_EQ(colours.colourMap[510 + i], Rgb(255, 0, 255 - i));
        EXPECT_EQ(colours.colourMap[765 + i], Rgb(255, i, 0));
        EXPECT_EQ(colours.colourMap[1020 + i], Rgb(255, 255, i));
    }
}

TEST(ColourMap, IronTable)
{
    ColourScheme colours;
    colours.BuildColourMap(ColourScheme::IronMap);
    ASSERT_EQ(colours.colourMapCount, 120);
    ASSERT_EQ(colours.colourMap.size(), 121u);
    struct Entry {
        int index, r, g, b;
    } entries[] = {{0, 0, 0, 0},        {1, 0, 0, 36},        {7, 7, 0, 106},      {8, 11, 0, 115},
                   {36, 175, 1, 152},   {59, 229, 68, 25},    {64, 236, 86, 8},    {73, 244, 116, 0},
                   {95, 254, 202, 1},   {100, 255, 219, 15},  {111, 255, 244, 149}, {119, 255, 255, 249},
                   {120, 255, 255, 249}};
    for (const Entry& e : entries)
        EXPECT_EQ(colours.colourMap[e.index], Rgb(e.r, e.g, e.b)) << e.index;
}

TEST(ColourMap, BwDrawsBlackAtTheBottomAndNearWhiteAtTheTop)
{
    ColourScheme colours;
    colours.Apply(ColourScheme::BW);
    EXPECT_EQ(colours.MapColour(0), Rgb(0, 0, 0));
    EXPECT_EQ(colours.MapColour(colours.colourMapCount), Rgb(254, 254, 254));
    EXPECT_EQ(colours.MapColour(128), Rgb(128, 128, 128));
    // Values outside the range clamp to the ends.
    EXPECT_EQ(colours.MapColour(-5), Rgb(0, 0, 0));
    EXPECT_EQ(colours.MapColour(100000), Rgb(254, 254, 254));
}

// The pieces a graph window is made of, on their own: the view's display
// data taking over analysis results, and the zoom state's ranges.

#include "views/cursorzoom.h"
#include "views/viewdisplay.h"
#include "widgets/cursorwnd.h"

#include <QWidget>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

ViewData Made(int points, float value)
{
    ViewData data;
    data.outcome = ViewData::Outcome::Made;
    data.Size(points, false);
    std::fill(data.display[0].begin(), data.display[0].begin() + points, value);
    data.pointCount = points;
    data.xStep = 0.5f;
    data.xStart = -1.0;
    data.slotActive = {true, false};
    return data;
}

} // namespace

TEST(ViewDisplayTest, AdoptSwapsArraysAndTakesScales)
{
    ViewDisplay display;
    display.Size(4, false);
    const float* shownBefore = display.Display(0);
    ViewData data = Made(8, 3.0f);
    const float* made = data.display[0].data();
    display.Adopt(data);
    // No copy: the made array is shown, the old one goes back for reuse.
    EXPECT_EQ(display.Display(0), made);
    EXPECT_EQ(data.display[0].data(), shownBefore);
    EXPECT_EQ(display.PointCount(), 8);
    EXPECT_DOUBLE_EQ(display.XAt(4), 1.0); // -1 + 4 × 0.5
    EXPECT_TRUE(display.SlotShown(0));
    EXPECT_FALSE(display.SlotShown(1));
    EXPECT_EQ(display.ShownSlotCount(), 1);
}

TEST(ViewDisplayTest, UnitsConvertOnlyWhenTheAnalysisChangesThem)
{
    ViewDisplay display;
    ViewData data = Made(2, 0.0f);
    data.SetUnit(0, "V");
    display.Adopt(data);
    EXPECT_EQ(display.CustomUnit(0), QStringLiteral("V"));
    // A unit the view sets itself stays while the analysis repeats its own.
    display.SetCustomUnit(0, QStringLiteral("norm"));
    display.Adopt(data);
    EXPECT_EQ(display.CustomUnit(0), QStringLiteral("norm"));
    data.SetUnit(0, "Pa");
    display.Adopt(data);
    EXPECT_EQ(display.CustomUnit(0), QStringLiteral("Pa"));
    // An array without a unit set keeps what it had.
    ViewData plain = Made(2, 0.0f);
    display.Adopt(plain);
    EXPECT_EQ(display.CustomUnit(0), QStringLiteral("Pa"));
}

TEST(ViewDisplayTest, SizeGrowsOnlyAndMarksTheChange)
{
    ViewDisplay display;
    display.Size(10, true);
    display.SetRows(3);
    const unsigned generation = display.Generation();
    display.Size(5, false);
    EXPECT_EQ(display.PointCount(), 5);
    EXPECT_EQ(display.Rows(), 1);
    EXPECT_GE(display.ArraySize(0), 10u); // never shrinks
    EXPECT_NE(display.Generation(), generation);
    EXPECT_EQ(display.DrawArray(1), 1);
    display.SetSplit(ViewDisplay::SplitLower);
    EXPECT_EQ(display.DrawArray(1), 3);
}

TEST(ViewDisplayTest, ExtremesOfTheShownPoints)
{
    ViewDisplay display;
    display.Size(5, false);
    const float values[5] = {1.0f, -2.0f, 7.0f, 7.0f, 0.0f};
    std::copy(values, values + 5, display.Display(0));
    EXPECT_EQ(display.MaxIndex(0), 2); // the first of equal maxima
    EXPECT_EQ(display.MinIndex(0), 1);
    // Arrays 2 and 3 were never sized: nothing to search.
    EXPECT_EQ(display.MaxIndex(2), -1);
    EXPECT_EQ(display.MinIndex(3), -1);
}

TEST(CursorZoomTest, ZoomToBandAndBack)
{
    QWidget window;
    CursorZoom zoom(&window);
    const QRect plot(100, 50, 400, 200); // x 100 .. 500, y 50 .. 250
    AxisTransform x = AxisTransform::Horizontal(0.0, 40.0, 100, 500);
    std::array<AxisTransform, 2> y{AxisTransform::Vertical(-10.0, 10.0, 50, 250),
                                   AxisTransform::Vertical(0.0, 1.0, 50, 250)};
    // Columns 200 .. 300 of the plot are values 10 .. 20; full height.
    zoom.ZoomTo(QRect(200, 50, 100, 200), plot, x, y);
    EXPECT_TRUE(zoom.XZoomed());
    EXPECT_FALSE(zoom.YZoomed());
    EXPECT_NEAR(x.min, 10.0, 1e-9);
    EXPECT_NEAR(x.max, 20.0, 1e-9);
    // Zooming again keeps the first range to return to.
    x = AxisTransform::Horizontal(x.min, x.max, 100, 500);
    zoom.KeepUnzoomedX(x);
    zoom.ZoomTo(QRect(100, 100, 400, 50), plot, x, y);
    EXPECT_TRUE(zoom.YZoomed());
    EXPECT_NEAR(y[0].max, 5.0, 1e-9); // row 100 of 50 .. 250 over -10 .. 10
    EXPECT_NEAR(y[0].min, 0.0, 1e-9);
    EXPECT_NEAR(y[1].max, 0.75, 1e-9);
    EXPECT_TRUE(zoom.ResetX(x));
    EXPECT_DOUBLE_EQ(x.min, 0.0);
    EXPECT_DOUBLE_EQ(x.max, 40.0);
    EXPECT_FALSE(zoom.ResetX(x));
    EXPECT_TRUE(zoom.ResetY());
    EXPECT_FALSE(zoom.YZoomed());
}

TEST(CursorZoomTest, WheelKeepsTheRangeToReturnTo)
{
    QWidget window;
    CursorZoom zoom(&window);
    AxisTransform x = AxisTransform::Horizontal(0.0, 40.0, 100, 500);
    zoom.WheelZoomX(x, 120, 300);
    EXPECT_TRUE(zoom.XZoomed());
    EXPECT_DOUBLE_EQ(zoom.UnzoomedXMin(), 0.0);
    EXPECT_DOUBLE_EQ(zoom.UnzoomedXMax(), 40.0);
    EXPECT_LT(x.max - x.min, 40.0);
    zoom.WheelZoomX(x, 120, 300);
    EXPECT_DOUBLE_EQ(zoom.UnzoomedXMax(), 40.0);
}

TEST(CursorZoomTest, CursorsAndTheDeltaBox)
{
    QWidget window;
    window.resize(600, 300);
    CursorZoom zoom(&window);
    const QRect plot(100, 50, 400, 200);
    EXPECT_TRUE(zoom.Add(150, 1.0, QStringLiteral("s"), nullptr, plot, false));
    EXPECT_EQ(zoom.DeltaBox(), nullptr);
    EXPECT_TRUE(zoom.Add(250, 2.0, QStringLiteral("s"), nullptr, plot, false));
    ASSERT_NE(zoom.DeltaBox(), nullptr);
    EXPECT_TRUE(zoom.Add(350, 3.0, QStringLiteral("s"), nullptr, plot, false));
    zoom.Delete(0);
    EXPECT_EQ(zoom.Count(), 2);
    EXPECT_EQ(zoom.At(2), nullptr);
    EXPECT_DOUBLE_EQ(zoom.At(0)->XValue(), 2.0); // the later ones move up
    EXPECT_NE(zoom.DeltaBox(), nullptr);
    zoom.Delete(1);
    EXPECT_EQ(zoom.Count(), 1);
    EXPECT_EQ(zoom.DeltaBox(), nullptr);
    EXPECT_EQ(zoom.At(-1), nullptr);
}

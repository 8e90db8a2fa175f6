// The graph window base driven as a user drives it: clicks, drags, wheel
// turns and the pop-ups' messages, offscreen.

#include "testgraph.h"

#include "context/appcontext.h"
#include "context/analysisrecord.h"
#include "platform/appmessage.h"
#include "platform/textarchive.h"
#include "views/plotlayout.h"
#include "widgets/cursorwnd.h"
#include "widgets/deltabox.h"
#include "widgets/zoomband.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

void Wheel(QWidget* widget, int delta, QPoint pos)
{
    QWheelEvent event(QPointF(pos), QPointF(widget->mapToGlobal(pos)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

void Move(QWidget* widget, QPoint pos, bool leftHeld)
{
    QMouseEvent event(QEvent::MouseMove, QPointF(pos), QPointF(widget->mapToGlobal(pos)), Qt::NoButton,
                      leftHeld ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

class GraphTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetContext();
        Ctx().colours.Apply(ColourScheme::Dark);
        graph = std::make_unique<TestGraph>();
        // x 0 .. 1 over ten divisions of 0.1; a ramp 0 .. 1 in slot 0.
        graph->SetPoints(1001, 0.0, 0.001);
        for (int k = 0; k <= 1000; ++k)
            graph->Display(0)[k] = float(k * 0.001);
        graph->Show(true);
        graph->Render();
        plot = graph->PlotRect();
    }
    void TearDown() override
    {
        graph.reset();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    int PixelOf(double x) const { return graph->XTransform().Pixel(x); }
    void Click(QPoint press, QPoint release)
    {
        QTest::mousePress(graph.get(), Qt::LeftButton, {}, press);
        QTest::mouseRelease(graph.get(), Qt::LeftButton, {}, release);
    }

    std::unique_ptr<TestGraph> graph;
    QRect plot;
};

TEST_F(GraphTest, RubberBandThresholds)
{
    const QPoint press = plot.center();
    QTest::mousePress(graph.get(), Qt::LeftButton, {}, press);
    Move(graph.get(), press + QPoint(10, 12), true);
    EXPECT_EQ(graph->RubberBand(), nullptr);
    Move(graph.get(), press + QPoint(17, 3), true);
    ASSERT_NE(graph->RubberBand(), nullptr);
    EXPECT_EQ(graph->RubberBand()->Band(), PlotLayout::FromEdges(press.x(), plot.y(), press.x() + 17, plot.y() + plot.height()));
    // A press while a band exists only removes the band.
    QTest::mousePress(graph.get(), Qt::LeftButton, {}, press);
    EXPECT_EQ(graph->RubberBand(), nullptr);
    QTest::mouseRelease(graph.get(), Qt::LeftButton, {}, press);

    QTest::mousePress(graph.get(), Qt::LeftButton, {}, press);
    Move(graph.get(), press + QPoint(20, 20), true);
    ASSERT_NE(graph->RubberBand(), nullptr);
    EXPECT_EQ(graph->RubberBand()->Band(), QRect(press, QSize(20, 20)));
}

TEST_F(GraphTest, AcceptedBandZoomsToItsRectangle)
{
    const QPoint press(PixelOf(0.2), plot.y() + 50);
    QTest::mousePress(graph.get(), Qt::LeftButton, {}, press);
    Move(graph.get(), QPoint(PixelOf(0.6), plot.y() + 53), true); // horizontal band
    ASSERT_NE(graph->RubberBand(), nullptr);
    SendAppMessage(graph.get(), CGraphWnd::kMsgZoomDone, 1, 0);
    EXPECT_EQ(graph->RubberBand(), nullptr);
    EXPECT_TRUE(graph->XZoomed());
    EXPECT_FALSE(graph->YZoomed()); // the band spans the full height
    EXPECT_NEAR(graph->XTransform().min, 0.2, 0.002);
    EXPECT_NEAR(graph->XTransform().max, 0.6, 0.002);
    graph->Render();
    EXPECT_NEAR(graph->XTransform().min, 0.2, 0.002); // drawing keeps the zoom
    EXPECT_FALSE(graph->ResetButton(0).isEmpty());
    // Release on "X-xpnd" returns to the first range.
    Click(graph->ResetButton(0).center(), graph->ResetButton(0).center());
    EXPECT_FALSE(graph->XZoomed());
    EXPECT_DOUBLE_EQ(graph->XTransform().min, 0.0);
    EXPECT_DOUBLE_EQ(graph->XTransform().max, 1.0);
}

TEST_F(GraphTest, RejectedBandOnlyGoes)
{
    QTest::mousePress(graph.get(), Qt::LeftButton, {}, plot.center());
    Move(graph.get(), plot.center() + QPoint(30, 30), true);
    SendAppMessage(graph.get(), CGraphWnd::kMsgZoomDone, 0, 0);
    EXPECT_EQ(graph->RubberBand(), nullptr);
    EXPECT_FALSE(graph->XZoomed());
    EXPECT_FALSE(graph->YZoomed());
}

TEST_F(GraphTest, ClicksAddCursorsTheSecondBringsTheDeltaBox)
{
    const QPoint at(PixelOf(0.25), plot.center().y());
    Click(at, at + QPoint(3, 0));
    ASSERT_EQ(graph->CursorCount(), 1);
    EXPECT_NEAR(graph->Cursor(0)->XValue(), 0.25, 0.002);
    EXPECT_EQ(graph->DeltaBox(), nullptr);
    // 4 pixels is a drag, not a click.
    Click(at + QPoint(100, 0), at + QPoint(104, 0));
    EXPECT_EQ(graph->CursorCount(), 1);

    const QPoint second(PixelOf(0.75), plot.center().y());
    Click(second, second);
    ASSERT_EQ(graph->CursorCount(), 2);
    ASSERT_NE(graph->DeltaBox(), nullptr);
    // The ramp's value is its x: both differences are the cursors' distance.
    const double dx = graph->Cursor(1)->XValue() - graph->Cursor(0)->XValue();
    EXPECT_NEAR(dx, 0.5, 0.004);
    EXPECT_TRUE(graph->DeltaBox()->Title().startsWith(QStringLiteral("X")));
    EXPECT_TRUE(graph->DeltaBox()->SlotText(0).startsWith(QStringLiteral("Y")));
    EXPECT_TRUE(graph->DeltaBox()->SlotText(0).contains(QStringLiteral("m"))); // about 500 m
    EXPECT_TRUE(graph->DeltaBox()->SlotText(1).isEmpty()); // slot 1 is not active

    // Deleting the first renumbers the second to 0 and the box goes.
    CCursorWnd* remaining = graph->Cursor(1);
    SendAppMessage(graph.get(), CGraphWnd::kMsgCursorCommand, 0, 0);
    ASSERT_EQ(graph->CursorCount(), 1);
    EXPECT_EQ(graph->Cursor(0), remaining);
    EXPECT_EQ(remaining->Number(), 0);
    EXPECT_EQ(graph->DeltaBox(), nullptr);
}

TEST_F(GraphTest, NothingToShowIgnoresClicks)
{
    graph->SizeDisplay(0, false);
    Click(plot.center(), plot.center());
    EXPECT_EQ(graph->CursorCount(), 0);
}

TEST_F(GraphTest, CursorCommandsAndMessages)
{
    for (int k = 0; k <= 1000; ++k)
        graph->Display(0)[k] = float(std::sin(2 * 3.14159265358979 * k / 1000.0)); // max at 250, min at 750
    Click(plot.center(), plot.center());
    SendAppMessage(graph.get(), CGraphWnd::kMsgCursorCommand, 0, 2);
    EXPECT_NEAR(graph->Cursor(0)->XValue(), 0.25, 1e-6);
    SendAppMessage(graph.get(), CGraphWnd::kMsgCursorCommand, 0, 3);
    EXPECT_NEAR(graph->Cursor(0)->XValue(), 0.75, 1e-6);
    SendAppMessage(graph.get(), CGraphWnd::kMsgCursorCommand, 0, 4);
    EXPECT_TRUE(graph->Cursor(0)->PeakTracking());
    SendAppMessage(graph.get(), CGraphWnd::kMsgCursorCommand, 0, 4);
    EXPECT_FALSE(graph->Cursor(0)->PeakTracking());
    // 102 moves the cursor to the value under the pixel.
    SendAppMessage(graph.get(), CGraphWnd::kMsgCursorMoved, 0, PixelOf(0.5));
    EXPECT_NEAR(graph->Cursor(0)->XValue(), 0.5, 0.002);
    // Commands for cursors that do not exist do nothing.
    SendAppMessage(graph.get(), CGraphWnd::kMsgCursorCommand, 5, 0);
    EXPECT_EQ(graph->CursorCount(), 1);
}

TEST_F(GraphTest, PeakNearCursorLinearAndDb)
{
    // A peak at x = 0.5 (index 500), falling 0.1 per index on both sides.
    for (int k = 0; k <= 1000; ++k)
        graph->Display(0)[k] = float(std::max(0.0, 1.0 - std::abs(k - 500) * 0.1));
    const QPoint at(PixelOf(0.499), plot.center().y());
    Click(at, at);
    // Linear: below 1/sqrt(2) 3 indices away: width 6 steps, quality 0.5 / 0.006.
    EXPECT_NEAR(graph->PeakNearCursor(0, 0), 0.5 / 0.006, 0.01);
    EXPECT_NEAR(graph->Cursor(0)->XValue(), 0.5, 1e-6);
    // In dB: 1 dB per index, below -3 dB 4 indices away: width 8 steps.
    for (int k = 0; k <= 1000; ++k)
        graph->Display(0)[k] = float(-std::abs(k - 500) * 1.0);
    graph->SetLevelsInDb(true);
    EXPECT_NEAR(graph->PeakNearCursor(0, 0), 0.5 / 0.008, 0.01);
}

TEST_F(GraphTest, AutomaticCursorsFollowTheMaxima)
{
    for (int k = 0; k <= 1000; ++k)
        graph->Display(0)[k] = float(-(k - 300) * (k - 300));
    Click(plot.center(), plot.center());
    graph->FollowMaxima();
    EXPECT_NEAR(graph->Cursor(0)->XValue(), 0.5, 0.002); // manual: stays
    graph->SetAutomaticCursors(true);
    graph->FollowMaxima();
    EXPECT_NEAR(graph->Cursor(0)->XValue(), 0.3, 1e-6);
}

// A graph that notes the scales it draws.
class ScaleRecordingGraph : public TestGraph {
public:
    struct Scale {
        double min, max, major;
    };
    std::vector<Scale> x, y;

    void DrawXAxis(QPainter& painter, int left, int top, int right, int bottom, float xMin, float xMax, double major,
                   double minor, const QString& unit, bool grid) override
    {
        x.push_back({xMin, xMax, major});
        TestGraph::DrawXAxis(painter, left, top, right, bottom, xMin, xMax, major, minor, unit, grid);
    }
    void DrawYAxis(QPainter& painter, int ax, int top, int x2, int bottom, float yMin, float yMax, double major,
                   double minor, const QColor& colour, const QString& unit, bool grid, int axis, int flags) override
    {
        y.push_back({yMin, yMax, major});
        TestGraph::DrawYAxis(painter, ax, top, x2, bottom, yMin, yMax, major, minor, colour, unit, grid, axis, flags);
    }
};

// Labelled majors within a scale's range.
int MajorsWithin(const ScaleRecordingGraph::Scale& scale)
{
    const double tolerance = (scale.max - scale.min) * 1e-6;
    return int(std::floor((scale.max + tolerance) / scale.major) - std::ceil((scale.min - tolerance) / scale.major))
        + 1;
}

// A zoom into less than a division grids the zoomed axes afresh: several
// labelled divisions instead of one lone label.
TEST(GraphZoomTest, ZoomedAxesShowSeveralLabelledDivisions)
{
    ResetContext();
    ScaleRecordingGraph graph;
    graph.SetPoints(1001, -0.5, 0.001); // -0.5 .. 0.5, 0.1 per division
    graph.xStart = -0.5;
    for (int k = 0; k <= 1000; ++k)
        graph.Display(0)[k] = float(std::sin(k * 0.01));
    graph.Show(true);
    graph.Render();
    // A band from -0.002 to 0.002 and over a tenth of a division in y.
    const int left = graph.XTransform().Pixel(-0.002), right = graph.XTransform().Pixel(0.002);
    const int top = graph.YTransform(0).Pixel(0.33), bottom = graph.YTransform(0).Pixel(0.31);
    graph.ZoomToRect(left, top, right, bottom);
    ASSERT_TRUE(graph.XZoomed() && graph.YZoomed());
    graph.x.clear();
    graph.y.clear();
    graph.Render();
    ASSERT_FALSE(graph.x.empty());
    ASSERT_FALSE(graph.y.empty());
    EXPECT_GE(MajorsWithin(graph.x.back()), 4);
    EXPECT_LE(MajorsWithin(graph.x.back()), 11);
    EXPECT_GE(MajorsWithin(graph.y.back()), 4);
    EXPECT_LE(MajorsWithin(graph.y.back()), 11);
    // Unzoomed, the panel's divisions stand.
    graph.Rescale(-1);
    graph.x.clear();
    graph.Render();
    EXPECT_DOUBLE_EQ(graph.x.back().major, 0.1);
}

// A cursor standing on a one-bin peak shows the peak to its top: the trace
// is drawn over the cursor's dotted line, not hidden by it.
TEST_F(GraphTest, CursorOnAPeakLeavesThePeakVisible)
{
    for (int k = 0; k <= 1000; ++k)
        graph->Display(0)[k] = 0.0f;
    graph->Display(0)[500] = 1.0f;
    graph->divisions[0] = 0.1;
    graph->offsets[0] = -0.5; // 0 .. 1
    graph->Render();
    const QPoint at(PixelOf(0.5), plot.center().y());
    Click(at, at);
    ASSERT_EQ(graph->CursorCount(), 1);
    const QImage image = graph->grab().toImage();
    const QColor trace = Ctx().colours.trace1;
    // Rows from 0.8 up to 0.97 of the peak, at the cursor's line.
    const int column = graph->Cursor(0)->x() + CCursorWnd::kWidth / 2;
    for (double level = 0.8; level < 0.97; level += 0.01) {
        const int row = graph->YTransform(0).Pixel(level);
        bool seen = false;
        for (int c = column - 1; c <= column + 1; ++c)
            seen = seen || image.pixelColor(c, row) == trace;
        EXPECT_TRUE(seen) << "level " << level;
    }
}

// In the "Harmonic" mode a cursor at f marks 2f, 3f, ... in its red.
TEST_F(GraphTest, HarmonicCursorMarksTheHarmonicsOfItsFrequency)
{
    const QPoint at(PixelOf(0.1), plot.center().y());
    Click(at, at);
    ASSERT_EQ(graph->CursorCount(), 1);
    EXPECT_EQ(graph->HarmonicsShown(graph->Cursor(0)->XValue()).size(), 9u); // 2f … 10f
    auto redInColumn = [&](double x) {
        const QImage& image = graph->BackBuffer();
        const int column = int(std::round(graph->XTransform().PixelF(x)));
        int red = 0;
        for (int row = plot.y(); row < plot.y() + plot.height(); ++row)
            red += image.pixelColor(column, row) == CCursorWnd::kLineColour;
        return red;
    };
    graph->Render();
    EXPECT_EQ(redInColumn(0.3), 0); // manual: no marks
    graph->SetHarmonicCursors(true);
    graph->Render();
    const double f = graph->Cursor(0)->XValue();
    for (int k : {2, 3, 7, 10})
        EXPECT_GT(redInColumn(k * f), plot.height() / 4) << k;
    EXPECT_EQ(redInColumn(2.5 * f), 0);
}

TEST_F(GraphTest, WheelNotchOverTheScaleNarrowsToNinetyPercentAndXpndRestores)
{
    const QRect strip = graph->XScaleStrip();
    ASSERT_FALSE(strip.isEmpty());
    EXPECT_EQ(graph->MouseShapeAt(strip.center()), CGraphWnd::kScaleCursor);
    EXPECT_EQ(graph->MouseShapeAt(plot.center()), 0);
    const QPoint middle(PixelOf(0.5), strip.center().y());
    const double c = graph->XTransform().Value(middle.x());
    Wheel(graph.get(), 120, middle);
    EXPECT_TRUE(graph->XZoomed());
    EXPECT_NEAR(graph->XTransform().max - graph->XTransform().min, 0.9, 1e-9);
    EXPECT_NEAR(graph->XTransform().min, c - 0.9 * c, 1e-9);
    Wheel(graph.get(), 120, middle);
    graph->Render();
    EXPECT_NEAR(graph->XTransform().max - graph->XTransform().min, 0.81, 1e-3);
    const QPoint xpnd = graph->ResetButton(0).center();
    Click(xpnd, xpnd);
    EXPECT_FALSE(graph->XZoomed());
    EXPECT_DOUBLE_EQ(graph->XTransform().min, 0.0);
    EXPECT_DOUBLE_EQ(graph->XTransform().max, 1.0);
}

TEST_F(GraphTest, WheelOverTheColourScaleStepsTheMapOfTheProcess)
{
    AnalysisRecord record;
    record.hop = 512;
    auto capture = std::make_shared<CaptureRecord>();
    capture->sampleInterval = 1.0 / 1024;
    record.capture = capture;
    record.averages = 4;
    graph->SetRecord(&record);
    graph->SetColourMapDrawing(true);
    graph->SetPoints(4 * 1001, 0.0, 0.001);
    graph->SizeDisplay(1001, false);
    graph->Render();
    const QRect area = graph->ColourScaleArea(0);
    ASSERT_FALSE(area.isEmpty());
    EXPECT_EQ(graph->MouseShapeAt(area.center()), CGraphWnd::kColourScaleCursor);
    Move(graph.get(), area.center(), false);
    EXPECT_EQ(graph->cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(graph->ColourMapType(), 0);
    Wheel(graph.get(), 120, area.center());
    EXPECT_EQ(graph->ColourMapType(), 3);
    EXPECT_EQ(Ctx().colours.colourMapType, 3);
    Wheel(graph.get(), -120, area.center());
    Wheel(graph.get(), -120, area.center());
    EXPECT_EQ(Ctx().colours.colourMapType, 1);
}

TEST_F(GraphTest, ShowHidesCursorsAndTheDeltaBox)
{
    Click(QPoint(PixelOf(0.2), 100), QPoint(PixelOf(0.2), 100));
    Click(QPoint(PixelOf(0.4), 100), QPoint(PixelOf(0.4), 100));
    graph->Show(false);
    EXPECT_FALSE(graph->IsActive());
    EXPECT_FALSE(graph->Cursor(0)->isVisible());
    EXPECT_FALSE(graph->DeltaBox()->isVisible());
    graph->Show(true);
    EXPECT_TRUE(graph->Cursor(1)->isVisible());
    EXPECT_TRUE(graph->DeltaBox()->isVisible());
}

TEST_F(GraphTest, SettingsLinesRoundTrip)
{
    QByteArray bytes;
    {
        TextArchive out;
        out.OpenBuffer(&bytes, TextArchive::Mode::Store);
        graph->SetFirst(false);
        graph->Serialize(out);
        out.Close();
    }
    EXPECT_EQ(bytes, QByteArray("Active:1\r\nFirst:0\r\n"));

    QByteArray block("Active:0\r\nFirst:1\r\nFoo:$1\r\n}\r\nNext\r\n");
    TextArchive in;
    in.OpenBuffer(&block, TextArchive::Mode::Load);
    graph->Serialize(in);
    EXPECT_FALSE(graph->IsActive());
    EXPECT_TRUE(graph->First());
    QString line;
    ASSERT_TRUE(in.ReadLine(line)); // the block's "}" was consumed
    EXPECT_EQ(line, QStringLiteral("Next"));

    // Lines that are not the two flags are taken and leave the flags alone.
    QByteArray odd("Xyz:1\r\nFirst:0\r\n}\r\n");
    TextArchive in2;
    in2.OpenBuffer(&odd, TextArchive::Mode::Load);
    graph->Serialize(in2);
    EXPECT_FALSE(graph->IsActive());
    EXPECT_FALSE(graph->First());
}

TEST_F(GraphTest, SharedAxisForEqualRangesSeparateOtherwise)
{
    graph->SetSlotActive(1, true);
    graph->SizeDisplay(1001, false);
    graph->Render();
    // One shared axis: both slots map values alike.
    EXPECT_EQ(graph->YTransform(0).Pixel(1.0), graph->YTransform(1).Pixel(1.0));
    graph->divisions[1] = 2.0;
    graph->Render();
    EXPECT_EQ(graph->YTransform(1).min, -10.0);
    EXPECT_NE(graph->YTransform(0).Pixel(1.0), graph->YTransform(1).Pixel(1.0));
}

TEST_F(GraphTest, NoActiveSlotDrawsNothing)
{
    graph->SetSlotActive(0, false);
    graph->Render();
    const QImage& buffer = graph->BackBuffer();
    const QRgb background = Ctx().colours.graphBackground.rgb();
    for (int y = 0; y < buffer.height(); y += 3)
        for (int x = 0; x < buffer.width(); x += 3)
            ASSERT_EQ(buffer.pixel(x, y), background) << x << "," << y;
}

TEST_F(GraphTest, TraceIsDrawnWhereTheTransformPutsIt)
{
    graph->Render();
    // The ramp value 0.5 at x 0.5: offset 0 and 1 per division put it half a
    // division above the middle.
    const QImage& buffer = graph->BackBuffer();
    const int x = PixelOf(0.5);
    const int y = graph->YTransform(0).Pixel(0.5);
    bool found = false;
    for (int dy = -1; dy <= 1 && !found; ++dy)
        found = QColor(buffer.pixel(x, y + dy)) == Ctx().colours.trace1;
    EXPECT_TRUE(found);
}

} // namespace

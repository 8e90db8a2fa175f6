// The arithmetic of the plots: layout, rubber band forms, label rules,
// 1-2-5 divisions, min/max decimation, peak search, traces and the
// spectrogram image.

#include "views/axislabels.h"
#include "views/axistransform.h"
#include "views/decimateminmax.h"
#include "views/peaksearch.h"
#include "views/plotlayout.h"
#include "views/rescaledivisions.h"
#include "views/colourmapimage.h"
#include "views/tracepolyline.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using PlotLayout::FromEdges;

TEST(PlotLayoutTest, PlotRectangles)
{
    const QRect client(0, 0, 800, 600);
    struct Case {
        int split;
        bool cascade;
        QRect plot;
    } cases[] = {
        {0, false, FromEdges(120, 40, 784, 560)},
        {1, false, FromEdges(120, 40, 784, 280)}, // upper half ends 20 above the middle
        {2, false, FromEdges(120, 322, 784, 560)},
        {0, true, FromEdges(120, 190, 584, 560)}, // lower left three quarters first
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlotLayout::Plot(client, c.split, c.cascade), c.plot) << c.split << " " << c.cascade;
    // The two halves of a split page never overlap.
    EXPECT_LT(PlotLayout::BottomEdge(PlotLayout::Plot(client, 1, false)), PlotLayout::Plot(client, 2, false).y());
}

TEST(PlotLayoutTest, LegendStripsMeetInTheMiddleAboveThePlot)
{
    const auto strips = PlotLayout::LegendStrips(FromEdges(120, 40, 784, 560));
    EXPECT_EQ(strips[0], FromEdges(120, 20, 444, 36));
    EXPECT_EQ(strips[1], FromEdges(460, 20, 784, 36));
}

TEST(PlotLayoutTest, CascadeSegmentsClimbToAQuarter)
{
    const QRect front = FromEdges(100, 200, 500, 600);
    EXPECT_EQ(PlotLayout::CascadeSegment(front, 0, 8), front);
    // Segment D would be a quarter of the size away; D - 1 lies just short of it.
    const QRect back = PlotLayout::CascadeSegment(front, 7, 8);
    EXPECT_EQ(back, FromEdges(187, 112, 587, 512)); // 87.5 up: 112.5 and 512.5 truncated
}

TEST(PlotLayoutTest, RubberBandForms)
{
    const QRect plot = FromEdges(120, 40, 784, 560);
    const QPoint press(300, 300);
    QRect band;
    EXPECT_FALSE(PlotLayout::RubberBand(press, press + QPoint(10, 12), plot, &band));
    EXPECT_FALSE(PlotLayout::RubberBand(press, press + QPoint(16, 16), plot, &band));
    ASSERT_TRUE(PlotLayout::RubberBand(press, press + QPoint(17, 3), plot, &band));
    EXPECT_EQ(band, FromEdges(300, 40, 317, 560)); // full plot height
    ASSERT_TRUE(PlotLayout::RubberBand(press, press + QPoint(3, -17), plot, &band));
    EXPECT_EQ(band, FromEdges(120, 283, 784, 300)); // full plot width
    ASSERT_TRUE(PlotLayout::RubberBand(press, press + QPoint(20, 20), plot, &band));
    EXPECT_EQ(band, FromEdges(300, 300, 320, 320));
    ASSERT_TRUE(PlotLayout::RubberBand(press, press + QPoint(-20, -9), plot, &band));
    EXPECT_EQ(band, FromEdges(280, 291, 300, 300)); // normalised
}

TEST(AxisLabelsTest, LabelFormats)
{
    struct Case {
        double step;
        const char* format;
    } cases[] = {{1, "%2.0f"}, {2, "%2.0f"}, {10, "%3.0f"}, {250, "%4.0f"}, {0.5, "%5.1f"},
                 {0.1, "%5.1f"}, {0.05, "%5.2f"}, {0.002, "%5.3f"}, {0, "%g"}};
    for (const Case& c : cases)
        EXPECT_EQ(AxisLabels::LabelFormat(c.step), QString::fromLatin1(c.format)) << c.step;
    EXPECT_EQ(AxisLabels::FormatLabel(QStringLiteral("%5.2f"), 0.05), QStringLiteral("0.05"));
}

TEST(AxisLabelsTest, XLabelsPlainUpTo1000ThenKiloAndMilliUpTo01)
{
    EXPECT_EQ(AxisLabels::XLabelFactor(999.0), 1.0);
    EXPECT_EQ(AxisLabels::XLabelFactor(1000.0), 0.001);
    EXPECT_EQ(AxisLabels::XLabelPrefix(AxisLabels::XLabelFactor(20000.0)), QStringLiteral("k"));
    EXPECT_EQ(AxisLabels::XLabelFactor(0.11), 1.0);
    EXPECT_EQ(AxisLabels::XLabelFactor(0.1), 1000.0);
    EXPECT_EQ(AxisLabels::XLabelPrefix(AxisLabels::XLabelFactor(0.02)), QStringLiteral("m"));
    EXPECT_EQ(AxisLabels::XLabelPrefix(1.0), QString());
}

TEST(AxisLabelsTest, YPrefixes)
{
    struct Case {
        double first, last;
        const char* prefix;
        int exponent;
    } cases[] = {{-5e6, 5e6, "M", 6}, {0, 2000, "k", 3}, {-1100, 1100, "", 0}, {-5, 5, "", 0},
                 {0, 0.5, "m", -3},   {-0.0009, 0, "m", -3}, {0, 0.0005, "u", -6}};
    for (const Case& c : cases) {
        const AxisLabels::YPrefix p = AxisLabels::ChooseYPrefix(c.first, c.last);
        EXPECT_STREQ(p.prefix, c.prefix) << c.last;
        EXPECT_EQ(p.exponent, c.exponent) << c.last;
        EXPECT_DOUBLE_EQ(p.factor, std::pow(10.0, -c.exponent)) << c.last;
    }
}

// Labels of a squared unit count the square of a prefixed root: a scale to
// 4e-6 V² reads 0 … 4 in (mVrms)², never "mVrms²" for thousandths of V².
TEST(AxisLabelsTest, SquaredUnitsScaleByTheSquareOfTheRootPrefix)
{
    const QString unit = QStringLiteral("Vrms\u00B2/Hz");
    const AxisLabels::YPrefix milli = AxisLabels::ChooseYPrefix(0, 4e-6, unit);
    EXPECT_STREQ(milli.prefix, "m");
    EXPECT_EQ(milli.exponent, -6);
    EXPECT_DOUBLE_EQ(milli.factor, 1e6);
    const AxisLabels::YPrefix none = AxisLabels::ChooseYPrefix(0, 0.5, unit); // labels 0 … 0.5
    EXPECT_STREQ(none.prefix, "");
    EXPECT_DOUBLE_EQ(none.factor, 1.0);
    const AxisLabels::YPrefix kilo = AxisLabels::ChooseYPrefix(0, 4e9, unit); // 4000 (kVrms)²
    EXPECT_STREQ(kilo.prefix, "k");
    EXPECT_EQ(kilo.exponent, 6);
    EXPECT_DOUBLE_EQ(kilo.factor, 1e-6);
    const AxisLabels::YPrefix plain = AxisLabels::ChooseYPrefix(-4, 4, unit);
    EXPECT_STREQ(plain.prefix, "");
    EXPECT_DOUBLE_EQ(plain.factor, 1.0);
    // Without a square the rule is the plain one.
    EXPECT_DOUBLE_EQ(AxisLabels::ChooseYPrefix(0, 4e-6, QStringLiteral("V")).factor, 1e6);
    EXPECT_STREQ(AxisLabels::ChooseYPrefix(0, 0.5, QStringLiteral("V")).prefix, "m");
}

TEST(AxisLabelsTest, RoundTo4HalvesAwayFromZero)
{
    EXPECT_DOUBLE_EQ(AxisLabels::RoundTo4(0.30000000000000004), 0.3);
    EXPECT_DOUBLE_EQ(AxisLabels::RoundTo4(-0.123456), -0.1235);
}

TEST(RescaleDivisionsTest, NiceSteps)
{
    struct Case {
        double e, nice;
    } cases[] = {{1, 2}, {1.5, 2}, {2, 2}, {2.1, 5}, {5, 5}, {5.1, 10}, {0.73, 1}, {0.04, 0.05}, {300, 500}};
    for (const Case& c : cases)
        EXPECT_NEAR(NiceDivision(c.e), c.nice, c.nice * 1e-12) << c.e;
}

TEST(RescaleDivisionsTest, ZeroAtBottomMiddleOrTop)
{
    double division = 3, offset = 7;
    const std::vector<float> positive = {0.0f, 2.0f, 7.3f};
    RescaleDivisions(positive.data(), int(positive.size()), division, offset);
    EXPECT_DOUBLE_EQ(division, 1.0);
    EXPECT_DOUBLE_EQ(offset, -5.0); // 0 .. 10 shown

    const std::vector<float> mixed = {-3.0f, 2.0f};
    RescaleDivisions(mixed.data(), int(mixed.size()), division, offset);
    EXPECT_DOUBLE_EQ(division, 1.0);
    EXPECT_DOUBLE_EQ(offset, 0.0); // -5 .. 5

    const std::vector<float> negative = {-0.4f, 0.0f};
    RescaleDivisions(negative.data(), int(negative.size()), division, offset);
    EXPECT_NEAR(division, 0.05, 1e-12);
    EXPECT_NEAR(offset, 0.25, 1e-12); // -0.5 .. 0

    const std::vector<float> zeros(5, 0.0f);
    RescaleDivisions(zeros.data(), int(zeros.size()), division, offset);
    EXPECT_NEAR(division, 0.05, 1e-12); // left as it was
    EXPECT_NEAR(offset, 0.25, 1e-12);
}

// Levels in dB: top at the largest level rounded up to tens, 10 dB per
// division (5 dB over 50 dB or less), levels over 100 dB below the top
// clipped, undefined levels left out.
TEST(RescaleDecibelsTest, TopInTensAndTheFloorClipped)
{
    const float nan = std::nanf(""), inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* what;
        std::vector<float> levels;
        double division, top;
    } cases[] = {
        {"1 V tone over a float noise floor", {-180.0f, -175.0f, -0.0000005f, -181.0f}, 10.0, 0.0},
        {"the same tone over a higher floor", {-150.0f, -0.0000005f, -149.0f}, 10.0, 0.0},
        {"tone at 3.5 dB", {-200.0f, 3.5f}, 10.0, 10.0},
        {"noise between -62 and -41 dB", {-62.0f, -41.0f, -50.0f}, 5.0, -40.0},
        {"a span of exactly 50 dB", {0.0f, -50.0f}, 5.0, 0.0},
        {"a span just over 50 dB", {0.0f, -50.5f}, 10.0, 0.0},
        {"all levels equal", {-20.0f, -20.0f, -20.0f}, 5.0, -20.0},
        {"NaN and -inf among them", {nan, -inf, -33.0f, -47.0f, inf}, 5.0, -30.0},
    };
    for (const Case& c : cases) {
        double division = 1.0, offset = 0.0;
        ASSERT_TRUE(RescaleDecibels(c.levels.data(), int(c.levels.size()), division, offset)) << c.what;
        EXPECT_DOUBLE_EQ(division, c.division) << c.what;
        // The top of the ten divisions is the top level.
        EXPECT_DOUBLE_EQ(5.0 * division - offset, c.top) << c.what;
    }
    // Nothing defined: the scale stays.
    const std::vector<float> undefined = {nan, -inf};
    double division = 2.0, offset = 3.0;
    EXPECT_FALSE(RescaleDecibels(undefined.data(), 2, division, offset));
    EXPECT_EQ(division, 2.0);
    EXPECT_EQ(offset, 3.0);
}

TEST(RescaleDecibelsTest, ZoomedAxesAreGriddedAfresh)
{
    // A ±2 ms zoom of a 2.5 ms division shows 1 ms steps: five labels.
    EXPECT_NEAR(ZoomedMajor(0.004, 0.0025), 0.001, 1e-15);
    EXPECT_NEAR(ZoomedMajor(3.0, 1.0), 0.5, 1e-15);
    EXPECT_NEAR(ZoomedMajor(1.2, 10.0), 0.2, 1e-15);
    // A range that still holds four divisions keeps them.
    EXPECT_DOUBLE_EQ(ZoomedMajor(8.0, 1.0), 1.0);
    EXPECT_DOUBLE_EQ(ZoomedMajor(0.0, 1.0), 1.0);
}

TEST(DecimateMinMaxTest, ThousandSamplesInto300Columns)
{
    std::vector<float> ramp(1000);
    for (int i = 0; i < 1000; ++i)
        ramp[i] = float(i);
    std::vector<float> pairs(2 * 300 + 2, -7.0f);
    const int n = DecimateMinMax(ramp.data(), 1000, 1000, pairs.data(), 300);
    EXPECT_GE(n, 299);
    EXPECT_LE(n, 300);
    EXPECT_EQ(pairs[2 * 300], -7.0f); // sentinel past the last possible pair
    EXPECT_EQ(pairs[0], 0.0f);
    int previousMax = -1;
    for (int p = 0; p < n; ++p) {
        // Consecutive pairs cover consecutive samples, 3 or 4 each (1000/300).
        EXPECT_EQ(pairs[2 * p], float(previousMax + 1)) << p;
        const int span = int(pairs[2 * p + 1] - pairs[2 * p]) + 1;
        EXPECT_TRUE(span == 3 || span == 4) << p << " " << span;
        previousMax = int(pairs[2 * p + 1]);
    }
}

TEST(DecimateMinMaxTest, FewerThanTwoSamplesPerColumnIsLeftToTheCaller)
{
    std::vector<float> values(1000, 1.0f), pairs(1200);
    EXPECT_EQ(DecimateMinMax(values.data(), 1000, 1000, pairs.data(), 600), -1);
    EXPECT_EQ(DecimateMinMax(values.data(), 1000, 1000, pairs.data(), 500), 500); // exactly two per column
}

TEST(DecimateMinMaxTest, OnlyTheLimitIsWalkedAndSpikesSurvive)
{
    std::vector<float> values(1000, 0.0f), pairs(600);
    values[123] = 5.0f;
    values[124] = -4.0f;
    values[900] = 9.0f; // beyond the limit
    const int n = DecimateMinMax(values.data(), 1000, 500, pairs.data(), 300);
    EXPECT_NEAR(n, 150, 1);
    float top = -1e9f, bottom = 1e9f;
    for (int p = 0; p < n; ++p) {
        top = std::max(top, pairs[2 * p + 1]);
        bottom = std::min(bottom, pairs[2 * p]);
    }
    EXPECT_EQ(top, 5.0f);
    EXPECT_EQ(bottom, -4.0f);
}

TEST(PeakSearchTest, SpanIsWidenedAndKeptInside)
{
    int lo = 10, hi = 12;
    PeakSearch::Span(lo, hi, 100);
    EXPECT_EQ(lo, 8);
    EXPECT_EQ(hi, 14);
    lo = 0, hi = 30;
    PeakSearch::Span(lo, hi, 100);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 30);
    lo = 97, hi = 99;
    PeakSearch::Span(lo, hi, 100);
    EXPECT_EQ(lo, 95);
    EXPECT_EQ(hi, 98); // never the last entry
}

TEST(PeakSearchTest, WidthAtHalfPowerLinearAndInDb)
{
    // Linear: falls by 0.1 per bin; 1/sqrt(2) = 0.707 is undershot 3 bins away.
    std::vector<float> linear(100), db(100);
    for (int i = 0; i < 100; ++i) {
        linear[i] = float(std::max(0.0, 1.0 - std::abs(i - 50) * 0.1));
        db[i] = float(-std::abs(i - 50) * 1.0); // -3 dB is not below -3: 4 bins away
    }
    const PeakSearch::Peak a = PeakSearch::Find(linear.data(), 100, 46, 54, false);
    EXPECT_EQ(a.index, 50);
    EXPECT_EQ(a.left, 47);
    EXPECT_EQ(a.right, 53);
    EXPECT_DOUBLE_EQ(PeakSearch::Quality(500.0, 10.0, a), 500.0 / 60.0);
    const PeakSearch::Peak b = PeakSearch::Find(db.data(), 100, 46, 54, true);
    EXPECT_EQ(b.left, 46);
    EXPECT_EQ(b.right, 54);
    // A side that never falls below uses the peak itself: no width, quality 0.
    std::vector<float> flat(20, 1.0f);
    const PeakSearch::Peak c = PeakSearch::Find(flat.data(), 20, 5, 9, false);
    EXPECT_EQ(c.index, 5);
    EXPECT_EQ(c.left, 5);
    EXPECT_EQ(c.right, 5);
    EXPECT_EQ(PeakSearch::Quality(5.0, 1.0, c), 0.0);
}

TEST(AxisTransformTest, MapsAndOneWheelNotchNarrowsToNinetyPercent)
{
    AxisTransform x = AxisTransform::Horizontal(0.0, 10.0, 100, 600);
    EXPECT_EQ(x.Pixel(0.0), 100);
    EXPECT_EQ(x.Pixel(10.0), 600);
    EXPECT_DOUBLE_EQ(x.Value(350), 5.0);
    x.WheelZoom(120, 5.0);
    EXPECT_DOUBLE_EQ(x.min, 0.5);
    EXPECT_DOUBLE_EQ(x.max, 9.5);
    x.WheelZoom(-120, 5.0); // backward widens again by a tenth of each side
    EXPECT_DOUBLE_EQ(x.min, 0.05);
    const AxisTransform y = AxisTransform::Vertical(-5.0, 5.0, 40, 540);
    EXPECT_EQ(y.Pixel(5.0), 40);
    EXPECT_EQ(y.Pixel(-5.0), 540);
}

TEST(TracePolylineTest, ManySamplesKeepTheirExtremesPerColumn)
{
    const int count = 65536;
    std::vector<float> values(count);
    for (int i = 0; i < count; ++i)
        values[i] = float(std::sin(i * 0.001));
    values[40000] = 4.0f; // one spike must survive
    const AxisTransform x = AxisTransform::Horizontal(0.0, count - 1, 100, 600);
    const AxisTransform y = AxisTransform::Vertical(-5.0, 5.0, 0, 500);
    TracePolyline line;
    const int n = line.Build(values.data(), count, 0.0, 1.0, x, y, 100, 600);
    ASSERT_TRUE(line.IsLines());
    EXPECT_LE(n, 2 * 502); // a stroke per column and a few joins
    EXPECT_GE(n, 500);
    double top = 1e9, bottom = -1e9;
    for (int i = 0; i < n; ++i) {
        top = std::min({top, line.Lines()[i].y1(), line.Lines()[i].y2()});
        bottom = std::max({bottom, line.Lines()[i].y1(), line.Lines()[i].y2()});
    }
    EXPECT_NEAR(top, y.PixelF(4.0), 1e-9);
    EXPECT_NEAR(bottom, y.PixelF(-1.0), 0.01); // the sine's trough survives too
    // Every column's stroke lies within the trace: joined strokes leave no gap.
    for (int i = 1; i < n; ++i)
        EXPECT_LE(line.Lines()[i].x1() - line.Lines()[i - 1].x2(), 1.0) << i;
    // Few samples are drawn as they are.
    EXPECT_EQ(line.Build(values.data(), 100, 0.0, 1.0, AxisTransform::Horizontal(0, 99, 100, 600), y, 100, 600), 100);
    EXPECT_FALSE(line.IsLines());
}

// An undefined value leaves a gap: no line is drawn across it, whether
// the samples are drawn as they are or column by column.
TEST(TracePolylineTest, UndefinedValuesLeaveAGap)
{
    const AxisTransform y = AxisTransform::Vertical(-1.0, 1.0, 0, 100);
    auto inkInColumns = [&](const std::vector<float>& values, int from, int to) {
        const AxisTransform x = AxisTransform::Horizontal(0.0, double(values.size() - 1), 0, 400);
        TracePolyline line;
        line.Build(values.data(), int(values.size()), 0.0, 1.0, x, y, 0, 400);
        QImage image(401, 101, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        painter.setPen(Qt::white);
        line.Draw(painter);
        painter.end();
        int ink = 0;
        for (int c = from; c < to; ++c)
            for (int r = 0; r <= 100; ++r)
                ink += image.pixel(c, r) != qRgb(0, 0, 0);
        return ink;
    };
    // Few samples: points 0 .. 8 at 50 pixels apart, point 4 undefined.
    std::vector<float> few(9, 0.5f);
    few[4] = std::nanf("");
    EXPECT_EQ(inkInColumns(few, 155, 245), 0);
    EXPECT_GT(inkInColumns(few, 55, 145), 0);
    // Many samples: 4000 over 400 columns, a tenth of them undefined.
    std::vector<float> many(4000, 0.25f);
    std::fill(many.begin() + 2000, many.begin() + 2400, std::nanf(""));
    EXPECT_EQ(inkInColumns(many, 202, 238), 0);
    EXPECT_GT(inkInColumns(many, 100, 190), 0);
}

TEST(ColourMapImageTest, EveryPixelTakesTheCellUnderItsCentre)
{
    // 4 segments of 4 bins in a 40 x 40 part: cells of 10 x 10 pixels.
    // Bin k at frequency k covers k - 0.5 .. k + 0.5; the axis shows -0.5 .. 3.5.
    std::vector<float> values(16);
    for (int s = 0; s < 4; ++s)
        for (int k = 0; k < 4; ++k)
            values[s * 4 + k] = float(s * 4 + k); // levels 0 .. 16 over 17 colours
    std::vector<QColor> map;
    for (int i = 0; i <= 16; ++i)
        map.push_back(QColor(i, 255 - i, 7));
    const QRect part(100, 50, 40, 40);
    ColourMapImage::Input in;
    in.values = values.data();
    in.segments = 4;
    in.bins = 4;
    in.levelMin = 0.0;
    in.levelMax = 16.0;
    in.frequency = AxisTransform::Vertical(-0.5, 3.5, 50, 90);
    ColourMapImage image;
    const QImage& out = image.Render(in, part, 1.0, map, 16, Qt::black);
    ASSERT_EQ(out.size(), QSize(40, 40));
    for (int s = 0; s < 4; ++s)
        for (int k = 0; k < 4; ++k) {
            const QPoint centre(s * 10 + 5, (3 - k) * 10 + 5); // bin 0 at the bottom
            EXPECT_EQ(QColor(out.pixel(centre)).red(), s * 4 + k) << s << " " << k;
        }
    image.Render(in, part, 1.0, map, 16, Qt::black);
    EXPECT_EQ(image.RenderCount(), 1); // unchanged input: the kept image
    in.generation = 1;
    const QImage& twice = image.Render(in, part, 2.0, map, 16, Qt::black);
    EXPECT_EQ(image.RenderCount(), 2);
    EXPECT_EQ(twice.size(), QSize(80, 80)); // full resolution at pixel ratio 2
    EXPECT_EQ(QColor(twice.pixel(79, 0)).red(), 15);
}

TEST(ColourMapImageTest, LevelsOutsideTheRangeClampToTheEnds)
{
    std::vector<float> values = {-100.0f, 1e9f, std::nanf("")};
    std::vector<QColor> map = {Qt::blue, Qt::green, Qt::red};
    ColourMapImage::Input in;
    in.values = values.data();
    in.segments = 3;
    in.bins = 1;
    in.levelMin = 0.0;
    in.levelMax = 1.0;
    in.frequency = AxisTransform::Vertical(-0.5, 0.5, 0, 3);
    ColourMapImage image;
    const QImage& out = image.Render(in, QRect(0, 0, 3, 3), 1.0, map, 2, Qt::black);
    EXPECT_EQ(QColor(out.pixel(0, 1)), QColor(Qt::blue));
    EXPECT_EQ(QColor(out.pixel(1, 1)), QColor(Qt::red));
    EXPECT_EQ(QColor(out.pixel(2, 1)), QColor(Qt::blue));
}

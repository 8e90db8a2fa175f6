// The spectrogram view on a captured record: a linear chirp's rows follow
// its frequency, a tone that starts half way shows only in the later rows
// (also in the drawn colour map), the fit of the colour range to tens,
// the level scales, and a record of one segment.
#include "views/spgview.h"

#include "recordviewtest.h"
#include "views/plotlayout.h"
#include "views/spgpanel.h"
#include "context/formatwithprefix.h"
#include "platform/appmessage.h"
#include "widgets/cursorlabel.h"
#include "widgets/cursorwnd.h"

#include <QTest>

#include <QImage>
#include <cmath>

namespace {

using SpgViewTest = RecordViewTest<CSpgView>;
constexpr double kPi = std::numbers::pi;

// A tone of peak amplitude 1 V from sample `from` on, silence before.
std::vector<float> ToneFrom(int count, int from, double frequency, double dt)
{
    std::vector<float> values(static_cast<size_t>(count), 0.0f);
    for (int t = from; t < count; ++t)
        values[size_t(t)] = float(std::sin(2 * kPi * frequency * t * dt));
    return values;
}

} // namespace

TEST_F(SpgViewTest, EachRowOfALinearChirpPeaksAtItsFrequencyThen)
{
    constexpr double dt = 1.0 / 8000, f0 = 200.0, rate = 2800.0; // 200 Hz to 3000 Hz in 1 s
    constexpr int n = 256, hop = 128, length = 8000;
    std::vector<float> chirp(length);
    for (int t = 0; t < length; ++t) {
        const double s = t * dt;
        chirp[size_t(t)] = float(std::sin(2 * kPi * (f0 * s + 0.5 * rate * s * s)));
    }
    SetRecord(chirp, {}, dt, n, hop);
    view->Analyse();
    const int rows = (length - n) / hop + 1;
    ASSERT_EQ(view->Rows(), rows);
    ASSERT_EQ(view->Bins(), n / 2);
    const double df = 1.0 / (n * dt);
    EXPECT_NEAR(view->XStep(), df, 1e-9);
    for (int j = 0; j < rows; ++j) {
        const double centre = (j * hop + n / 2) * dt;
        const double expected = (f0 + rate * centre) / df;
        EXPECT_LE(std::abs(MaxIndex(view->Row(0, j), n / 2) - expected), 1.0) << "row " << j;
    }
    EXPECT_EQ(view->SlotUnit(0), "dB");
}

// 1 V peak on a bin reads 10·log10(0.5) = -3.01 dB re 1 V².
TEST_F(SpgViewTest, ToneStartingHalfWayShowsInTheLaterRowsOnly)
{
    constexpr double dt = 1.0 / 8192;
    constexpr int n = 512, hop = 256, length = 8192, from = 4096;
    const double f = 64 / (n * dt); // bin 64: 1024 Hz
    DefineChannels(dt);
    SetRecord(ToneFrom(length, from, f, dt), ToneFrom(length, 0, f, dt), dt, n, hop);
    view->Analyse();
    ASSERT_EQ(view->Rows(), (length - n) / hop + 1);
    for (int j = 0; j < view->Rows(); ++j) {
        const float level = view->Row(0, j)[64];
        if (j * hop >= from) {
            EXPECT_NEAR(level, -3.01, 0.01) << "row " << j;
        } else if (j * hop + n <= from) {
            EXPECT_LT(level, -150.0) << "row " << j;
        }
        EXPECT_NEAR(view->Row(1, j)[64], -3.01, 0.01) << "row " << j;
    }

    // The first analysis fitted the colour range: top 0 dB, the silence far
    // below; the frequency axis spans half the sample rate.
    EXPECT_EQ(Sel(CSpgPanel::IdYDiv1).CurrentText(), "10");
    EXPECT_EQ(Sel(CSpgPanel::IdOff1).NumericValue(), 50.0);
    EXPECT_EQ(Sel(CSpgPanel::IdXDiv).CurrentText(), "500 Hz");
    EXPECT_EQ(Sel(CSpgPanel::IdXPos).NumericValue(), 0.0);
    EXPECT_EQ(Sel(CSpgPanel::IdXPos).Step(), 50.0);

    // Drawn: in the upper part (slot 0), the tone's row of pixels is dark
    // (colour 0) left of the middle and near the top colour right of it.
    const QImage image = view->grab().toImage();
    const ColourScheme& colours = Ctx().colours;
    const QRect part = PlotLayout::SpectrogramPart(view->PlotRect(), 0, true);
    const double fTop = 10 * 500.0;
    const int y = int(part.y() + part.height() * (1.0 - f / fTop));
    // A bin is less than a pixel high: look at the rows around the tone.
    const float level = view->Row(0, view->Rows() - 1)[64];
    const QColor toneColour = colours.MapColour(int(colours.colourMapCount * (level + 100.0) / 100.0));
    bool toneSeen = false;
    for (int dy = -2; dy <= 2; ++dy) {
        EXPECT_EQ(image.pixelColor(part.x() + part.width() / 4, y + dy), colours.MapColour(0));
        toneSeen = toneSeen || image.pixelColor(part.x() + part.width() * 3 / 4, y + dy) == toneColour;
    }
    EXPECT_TRUE(toneSeen);
}

// Time runs across the spectrogram: a cursor reads the time of the segment
// under it and, per channel, the strongest level of that segment with its
// frequency.
TEST_F(SpgViewTest, CursorReadsTheSegmentUnderIt)
{
    constexpr double dt = 1.0 / 8192;
    constexpr int n = 512, hop = 256, length = 8192, from = 4096;
    const double f = 64 / (n * dt); // bin 64: 1024 Hz
    DefineChannels(dt);
    SetRecord(ToneFrom(length, from, f, dt), ToneFrom(length, 0, f, dt), dt, n, hop);
    view->Analyse();
    view->grab();
    const int rows = view->Rows();
    const QRect part = PlotLayout::SpectrogramPart(view->PlotRect(), 0, true);
    auto cellCentre = [&](int segment) { return part.x() + int((segment + 0.5) * part.width() / rows); };

    QTest::mouseClick(view.get(), Qt::LeftButton, {}, QPoint(cellCentre(3), part.center().y()));
    ASSERT_EQ(view->CursorCount(), 1);
    CCursorWnd* cursor = view->Cursor(0);
    EXPECT_NEAR(cursor->XValue(), 3.5 * hop * dt, 1e-9);
    EXPECT_EQ(cursor->Label()->Title(), "x" + FormatWithPrefix(3.5 * hop * dt, 5, QStringLiteral("sec")));
    // Slot 0 is silent there, slot 1 carries the tone.
    EXPECT_EQ(cursor->Label()->SlotText(1).toStdString(), "Y-3.01 dB @ 1024 Hz");

    const int late = rows - 3;
    SendAppMessage(view.get(), CGraphWnd::kMsgCursorMoved, 0, cellCentre(late));
    EXPECT_NEAR(cursor->XValue(), (late + 0.5) * hop * dt, 1e-9);
    EXPECT_EQ(cursor->Label()->SlotText(0).toStdString(), "Y-3.01 dB @ 1024 Hz");
}

TEST(SpgLevelFit, EdgesMoveOutToTensAndTheDivisionFollowsTheRange)
{
    struct Case {
        double max, min, top, bottom, division, offset;
    } cases[] = {
        {23.4, -61, 30, -70, 10, 20},  // 100 dB: 10 per division
        {-3, -87, 0, -90, 5, 25},      // a top below 0 is not raised
        {0, -130, 0, -130, 10, 50},    //
        {0.5, -20, 10, -20, 5, 15},    // small ranges take 5 per division
        {-40, -55.5, -40, -60, 5, 65}, // all negative
    };
    for (const Case& c : cases) {
        const CSpgView::LevelFit fit = CSpgView::FitLevels(c.max, c.min);
        EXPECT_EQ(fit.top, c.top) << c.max;
        EXPECT_EQ(fit.bottom, c.bottom) << c.min;
        EXPECT_EQ(fit.division, c.division) << c.max << " " << c.min;
        EXPECT_EQ(fit.offset, c.offset) << c.max << " " << c.min;
    }
}

TEST_F(SpgViewTest, LevelScalesWrapAndKeepTheRows)
{
    EXPECT_EQ(Sel(CSpgPanel::IdScale).Items(), (QStringList{"10 log p/p0", "dbV", "dbuV"}));
    EXPECT_EQ(Sel(CSpgPanel::IdWindow).CurrentText(), "Hann");
    EXPECT_EQ(Sel(CSpgPanel::IdXDiv).CurrentText(), "100 Hz");
    EXPECT_EQ(StoredKeys(),
              (QStringList{"XOff:", "YOff2:", "YOff1:", "Scale:", "XDiv:", "YDiv2:", "YDiv1:", "Wnd:"}));

    constexpr double dt = 1.0 / 8192;
    constexpr int n = 512;
    SetRecord(ToneFrom(4096, 0, 64 / (n * dt), dt), {}, dt, n, n / 2);
    view->Analyse();
    Turn(CSpgPanel::IdScale, 2); // "dbuV": 0.7746 V rms reads 0 dBu
    EXPECT_EQ(view->SlotUnit(0), "dBu");
    EXPECT_NEAR(view->Row(0, 3)[64], -3.01 - 20 * std::log10(0.7746), 0.01);
    Turn(CSpgPanel::IdScale, 1); // wraps to "10 log p/p0"
    EXPECT_EQ(Sel(CSpgPanel::IdScale).CurrentText(), "10 log p/p0");
    EXPECT_EQ(view->SlotUnit(0), "dB");
    EXPECT_NEAR(view->Row(0, 3)[64], -3.01, 0.01);

    // Averages 1: one segment, nothing recomputed.
    const int rows = view->Rows();
    SetRecord(ToneFrom(4096, 0, 32 / (n * dt), dt), {}, dt, n, n / 2, 1);
    view->Analyse();
    EXPECT_EQ(view->Rows(), rows);
    EXPECT_NEAR(view->Row(0, 3)[64], -3.01, 0.01);
    // Averages 4: four rows.
    SetRecord(ToneFrom(4096, 0, 32 / (n * dt), dt), {}, dt, n, n / 2, 4);
    view->Analyse();
    EXPECT_EQ(view->Rows(), 4);
    EXPECT_EQ(MaxIndex(view->Row(0, 3), n / 2), 32);
}

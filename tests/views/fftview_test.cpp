// The amplitude spectrum view: a tone on a bin reads its amplitude at its
// frequency in "Peak" and "RMS", integration of an acceleration in g, the
// split displays, the row averaging forms, the full rescale of the
// frequency axis, automatic cursors, and records that leave the traces.
#include "frequencyviewfixture.h"

#include "context/formatwithprefix.h"
#include "views/fftpanel.h"
#include "views/fftview.h"
#include "widgets/cursorlabel.h"
#include "widgets/cursorwnd.h"
#include "widgets/selectorbutton.h"

#include <QTest>

namespace {

constexpr double kDt = 1.0 / 1024; // 1 Hz bins at N = 1024
constexpr int kN = 1024;

// Pixels that are not the graph background.
int Ink(const QImage& image)
{
    const QRgb background = Ctx().colours.graphBackground.rgb();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) != background ? 1 : 0;
    return count;
}

class FftViewTest : public SpectrumFixture {
protected:
    void SetUp() override
    {
        SpectrumFixture::SetUp();
        view = Make<CFftView>();
        panel = view->FftPanel();
        view->SetFirst(false);
    }
    void Choose(int id, int key) { panel->Selector(id)->SelectKey(key, false); }

    CFftView* view = nullptr;
    CFftPanel* panel = nullptr;
};

TEST_F(FftViewTest, ToneOnABinReadsItsPeakAndRmsAmplitude)
{
    // 3 V at 100 Hz on channel 0, 0.5 V at 300 Hz on channel 1; four
    // segments, the first 100 samples before the analysis start.
    const int length = 100 + 4 * kN;
    Capture({Tone(length, kDt, 100, 3.0, 0.3), Tone(length, kDt, 300, 0.5, 1.1)}, kDt, kN, kN, 0, 100);
    view->Analyse();
    ASSERT_TRUE(view->TraceShown(0));
    ASSERT_TRUE(view->TraceShown(1));
    EXPECT_EQ(view->PointCount(), kN / 2);
    EXPECT_FLOAT_EQ(view->BinSpacing(), 1.0f);
    EXPECT_EQ(MaxIndex(view->Display(0), kN / 2), 100);
    EXPECT_EQ(MaxIndex(view->Display(1), kN / 2), 300);
    EXPECT_NEAR(view->Display(0)[100], 3.0, 1e-4);
    EXPECT_NEAR(view->Display(1)[300], 0.5, 1e-5);
    EXPECT_EQ(view->UnitText(0), "V");

    Choose(CFftPanel::IdAmplitude, 1); // "RMS"
    SendAppMessage(view, WM_PANEL_NOTIFY, PanelAmplitude, 0);
    EXPECT_NEAR(view->Display(0)[100], 3.0 / std::sqrt(2.0), 1e-4);
    EXPECT_EQ(view->UnitText(0), "Vrms");

    // Peak hold over segments of growing amplitude keeps the largest.
    std::vector<float> growing(size_t(4 * kN));
    for (int n = 0; n < 4 * kN; ++n)
        growing[size_t(n)] = float((1 + n / kN) * std::cos(kTwoPi * 50 * n * kDt));
    Capture({growing}, kDt, kN, kN, 0);
    Choose(CFftPanel::IdAmplitude, 0);
    Choose(CFftPanel::IdAverage, 1); // "Peak hold"
    view->Analyse();
    EXPECT_NEAR(view->Display(0)[50], 4.0, 1e-4);
    EXPECT_FALSE(view->TraceShown(1)) << "the record has no channel 1";
}

TEST_F(FftViewTest, IntegrationOfAnAccelerationInG)
{
    DefineChannels({"g", "m/s\u00B2"});
    // 1 g at 64 Hz: a velocity of 9.81/ω m/s, a displacement of 9.81/ω² m.
    Capture({Tone(kN, kDt, 64, 1.0), Tone(kN, kDt, 64, 1.0)}, kDt, kN, kN, 1);
    const double omega = kTwoPi * 64;
    Choose(CFftPanel::IdCalc, 1);
    view->Analyse();
    EXPECT_NEAR(view->Display(0)[64], 9.81 / omega, 1e-6);
    EXPECT_NEAR(view->Display(1)[64], 1.0 / omega, 1e-7);
    EXPECT_EQ(view->UnitText(0), "m/s");
    Choose(CFftPanel::IdCalc, 2);
    view->Analyse();
    EXPECT_NEAR(view->Display(0)[64], 9.81 / (omega * omega), 1e-8);
    EXPECT_EQ(view->UnitText(1), "m");
}

TEST_F(FftViewTest, MagnitudePhaseAndRealImaginaryInTwoPlots)
{
    // cos at 40 Hz and the same delayed by a quarter period (a sine): phase
    // 0° and −90°; real part 2 and imaginary part −2.
    Capture({Tone(kN, kDt, 40, 2.0), Tone(kN, kDt, 40, 2.0, -std::numbers::pi / 2)}, kDt, kN, kN, 1);
    Choose(CFftPanel::IdDisplay, 1);
    view->Analyse();
    EXPECT_EQ(view->SplitLayout(), CGraphWnd::SplitUpper);
    EXPECT_NEAR(view->Display(0)[40], 2.0, 1e-4);
    EXPECT_NEAR(view->Display(2)[40], 0.0, 0.01);
    EXPECT_NEAR(view->Display(3)[40], -90.0, 0.01);
    EXPECT_EQ(view->UnitText(2), "\u00B0");

    Choose(CFftPanel::IdDisplay, 2);
    view->Analyse();
    EXPECT_NEAR(view->Display(0)[40], 2.0, 1e-4);
    EXPECT_NEAR(view->Display(2)[40], 0.0, 1e-4);
    EXPECT_NEAR(view->Display(1)[40], 0.0, 1e-4);
    EXPECT_NEAR(view->Display(3)[40], -2.0, 1e-4);
    EXPECT_EQ(view->UnitText(0), "V (RE)");
    EXPECT_EQ(view->UnitText(3), "V (IM)");
    // Both halves draw: the lower plot lies below the upper one.
    view->grab();
    EXPECT_EQ(view->SplitLayout(), CGraphWnd::SplitUpper);

    Choose(CFftPanel::IdDisplay, 0);
    view->Analyse();
    EXPECT_EQ(view->SplitLayout(), CGraphWnd::SplitFull);
}

TEST_F(FftViewTest, CascadeAndSpectrogramKeepOneRowPerSegment)
{
    // Segment j carries amplitude j + 1 at 200 Hz.
    const int segments = 5;
    std::vector<float> x(size_t(segments * kN));
    for (int n = 0; n < segments * kN; ++n)
        x[size_t(n)] = float((1 + n / kN) * std::cos(kTwoPi * 200 * n * kDt));
    Capture({x}, kDt, kN, kN, 0);
    Choose(CFftPanel::IdAverage, 2);
    view->Analyse();
    EXPECT_TRUE(view->CascadeLayout());
    EXPECT_FALSE(view->ColourMapDrawing());
    EXPECT_EQ(view->Rows(), segments);
    EXPECT_EQ(view->PointCount(), kN / 2);
    for (int j = 0; j < segments; ++j)
        EXPECT_NEAR(view->Display(0)[j * kN / 2 + 200], j + 1.0, 1e-4) << "row " << j;
    // The front plot is the lower left of the view.
    EXPECT_GT(view->PlotRect().y(), view->height() / 4);

    Choose(CFftPanel::IdAverage, 3);
    SendAppMessage(view, WM_PANEL_NOTIFY, PanelAverageMode, 0);
    EXPECT_FALSE(view->CascadeLayout());
    EXPECT_TRUE(view->ColourMapDrawing());
    EXPECT_NEAR(view->Display(0)[4 * kN / 2 + 200], 5.0, 1e-4);

    Choose(CFftPanel::IdAverage, 0);
    SendAppMessage(view, WM_PANEL_NOTIFY, PanelAverageMode, 0);
    EXPECT_FALSE(view->CascadeLayout() || view->ColourMapDrawing());
    EXPECT_EQ(view->Rows(), 1);
    EXPECT_NEAR(view->Display(0)[200], 3.0, 1e-4) << "the mean of 1 … 5";
}

TEST_F(FftViewTest, FullRescaleSpansHalfTheSampleRate)
{
    // At 44.1 kHz ten divisions of "2000 Hz" come nearest to 22050 Hz.
    const double dt = 1.0 / 44100;
    Capture({Tone(4096, dt, 93 * 44100.0 / 4096, 0.7)}, dt, 4096, 4096, 1);
    view->SetFirst(true);
    view->Analyse();
    EXPECT_FALSE(view->First());
    EXPECT_EQ(panel->Selector(CFftPanel::IdXDiv)->CurrentText(), "2000 Hz");
    EXPECT_EQ(panel->XOffset(), 0.0);
    EXPECT_DOUBLE_EQ(panel->Selector(CFftPanel::IdXPos)->Step(), 200.0);
    // A 0.7 V peak on bin 93: ten divisions of 0.1 V above zero hold it.
    EXPECT_DOUBLE_EQ(panel->Division(0), 0.1);
    EXPECT_DOUBLE_EQ(panel->Offset(0), -0.5);
}

TEST_F(FftViewTest, RecordTooShortOrViewHiddenLeavesTraces)
{
    Capture({Tone(2 * kN, kDt, 10, 1.0), Tone(2 * kN, kDt, 20, 1.0)}, kDt, kN, kN, 2);
    view->Analyse();
    ASSERT_NEAR(view->Display(0)[10], 1.0, 1e-4);

    // Four averages need 4N samples: nothing changes.
    Capture({Tone(2 * kN, kDt, 30, 5.0), Tone(2 * kN, kDt, 30, 5.0)}, kDt, kN, kN, 4);
    view->Analyse();
    EXPECT_NEAR(view->Display(0)[10], 1.0, 1e-4);
    EXPECT_TRUE(view->TraceShown(1));

    // A hidden view computes nothing.
    view->Show(false);
    Capture({Tone(2 * kN, kDt, 60, 2.0)}, kDt, kN, kN, 2);
    view->Analyse();
    EXPECT_NEAR(view->Display(0)[10], 1.0, 1e-4);
}

// Points beyond the record: the last result stays, marked stale, with the
// reason; a record that holds the points again removes both.
TEST_F(FftViewTest, ShortRecordMarksTheResultStaleWithItsReasonUntilItIsLongEnough)
{
    constexpr int record = 10240;
    Capture({Tone(record, kDt, 16, 1.0)}, kDt, 8192, 8192, 1);
    view->Analyse();
    ASSERT_EQ(view->PointCount(), 4096);
    EXPECT_TRUE(view->Data().Notice().isEmpty());
    EXPECT_FALSE(view->Data().Stale());

    Capture({Tone(record, kDt, 16, 1.0)}, kDt, 16384, 16384, 1);
    view->Analyse();
    EXPECT_EQ(view->PointCount(), 4096); // the 8192-point result, kept
    EXPECT_EQ(view->Data().Notice(), "record 10240 samples < 16384 points \u2014 raise XDv or lower Pts");
    EXPECT_TRUE(view->Data().Stale());

    Capture({Tone(4 * record, kDt, 16, 1.0)}, kDt, 16384, 16384, 1);
    view->Analyse();
    EXPECT_EQ(view->PointCount(), 8192);
    EXPECT_TRUE(view->Data().Notice().isEmpty());
    EXPECT_FALSE(view->Data().Stale());
}

// A view with nothing shown yet and a record too short: an empty plot with
// the axes of its slots and the reason, not a plain background. A cleared
// view forgets its result and legends and says what it waits for.
TEST_F(FftViewTest, WithoutAResultTheEmptyPlotKeepsItsAxesAndSaysWhy)
{
    Capture({Tone(4 * kN, kDt, 10, 1.0), Tone(4 * kN, kDt, 20, 1.0)}, kDt, kN, kN, 1);
    view->Analyse();
    ASSERT_EQ(view->PointCount(), kN / 2);
    view->ClearDisplay(QStringLiteral("waiting"));
    EXPECT_EQ(view->PointCount(), 0);
    EXPECT_EQ(view->ActiveSlotCount(), 0);
    EXPECT_EQ(view->Data().Notice(), "waiting");
    EXPECT_TRUE(view->First());
    const int clearedInk = Ink(view->grab().toImage());

    Capture({Tone(10, kDt, 10, 1.0), Tone(10, kDt, 20, 1.0)}, kDt, kN, kN, 1);
    view->Analyse();
    EXPECT_EQ(view->PointCount(), 0);
    EXPECT_EQ(view->ActiveSlotCount(), 2);
    EXPECT_FALSE(view->Data().Stale());
    EXPECT_EQ(view->Data().Notice(), "record 10 samples < 1024 points \u2014 raise XDv or lower Pts");
    // The axes are drawn: ticks, labels and legends add much ink to the
    // notice alone.
    EXPECT_GT(Ink(view->grab().toImage()), 2 * clearedInk);

    // The source's state stands over the analysis' reason and marks stale.
    view->SetSourceNotice(QStringLiteral("source ended 3 s ago"));
    EXPECT_EQ(view->Data().Notice(), "source ended 3 s ago");
    EXPECT_TRUE(view->Data().Stale());
    view->SetSourceNotice(QString());
    EXPECT_FALSE(view->Data().Notice().startsWith(QStringLiteral("source")));
}

// Wherever a cursor is put, it reads the bin nearest it, and its x is that
// bin's frequency: a 1 kHz tone at 51.2 kHz sampling, 50 Hz and 3.125 Hz
// bins.
TEST_F(FftViewTest, CursorReadsTheBinItStandsOn)
{
    constexpr double dt = 1.0 / 51200;
    for (int n : {1024, 16384}) {
        Capture({Tone(n, dt, 1000, 1.0)}, dt, n, n, 1);
        view->Analyse();
        panel->SetFrequencyScale(200.0); // 0 .. 2 kHz
        view->grab();
        const double df = view->BinSpacing();
        ASSERT_DOUBLE_EQ(df, 1.0 / (n * dt));
        const int tonePixel = view->XTransform().Pixel(1000.0);
        if (view->CursorCount() == 0)
            QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(tonePixel, view->PlotRect().center().y()));
        ASSERT_EQ(view->CursorCount(), 1);
        CCursorWnd* cursor = view->Cursor(0);
        for (int px = tonePixel - 30; px <= tonePixel + 30; ++px) {
            SendAppMessage(view, CGraphWnd::kMsgCursorMoved, 0, px);
            const long k = std::lround(cursor->XValue() / df);
            ASSERT_NEAR(cursor->XValue(), k * df, 1e-9) << n << " px " << px;
            EXPECT_LE(std::abs(view->XTransform().Value(px) - k * df), df / 2 + 1e-9) << n << " px " << px;
            EXPECT_EQ(cursor->Label()->Title(), "x" + FormatWithPrefix(k * df, 5, QStringLiteral("Hz")));
            EXPECT_EQ(cursor->Label()->SlotText(0),
                      "Y" + FormatWithPrefix(view->Display(0)[k], 4, view->SlotUnit(0)))
                << n << " px " << px;
            // The cursor line stands on the bin it reads.
            EXPECT_EQ(cursor->x() + CCursorWnd::kWidth / 2, int(std::round(view->XTransform().PixelF(k * df))));
        }
        SendAppMessage(view, CGraphWnd::kMsgCursorMoved, 0, view->XTransform().Pixel(1000.0 + df / 4));
        EXPECT_DOUBLE_EQ(cursor->XValue(), 1000.0);
        EXPECT_EQ(cursor->Label()->SlotText(0), "Y1 V");
    }
}

TEST_F(FftViewTest, AutomaticCursorsFollowTheMaxima)
{
    Capture({Tone(kN, kDt, 100, 1.0), Tone(kN, kDt, 250, 1.0)}, kDt, kN, kN, 1);
    view->Analyse();
    view->grab();
    // Two clicks in the plot add cursors 0 and 1.
    const QRect plot = view->PlotRect();
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(plot.x() + 20, plot.center().y()));
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(plot.x() + 40, plot.center().y()));
    ASSERT_EQ(view->CursorCount(), 2);

    // "Auto" through the panel: code 28 moves them onto the peaks.
    panel->Selector(CFftPanel::IdCursor)->SelectKey(1, true);
    QApplication::processEvents();
    EXPECT_EQ(view->CursorMode(), 1);
    EXPECT_DOUBLE_EQ(view->Cursor(0)->XValue(), 100.0);
    EXPECT_DOUBLE_EQ(view->Cursor(1)->XValue(), 250.0);

    // And they follow a new record.
    Capture({Tone(kN, kDt, 120, 1.0), Tone(kN, kDt, 7, 1.0)}, kDt, kN, kN, 1);
    view->Analyse();
    EXPECT_DOUBLE_EQ(view->Cursor(0)->XValue(), 120.0);
    EXPECT_DOUBLE_EQ(view->Cursor(1)->XValue(), 7.0);
}

} // namespace

// The power spectral density view: white noise of known variance under
// "Density", the level scales on sines of known level, the rescale when the
// level scale changes to or from "Lin. RMS", and the panel's controls
// reaching the view.
#include "frequencyviewfixture.h"

#include "views/psdpanel.h"
#include "views/psdview.h"
#include "widgets/selectorbutton.h"

namespace {

constexpr double kDt = 1.0 / 1024;
constexpr int kN = 1024;

class PsdViewTest : public SpectrumFixture {
protected:
    void SetUp() override
    {
        SpectrumFixture::SetUp();
        view = Make<CPsdView>();
        panel = view->PsdPanel();
        view->SetFirst(false);
    }
    void Choose(int id, int key) { panel->Selector(id)->SelectKey(key, false); }
    // Mean of bins first … last − 1 of trace 0.
    double MeanOfBins(int first, int last) const
    {
        double sum = 0.0;
        for (int k = first; k < last; ++k)
            sum += view->Display(0)[k];
        return sum / (last - first);
    }

    CPsdView* view = nullptr;
    CPsdPanel* panel = nullptr;
};

TEST_F(PsdViewTest, WhiteNoiseReadsItsVarianceOverHalfTheSampleRate)
{
    // σ = 2 V at 1024 Hz: a one-sided density of 4 V² / 512 Hz, for every
    // window; as power the bins add up to the variance.
    const double sigma = 2.0;
    Capture({Noise(64 * kN, sigma, 11)}, kDt, kN, kN / 2, 0);
    Choose(CPsdPanel::IdDensity, 1);
    for (int window : {0, 2, 5}) {
        Choose(CPsdPanel::IdWindow, window);
        view->Analyse();
        ASSERT_TRUE(view->TraceShown(0));
        EXPECT_NEAR(MeanOfBins(1, kN / 2), sigma * sigma / 512.0, 0.04 * sigma * sigma / 512.0) << window;
    }
    EXPECT_EQ(view->UnitText(0), "Vrms\u00B2/Hz");
    Choose(CPsdPanel::IdDensity, 0);
    Choose(CPsdPanel::IdWindow, 0);
    view->Analyse();
    EXPECT_NEAR(MeanOfBins(0, kN / 2) * (kN / 2), sigma * sigma, 0.04 * sigma * sigma);
    EXPECT_EQ(view->UnitText(0), "Vrms\u00B2");
}

TEST_F(PsdViewTest, LevelScalesReadTheExactLevelsOfKnownSines)
{
    // 1 V rms (√2 peak) at 100 Hz on channel 0, 0.7746 V rms at 200 Hz on
    // channel 1.
    const double dbuRms = 0.7746;
    Capture({Tone(2 * kN, kDt, 100, std::sqrt(2.0)), Tone(2 * kN, kDt, 200, dbuRms * std::sqrt(2.0))}, kDt, kN, kN,
            2);
    struct Case {
        int scale;
        double level0, level1;
        const char* unit;
        bool db;
    } cases[] = {
        {0, 1.0, dbuRms * dbuRms, "Vrms\u00B2", false},
        {1, 0.0, 20 * std::log10(dbuRms), "dB", true}, // p0 = 1 V
        {2, 0.0, 0.0, "dBmax", true},
        {3, 0.0, 20 * std::log10(dbuRms), "dBV", true},
        {4, 20 * std::log10(1.0 / dbuRms), 0.0, "dBu", true},
    };
    for (const Case& c : cases) {
        Choose(CPsdPanel::IdScale, c.scale);
        view->Analyse();
        EXPECT_NEAR(view->Display(0)[100], c.level0, 1e-3) << c.scale;
        EXPECT_NEAR(view->Display(1)[200], c.level1, 1e-3) << c.scale;
        EXPECT_EQ(view->UnitText(0), QString::fromUtf8(c.unit)) << c.scale;
        EXPECT_EQ(view->LevelsInDb(), c.db) << c.scale;
    }
    // Other bins lie far below under "10 log p/pmax".
    Choose(CPsdPanel::IdScale, 2);
    view->Analyse();
    EXPECT_LT(view->Display(0)[300], -100.0);
}

TEST_F(PsdViewTest, LevelScaleChangesRescaleOnlyToOrFromLinear)
{
    Capture({Tone(2 * kN, kDt, 100, 2.0)}, kDt, kN, kN, 2);
    Choose(CPsdPanel::IdScale, 1);
    view->Analyse();
    CSelectorButton* yDiv = panel->Selector(CPsdPanel::IdYDiv1);
    yDiv->SelectText("0.1m");

    // "10 log p/p0" → "10 log p/pmax": computed again, scale kept.
    WheelNotch(panel->Selector(CPsdPanel::IdScale));
    QApplication::processEvents();
    EXPECT_EQ(view->LastScale(), 2);
    EXPECT_NEAR(view->Display(0)[100], 0.0, 1e-3);
    EXPECT_EQ(yDiv->CurrentText(), "0.1m");

    // … → "Lin. RMS" (two notches back): 2 V² rms² of the 2 V sine at most,
    // ten divisions of 0.2 above zero.
    WheelNotch(panel->Selector(CPsdPanel::IdScale), -120);
    QApplication::processEvents();
    EXPECT_EQ(yDiv->CurrentText(), "0.1m");
    WheelNotch(panel->Selector(CPsdPanel::IdScale), -120);
    QApplication::processEvents();
    EXPECT_EQ(view->LastScale(), 0);
    EXPECT_NEAR(view->Display(0)[100], 2.0, 1e-4);
    EXPECT_EQ(yDiv->CurrentText(), "0.2");
    EXPECT_DOUBLE_EQ(panel->Offset(0), -1.0);

    // "Lin. RMS" → "dbuV" (wrapping back): rescaled again for decibels.
    WheelNotch(panel->Selector(CPsdPanel::IdScale), -120);
    QApplication::processEvents();
    EXPECT_EQ(view->LastScale(), 4);
    EXPECT_NE(yDiv->CurrentText(), "0.2");
}

TEST_F(PsdViewTest, DivisionChangeRegridsTheOffsetAtOnce)
{
    // "YDiv" is sent: the offset has the new division as its step when the
    // wheel returns, keeping its value.
    panel->Selector(CPsdPanel::IdOff1)->SetNumeric(5, 15);
    WheelNotch(panel->Selector(CPsdPanel::IdYDiv1));
    EXPECT_EQ(panel->Selector(CPsdPanel::IdYDiv1)->CurrentText(), "10");
    EXPECT_DOUBLE_EQ(panel->Selector(CPsdPanel::IdOff1)->Step(), 10.0);
    EXPECT_DOUBLE_EQ(panel->Offset(0), 15.0);
}

} // namespace

// The frequency response view: a gain of 2 reads 6.02 dB at phase 0 for
// every estimator, a pure delay a linear phase, "RE+IM" the real gain, and
// both traces hide without "Ch2".
#include "frequencyviewfixture.h"

#include "views/frfpanel.h"
#include "views/frfview.h"
#include "views/frequencypanel.h"
#include "widgets/selectorbutton.h"

namespace {

constexpr double kDt = 1.0 / 256;
constexpr int kN = 256;

class FrfViewTest : public SpectrumFixture {
protected:
    void SetUp() override
    {
        SpectrumFixture::SetUp();
        view = Make<CFrfView>();
        panel = view->FrfPanel();
        view->SetFirst(false);
    }
    void Choose(int id, int key) { panel->Selector(id)->SelectKey(key, false); }

    CFrfView* view = nullptr;
    CFrfPanel* panel = nullptr;
};

TEST_F(FrfViewTest, GainOfTwoReadsSixDecibelsAtZeroPhaseForEveryEstimator)
{
    std::vector<float> x = Noise(8 * kN, 1.0, 5);
    std::vector<float> y(x.size());
    for (size_t n = 0; n < x.size(); ++n)
        y[n] = 2.0f * x[n];
    Capture({x, y}, kDt, kN, kN / 2, 0);
    for (int estimator : {0, 1, 2}) {
        Choose(CFrfPanel::IdCalc, estimator);
        view->Analyse();
        ASSERT_TRUE(view->TraceShown(0) && view->TraceShown(1));
        for (int k = 1; k < kN / 2; ++k) {
            ASSERT_NEAR(view->Display(0)[k], 20 * std::log10(2.0), 1e-3) << estimator << " bin " << k;
            ASSERT_NEAR(view->Display(1)[k], 0.0, 1e-3) << estimator << " bin " << k;
        }
        EXPECT_EQ(view->UnitText(0), "dB");
        EXPECT_TRUE(view->LevelsInDb());
    }
    // "Linear RMS": the ratio itself, without a unit on the axis.
    Choose(CFrfPanel::IdYScale, 0);
    view->Analyse();
    EXPECT_NEAR(view->Display(0)[17], 2.0, 1e-4);
    EXPECT_TRUE(view->UnitText(0).isEmpty());
    EXPECT_FALSE(view->LevelsInDb());
    // "RE+IM": real part 2, imaginary part 0, in the input's unit.
    Choose(CFrfPanel::IdDisplay, 1);
    view->Analyse();
    EXPECT_NEAR(view->Display(0)[17], 2.0, 1e-4);
    EXPECT_NEAR(view->Display(1)[17], 0.0, 1e-4);
    EXPECT_EQ(view->UnitText(1), "V (IM)");
}

// Where the input carries no energy the response is undefined: those bins
// read NaN (a gap in the trace, not a spike to -200 dB), and the rescale
// fits the bins that are defined.
TEST_F(FrfViewTest, BinsWithoutInputAreGapsNotSpikes)
{
    std::vector<float> x = Tone(4 * kN, kDt, 10, 1.0);
    const std::vector<float> second = Tone(4 * kN, kDt, 40, 0.5);
    std::vector<float> y(x.size());
    for (size_t n = 0; n < x.size(); ++n) {
        x[n] += second[n];
        y[n] = 2.0f * x[n];
    }
    Capture({x, y}, kDt, kN, kN, 4);
    for (int estimator : {0, 1, 2}) {
        Choose(CFrfPanel::IdCalc, estimator);
        view->Analyse();
        ASSERT_TRUE(view->TraceShown(0));
        EXPECT_NEAR(view->Display(0)[10], 20 * std::log10(2.0), 1e-3) << estimator;
        EXPECT_NEAR(view->Display(0)[40], 20 * std::log10(2.0), 1e-3) << estimator;
        int gaps = 0;
        for (int k : {0, 5, 25, 60, 100, 127}) {
            EXPECT_TRUE(std::isnan(view->Display(0)[k])) << estimator << " bin " << k;
            EXPECT_TRUE(std::isnan(view->Display(1)[k])) << estimator << " bin " << k;
        }
        for (int k = 0; k < kN / 2; ++k)
            gaps += std::isnan(view->Display(0)[k]);
        EXPECT_GT(gaps, kN / 2 - 10) << estimator; // all but the tones and their neighbours
    }
    // The magnitude scale fits the defined levels: 6 dB under a top of 10 dB.
    view->Rescale(0);
    EXPECT_DOUBLE_EQ(view->FrequencyPanel()->Division(0), 5.0);
    EXPECT_DOUBLE_EQ(5.0 * 5.0 - view->FrequencyPanel()->Offset(0), 10.0);
}

TEST_F(FrfViewTest, PureDelayGivesALinearPhase)
{
    // y is x three samples later: −360°·k·3/N at bin k, wrapped into ±180°.
    // The multi-tone is periodic in N, so with the rectangular window every
    // segment's ratio is exact.
    const int delay = 3;
    Capture({MultiTone(4 * kN, kN), MultiTone(4 * kN, kN, delay)}, kDt, kN, kN, 0);
    Choose(CFrfPanel::IdWindow, 0);
    for (int estimator : {0, 1, 2}) {
        Choose(CFrfPanel::IdCalc, estimator);
        view->Analyse();
        for (int k = 1; k < kN / 2; ++k) {
            const double expected = std::remainder(-360.0 * k * delay / kN, 360.0);
            double difference = std::remainder(view->Display(1)[k] - expected, 360.0);
            ASSERT_NEAR(difference, 0.0, 0.05) << estimator << " bin " << k;
            ASSERT_NEAR(view->Display(0)[k], 0.0, 1e-3) << "unit gain, bin " << k;
        }
    }
    EXPECT_FLOAT_EQ(view->BinSpacing(), 1.0f);
}

TEST_F(FrfViewTest, FullRescaleOfRealAndImaginaryParts)
{
    // Gain −3: real part −3, imaginary part 0 on every bin.
    std::vector<float> x = MultiTone(2 * kN, kN), y(x.size());
    for (size_t n = 0; n < x.size(); ++n)
        y[n] = -3.0f * x[n];
    Capture({x, y}, kDt, kN, kN, 2);
    panel->Selector(CFrfPanel::IdWindow)->SelectKey(0, false);
    Choose(CFrfPanel::IdDisplay, 1);
    view->Analyse();
    EXPECT_NEAR(view->Display(0)[9], -3.0, 1e-4);
    view->Rescale(-1);
    // One scale around zero for both parts: 1 per division holds −3.
    EXPECT_EQ(panel->Division(0), 1.0);
    EXPECT_EQ(panel->Division(1), 1.0);
    EXPECT_EQ(panel->Offset(0), 0.0);
    EXPECT_EQ(panel->Offset(1), 0.0);
    // 128 Hz at most: ten divisions of "10 Hz" come nearest; the start
    // frequency is gridded now.
    EXPECT_EQ(panel->Selector(CFrfPanel::IdXDiv)->CurrentText(), "10 Hz");
    EXPECT_TRUE(panel->Selector(CFrfPanel::IdXPos)->IsNumeric());
}

} // namespace

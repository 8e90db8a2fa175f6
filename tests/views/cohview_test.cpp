// The coherence view: identical channels read 1, independent noise tends to
// 0 as 1/segments, one trace without unit.
#include "frequencyviewfixture.h"

#include "views/cohpanel.h"
#include "views/cohview.h"
#include "widgets/selectorbutton.h"

namespace {

constexpr double kDt = 1.0 / 256;
constexpr int kN = 256;

class CohViewTest : public SpectrumFixture {
protected:
    void SetUp() override
    {
        SpectrumFixture::SetUp();
        view = Make<CCohView>();
        view->SetFirst(false);
    }
    double MeanCoherence() const
    {
        double sum = 0.0;
        for (int k = 1; k < kN / 2; ++k)
            sum += view->Display(0)[k];
        return sum / (kN / 2 - 1);
    }

    CCohView* view = nullptr;
};

TEST_F(CohViewTest, IdenticalChannelsAreCoherent)
{
    const std::vector<float> x = Noise(8 * kN, 1.0, 21);
    Capture({x, x}, kDt, kN, kN / 2, 0);
    view->Analyse();
    ASSERT_TRUE(view->TraceShown(0));
    EXPECT_FALSE(view->TraceShown(1));
    for (int k = 1; k < kN / 2; ++k)
        ASSERT_NEAR(view->Display(0)[k], 1.0, 1e-5) << k;
    EXPECT_TRUE(view->SlotUnit(0).isEmpty()) << "coherence has no unit";
}

TEST_F(CohViewTest, IndependentNoiseTendsToZeroWithAverages)
{
    // Of K independent segments the coherence of unrelated noise is 1/K on
    // average.
    for (int segments : {4, 64}) {
        Capture({Noise(segments * kN, 1.0, 31), Noise(segments * kN, 1.0, 32)}, kDt, kN, kN, 0);
        view->Analyse();
        EXPECT_NEAR(MeanCoherence(), 1.0 / segments, 0.25 / segments) << segments;
    }
}

TEST_F(CohViewTest, RescaleTouchesOnlyTheFrequencyAxis)
{
    Capture({Noise(2 * kN, 1.0, 1), Noise(2 * kN, 1.0, 2)}, kDt, kN, kN, 2);
    view->SetFirst(true);
    view->Analyse();
    // 128 Hz at most: ten divisions of "10 Hz" come nearest.
    EXPECT_EQ(view->CohPanel()->Selector(CFrequencyPanel::IdXDiv)->CurrentText(), "10 Hz");
}

} // namespace

// The cross spectrum view: a quarter-period shift reads +90°, a channel
// with itself its power spectrum at phase 0, density by the window's noise
// bandwidth; with "Ch2" unset the two-channel views show nothing while FFT
// and PSD keep trace 1.
#include "frequencyviewfixture.h"

#include "views/crspanel.h"
#include "views/cohview.h"
#include "views/crsview.h"
#include "views/fftview.h"
#include "views/frfview.h"
#include "views/psdview.h"
#include "widgets/selectorbutton.h"

#include <type_traits>
#include <utility>

namespace {

constexpr double kDt = 1.0 / 1024;
constexpr int kN = 1024;

class CrsViewTest : public SpectrumFixture {
protected:
    void SetUp() override
    {
        SpectrumFixture::SetUp();
        view = Make<CCrsView>();
        panel = view->CrsPanel();
        view->SetFirst(false);
    }

    CCrsView* view = nullptr;
    CCrsPanel* panel = nullptr;
};

TEST_F(CrsViewTest, QuarterPeriodShiftReadsNinetyDegrees)
{
    // y lags x by a quarter period of 50 Hz: X·conj(Y) turns by +90°.
    // Amplitudes 2 and 3: a mean square product of 2·3/2.
    Capture({Tone(4 * kN, kDt, 50, 2.0), Tone(4 * kN, kDt, 50, 3.0, -std::numbers::pi / 2)}, kDt, kN, kN / 2, 0);
    view->Analyse();
    ASSERT_TRUE(view->TraceShown(0) && view->TraceShown(1));
    EXPECT_NEAR(view->Display(1)[50], 90.0, 0.01);
    EXPECT_NEAR(view->Display(0)[50], 3.0, 1e-3);
    EXPECT_EQ(view->UnitText(0), "Vrms\u00B2");
    EXPECT_EQ(view->UnitText(1), "\u00B0");
}

TEST_F(CrsViewTest, ChannelWithItselfIsItsPowerSpectrum)
{
    // White noise of variance 1 at 1024 Hz: the mean square per bin adds
    // up to the variance; as density it reads 1/512 V²/Hz; phase 0.
    const std::vector<float> x = Noise(64 * kN, 1.0, 41);
    Capture({x, x}, kDt, kN, kN / 2, 0);
    panel->Selector(CFrequencyPanel::IdWindow)->SelectKey(0, false);
    view->Analyse();
    double sum = 0.0;
    for (int k = 0; k < kN / 2; ++k) {
        sum += view->Display(0)[k];
        ASSERT_NEAR(view->Display(1)[k], 0.0, 1e-6);
    }
    EXPECT_NEAR(sum, 1.0, 0.04);

    panel->Selector(CFrequencyPanel::IdWindow)->SelectKey(2, false);
    panel->Selector(CCrsPanel::IdDensity)->SelectKey(1, true);
    QApplication::processEvents();
    double density = 0.0;
    for (int k = 1; k < kN / 2; ++k)
        density += view->Display(0)[k];
    EXPECT_NEAR(density / (kN / 2 - 1), 1.0 / 512, 0.04 / 512);
    EXPECT_EQ(view->UnitText(0), "Vrms\u00B2/Hz");
}

class UnsetChannelTest : public SpectrumFixture {
protected:
    // Shown traces of a view of type View after a record with "Ch2" unset.
    template <class View> std::pair<bool, bool> ShownWithoutSecond()
    {
        auto* view = Make<View>();
        Capture({Noise(2 * kN, 1.0, 1), Noise(2 * kN, 1.0, 2)}, kDt, kN, kN, 2);
        m_frame.channels = {0, 1};
        view->Analyse();
        constexpr bool coherence = std::is_same_v<View, CCohView>; // one trace only
        EXPECT_TRUE(view->TraceShown(0) && view->TraceShown(1) != coherence);
        m_frame.channels = {0, -1};
        view->Analyse();
        view->grab();
        const std::pair<bool, bool> shown{view->TraceShown(0), view->TraceShown(1)};
        delete m_view;
        m_view = nullptr;
        return shown;
    }
};

TEST_F(UnsetChannelTest, TwoChannelViewsShowNothingSingleChannelViewsKeepTraceOne)
{
    using Shown = std::pair<bool, bool>;
    EXPECT_EQ(ShownWithoutSecond<CFftView>(), Shown(true, false));
    EXPECT_EQ(ShownWithoutSecond<CPsdView>(), Shown(true, false));
    EXPECT_EQ(ShownWithoutSecond<CFrfView>(), Shown(false, false));
    EXPECT_EQ(ShownWithoutSecond<CCohView>(), Shown(false, false));
    EXPECT_EQ(ShownWithoutSecond<CCrsView>(), Shown(false, false));
}

} // namespace

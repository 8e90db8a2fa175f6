// The cross correlation view on a captured record: the peak at a known
// delay on both sides of lag 0, the automatic cursor on it, nothing without
// "Ch2", the full rescale of the lag axis, and the plot's lag axis.
#include "views/ccrview.h"

#include "recordviewtest.h"
#include "views/ccrpanel.h"
#include "widgets/cursorwnd.h"

#include <QMouseEvent>
#include <cmath>
#include <random>

namespace {

using CcrViewTest = RecordViewTest<CCcrView>;

std::vector<float> Noise(int count, unsigned seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<float> gauss(0.0f, 1.0f);
    std::vector<float> values(static_cast<size_t>(count));
    for (float& v : values)
        v = gauss(random);
    return values;
}

// x delayed by d samples (d < 0: advanced); samples outside x are noise of
// another seed, so nothing is circular.
std::vector<float> Delayed(const std::vector<float>& x, int d)
{
    std::vector<float> y = Noise(int(x.size()), 99);
    for (int t = 0; t < int(x.size()); ++t)
        if (t - d >= 0 && t - d < int(x.size()))
            y[size_t(t)] = x[size_t(t - d)];
    return y;
}

void Click(QWidget* widget, QPoint at)
{
    QTest::mousePress(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}

} // namespace

TEST_F(CcrViewTest, PeakLiesAtTheDelayOnEitherSideOfLagZero)
{
    constexpr int n = 1024;
    constexpr double dt = 1e-3;
    for (int d : {7, -12}) {
        const std::vector<float> x = Noise(4 * n, 1);
        SetRecord(x, Delayed(x, d), dt, n, n / 2, 0, 100);
        view->Analyse();
        ASSERT_EQ(view->ActiveSlotCount(), 1);
        ASSERT_EQ(view->PointCount(), n);
        const int peak = MaxIndex(view->Display(0), n);
        EXPECT_EQ(peak, n / 2 + d);
        EXPECT_NEAR(view->XStart() + peak * double(view->XStep()), d * dt, 1e-3 * dt); // x step is a float
        // "Normed": a correlation coefficient; the overlap is (N - |d|) / N.
        EXPECT_NEAR(view->Display(0)[peak], 1.0 - std::abs(d) / double(n), 0.05);
        EXPECT_EQ(view->SlotUnit(0), "Nrm");
    }
}

TEST_F(CcrViewTest, AutomaticCursorFollowsThePeakAndManualStays)
{
    constexpr int n = 512;
    const std::vector<float> x = Noise(2 * n, 3);
    SetRecord(x, Delayed(x, 20), 1e-3, n, n / 2);
    view->Analyse();
    view->grab();
    const QRect plot = view->PlotRect();
    Click(view.get(), QPoint(plot.x() + 10, plot.center().y()));
    ASSERT_EQ(view->CursorCount(), 1);
    const double manual = view->Cursor(0)->XValue();
    EXPECT_LT(manual, 0.0);

    Turn(CCcrPanel::IdCursor, 1); // "Auto", code 28
    EXPECT_EQ(view->CursorMode(), 1);
    EXPECT_NEAR(view->Cursor(0)->XValue(), 0.020, 1e-6);

    Turn(CCcrPanel::IdCursor, -1); // "Manual": the cursor stays where it is
    SetRecord(x, Delayed(x, -30), 1e-3, n, n / 2);
    view->Analyse();
    EXPECT_NEAR(view->Cursor(0)->XValue(), 0.020, 1e-6);
}

TEST_F(CcrViewTest, PanelStartsNormedAtATenthOfASecondWithManualCursors)
{
    EXPECT_EQ(Sel(CCcrPanel::IdDisplay).CurrentText(), "Normed");
    EXPECT_EQ(Sel(CCcrPanel::IdXDiv).CurrentText(), "0.1s");
    EXPECT_EQ(Sel(CCcrPanel::IdCursor).CurrentText(), "Manual");
    EXPECT_EQ(Sel(CCcrPanel::IdYDiv1).CurrentText(), "5");
    EXPECT_EQ(view->CursorMode(), 0);
    EXPECT_EQ(StoredKeys(), (QStringList{"Curs:", "Dspl:", "YOff1:", "YDiv1:", "XOff:", "XDiv:"}));
}

TEST_F(CcrViewTest, ShowsNothingWithoutTheSecondChannel)
{
    SetRecord(Noise(2048, 5), {}, 1e-3, 1024, 512);
    view->Analyse();
    EXPECT_EQ(view->ActiveSlotCount(), 0);
    // A record too short for its segment leaves the traces as they were.
    const std::vector<float> x = Noise(2048, 6);
    SetRecord(x, x, 1e-3, 1024, 512);
    view->Analyse();
    ASSERT_EQ(view->ActiveSlotCount(), 1);
    SetRecord(Noise(1000, 7), Noise(1000, 8), 1e-3, 1024, 512);
    view->Analyse();
    EXPECT_EQ(view->ActiveSlotCount(), 1);
    EXPECT_NEAR(view->Display(0)[512], 1.0f, 1e-5);
}

// N = 1024 at 44.1 kHz: ten divisions over the 23.2 ms of lags.
TEST_F(CcrViewTest, FirstAnalysisRescalesTheLagAxisAndThePlotShowsLagZero)
{
    constexpr int n = 1024;
    constexpr double dt = 1.0 / 44100;
    const std::vector<float> x = Noise(2 * n, 9);
    SetRecord(x, x, dt, n, n / 2);
    ASSERT_TRUE(view->First());
    view->Analyse();
    EXPECT_FALSE(view->First());
    EXPECT_EQ(Sel(CCcrPanel::IdXDiv).CurrentText(), "0.002s");
    ASSERT_TRUE(Sel(CCcrPanel::IdXPos).IsNumeric());
    EXPECT_NEAR(Sel(CCcrPanel::IdXPos).NumericValue(), -0.5 * n * dt, 1e-9);
    EXPECT_NEAR(Sel(CCcrPanel::IdXPos).Step(), 0.0002, 1e-12);
    // Coefficients from -1 to 1: 0.2 per division, zero in the middle.
    EXPECT_EQ(Sel(CCcrPanel::IdYDiv1).CurrentText(), "0.2");
    EXPECT_EQ(Sel(CCcrPanel::IdOff1).NumericValue(), 0.0);
    EXPECT_NEAR(Sel(CCcrPanel::IdOff1).Step(), 0.2, 1e-12);

    // The lag axis starts at "XOff:" and lag 0 lies inside the plot.
    view->grab();
    const QRect plot = view->PlotRect();
    EXPECT_NEAR(view->XTransform().min, -0.5 * n * dt, 1e-9);
    EXPECT_NEAR(view->XTransform().max, -0.5 * n * dt + 10 * 0.002, 1e-9);
    const int zero = view->XTransform().Pixel(0.0);
    EXPECT_GT(zero, plot.x());
    EXPECT_LT(zero, plot.x() + plot.width());

    // "XPos" moves the axis, then takes whole divisions as its step.
    Turn(CCcrPanel::IdXPos, 1);
    EXPECT_NEAR(Sel(CCcrPanel::IdXPos).Step(), 0.002, 1e-12);
    view->grab();
    EXPECT_NEAR(view->XTransform().min, Sel(CCcrPanel::IdXPos).NumericValue(), 1e-9);
    EXPECT_GT(view->XTransform().min, -0.5 * n * dt);
}

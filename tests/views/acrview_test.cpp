// The auto correlation view on a captured record: 1 at lag 0 for any
// signal, the cosine of a sine, the plain sums of "Real", one trace per
// set channel, and its panel's codes.
#include "views/acrview.h"

#include "recordviewtest.h"
#include "platform/textarchive.h"
#include "views/acrpanel.h"

#include <cmath>
#include <random>

namespace {

using AcrViewTest = RecordViewTest<CAcrView>;
constexpr double kPi = std::numbers::pi;

std::vector<float> Sine(int count, double amplitude, double frequency, double dt)
{
    std::vector<float> values(static_cast<size_t>(count));
    for (int t = 0; t < count; ++t)
        values[size_t(t)] = float(amplitude * std::sin(2 * kPi * frequency * t * dt + 0.3));
    return values;
}

} // namespace

TEST_F(AcrViewTest, NormedIsOneAtLagZeroForAnySignal)
{
    std::mt19937 random(4);
    std::uniform_real_distribution<float> uniform(-3.0f, 5.0f);
    std::vector<float> noise(3000), steps(3000);
    for (size_t t = 0; t < noise.size(); ++t) {
        noise[t] = uniform(random);
        steps[t] = (t / 37) % 3 == 0 ? 2.5f : -0.25f;
    }
    SetRecord(noise, steps, 1e-4, 2048, 1024, 0, 500);
    view->Analyse();
    for (int slot = 0; slot < 2; ++slot) {
        ASSERT_TRUE(view->SlotShown(slot));
        EXPECT_NEAR(view->Display(slot)[1024], 1.0f, 1e-5) << slot;
        EXPECT_EQ(MaxIndex(view->Display(slot), 2048), 1024) << slot;
    }
}

// A sine with whole periods in the segment: its circular auto correlation
// is cos(2π f τ) at every lag; "Real" gives N·A²/2 at lag 0.
TEST_F(AcrViewTest, SineGivesACosineOfTheSamePeriod)
{
    constexpr int n = 1024;
    constexpr double dt = 1.0 / 8192, f = 8 / (n * dt); // 8 periods: 64 Hz
    SetRecord(Sine(2 * n, 2.0, f, dt), {}, dt, n, n / 2);
    view->Analyse();
    ASSERT_TRUE(view->SlotShown(0));
    EXPECT_FALSE(view->SlotShown(1));
    double worst = 0.0;
    for (int i = 0; i < n; ++i) {
        const double tau = view->XStart() + i * double(view->XStep());
        worst = std::max(worst, std::abs(view->Display(0)[i] - std::cos(2 * kPi * f * tau)));
    }
    EXPECT_LT(worst, 1e-4);

    Turn(CAcrPanel::IdDisplay, 1); // "Real", code 24
    EXPECT_FALSE(view->AcrPanel()->Normed());
    EXPECT_NEAR(view->Display(0)[n / 2], n * 2.0 * 2.0 / 2, 1e-3 * n);
    // Code 24 rescales: sums up to N·A²/2 = 2048, mixed signs: 500 per division.
    EXPECT_EQ(Sel(CAcrPanel::IdYDiv1).CurrentText(), "500");
    // No wrap: one more step up stays at "Real".
    Turn(CAcrPanel::IdDisplay, 1);
    EXPECT_EQ(Sel(CAcrPanel::IdDisplay).CurrentText(), "Real");
}

TEST_F(AcrViewTest, PanelDefaultsCodesAndSettingsLines)
{
    EXPECT_EQ(Sel(CAcrPanel::IdDisplay).CurrentText(), "Normed");
    EXPECT_EQ(Sel(CAcrPanel::IdXDiv).CurrentText(), "0.1s");
    EXPECT_EQ(Sel(CAcrPanel::IdYDiv1).CurrentText(), "5");
    EXPECT_EQ(Sel(CAcrPanel::IdYDiv2).CurrentText(), "5");
    EXPECT_FALSE(Sel(CAcrPanel::IdXPos).IsNumeric());

    // A new second division becomes the second offset's step.
    Turn(CAcrPanel::IdYDiv2, 1);
    EXPECT_EQ(Sel(CAcrPanel::IdYDiv2).CurrentText(), "10");
    EXPECT_EQ(Sel(CAcrPanel::IdOff2).Step(), 10.0);
    EXPECT_EQ(Sel(CAcrPanel::IdOff1).Step(), 5.0);

    EXPECT_EQ(StoredKeys(), (QStringList{"YOff2:", "YOff1:", "YDiv2:", "YDiv1:", "Dspl:", "XOff:", "XDiv:"}));

    // Loading takes the lines without telling the view.
    QByteArray text = "Dspl:$Real\r\nFoo:$1\r\nXDiv:\r\n}\r\n";
    TextArchive load;
    load.OpenBuffer(&text, TextArchive::Mode::Load);
    view->AcrPanel()->SerializePanel(load);
    EXPECT_EQ(Sel(CAcrPanel::IdDisplay).CurrentText(), "Real");
    EXPECT_EQ(Sel(CAcrPanel::IdXDiv).CurrentText(), "0.1s");
}

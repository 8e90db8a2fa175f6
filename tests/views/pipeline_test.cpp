// A view analysing on workers: records published faster than the analysis
// keeps up and a setting changed while an analysis runs. A result taken
// over is always one record's with one set of settings, and once the
// inputs stop changing the view shows, bit for bit, what a view analysing
// at once shows for the newest record and settings.
#include "frequencyviewfixture.h"

#include "capture/analysispool.h"
#include "support/waituntil.h"
#include "views/paneldlg.h"
#include "views/psdpanel.h"
#include "views/psdview.h"
#include "widgets/selectorbutton.h"

#include <set>
#include <utility>

namespace {

constexpr double kDt = 1.0 / 1024; // bins 1 Hz apart at 1024 points
constexpr int kN = 1024;
constexpr int kRecords = 40;
constexpr int kFirstBin = 20;

const QString kPowerUnit = QStringLiteral("Vrms\u00B2");
const QString kDensityUnit = QStringLiteral("Vrms\u00B2/Hz");

class ViewPipelineTest : public SpectrumFixture {
protected:
    void SetUp() override
    {
        SpectrumFixture::SetUp();
        m_frame.workers = &pool;
        view = Make<CPsdView>();
        view->SetFirst(false);
    }
    void TearDown() override
    {
        pool.WaitIdle();
        SpectrumFixture::TearDown();
    }
    // "Dspl" as a user turns it: the view hears of it while its last
    // request may still run.
    void SetDensity(CPsdView* target, bool density)
    {
        target->PsdPanel()->Selector(CPsdPanel::IdDensity)->SelectKey(density ? 1 : 0, false);
        SendAppMessage(target, WM_PANEL_NOTIFY, PanelPowerDisplay, 0);
    }
    static int PeakBin(const CPsdView& v)
    {
        int best = 1;
        for (int k = 2; k < v.PointCount(); ++k)
            if (v.Display(0)[k] > v.Display(0)[best])
                best = k;
        return best;
    }

    AnalysisPool pool{2};
    CPsdView* view = nullptr;
};

TEST_F(ViewPipelineTest, ResultsAreOneRecordsWithOneSettingAndTheNewestWins)
{
    bool density = false;
    std::set<std::pair<int, QString>> requested; // (tone bin, unit) of each request
    int adopted = 0;
    for (int i = 0; i < kRecords; ++i) {
        const int bin = kFirstBin + i;
        Capture({Tone(16 * kN, kDt, bin, 1.0)}, kDt, kN, kN / 2, 0);
        view->Analyse();
        requested.insert({bin, density ? kDensityUnit : kPowerUnit});
        if (i % 7 == 3) {
            density = !density;
            SetDensity(view, density);
            requested.insert({bin, density ? kDensityUnit : kPowerUnit});
        }
        if (view->AdoptResults()) {
            ++adopted;
            ASSERT_TRUE(requested.count({PeakBin(*view), view->UnitText(0)}))
                << "bin " << PeakBin(*view) << " with " << view->UnitText(0).toStdString();
        }
    }
    // The inputs stop changing: the next result taken is the newest's.
    ASSERT_TRUE(WaitUntil([&] {
        view->AdoptResults();
        return view->AnalysisIdle() && view->TraceShown(0) && PeakBin(*view) == kFirstBin + kRecords - 1
               && view->UnitText(0) == (density ? kDensityUnit : kPowerUnit);
    }));
    EXPECT_GE(view->AnalysedRecords(), std::uint64_t(adopted));

    // What a view without workers shows for the same record and settings.
    StubMainFrame direct;
    direct.channels = m_frame.channels;
    direct.record = m_frame.record;
    direct.window.resize(1000, 600);
    CPsdView reference(&direct, &direct.window);
    reference.Create();
    reference.setGeometry(150, 0, 850, 572);
    reference.Show(true);
    reference.SetFirst(false);
    reference.PsdPanel()->Selector(CPsdPanel::IdDensity)->SelectKey(density ? 1 : 0, false);
    reference.Analyse();
    ASSERT_EQ(reference.PointCount(), view->PointCount());
    for (int k = 0; k < view->PointCount(); ++k)
        ASSERT_EQ(reference.Display(0)[k], view->Display(0)[k]) << k;
}

TEST_F(ViewPipelineTest, ASettingChangedWhileAnalysingIsHonouredAndTheOlderResultDropped)
{
    Capture({Tone(256 * kN, kDt, 100, 1.0)}, kDt, kN, kN / 2, 0);
    view->Analyse();        // power, still running or waiting
    SetDensity(view, true); // asked for while the first may run
    ASSERT_TRUE(WaitUntil([&] {
        view->AdoptResults();
        return view->AnalysisIdle();
    }));
    // Whatever finished first, the result shown is the density's.
    EXPECT_EQ(view->UnitText(0), kDensityUnit);
    EXPECT_EQ(PeakBin(*view), 100);
}

TEST_F(ViewPipelineTest, AHiddenViewAsksForNoAnalysis)
{
    Capture({Tone(4 * kN, kDt, 50, 1.0)}, kDt, kN, kN / 2, 0);
    view->Show(false);
    view->Analyse();
    EXPECT_TRUE(view->AnalysisIdle());
    EXPECT_EQ(view->AnalysedRecords(), 0u);
    view->Show(true);
    view->Analyse();
    ASSERT_TRUE(WaitUntil([&] { return view->AdoptResults() || view->AnalysedRecords() > 0; }));
    EXPECT_EQ(view->AnalysedRecords(), 1u);
}

} // namespace

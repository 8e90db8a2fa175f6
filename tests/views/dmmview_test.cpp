// The multimeter view and its panel against a real writer process: each
// statistic against the same samples read independently, windows spanning
// several ticks, a window longer than one read, and the panel's block.
#include "views/dmmview.h"

#include "csvtext.h"
#include "views/viewexport.h"

#include "analysis/multimeterstatistic.h"
#include "context/appcontext.h"
#include "platform/textarchive.h"
#include "support/stubmainframe.h"
#include "support/testenvironment.h"
#include "views/dmmpanel.h"
#include "widgets/selectorbutton.h"
#include "writerprocess.h"
#include "zq.h"

#include <QApplication>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// The statistics written out plainly, over one window.
struct Expected {
    double newest = 0, mean = 0, rms = 0, min = 1e35, max = -1e35;
    explicit Expected(const std::vector<float>& x)
    {
        double sum = 0, squares = 0;
        for (float v : x) {
            sum += v;
            squares += double(v) * v;
            min = std::min(min, double(v));
            max = std::max(max, double(v));
        }
        newest = x.back();
        mean = sum / double(x.size());
        rms = std::sqrt(squares / double(x.size()));
    }
    double Of(int statistic) const
    {
        const double values[] = {newest, mean, rms, min, max};
        return values[statistic];
    }
};

class DmmViewTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetContext();
        m_frame.window.resize(1000, 600);
        m_view = new CDmmView(&m_frame, &m_frame.window);
        m_view->Create();
        m_view->setGeometry(150, 28, 850, 544);
        m_panel = m_view->DmmPanel();
    }
    void TearDown() override { delete m_view; }

    void Start(double rate)
    {
        m_writer = std::make_unique<WriterProcess>(2, rate, QStringLiteral("V"));
        ASSERT_TRUE(m_writer->Ready());
        m_frame.channels = {0, 1};
        ZQ_FreezeBuffers(CDmmView::kClient);
        ZQ_FreezeBuffers(2);
        m_view->Show(true);
    }

    // One tick after the writer wrote count samples of a 50 Hz sine; the
    // samples of channel 0 are kept as client 2 reads them.
    void TickSine(int count)
    {
        ASSERT_TRUE(m_writer->Sine(50.0, 1.0, count));
        ZQ_FreezeBuffers(CDmmView::kClient);
        m_view->Tick();
        ZQ_FreezeBuffers(2);
        std::vector<float> block(static_cast<size_t>(count));
        ASSERT_EQ(ZQ_ReadChan(2, 0, reinterpret_cast<unsigned char*>(block.data()), count), count);
        m_seen.insert(m_seen.end(), block.begin(), block.end());
    }

    TestEnvironment m_env;
    StubMainFrame m_frame;
    CDmmView* m_view = nullptr;
    CDmmPanel* m_panel = nullptr;
    std::unique_ptr<WriterProcess> m_writer;
    std::vector<float> m_seen;
};

} // namespace

TEST_F(DmmViewTest, PanelDefaultsAndBlock)
{
    EXPECT_EQ(m_panel->Selector(CDmmPanel::IdCalc)->CurrentText(), "RMS");
    EXPECT_EQ(m_panel->WindowSeconds(), 0.3);
    QByteArray block("Tcst:$3\r\nClc:$MAX\r\n}\r\n");
    TextArchive load;
    load.OpenBuffer(&block, TextArchive::Mode::Load);
    m_view->LoadPanel(load);
    EXPECT_EQ(m_panel->Statistic(), int(MultimeterStatistic::Max));
    EXPECT_EQ(m_panel->WindowSeconds(), 3.0);
    QByteArray bytes;
    TextArchive store;
    store.OpenBuffer(&bytes, TextArchive::Mode::Store);
    m_view->StorePanel(store);
    store.Close();
    EXPECT_EQ(bytes, QByteArray("Tcst:$3\r\nClc:$MAX\r\n"));
}

// 0.3 s at 10 kHz is a window of 3000 samples, filled by three ticks; each
// statistic equals the one computed plainly on the same samples.
TEST_F(DmmViewTest, StatisticsOfWindowsSpanningSeveralTicks)
{
    Start(10000);
    for (int statistic = 0; statistic < kMultimeterStatisticCount; ++statistic) {
        m_panel->Selector(CDmmPanel::IdCalc)->SelectKey(statistic, true);
        QApplication::processEvents();
        m_seen.clear();
        const int before = m_view->Evaluations();
        TickSine(1000);
        TickSine(1000);
        EXPECT_EQ(m_view->Evaluations(), before);
        TickSine(1000);
        ASSERT_EQ(m_view->Evaluations(), before + 1);
        EXPECT_EQ(m_view->Window(), 3000);
        const Expected expected(m_seen);
        EXPECT_NEAR(m_view->Value(0), expected.Of(statistic), 1e-6) << MultimeterStatisticText(MultimeterStatistic(statistic)).data();
        EXPECT_NEAR(m_view->Value(1), 2.0 * expected.Of(statistic), 2e-6);
    }
    // 15 whole periods of a 1 V peak sine.
    m_panel->Selector(CDmmPanel::IdCalc)->SelectText(QStringLiteral("RMS"));
    for (int i = 0; i < 3; ++i)
        TickSine(1000);
    EXPECT_NEAR(m_view->Value(0), std::sqrt(0.5), 1e-4);
    m_panel->Selector(CDmmPanel::IdCalc)->SelectText(QStringLiteral("MEAN"));
    for (int i = 0; i < 3; ++i)
        TickSine(1000);
    EXPECT_NEAR(m_view->Value(0), 0.0, 1e-4);
    m_panel->Selector(CDmmPanel::IdCalc)->SelectText(QStringLiteral("MAX"));
    for (int i = 0; i < 3; ++i)
        TickSine(1000);
    EXPECT_NEAR(m_view->Value(0), 1.0, 1e-4);

    // A new window length restarts with empty windows.
    TickSine(1000);
    m_panel->Selector(CDmmPanel::IdTime)->SelectText(QStringLiteral("1"));
    m_panel->Notify(PanelTimeConstant, Delivery::Send);
    EXPECT_EQ(m_view->Window(), 10000);
    EXPECT_EQ(m_view->Evaluations(), 0);

    const QImage image = m_view->grab().toImage();
    EXPECT_FALSE(image.isNull());
}

// "3" at 44.1 kHz: a window of 132300 samples, more than one read holds.
TEST_F(DmmViewTest, WindowLongerThanOneRead)
{
    m_panel->Selector(CDmmPanel::IdTime)->SelectText(QStringLiteral("3"));
    m_panel->Selector(CDmmPanel::IdCalc)->SelectText(QStringLiteral("RMS"));
    Start(44100);
    for (int i = 0; i < 30; ++i)
        TickSine(4410);
    ASSERT_EQ(m_view->Window(), 132300);
    ASSERT_EQ(m_view->Evaluations(), 1);
    EXPECT_NEAR(m_view->Value(0), Expected(m_seen).rms, 1e-6);
    EXPECT_NEAR(m_view->Value(0), std::sqrt(0.5), 1e-4);
}

// The export has one row per shown channel: its statistic, value and unit;
// the RMS of a 1 V sine over whole periods is 1/sqrt(2) V.
TEST_F(DmmViewTest, ExportListsStatisticValueAndUnit)
{
    Start(10000);
    while (m_view->Evaluations() == 0)
        TickSine(1000);
    const CsvText csv(ViewExport::Csv(*m_view));
    EXPECT_EQ(csv.Comment("view:"), "view: DMM");
    EXPECT_TRUE(csv.Comment("record:").isEmpty()) << "the multimeter reads the channels, not records";
    EXPECT_EQ(csv.Comment("sample interval:"), "sample interval: 0.0001 s");
    EXPECT_EQ(csv.header, QStringList({"channel", "statistic", "value", "unit"}));
    ASSERT_EQ(csv.rows.size(), 2u);
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(csv.rows[size_t(row)][1], "RMS");
        EXPECT_EQ(csv.rows[size_t(row)][3], "V");
        EXPECT_EQ(csv.rows[size_t(row)][2].toFloat(), float(m_view->Value(row))) << row;
    }
    EXPECT_NEAR(csv.rows[0][2].toDouble(), 1.0 / std::sqrt(2.0), 1e-3);
}

// The octave view and its panel against a real writer process: levels of a
// tone of known rms in its band at several bandwidths, weightings and sample
// rates, the decay rates of the time weightings, the overall level of white
// noise, and the band layout.
#include "views/octview.h"

#include "csvtext.h"
#include "views/viewexport.h"

#include "analysis/octaveanalyser.h"
#include "context/appcontext.h"
#include "platform/textarchive.h"
#include "support/stubmainframe.h"
#include "support/testenvironment.h"
#include "views/dmmview.h"
#include "views/octpanel.h"
#include "views/viewfactories.h"
#include "widgets/selectorbutton.h"
#include "writerprocess.h"
#include "zq.h"

#include <QApplication>
#include <QImage>
#include <QWheelEvent>
#include <cmath>
#include <memory>
#include <gtest/gtest.h>

namespace {

const double kLevel94 = 20.0 * std::log10(50000.0); // 1 Pa rms in dB re 20 µPa

void Choose(COctPanel& panel, int id, const char* text, int code)
{
    panel.Selector(id)->SelectText(QString::fromUtf8(text));
    panel.Notify(code, Delivery::Send);
}

// Steps a selector with one wheel notch (positive: up the list).
void Wheel(QWidget* widget, int delta)
{
    const QPoint pos = widget->rect().center();
    QWheelEvent event(QPointF(pos), QPointF(widget->mapToGlobal(pos)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

class OctViewTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetContext();
        m_frame.window.resize(1000, 600);
        m_view = new COctView(&m_frame, &m_frame.window);
        m_view->Create();
        m_view->setGeometry(150, 28, 850, 544);
        m_panel = m_view->OctPanel();
    }
    void TearDown() override { delete m_view; }

    // Starts the writer and the view on it: trace 1 on channel 0.
    void StartWriter(double rate, int channels = 1)
    {
        m_writer = std::make_unique<WriterProcess>(channels, rate);
        ASSERT_TRUE(m_writer->Ready());
        m_rate = rate;
        m_frame.channels[0] = 0;
        ZQ_FreezeBuffers(COctView::kClient);
        m_view->Show(true);
    }

    // seconds of a sine, in ticks of at most 50 ms.
    void Sine(double frequency, double peak, double seconds) { Feed(seconds, [&](int n) { return m_writer->Sine(frequency, peak, n); }); }
    void Zero(double seconds) { Feed(seconds, [&](int n) { return m_writer->Zero(n); }); }

    template <class Write> void Feed(double seconds, Write write)
    {
        int left = int(std::lround(seconds * m_rate));
        const int block = int(0.05 * m_rate);
        while (left > 0) {
            const int n = std::min(left, block);
            ASSERT_TRUE(write(n));
            Tick();
            left -= n;
        }
    }

    void Tick()
    {
        ZQ_FreezeBuffers(COctView::kClient);
        m_view->Tick();
    }

    // Level of the band centred on fc (Hz) of trace 0.
    double BandLevel(double fc) const
    {
        const OctaveAnalyser& a = m_view->Analyser(0);
        for (int j = 0; j < a.BandCount(); ++j)
            if (std::abs(a.Centre(j) - fc) < 1e-6 * fc)
                return a.BandLevels()[j];
        ADD_FAILURE() << "no band at " << fc << " Hz";
        return 0.0;
    }

    TestEnvironment m_env;
    StubMainFrame m_frame;
    COctView* m_view = nullptr;
    COctPanel* m_panel = nullptr;
    std::unique_ptr<WriterProcess> m_writer;
    double m_rate = 0.0;
};

} // namespace

TEST_F(OctViewTest, PanelDefaultsKeysAndLimits)
{
    QByteArray bytes;
    TextArchive archive;
    archive.OpenBuffer(&bytes, TextArchive::Mode::Store);
    m_panel->SerializePanel(archive);
    archive.Close();
    EXPECT_EQ(QString::fromUtf8(bytes), QStringLiteral("YOff:#0,10,0\r\nYDiv:$10\r\nFHigh:$16000\r\nOaspl:$On\r\n"
                                                       "Dspl:$Filled Bar\r\nWght:$A Weight\r\ntime:$Slow\r\n"
                                                       "FLow:$125\r\nBw:$1/1 Octave\r\n"));
    EXPECT_EQ(m_panel->Selector(COctPanel::IdBandwidth)->LabelWidth(), 48);
    EXPECT_EQ(m_panel->Selector(COctPanel::IdYDiv)->LabelWidth(), 32);

    m_panel->Selector(COctPanel::IdHighFrq)->SelectText(QStringLiteral("128000"));
    Wheel(m_panel->Selector(COctPanel::IdHighFrq), 120);
    EXPECT_EQ(m_panel->Selector(COctPanel::IdHighFrq)->CurrentText(), "128000");
    Wheel(m_panel->Selector(COctPanel::IdBandwidth), -120);
    EXPECT_EQ(m_panel->Selector(COctPanel::IdBandwidth)->CurrentText(), "1/1 Octave");

    // A block read back restores the choices without notifying.
    QByteArray block("YOff:#60,20,1\r\nYDiv:$20\r\nFHigh:$4000\r\nOaspl:$Off\r\nDspl:$Line\r\nWght:$C Weight\r\n"
                     "time:$35ms\r\nFLow:$31\r\nBw:$1/24 Octave\r\n}\r\n");
    TextArchive load;
    load.OpenBuffer(&block, TextArchive::Mode::Load);
    m_view->LoadPanel(load);
    EXPECT_EQ(m_panel->YOffset(), 80.0);
    EXPECT_EQ(m_panel->YDiv(), 20.0);
    EXPECT_EQ(m_panel->HighHz(), 4000.0);
    EXPECT_FALSE(m_panel->OasplOn());
    EXPECT_EQ(m_panel->DisplayStyle(), COctPanel::DisplayLine);
    EXPECT_EQ(m_panel->Weighting(), 3);
    EXPECT_EQ(m_panel->TimeConstant(), 0.035);
    EXPECT_EQ(m_panel->LowHz(), 31.0);
    EXPECT_EQ(m_panel->BandsPerOctave(), 24);
}

TEST_F(OctViewTest, StyleAndOasplNotifyNothingWhileTheOthersPostTheirCodes)
{
    StartWriter(8000);
    const OctaveAnalyser& a = m_view->Analyser(0);
    // "16000" is limited to Nyquist, 4 kHz: 125 … 2000 Hz, no band reaches past 4 kHz.
    ASSERT_EQ(a.BandCount(), 5);
    EXPECT_DOUBLE_EQ(a.Centre(0), 125.0);
    EXPECT_DOUBLE_EQ(a.Centre(4), 2000.0);
    // A click on "Dspl" or "OASPL" changes no design; "BW" posts a new one.
    Wheel(m_panel->Selector(COctPanel::IdDisplay), -120);
    Wheel(m_panel->Selector(COctPanel::IdOaspl), -120);
    Wheel(m_panel->Selector(COctPanel::IdBandwidth), 120);
    EXPECT_EQ(a.BandsPerOctave(), 1);
    QApplication::processEvents();
    EXPECT_EQ(a.BandsPerOctave(), 3);
    EXPECT_EQ(m_panel->DisplayStyle(), COctPanel::DisplayBar);
    EXPECT_FALSE(m_panel->OasplOn());
}

TEST_F(OctViewTest, OctaveBandsFrom125HzTo8kHz)
{
    StartWriter(44100);
    Choose(*m_panel, COctPanel::IdBandwidth, "1/1 Octave", PanelBandwidth);
    const OctaveAnalyser& a = m_view->Analyser(0);
    ASSERT_EQ(a.BandCount(), 7);
    for (int j = 0; j < 7; ++j)
        EXPECT_DOUBLE_EQ(a.Centre(j), 125.0 * std::pow(2.0, j));
}

// 1 Pa rms at 1 kHz reads 94.0 dB in the 1 kHz band at every bandwidth, with
// each weighting that is 0 dB at 1 kHz, at three sample rates.
TEST_F(OctViewTest, OnePascalReads94DbInTheKilohertzBand)
{
    for (double rate : {44100.0, 48000.0, 200000.0}) {
        m_writer.reset();
        StartWriter(rate);
        Choose(*m_panel, COctPanel::IdLowFrq, "500", PanelLowBand);
        Choose(*m_panel, COctPanel::IdHighFrq, "4000", PanelHighBand);
        Choose(*m_panel, COctPanel::IdTime, "35ms", PanelTimeWeighting);
        for (const char* bandwidth : {"1/1 Octave", "1/3 Octave", "1/24 Octave"})
            for (const char* weighting : {"Linear", "A Weight", "C Weight"}) {
                Choose(*m_panel, COctPanel::IdWeighting, weighting, PanelWeighting);
                Choose(*m_panel, COctPanel::IdBandwidth, bandwidth, PanelBandwidth);
                Sine(1000.0, std::sqrt(2.0), 0.4);
                EXPECT_NEAR(BandLevel(1000.0), kLevel94, 0.05) << rate << " Hz, " << bandwidth << ", " << weighting;
            }
    }
}

TEST_F(OctViewTest, WeightingChangesLevelsAtOnceWithoutReset)
{
    StartWriter(48000);
    Choose(*m_panel, COctPanel::IdWeighting, "Linear", PanelWeighting);
    Choose(*m_panel, COctPanel::IdTime, "35ms", PanelTimeWeighting);
    Sine(125.0, std::sqrt(2.0), 0.5);
    const double linear = BandLevel(125.0);
    EXPECT_NEAR(linear, kLevel94, 0.05);
    Choose(*m_panel, COctPanel::IdWeighting, "A Weight", PanelWeighting);
    Sine(125.0, std::sqrt(2.0), 0.01);
    const double a = 20 * std::log10(OctaveAnalyser::WeightingGain(OctaveAnalyser::Weighting::A, 125.0));
    EXPECT_NEAR(a, -16.1, 0.2);
    EXPECT_NEAR(BandLevel(125.0), linear + a, 0.05);
}

// After the tone stops the level falls by 10·log10(e)/τ dB per second.
TEST_F(OctViewTest, FastAndSlowDecayRates)
{
    StartWriter(48000);
    Choose(*m_panel, COctPanel::IdWeighting, "Linear", PanelWeighting);
    struct Case {
        const char* time;
        double tau, from, to;
    } cases[] = {{"Fast", 0.125, 0.1, 0.5}, {"Slow", 1.0, 0.2, 1.0}};
    for (const Case& c : cases) {
        Choose(*m_panel, COctPanel::IdTime, c.time, PanelTimeWeighting);
        Choose(*m_panel, COctPanel::IdBandwidth, "1/1 Octave", PanelBandwidth); // fresh states
        Sine(1000.0, std::sqrt(2.0), 0.3);
        Zero(c.from);
        const double start = BandLevel(1000.0);
        Zero(c.to - c.from);
        const double rate = (start - BandLevel(1000.0)) / (c.to - c.from);
        const double expected = 10.0 * std::log10(std::exp(1.0)) / c.tau; // 34.7 and 4.3 dB/s
        EXPECT_NEAR(rate, expected, 0.1 * expected) << c.time;
    }
}

// White noise: the overall level is the level of the broadband rms. At
// 45.3 kHz the upper edge of the 20 kHz third-octave band, 22.63 kHz, lies
// just below Nyquist, so the bands cover the whole spectrum of the noise (at
// 48 kHz the 6 % of it above 22.63 kHz would be missing: −0.27 dB).
TEST_F(OctViewTest, WhiteNoiseOasplIsTheBroadbandLevel)
{
    StartWriter(45300);
    Choose(*m_panel, COctPanel::IdWeighting, "Linear", PanelWeighting);
    Choose(*m_panel, COctPanel::IdTime, "Fast", PanelTimeWeighting);
    Choose(*m_panel, COctPanel::IdLowFrq, "16", PanelLowBand);
    Choose(*m_panel, COctPanel::IdHighFrq, "128000", PanelHighBand);
    Choose(*m_panel, COctPanel::IdBandwidth, "1/3 Octave", PanelBandwidth);
    // The samples the view gets, read again through another client.
    ZQ_FreezeBuffers(2);
    double sum = 0.0;
    long long count = 0;
    std::vector<float> samples(100000);
    for (int block = 0; block < 20; ++block) {
        ASSERT_TRUE(m_writer->Noise(0.5, 2265));
        Tick();
        ZQ_FreezeBuffers(2);
        const int n = ZQ_ReadChan(2, 0, reinterpret_cast<unsigned char*>(samples.data()), int(samples.size()));
        if (block >= 10)
            for (int i = 0; i < n; ++i, ++count)
                sum += double(samples[i]) * samples[i];
    }
    const double broadband = 20.0 * std::log10(std::sqrt(sum / double(count)) * 50000.0);
    ASSERT_EQ(m_view->Analyser(0).Centre(m_view->Analyser(0).BandCount() - 1), 1000.0 * std::pow(2.0, 13.0 / 3.0));
    EXPECT_NEAR(m_view->Analyser(0).UnweightedTotal(), broadband, 0.2);
    EXPECT_NEAR(m_view->Analyser(0).WeightedTotal(), m_view->Analyser(0).UnweightedTotal(), 1e-9);
}

TEST_F(OctViewTest, SecondTraceAloneReadsItsOwnChannel)
{
    StartWriter(48000, 2);
    m_frame.channels = {-1, 1};
    Choose(*m_panel, COctPanel::IdWeighting, "Linear", PanelWeighting);
    Choose(*m_panel, COctPanel::IdTime, "35ms", PanelTimeWeighting);
    Sine(1000.0, std::sqrt(2.0), 0.4);
    // Channel 1 carries twice the signal: 6 dB more.
    const OctaveAnalyser& second = m_view->Analyser(1);
    EXPECT_NEAR(second.BandLevels()[3], kLevel94 + 20 * std::log10(2.0), 0.05);
    EXPECT_EQ(second.Centre(3), 1000.0);
    // The picture: both bars and texts show with both traces.
    m_frame.channels = {0, 1};
    Sine(1000.0, std::sqrt(2.0), 0.05);
    const QImage image = m_view->grab().toImage();
    EXPECT_FALSE(image.isNull());
}

TEST(ViewRegistration, OctaveAndMultimeterSlotsMakeTheirViews)
{
    TestEnvironment env;
    StubMainFrame frame;
    std::unique_ptr<CGraphWnd> octave(RegisteredViews()[int(ViewKind::Oct)](&frame, &frame.window));
    std::unique_ptr<CGraphWnd> multimeter(RegisteredViews()[int(ViewKind::Dmm)](&frame, &frame.window));
    EXPECT_NE(qobject_cast<COctView*>(octave.get()), nullptr);
    EXPECT_NE(qobject_cast<CDmmView*>(multimeter.get()), nullptr);
}

// The export lists per band its centre, the level and the weighted level,
// then the overall levels: 1 Pa at 250 Hz is 94 dB, and A-weighted 8.6 dB less.
TEST_F(OctViewTest, ExportListsBandLevelsWeightedLevelsAndTheOverallLevel)
{
    StartWriter(48000);
    Choose(*m_panel, COctPanel::IdWeighting, "A Weight", PanelWeighting);
    Choose(*m_panel, COctPanel::IdTime, "35ms", PanelTimeWeighting);
    Sine(250.0, std::sqrt(2.0), 0.4);
    m_view->FinishLevels();
    const CsvText csv(ViewExport::Csv(*m_view));
    EXPECT_EQ(csv.Comment("view:"), "view: OCT");
    EXPECT_FALSE(csv.Comment("panel: Wght:$A Weight").isEmpty());
    ASSERT_EQ(csv.header.size(), 3);
    EXPECT_EQ(csv.header[0], "centre [Hz]");
    EXPECT_TRUE(csv.header[1].endsWith(" level [dB]")) << csv.header[1].toStdString();
    EXPECT_TRUE(csv.header[2].endsWith(" weighted level [dBA]")) << csv.header[2].toStdString();
    const int bands = m_view->Analyser(0).BandCount();
    ASSERT_EQ(int(csv.rows.size()), bands + 1);
    int at250 = -1;
    for (int j = 0; j < bands; ++j)
        if (std::abs(csv.rows[size_t(j)][0].toDouble() - 250.0) < 1e-3)
            at250 = j;
    ASSERT_GE(at250, 0);
    EXPECT_NEAR(csv.rows[size_t(at250)][1].toDouble(), kLevel94, 0.1);
    EXPECT_NEAR(csv.rows[size_t(at250)][2].toDouble(), kLevel94 - 8.6, 0.1);
    EXPECT_EQ(csv.rows.back()[0], "OASPL");
    EXPECT_NEAR(csv.rows.back()[1].toDouble(), kLevel94, 0.1);
    EXPECT_NEAR(csv.rows.back()[2].toDouble(), kLevel94 - 8.6, 0.1);
}

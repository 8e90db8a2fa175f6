#include "acquisition/calibrationdlg.h"
#include "acquisition/channelsetupdlg.h"
#include "acquisition/hwmanager.h"
#include "acquisition/pendramodule.h"
#include "acquisition/recorderapi.h"
#include "acquisition/recordermodule.h"
#include "platform/dialogtemplate.h"
#include "platform/messagebox.h"
#include "platform/modaldialog.h"
#include "platform/textarchive.h"
#include "context/appcontext.h"
#include "setupdialogdriver.h"
#include "simcontrol.h"
#include "support/testenvironment.h"
#include "zq.h"

#include <QPushButton>
#include <QElapsedTimer>
#include <QTimer>
#include <QTest>
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <vector>

namespace {

constexpr double kFullScale = 2147483647.5;

// The simulator's call counters, looked up in the loaded library.
struct SimCounters {
    int (*SettingCalls)() = nullptr;
    int (*Calibrations)(int) = nullptr;
    void (*Reset)() = nullptr;

    SimCounters()
    {
        void* handle = Vel().handle;
        if (!handle)
            return;
        SettingCalls = reinterpret_cast<int (*)()>(dlsym(handle, "VelSimSettingCalls"));
        Calibrations = reinterpret_cast<int (*)(int)>(dlsym(handle, "VelSimCalibrations"));
        Reset = reinterpret_cast<void (*)()>(dlsym(handle, "VelSimResetCounts"));
    }
    bool Valid() const { return SettingCalls && Calibrations && Reset; }
    std::vector<int> CalibratedChannels(int channels) const
    {
        std::vector<int> calibrated;
        for (int ch = 0; ch < channels; ++ch) {
            for (int i = 0; i < Calibrations(ch); ++i)
                calibrated.push_back(ch);
        }
        return calibrated;
    }
};

class ConfigureTest : public testing::Test {
protected:
    ConfigureTest()
    {
        ResetContext();
        m_env.SetEnv("VELMOR_SIM_CALIBRATION_MS", "5");
    }
    ~ConfigureTest() override
    {
        if (m_sim.SetManualClock)
            m_sim.SetManualClock(0);
        ZQ_ReleaseWriter();
        ResetContext();
    }

    // Chooses the simulated model with the manual sample clock.
    CRecorderModule* Choose(const char* model)
    {
        m_env.SetEnv("VELMOR_SIM_MODULE", model);
        m_manager.ChooseModule();
        m_sim = SimControl();
        m_counters = SimCounters();
        EXPECT_TRUE(m_sim.Valid() && m_counters.Valid());
        if (m_sim.SetManualClock)
            m_sim.SetManualClock(1);
        return dynamic_cast<CRecorderModule*>(m_manager.Module());
    }
    // The setup dialog of every configuration from now on: edit changes
    // its records and rate, then its accept button is clicked.
    void Edit(std::function<void(int&, std::span<HwChanSetup>)> edit)
    {
        m_dialogs.SetDefaultHandler([edit](QDialog& dialog) {
            auto& setup = dynamic_cast<CChannelSetupDlg&>(dialog);
            int rate = setup.SampleRateChoice();
            edit(rate, setup.Records());
            setup.SelectSampleRate(rate);
            SetupDialogDriver::Accept(setup);
        });
    }
    // What the setup dialog shows after reading the module; cancelled.
    std::vector<HwChanSetup> ReadBack(CRecorderModule* module)
    {
        std::vector<HwChanSetup> seen;
        m_dialogs.QueueHandler([&seen](QDialog& dialog) {
            const auto records = dynamic_cast<CChannelSetupDlg&>(dialog).Records();
            seen.assign(records.begin(), records.end());
            dialog.reject();
        });
        EXPECT_FALSE(module->Configure(true));
        return seen;
    }
    // Takes up the service's newest definition and reads from now on.
    static void Listen()
    {
        ZQ_GetNrOfChan();
        ZQ_ResetBuffer(2, -1);
    }
    // The service's values of position k since the last Listen.
    static std::vector<float> ServiceValues(int position)
    {
        const int count = ZQ_CheckChanEx(2, position);
        std::vector<float> values(static_cast<size_t>(std::max(count, 0)));
        if (count > 0)
            ZQ_ReadChanEx(2, position, reinterpret_cast<unsigned char*>(values.data()), count, 0);
        return values;
    }

    TestEnvironment m_env;
    MessageBoxRecorder m_boxes;
    DialogRecorder m_dialogs;
    CHwManager m_manager;
    SimControl m_sim;
    SimCounters m_counters;
};

TEST_F(ConfigureTest, HalvekPowerOnSetupDefinesEveryChannelInVoltsAndReapplyingSendsNothing)
{
    CRecorderModule* module = Choose("Halvek");
    ASSERT_NE(module, nullptr);
    ASSERT_TRUE(m_manager.DefineChannels(true));
    EXPECT_TRUE(module->IsRunning());
    EXPECT_EQ(m_counters.SettingCalls(), 0);
    EXPECT_TRUE(m_counters.CalibratedChannels(24).empty());

    const HwChanSetup& pulse = module->Channel(23);
    EXPECT_TRUE(pulse.On);
    EXPECT_EQ(pulse.Range, 9);
    EXPECT_EQ(pulse.Input, 0);
    EXPECT_EQ(pulse.percentText, "50%");
    EXPECT_EQ(pulse.usecText, "100usec");
    EXPECT_EQ(module->SampleRate(), 10000);

    ASSERT_EQ(ZQ_GetNrOfChan(), 24);
    EXPECT_STREQ(ZQ_GetChanName(0), "Halvek:0");
    EXPECT_STREQ(ZQ_GetChanName(23), "Halvek:23");
    EXPECT_STREQ(ZQ_GetChanUnit(23), "V");
    EXPECT_EQ(ZQ_GetChanPChan(23), 24);
    EXPECT_DOUBLE_EQ(ZQ_GetChanClkrate(5), 1e-4);
    EXPECT_EQ(m_manager.RecordFile().ChannelCount(), 24);

    Listen();
    m_sim.Advance(300);
    m_manager.Poll();
    for (int position : {0, 3, 23}) {
        const std::vector<float> values = ServiceValues(position);
        ASSERT_EQ(values.size(), 300u);
        for (int n = 0; n < 300; ++n)
            ASSERT_EQ(values[n], float(m_sim.Sample(position, n) * (10.0 / kFullScale))) << position << " " << n;
    }

    m_counters.Reset();
    ASSERT_TRUE(module->Configure(false));
    EXPECT_TRUE(module->IsRunning());
    EXPECT_EQ(m_counters.SettingCalls(), 0);
    EXPECT_EQ(ZQ_GetNrOfChan(), 24);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(ConfigureTest, SetupMadeInTheDialogSendsWhatChangedAndScalesTheChannels)
{
    CRecorderModule* module = Choose("Halvek");
    ASSERT_TRUE(m_manager.DefineChannels(true)); // the power-on setup, accepted as shown
    m_counters.Reset();
    m_dialogs.QueueHandler([](QDialog& shown) {
        namespace Driver = SetupDialogDriver;
        auto& dialog = dynamic_cast<CChannelSetupDlg&>(shown);
        // Channels 3 to 24 off together, channel 1 down to the 5 V range and
        // scaled to pascal, channel 2 ICP.
        Driver::Click(dialog, 0, 2);
        Driver::Click(dialog, 0, 23, Qt::ShiftModifier);
        Driver::Click(dialog, dialog.ColumnOf(SetupField::On), 2);
        Driver::Wheel(dialog, dialog.ColumnOf(SetupField::Range), 0, false);
        Driver::Choose(dialog, dialog.ColumnOf(SetupField::Cpl), 1, "ICP");
        Driver::Type(dialog, dialog.ColumnOf(SetupField::Unit), 0, "Pa");
        Driver::Type(dialog, dialog.ColumnOf(SetupField::A), 0, "2");
        Driver::Type(dialog, dialog.ColumnOf(SetupField::AtV), 0, "0.5");
        Driver::Type(dialog, dialog.ColumnOf(SetupField::B), 0, "1");
        Driver::Type(dialog, dialog.ColumnOf(SetupField::Name), 0, "Front");
        Driver::Accept(dialog);
    });
    ASSERT_TRUE(m_manager.DefineChannels(true));
    ASSERT_EQ(m_dialogs.Runs().size(), 2u);
    EXPECT_EQ(m_dialogs.Runs()[1].className, "CChannelSetupDlg");
    EXPECT_TRUE(module->IsRunning());
    // 22 channels off, one range, one IEPE; only the new range calibrates.
    EXPECT_EQ(m_counters.SettingCalls(), 24);
    EXPECT_EQ(m_counters.CalibratedChannels(24), std::vector<int>{0});
    EXPECT_DOUBLE_EQ(Vel().VelGetInpRange(0, 0), 5.0);
    EXPECT_EQ(Vel().VelGetIEPE(0, 1), 1);

    Listen();
    ASSERT_EQ(ZQ_GetNrOfChan(), 2);
    EXPECT_STREQ(ZQ_GetChanName(0), "Front");
    EXPECT_STREQ(ZQ_GetChanUnit(0), "Pa");
    EXPECT_STREQ(ZQ_GetChanName(1), "Halvek:1");
    EXPECT_STREQ(ZQ_GetChanUnit(1), "V");
    // Channel 1 is a 50 Hz sine of 0.9 of full scale: 4.5 V on the 5 V
    // range; at 10000 samples per second its crest is sample 50 and its
    // trough sample 150. 2 Pa per 0.5 V plus 1 Pa: 19 Pa and -17 Pa.
    m_sim.Advance(200);
    m_manager.Poll();
    const std::vector<float> pascal = ServiceValues(0);
    ASSERT_EQ(pascal.size(), 200u);
    EXPECT_NEAR(pascal[0], 1.0, 1e-6);
    EXPECT_NEAR(pascal[50], 19.0, 1e-5);
    EXPECT_NEAR(pascal[150], -17.0, 1e-5);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(ConfigureTest, CancelledEditorAppliesNothingAndLeavesSamplingOff)
{
    CRecorderModule* module = Choose("Halvek");
    ASSERT_TRUE(module->Configure(true));
    m_dialogs.QueueHandler([](QDialog& dialog) {
        auto& setup = dynamic_cast<CChannelSetupDlg&>(dialog);
        setup.SelectSampleRate(20000);
        setup.Records()[2].Range = 3;
        setup.Records()[5].On = false;
        QTest::mouseClick(ControlAs<QPushButton>(&setup, IDCANCEL), Qt::LeftButton);
    });
    EXPECT_FALSE(m_manager.DefineChannels(true));
    EXPECT_FALSE(module->IsRunning());
    EXPECT_EQ(m_counters.SettingCalls(), 0);
    EXPECT_EQ(Vel().VelGetSampleRate(), 10000);
    EXPECT_EQ(module->SampleRate(), 10000);
    EXPECT_DOUBLE_EQ(Vel().VelGetInpRange(0, 2), 10.0);
    EXPECT_EQ(Vel().VelGetChannelActive(0, 5), 1);
    // The records keep the edit, as a dialog edits them in place.
    EXPECT_EQ(module->Channel(2).Range, 3);
    m_sim.Advance(100);
    m_manager.Poll();
    EXPECT_EQ(module->SamplesTaken(), 0);
}

TEST_F(ConfigureTest, ScalingNamesAndPositionsFollowTheRecords)
{
    CRecorderModule* module = Choose("Halvek");
    Edit([](int&, std::span<HwChanSetup> records) {
        for (int ch = 4; ch < 23; ++ch)
            records[ch].On = false;
        records[0].a = "2";
        records[0].atV = "0.5";
        records[0].b = "1";
        records[1].atV = "0"; // no factor: volts
        records[1].a = "7";
        records[1].Name = "Wheel µ";
        records[1].Unit = "m/s²";
        records[2].atV = "volts";
        records[2].a = "3";
        records[3].a = "none"; // reads as 0
    });
    ASSERT_TRUE(module->Configure(true));
    EXPECT_EQ(m_counters.SettingCalls(), 19); // the channels switched off
    EXPECT_EQ(Vel().VelGetChannelActive(0, 4), 0);
    EXPECT_EQ(Vel().VelGetChannelActive(0, 3), 1);

    ASSERT_EQ(module->ActiveCount(), 5);
    EXPECT_EQ(module->ChannelAt(4), 23);
    const double count = 10.0 / kFullScale;
    EXPECT_DOUBLE_EQ(module->ScaleAt(0), 4 * count);
    EXPECT_DOUBLE_EQ(module->ScaleAt(1), count);
    EXPECT_DOUBLE_EQ(module->ScaleAt(2), count);
    EXPECT_DOUBLE_EQ(module->ScaleAt(3), 0.0);

    ASSERT_EQ(ZQ_GetNrOfChan(), 5);
    EXPECT_STREQ(ZQ_GetChanName(1), "Wheel µ");
    EXPECT_STREQ(ZQ_GetChanUnit(1), "m/s²");
    EXPECT_STREQ(ZQ_GetChanName(4), "Halvek:23");
    EXPECT_EQ(ZQ_GetChanPChan(4), 24);

    Listen();
    m_sim.Advance(50);
    m_manager.Poll();
    const std::vector<float> scaled = ServiceValues(0);
    ASSERT_EQ(scaled.size(), 50u);
    for (int n = 0; n < 50; ++n)
        ASSERT_EQ(scaled[n], float(m_sim.Sample(0, n) * (4 * count) + 1.0)) << n;
}

TEST_F(ConfigureTest, RateChangeCalibratesEveryChannelOnAndRangeChangeOnlyThatOne)
{
    CRecorderModule* module = Choose("Halvek");
    Edit([](int&, std::span<HwChanSetup> records) {
        for (int ch = 0; ch < 24; ++ch)
            records[ch].On = ch == 0 || ch == 7;
    });
    ASSERT_TRUE(module->Configure(true));
    EXPECT_TRUE(m_counters.CalibratedChannels(24).empty());

    Edit([](int& rate, std::span<HwChanSetup>) { rate = 20000; });
    m_counters.Reset();
    ASSERT_TRUE(module->Configure(true));
    EXPECT_EQ(m_counters.CalibratedChannels(24), (std::vector<int>{0, 7}));
    EXPECT_EQ(m_counters.SettingCalls(), 1);
    EXPECT_EQ(Vel().VelGetSampleRate(), 20000);
    EXPECT_DOUBLE_EQ(module->SamplePeriod(), 5e-5);
    Listen();
    EXPECT_DOUBLE_EQ(ZQ_GetChanClkrate(1), 5e-5);

    Edit([](int&, std::span<HwChanSetup> records) { records[7].Range = 4; });
    m_counters.Reset();
    ASSERT_TRUE(module->Configure(true));
    EXPECT_EQ(m_counters.CalibratedChannels(24), (std::vector<int>{7}));
    EXPECT_EQ(m_counters.SettingCalls(), 1);
    EXPECT_DOUBLE_EQ(Vel().VelGetInpRange(0, 7), 0.2);
    EXPECT_DOUBLE_EQ(module->ScaleAt(1), 0.2 / kFullScale);
    EXPECT_TRUE(module->IsRunning());
}

TEST_F(ConfigureTest, HalvekPulseInputReadsRevolutionsPerMinute)
{
    CRecorderModule* module = Choose("Halvek");
    Edit([](int&, std::span<HwChanSetup> records) {
        for (int ch = 0; ch < 24; ++ch)
            records[ch].On = ch == 5 || ch == 23;
        records[23].Input = 1;
        records[23].CntAcr = 1;
        records[23].Teeth = 60;
        records[5].Input = 1; // not a pulse-capable channel
    });
    ASSERT_TRUE(module->Configure(true));
    EXPECT_EQ(module->Channel(5).Input, 0);
    int mode = -1, percent = 0, usec = 0;
    Vel().VelGetRPM(0, 23, &mode, &percent, &usec);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(percent, 50); // the settings read from the module are kept
    EXPECT_EQ(usec, 100);
    Vel().VelGetRPM(0, 5, &mode, &percent, &usec);
    EXPECT_EQ(mode, 0);
    // 1 × 10000 × 1920 / 60: an edge every 32000 line samples is 10 rpm.
    EXPECT_DOUBLE_EQ(module->ScaleAt(1), 320000.0);

    // The simulated tacho turns at 1980 rpm, one pulse a turn: a period of
    // round(32 × 10000 × 60 / 1980) line samples, seen with 60 teeth.
    Listen();
    m_sim.Advance(3000);
    m_manager.Poll();
    const std::vector<float> rpm = ServiceValues(1);
    ASSERT_EQ(rpm.size(), 3000u);
    EXPECT_EQ(rpm.back(), float(320000.0 / 9697));
    const std::vector<float> analog = ServiceValues(0);
    EXPECT_EQ(analog.back(), float(m_sim.Sample(5, 2999) * (10.0 / kFullScale)));

    // Switching the pulse input off again sends the mode, once.
    Edit([](int&, std::span<HwChanSetup> records) { records[23].Input = 0; });
    m_counters.Reset();
    ASSERT_TRUE(module->Configure(true));
    EXPECT_EQ(m_counters.SettingCalls(), 1);
    Vel().VelGetRPM(0, 23, &mode, &percent, &usec);
    EXPECT_EQ(mode, 0);
}

TEST_F(ConfigureTest, EveryModelDefinesItsChannelsAndStarts)
{
    const struct {
        const char* model;
        int channels;
        const char* first;
        const char* last;
    } cases[] = {{"HalvekDC", 24, "Halvek:0", "Halvek:23"},
                 {"Halvek+", 24, "HalvekP:0", "HalvekP:23"},
                 {"Morsil", 6, "Morsil:0", "Morsil:5"},
                 {"Pendra", 6, "Pendra:0", "Pendra:5"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        CRecorderModule* module = Choose(c.model);
        ASSERT_NE(module, nullptr);
        ASSERT_TRUE(m_manager.DefineChannels(true));
        EXPECT_TRUE(module->IsRunning());
        EXPECT_EQ(m_counters.SettingCalls(), 0);
        ASSERT_EQ(ZQ_GetNrOfChan(), c.channels);
        EXPECT_STREQ(ZQ_GetChanName(0), c.first);
        EXPECT_STREQ(ZQ_GetChanName(c.channels - 1), c.last);
        Listen();
        m_sim.Advance(10);
        m_manager.Poll();
        const std::vector<float> values = ServiceValues(c.channels - 1);
        ASSERT_EQ(values.size(), 10u);
        EXPECT_EQ(values[9], float(m_sim.Sample(c.channels - 1, 9) * (10.0 / kFullScale)));
    }
}

TEST_F(ConfigureTest, HalvekPlusFiltersAndCouplingReadBackAsSet)
{
    CRecorderModule* module = Choose("Halvek+");
    Edit([](int&, std::span<HwChanSetup> r) {
        r[0].Filter = 1, r[0].Cpl = 1; // HP 22 Hz, AC
        r[1].Filter = 3, r[1].Cpl = 2; // LP 1 kHz, ICP
        r[2].Filter = 1, r[2].Cpl = 0; // DC drops the high-pass
        r[3].Filter = 1, r[3].Cpl = 2; // HP 22 Hz, ICP
        r[5].Filter = 4, r[5].Cpl = 1; // LP 4 kHz, AC
        r[4].Input = 1;
        r[6].Cpl = 1;                  // ICP
        r[7].Filter = 3;               // no filters beyond channel 5
    });
    ASSERT_TRUE(module->Configure(true));
    RecorderApi& api = Vel();
    const int expected[][4] = {// channel, high-pass, low-pass, IEPE
                               {0, 2, 0, 0}, {1, 1, 2, 1}, {2, 0, 0, 0}, {3, 2, 0, 1},
                               {5, 1, 3, 0}, {6, 0, 0, 1}, {7, 0, 0, 0}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e[0]);
        EXPECT_EQ(api.VelGetHPFilter(0, e[0]), e[1]);
        EXPECT_EQ(api.VelGetLPFilter(0, e[0]), e[2]);
        EXPECT_EQ(api.VelGetIEPE(0, e[0]), e[3]);
    }
    int mode = 0, percent = 0, usec = 0;
    api.VelGetRPM(0, 4, &mode, &percent, &usec);
    EXPECT_EQ(mode, 1);

    const std::vector<HwChanSetup> read = ReadBack(module);
    ASSERT_EQ(read.size(), 24u);
    const int readExpected[][3] = {// channel, Filter, Cpl
                                   {0, 1, 1}, {1, 3, 2}, {2, 0, 0}, {3, 1, 2}, {5, 4, 1}, {6, 0, 1}};
    for (const auto& e : readExpected) {
        SCOPED_TRACE(e[0]);
        EXPECT_EQ(read[e[0]].Filter, e[1]);
        EXPECT_EQ(read[e[0]].Cpl, e[2]);
    }
    EXPECT_EQ(read[4].Input, 1);
    EXPECT_EQ(read[7].Cpl, 0);

    m_counters.Reset();
    ASSERT_TRUE(module->Configure(true));
    EXPECT_EQ(m_counters.SettingCalls(), 0);
    EXPECT_DOUBLE_EQ(module->ScaleAt(4), module->Channel(4).PulseFactor(10000));
}

TEST_F(ConfigureTest, PendraMicrophoneSupplyHighPassAndTheFourteenVoltRange)
{
    CRecorderModule* module = Choose("Pendra");
    Edit([](int&, std::span<HwChanSetup> r) {
        r[0].Range = 10;
        r[1].MicPwr = 1, r[1].MicPolVolt = 1, r[1].Cpl = 1; // ICP
        r[2].Filter = 1;                                    // HP 22 Hz, AC
        r[4].Filter = 1;                                    // no high-pass choice here
    });
    ASSERT_TRUE(module->Configure(true));
    RecorderApi& api = Vel();
    EXPECT_DOUBLE_EQ(api.VelGetInpRange(0, 0), 14.0);
    EXPECT_EQ(m_counters.CalibratedChannels(6), (std::vector<int>{0}));
    EXPECT_DOUBLE_EQ(module->ScaleAt(0), 14.0 / kFullScale);
    EXPECT_EQ(api.VelGetPreampPower(0, 1), 1);
    EXPECT_EQ(api.VelGetPolPower(0, 1), 1);
    EXPECT_EQ(api.VelGetIEPE(0, 1), 1);
    EXPECT_EQ(api.VelGetHPFilter(0, 1), 1);
    EXPECT_EQ(api.VelGetHPFilter(0, 2), 2);
    EXPECT_EQ(api.VelGetHPFilter(0, 4), 1);
    EXPECT_EQ(api.VelGetHPFilter(0, 3), 1); // AC
    for (int ch = 0; ch < 6; ++ch)
        EXPECT_EQ(api.VelGetLPFilter(0, ch), 0);

    const std::vector<HwChanSetup> read = ReadBack(module);
    ASSERT_EQ(read.size(), 6u);
    EXPECT_EQ(read[0].Range, 10);
    EXPECT_EQ(read[1].MicPwr, 1);
    EXPECT_EQ(read[1].MicPolVolt, 1);
    EXPECT_EQ(read[1].Cpl, 1);
    EXPECT_EQ(read[2].Filter, 1);
    EXPECT_EQ(read[2].Cpl, 0);
    EXPECT_EQ(read[4].Filter, 0);
}

TEST_F(ConfigureTest, RangesOffTheTableStayBounded)
{
    CRecorderModule* module = Choose("Halvek");
    RecorderApi& api = Vel();
    api.VelSetInpRange(0, 1, 3.3);
    api.VelSetInpRange(0, 2, 12.0);
    api.VelSetInpRange(0, 3, 0.01000005);
    module->ReadSetup();
    EXPECT_EQ(module->Channel(1).Range, 8); // 5 V holds 3.3 V
    EXPECT_EQ(module->Channel(2).Range, 9);
    EXPECT_EQ(module->Channel(3).Range, 0);

    // A record whose index is off the table keeps the module's range.
    api.VelSetInpRange(0, 1, 10.0);
    api.VelSetInpRange(0, 2, 10.0);
    api.VelSetInpRange(0, 3, 10.0);
    Edit([](int&, std::span<HwChanSetup> r) { r[0].Range = 42; });
    m_counters.Reset();
    ASSERT_TRUE(module->Configure(true));
    EXPECT_EQ(m_counters.SettingCalls(), 0);
    EXPECT_EQ(module->Channel(0).Range, 9);
    EXPECT_DOUBLE_EQ(module->ScaleAt(0), 10.0 / kFullScale);

    CPendraModule pendra(m_manager.RecordFile());
    EXPECT_EQ(pendra.RangeIndex(14.0), 10);
    EXPECT_EQ(pendra.RangeIndex(20.0), 10);
    EXPECT_DOUBLE_EQ(pendra.RangeVolts(10), 14.0);
    EXPECT_LT(pendra.RangeVolts(11), 0.0);
}

TEST_F(ConfigureTest, LoadedSettingsSetIsAppliedWithoutReadingTheModule)
{
    CRecorderModule* module = Choose("Halvek");
    Edit([](int&, std::span<HwChanSetup> r) {
        for (int ch = 1; ch < 24; ++ch)
            r[ch].On = ch == 9;
        r[9].Name = "Axle";
        r[9].a = "9.81";
        r[9].atV = "0.1";
    });
    ASSERT_TRUE(module->Configure(true));
    QByteArray saved;
    TextArchive out;
    out.OpenBuffer(&saved, TextArchive::Mode::Store);
    m_manager.SerializeSetup(out);
    out.Close();

    // Back to the power-on state, then the set: only what it says is sent.
    m_dialogs.SetDefaultHandler({});
    CRecorderModule* fresh = Choose("Halvek");
    ASSERT_TRUE(fresh->Configure(true));
    m_counters.Reset();
    TextArchive in;
    in.OpenBuffer(&saved, TextArchive::Mode::Load);
    m_manager.SerializeSetup(in);
    EXPECT_TRUE(fresh->IsRunning());
    EXPECT_EQ(m_counters.SettingCalls(), 22); // the channels switched off
    Listen();
    ASSERT_EQ(ZQ_GetNrOfChan(), 2);
    EXPECT_STREQ(ZQ_GetChanName(1), "Axle");
    EXPECT_DOUBLE_EQ(fresh->ScaleAt(1), 98.1 * 10.0 / kFullScale);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(ConfigureTest, CorruptRateFromASettingsSetKeepsTheModuleRate)
{
    CRecorderModule* module = Choose("Morsil");
    ASSERT_TRUE(module->Configure(true));
    module->SetSampleRate(0); // as "SFreq:" without a number leaves it
    ASSERT_TRUE(module->Configure(false));
    EXPECT_EQ(module->SampleRate(), 10000);
    Listen();
    EXPECT_DOUBLE_EQ(ZQ_GetChanClkrate(0), 1e-4);
}

TEST_F(ConfigureTest, CalibrationWaitsWhileTheTickRuns)
{
    CRecorderModule* module = Choose("Halvek");
    Edit([](int& rate, std::span<HwChanSetup> records) {
        for (int ch = 0; ch < 24; ++ch)
            records[ch].On = ch == 0 || ch == 7 || ch == 12;
        rate = 20000; // every channel that is on calibrates
    });
    // A 10 ms tick, and a look at the progress dialog on every tick.
    int ticks = 0;
    QStringList progress;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        ++ticks;
        m_manager.Poll();
        if (CCalibrationDlg* running = CCalibrationDlg::Running()) {
            if (!progress.contains(running->ProgressText()))
                progress << running->ProgressText();
        }
    });
    tick.start(10);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(module->Configure(true));
    const qint64 elapsed = clock.elapsed();
    EXPECT_EQ(m_counters.CalibratedChannels(24), (std::vector<int>{0, 7, 12}));
    // Each channel settles for a second; the tick went on meanwhile.
    EXPECT_GE(elapsed, 3000);
    EXPECT_GT(ticks, elapsed / 10 / 3);
    EXPECT_EQ(progress, (QStringList{"Calibrating channel 1 of 3", "Calibrating channel 2 of 3",
                                     "Calibrating channel 3 of 3"}));
    EXPECT_EQ(CCalibrationDlg::Running(), nullptr);
    EXPECT_TRUE(module->IsRunning());
}

TEST_F(ConfigureTest, CancelledCalibrationLeavesTheModuleIdleAndOwesTheRest)
{
    CRecorderModule* module = Choose("Halvek");
    Edit([](int& rate, std::span<HwChanSetup> records) {
        for (int ch = 0; ch < 24; ++ch)
            records[ch].On = ch == 0 || ch == 7 || ch == 12;
        rate = 20000;
    });
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [] {
        CCalibrationDlg* running = CCalibrationDlg::Running();
        if (running && running->CurrentIndex() == 1) {
            auto* cancel = running->findChild<QPushButton*>();
            QTest::mouseClick(cancel, Qt::LeftButton);
        }
    });
    watch.start(20);
    EXPECT_FALSE(module->Configure(true));
    watch.stop();
    EXPECT_FALSE(module->IsRunning());
    EXPECT_EQ(m_counters.CalibratedChannels(24), (std::vector<int>{0, 7}));
    m_sim.Advance(100);
    m_manager.Poll();
    EXPECT_EQ(module->SamplesTaken(), 0);

    // The same setup again: nothing to change, but channels 7 and 12 still
    // owe their calibration.
    Edit([](int&, std::span<HwChanSetup>) {});
    m_counters.Reset();
    ASSERT_TRUE(module->Configure(true));
    EXPECT_EQ(m_counters.SettingCalls(), 0);
    EXPECT_EQ(m_counters.CalibratedChannels(24), (std::vector<int>{7, 12}));
    EXPECT_TRUE(module->IsRunning());
}

} // namespace

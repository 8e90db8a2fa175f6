#include "acquisition/hwmanager.h"
#include "acquisition/hwmodule.h"
#include "acquisition/soundinput.h"
#include "platform/messagebox.h"
#include "platform/modaldialog.h"
#include "platform/textarchive.h"
#include "platform/waveinsimulated.h"
#include "recordingreader.h"
#include "context/appcontext.h"
#include "simcontrol.h"
#include "support/testenvironment.h"
#include "support/waituntil.h"
#include "zq.h"

#include <gtest/gtest.h>

#include <QProcess>


namespace {

class HwManagerTest : public testing::Test {
protected:
    HwManagerTest() { ResetContext(); }
    ~HwManagerTest() override
    {
        ZQ_ReleaseWriter();
        ResetContext();
    }

    void UseModel(const char* model) { m_env.SetEnv("VELMOR_SIM_MODULE", model); }
    QString RecordingPath(const char* name) const
    {
        return QString::fromStdString(m_env.Root() + "/" + name);
    }

    TestEnvironment m_env;
    MessageBoxRecorder m_boxes;
    DialogRecorder m_dialogs; // accepts every channel setup as shown
};

TEST_F(HwManagerTest, DetectsEverySimulatedModel)
{
    const struct {
        const char* model;
        int code;
        const char* typeName;
        int channels;
        const char* name5;
    } cases[] = {{"Halvek", 2, "Halvek", 24, "Halvek:5"},    {"HalvekDC", 11, "HalvekDC", 24, "Halvek:5"},
                 {"Halvek+", 10, "Halvek+", 24, "HalvekP:5"}, {"Morsil", 0, "Morsil", 6, "Morsil:5"},
                 {"Pendra", 12, "Pendra", 6, "Pendra:5"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        UseModel(c.model);
        EXPECT_EQ(CHwManager::DetectRecorder(), c.code);
        CHwManager manager;
        EXPECT_TRUE(manager.ChooseModule());
        ASSERT_TRUE(manager.HasModule());
        EXPECT_EQ(manager.typeName, c.typeName);
        EXPECT_EQ(manager.Module()->ChannelCount(), c.channels);
        EXPECT_EQ(manager.Module()->DefaultName(5), c.name5);
        EXPECT_EQ(manager.Sound(), nullptr);
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(HwManagerTest, NoModuleOrUnsupportedTypeFallsBackToSoundCard)
{
    for (const char* model : {"", "2", "8"}) { // none; types 2 and 8 have no class
        SCOPED_TRACE(model);
        UseModel(model);
        CHwManager manager;
        EXPECT_TRUE(manager.ChooseModule());
        EXPECT_FALSE(manager.HasModule());
        EXPECT_NE(manager.Sound(), nullptr);
        EXPECT_EQ(manager.typeName, "PC-Snd");
    }
    UseModel("2");
    EXPECT_EQ(CHwManager::DetectRecorder(), 3);
    UseModel("8");
    EXPECT_EQ(CHwManager::DetectRecorder(), 4);
    UseModel("");
    EXPECT_EQ(CHwManager::DetectRecorder(), CHwManager::kSoundCardCode);
}

TEST_F(HwManagerTest, UnusableLibraryMeansSoundCard)
{
    UseModel("Halvek");
    const std::string bin = TestEnvironment::BinDir() + "/";
    const struct {
        std::string library;
        QString box;
    } cases[] = {{bin + "libVelmor4API_nochannel.so", "Function 'VelGetChannel' not found in DLL 'Velmor4API.DLL' "},
                 {bin + "libMissingRecorder.so", QString::fromStdString("DLL '" + bin + "libMissingRecorder.so' not loaded")}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.library);
        m_env.SetEnv("KRV_RECORDER_LIB", c.library);
        m_boxes.Clear();
        CHwManager manager;
        EXPECT_TRUE(manager.ChooseModule());
        EXPECT_FALSE(manager.HasModule());
        EXPECT_EQ(manager.typeName, "PC-Snd");
        EXPECT_EQ(m_boxes.Texts(), std::vector<QString>{c.box});
    }
    m_env.SetEnv("KRV_RECORDER_LIB", "");
}

TEST_F(HwManagerTest, BeforeAnySourceNothingHappens)
{
    CHwManager manager;
    EXPECT_TRUE(manager.typeName.isEmpty());
    EXPECT_FALSE(manager.HasModule());
    EXPECT_FALSE(manager.DefineChannels(true));
    manager.Poll();
    QByteArray bytes;
    TextArchive out;
    out.OpenBuffer(&bytes, TextArchive::Mode::Store);
    manager.SerializeSetup(out);
    out.Close();
    EXPECT_TRUE(bytes.isEmpty());
}

TEST_F(HwManagerTest, SoundCardChannelsAndScaledFrames)
{
    m_env.SetEnv("KRV_WAVEIN", "manual");
    UseModel("");
    CHwManager manager;
    manager.ChooseModule();
    ASSERT_TRUE(manager.DefineChannels(true));
    ASSERT_NE(manager.Sound(), nullptr);
    EXPECT_EQ(manager.Sound()->State(), CSoundInput::Capturing);

    CRecordFile& recording = manager.RecordFile();
    EXPECT_EQ(recording.ChannelCount(), 2);
    EXPECT_EQ(recording.BlockFrames(), 65536);
    const QString path = RecordingPath("sound.vrd");
    ASSERT_TRUE(recording.Open(path));
    ASSERT_EQ(ZQ_GetNrOfChan(), 2);
    EXPECT_STREQ(ZQ_GetChanName(0), "Mic Left");
    EXPECT_STREQ(ZQ_GetChanName(1), "Mic Right");
    EXPECT_STREQ(ZQ_GetChanUnit(1), "V");
    EXPECT_DOUBLE_EQ(ZQ_GetChanClkrate(0), 1.0 / 44100);
    EXPECT_EQ(ZQ_GetChanPChan(1), 1);
    ZQ_Register(2, nullptr);
    ZQ_ResetBuffer(2, -1);

    // Two device buffers of 4096 frames: a ramp, left = i, right = -i.
    WaveInSimulated::Advance(8192);
    WaitUntil([&] { return manager.Sound()->HandoverCount() >= 16384; });
    manager.Poll();
    manager.Poll(); // nothing new: no frames added
    recording.Close();

    ASSERT_EQ(ZQ_CheckChanEx(2, 1), 8192);
    std::vector<float> service(8192);
    ZQ_ReadChanEx(2, 1, reinterpret_cast<unsigned char*>(service.data()), 8192, 0);
    for (int i = 0; i < 8192; i += 97)
        EXPECT_FLOAT_EQ(service[i], float(-i * CHwManager::kSoundScale));

    RecordingReader file(path);
    ASSERT_TRUE(file.ok);
    EXPECT_EQ(file.names, (std::vector<std::string>{"Mic left", "Mic Right"}));
    ASSERT_EQ(file.frames, 8192);
    for (int i = 0; i < 8192; i += 97) {
        EXPECT_FLOAT_EQ(file.channels[0][i], float(i * CHwManager::kSoundScale));
        EXPECT_FLOAT_EQ(file.channels[1][i], float(-i * CHwManager::kSoundScale));
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

// Sound frames across the recording's first block of 65536 frames, the
// recording opened after the first take and closed inside its second block.
TEST_F(HwManagerTest, SoundRecordingAcrossBlocks)
{
    m_env.SetEnv("KRV_WAVEIN", "manual");
    UseModel("");
    CHwManager manager;
    manager.ChooseModule();
    ASSERT_TRUE(manager.DefineChannels(true));
    ASSERT_NE(manager.Sound(), nullptr);
    CRecordFile& recording = manager.RecordFile();
    ASSERT_EQ(recording.BlockFrames(), 65536);

    // Frames of whole device buffers (4096 frames), taken in one poll.
    auto take = [&](int frames) {
        WaveInSimulated::Advance(frames);
        WaitUntil([&] { return manager.Sound()->HandoverCount() >= 2 * frames; });
        ASSERT_EQ(manager.Sound()->HandoverCount(), 2 * frames);
        manager.Poll();
    };
    take(8192);
    const QString path = RecordingPath("sound-blocks.vrd");
    ASSERT_TRUE(recording.Open(path));
    take(40960);
    take(40960);
    recording.Close();

    RecordingReader file(path);
    ASSERT_TRUE(file.ok);
    ASSERT_EQ(file.frames, 81920);
    // The simulated device's ramp: frame n is left n, right -n, as 16-bit values.
    for (int i = 0; i < 81920; ++i) {
        const int n = 8192 + i;
        ASSERT_EQ(file.channels[0][i], float(int16_t(uint16_t(n)) * CHwManager::kSoundScale)) << i;
        ASSERT_EQ(file.channels[1][i], float(int16_t(uint16_t(-n)) * CHwManager::kSoundScale)) << i;
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(HwManagerTest, NoSoundDeviceStillDefinesChannels)
{
    m_env.SetEnv("KRV_WAVEIN", "none");
    UseModel("");
    CHwManager manager;
    manager.ChooseModule();
    EXPECT_TRUE(manager.DefineChannels(true));
    EXPECT_EQ(m_boxes.Texts(), std::vector<QString>{"No Sound Device"});
    manager.Poll();
}

TEST_F(HwManagerTest, SoundCardThatDoesNotStartFailsTheDefinitionWithItsOwnBoxes)
{
    m_env.SetEnv("KRV_WAVEIN", "busy");
    UseModel("");
    CHwManager manager;
    manager.ChooseModule();
    EXPECT_FALSE(manager.DefineChannels(true));
    EXPECT_TRUE(manager.FailureReported());
    EXPECT_EQ(m_boxes.Texts(),
              (std::vector<QString>{" Specified resource is already allocated.", "Cannot Open Sound Input Device!"}));
}

// Another program became the writer after this one started (so this one is
// not in shared-source mode): no source may run into nothing.
TEST_F(HwManagerTest, AnotherLiveWriterFailsTheDefinitionAndIsNamed)
{
    m_env.SetEnv("KRV_WAVEIN", "manual");
    QProcess generator;
    generator.start(QString::fromStdString(TestEnvironment::BinDir() + "/zq-gen"), {"-n", "3", "-r", "1000", "-q"});
    ASSERT_TRUE(generator.waitForStarted());
    WaitUntil([] { return ZQ_GetNrOfChan() == 3; });
    ASSERT_EQ(ZQ_GetNrOfChan(), 3);
    const QString holder = QStringLiteral("process %1 (zq-gen)").arg(generator.processId());

    for (const char* model : {"", "Halvek"}) {
        SCOPED_TRACE(model);
        UseModel(model);
        m_boxes.Clear();
        CHwManager manager;
        manager.ChooseModule();
        EXPECT_FALSE(manager.DefineChannels(true));
        EXPECT_TRUE(manager.FailureReported());
        ASSERT_EQ(m_boxes.Boxes().size(), 1u);
        EXPECT_TRUE(m_boxes.Boxes()[0].text.contains(holder)) << m_boxes.Boxes()[0].text.toStdString();
        if (manager.Sound()) {
            EXPECT_EQ(manager.Sound()->State(), CSoundInput::Closed);
        } else {
            ASSERT_TRUE(manager.HasModule());
            EXPECT_FALSE(manager.Module()->IsRunning());
        }
        EXPECT_EQ(ZQ_GetNrOfChan(), 3);
        EXPECT_STREQ(ZQ_GetChanName(0), "Gen 1");
    }

    // Once the other program has gone, the channels are defined here.
    generator.terminate();
    ASSERT_TRUE(generator.waitForFinished(5000));
    UseModel("");
    m_boxes.Clear();
    // This process's reader finds the new segment of the name within a while.
    auto channelsSoon = [](int count) {
        WaitUntil([count] { return ZQ_GetNrOfChan() == count; });
        return ZQ_GetNrOfChan();
    };
    {
        CHwManager manager;
        manager.ChooseModule();
        EXPECT_TRUE(manager.DefineChannels(true));
        EXPECT_FALSE(manager.FailureReported());
        EXPECT_EQ(channelsSoon(2), 2);
    }
    // Deleting the manager gave the service up.
    EXPECT_EQ(channelsSoon(0), 0);
    ZQ_WriterStatus status{};
    ASSERT_EQ(ZQ_GetWriterStatus(&status), ZQ_OK);
    EXPECT_EQ(status.segmentPresent, 0);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(HwManagerTest, SharedSourceAcquiresNothing)
{
    UseModel("Halvek");
    CHwManager manager;
    manager.ChooseModule();
    CHwModule* module = manager.Module();
    ASSERT_NE(module, nullptr);
    module->AddActive(0, 1.0, 0.0);
    CRecordFile& recording = manager.RecordFile();
    ASSERT_TRUE(recording.Prepare(1, 4096));
    recording.DefineChannel(0, 1, "c", "V", 1e-4);
    ASSERT_TRUE(recording.Open(RecordingPath("shared.vrd")));
    SimControl sim;
    ASSERT_TRUE(sim.Valid());
    sim.SetManualClock(1);
    module->Start();

    Ctx().sharedSource = true;
    sim.Advance(5000);
    manager.Poll();
    EXPECT_EQ(module->SamplesTaken(), 0);
    EXPECT_TRUE(manager.ChooseModule());
    EXPECT_EQ(manager.Module(), module); // kept as it was
    recording.Close();
    RecordingReader file(RecordingPath("shared.vrd"));
    ASSERT_TRUE(file.ok);
    EXPECT_EQ(file.frames, 0);

    // Defining channels only prepares the recording for what the service holds.
    EXPECT_TRUE(manager.DefineChannels(true));
    EXPECT_EQ(recording.BlockFrames(), 65536);
    sim.SetManualClock(0);
}

void StoreSetup(CHwManager& manager, QByteArray& bytes)
{
    TextArchive out;
    out.OpenBuffer(&bytes, TextArchive::Mode::Store);
    manager.SerializeSetup(out);
    out.WriteLine("}"); // the set's closing line of the "Hw {" block
    out.WriteLine("after");
    out.Close();
}

TEST_F(HwManagerTest, SetupBlockRoundTrip)
{
    UseModel("Morsil");
    QByteArray bytes;
    {
        CHwManager manager;
        manager.ChooseModule();
        CHwModule& module = *manager.Module();
        module.SetSampleRate(50000);
        HwChanSetup& ch2 = module.Channel(2);
        ch2.selected = true;
        ch2.On = true;
        ch2.Range = 7;
        ch2.Input = 1;
        ch2.Cpl = 2;
        ch2.Filter = 4;
        ch2.Unit = QString::fromUtf8("m/s²");
        ch2.a = "9.81";
        ch2.atV = "0.1";
        ch2.b = "-3";
        ch2.Name = "Axle rpm";
        ch2.CntAcr = 3;
        ch2.Teeth = 60;
        ch2.MicPolVolt = 1;
        ch2.MicPwr = 1;
        StoreSetup(manager, bytes);
    }
    EXPECT_TRUE(bytes.startsWith("Morsil {\r\nSFreq:50000\r\nch {\r\nOn:0\r\nRange:0\r\n"));
    EXPECT_TRUE(bytes.contains("ch {\r\nOn:1\r\nRange:7\r\nInput:1\r\nCpl:2\r\nFilter:4\r\nUnit:m/s\xB2\r\n"
                               "a:9.81\r\natV:0.1\r\nb:-3\r\nName:Axle rpm\r\nCntAcr:3\r\nTeeth:60\r\n"
                               "MicPolVolt:1\r\nMicPwr:1\r\n}\r\n"));
    EXPECT_EQ(bytes.count("ch {"), 6);
    EXPECT_TRUE(bytes.endsWith("}\r\n}\r\n}\r\nafter\r\n"));

    CHwManager manager;
    manager.ChooseModule();
    TextArchive in;
    in.OpenBuffer(&bytes, TextArchive::Mode::Load);
    manager.SerializeSetup(in);
    const CHwModule& module = *manager.Module();
    EXPECT_EQ(module.SampleRate(), 50000);
    const HwChanSetup& ch2 = module.Channel(2);
    EXPECT_FALSE(ch2.selected);
    EXPECT_TRUE(ch2.On);
    EXPECT_EQ(ch2.Range, 7);
    EXPECT_EQ(ch2.Input, 1);
    EXPECT_EQ(ch2.Cpl, 2);
    EXPECT_EQ(ch2.Filter, 4);
    EXPECT_EQ(ch2.Unit, QString::fromUtf8("m/s²"));
    EXPECT_EQ(ch2.a, "9.81");
    EXPECT_EQ(ch2.atV, "0.1");
    EXPECT_EQ(ch2.b, "-3");
    EXPECT_EQ(ch2.Name, "Axle rpm");
    EXPECT_EQ(ch2.CntAcr, 3);
    EXPECT_EQ(ch2.Teeth, 60);
    EXPECT_EQ(ch2.MicPolVolt, 1);
    EXPECT_EQ(ch2.MicPwr, 1);
    EXPECT_FALSE(module.Channel(1).On);
    EXPECT_TRUE(m_boxes.Boxes().empty());
    QString line;
    ASSERT_TRUE(in.ReadLine(line));
    EXPECT_EQ(line, "after"); // the whole "Hw {" block was read
}

TEST_F(HwManagerTest, ChannelKeysInAnyOrderAndUnknownLinesSkipped)
{
    UseModel("Pendra");
    QByteArray bytes("Pendra {\r\nch {\r\nName:first\r\nbogus line\r\nOn:7\r\n}\r\n"
                     "ch {\r\nTeeth:4\r\n}\r\nSFreq:2000\r\n}\r\n}\r\n");
    CHwManager manager;
    manager.ChooseModule();
    manager.Module()->Channel(1).Name = "kept";
    TextArchive in;
    in.OpenBuffer(&bytes, TextArchive::Mode::Load);
    manager.SerializeSetup(in);
    const CHwModule& module = *manager.Module();
    EXPECT_EQ(module.Channel(0).Name, "first");
    EXPECT_TRUE(module.Channel(0).On);
    EXPECT_EQ(module.Channel(1).Teeth, 4);
    EXPECT_EQ(module.Channel(1).Name, "kept");
    EXPECT_EQ(module.SampleRate(), 2000);
}

// Numbers beyond an int are no numbers: 2^32 + 2000 must not wrap into a
// plausible 2000 (the module then keeps its own rate), nor 2^32 + 60 into 60
// teeth.
TEST_F(HwManagerTest, NumbersTooLargeForAnIntReadAsNone)
{
    UseModel("Pendra");
    QByteArray bytes("Pendra {\r\nch {\r\nTeeth:4294967356\r\n}\r\nSFreq:4294969296\r\n}\r\n}\r\n");
    CHwManager manager;
    manager.ChooseModule();
    TextArchive in;
    in.OpenBuffer(&bytes, TextArchive::Mode::Load);
    manager.SerializeSetup(in);
    EXPECT_NE(manager.Module()->SampleRate(), 2000);
    EXPECT_EQ(manager.Module()->Channel(0).Teeth, 0);
    EXPECT_EQ(HwChanSetup::TextToInt(QStringLiteral("-2147483648")), -2147483648LL);
    EXPECT_EQ(HwChanSetup::TextToInt(QStringLiteral(" 42 Hz")), 42);
}

TEST_F(HwManagerTest, SetupOfAnotherTypeIsRefusedWithMessage)
{
    UseModel("Halvek");
    QByteArray halvek;
    {
        CHwManager manager;
        manager.ChooseModule();
        manager.Module()->Channel(0).Name = "from halvek";
        StoreSetup(manager, halvek);
    }
    UseModel("Morsil");
    CHwManager manager;
    manager.ChooseModule();
    TextArchive in;
    in.OpenBuffer(&halvek, TextArchive::Mode::Load);
    manager.SerializeSetup(in);
    EXPECT_EQ(m_boxes.Texts(), std::vector<QString>{"Loaded hardware setup is for Halvek  but not for Morsil "});
    EXPECT_TRUE(manager.Module()->Channel(0).Name.isEmpty());
    QString line;
    ASSERT_TRUE(in.ReadLine(line));
    EXPECT_EQ(line, "after");

    // A set saved with the sound card has an empty block.
    m_boxes.Clear();
    QByteArray empty("}\r\nafter\r\n");
    in.OpenBuffer(&empty, TextArchive::Mode::Load);
    manager.SerializeSetup(in);
    EXPECT_EQ(m_boxes.Texts(), std::vector<QString>{"Loaded hardware setup is for  but not for Morsil "});
}

TEST_F(HwManagerTest, SoundCardWritesNoSetupAndSkipsASavedOne)
{
    UseModel("");
    CHwManager manager;
    manager.ChooseModule();
    QByteArray bytes;
    StoreSetup(manager, bytes);
    EXPECT_EQ(bytes, QByteArray("}\r\nafter\r\n"));

    QByteArray saved("Halvek {\r\nSFreq:1\r\nch {\r\n}\r\n}\r\n}\r\nafter\r\n");
    TextArchive in;
    in.OpenBuffer(&saved, TextArchive::Mode::Load);
    manager.SerializeSetup(in);
    EXPECT_TRUE(m_boxes.Boxes().empty());
    QString line;
    ASSERT_TRUE(in.ReadLine(line));
    EXPECT_EQ(line, "after");
}

} // namespace

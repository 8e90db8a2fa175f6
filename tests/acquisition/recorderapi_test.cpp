#include "acquisition/recorderapi.h"
#include "context/appcontext.h"
#include "platform/messagebox.h"
#include "support/fifowatchdog.h"
#include "support/testenvironment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

struct LoadResult {
    int result;
    std::string debugOutput;
    std::vector<QString> boxes;
    QString caption;
};

LoadResult LoadVariant(const std::string& file, RecorderApi& api)
{
    TestEnvironment env;
    env.SetEnv("KRV_RECORDER_LIB", file.empty() ? "" : TestEnvironment::BinDir() + "/" + file);
    MessageBoxRecorder boxes;
    testing::internal::CaptureStderr();
    const int result = LoadRecorderApi("Velmor4API.dll", api);
    LoadResult out{result, testing::internal::GetCapturedStderr(), boxes.Texts(), {}};
    if (!boxes.Boxes().empty())
        out.caption = boxes.Boxes().front().caption;
    return out;
}

int Count(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(RecorderVersion, PartsAreTruncatedToEightBits)
{
    EXPECT_EQ(RecorderVersionNumber("1.5.2.0"), 0x01050200u);
    EXPECT_EQ(RecorderVersionNumber("0.9.7.53"), RecorderVersion(0, 9, 7, 53));
    EXPECT_EQ(RecorderVersionNumber("1.265.0.0"), RecorderVersion(1, 9, 0, 0));
    EXPECT_EQ(RecorderVersionNumber("2.0.0.511"), RecorderVersion(2, 0, 0, 255));
    EXPECT_EQ(RecorderVersionNumber(""), 0u);
}

TEST(RecorderApiBinding, CurrentLibraryBindsEverythingSilently)
{
    RecorderApi api;
    const LoadResult r = LoadVariant("libVelmor4API.so", api);
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.debugOutput, "");
    EXPECT_NE(api.VelGetChannel, nullptr);
    EXPECT_NE(api.VelCh10GetChannelDataWidth, nullptr);
    EXPECT_EQ(api.version, RecorderVersion(1, 14, 2, 0));
}

TEST(RecorderApiBinding, Version1520BindsUpTo13AndNotesTheRest)
{
    RecorderApi api;
    const LoadResult r = LoadVariant("libVelmor4API_v1520.so", api);
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.boxes.empty());
    // Groups A, B, C, 1.2 and 1.3 are bound.
    EXPECT_NE(api.VelGetPolPower, nullptr);
    EXPECT_NE(api.VelCANSendMessageMs, nullptr);
    EXPECT_NE(api.VelGetLoopback, nullptr);
    EXPECT_NE(api.VelGetFirstFile, nullptr);
    EXPECT_NE(api.VelSetPlayStopTime, nullptr);
    // Later groups are not.
    EXPECT_EQ(api.VelCANGetBusLoad, nullptr);
    EXPECT_EQ(api.VelSetModuleSampleRate, nullptr);
    EXPECT_EQ(api.VelSetOutpImpedance, nullptr);

    const std::string& out = r.debugOutput;
    EXPECT_EQ(Count(out, "VelGetNextFile"), 0);
    EXPECT_NE(out.find("*** VelSetReceiveTimeOut() is not included in this Velmor4API.DLL. "
                       "Available from version 1.6.0.0.\n"),
              std::string::npos);
    EXPECT_EQ(Count(out, "*** VelEnableExceptionMessageBox() is not included"), 2);
    EXPECT_EQ(Count(out, "VelCANGetBusLoad"), 0);
    EXPECT_NE(out.find("*** VelGetMaxChannelsAnaInput() is not included in this Velmor4API.DLL. "
                       "Available from version 1.9.0.0.\n"),
              std::string::npos);
    EXPECT_NE(out.find("*** VelPlaybackGetSelectedFile() included in this Velmor4API.DLL. "
                       "Available from version 1.9.0.0.\n"),
              std::string::npos);
    EXPECT_EQ(Count(out, "VelSetOutpTermination() is not included"), 1);
    EXPECT_EQ(Count(out, "VelGetOutpTermination() is not included"), 1);
    EXPECT_NE(out.find("*** VelSetModuleSampleRate() is not included in this Velmor4API.DLL. "
                       "Available from version 1.13.0.0.\n"),
              std::string::npos);
    EXPECT_NE(out.find("*** VelCh10GetChannelDataWidth() is not included in this Velmor4API.DLL. "
                       "Available from version 1.14.0.0.\n"),
              std::string::npos);
    EXPECT_EQ(Count(out, "VelSetOutpImpedance"), 0);
    // 3 (1.6) + 28 + 2 (1.9) + 2 (1.13) + 5 (1.14)
    EXPECT_EQ(Count(out, "***"), 40);
}

TEST(RecorderApiBinding, OversizedVersionPartCountsItsLowByte)
{
    RecorderApi api;
    const LoadResult r = LoadVariant("libVelmor4API_v1265.so", api);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(api.version, RecorderVersion(1, 9, 0, 0));
    EXPECT_NE(api.VelFrontEndPlayWaveFile, nullptr);
    EXPECT_EQ(Count(r.debugOutput, "Available from version 1.9.0.0"), 0);
    EXPECT_EQ(Count(r.debugOutput, "Available from version 1.13.0.0"), 2);
    EXPECT_EQ(Count(r.debugOutput, "Available from version 1.14.0.0"), 5);
}

TEST(RecorderApiBinding, MissingEntryPointStopsWithOneBox)
{
    RecorderApi api;
    const LoadResult r = LoadVariant("libVelmor4API_nochannel.so", api);
    EXPECT_EQ(r.result, -2);
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0], "Function 'VelGetChannel' not found in DLL 'Velmor4API.DLL' ");
    EXPECT_EQ(r.caption, "Error in Init_Velmor4API_DLL");
    EXPECT_NE(r.debugOutput.find("*** Function 'VelGetChannel' not found in DLL 'Velmor4API.DLL' \n"),
              std::string::npos);
    // What came before stays bound, nothing after it is.
    EXPECT_NE(api.VelStoreSamples64, nullptr);
    EXPECT_EQ(api.VelStartPCRecording, nullptr);
}

TEST(RecorderApiBinding, MissingLibraryGivesMinusOne)
{
    RecorderApi api;
    const LoadResult r = LoadVariant("libNoSuchRecorder.so", api);
    EXPECT_EQ(r.result, -1);
    ASSERT_EQ(r.boxes.size(), 1u);
    const std::string path = TestEnvironment::BinDir() + "/libNoSuchRecorder.so";
    EXPECT_EQ(r.boxes[0].toStdString(), "DLL '" + path + "' not loaded");
    EXPECT_EQ(r.caption, "Error in Init_Velmor4API_DLL");
    EXPECT_EQ(api.handle, nullptr);
}

// The loader would block in open() on a FIFO in the library's place.
TEST(RecorderApiBinding, FifoInPlaceOfTheLibraryIsNotLoadedAndDoesNotBlock)
{
    TestEnvironment env;
    FifoWatchdog fifo(env.Root() + "/libVelmor4API.so");
    ASSERT_TRUE(fifo.Made());
    env.SetEnv("KRV_RECORDER_LIB", fifo.Path());
    MessageBoxRecorder boxes;
    RecorderApi api;
    EXPECT_EQ(LoadRecorderApi("Velmor4API.dll", api), -1);
    fifo.Finish();
    EXPECT_FALSE(fifo.Tripped()) << "loading blocked on the FIFO";
    EXPECT_EQ(boxes.Texts(), std::vector<QString>{QString::fromStdString("DLL '" + fifo.Path() + "' not loaded")});
    EXPECT_EQ(api.handle, nullptr);
}

TEST(RecorderApiBinding, DefaultNameFindsTheLibraryOnTheSearchPath)
{
    RecorderApi api;
    const LoadResult r = LoadVariant("", api);
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.boxes.empty());
}

// An installed KRV keeps the simulator in a private folder below the library
// folder: found there only when neither the library search nor the program
// folder has the library.
TEST(RecorderApiBinding, PrivateFolderIsLookedInAfterTheProgramFolder)
{
    namespace fs = std::filesystem;
    TestEnvironment env;
    env.SetEnv("KRV_RECORDER_LIB", "");
    ResetContext();
    Ctx().programDirectory = QString::fromStdString(env.ProgramDir());
    const std::string privateFolder = RecorderPrivateFolder(env.ProgramDir());
    EXPECT_EQ(privateFolder.rfind(env.ProgramDir() + "../", 0), 0u) << privateFolder;
    EXPECT_TRUE(privateFolder.ends_with("/krv/")) << privateFolder;
    fs::create_directories(privateFolder);
    const std::string bin = TestEnvironment::BinDir() + "/";
    fs::copy_file(bin + "libVelmor4API_v1520.so", privateFolder + "libKrvPrivateOnly.so");
    fs::copy_file(bin + "libVelmor4API_v1520.so", privateFolder + "libKrvBoth.so");
    fs::copy_file(bin + "libVelmor4API_v1265.so", env.ProgramDir() + "libKrvBoth.so");

    MessageBoxRecorder boxes;
    testing::internal::CaptureStderr();
    RecorderApi privateOnly, both;
    EXPECT_EQ(LoadRecorderApi("KrvPrivateOnly.dll", privateOnly), 0);
    EXPECT_EQ(LoadRecorderApi("KrvBoth.dll", both), 0);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(privateOnly.version, RecorderVersion(1, 5, 2, 0));
    EXPECT_EQ(both.version, RecorderVersion(1, 9, 0, 0)) << "the program folder's copy comes first";
    EXPECT_TRUE(boxes.Boxes().empty());
    ResetContext();
}

} // namespace

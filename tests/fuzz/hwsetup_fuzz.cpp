// A hardware setup block as a settings set file hands it to the hardware
// manager: the lines after "Hw {", read into a manager whose module is the
// simulated recorder model chosen by the first byte.
//
// The channel setup dialog sees what was loaded and uses every value the
// configuration derives from it. It lets the configuration apply the setup
// only when that needs no calibration (the sample rate and every range the
// module already has: a calibration waits a second); the applied setup then
// defines the channels and runs a few polls on the simulator's manual clock,
// so that loaded pulse settings, gains and offsets meet real samples.

#include "acquisition/channelsetupdlg.h"
#include "acquisition/hwchansetup.h"
#include "acquisition/hwmanager.h"
#include "acquisition/recorderapi.h"
#include "acquisition/recordermodule.h"
#include "platform/messagebox.h"
#include "platform/modaldialog.h"
#include "platform/textarchive.h"
#include "zq.h"

#include <QApplication>
#include <QByteArray>
#include <QDialog>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <span>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

const char* const kModels[] = {"Halvek", "HalvekDC", "Halvek+", "Morsil", "Pendra"};
constexpr int kPolls = 3;
constexpr int kSamplesPerPoll = 700;
constexpr double kRangeTolerance = 0.0001;

std::string g_zqName;

void RemoveSegments()
{
    shm_unlink(("/" + g_zqName).c_str());
    shm_unlink(("/" + g_zqName + ".readers").c_str());
}

// Every value the configuration derives from a record, within bounds.
void UseDerivedValues(const CRecorderModule& module, int rate, const HwChanSetup& setup)
{
    volatile double sink = setup.Gain() + setup.Offset() + setup.PulseFactor(rate)
                           + module.RangeVolts(setup.Range);
    (void)sink;
    const CRecorderModule::FrontEnd wanted = CRecorderModule::FrontEndFor(setup.Filter, setup.Cpl);
    if (wanted.highPass < 0 || wanted.highPass > 2 || wanted.lowPass < 0 || wanted.lowPass > 3)
        std::abort();
}

// True when applying changes neither the rate nor a range of a channel that
// is on, so that nothing gets calibrated.
bool NeedsNoCalibration(const CRecorderModule& module, int rate, std::span<const HwChanSetup> records)
{
    RecorderApi& api = Vel();
    if (rate != api.VelGetSampleRate())
        return false;
    for (size_t ch = 0; ch < records.size(); ++ch) {
        if (!records[ch].On)
            continue;
        const double range = module.RangeVolts(records[ch].Range);
        if (range > 0.0 && std::fabs(range - api.VelGetInpRange(0, int(ch))) > kRangeTolerance)
            return false;
    }
    return true;
}

void RunPolls(CHwManager& manager)
{
    auto advance = reinterpret_cast<void (*)(int64_t)>(dlsym(Vel().handle, "VelSimAdvance"));
    if (!advance)
        std::abort();
    for (int i = 0; i < kPolls; ++i) {
        advance(kSamplesPerPoll);
        manager.Poll();
    }
}

} // namespace

// The setup dialog draws text: the font configuration library keeps its
// caches through encoded offsets, which the leak checker cannot follow while
// the application lives on.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The setup dialog is a widget. Never deleted: Qt's own statics are gone
    // at exit before any handler of ours runs.
    static QApplication* app = new QApplication(*argc, *argv);
    (void)app;
    // A channel buffer namespace of our own (the test replay brings one).
    if (!std::getenv("ZQ_NAME")) {
        g_zqName = "krv-fuzz-" + std::to_string(getpid());
        setenv("ZQ_NAME", g_zqName.c_str(), 1);
        std::atexit(RemoveSegments);
    }
    static MessageBoxRecorder boxes;
    static DialogRecorder dialogs;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    setenv("VELMOR_SIM_MODULE", kModels[data[0] % std::size(kModels)], 1);
    CHwManager manager;
    manager.ChooseModule();
    auto* module = dynamic_cast<CRecorderModule*>(manager.Module());
    if (!module) {
        std::fprintf(stderr, "hwsetup: no simulated recorder module (libVelmor4API.so not found?)\n");
        std::abort();
    }
    DialogRecorder::Installed()->SetDefaultHandler([module](QDialog& dialog) {
        auto* setup = dynamic_cast<CChannelSetupDlg*>(&dialog);
        if (!setup)
            return;
        const int rate = setup->SampleRateChoice();
        for (const HwChanSetup& record : setup->Records())
            UseDerivedValues(*module, rate, record);
        if (NeedsNoCalibration(*module, rate, setup->Records()))
            setup->accept();
        else
            setup->reject();
    });
    reinterpret_cast<void (*)(int)>(dlsym(Vel().handle, "VelSimSetManualClock"))(1);

    QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    TextArchive in;
    in.OpenBuffer(&bytes, TextArchive::Mode::Load);
    manager.SerializeSetup(in);
    if (module->IsRunning())
        RunPolls(manager);
    // What follows the block stays readable for the rest of the set.
    QString line;
    while (in.ReadLine(line)) {
    }
    MessageBoxRecorder::Installed()->Clear();
    ZQ_ReleaseWriter();
    return 0;
}

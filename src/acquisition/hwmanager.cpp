#include "hwmanager.h"

#include "acquisition/halvekdcmodule.h"
#include "acquisition/halvekmodule.h"
#include "acquisition/halvekplusmodule.h"
#include "acquisition/morsilmodule.h"
#include "acquisition/pendramodule.h"
#include "acquisition/recorderapi.h"
#include "acquisition/servicefailure.h"
#include "acquisition/soundinput.h"
#include "platform/messagebox.h"
#include "platform/textarchive.h"
#include "context/appcontext.h"
#include "zq.h"

#include <QStringList>
#include <algorithm>
#include <span>

namespace {
constexpr int kSoundBlockFrames = 65536;
constexpr int kSharedBlockFrames = 65536;
constexpr double kSoundPeriod = 1.0 / 44100.0;

// Busy handling of the recorder's channel updates: on, with this timeout.
constexpr int kChannelUpdateBusyMode = 1;
constexpr int kChannelUpdateBusyTimeout = 20000;

// Module types that VelGetModuleType reports. Two of them cover two models,
// told apart by bits of the options word of channel 0.
enum ModuleType {
    kMorsilFamilyType = 1, // the variant bit set: kMorsilVariantCode
    kHalvekFamilyType = 4, // the DC bit set: the HalvekDC
};
constexpr uint32_t kMorsilVariantOption = 1u << 30;
constexpr uint32_t kHalvekDcOption = 1u << 29;

// The other types and their internal codes; types not listed keep their number.
struct TypeCode {
    int type;
    int code;
};
constexpr TypeCode kTypeCodes[] = {
    {2, 3}, {3, 5}, {8, 4}, {10, 6}, {12, CHwManager::kHalvekPlusCode}, {15, 8}, {16, 9},
    {17, CHwManager::kPendraCode},
};

int CodeOfType(int type, uint32_t options)
{
    if (type == kMorsilFamilyType)
        return (options & kMorsilVariantOption) ? CHwManager::kMorsilVariantCode : CHwManager::kMorsilCode;
    if (type == kHalvekFamilyType)
        return (options & kHalvekDcOption) ? CHwManager::kHalvekDcCode : CHwManager::kHalvekCode;
    for (const TypeCode& entry : kTypeCodes) {
        if (entry.type == type)
            return entry.code;
    }
    return type;
}

std::unique_ptr<CHwModule> MakeModule(int code, CRecordFile& recording)
{
    switch (code) {
    case CHwManager::kMorsilCode: return std::make_unique<CMorsilModule>(recording);
    case CHwManager::kHalvekCode: return std::make_unique<CHalvekModule>(recording);
    case CHwManager::kHalvekPlusCode: return std::make_unique<CHalvekPlusModule>(recording);
    case CHwManager::kHalvekDcCode: return std::make_unique<CHalvekDcModule>(recording);
    case CHwManager::kPendraCode: return std::make_unique<CPendraModule>(recording);
    default: return nullptr;
    }
}
} // namespace

CHwManager::CHwManager() = default;

// The writer role goes with the manager: readers see the channels vanish at
// once, and another program may publish (nothing when this process only reads).
CHwManager::~CHwManager()
{
    ReleaseSource();
    if (!Ctx().sharedSource)
        ZQ_ReleaseWriter();
}

void CHwManager::ReleaseSource()
{
    m_module.reset();
    if (m_sound) {
        m_sound->Stop();
        m_sound.reset();
    }
}

int CHwManager::DetectRecorder()
{
    if (LoadRecorderApi("Velmor4API.dll") != 0)
        return kSoundCardCode;
    RecorderApi& api = Vel();
    api.VelSetChannelUpdateBusyMode(kChannelUpdateBusyMode, kChannelUpdateBusyTimeout);
    if (api.VelInit() <= 0)
        return kSoundCardCode;
    const int type = api.VelGetModuleType(0);
    const auto options = static_cast<uint32_t>(api.VelGetChannelOptions(0, 0));
    return CodeOfType(type, options);
}

bool CHwManager::ChooseModule()
{
    if (Ctx().sharedSource)
        return true;
    ReleaseSource();
    m_module = MakeModule(DetectRecorder(), m_recordFile);
    if (m_module) {
        m_module->SetParent(Ctx().mainWindow);
        typeName = m_module->TypeName();
    } else {
        m_sound = std::make_unique<CSoundInput>();
        m_soundScale = kSoundScale;
        typeName = QStringLiteral("PC-Snd");
    }
    return true;
}

bool CHwManager::DefineChannels(bool readFromHardware)
{
    m_failureReported = false;
    if (Ctx().sharedSource) {
        m_recordFile.Prepare(ZQ_GetNrOfChan(), kSharedBlockFrames);
        return true;
    }
    if (m_module)
        return m_module->Configure(readFromHardware);
    if (m_sound)
        return DefineSoundChannels();
    return false;
}

bool CHwManager::FailureReported() const
{
    return m_module ? m_module->FailureReported() : m_failureReported;
}

bool CHwManager::ReportFailure(const QString& text)
{
    ShowMessageBox(Ctx().mainWindow, text);
    m_failureReported = true;
    return false;
}

// The sound input is started only when the service took both channels: a
// capture nobody receives would look like a working setup.
bool CHwManager::DefineSoundChannels()
{
    m_sound->Stop();
    QStringList devices;
    m_sound->EnumerateDevices(devices);
    m_sound->SelectDevice(0);
    const int defined = ZQ_SetNrOfChan(2);
    if (defined < 0)
        return ReportFailure(ServiceFailureText(defined));
    m_recordFile.Prepare(2, kSoundBlockFrames);
    static const char* const kServiceNames[2] = {"Mic Left", "Mic Right"};
    static const char* const kRecordingNames[2] = {"Mic left", "Mic Right"};
    static const char* const kNumbers[2] = {"0", "1"};
    for (int i = 0; i < 2; ++i) {
        const int result = ZQ_SetChanDef(i, i, kNumbers[i], kServiceNames[i], "V", "+", kSoundPeriod, -1, 1, -1, 1, 0);
        if (result < 0)
            return ReportFailure(ServiceFailureText(result));
        m_recordFile.DefineChannel(i, i, QString::fromLatin1(kRecordingNames[i]), QStringLiteral("V"),
                                   kSoundPeriod);
    }
    // A failed start has shown the device's error already.
    if (m_sound->Start() != 0) {
        m_failureReported = true;
        return false;
    }
    return true;
}

void CHwManager::Poll()
{
    if (Ctx().sharedSource)
        return;
    if (m_module) {
        if (m_module->IsRunning())
            m_module->Poll();
        return;
    }
    if (m_sound)
        PollSound();
}

void CHwManager::PollSound()
{
    // The hand-over is taken under the sound input's lock in one piece and
    // stays valid until the next take, so it is converted outside the lock.
    const std::span<const int16_t> values = m_sound->TakeHandover();
    const size_t frames = values.size() / 2;
    const float* const rows[2] = {m_soundValues[0], m_soundValues[1]};
    for (size_t first = 0; first < frames; first += kSoundRunFrames) {
        const int count = int(std::min(frames - first, size_t(kSoundRunFrames)));
        ConvertSoundRun(values, first, count);
        m_recordFile.AppendFrames(rows, count);
    }
}

void CHwManager::ConvertSoundRun(std::span<const int16_t> values, size_t first, int count)
{
    for (int i = 0; i < count; ++i) {
        for (int channel = 0; channel < 2; ++channel) {
            float value = static_cast<float>(values[2 * (first + size_t(i)) + size_t(channel)] * m_soundScale);
            ZQ_WriteChanOneFloatValue(channel, reinterpret_cast<int*>(&value));
            m_soundValues[channel][i] = value;
        }
    }
}

void CHwManager::SerializeSetup(TextArchive& archive)
{
    if (archive.IsStoring()) {
        if (!m_module)
            return;
        archive.BeginBlock(typeName);
        m_module->StoreSetup(archive);
        archive.EndBlock();
        return;
    }
    if (!archive.IsLoading())
        return;
    if (!m_module) {
        // Nothing applies, but the block is consumed so that the set's
        // next block is read where it starts.
        archive.SkipBlock();
        return;
    }
    LoadSetup(archive);
}

void CHwManager::LoadSetup(TextArchive& archive)
{
    const QString head = typeName + QStringLiteral(" {");
    QString firstLine;
    bool haveFirst = false;
    bool loaded = false;
    QString line;
    while (archive.ReadLine(line) && !TextArchive::IsBlockEnd(line)) {
        if (line == head) {
            m_module->LoadSetup(archive);
            loaded = true;
        } else {
            if (!haveFirst) {
                firstLine = line;
                haveFirst = true;
            }
            // Another module's block is passed whole, nested channel
            // blocks included, so that reading ends at the "Hw" block's end.
            if (line.endsWith(QLatin1String(" {")))
                archive.SkipBlock();
        }
    }
    if (loaded) {
        m_module->Configure(false);
        return;
    }
    QString text = QStringLiteral("Loaded hardware setup is for %1 but not for %2").arg(firstLine, head);
    text.remove(QLatin1Char('{'));
    ShowMessageBox(Ctx().mainWindow, text);
}

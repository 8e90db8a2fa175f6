#include "hwmodule.h"

#include "acquisition/channelsetupdlg.h"
#include "acquisition/hwchansetup.h"
#include "acquisition/recordfile.h"
#include "acquisition/recorderapi.h"
#include "platform/messagebox.h"
#include "platform/modaldialog.h"
#include "platform/textarchive.h"
#include "zq.h"

#include <QDialog>
#include <QWidget>
#include <algorithm>
#include <climits>
#include <span>

namespace {
// The pulse count stops growing here: a shaft standing still for hours, or
// more edges per period than ever come, must not overflow it (one word adds
// at most 32).
constexpr int kMaxPulseCount = INT_MAX - 32;

// Edges per measured period; a setup below 1 (a corrupt settings set)
// counts as 1, as the teeth do in the pulse factor.
int EdgesPerPeriod(const HwChanSetup& setup) { return std::max(1, setup.CntAcr); }
} // namespace

int32_t CHwModule::s_raw[kMaxChannels][kMaxSamplesPerPoll];
float CHwModule::s_values[kMaxChannels][kValueRowFloats];

CHwModule::CHwModule(CRecordFile& recording, int channelCount, const char* typeName,
                     const char* defaultNameFormat)
    : m_recording(recording), m_typeName(QString::fromLatin1(typeName)),
      m_defaultNameFormat(defaultNameFormat), m_channelCount(channelCount)
{
    ResetPulseDecoders();
}

CHwModule::~CHwModule() = default;

QString CHwModule::DefaultName(int channel) const { return QString::asprintf(m_defaultNameFormat, channel); }

void CHwModule::SetSampleRate(int rate)
{
    m_sampleRate = rate;
    m_samplePeriod = rate > 0 ? 1.0 / rate : 0.0;
}

void CHwModule::AddActive(int moduleChannel, double scale, double offset)
{
    if (m_activeCount >= kMaxChannels || moduleChannel < 0 || moduleChannel >= kMaxChannels)
        return;
    m_channelMap[m_activeCount] = moduleChannel;
    m_scale[m_activeCount] = scale;
    m_offset[m_activeCount] = offset;
    ++m_activeCount;
}

void CHwModule::Start()
{
    m_samplesTaken = 0;
    Vel().VelStartSampling();
    m_running = true;
}

bool CHwModule::Configure(bool) { return false; }

bool CHwModule::ReportFailure(const QString& text)
{
    ShowMessageBox(m_parent, text);
    m_failureReported = true;
    return false;
}

bool CHwModule::EditSetup(int& rate)
{
    // A rate that is no rate (a corrupt settings set) shows the module's own.
    if (rate < 1)
        rate = Vel().VelGetSampleRate();
    m_dialog.reset();
    auto dialog = CChannelSetupDlg::ForModel(m_typeName, m_parent, rate,
                                             std::span<HwChanSetup>(m_channels, static_cast<size_t>(m_channelCount)));
    if (!dialog)
        return true;
    const bool accepted = RunModalDialog(*dialog) == QDialog::Accepted;
    if (accepted)
        rate = dialog->SampleRateChoice();
    m_dialog = std::move(dialog);
    return accepted;
}

void CHwModule::ResetPulseDecoders()
{
    for (int ch = 0; ch < kMaxChannels; ++ch) {
        m_pulseCount[ch] = 0;
        m_pulseLevel[ch] = 0;
        m_pulseEdgesLeft[ch] = EdgesPerPeriod(m_channels[ch]);
        m_pulsePeriod[ch] = kNoPulsePeriod;
    }
}

void CHwModule::DecodePulseWord(int ch, uint32_t word)
{
    m_pulseCount[ch] = std::min(m_pulseCount[ch], kMaxPulseCount);
    if (word == 0) {
        m_pulseCount[ch] += kLineSamplesPerWord;
        m_pulseLevel[ch] = 0;
        return;
    }
    if (word == 0xFFFFFFFFu && m_pulseLevel[ch] != 0) {
        m_pulseCount[ch] += kLineSamplesPerWord;
        return;
    }
    for (int bit = kLineSamplesPerWord - 1; bit >= 0; --bit) {
        const int level = static_cast<int>((word >> bit) & 1u);
        if (m_pulseLevel[ch] == 0 && level != 0 && --m_pulseEdgesLeft[ch] == 0) {
            // The period is the distance between the counted edges: the
            // edge's own bit starts the next count, so that edges 32000
            // line samples apart measure 32000.
            m_pulsePeriod[ch] = m_pulseCount[ch];
            m_pulseCount[ch] = 0;
            m_pulseEdgesLeft[ch] = EdgesPerPeriod(m_channels[ch]);
        }
        m_pulseLevel[ch] = level;
        m_pulseCount[ch] += 1;
    }
}

float CHwModule::PulseValue(int position, int32_t raw)
{
    const int ch = m_channelMap[position];
    DecodePulseWord(ch, static_cast<uint32_t>(raw));
    const int period = m_pulsePeriod[ch];
    return period != 0 ? static_cast<float>(m_scale[position] / period) : -1.0f;
}

void CHwModule::Poll()
{
    RecorderApi& api = Vel();
    int64_t acquired = 0;
    api.VelGetBufferState64(&acquired);
    // Low halves only, as the count is handed over in halves: the
    // difference stays right across a wrap of the low word.
    const int32_t fresh =
        static_cast<int32_t>(static_cast<uint32_t>(acquired) - static_cast<uint32_t>(m_samplesTaken));
    const int n = std::min<int32_t>(fresh, kMaxSamplesPerPoll);
    if (n < 1)
        return;

    const auto start = static_cast<uint64_t>(m_samplesTaken);
    api.VelStoreSamples64(static_cast<uint32_t>(start), static_cast<uint32_t>(start >> 32), n);
    m_samplesTaken += n;
    bool pulse[kMaxChannels];
    for (int k = 0; k < m_activeCount; ++k) {
        api.VelGetChannel(0, m_channelMap[k], s_raw[k]);
        pulse[k] = m_channels[m_channelMap[k]].Input != 0;
    }

    const float* rows[kMaxChannels];
    for (int k = 0; k < m_activeCount; ++k)
        rows[k] = s_values[k];
    for (int first = 0; first < n; first += kValueRunFrames) {
        const int count = std::min(n - first, kValueRunFrames);
        ConvertRun(first, count, pulse);
        m_recording.AppendFrames(std::span<const float* const>(rows, size_t(m_activeCount)), count);
    }
}

void CHwModule::ConvertRun(int first, int count, const bool* pulse)
{
    for (int i = 0; i < count; ++i) {
        const int j = first + i;
        for (int k = 0; k < m_activeCount; ++k) {
            float value = pulse[k] ? PulseValue(k, s_raw[k][j])
                                   : static_cast<float>(s_raw[k][j] * m_scale[k] + m_offset[k]);
            ZQ_WriteChanOneFloatValue(k, reinterpret_cast<int*>(&value));
            s_values[k][i] = value;
        }
    }
}

void CHwModule::StoreSetup(TextArchive& archive) const
{
    archive.WriteLine(QStringLiteral("SFreq:%1").arg(m_sampleRate));
    for (int ch = 0; ch < m_channelCount; ++ch)
        m_channels[ch].Store(archive);
}

void CHwModule::LoadSetup(TextArchive& archive)
{
    int next = 0;
    QString line;
    QString value;
    while (archive.ReadLine(line) && !TextArchive::IsBlockEnd(line)) {
        if (TextArchive::MatchKey(line, QStringLiteral("SFreq:"), &value)) {
            SetSampleRate(HwChanSetup::TextToInt(value));
        } else if (line == QLatin1String("ch {")) {
            if (next < kMaxChannels) {
                m_channels[next++].Load(archive);
            } else {
                archive.SkipBlock();
            }
        }
    }
}

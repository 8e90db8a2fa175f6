#include "recordermodule.h"

#include "acquisition/calibrationdlg.h"
#include "acquisition/recorderapi.h"
#include "acquisition/recordfile.h"
#include "acquisition/servicefailure.h"
#include "platform/debugout.h"
#include "zq.h"

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {
constexpr int kRecordingBlockFrames = 4096;
constexpr int kDataWidthBits = 32;
// Ranges read from a module and table entries match within this many volts.
constexpr double kRangeTolerance = 0.0001;

// The leading decimal integer of a text ("50%" → 50); fallback when the
// text starts with no number (a setting never read from the module).
int LeadingInt(const QString& text, int fallback)
{
    const QByteArray bytes = text.trimmed().toLatin1();
    const char* begin = bytes.constData();
    char* end = nullptr;
    const long value = std::strtol(begin, &end, 10);
    return end == begin ? fallback : static_cast<int>(value);
}
} // namespace

CRecorderModule::CRecorderModule(CRecordFile& recording, int channelCount, const char* typeName,
                                 const char* defaultNameFormat, std::span<const double> ranges)
    : CHwModule(recording, channelCount, typeName, defaultNameFormat), m_ranges(ranges)
{
}

int CRecorderModule::RangeIndex(double volts) const
{
    const int count = static_cast<int>(m_ranges.size());
    for (int i = 0; i < count; ++i) {
        if (std::fabs(m_ranges[i] - volts) <= kRangeTolerance)
            return i;
    }
    for (int i = 0; i < count; ++i) {
        if (m_ranges[i] > volts)
            return i;
    }
    return count - 1;
}

double CRecorderModule::RangeVolts(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_ranges.size()))
        return -1.0;
    return m_ranges[index];
}

CRecorderModule::FrontEnd CRecorderModule::FrontEndFor(int filter, int coupling)
{
    FrontEnd wanted;
    if (filter == kHighPass22HzChoice)
        wanted.highPass = kHighPass22Hz;
    else if (filter >= kLowPass500HzChoice && filter <= kLowPass4kHzChoice)
        wanted.lowPass = kLowPass500Hz + (filter - kLowPass500HzChoice);
    switch (coupling) {
    case kCouplingDC: // no high-pass at all, not even the 22 Hz filter
        wanted.highPass = kHighPassOff;
        break;
    case kCouplingAC:
        wanted.highPass = filter == kHighPass22HzChoice ? kHighPass22Hz : kHighPassAC;
        break;
    case kCouplingICP: // AC coupled with the sensor supply on
        wanted.highPass = wanted.highPass == kHighPass22Hz ? kHighPass22Hz : kHighPassAC;
        wanted.iepe = 1;
        break;
    default:
        break;
    }
    return wanted;
}

void CRecorderModule::ReadFrontEnd(const FrontEnd& module, HwChanSetup& setup)
{
    setup.Filter = module.highPass == kHighPass22Hz ? kHighPass22HzChoice : kNoFilter;
    if (module.lowPass >= kLowPass500Hz && module.lowPass <= kLowPass4kHz)
        setup.Filter = kLowPass500HzChoice + (module.lowPass - kLowPass500Hz);
    setup.Cpl = module.iepe ? kCouplingICP : (module.highPass != kHighPassOff ? kCouplingAC : kCouplingDC);
}

void CRecorderModule::SetIfDifferent(int (*getter)(int, int), int (*setter)(int, int, int), int channel,
                                     int value)
{
    if (!getter || !setter)
        return;
    if (getter(0, channel) != value)
        setter(0, channel, value);
}

void CRecorderModule::ApplyFrontEnd(int channel, const FrontEnd& wanted, bool sendLowPass)
{
    RecorderApi& api = Vel();
    SetIfDifferent(api.VelGetHPFilter, api.VelSetHPFilter, channel, wanted.highPass);
    if (sendLowPass)
        SetIfDifferent(api.VelGetLPFilter, api.VelSetLPFilter, channel, wanted.lowPass);
    SetIfDifferent(api.VelGetIEPE, api.VelSetIEPE, channel, wanted.iepe);
}

CRecorderModule::FrontEnd CRecorderModule::ModuleFrontEnd(int channel)
{
    RecorderApi& api = Vel();
    FrontEnd module;
    module.highPass = api.VelGetHPFilter(0, channel);
    module.lowPass = api.VelGetLPFilter(0, channel);
    module.iepe = api.VelGetIEPE(0, channel) != 0 ? 1 : 0;
    return module;
}

void CRecorderModule::ReadSetup()
{
    RecorderApi& api = Vel();
    const int rate = api.VelGetSampleRate();
    if (rate > 0)
        SetSampleRate(rate);
    for (int ch = 0; ch < ChannelCount(); ++ch) {
        HwChanSetup& setup = Channel(ch);
        setup.On = api.VelGetChannelActive(0, ch) != 0;
        const double volts = api.VelGetInpRange(0, ch);
        if (volts > 0.0)
            setup.Range = RangeIndex(volts);
        if (IsPulseChannel(ch)) {
            int mode = 0;
            int percent = 0;
            int usec = 0;
            api.VelGetRPM(0, ch, &mode, &percent, &usec);
            setup.Input = mode != 0 ? 1 : 0;
            setup.percentText = QString::asprintf("%d%%", percent);
            setup.usecText = QString::asprintf("%dusec", usec);
        } else {
            setup.Input = 0;
        }
        ReadChannelSettings(ch, setup);
    }
}

bool CRecorderModule::Configure(bool readFromHardware)
{
    RecorderApi& api = Vel();
    ClearFailure();
    if (IsRunning()) {
        api.VelStopSampling();
        SetRunning(false);
    }
    if (readFromHardware)
        ReadSetup();
    // needsCalibration is clear here but for channels whose calibration a
    // cancel cut short: they are calibrated this time even unchanged.

    int rate = SampleRate();
    if (!EditSetup(rate))
        return false;
    if (rate < 1) // a corrupt settings set: keep the module's rate
        rate = api.VelGetSampleRate();
    if (rate < 1) {
        DebugOut("The recorder module reports no sample rate");
        return false;
    }
    SetSampleRate(rate);

    int on = 0;
    for (int ch = 0; ch < ChannelCount(); ++ch)
        on += Channel(ch).On ? 1 : 0;
    // Refused before anything reaches the module: the module keeps its settings.
    const int defined = ZQ_SetNrOfChan(on);
    if (defined < 0)
        return ReportFailure(ServiceFailureText(defined));
    Recording().Prepare(on, kRecordingBlockFrames);
    api.VelSetDataWidth(0, kDataWidthBits);

    ClearActive();
    for (int ch = 0; ch < ChannelCount(); ++ch) {
        const int result = ApplyChannel(ch, rate);
        if (result < 0)
            return ReportFailure(ServiceFailureText(result));
    }
    ResetPulseDecoders();

    if (api.VelGetSampleRate() != rate) {
        api.VelSetSampleRate(rate);
        for (int ch = 0; ch < ChannelCount(); ++ch) {
            if (Channel(ch).On)
                SetNeedsCalibration(ch, true);
        }
    }
    if (!CalibrateMarked())
        return false; // cancelled: the module stays idle
    Start();
    return true;
}

int CRecorderModule::ApplyChannel(int ch, int rate)
{
    RecorderApi& api = Vel();
    HwChanSetup& setup = Channel(ch);
    if ((api.VelGetChannelActive(0, ch) != 0) != setup.On)
        api.VelSetChannelActive(0, ch, setup.On ? 1 : 0);
    // Only a pulse-capable channel can be a pulse input; the poll decodes
    // every channel whose Input is set as one.
    if (!IsPulseChannel(ch) || setup.Input != 1)
        setup.Input = 0;
    if (!setup.On)
        return ZQ_OK;

    const double moduleRange = api.VelGetInpRange(0, ch);
    double range = RangeVolts(setup.Range);
    if (range <= 0.0) { // an index off the table keeps the module's range
        range = moduleRange;
        setup.Range = RangeIndex(moduleRange);
    }
    if (std::fabs(range - moduleRange) > kRangeTolerance) {
        api.VelSetInpRange(0, ch, range);
        SetNeedsCalibration(ch, true);
    }
    double scale = setup.Gain() * range / kFullScaleCounts;
    if (IsPulseChannel(ch)) {
        ApplyPulseInput(ch, setup);
        if (setup.Input != 0)
            scale = setup.PulseFactor(rate);
    }
    ApplyChannelSettings(ch, setup);

    const QString name = setup.Name.isEmpty() ? DefaultName(ch) : setup.Name;
    const int position = ActiveCount();
    const int defined = ZQ_SetChanDef(position, ch + 1, QByteArray::number(ch).constData(),
                                      name.toUtf8().constData(), setup.Unit.toUtf8().constData(), "+",
                                      SamplePeriod(), -range, range, -99, 99, 0);
    if (defined < 0)
        return defined;
    Recording().DefineChannel(position, ch + 1, name, setup.Unit, SamplePeriod());
    AddActive(ch, scale, setup.Offset());
    return ZQ_OK;
}

void CRecorderModule::ApplyPulseInput(int ch, const HwChanSetup& setup)
{
    RecorderApi& api = Vel();
    int mode = 0;
    int percent = 0;
    int usec = 0;
    api.VelGetRPM(0, ch, &mode, &percent, &usec);
    const int wanted = setup.Input != 0 ? 1 : 0;
    const int wantedPercent = LeadingInt(setup.percentText, percent);
    const int wantedUsec = LeadingInt(setup.usecText, usec);
    const bool differs = (mode != 0 ? 1 : 0) != wanted ||
                         (wanted != 0 && (wantedPercent != percent || wantedUsec != usec));
    if (differs)
        api.VelSetRPM(0, ch, wanted, wantedPercent, wantedUsec);
}

bool CRecorderModule::CalibrateMarked()
{
    std::vector<int> channels;
    for (int ch = 0; ch < ChannelCount(); ++ch) {
        if (NeedsCalibration(ch))
            channels.push_back(ch);
    }
    CCalibrationDlg progress(Parent(), channels,
                             {kCalibrationSettleMs, kCalibrationPollMs, kCalibrationTimeoutMs});
    const bool done = progress.Run();
    for (int ch : channels)
        SetNeedsCalibration(ch, false);
    for (int ch : progress.Unfinished())
        SetNeedsCalibration(ch, true);
    return done;
}

#pragma once
// What the recorder models share in their configuration: reading the
// module's settings into the setup records, letting the setup editor change
// them, and applying them (channels on/off, ranges, pulse inputs, the
// model's front-end settings, the channel definitions of the service and
// the recording, the sample rate, calibration) before sampling restarts.
// Every setting is sent only when the module reports another value, so an
// unchanged setup sends nothing but the data width.
//
// The models supply their range table, their pulse-capable channels and
// their front-end settings (coupling, filters, microphone supply).
//
// All operations: UI thread only. The calibration waits run in a modal
// progress dialog, so timers and the tick go on while Configure waits.

#include "acquisition/hwmodule.h"

#include <span>

class CRecorderModule : public CHwModule {
public:
    // Waits of one channel's calibration: first the settle time, then
    // polls until the module reports it done, giving up after the timeout.
    static constexpr int kCalibrationSettleMs = 1000;
    static constexpr int kCalibrationPollMs = 30;
    static constexpr int kCalibrationTimeoutMs = 60000;
    // Raw counts of full scale: a signed 32-bit sample spans ±range.
    static constexpr double kFullScaleCounts = 2147483647.5;
    // Input ranges in volts, by Range index, of every model but the Pendra.
    static constexpr double kStandardRanges[] = {0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1, 2, 5, 10};

    // Stops sampling, reads the module's settings if readFromHardware, shows
    // the channel setup dialog and, when accepted, applies the setup and starts
    // sampling: true. false when the dialog or the calibration was cancelled,
    // or the channel buffer service refused the channels (shown to the user);
    // sampling stays off then.
    bool Configure(bool readFromHardware) override;
    // Fills the sample rate and the model's records from the module.
    void ReadSetup();

    // The range table index of a module range: the first entry within
    // 0.0001 V; a range between entries takes the next larger one (so the
    // signal stays within it), a range above the table the largest.
    int RangeIndex(double volts) const;
    // Volts of a range index; a negative value for an index off the table.
    double RangeVolts(int index) const;
    std::span<const double> RangeTable() const { return m_ranges; }

    // The Filter and Cpl choices of a setup record (the Pendra has its own
    // coupling list: 0 AC, 1 ICP).
    enum FilterChoice { kNoFilter = 0, kHighPass22HzChoice = 1, kLowPass500HzChoice = 2, kLowPass4kHzChoice = 4 };
    enum CouplingChoice { kCouplingDC = 0, kCouplingAC = 1, kCouplingICP = 2 };
    // The module's high-pass and low-pass settings.
    enum HighPassSetting { kHighPassOff = 0, kHighPassAC = 1, kHighPass22Hz = 2 };
    enum LowPassSetting { kLowPassOff = 0, kLowPass500Hz = 1, kLowPass4kHz = 3 };

    // The high-pass, low-pass and IEPE settings of a filter choice (none,
    // high-pass 22 Hz, low-pass 500 Hz/1 kHz/4 kHz) with a coupling (DC,
    // AC, ICP); and back from the module's settings.
    struct FrontEnd {
        int highPass = kHighPassOff; // a HighPassSetting
        int lowPass = kLowPassOff;   // a LowPassSetting: 500 Hz, 1 kHz, 4 kHz from 1 up
        int iepe = 0;
    };
    static FrontEnd FrontEndFor(int filter, int coupling);
    static void ReadFrontEnd(const FrontEnd& module, HwChanSetup& setup);

protected:
    CRecorderModule(CRecordFile& recording, int channelCount, const char* typeName,
                    const char* defaultNameFormat, std::span<const double> ranges);

    virtual bool IsPulseChannel(int channel) const = 0;
    // The model's front-end fields of one record from the module.
    virtual void ReadChannelSettings(int channel, HwChanSetup& setup) = 0;
    // The model's front-end settings of one channel that is on, each sent
    // only when the module reports another value.
    virtual void ApplyChannelSettings(int channel, const HwChanSetup& setup) = 0;

    // Sends value with setter when getter reports another one; skipped when
    // the library lacks either entry point.
    static void SetIfDifferent(int (*getter)(int, int), int (*setter)(int, int, int), int channel,
                               int value);
    // High-pass, low-pass (when sendLowPass) and IEPE of one channel.
    static void ApplyFrontEnd(int channel, const FrontEnd& wanted, bool sendLowPass);
    static FrontEnd ModuleFrontEnd(int channel);

private:
    // The ZQ_SetChanDef result of the channel (0 for a channel that is off).
    int ApplyChannel(int channel, int rate);
    void ApplyPulseInput(int channel, const HwChanSetup& setup);
    // Calibrates the channels that need it in a progress dialog whose loop
    // keeps the tick running; false when the user cancelled it (the
    // channels left then still need calibration).
    bool CalibrateMarked();

    std::span<const double> m_ranges;
};

#pragma once
// The hardware manager: chooses the input source (a recorder module or the
// sound card), defines its channels in the channel buffer service and the
// continuous recording, and moves every new sample into both on each tick.
//
// In shared-source mode (Ctx().sharedSource: another program writes the
// service) it acquires nothing; defining channels only prepares the
// recording for the channels present, and nothing reaches the recording.
//
// All operations: UI thread only.

#include "acquisition/hwmodule.h"
#include "acquisition/recordfile.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <span>

class CHwModule;
class CSoundInput;
class TextArchive;

class CHwManager {
public:
    // Internal source codes that DetectRecorder gives. The recorder models
    // with a class of their own, and the sound card; every other code is a
    // model without a class (1, 3, 4, 5, 6, 8, 9), which falls back to the
    // sound card.
    static constexpr int kMorsilCode = 0;
    static constexpr int kMorsilVariantCode = 1;
    static constexpr int kHalvekCode = 2;
    static constexpr int kHalvekPlusCode = 10;
    static constexpr int kHalvekDcCode = 11;
    static constexpr int kPendraCode = 12;
    static constexpr int kSoundCardCode = 55;
    // A 16-bit sound sample in volts: 2^-15.
    static constexpr double kSoundScale = 1.0 / 32768.0;

    CHwManager();
    virtual ~CHwManager();
    CHwManager(const CHwManager&) = delete;
    CHwManager& operator=(const CHwManager&) = delete;

    // True while a recorder module is the active source.
    bool HasModule() const { return m_module != nullptr; }
    // Releases the current source, detects the recorder and makes module 0
    // or else the sound card the active source; sets typeName. Always true.
    bool ChooseModule();
    // Defines the active source's channels; false without a usable source,
    // when the user cancelled the module's channel setup, when the channel
    // buffer service refused the channels (another program writes it) or
    // when the sound card did not start. The last two are shown to the
    // user at once, see FailureReported.
    bool DefineChannels(bool readFromHardware);
    // After a false DefineChannels: true when the user was already told
    // what went wrong, false when there was no source or the user cancelled.
    bool FailureReported() const;
    // Moves the samples acquired since the last call. On the 10 ms tick,
    // before the service's readers are frozen.
    virtual void Poll();
    // Writes or reads (as the archive does) the lines of the "Hw {" block;
    // reading consumes the block's closing "}".
    void SerializeSetup(TextArchive& archive);

    // Loads the recorder API and maps module 0's type onto an internal
    // code (kSoundCardCode when there is no usable recorder).
    static int DetectRecorder();

    // The process's continuous recording writer. Its channels follow every
    // DefineChannels; the main bar's "Rec" opens and closes it, and while
    // it is open every polled value is appended.
    CRecordFile& RecordFile() { return m_recordFile; }

    CHwModule* Module() const { return m_module.get(); }
    CSoundInput* Sound() const { return m_sound.get(); }

    QString typeName; // "PC-Snd" or a recorder model; empty until chosen

private:
    void ReleaseSource();
    bool DefineSoundChannels();
    // Shows text over the main window; the definition failed for that reason.
    bool ReportFailure(const QString& text);
    void PollSound();
    // Frames first .. first + count - 1 of the interleaved hand-over: to the
    // service frame by frame, left then right, and to m_soundValues.
    void ConvertSoundRun(std::span<const int16_t> values, size_t first, int count);
    void LoadSetup(TextArchive& archive);

    // Converted sound values of up to kSoundRunFrames frames, left and
    // right, handed to the recording a run at a time.
    static constexpr int kSoundRunFrames = 4096;
    float m_soundValues[2][kSoundRunFrames] = {};

    CRecordFile m_recordFile;
    std::unique_ptr<CHwModule> m_module;
    std::unique_ptr<CSoundInput> m_sound;
    double m_soundScale = 0.0;
    bool m_failureReported = false;
};

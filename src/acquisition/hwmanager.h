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

class CHwModule;
class CSoundInput;
class TextArchive;

class CHwManager {
public:
    // Internal code of the sound card source.
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
    // Defines the active source's channels; false without a usable source
    // or when the user cancelled the module's channel setup.
    bool DefineChannels(bool readFromHardware);
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
    void PollSound();
    void LoadSetup(TextArchive& archive);

    CRecordFile m_recordFile;
    std::unique_ptr<CHwModule> m_module;
    std::unique_ptr<CSoundInput> m_sound;
    double m_soundScale = 0.0;
};

#pragma once
// The hardware manager: chooses the input source (a recorder module or the
// sound card), defines its channels in the channel buffer service and moves
// every new sample into the service and the recording on each tick.

#include <QString>

class CHwManager {
public:
    CHwManager();
    ~CHwManager();
    CHwManager(const CHwManager&) = delete;
    CHwManager& operator=(const CHwManager&) = delete;

    // True while a recorder module is the active source.
    bool HasModule() const;
    // Chooses the active source and sets typeName; always true.
    bool ChooseModule();
    // Defines the active source's channels; false without a usable source.
    bool DefineChannels(bool readFromHardware);
    // Moves the samples acquired since the last call. UI thread, on the tick.
    void Poll();

    QString typeName; // "PC-Snd" or a recorder model; empty until chosen
};

#pragma once
// The values the whole process shares, set at start-up and read by many
// windows. Kept together behind one accessor so that a test can reset them.

#include "context/colourscheme.h"

#include <QString>
#include <vector>

class QWidget;
class MainFrame;

struct AppContext {
    static constexpr const char* kVersionText = "1.01";
    static constexpr int kReadBufferSize = 100000;

    QString programDirectory;   // the executable's folder, with its trailing '/'
    QString dataDirectory;      // programDirectory + "data"
    QString chosenDataPath;     // set by the "Datapath" command, not persisted
    int companionMessage = 0;   // id of the registered message "Ostrane"
    bool sharedSource = false;  // another program published the channels at start
    QWidget* mainWindow = nullptr;     // the one main window, set at the end of its creation
    MainFrame* mainFrame = nullptr;    // the same window, as its operations
    int tickCounter = 0;
    int panelWidth = 150;       // width of the control panel column beside a graph
    ColourScheme colours;
    std::vector<float> readBuffer = std::vector<float>(kReadBufferSize); // one tick's read of a channel
};

// UI thread only.
AppContext& Ctx();
// Back to the state before start-up; for tests.
void ResetContext();

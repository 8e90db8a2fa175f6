#pragma once
// A main window stand-in for views, panels, the main bar, the gallery and
// the benchmarks: an analysis record, the two channels the main bar would
// have chosen, and operations that do nothing. UI thread only.

#include "context/analysisrecord.h"
#include "context/mainframe.h"

#include <QWidget>
#include <array>
#include <cstdint>
#include <vector>

class StubMainFrame : public MainFrame {
public:
    enum WindowChoice { WithWindow, NoWindow };

    // WithWindow: Window() is `window`, the parent of message boxes and
    // pop-ups; NoWindow: Window() is nullptr, as before the main window exists.
    explicit StubMainFrame(WindowChoice choice = WithWindow) : m_choice(choice) {}

    QWidget window;
    AnalysisRecord record;
    // ChosenChannel for "Ch1" and "Ch2"; -1 is "nc".
    std::array<int, 2> channels{-1, -1};
    int pageCount = 1;
    // The hardware manager a test owns; Hardware() aborts without one.
    CHwManager* hardware = nullptr;
    // Analysis workers a test owns; without them views analyse at once.
    AnalysisPool* workers = nullptr;

    // Publishes a record of these channels (all of one length) as the
    // capture would: the next sequence number, names and units from the
    // process's channel source where it defines the channel.
    void SetCapture(std::vector<std::vector<float>> channels, double dt, int start = 0);
    // No record.
    void ClearCapture() { record.capture.reset(); }

    QWidget* Window() override { return m_choice == WithWindow ? &window : nullptr; }
    AnalysisRecord& Record() override { return record; }
    AnalysisPool* AnalysisWorkers() override { return workers; }
    CHwManager& Hardware() override;
    void SetPageCount(int) override {}
    int PageCount() const override { return pageCount; }
    void RunStop() override {}
    void SingleShot() override {}
    void PointsChanged(int) override {}
    void AveragesChanged(int) override {}
    void OverlapChanged(int) override {}
    void NotifyAnalysis() override {}
    void ChannelsChosen() override {}
    void AutoSetup() override {}
    void RefreshChannels() override {}
    int ChosenChannel(int slot) const override { return slot == 0 || slot == 1 ? channels[size_t(slot)] : -1; }
    void ShowMainMenu(const QPoint&) override {}

private:
    WindowChoice m_choice;
    std::uint64_t m_sequence = 0;
};

#pragma once
// A main window stand-in for view tests: an analysis record and the two
// channels the main bar would have chosen.

#include "context/analysisrecord.h"
#include "context/mainframe.h"

#include <QWidget>
#include <array>
#include <cstdlib>

class ViewTestFrame : public MainFrame {
public:
    QWidget window;
    AnalysisRecord record;
    std::array<int, 2> channels{-1, -1};

    QWidget* Window() override { return &window; }
    AnalysisRecord& Record() override { return record; }
    CHwManager& Hardware() override { std::abort(); }
    void SetPageCount(int) override {}
    int PageCount() const override { return 1; }
    void RunStop() override {}
    void SingleShot() override {}
    void PointsChanged() override {}
    void AveragesChanged() override {}
    void OverlapChanged() override {}
    void NotifyAnalysis() override {}
    void ChannelsChosen() override {}
    void AutoSetup() override {}
    void RefreshChannels() override {}
    int ChosenChannel(int slot) const override { return slot == 0 || slot == 1 ? channels[size_t(slot)] : -1; }
    void ShowMainMenu(const QPoint&) override {}
};

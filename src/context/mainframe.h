#pragma once
// What the main window offers to the windows it owns (main bar, pages,
// views, panels), which sit below the shell and reach it only through this
// interface. UI thread only.

#include <QPoint>
#include <QString>

class QWidget;
class AnalysisPool;
class CHwManager;
struct AnalysisRecord;

class MainFrame {
public:
    virtual ~MainFrame() = default;

    virtual QWidget* Window() = 0;
    virtual AnalysisRecord& Record() = 0;
    virtual CHwManager& Hardware() = 0;

    virtual void SetPageCount(int count) = 0;
    virtual int PageCount() const = 0;
    virtual void RunStop() = 0;
    virtual void SingleShot() = 0;
    // The main bar's analysis choices, as the user made them: FFT points,
    // averages (0 "Auto") and overlap percent.
    virtual void PointsChanged(int points) = 0;
    virtual void AveragesChanged(int averages) = 0;
    virtual void OverlapChanged(int overlapPercent) = 0;
    virtual void NotifyAnalysis() = 0;
    virtual void ChannelsChosen() = 0;
    virtual void AutoSetup() = 0;
    virtual void RefreshChannels() = 0;
    // The channel index chosen on the main bar for slot 0 ("Ch1") or 1
    // ("Ch2"); -1 for "nc", any other slot, or before the bar exists.
    virtual int ChosenChannel(int slot) const
    {
        (void)slot;
        return -1;
    }
    // The workers the views' analyses run on; null: a view analyses at once
    // on the calling thread (a view without the main window).
    virtual AnalysisPool* AnalysisWorkers() { return nullptr; }
    // Chooses "Auto" averaging as if the user had chosen it on the main bar;
    // a frame without a bar takes the choice at once.
    virtual void ChooseAutoAveraging() { AveragesChanged(0); }
    // "A" on the main bar: every page's views rescale; nothing on a frame
    // without pages.
    virtual void RescaleAllViews() {}
    // What the channels come from, for people: the recorder model, "PC-Snd",
    // or another program's channels; empty when nothing is chosen.
    virtual QString SourceName() const { return QString(); }
    // Opens the main menu with its top left corner at the global point.
    virtual void ShowMainMenu(const QPoint& globalPos) = 0;
};

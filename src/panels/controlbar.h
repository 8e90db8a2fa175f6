#pragma once
// The strip across the top of the main window with the controls that act on
// the whole program: channel choice, run state, automatic scaling, page
// count, FFT points, averages and overlap, hardware setup, recording and the
// main menu. The views read the channel choice from its selectors; the main
// window is told the analysis choices as they change.

#include <QWidget>

class CSelectorButton;
class CToggleButton;
class MainFrame;
class TextArchive;

class CControlBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 28;
    static constexpr int kResourceId = 138;
    enum ControlId {
        IdGroup1 = 1044, IdCh1 = 1005, IdGroup2 = 1045, IdCh2 = 1006, IdRec = 1034, IdSingle = 1035,
        IdRun = 1027, IdAuto = 1032, IdViews = 1069, IdPoints = 1019, IdAverages = 1023, IdOverlap = 1039,
        IdSetup = 1033, IdMenu = 1036,
    };

    CControlBar(MainFrame* frame, QWidget* parent);

    // Rebuilds "Ch1"/"Ch2" from the channel source, keeps or sets
    // the selections, then drops the unread samples of clients 2, 3 and 1.
    void RefillChannelSelectors();
    void SetSetupCaption(const QString& text);
    QString SetupCaption() const;
    // Every 20th tick: blinks the "Rec" lamp while recording; switches it
    // off and tells the user when a failed write has stopped the recording.
    void BlinkRecord();
    // Shows the run and single-shot flags on "Run" and "Single".
    void MirrorRunState();

    CSelectorButton* Channel1() const { return m_ch1; }
    CSelectorButton* Channel2() const { return m_ch2; }
    CToggleButton* Control(int id) const;
    CSelectorButton* Selector(int id) const;

    // The analysis choices, passed to the main window with each change:
    // FFT points, averages (0 "Auto") and overlap percent.
    int PointsChoice() const;
    int AveragesChoice() const;
    int OverlapChoice() const;
    // "Avg" to "Auto", as if the user had chosen it: the main window hears
    // of it as of any choice.
    void ChooseAutoAveraging();

    // "Views:", "FFTpts:", "AvgCnt:", "Ovl:"; each loaded line runs its
    // selector's action at once.
    void SerializePanel(TextArchive& archive);

    // "Rec": stops a running recording, or starts one in the data folder.
    void ToggleRecording();

    // What a click on the toggle with that id does ("Run", "Single", "Rec",
    // "A", ...), for the keyboard.
    void Press(int id);
    // "Views" set to the page count (one of its items) with its action;
    // false for a count it does not offer.
    bool ChoosePageCount(int count);
    // Pixels from the bar's left edge to the right edge of its last control
    // and a margin: the narrowest the bar can be with every control whole.
    static int ControlsWidth();

    // The list positions ("nc" at 0, channel i at i + 1) after a refill to
    // channelCount channels, given the texts and positions shown before it.
    static std::pair<int, int> RefillSelection(int channelCount, const QString& text1, int index1,
                                               const QString& text2, int index2);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void OnControl(int id);
    void StopRecording();
    void EndRecording();

    MainFrame* m_frame;
    CSelectorButton* m_ch1 = nullptr;
    CSelectorButton* m_ch2 = nullptr;
};

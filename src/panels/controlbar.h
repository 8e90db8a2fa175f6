#pragma once
// The strip across the top of the main window with the controls that act on
// the whole program: channel choice, run state, analysis choices, hardware
// setup and recording.

#include <QStringList>
#include <QWidget>

class MainFrame;
class QPushButton;
struct AnalysisRecord;

// One channel choice ("Ch1" or "Ch2"): "nc" (key -1) and one item per
// channel of the service (key = channel index).
struct ChannelChoice {
    QStringList texts;
    QList<int> keys;
    int index = 0;

    QString CurrentText() const { return index >= 0 && index < texts.size() ? texts[index] : QString(); }
    int CurrentKey() const { return index >= 0 && index < keys.size() ? keys[index] : -1; }
};

class CControlBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 28;

    CControlBar(MainFrame* frame, QWidget* parent);

    // Rebuilds "Ch1"/"Ch2" from the channel buffer service, keeps or sets
    // the selections, then drops the unread samples of clients 2, 3 and 1.
    void RefillChannelSelectors();
    void SetSetupCaption(const QString& text);
    QString SetupCaption() const;
    // Every 20th tick: blinks the "Rec" lamp while recording.
    void BlinkRecord();
    // Shows the run and single-shot flags on "Run" and "Single".
    void MirrorRunState();

    const ChannelChoice& Channel1() const { return m_ch1; }
    const ChannelChoice& Channel2() const { return m_ch2; }
    // Chooses by list position and notifies the main window.
    void ChooseChannels(int index1, int index2);

    // The analysis choices the main window reads into the record.
    int PointsChoice() const { return m_points; }
    int AveragesChoice() const { return m_averages; }
    int OverlapChoice() const { return m_overlap; }
    void SetAnalysisChoices(int points, int averages, int overlap);

    bool RecordLampOn() const { return m_recordLamp; }

    // The selections after a refill to channelCount channels, given the
    // texts and positions shown before it. Positions index "nc" + channels.
    static std::pair<int, int> RefillSelection(int channelCount, const QString& text1, int index1,
                                               const QString& text2, int index2);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    MainFrame* m_frame;
    ChannelChoice m_ch1;
    ChannelChoice m_ch2;
    int m_points = 1024;
    int m_averages = 1;
    int m_overlap = 50;
    bool m_recordLamp = false;
    QPushButton* m_setup;
    QPushButton* m_run;
    QPushButton* m_single;
};

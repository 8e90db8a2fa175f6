#pragma once
// The line along the bottom of the main window that says what is being
// measured: the source, sample rate, bin spacing Δf and noise bandwidth of
// the analysis window at the chosen points, averages done and asked, the
// record length, and the samples lost on the way in: the program's reader
// clients' losses in the channel buffer service and a recording's failed
// writes. A loss shows in red until the user clicks the line to take note.
//
// The main window feeds it a few times a second; it rebuilds its text and
// repaints only when a fact changed. UI thread only.

#include <QString>
#include <QWidget>

struct StatusFacts {
    QString source;               // "Quorel", "Halvek", "Sound" …; empty: no source
    double sampleRate = 0.0;      // Hz of the first slot's channel; 0 without one
    int points = 0;               // transform length N
    QString window;               // the analysis window's name
    double noiseBandwidthBins = 0.0; // the window's noise bandwidth in bins
    int averagesDone = 0;         // segments the current record gives
    int averagesAsked = 0;        // the bar's "Avg"; 0 is "Auto"
    int recordLength = 0;         // samples per channel of the current record
    long long lost = 0;           // samples the reader clients lost
    bool recordFailed = false;    // the recording stopped on a failed write
    bool recording = false;

    bool operator==(const StatusFacts&) const = default;
};

class CStatusLine : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 18;

    explicit CStatusLine(QWidget* parent = nullptr);

    // Takes the facts; repaints when they differ from the last ones (and
    // then returns true).
    bool Show(const StatusFacts& facts);
    const StatusFacts& Facts() const { return m_facts; }
    // The text left of the loss part ("Quorel · 50 kS/s · Δf 48.83 Hz …").
    const QString& MeasurementText() const { return m_measurement; }
    // "lost 0", "lost 1234 samples", with the recording's failure.
    const QString& LossText() const { return m_loss; }
    // Losses (or a failed recording) the user has not taken note of yet.
    bool Alarmed() const;
    // What a click does: the losses so far count as seen.
    void Acknowledge();

    // The main window's title: "KRV — <source> — <set name> ● REC", the
    // parts left out that are empty or off.
    static QString TitleText(const QString& source, const QString& setName, bool recording);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void Compose();

    StatusFacts m_facts;
    QString m_measurement;
    QString m_loss;
    long long m_lostSeen = 0;
    bool m_failureSeen = false;
};

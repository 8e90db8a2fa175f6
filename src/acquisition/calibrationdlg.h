#pragma once
// The progress of a module calibration: "Calibrating channel k of n", a bar
// and Cancel. Each channel is started with VelCalibrate, given the settle
// time, then polled until the module reports it done (or the timeout). The
// waits are timers of the dialog's own modal loop, so the main window's
// 10 ms tick and every other event keep running meanwhile. UI thread only.

#include <QDialog>
#include <QTimer>
#include <vector>

class QLabel;
class QProgressBar;

class CCalibrationDlg : public QDialog {
    Q_OBJECT
public:
    struct Timing {
        int settleMs;
        int pollMs;
        int timeoutMs; // per channel, settle time included
    };

    // channels: module channels to calibrate, in this order.
    CCalibrationDlg(QWidget* parent, std::vector<int> channels, Timing timing);
    ~CCalibrationDlg() override;

    // Calibrates every channel; false when the user cancelled. Returns at
    // once (true) with no channels.
    bool Run();
    // The channels not calibrated to the end: after a cancel the one that
    // was running and those after it.
    std::vector<int> Unfinished() const;
    // Index in the channel list of the channel being calibrated.
    int CurrentIndex() const { return m_index; }
    QString ProgressText() const;

    // The calibration that is running now, if any; tests reach it through this.
    static CCalibrationDlg* Running();

private:
    void StartChannel();
    void PollChannel();
    void FinishChannel();

    std::vector<int> m_channels;
    Timing m_timing;
    size_t m_index = 0;
    int m_waitedMs = 0;
    QLabel* m_text = nullptr;
    QProgressBar* m_bar = nullptr;
    QTimer m_timer;
};

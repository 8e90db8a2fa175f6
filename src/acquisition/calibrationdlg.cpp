#include "calibrationdlg.h"

#include "acquisition/recorderapi.h"
#include "platform/debugout.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <string>

namespace {
CCalibrationDlg* g_running = nullptr;
}

CCalibrationDlg::CCalibrationDlg(QWidget* parent, std::vector<int> channels, Timing timing)
    : QDialog(parent), m_channels(std::move(channels)), m_timing(timing)
{
    setWindowTitle(QStringLiteral("Calibration"));
    setObjectName(QStringLiteral("calibration"));
    m_text = new QLabel(this);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, static_cast<int>(m_channels.size()));
    m_bar->setTextVisible(false);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_bar);
    layout->addWidget(cancel, 0, Qt::AlignRight);
    setFixedWidth(280);
    m_text->setText(ProgressText());
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CCalibrationDlg::PollChannel);
}

CCalibrationDlg::~CCalibrationDlg()
{
    if (g_running == this)
        g_running = nullptr;
}

CCalibrationDlg* CCalibrationDlg::Running() { return g_running; }

QString CCalibrationDlg::ProgressText() const
{
    // Once the last channel is done the text stays on it until the dialog closes.
    const size_t shown = std::min(m_index + 1, m_channels.size());
    return QStringLiteral("Calibrating channel %1 of %2").arg(shown).arg(m_channels.size());
}

std::vector<int> CCalibrationDlg::Unfinished() const
{
    return std::vector<int>(m_channels.begin() + static_cast<std::ptrdiff_t>(m_index), m_channels.end());
}

bool CCalibrationDlg::Run()
{
    if (m_channels.empty())
        return true;
    m_index = 0;
    CCalibrationDlg* outer = g_running;
    g_running = this;
    StartChannel();
    const int result = exec();
    m_timer.stop();
    g_running = outer;
    return result == QDialog::Accepted;
}

void CCalibrationDlg::StartChannel()
{
    m_text->setText(ProgressText());
    m_bar->setValue(static_cast<int>(m_index));
    Vel().VelCalibrate(0, m_channels[m_index], 0);
    m_waitedMs = m_timing.settleMs;
    m_timer.start(m_timing.settleMs);
}

void CCalibrationDlg::PollChannel()
{
    if (Vel().VelCalibrationActive(0, m_channels[m_index], 0) != 1) {
        FinishChannel();
        return;
    }
    if (m_waitedMs >= m_timing.timeoutMs) {
        DebugOut("Calibration of channel " + std::to_string(m_channels[m_index]) + " did not finish");
        FinishChannel();
        return;
    }
    m_waitedMs += m_timing.pollMs;
    m_timer.start(m_timing.pollMs);
}

void CCalibrationDlg::FinishChannel()
{
    ++m_index;
    if (m_index < m_channels.size()) {
        StartChannel();
        return;
    }
    m_bar->setValue(static_cast<int>(m_index));
    accept();
}

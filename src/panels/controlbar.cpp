#include "controlbar.h"

#include "shell/analysisrecord.h"
#include "shell/appcontext.h"
#include "shell/mainframe.h"
#include "zq.h"

#include <QPainter>
#include <QPushButton>

namespace {
constexpr int kReaderClients[] = {2, 3, 1};

// Dialog units of the bar's 8-point font to pixels.
QRect DialogRect(int x, int y, int w, int h) { return QRect(x * 6 / 4, y * 13 / 8, w * 6 / 4, h * 13 / 8); }
} // namespace

CControlBar::CControlBar(MainFrame* frame, QWidget* parent)
    : QWidget(parent), m_frame(frame)
{
    m_ch1.texts = m_ch2.texts = {QStringLiteral("nc")};
    m_ch1.keys = m_ch2.keys = {-1};

    m_single = new QPushButton(QStringLiteral("Single"), this);
    m_single->setGeometry(DialogRect(149, 2, 24, 11));
    m_single->setCheckable(true);
    connect(m_single, &QPushButton::clicked, this, [this] {
        m_frame->SingleShot();
        MirrorRunState();
    });

    m_run = new QPushButton(QStringLiteral("Run"), this);
    m_run->setGeometry(DialogRect(174, 2, 24, 11));
    m_run->setCheckable(true);
    connect(m_run, &QPushButton::clicked, this, [this] {
        m_frame->RunStop();
        MirrorRunState();
    });

    m_setup = new QPushButton(QStringLiteral("Setup"), this);
    m_setup->setObjectName(QStringLiteral("Setup"));
    m_setup->setGeometry(DialogRect(427, 2, 36, 11));
    connect(m_setup, &QPushButton::clicked, this, [this] { m_frame->AutoSetup(); });

    m_frame->AveragesChanged();
    MirrorRunState();
}

std::pair<int, int> CControlBar::RefillSelection(int channelCount, const QString& text1, int index1,
                                                 const QString& text2, int index2)
{
    if (channelCount <= 0)
        return {0, 0};
    if (channelCount == 1)
        return {1, 0};
    if (channelCount == 2)
        return {1, 2};
    const QString nc = QStringLiteral("nc");
    if (text1 == nc && text2 == nc)
        return {1, 2};
    // Keep the previous list positions, within the new list.
    auto clamp = [channelCount](int index) { return std::clamp(index, 0, channelCount); };
    return {clamp(index1), clamp(index2)};
}

void CControlBar::RefillChannelSelectors()
{
    const QString text1 = m_ch1.CurrentText();
    const QString text2 = m_ch2.CurrentText();
    const int index1 = m_ch1.index;
    const int index2 = m_ch2.index;

    int count = std::max(0, ZQ_GetNrOfChan());
    for (ChannelChoice* choice : {&m_ch1, &m_ch2}) {
        choice->texts = {QStringLiteral("nc")};
        choice->keys = {-1};
        for (int i = 0; i < count; ++i) {
            choice->texts.append(QString::number(ZQ_GetChanPChan(i)));
            choice->keys.append(i);
        }
    }
    auto [new1, new2] = RefillSelection(count, text1, index1, text2, index2);
    m_ch1.index = new1;
    m_ch2.index = new2;

    for (int client : kReaderClients)
        ZQ_ResetBuffer(client, -1);
    update();
}

void CControlBar::ChooseChannels(int index1, int index2)
{
    m_ch1.index = std::clamp(index1, 0, int(m_ch1.texts.size()) - 1);
    m_ch2.index = std::clamp(index2, 0, int(m_ch2.texts.size()) - 1);
    update();
    m_frame->ChannelsChosen();
}

void CControlBar::SetAnalysisChoices(int points, int averages, int overlap)
{
    bool pointsChanged = points != m_points;
    bool averagesChanged = averages != m_averages;
    bool overlapChanged = overlap != m_overlap;
    m_points = points;
    m_averages = averages;
    m_overlap = overlap;
    if (pointsChanged)
        m_frame->PointsChanged();
    if (averagesChanged)
        m_frame->AveragesChanged();
    if (overlapChanged)
        m_frame->OverlapChanged();
}

void CControlBar::SetSetupCaption(const QString& text) { m_setup->setText(text); }

QString CControlBar::SetupCaption() const { return m_setup->text(); }

void CControlBar::BlinkRecord()
{
    if (!m_frame->Record().recording)
        return;
    m_recordLamp = !m_recordLamp;
    update();
}

void CControlBar::MirrorRunState()
{
    const AnalysisRecord& record = m_frame->Record();
    m_run->setChecked(record.run != 0);
    m_run->setText(record.run ? QStringLiteral("Stop") : QStringLiteral("Run"));
    m_single->setChecked(record.single != 0);
}

void CControlBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Ctx().colours.barBrush);
    painter.setPen(Ctx().colours.graphText);
    painter.drawText(DialogRect(7, 2, 37, 11), Qt::AlignCenter, QStringLiteral("Ch1 ") + m_ch1.CurrentText());
    painter.drawText(DialogRect(51, 2, 37, 11), Qt::AlignCenter, QStringLiteral("Ch2 ") + m_ch2.CurrentText());
}

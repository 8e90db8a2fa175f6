#include "controlbar.h"

#include "acquisition/hwmanager.h"
#include "acquisition/recordfile.h"
#include "platform/dialogtemplate.h"
#include "platform/messagebox.h"
#include "platform/textarchive.h"
#include "views/paneldlg.h"
#include "views/panellists.h"
#include "context/analysisrecord.h"
#include "context/appcontext.h"
#include "context/channelsource.h"
#include "context/mainframe.h"
#include "context/readerclients.h"
#include "widgets/selectorbutton.h"
#include "widgets/togglebutton.h"
#include "widgets/widgetcontrols.h"

#include <QPainter>
#include <algorithm>

namespace {
constexpr DialogControl kTemplate[] = {
    {CControlBar::IdGroup1, ControlKind::Frame, "", 2, 0, 45, 16},
    {CControlBar::IdCh1, ControlKind::Selector, "Ch1", 7, 2, 37, 11},
    {CControlBar::IdGroup2, ControlKind::Frame, "", 50, 0, 45, 16},
    {CControlBar::IdCh2, ControlKind::Selector, "Ch2", 51, 2, 37, 11},
    {CControlBar::IdRec, ControlKind::Toggle, "Rec", 111, 2, 38, 11},
    {CControlBar::IdSingle, ControlKind::Toggle, "Single", 149, 2, 24, 11},
    {CControlBar::IdRun, ControlKind::Toggle, "Run", 174, 2, 24, 11},
    {CControlBar::IdAuto, ControlKind::Toggle, "A", 211, 2, 24, 11},
    {CControlBar::IdViews, ControlKind::Selector, "Views", 238, 2, 32, 11},
    {CControlBar::IdPoints, ControlKind::Selector, "Pts", 281, 2, 49, 11},
    {CControlBar::IdAverages, ControlKind::Selector, "Avg", 333, 2, 40, 11},
    {CControlBar::IdOverlap, ControlKind::Selector, "OVL", 376, 2, 40, 11},
    {CControlBar::IdSetup, ControlKind::Toggle, "Setup", 427, 2, 36, 11},
    {CControlBar::IdMenu, ControlKind::Toggle, "MyKRV", 466, 2, 27, 11},
};

struct ToggleColours {
    int id;
    QColor offFace, offText, onFace, onText;
};
const ToggleColours kToggleColours[] = {
    {CControlBar::IdRec, QColor(80, 80, 80), Qt::white, QColor(80, 80, 80), Qt::white},
    {CControlBar::IdSingle, QColor(58, 87, 126), Qt::white, QColor(255, 255, 192), Qt::black},
    {CControlBar::IdRun, QColor(130, 0, 0), Qt::white, QColor(0, 192, 0), Qt::black},
    {CControlBar::IdAuto, QColor(128, 255, 255), Qt::black, QColor(255, 255, 192), Qt::black},
    {CControlBar::IdSetup, QColor(200, 200, 0), QColor(0, 0, 255), QColor(0, 0, 255), QColor(200, 200, 0)},
    {CControlBar::IdMenu, QColor(200, 200, 200), Qt::black, QColor(0, 0, 255), QColor(255, 255, 0)},
};
constexpr struct {
    int id;
    const char* key;
} kWriteOrder[] = {{CControlBar::IdViews, "Views:"}, {CControlBar::IdPoints, "FFTpts:"},
                   {CControlBar::IdAverages, "AvgCnt:"}, {CControlBar::IdOverlap, "Ovl:"}};
constexpr int kTestOrder[] = {CControlBar::IdPoints, CControlBar::IdAverages, CControlBar::IdOverlap,
                              CControlBar::IdViews};

const char* KeyOf(int id)
{
    for (const auto& entry : kWriteOrder)
        if (entry.id == id)
            return entry.key;
    return "";
}
} // namespace

CControlBar::CControlBar(MainFrame* frame, QWidget* parent) : QWidget(parent), m_frame(frame)
{
    BuildDialog(this, kTemplate, CreateWidgetControl);
    m_ch1 = ControlAs<CSelectorButton>(this, IdCh1);
    m_ch2 = ControlAs<CSelectorButton>(this, IdCh2);
    for (CSelectorButton* channel : {m_ch1, m_ch2}) {
        channel->AddItem(QStringLiteral("nc"), -1);
        connect(channel, &CSelectorButton::clicked, this, [this] { m_frame->ChannelsChosen(); });
    }
    for (const ToggleColours& colours : kToggleColours)
        Control(colours.id)->SetColors(colours.offFace, colours.offText, colours.onFace, colours.onText);
    for (const char* pages : {"1", "2", "3", "4", "6"})
        Selector(IdViews)->AddItem(QString::fromLatin1(pages), -1);
    Selector(IdViews)->SelectText(QStringLiteral("1"));
    Control(IdRec)->SetLamp(true);
    Control(IdRun)->SetRunStopCaption(true);
    FftPointsList(*Selector(IdPoints), QStringLiteral("1024"));
    AverageCountList(*Selector(IdAverages), QStringLiteral("1"));
    PercentList(*Selector(IdOverlap), QStringLiteral("50%"));
    ConnectClicks(this, [this](int id) { OnControl(id); });

    m_frame->AveragesChanged(AveragesChoice());
    MirrorRunState();
}

CToggleButton* CControlBar::Control(int id) const
{
    return ControlAs<CToggleButton>(const_cast<CControlBar*>(this), id);
}

CSelectorButton* CControlBar::Selector(int id) const
{
    return ControlAs<CSelectorButton>(const_cast<CControlBar*>(this), id);
}

int CControlBar::PointsChoice() const { return Selector(IdPoints)->CurrentText().toInt(); }

int CControlBar::AveragesChoice() const { return std::max(0, Selector(IdAverages)->CurrentKey()); }

int CControlBar::OverlapChoice() const
{
    QString text = Selector(IdOverlap)->CurrentText();
    text.chop(1); // "%"
    return text.toInt();
}

void CControlBar::ChooseAutoAveraging()
{
    CSelectorButton* averages = Selector(IdAverages);
    averages->SelectKey(0, true);
    averages->update();
}

void CControlBar::SerializePanel(TextArchive& archive)
{
    if (archive.IsStoring()) {
        for (const auto& entry : kWriteOrder)
            Selector(entry.id)->SerializeLine(archive, QString::fromLatin1(entry.key), false);
        return;
    }
    if (!archive.IsLoading())
        return;
    QString line, rest;
    while (archive.ReadLine(line) && !TextArchive::IsBlockEnd(line)) {
        for (int id : kTestOrder) {
            if (!CPanelDlg::MatchKey(line, QString::fromLatin1(KeyOf(id)), &rest))
                continue;
            Selector(id)->SerializeLine(archive, rest, false);
            OnControl(id);
            break;
        }
    }
}

void CControlBar::Press(int id)
{
    if (CToggleButton* toggle = Control(id))
        toggle->click();
}

bool CControlBar::ChoosePageCount(int count)
{
    CSelectorButton* views = Selector(IdViews);
    const QString text = QString::number(count);
    if (!views->Items().contains(text))
        return false;
    views->SelectText(text);
    views->update();
    OnControl(IdViews);
    return true;
}

int CControlBar::ControlsWidth()
{
    int right = 0;
    for (const DialogControl& control : kTemplate)
        right = std::max(right, DialogUnitsToPixels(control.x, control.y, control.w, control.h).right() + 1);
    // The same margin as left of the first control.
    return right + DialogUnitsToPixels(kTemplate[0].x, 0, 0, 0).x() + 2;
}

void CControlBar::OnControl(int id)
{
    switch (id) {
    case IdRec: ToggleRecording(); break;
    case IdSingle:
        m_frame->SingleShot();
        MirrorRunState();
        break;
    case IdRun:
        m_frame->RunStop();
        MirrorRunState();
        break;
    case IdSetup:
        StopRecording();
        m_frame->AutoSetup();
        break;
    case IdAuto: m_frame->RescaleAllViews(); break;
    case IdViews: m_frame->SetPageCount(Selector(IdViews)->CurrentText().toInt()); break;
    case IdPoints: m_frame->PointsChanged(PointsChoice()); break;
    case IdAverages: m_frame->AveragesChanged(AveragesChoice()); break;
    case IdOverlap: m_frame->OverlapChanged(OverlapChoice()); break;
    case IdMenu: {
        CToggleButton* button = Control(IdMenu);
        m_frame->ShowMainMenu(button->mapToGlobal(button->rect().bottomLeft()));
        break;
    }
    default: break;
    }
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
    const QString text1 = m_ch1->CurrentText();
    const QString text2 = m_ch2->CurrentText();
    const int index1 = m_ch1->CurrentIndex();
    const int index2 = m_ch2->CurrentIndex();

    ChannelSource& channels = Channels();
    const int count = channels.ChannelCount();
    for (CSelectorButton* channel : {m_ch1, m_ch2}) {
        channel->ClearItems();
        channel->AddItem(QStringLiteral("nc"), -1);
        for (int i = 0; i < count; ++i)
            channel->AddItem(QString::number(channels.ChannelNumber(i)), i);
    }
    // Position p holds the item with key p - 1.
    auto [new1, new2] = RefillSelection(count, text1, index1, text2, index2);
    m_ch1->SelectKey(new1 - 1, false);
    m_ch2->SelectKey(new2 - 1, false);
    m_ch1->update();
    m_ch2->update();

    for (int client : kReaderClients)
        channels.ResetClient(client, -1);
}

void CControlBar::SetSetupCaption(const QString& text) { Control(IdSetup)->setText(text); }

QString CControlBar::SetupCaption() const { return Control(IdSetup)->text(); }

void CControlBar::StopRecording()
{
    CRecordFile& file = m_frame->Hardware().RecordFile();
    if (file.IsRecording())
        file.Close();
    EndRecording();
}

// The lamp goes off with the recording, whether the user or a failed write
// stopped it; a failure is told once, naming the file and what was kept.
void CControlBar::EndRecording()
{
    if (!m_frame->Record().recording)
        return;
    Control(IdRec)->SetState(false);
    m_frame->Record().recording = 0;
    const CRecordFile& file = m_frame->Hardware().RecordFile();
    if (file.Failed())
        ShowMessageBox(m_frame->Window(), file.FailureMessage(), QString(), MsgIcon::Warning);
}

void CControlBar::ToggleRecording()
{
    CRecordFile& file = m_frame->Hardware().RecordFile();
    if (file.IsRecording() || m_frame->Record().recording) {
        StopRecording();
        return;
    }
    // A recording that cannot start leaves "Rec" off; nothing is shown.
    if (file.Open(file.MakeFileName(false))) {
        Control(IdRec)->SetState(true);
        m_frame->Record().recording = 1;
    }
}

void CControlBar::BlinkRecord()
{
    if (!m_frame->Record().recording)
        return;
    if (!m_frame->Hardware().RecordFile().IsRecording()) {
        EndRecording();
        return;
    }
    CToggleButton* rec = Control(IdRec);
    rec->SetState(!rec->State());
}

void CControlBar::MirrorRunState()
{
    const AnalysisRecord& record = m_frame->Record();
    Control(IdRun)->SetState(record.run != 0);
    Control(IdSingle)->SetState(record.single != 0);
}

void CControlBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Ctx().colours.barBrush);
    const struct {
        int id;
        QColor colour;
    } groups[] = {{IdGroup1, Ctx().colours.trace1}, {IdGroup2, Ctx().colours.trace2}};
    for (const auto& group : groups) {
        painter.setPen(group.colour);
        painter.drawRect(ControlById(this, group.id)->geometry().adjusted(0, 0, -1, -1));
    }
}
